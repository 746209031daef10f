#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <cstdint>
#include <string>

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

TEST_F(SoundTest, NothingPlaysWithSoundOffOrSeveralStepsPerClick) {
    PlayGameSound(dir, "move.wav", true, 0, 1);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
    PlayGameSound(dir, "move.wav", true, 0, 10);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
    PlayGameSound(dir, "move.wav", true, 1, 10);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
    PlayGameSound(dir, "move.wav", true, 1, 2);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
}

TEST_F(SoundTest, AsyncPlayReturnsAtOnceAndNewSoundCutsTheOldOne) {
    QElapsedTimer clock;
    clock.start();
    PlayGameSound(dir, "move.wav", true, 1, 1);
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(CurrentGameSound(), folder.filePath("move.wav"));

    PlayGameSound(dir, "eat.wav", true, 1, 1);
    EXPECT_EQ(CurrentGameSound(), folder.filePath("eat.wav"));
}

TEST_F(SoundTest, MissingFileIsSilentAndStopsTheSoundPlaying) {
    PlayGameSound(dir, "move.wav", true, 1, 1);
    PlayGameSound(dir, "showflag.wav", true, 1, 1);
    EXPECT_TRUE(CurrentGameSound().isEmpty());

    // Also when waiting for the end was asked, and for a missing folder.
    QElapsedTimer clock;
    clock.start();
    PlayGameSound(dir, "nomove.wav", false, 1, 1);
    PlayGameSound("/no/such/folder/", "move.wav", false, 1, 1);
    PlayGameSound(dir, "", true, 1, 1);
    EXPECT_LT(clock.elapsed(), 500);
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

TEST_F(SoundTest, SyncPlayWaitsNoLongerThanItsLimit) {
    QElapsedTimer clock;
    clock.start();
    PlayGameSound(dir, "move.wav", false, 1, 1);
    if (QMediaDevices::audioOutputs().isEmpty()) {
        EXPECT_LT(clock.elapsed(), 1000);  // nothing to wait for
    } else {
        EXPECT_LE(clock.elapsed(), kSyncSoundLimitMs + 1000);
    }
}

}  // namespace
}  // namespace jq
