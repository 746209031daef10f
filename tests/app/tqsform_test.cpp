// The main window and its commands: each control reaches the model once,
// and the result shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTextBrowser>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/about.h"
#include "app/appfolder.h"
#include "app/goption.h"
#include "app/helpwindow.h"
#include "app/splash.h"
#include "app/tqsform.h"
#include "core/options.h"
#include "core/text.h"
#include "formations/formation.h"
#include "formations/ui/studykjq.h"
#include "net/netbattle.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "records/loadcmd.h"
#include "records/replay_support.h"
#include "records/ui/jumpw.h"
#include "support/files_support.h"
#include "support/lan_fakes.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "view/ui/boardview.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.path() + "/kbtfiles");
        form = std::make_unique<TqsForm>();
        form->show();
    }
    void TearDown() override { form.reset(); }

    jq::test::ScratchWorkFolder folder;
    std::unique_ptr<TqsForm> form;
};

// The game lives in the working folder (one trailing slash, never two), the
// record dialogs open on its records, and no control the board picture
// covers is out of the pointer's reach.
TEST_F(MainWindowTest, GameLivesInTheWorkingFolderAndTheCommandsLieAboveTheBoard) {
    EXPECT_EQ(form->game().appFolder, folder.path() + "/");
    EXPECT_EQ(QDir(form->OpenDialog1->directory()).absolutePath(), QString::fromStdString(folder.path() + "/kbtfiles"));
    form->SetDeploymentControlsVisible(true);
    for (QWidget* w : std::initializer_list<QWidget*>{form->bpeace, form->Label1, form->lbShowTimeRemain,
                                                       form->btnChangeQz, form->btnLoadZf})
        EXPECT_EQ(form->panQiPan->childAt(w->geometry().center()), w) << w->metaObject()->className();
    std::filesystem::current_path("/");
    EXPECT_EQ(GetCurrentFolder(), "/");
}

// The popup menu opens on the board picture only; the options item opens
// the options dialog; the exit command and item stop the computer player
// and close.
TEST_F(MainWindowTest, PopupMenuOptionsAndExit) {
    for (QWidget* w : std::initializer_list<QWidget*>{form->boardView->qipan, form->btnLoadFile,
                                                       form->boardView->pieceImages[0], form->panQiPan}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &event);
        EXPECT_EQ(form->PopupMenu1->isVisible(), w == form->boardView->qipan) << w->metaObject()->className();
        form->PopupMenu1->hide();
    }
    bool seen = false;
    WhenShown<Twoption>([&](Twoption& d) {
        seen = true;
        d.reject();
    });
    form->mpopOption->trigger();
    EXPECT_TRUE(seen);

    int stops = 0;
    form->stopAIThreadHook = [&stops](TqsForm&) { ++stops; };
    jq::test::LeftClick(form->btnExit);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());
    form->show();
    form->N10->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_GE(stops, 2);
}

