#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "core/ui/sound.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"
#include "support/qt_helpers.h"

namespace jq {
namespace {

// A picture whose every pixel tells where it is.
QImage Gradient(int width, int height, int salt = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, salt & 0xFF));
    return image;
}

// A new surface is white and of control size; pixels outside it are neither read nor written.
TEST(ImageControl, CopyStaysOnTheSurface) {
    const QImage sheet = Gradient(112, 286, 7);
    ImageControl piece;
    piece.resize(40, 40);
    piece.CopyRect(QRect(10, 5, 28, 22), sheet, QRect(28, 66, 28, 22));
    EXPECT_EQ(piece.Pixel(37, 26), sheet.pixel(55, 87));
    EXPECT_EQ(piece.Pixel(9, 5), qRgb(255, 255, 255));
    piece.SetPixel(40, 0, qRgb(9, 9, 9));
    piece.SetPixel(-1, 3, qRgb(9, 9, 9));
    for (const QPoint p : {QPoint(40, 0), QPoint(-1, 3), QPoint(0, 40), QPoint(9, -1)})
        EXPECT_EQ(piece.Pixel(p.x(), p.y()), ImageControl::kNoPixel);
    EXPECT_EQ(ImageControl().Pixel(0, 0), ImageControl::kNoPixel);  // nothing drawn yet
}

class MessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        TfmwMyShowMessage::shownHook = nullptr;
        standardBoxShownHook = nullptr;
    }
    // Records every box, then answers it with `key` (0: a click on "确定",
    // 1: on "取消"; else the key, and "确定" if the box stays).
    void Answer(int key) {
        TfmwMyShowMessage::shownHook = [this, key](TfmwMyShowMessage& box) {
            ++count;
            text = box.StaticText1->text();
            cancelShown = box.BitBtn2->isVisible();
            onMainThread = QThread::currentThread() == qApp->thread();
            openBoxes = OpenModalBoxes();
            QTimer::singleShot(3000, &box, [&box] { box.done(99); });  // fails instead of hanging
            if (key == 0 || key == 1) return (key == 0 ? box.BitBtn1 : box.BitBtn2)->click();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(&box, &press);
            keyIgnored = box.isVisible();
            if (keyIgnored) box.BitBtn1->click();
        };
    }
    int count = 0, openBoxes = 0;
    QString text;
    bool cancelShown = false, onMainThread = false, keyIgnored = false;
};

// Notices answer 1 with only "确定"; questions (any non-zero) 1 or 2; the text shows as given.
TEST_F(MessageBoxTest, NoticesAndQuestionsAnswerAndShowTheirText) {
    Answer(0);
    EXPECT_EQ(MyShowMessage(Gb("主机（东家）已退出！   两  空\n数据无法发送。     "), 0), 1);
    EXPECT_EQ(text, QString::fromUtf8("主机（东家）已退出！   两  空\n数据无法发送。     "));
    EXPECT_FALSE(cancelShown);
    EXPECT_EQ(openBoxes, 1);
    EXPECT_EQ(OpenModalBoxes(), 0);
    Answer(1);
    EXPECT_EQ(MyShowMessage(Gb("是否继续？"), 7), 2);
    EXPECT_TRUE(cancelShown);
    Answer(Qt::Key_Escape);  // Esc cancels a question, and does nothing to a notice
    EXPECT_EQ(MyShowMessage(Gb("问题"), 1), 2);
    EXPECT_EQ(MyShowMessage(Gb("通知"), 0), 1);
    EXPECT_TRUE(keyIgnored);
}

