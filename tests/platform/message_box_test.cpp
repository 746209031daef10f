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

// What a box looked like while it was up.
struct SeenBox {
    int count = 0;
    QString text;
    bool cancelShown = false;
    QSize size;
    int openBoxes = 0;
    bool onMainThread = false;
};

class MessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        TfmwMyShowMessage::shownHook = nullptr;
        standardBoxShownHook = nullptr;
    }
    // Records every box, then answers it with `key` (0: a click on "确定",
    // 1: on "取消").
    void Answer(int key) {
        TfmwMyShowMessage::shownHook = [this, key](TfmwMyShowMessage& box) {
            seen = {seen.count + 1, box.StaticText1->text(), box.BitBtn2->isVisible(), box.size(), OpenModalBoxes(),
                    QThread::currentThread() == qApp->thread()};
            QTimer::singleShot(3000, &box, [&box] { box.done(99); });  // fails instead of hanging
            if (key == 0 || key == 1) {
                (key == 0 ? box.BitBtn1 : box.BitBtn2)->click();
                return;
            }
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(&box, &press);
            escapeIgnored = box.isVisible();
            if (escapeIgnored) box.BitBtn1->click();
        };
    }
    SeenBox seen;
    bool escapeIgnored = false;
};

// Notices answer 1 with only "确定"; questions (any non-zero) 1 or 2; the
// text shows as given, and a long one does not grow the box.
TEST_F(MessageBoxTest, NoticesAndQuestionsAnswerAndShowTheirText) {
    const std::string text = Gb("主机（东家）已退出！   两  空\n数据无法发送。     ");
    Answer(0);
    EXPECT_EQ(MyShowMessage(text, 0), 1);
    EXPECT_EQ(seen.text, QString::fromUtf8("主机（东家）已退出！   两  空\n数据无法发送。     "));
    EXPECT_FALSE(seen.cancelShown);
    EXPECT_EQ(seen.openBoxes, 1);
    EXPECT_EQ(OpenModalBoxes(), 0);
    Answer(1);
    EXPECT_EQ(MyShowMessage(Gb("是否继续？"), 7), 2);
    EXPECT_TRUE(seen.cancelShown);
    Answer(0);
    EXPECT_EQ(MyShowMessage(std::string(2000, 'W'), 0), 1);
    EXPECT_FALSE(seen.cancelShown);  // nothing left over from the question
    EXPECT_EQ(seen.size, QSize(344, 152));
    Answer(Qt::Key_Escape);  // Esc cancels a question, and does nothing to a notice
    EXPECT_EQ(MyShowMessage(Gb("问题"), 1), 2);
    EXPECT_FALSE(escapeIgnored);
    EXPECT_EQ(MyShowMessage(Gb("通知"), 0), 1);
    EXPECT_TRUE(escapeIgnored);
    EXPECT_EQ(seen.count, 5);
}

TEST_F(MessageBoxTest, BoxAskedOffTheMainThreadIsShownThere) {
    Answer(0);
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