// What the game asks of the window reaches the right control; indexes off
// the end are ignored.
TEST_F(MainWindowTest, GameRequestsReachTheirControls) {
    form->SetStatusText(2, jq::Gb("当前已走：5 步"));
    EXPECT_EQ(form->statusPanels[2]->text(), QStringLiteral("当前已走：5 步"));
    form->SetStatusText(4, "x");
    form->SetStatusText(-1, "x");
    form->SetSeatLabel(2, jq::Gb("张三"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("张三"));
    EXPECT_EQ(form->SeatLabel(4), "");
    form->ShowTurnLight(3, 2);
    EXPECT_EQ(form->light1->pos(), TqsForm::kTurnLightPositions[3]);
    EXPECT_EQ(form->light1->Picture().pixel(18, 18), form->alllightimage->Picture().pixel(2 * 36 + 18, 18));
    form->ShowTurnLight(-1, 0);
    EXPECT_FALSE(form->light1->isVisibleTo(form.get()));

}

using jq::test::LeftClick;
using jq::test::ScratchWorkFolder;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

TEST(FreshInstall, OptionsShowTheNeutralStyleAndOkKeepsIt) {
    ScratchWorkFolder folder;
    jq::NullUi ui;
    jq::GameState g;
    g.ui = &ui;
    g.appFolder = folder.path() + "/";
    jq::LoadOptionsAtStartup(g);  // no "oprec" yet

    std::vector<int> shown;
    WhenShown<Twoption>([&shown](Twoption& d) {
        for (const char* name : {"tbsf1", "tbsf2", "tbsf3"}) shown.push_back(d.findChild<QSlider*>(name)->value());
        d.findChild<QLineEdit*>("Edit1")->setText(U("张\U0001F600"));  // the emoji is outside the code page
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, QString()));
    EXPECT_EQ(shown, std::vector<int>(3, 5));
    EXPECT_DOUBLE_EQ(g.styleCoefAttack, 0.618);
    EXPECT_DOUBLE_EQ(g.styleCoefCaution, 0.8);
    EXPECT_DOUBLE_EQ(g.styleCoefDefence, 0.382);
    EXPECT_EQ(g.optionsRecord.styleDefence, 5);  // level 2's defence boost stays at its full 2.0
    EXPECT_EQ(jq::PlayerName(g.optionsRecord, 0), "\xD5\xC5?");
}

// A missing help file opens nothing; once it is there the help window shows
// it, and a second press brings back the same window.
TEST(FreshInstall, HelpButtonShowsTheHelpFileInOneWindow) {
    ScratchWorkFolder folder;
    TqsForm form;
    LeftClick(form.btnShowHelp);
    EXPECT_EQ(form.findChild<HelpWindow*>(), nullptr);
    std::ofstream(folder.path() + "/" + TqsForm::HelpFileName().toStdString())
        << "<html><head><meta charset=\"utf-8\"><title>帮助</title></head><body><h1>棋子</h1>"
           "<p>工兵可以在铁路上拐弯。</p></body></html>";
    LeftClick(form.btnShowHelp);
    HelpWindow* help = form.findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), U("帮助"));
    EXPECT_TRUE(help->browser()->toPlainText().contains(U("工兵可以在铁路上拐弯。")));
    LeftClick(form.btnShowHelp);
    EXPECT_EQ(form.findChildren<HelpWindow*>().size(), 1);
}

// The splash closes on a click or when its time is up; the about window,
// the same form, stays (its timer off) until clicked.
TEST(Splash, ClosesOnAClickOrWhenItsTimeIsUpAndAboutWaitsForTheClick) {
    TSplashForm timed;
    timed.Timer1->setInterval(60);
    timed.Timer1->start();
    timed.show();
    EXPECT_TRUE(jq::test::WaitFor([&] { return !timed.isVisible(); }, 3000));
    EXPECT_FALSE(timed.Timer1->isActive());

    bool timerOff = false;
    WhenShown<TSplashForm>([&](TSplashForm& about) {
        QTimer::singleShot(100, &about, [&] {
            timerOff = !about.Timer1->isActive() && about.isVisible();
            jq::test::LeftClick(about.Image1);
        });
    });
    ShowAboutWindow(nullptr);
    EXPECT_TRUE(timerOff);
}

