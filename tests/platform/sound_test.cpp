#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <utility>

#include "core/ui/sound.h"
#include "support/qt_helpers.h"

namespace jq {
namespace {

const std::string kSounds = JQ_SOURCE_DIR "/assets/work/";

class SoundTest : public ::testing::Test {
protected:
    void TearDown() override {
        StopGameSound();
        QCoreApplication::processEvents();
    }
};

TEST_F(SoundTest, PlaysOnlyWithSoundOnAndOneStepPerClickAndANewSoundCutsTheOld) {
    for (auto [on, steps] : {std::pair{0, 1}, std::pair{0, 10}, std::pair{1, 10}, std::pair{1, 2}}) {
        PlayGameSound(kSounds, "move.wav", true, on, steps);
        EXPECT_TRUE(CurrentGameSound().isEmpty()) << on << " " << steps;
    }
    PlayGameSound(kSounds, "move.wav", true, 1, 1);
    EXPECT_EQ(CurrentGameSound(), QString::fromStdString(kSounds + "move.wav"));
    PlayGameSound(kSounds, "eat.wav", true, 1, 1);
    EXPECT_EQ(CurrentGameSound(), QString::fromStdString(kSounds + "eat.wav"));
    // A missing file, asked with or without waiting, is silent and stops the sound playing.
    PlayGameSound(kSounds, "missing.wav", false, 1, 1);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
    PlayGameSound("/no/such/folder/", "move.wav", false, 1, 1);
    PlayGameSound(kSounds, "", true, 1, 1);
    EXPECT_TRUE(CurrentGameSound().isEmpty());
}

// Decoding fails on a thread of its own; the sound is dropped once the
// failure arrives (a bounded wait, no crash).
TEST_F(SoundTest, FileThatIsNoSoundIsSilent) {
    QTemporaryDir folder;
    QFile junk(folder.filePath("Equal.wav"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("not a wave file at all") > 0);
    junk.close();
    PlayGameSound(folder.path().toStdString() + "/", "Equal.wav", false, 1, 1);
    EXPECT_TRUE(test::WaitFor([] { return CurrentGameSound().isEmpty(); }, 3000));
}

}  // namespace
}  // namespace jq