// A box asked from another thread is shown later on the main thread; a
// question asked there cannot wait for its answer and is refused.
TEST_F(MessageBoxTest, BoxAskedOffTheMainThreadIsShownThere) {
    Answer(0);
    int notice = 0, question = 0;
    std::thread worker([&] {
        notice = MyShowMessage(Gb("候选着法太多！"), 0);
        question = MyShowMessage(Gb("继续？"), 1);
    });
    worker.join();
    EXPECT_EQ(notice, 1);
    EXPECT_EQ(question, 2);
    EXPECT_EQ(count, 0);
    for (int i = 0; i < 10 && count < 2; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(onMainThread);
}

TEST_F(MessageBoxTest, StandardBoxCarriesCaptionTextAndButtons) {
    int buttons = 0;
    standardBoxShownHook = [&](QMessageBox& box) {
        buttons = box.buttons().size();
        QTimer::singleShot(3000, &box, [&box] { box.done(99); });
        box.escapeButton()->click();
    };
    EXPECT_EQ(StandardBox(Gb("地雷只能放在最后两排！"), Gb("错误"), BoxButtons::OkCancel), kBoxCancel);
    EXPECT_EQ(buttons, 2);
    EXPECT_EQ(StandardBox(Gb("成功分析3个文件！"), Gb("确认")), kBoxOk);  // Esc is OK when alone
    EXPECT_EQ(buttons, 1);
}

const std::string kSounds = JQ_SOURCE_DIR "/assets/work/";

// The tests run with or without a sound card: each says which it assumes.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { AssumeAudioOutput(true); }
    void TearDown() override {
        StopGameSound();
        QCoreApplication::processEvents();
        AssumeAudioOutput(std::nullopt);
    }
};

std::vector<QString> qtWarnings;
void KeepWarning(QtMsgType, const QMessageLogContext&, const QString& text) { qtWarnings.push_back(text); }

// Without an audio output no sound is even tried: nothing plays, nothing is
// printed, and a sound asked to be waited for does not hold the caller.
TEST_F(SoundTest, WithoutAnAudioOutputEverySoundIsSilent) {
    AssumeAudioOutput(false);
    qtWarnings.clear();
    const QtMessageHandler old = qInstallMessageHandler(KeepWarning);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i) {
        PlayGameSound(kSounds, i % 2 == 0 ? "move.wav" : "eat.wav", i % 4 == 0, 1, 1);
        EXPECT_TRUE(CurrentGameSound().isEmpty()) << i;
    }
    QCoreApplication::processEvents();
    qInstallMessageHandler(old);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(qtWarnings.empty()) << qtWarnings.front().toStdString();
}

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

// A list of audio outputs the test sets, counting how often it is asked.
class FakeOutputs : public AudioOutputs {
public:
    int count = 0;
    int asked = 0;
    bool Any() override {
        ++asked;
        return count > 0;
    }
};

// An output that comes after the first sound (a headset plugged in) is heard
// at the next sound, whether or not the list reports the change; once there
// is one, the list is asked again only when it reports a change, and an
// output that goes silences the sounds again.
TEST_F(SoundTest, AnOutputThatComesLaterIsHeardAndOneThatGoesIsNot) {
    AssumeAudioOutput(std::nullopt);
    FakeOutputs outputs;
    UseAudioOutputs(&outputs);
    struct Step {
        const char* what;
        int count;
        bool changed;
        bool heard;
        int asked;
    };
    const Step steps[] = {
        {"none at the first sound", 0, false, false, 1},
        {"still none", 0, false, false, 2},
        {"plugged in, the change not reported", 1, false, true, 3},
        {"the answer holds", 1, false, true, 3},
        {"unplugged, the change reported", 0, true, false, 4},
        {"plugged in, the change reported", 2, true, true, 5},
        {"a change that leaves an output", 1, true, true, 6},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        outputs.count = s.count;
        if (s.changed) emit outputs.changed();
        PlayGameSound(kSounds, "move.wav", true, 1, 1);
        EXPECT_EQ(CurrentGameSound().isEmpty(), !s.heard);
        EXPECT_EQ(outputs.asked, s.asked);
    }
    UseAudioOutputs(nullptr);
}

}  // namespace
}  // namespace jq
