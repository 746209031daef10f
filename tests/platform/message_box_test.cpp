#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <thread>

#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "platform/artwork.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"

namespace jq {
namespace {

// What a box looked like while it was up.
struct SeenBox {
    int count = 0;
    bool frameless = false;
    QSize size;
    QRect textArea;
    QString text;
    bool okShown = false;
    bool cancelShown = false;
    int openBoxes = 0;
    bool onMainThread = false;
};

class MessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        TfmwMyShowMessage::shownHook = nullptr;
        standardBoxShownHook = nullptr;
        SetArtworkFolder(QString());
    }

    // Records the box, then runs `answer` on it.
    void Answer(std::function<void(TfmwMyShowMessage&)> answer) {
        TfmwMyShowMessage::shownHook = [this, answer](TfmwMyShowMessage& box) {
            ++seen.count;
            seen.frameless = box.windowFlags().testFlag(Qt::FramelessWindowHint);
            seen.size = box.size();
            seen.textArea = box.StaticText1->geometry();
            seen.text = box.StaticText1->text();
            seen.okShown = box.BitBtn1->isVisible();
            seen.cancelShown = box.BitBtn2->isVisible();
            seen.openBoxes = OpenModalBoxes();
            seen.onMainThread = QThread::currentThread() == qApp->thread();
            answer(box);
            // A box the answer failed to close fails the test instead of
            // hanging it.
            QTimer::singleShot(3000, &box, [&box] { box.done(99); });
        };
    }

    static void PressKey(QWidget& target, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&target, &press);
    }

    SeenBox seen;
};

TEST_F(MessageBoxTest, NoticeIsBorderlessBoxWithTextAsGivenAndOnlyOk) {
    // Trailing blanks, a run of blanks and a line break stay as they are.
    const std::string text = Gb("主机（东家）已退出！   两  空\n数据无法发送。     ");
    Answer([](TfmwMyShowMessage& box) { box.BitBtn1->click(); });

    EXPECT_EQ(MyShowMessage(text, 0), 1);
    EXPECT_EQ(seen.count, 1);
    EXPECT_TRUE(seen.frameless);
    EXPECT_EQ(seen.text, QString::fromUtf8("主机（东家）已退出！   两  空\n数据无法发送。     "));
    EXPECT_TRUE(seen.okShown);
    EXPECT_FALSE(seen.cancelShown);
    EXPECT_EQ(seen.openBoxes, 1);
    EXPECT_EQ(OpenModalBoxes(), 0);
}

TEST_F(MessageBoxTest, QuestionAnswersOneOrTwoAndNextBoxIsFresh) {
    Answer([](TfmwMyShowMessage& box) { box.BitBtn2->click(); });
    EXPECT_EQ(MyShowMessage(Gb("是否继续？"), 1), 2);
    EXPECT_TRUE(seen.cancelShown);

    Answer([](TfmwMyShowMessage& box) { box.BitBtn1->click(); });
    EXPECT_EQ(MyShowMessage(Gb("是否继续？"), 7), 1);  // any non-zero asks
    EXPECT_TRUE(seen.cancelShown);

    // A notice after a question has no "取消" left over.
    Answer([](TfmwMyShowMessage& box) { box.BitBtn1->click(); });
    EXPECT_EQ(MyShowMessage(Gb("通知"), 0), 1);
    EXPECT_FALSE(seen.cancelShown);
    EXPECT_EQ(seen.count, 3);

    // A text too long for the box is wrapped and cut off; nothing grows.
    Answer([](TfmwMyShowMessage& box) { box.BitBtn1->click(); });
    EXPECT_EQ(MyShowMessage(std::string(2000, 'W') + Gb("长长的消息"), 0), 1);
    EXPECT_EQ(seen.size, QSize(344, 152));
    EXPECT_EQ(seen.textArea, QRect(48, 48, 281, 53));
}

TEST_F(MessageBoxTest, KeysEscapeCancelsOnlyWhenCancelShownEnterConfirms) {
    Answer([](TfmwMyShowMessage& box) { PressKey(box, Qt::Key_Escape); });
    EXPECT_EQ(MyShowMessage(Gb("问题"), 1), 2);

    // On a notice Esc does nothing; the box waits for "确定" (Enter).
    bool stillOpenAfterEscape = false;
    Answer([&stillOpenAfterEscape](TfmwMyShowMessage& box) {
        PressKey(box, Qt::Key_Escape);
        stillOpenAfterEscape = box.isVisible();
        PressKey(box, Qt::Key_Return);
    });
    EXPECT_EQ(MyShowMessage(Gb("通知"), 0), 1);
    EXPECT_TRUE(stillOpenAfterEscape);
}

TEST_F(MessageBoxTest, ArtworkFromItsFolderOrDrawnWhenMissing) {
    QTemporaryDir folder;
    QImage icon(32, 32, QImage::Format_RGB32);
    icon.fill(qRgb(10, 20, 30));
    ASSERT_TRUE(icon.save(QDir(folder.path()).filePath("msg_icon.png")));
    SetArtworkFolder(folder.path());
    TfmwMyShowMessage box;
    EXPECT_EQ(box.Image1->Pixel(16, 16), qRgb(10, 20, 30));
    EXPECT_EQ(box.Image2->Picture().size(), QSize(93, 31));  // drawn in place of the missing title
}

TEST_F(MessageBoxTest, BoxAskedOffTheMainThreadIsShownThere) {
    Answer([](TfmwMyShowMessage& box) { box.BitBtn1->click(); });
    int notice = 0;
    int question = 0;
    std::thread worker([&] {
        notice = MyShowMessage(Gb("候选着法太多！"), 0);
        question = MyShowMessage(Gb("继续？"), 1);
    });
    worker.join();
    EXPECT_EQ(notice, 1);
    EXPECT_EQ(question, 2);  // cannot be asked from there: a refusal
    EXPECT_EQ(seen.count, 0);

    for (int i = 0; i < 10 && seen.count < 2; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(seen.count, 2);
    EXPECT_TRUE(seen.onMainThread);
}

TEST_F(MessageBoxTest, StandardBoxCarriesCaptionTextAndButtons) {
    QStringList shown;
    bool escape = true;
    standardBoxShownHook = [&](QMessageBox& box) {
        shown = QStringList{box.windowTitle(), box.text()};
        for (QAbstractButton* b : box.buttons()) shown << b->text();
        QTimer::singleShot(3000, &box, [&box] { box.done(99); });
        (escape ? box.escapeButton() : box.defaultButton())->click();
    };
    EXPECT_EQ(StandardBox(Gb("地雷只能放在最后两排！"), Gb("错误"), BoxButtons::OkCancel), kBoxCancel);
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown.mid(0, 2), (QStringList{QString::fromUtf8("错误"), QString::fromUtf8("地雷只能放在最后两排！")}));
    EXPECT_TRUE(shown.contains(QString::fromUtf8("取消")));
    escape = false;
    EXPECT_EQ(StandardBox(Gb("成功分析3个文件！"), Gb("确认")), kBoxOk);
    EXPECT_EQ(shown, (QStringList{QString::fromUtf8("确认"), QString::fromUtf8("成功分析3个文件！"),
                                  QString::fromUtf8("确定")}));
}

}  // namespace
}  // namespace jq
