#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <utility>

#include "core/ui/sound.h"

namespace jq {
namespace {

void PutLe(QByteArray& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A short, quiet 16-bit mono wave file.
bool WriteWave(const QString& path, int milliseconds) {
    const uint32_t rate = 8000;
    const uint32_t samples = rate * milliseconds / 1000;
    QByteArray data;
    for (uint32_t i = 0; i < samples; ++i) {
        PutLe(data, (i / 10) % 2 ? 0x0400 : 0xFC00, 2);
    }
    QByteArray file("RIFF");
    PutLe(file, 36 + data.size(), 4);
    file.append("WAVEfmt ");
    PutLe(file, 16, 4);
    PutLe(file, 1, 2);         // PCM
    PutLe(file, 1, 2);         // mono
    PutLe(file, rate, 4);
    PutLe(file, rate * 2, 4);  // bytes per second
    PutLe(file, 2, 2);         // block
    PutLe(file, 16, 2);        // bits
    file.append("data");
    PutLe(file, data.size(), 4);
    file.append(data);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        dir = folder.path().toStdString() + "/";
        ASSERT_TRUE(WriteWave(folder.filePath("move.wav"), 300));
        ASSERT_TRUE(WriteWave(folder.filePath("eat.wav"), 300));
    }
    void TearDown() override {
        StopGameSound();
        QCoreApplication::processEvents();
    }

    QTemporaryDir folder;
    std::string dir;
};

TEST_F(SoundTest, PlaysOnlyWithSoundOnAndOneStepPerClickAndANewSoundCutsTheOld) {
    for (auto [on, steps] : {std::pair{0, 1}, std::pair{0, 10}, std::pair{1, 10}, std::pair{1, 2}}) {
        PlayGameSound(dir, "move.wav", true, on, steps);
        EXPECT_TRUE(CurrentGameSound().isEmpty()) << on << " " << steps;
    }
    PlayGameSound(dir, "move.wav", true, 1, 1);
    EXPECT_EQ(CurrentGameSound(), folder.filePath("move.wav"));
    PlayGameSound(dir, "eat.wav", true, 1, 1);
    EXPECT_EQ(CurrentGameSound(), folder.filePath("eat.wav"));
    // A missing file, asked with or without waiting, is silent and stops the sound playing.
    PlayGameSound(dir, "showflag.wav", false, 1, 1);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
    PlayGameSound("/no/such/folder/", "move.wav", false, 1, 1);
    PlayGameSound(dir, "", true, 1, 1);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
}

TEST_F(SoundTest, FileThatIsNoSoundIsSilent) {
    QFile junk(folder.filePath("Equal.wav"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a wave file at all");
    junk.close();
    PlayGameSound(dir, "Equal.wav", false, 1, 1);  // bounded wait, no crash
    // Decoding fails on a thread of its own; the sound is dropped once the
    // failure arrives.
    QElapsedTimer clock;
    clock.start();
    while (!CurrentGameSound().isEmpty() && clock.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_TRUE(CurrentGameSound().isEmpty());
}

}  // namespace
}  // namespace jq