TEST(LanWindow, EnterSendsTheChatLineAndTheRelayedLineShowsInTheBulletin) {
    jq::test::ScratchWorkFolder folder;
    auto form = std::make_unique<TqsForm>();
    jq::GameState& g = form->game();
    jq::testing::FakeClientLink link;
    g.lan->AttachClient(&link);
    g.netConnected = 1;
    g.myNetSeat = 1;
    form->edInput->setEditText(QStringLiteral("大家好"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(form->edInput, &enter);  // it holds the focus
    ASSERT_EQ(link.Sent().size(), 1u);
    EXPECT_EQ(jq::net::DecodeChat(link.Sent()[0])->text, jq::Gb("大家好"));
    EXPECT_TRUE(form->edInput->currentText().isEmpty());

    jq::PutBoundedText(g.seatTable[1].name, 32, jq::Gb("小王"));
    const jq::net::Packet back = jq::net::EncodeChat({1, jq::Gb("大家好")});
    g.lan->ClientReceived(back.data(), back.size());
    jq::net::ProcessClientMessage(g);
    EXPECT_EQ(form->reBulltin->toPlainText(), QStringLiteral("小王：大家好"));
    g.lan->AttachClient(nullptr);
}

using jq::test::LeftClick;
using jq::test::SendMouse;

// A record opened in the window, then steered by the board's clicks, its
// popup menu, the go-to-step dialog and the step buttons.
TEST(ReplayWindow, BoardClicksMenuAndDialogSteerTheReplay) {
    jq::test::ScratchWorkFolder folder;
    std::filesystem::copy_file(JQ_SOURCE_DIR "/assets/work/statfile", folder.path() + "/statfile");
    auto form = std::make_unique<TqsForm>();
    jq::GameState& g = form->game();
    const std::string path = folder.path() + "/a&b.kbt";
    jq::test::WriteBytes(path, jq::replaytest::PlayRandomBattle(5, -1, -1).kbt);
    jq::LoadChosenRecord(g, path);
    EXPECT_EQ(form->windowTitle(), QFile::decodeName(path.c_str()));
    form->PopupMenu1Popup();
    EXPECT_EQ(form->mnFna[0]->text(), QFile::decodeName(path.c_str()).replace("&", "&&"));
    EXPECT_TRUE(form->mpopGotoLine->isEnabled() && !form->mpopPlayStop->isEnabled());

    // A plain click on the board starts automatic replay, the next stops it.
    jq::ImageControl* board = form->boardView->qipan;
    LeftClick(board);
    EXPECT_EQ(g.autoPlay, 1);
    form->PopupMenu1Popup();
    EXPECT_EQ(form->mpopPlayStop->text(), QStringLiteral("停止演播(单击棋盘)"));
    LeftClick(board);
    EXPECT_EQ(g.autoPlay, 0);

    // With Ctrl the click asks for a step.
    WhenShown<TJumpPara>([](TJumpPara& d) {
        d.TrackBar1->setValue(7);
        d.BitBtn1->click();
    });
    SendMouse(board, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(-1, -1), Qt::ControlModifier);
    SendMouse(board, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(-1, -1), Qt::ControlModifier);
    EXPECT_EQ(g.stepCount, 7);
    EXPECT_EQ(g.clickStepCount, 1);

    form->btnProvStepClick();
    EXPECT_EQ(g.stepCount, 6);
    form->btnNextStepMouseDown(Qt::LeftButton, Qt::ControlModifier);
    form->btnNextStepClick();
    EXPECT_EQ(g.stepCount, 16);
    // The recent item opens the record again at step 0.
    form->mnFna1Click(form->mnFna[0]);
    EXPECT_EQ(g.stepCount, 0);
}

// The hidden "阵法学习" command: a file chosen among records gives their
// folder a database.
TEST(StudyDialog, HiddenCommandStudiesTheChosenFolder) {
    jq::test::ScratchWorkFolder folder;
    const std::string records = folder.path() + "/records";
    std::filesystem::create_directories(records);
    jq::BattleFile file;
    jq::GameRandom rng;
    for (int n = 0; n < 10; ++n) {
        for (int s = 0; s < 4; ++s) jq::GenerateFormation(rng, file.codes.rows[s]);
        jq::test::WriteBytes(records + "/r" + std::to_string(n) + ".kbt", jq::EncodeBattleFile(file));
    }
    TqsForm form;
    QStringList boxes;
    jq::standardBoxShownHook = [&](QMessageBox& box) {
        boxes << box.windowTitle() + "|" + box.text();
        box.defaultButton()->click();
    };
    bool disabledMeanwhile = false;
    WhenShown<TStudyKjqs>([&](TStudyKjqs& dialog) {
        disabledMeanwhile = !form.Button7->isEnabled();
        WhenShown<QFileDialog>([&](QFileDialog& choose) {
            choose.selectFile(QString::fromStdString(records + "/r3.kbt"));
            static_cast<QDialog&>(choose).accept();
        });
        dialog.BitBtn1->click();
    });
    form.Button7Click();
    jq::standardBoxShownHook = nullptr;

    EXPECT_EQ(boxes, QStringList{QStringLiteral("确认|成功分析10个文件的阵法！")});
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(form.Button7->isEnabled());
    const std::vector<uint8_t> db = jq::test::ReadBytes(records + "/zffile");
    ASSERT_EQ(db.size(), 64004u);
    EXPECT_EQ(jq::GetI32(db.data()), 30);
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "/zffile"));  // the working folder's is not touched
}

}  // namespace
