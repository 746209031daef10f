#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <thread>

#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "platform/toolkit.h"

namespace jq {
namespace {

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
            size = box.size();
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
    QSize size;
};

// Notices answer 1 with only "确定"; questions (any non-zero) 1 or 2; the
// text shows as given, and a long one does not grow the box.
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
    Answer(0);
    EXPECT_EQ(MyShowMessage(std::string(2000, 'W'), 0), 1);
    EXPECT_FALSE(cancelShown);  // nothing left over from the question
    EXPECT_EQ(size, QSize(344, 152));
    Answer(Qt::Key_Escape);  // Esc cancels a question, and does nothing to a notice
    EXPECT_EQ(MyShowMessage(Gb("问题"), 1), 2);
    EXPECT_FALSE(keyIgnored);
    EXPECT_EQ(MyShowMessage(Gb("通知"), 0), 1);
    EXPECT_TRUE(keyIgnored);
    EXPECT_EQ(count, 5);
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
    QStringList shown;
    bool escape = true;
    standardBoxShownHook = [&](QMessageBox& box) {
        shown = QStringList{box.windowTitle(), box.text()};
        for (QAbstractButton* b : box.buttons()) shown << b->text();
        QTimer::singleShot(3000, &box, [&box] { box.done(99); });
        (escape ? box.escapeButton() : box.defaultButton())->click();
    };
    EXPECT_EQ(StandardBox(Gb("地雷只能放在最后两排！"), Gb("错误"), BoxButtons::OkCancel), kBoxCancel);
    EXPECT_EQ(shown.size(), 4);
    EXPECT_TRUE(shown.contains(QString::fromUtf8("取消")));
    escape = false;
    EXPECT_EQ(StandardBox(Gb("成功分析3个文件！"), Gb("确认")), kBoxOk);
    EXPECT_EQ(shown, (QStringList{QString::fromUtf8("确认"), QString::fromUtf8("成功分析3个文件！"),
                                  QString::fromUtf8("确定")}));
}

}  // namespace
}  // namespace jq
