// The main window and its commands: each control reaches the model once, and the result shows.
#include "app/tqsform.h"

#include <ctime>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHostAddress>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "ai/movegen.h"
#include "app/appfolder.h"
#include "app/goption.h"
#include "app/helpwindow.h"
#include "app/shresult.h"
#include "core/options.h"
#include "core/rng.h"
#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "formations/formation.h"
#include "formations/formationfile.h"
#include "formations/piecestats.h"
#include "formations/ui/studykjq.h"
#include "net/netbattle.h"
#include "net/ui/lansockets.h"
#include "net/ui/netdialogs.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/bad_records.h"
#include "records/battlefile.h"
#include "core/littleendian.h"
#include "records/loadcmd.h"
#include "records/replay_support.h"
#include "records/ui/jumpw.h"
#include "support/fake_computer.h"
#include "support/lan_fakes.h"
#include "support/qt_helpers.h"
#include "support/recording_ui.h"
#include "support/when_shown.h"
#include "view/deployment.h"
#include "view/ui/boardview.h"

namespace {

using jq::test::LeftClick;
using jq::test::ReadBytes;
using jq::test::ScratchWorkFolder;
using jq::test::SendMouse;
using jq::test::WaitFor;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

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

// The game lives in the working folder (one trailing slash, never two), the record dialogs open on
// its records, no control the board picture covers is out of reach, and requests for no control
// are ignored.
TEST_F(MainWindowTest, GameLivesInTheWorkingFolderAndTheCommandsLieAboveTheBoard) {
    EXPECT_EQ(form->game().appFolder, folder.path() + "/");
    EXPECT_EQ(QDir(form->OpenDialog1->directory()).absolutePath(),
              QString::fromStdString(folder.path() + "/kbtfiles"));
    form->SetDeploymentControlsVisible(true);
    for (QWidget* w : std::initializer_list<QWidget*>{form->bpeace, form->Label1, form->lbShowTimeRemain,
                                                      form->btnChangeQz, form->btnLoadZf})
        EXPECT_EQ(form->panQiPan->childAt(w->geometry().center()), w) << w->metaObject()->className();
    EXPECT_FALSE(form->btnChangeQz->icon().isNull());  // "完毕" shows the OK glyph
    form->SetStatusText(-1, "x");
    form->ShowTurnLight(-1, 0);
    EXPECT_FALSE(form->light1->isVisibleTo(form.get()));
    std::filesystem::current_path("/");
    EXPECT_EQ(GetCurrentFolder(), "/");
    // The game's clock is the monotonic one, which no setting of the time of day moves.
    timespec mono{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    EXPECT_NEAR(static_cast<double>(form->Now().seconds), static_cast<double>(mono.tv_sec), 2.0);
}

// The hidden mode buttons set the seats the computer plays when clicked, and
// either one switches the main timer back on.
TEST_F(MainWindowTest, HiddenModeButtonsSetTheComputerPlayedSeats) {
    jq::GameState& g = form->game();
    form->btnNextStep->setEnabled(true);
    form->Timer1->stop();
    form->rbtPractice->click();
    EXPECT_EQ(std::vector<int>(std::begin(g.computerSeat), std::end(g.computerSeat)), (std::vector<int>{0, 1, 1, 1}));
    EXPECT_TRUE(g.practiceMode == 1 && !form->btnNextStep->isEnabled() && form->Timer1->isActive());
    form->btnNextStep->setEnabled(true);
    form->Timer1->stop();
    form->rbtDps->click();
    EXPECT_EQ(std::vector<int>(std::begin(g.computerSeat), std::end(g.computerSeat)), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_TRUE(g.practiceMode == 0 && form->btnNextStep->isEnabled() && form->Timer1->isActive());
    form->Timer1->stop();
}

// The popup menu opens on the board picture only; the options item opens the options dialog; the
// exit command and item stop the computer player and close.
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

// The window shows a LAN host's result panel without waiting for it; the panel is the host's.
TEST_F(MainWindowTest, LanHostResultPanelDoesNotWait) {
    form->ShowBattleResult(jq::kBattleWon, true);
    const QList<TfmShowResult*> panels = form->findChildren<TfmShowResult*>();
    ASSERT_EQ(panels.size(), 1);
    EXPECT_TRUE(panels[0]->isVisible() && !panels[0]->isModal() && panels[0]->Mode() == 1);
}

// The command under the pointer shows red and bold, every other one plain navy; the mark moves
// with the pointer to another command and goes on the bare panel.
TEST_F(MainWindowTest, SidePanelMarksTheCommandUnderThePointer) {
    auto marked = [this] {
        QStringList red;
        for (QToolButton* b : form->sidePanelButtons) {
            const QColor c = b->palette().color(QPalette::ButtonText);
            EXPECT_TRUE(c == QColor(255, 0, 0) || c == QColor(0, 0, 128)) << b->text().toStdString();
            EXPECT_EQ(b->font().bold(), c == QColor(255, 0, 0)) << b->text().toStdString();
            if (c == QColor(255, 0, 0)) red << b->text();
        }
        return red;
    };
    auto moveOver = [](QWidget* w) { SendMouse(w, QEvent::MouseMove, Qt::NoButton, Qt::NoButton); };
    EXPECT_TRUE(marked().isEmpty());
    moveOver(form->btnLoadFile);
    moveOver(form->btnLoadFile);
    EXPECT_EQ(marked(), QStringList{form->btnLoadFile->text()});
    moveOver(form->btnExit);
    EXPECT_EQ(marked(), QStringList{form->btnExit->text()});
    moveOver(form->Panel1);
    EXPECT_TRUE(marked().isEmpty() && form->game().hoverCaption.empty());
}

TEST(FreshInstall, OptionsShowTheNeutralStyleAndOkKeepsIt) {
    ScratchWorkFolder folder;
    jq::NullUi ui;
    jq::GameState g;
    g.ui = &ui;
    g.appFolder = folder.path() + "/";
    jq::LoadOptionsAtStartup(g);  // no "oprec" yet

    std::vector<int> shown;
    WhenShown<Twoption>([&shown](Twoption& d) {
        for (const char* name : {"tbsf1", "tbsf2", "tbsf3"})
            shown.push_back(d.findChild<QSlider*>(name)->value());
        d.findChild<QLineEdit*>("Edit1")->setText(U("张\U0001F600"));  // the emoji is outside the code page
        for (QChar c : U("一二三四五六七八九十百千")) {                // typed: 24 bytes, of which 21 fit
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(d.findChild<QLineEdit*>("Edit2"), &key);
        }
        d.findChild<QPushButton*>("BitBtn1")->click();
    });
    ASSERT_TRUE(RunOptionsDialog(nullptr, g, {}, QString()));
    EXPECT_EQ(shown, std::vector<int>(3, 5));
    EXPECT_DOUBLE_EQ(g.styleCoefCaution, 0.8);
    EXPECT_EQ(jq::PlayerName(g.optionsRecord, 0), "\xD5\xC5?");
    EXPECT_EQ(jq::PlayerName(g.optionsRecord, 1), jq::Gb("一二三四五六七八九十"));
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

// A window in a LAN battle over a connection without a socket. Every box is
// recorded with whether the main timer ran while it was up, and answered OK.
class LanWindowTest : public ::testing::Test {
protected:
    struct Box {
        QString text;
        bool ticking;
        bool withCancel;
    };
    void SetUp() override {
        TfmwMyShowMessage::shownHook = [this](TfmwMyShowMessage& box) {
            boxes.push_back({box.StaticText1->text(), form && form->Timer1->isActive(), !box.BitBtn2->isHidden()});
            box.BitBtn1->click();
        };
        jq::standardBoxShownHook = [](QMessageBox& box) { box.defaultButton()->click(); };
        form = std::make_unique<TqsForm>();
        Connect();
    }
    void TearDown() override {
        form->game().lan->AttachClient(nullptr);
        form.reset();
        TfmwMyShowMessage::shownHook = nullptr;
        jq::standardBoxShownHook = nullptr;
    }
    void Connect() {
        form->game().lan->AttachClient(&link);
        form->game().netConnected = 1;
    }
    void Receive(const jq::net::Packet& p) { form->game().lan->ClientReceived(p.data(), p.size()); }
    std::vector<TfmWaitBattleStart*> Rooms() const {
        std::vector<TfmWaitBattleStart*> open;
        for (TfmWaitBattleStart* d : form->findChildren<TfmWaitBattleStart*>())
            if (d->isVisible()) open.push_back(d);
        return open;
    }
    bool BoxShown(const QString& text) const {
        return std::any_of(boxes.begin(), boxes.end(), [&](const Box& b) { return b.text == text; });
    }

    jq::test::ScratchWorkFolder folder;
    std::unique_ptr<TqsForm> form;
    jq::testing::FakeClientLink link;
    std::vector<Box> boxes;
};

// The host's "JoinLast" (the host waiting) reaches a joining window before its
// next tick: the waiting room opens all the same, once, as the joining
// player's. "退出网战" before the own record is in only closes it, and the
// round does not open it again.
TEST_F(LanWindowTest, AJoiningWindowSeesTheWaitingRoomOnce) {
    jq::GameState& g = form->game();
    g.isNetHost = 0, g.myNetSeat = 2;
    jq::net::RejoinNetBattle(g);
    form->Timer1->stop();
    jq::net::JoinLastBody hostWaits;
    hostWaits.netState = jq::net::kNetWaiting;
    Receive(jq::net::EncodeJoinLast(hostWaits));
    for (int tick = 0; tick < 3; ++tick) jq::net::HandleNetBattle(g);
    ASSERT_EQ(Rooms().size(), 1u);
    EXPECT_EQ(Rooms()[0]->windowTitle(), U("等待庄家决定战役开始..."));
    EXPECT_TRUE(Rooms()[0]->BitBtn1->isVisible());
    Rooms()[0]->BitBtn1->click();
    for (int tick = 0; tick < 3; ++tick) jq::net::HandleNetBattle(g);
    EXPECT_TRUE(Rooms().empty());
    EXPECT_EQ(g.netState, jq::net::kNetWaiting);
}

// The host's result panel closes by itself after 2 s; the next round's waiting
// room, which stays on top, opens only once it has closed.
TEST_F(LanWindowTest, TheHostSeesItsResultBeforeTheWaitingRoom) {
    jq::GameState& g = form->game();
    g.isNetHost = 1, g.myNetSeat = 0;
    form->ShowBattleResult(jq::kBattleWon, true);
    const QPointer<TfmShowResult> panel = form->findChild<TfmShowResult*>();
    ASSERT_TRUE(panel && panel->isVisible() && !panel->isModal());
    jq::net::RejoinNetBattle(g);
    ASSERT_TRUE(WaitFor([&] { return g.netState == jq::net::kNetWaiting; }, 20000));
    EXPECT_TRUE(Rooms().empty());
    EXPECT_TRUE(panel && panel->isVisible());
    // The panel's 2 s are 200 ticks of its own timer: longer on a loaded machine.
    ASSERT_TRUE(WaitFor([&] { return !Rooms().empty(); }, 20000));
    EXPECT_TRUE(panel.isNull() || panel->Closed());
    EXPECT_EQ(Rooms()[0]->windowTitle(), U("由您决定是否开始联网战役..."));
}

// Why a joining window left shows in a box once the tick that left is over,
// with the main timer resting meanwhile: the host refused the seat, or closed
// the connection in the middle of a battle. Nothing of it lands in the
// bulletin, and the next LAN game starts with a clean bulletin and status bar.
TEST_F(LanWindowTest, TheReasonForLeavingShowsInABoxAfterTheTick) {
    const QString refused = jq::QtFromGb(jq::net::JoinRefusedText());
    const QString hostGone = U("主机（东家）已退出！（或其它原因无法联接）") + QString(11, ' ') + U("\n数据无法发送。");
    jq::GameState& g = form->game();
    g.isNetHost = 0, g.myNetSeat = 2, g.netDisconnectTime = 300;
    for (const bool inBattle : {false, true}) {
        SCOPED_TRACE(inBattle ? "the host gone in a battle" : "a refused join");
        link.connected = true;
        Connect();
        const QString why = inBattle ? hostGone : refused;
        if (inBattle) {
            g.netState = jq::net::kNetBattle, g.battleRunning = 1, g.curSeat = 1;
            g.lastActivity = g.turnStarted = form->Now();
            link.connected = false;
        } else {
            g.netState = jq::net::kNetJoinSent;
            Receive(jq::net::EncodeBare(jq::net::Word::kJoinRefuse));
        }
        form->Timer1->start();
        form->Timer1Timer();
        EXPECT_EQ(g.netConnected, 0);
        EXPECT_FALSE(BoxShown(why));
        ASSERT_TRUE(WaitFor([&] { return BoxShown(why); }, 2000));
        const auto box = std::find_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.text == why; });
        EXPECT_EQ(std::pair(box->ticking, box->withCancel), std::pair(false, false));
        EXPECT_EQ(std::count_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.text == why; }), 1);
        EXPECT_TRUE(form->Timer1->isActive());
        EXPECT_TRUE(form->reBulltin->toPlainText().isEmpty());
        boxes.clear();
    }

    form->reBulltin->append(U("小王：再见"));
    form->SetStatusText(3, jq::Gb("服务器停止响应！退出网战。"));
    std::vector<QString> seen;  // the bulletin and the status text when the first dialog is up
    auto look = [&] {
        if (seen.empty()) seen = {form->reBulltin->toPlainText(), form->statusPanels[3]->text()};
    };
    TfmwMyShowMessage::shownHook = [&](TfmwMyShowMessage& box) {  // this machine may have no network
        look();
        box.BitBtn1->click();
    };
    WhenShown<TfmSelectNetType>([&](TfmSelectNetType& d) {
        look();
        d.BitBtn1->click();  // joining
    });
    WhenShown<TfmSelectTheHost>([](TfmSelectTheHost& d) { d.BitBtn2->click(); });
    form->btnnetbattleClick();
    EXPECT_EQ(seen, (std::vector<QString>{QString(), jq::QtFromGb(jq::IdleStatusText())}));
}

// Every box or dialog that can open while the host's waiting room, which stays on top, is up opens above
// it: the questions of "人机对奕" and "联网对战", the options, a reason for leaving, a standard box. Once
// the room has closed, boxes open as before.
TEST_F(LanWindowTest, BoxesOpenAboveTheWaitingRoom) {
    jq::GameState& g = form->game();
    g.isNetHost = 1, g.myNetSeat = 0, g.netState = jq::net::kNetWaiting;
    form->ShowWaitDialog();
    std::vector<bool> above;  // for each window opened: above a room that is up
    auto look = [&](QDialog& d) {
        above.push_back(!Rooms().empty() && d.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        d.done(TfmwMyShowMessage::kCancel);
    };
    TfmwMyShowMessage::shownHook = look;
    jq::standardBoxShownHook = look;
    WhenShown<Twoption>(look);
    form->btnNewBattle->click();
    form->btnnetbattleClick();
    form->mpopOption->trigger();
    form->ExplainLeaving(jq::Gb("服务器拒绝联接！"));
    WaitFor([&] { return above.size() == 4; }, 2000);
    form->ShowStandardBox(jq::Gb("保存结果文件不成功！！！"), jq::Gb("警告"));
    EXPECT_EQ(above, std::vector<bool>(5, true));
    Rooms().at(0)->BitBtn2->click();  // "开始战役"
    form->ShowStandardBox(jq::Gb("保存结果文件不成功！！！"), jq::Gb("警告"));
    EXPECT_EQ(above, (std::vector<bool>{true, true, true, true, true, false}));
}

// Every box of the game answered OK while it lives.
struct OkToEveryBox {
    OkToEveryBox() {
        TfmwMyShowMessage::shownHook = [](TfmwMyShowMessage& box) { box.BitBtn1->click(); };
        jq::standardBoxShownHook = [](QMessageBox& box) { box.defaultButton()->click(); };
    }
    ~OkToEveryBox() {
        TfmwMyShowMessage::shownHook = nullptr;
        jq::standardBoxShownHook = nullptr;
    }
};

// The window takes seat `seat` of the LAN battle hosted on `port` of 127.0.0.1.
bool EnterLanBattle(TqsForm& form, int seat, quint16 port) {
    jq::GameState& g = form.game();
    g.isNetHost = seat == 0 ? 1 : 0;
    g.myNetSeat = seat;
    g.myNetName = jq::Gb("玩家") + std::to_string(seat);
    form.lanSockets()->ConnectTo(QStringLiteral("127.0.0.1"), port);
    if (!WaitFor([&] { return form.lanSockets()->ClientConnected(); }, 5000)) return false;
    g.netConnected = 1;
    jq::net::RejoinNetBattle(g);
    return true;
}

// Two windows in one LAN battle over 127.0.0.1, each on its own main timer: the host (seat 0) and a joining
// player (seat 1), the computer holding seats 2 and 3.
struct TwoLanWindows {
    TwoLanWindows(int moveSeconds, int direction) {
        host->show();
        joiner->show();
        h.optionsRecord.netMinMoveIntervalOption = 0, h.optionsRecord.aiLevel = 0;
        h.optionsRecord.netMoveTimeOption = moveSeconds, h.optionsRecord.turnDirectionOption = direction;
    }
    // The host's window opens the round, in which `firstSeat` moves first.
    bool Host(int firstSeat) {
        if (!host->lanSockets()->Listen(QHostAddress::LocalHost, 0)) return false;
        jq::net::ResetSeatNames(h);
        if (!EnterLanBattle(*host, 0, host->lanSockets()->ListeningPort())) return false;
        for (uint32_t seed = 1;; ++seed) {  // the round's first seat is the host's next draw
            jq::GameRandom r;
            r.Seed(seed);
            if (jq::GameRandom(r).Next() % 4 == firstSeat) {
                h.mainRandom = r;
                return true;
            }
        }
    }
    bool Join() { return EnterLanBattle(*joiner, 1, host->lanSockets()->ListeningPort()); }
    // The host's player presses "开始战役" once the room shows seat 1 as `seat1Held` says.
    bool StartRound(bool seat1Held) {
        TfmWaitBattleStart* room = nullptr;
        if (!WaitFor([&] {
                room = host->findChild<TfmWaitBattleStart*>();
                return (h.seatTable[1].state == 1) == seat1Held && room != nullptr && room->isVisible();
            }, 10000))
            return false;
        room->BitBtn2->click();
        return true;
    }
    // Both players press "完毕" once they may.
    bool Deploy() {
        for (TqsForm* form : {host.get(), joiner.get()}) {
            jq::GameState& g = form->game();
            if (!WaitFor([&] { return g.netState == jq::net::kNetDeploying && !jq::HostAwaitsComputerDeployments(g); },
                         20000))
                return false;
            LeftClick(form->btnChangeQz);
        }
        return true;
    }

    std::unique_ptr<TqsForm> host = std::make_unique<TqsForm>();
    std::unique_ptr<TqsForm> joiner = std::make_unique<TqsForm>();
    jq::GameState& h = host->game();
    jq::GameState& j = joiner->game();
};

// Two windows in one LAN battle. On his turn the joining player asks for peace
// and the host agrees in its question box: both windows show the draw within a
// few ticks, with no time-out booked, whether the turn is the battle's first or
// comes later.
TEST(LanWindows, AnAgreedPeaceEndsTheBattleAtTheNextTick) {
    ScratchWorkFolder folder;
    OkToEveryBox hooks;
    auto peaceShown = [](TqsForm& form) {
        const TfmShowResult* panel = form.findChild<TfmShowResult*>();
        return panel != nullptr && panel->PanelPeace->isVisible();
    };
    for (const bool firstStep : {true, false}) {
        SCOPED_TRACE(firstStep ? "asked before the first step" : "asked after two steps");
        TwoLanWindows w(60, -1);
        std::unique_ptr<TqsForm>&host = w.host, &joiner = w.joiner;
        jq::GameState &h = w.h, &j = w.j;
        // The first seat: seat 1, or seat 3 (then 2, then 1).
        ASSERT_TRUE(w.Host(firstStep ? 1 : 3) && w.Join() && w.StartRound(true) && w.Deploy());
        ASSERT_TRUE(WaitFor([&] {
            return j.battleRunning != 0 && j.curSeat == 0 && joiner->bpeace->isEnabled();
        }, 30000));
        const int steps = j.stepCount;
        ASSERT_EQ(steps, firstStep ? 0 : 2);

        LeftClick(joiner->bpeace);
        TfmwMyShowMessage* question = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            for (TfmwMyShowMessage* box : host->findChildren<TfmwMyShowMessage*>())
                if (box->isVisible()) question = box;
            return question != nullptr;
        }, 5000));
        EXPECT_EQ(question->StaticText1->text(), U("玩家1  请求和棋,是否同意?"));
        // The joining window's panel waits for a click in its own loop: what
        // the window shows then is kept, and the panel closed.
        QElapsedTimer agreed;
        qint64 joinerEnded = -1;
        int joinerSteps = -1;
        QString joinerStatus;
        auto watch = std::make_shared<std::function<void()>>();
        *watch = [&, watch] {
            if (auto* panel = joiner->findChild<TfmShowResult*>(); panel != nullptr && panel->isVisible()) {
                joinerEnded = agreed.elapsed();
                joinerSteps = j.stepCount;
                joinerStatus = joiner->statusPanels[3]->text();
                EXPECT_TRUE(panel->PanelPeace->isVisible());
                panel->accept();
                return;
            }
            QTimer::singleShot(5, joiner.get(), *watch);  // ends with the window
        };
        QTimer::singleShot(0, joiner.get(), *watch);
        agreed.start();
        question->BitBtn1->click();
        ASSERT_TRUE(WaitFor([&] { return peaceShown(*host) && joinerEnded >= 0; }, 5000))
            << "the host's draw shown " << peaceShown(*host) << ", the joining side's " << joinerEnded;
        // A few ticks of both timers, and a time-out would have no call to come.
        EXPECT_LT(agreed.elapsed(), 2000);
        EXPECT_EQ(joinerSteps, steps);
        EXPECT_FALSE(joinerStatus.contains(U("超时")));
        EXPECT_FALSE(host->statusPanels[3]->text().contains(U("超时")));
        EXPECT_EQ(std::pair(h.netTimeoutCount, j.netTimeoutCount), std::pair(0, 0));
        joiner.reset();
        host.reset();
    }
}

// The host's window alone, the computer holding seats 1 to 3, a move time of 1 s, and its player never moves.
// His fourth time-out gives seat 0 to the computer: a box tells him so while the computer plays the seat's
// turns behind it, with "祈求和平" and "缴械投降" off on each.
TEST(LanWindows, TheHostsPlayerIsToldWhenHisSeatGoesToTheComputer) {
    ScratchWorkFolder folder;
    OkToEveryBox hooks;
    auto host = std::make_unique<TqsForm>();
    host->show();
    jq::GameState& h = host->game();
    h.optionsRecord.netMinMoveIntervalOption = 0, h.optionsRecord.aiLevel = 0,
    h.optionsRecord.netMoveTimeOption = 1;
    ASSERT_TRUE(host->lanSockets()->Listen(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(EnterLanBattle(*host, 0, host->lanSockets()->ListeningPort()));
    TfmWaitBattleStart* room = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (room = host->findChild<TfmWaitBattleStart*>()) && room->isVisible(); }, 10000));
    room->BitBtn2->click();
    ASSERT_TRUE(
        WaitFor([&] { return h.netState == jq::net::kNetDeploying && !jq::HostAwaitsComputerDeployments(h); },
                20000));
    LeftClick(host->btnChangeQz);
    EXPECT_TRUE(WaitFor(
        [&] { return h.curSeat == 0 && host->bgiveup->isEnabled() && host->bpeace->isEnabled(); }, 20000));
    TfmwMyShowMessage* box = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (box = host->findChild<TfmwMyShowMessage*>()) && box->isVisible(); }, 30000));
    EXPECT_EQ(box->StaticText1->text(),
              U("超时次数太多！") + QString(11, ' ') + U("\n您的位置已由计算机接管。"));
    const int steps = h.stepCount;
    bool buttonsOn = false;
    for (int turns = 0, tries = 0; turns < 2 && ++tries < 10 &&
                                   WaitFor([&] { return h.curSeat == 0 || h.battleRunning == 0; }, 10000);) {
        buttonsOn = buttonsOn || host->bgiveup->isEnabled() || host->bpeace->isEnabled();
        const int at = h.stepCount;
        if (WaitFor([&] { return h.stepCount > at || h.battleRunning == 0; }, 5000)) ++turns;
    }
    EXPECT_GE(h.stepCount, steps + 5);
    EXPECT_FALSE(buttonsOn);
    EXPECT_EQ(std::pair(h.netTimeoutCount, box->isVisible()), std::pair(3, true));
}

// The host's player opens "缴械投降" (or "祈求和平") at the start of his turn and keeps the box open
// across his time: the joining window sees the host's time-out by his time and the grace, and the seats
// the computer holds, next, move, so that the joining player's turn begins, the box still open. Confirmed
// then, nothing goes out, and the host's window says so where the time-out's own line does not cover it.
TEST(LanWindows, TheHostsOpenBoxDoesNotHoldUpTheBattle) {
    ScratchWorkFolder folder;
    const struct {
        const char* what;
        QPushButton* TqsForm::*button;
        QString notSent;
    } rows[] = {
        {"the give-up box", &TqsForm::bgiveup, U("走棋时间已到，此步没有发出！")},
        {"the peace box", &TqsForm::bpeace, U("走棋时间已到，和棋请求没有发出！")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        OkToEveryBox hooks;
        TwoLanWindows w(2, -1);
        ASSERT_TRUE(w.Host(0) && w.Join() && w.StartRound(true) && w.Deploy());
        ASSERT_TRUE(WaitFor([&] { return w.h.battleRunning != 0 && w.host->bgiveup->isEnabled(); }, 20000));
        int64_t timedOutAt = -1;  // ms into the host's turn
        bool boxOpen = false;
        TfmwMyShowMessage::shownHook = [&](TfmwMyShowMessage& box) {
            // Steps and turns as the joining window shows them while the box is up.
            const int64_t turnStarted = jq::StampMs(w.h.turnStarted);
            // Held up by the box, the battle would wait for it: the bounds only end the wait.
            WaitFor([&] { return w.j.stepCount >= 1; }, 30000);
            timedOutAt = jq::StampMs(w.host->Now()) - turnStarted;
            WaitFor([&] { return w.j.curSeat == 0 && w.joiner->bgiveup->isEnabled(); }, 30000);
            boxOpen = box.isVisible();
            box.BitBtn1->click();
        };
        LeftClick((*w.host).*r.button);
        TfmwMyShowMessage::shownHook = [](TfmwMyShowMessage& box) { box.BitBtn1->click(); };
        EXPECT_GE(timedOutAt, 1900);  // the host's time of 2 s
        EXPECT_LT(timedOutAt, 15000);  // and the grace of 3 s, and what a loaded machine adds
        EXPECT_EQ(std::tuple(boxOpen, w.j.stepCount, w.j.curSeat, w.joiner->bgiveup->isEnabled()),
                  std::tuple(true, 3, 0, true));
        EXPECT_EQ(std::pair(w.h.stepCount, w.h.netTimeoutCount), std::pair(3, 1));
        EXPECT_TRUE(w.host->reBulltin->toPlainText().contains(r.notSent));
        WaitFor([] { return false; }, 300);
        EXPECT_TRUE(w.joiner->findChildren<TfmwMyShowMessage*>().empty());  // no peace question
        for (int e = 0; e < w.j.stepCount; ++e)  // no give-up
            EXPECT_FALSE(w.j.stepRecords[e].mover == jq::kNoPiece && w.j.stepRecords[e].fromX == jq::kSurrenderCoord);
    }
}

// A join sent while the deployment waits only for the host's player (who has no deploy time), the joined
// seat's own deploy time over: the host answers it when the battle begins. Meanwhile the joining window says
// that it waits for the host's answer, with no waiting room of empty seats and no clock; the answer takes it
// into the battle, and the line goes.
TEST(LanWindows, AJoinKeptWaitingSaysItWaitsForTheHost) {
    ScratchWorkFolder folder;
    OkToEveryBox hooks;
    TwoLanWindows w(20, 1);
    w.h.optionsRecord.netDeployTimeOption = 1;
    ASSERT_TRUE(w.Host(0) && w.StartRound(false));
    ASSERT_TRUE(WaitFor([&] {
        return w.h.netState == jq::net::kNetDeploying && !jq::HostAwaitsComputerDeployments(w.h);
    }, 20000));
    WaitFor([] { return false; }, 1500);
    ASSERT_TRUE(w.Join());
    WaitFor([] { return false; }, 1000);
    const QString waits = U("已申请加入，正在等待庄家答复...");
    EXPECT_EQ(w.joiner->statusPanels[3]->text(), waits);
    EXPECT_EQ(std::pair(w.joiner->lbShowTimeRemain->text(), w.joiner->light1->isVisible()), std::pair(QString(), false));
    EXPECT_EQ(w.joiner->findChild<TfmWaitBattleStart*>(), nullptr);
    EXPECT_EQ(w.j.seatTable[1].state, 0);

    LeftClick(w.host->btnChangeQz);
    ASSERT_TRUE(WaitFor([&] { return w.j.battleRunning != 0 && w.j.netState == jq::net::kNetBattle; }, 10000));
    WaitFor([] { return false; }, 200);
    EXPECT_NE(w.joiner->statusPanels[3]->text(), waits);
    EXPECT_NE(w.joiner->lbShowTimeRemain->text(), QString());
    EXPECT_TRUE(w.joiner->light1->isVisible());
    EXPECT_EQ(w.j.seatTable[1].state, 1);
}

// Every text the LAN code puts in the window's box fits it whole: laid out as the box's label lays it out
// (word wrap in its width, from its top left), in the font the label has on this machine.
TEST(LanWindows, EveryLanBoxTextFitsTheBox) {
    using namespace jq::net;
    // The longest name a seat record holds, in wide characters.
    std::string name;
    while (name.size() + 2 < sizeof(jq::SeatRec{}.name)) name += jq::Gb("赢");
    std::vector<std::string> texts = {JoinRefusedText(), HostGoneText(), PeaceQuestionText(name)};
    for (const int reason : {kLeaveDeployTimeout, kLeaveSilentTurn, kLeaveTooManyTimeouts, kLeaveHandedOver})
        texts.push_back(HandOverText(reason));
    for (const LanBox b : {LanBox::kAskLeaveForNewBattle, LanBox::kNoNetwork, LanBox::kServerFailed, LanBox::kNoHost,
                           LanBox::kConnectTimedOut, LanBox::kHostSilent, LanBox::kResultNotSent, LanBox::kUnknownWord})
        texts.push_back(LanBoxText(b));
    TfmwMyShowMessage box;
    QLabel& label = *box.StaticText1;
    const QRect room = label.contentsRect();
    for (const std::string& text : texts) {
        label.setText(jq::QtFromGb(text));
        const QRect used =
            QFontMetrics(label.font()).boundingRect(room, int(label.alignment()) | Qt::TextWordWrap, label.text());
        EXPECT_TRUE(room.contains(used) && label.heightForWidth(room.width()) <= room.height())
            << label.text().toStdString() << ": " << used.width() << "x" << used.height() << " in " << room.width()
            << "x" << room.height() << ", " << QFontInfo(label.font()).family().toStdString();
    }
}

// A joining player's seat goes to the computer at his deploy time, while the host's window holds its main
// tick; he closes the program and starts it again on the same address, and asks for that seat in the round
// still running. The host refuses it and shows the
// seat as the computer's: the new window, which knows nothing of the round before, says what holds whatever
// the host's reason, not that a player holds the seat.
TEST(LanWindows, ARestartedWindowRefusedItsSeatSaysWhatHolds) {
    ScratchWorkFolder folder;
    OkToEveryBox hooks;
    TwoLanWindows w(20, 1);
    w.h.optionsRecord.netDeployTimeOption = 1;
    ASSERT_TRUE(w.Host(0) && w.Join() && w.StartRound(true));
    // The host's window holds its main tick throughout, as while a box of its own is up: its duties go on.
    ASSERT_TRUE(WaitFor([&] { return w.h.netState == jq::net::kNetDeploying; }, 10000));
    w.host->Timer1->stop();
    ASSERT_TRUE(WaitFor([&] { return w.j.netConnected == 0; }, 20000));
    w.joiner = std::make_unique<TqsForm>();
    w.joiner->show();
    std::vector<std::string> boxes;
    TfmwMyShowMessage::shownHook = [&](TfmwMyShowMessage& box) {
        boxes.push_back(jq::GbFromQt(box.StaticText1->text()));
        box.BitBtn1->click();
    };
    ASSERT_TRUE(EnterLanBattle(*w.joiner, 1, w.host->lanSockets()->ListeningPort()));
    ASSERT_TRUE(WaitFor([&] { return w.joiner->game().netConnected == 0 && w.joiner->Timer1->isActive(); }, 10000));
    WaitFor([] { return false; }, 300);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), jq::net::JoinRefusedText());
    w.host->Timer1->start();
    EXPECT_TRUE(WaitFor([&] { return w.h.seatTable[1].state == 0; }, 2000));
}

// A joining player leaves by "联网对战" and confirms, in the deployment or in the battle, the host running on:
// he chose to leave, so nothing tells him that the host has gone, neither over the "host or join" dialog nor
// after it, and the host gives his seat to the computer. Before, in the battle, "保存战役" looks off in both windows.
TEST(LanWindows, LeavingByANewLanBattleSaysNothingOfTheHost) {
    ScratchWorkFolder folder;
    for (const bool inBattle : {false, true}) {
        SCOPED_TRACE(inBattle ? "in the battle" : "in the deployment");
        OkToEveryBox hooks;
        TwoLanWindows w(20, 1);
        ASSERT_TRUE(w.Host(0) && w.Join() && w.StartRound(true));
        if (inBattle) {
            ASSERT_TRUE(w.Deploy());
            ASSERT_TRUE(WaitFor([&] { return w.j.battleRunning != 0 && w.j.netState == jq::net::kNetBattle; }, 20000));
        } else {
            ASSERT_TRUE(WaitFor([&] { return w.j.netState == jq::net::kNetDeploying; }, 20000));
        }
        // Saving is off in a LAN battle: "保存战役" on the side panel is drawn off, as the board's menu shows it.
        for (TqsForm* form : {w.host.get(), w.joiner.get()}) {
            if (!inBattle) break;  // a formation may be saved while deploying
            QToolButton& save = *form->btnsavefile;
            EXPECT_FALSE(save.isEnabled() || form->mpopSaveBattle->isEnabled());
            const QImage off = save.grab().toImage();
            save.setEnabled(true);
            const QImage on = save.grab().toImage();
            save.setEnabled(false);
            EXPECT_NE(off, on);
        }
        std::vector<std::string> boxes;
        TfmwMyShowMessage::shownHook = [&](TfmwMyShowMessage& box) {
            boxes.push_back(jq::GbFromQt(box.StaticText1->text()));
            // A player reads the question: the window's next tick is due when he answers.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            box.BitBtn1->click();
        };
        bool boxOverDialog = false;
        WhenShown<TfmSelectNetType>([&](TfmSelectNetType& d) {
            WaitFor([] { return false; }, 600);  // the window's ticks run behind the dialog
            for (const TfmwMyShowMessage* box : w.joiner->findChildren<TfmwMyShowMessage*>())
                boxOverDialog = boxOverDialog || box->isVisible();
            d.BitBtn1->click();  // joining
        });
        WhenShown<TfmSelectTheHost>([](TfmSelectTheHost& d) { d.BitBtn2->click(); });
        w.joiner->btnnetbattleClick();
        WaitFor([] { return false; }, 600);
        EXPECT_FALSE(boxOverDialog);
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), jq::net::HostGoneText()), 0);
        EXPECT_EQ(w.j.netConnected, 0);
        EXPECT_TRUE(WaitFor([&] { return w.h.seatTable[1].state == 0; }, 5000));
        EXPECT_TRUE(jq::net::NetServerActive(w.h));
    }
}

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
    auto click = [board](Qt::KeyboardModifiers mods) {
        SendMouse(board, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(-1, -1), mods);
        SendMouse(board, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(-1, -1), mods);
    };
    click(Qt::KeypadModifier);  // the keypad flag is no modifier
    EXPECT_EQ(g.clickStepCount, 1);
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
    click(Qt::ControlModifier);
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

// What a record that does not open must leave as it is in the window.
struct ShownWindow {
    QStringList texts;  // caption, step counter, seat labels, recent records
    std::vector<QRect> pieces;
    std::vector<bool> piecesShown;
    std::vector<int> state;  // step, click mode, automatic replay, step buttons
    bool operator==(const ShownWindow&) const = default;
};

ShownWindow ShownWindowOf(TqsForm& form) {
    const jq::GameState& g = form.game();
    form.PopupMenu1Popup();
    ShownWindow w;
    w.texts << form.windowTitle() << form.statusPanels[1]->text() << form.statusPanels[2]->text();
    for (QLabel* label : {form.Label1, form.Label2, form.Label3, form.Label4}) w.texts << label->text();
    for (QAction* item : form.mnFna) w.texts << item->text();
    for (jq::ImageControl* piece : form.boardView->pieceImages) {
        w.pieces.push_back(piece->geometry());
        w.piecesShown.push_back(piece->isVisibleTo(&form));
    }
    w.state = {g.stepCount, g.clickStepCount, g.autoPlay, form.btnNextStep->isEnabled(), form.btnProvStep->isEnabled()};
    return w;
}

// Files no battle could have written, chosen in the dialog of "调出战役", or reopened by
// Ctrl+"上一步" once the record in use has turned bad: one box each, and the replay standing at
// step 10 keeps its caption, counter, board and recent records. Then the back-to-the-start click
// has spent its mode: a plain click on the board starts automatic replay, no go-to-step dialog.
TEST(ReplayWindow, BadRecordsChangeNothingInTheWindow) {
    jq::test::ScratchWorkFolder folder;
    std::filesystem::create_directory(folder.path() + "/kbtfiles");
    std::filesystem::copy_file(JQ_SOURCE_DIR "/assets/work/statfile", folder.path() + "/statfile");
    QStringList boxes;
    TfmwMyShowMessage::shownHook = [&boxes](TfmwMyShowMessage& box) {
        boxes << box.StaticText1->text();
        box.BitBtn1->click();
    };
    jq::standardBoxShownHook = [&boxes](QMessageBox& box) {
        boxes << box.windowTitle() + U("|") + box.text();
        box.defaultButton()->click();
    };
    auto form = std::make_unique<TqsForm>();
    form->show();
    form->Timer1->stop();  // no automatic step between the looks
    jq::GameState& g = form->game();
    auto openInDialog = [&form](const std::string& path) {
        WhenShown<QFileDialog>([path](QFileDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path));
            static_cast<QDialog&>(dialog).accept();
        });
        LeftClick(form->btnLoadFile);
    };
    const jq::replaytest::PlayedRecord live = jq::replaytest::PlayRandomBattle(5, -1, -1);
    const std::vector<uint8_t> jqh = jq::replaytest::EncodeJqh(jq::DecodeBattleFile(live.kbt).file, 1);
    const std::string good = folder.path() + "/kbtfiles/good.kbt";
    jq::test::WriteBytes(good, live.kbt);
    openInDialog(good);
    ASSERT_EQ(form->windowTitle(), QString::fromStdString(good));
    SendMouse(form->btnNextStep, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(2, 2), Qt::ControlModifier);
    SendMouse(form->btnNextStep, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(2, 2), Qt::ControlModifier);
    ASSERT_EQ(g.stepCount, 10);
    ASSERT_EQ(form->statusPanels[2]->text(), U("当前已走：10 步"));
    boxes.clear();
    const ShownWindow before = ShownWindowOf(*form);

    for (const jq::badrecords::BadRecord& bad : jq::badrecords::Table(live.kbt, jqh)) {
        const std::string path = folder.path() + "/kbtfiles/" + bad.name;
        jq::test::WriteBytes(path, bad.bytes);
        openInDialog(path);
        EXPECT_EQ(boxes, QStringList{QString::fromStdString(jq::badrecords::ExpectedBox(bad, path))}) << bad.name;
        EXPECT_TRUE(ShownWindowOf(*form) == before) << bad.name;
        boxes.clear();
    }
    // The record in use turns bad: Ctrl+"上一步" reads it again and refuses it.
    const jq::badrecords::BadRecord random = jq::badrecords::Table(live.kbt, jqh)[0];
    jq::test::WriteBytes(good, random.bytes);
    SendMouse(form->btnProvStep, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(2, 2), Qt::ControlModifier);
    SendMouse(form->btnProvStep, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(2, 2), Qt::ControlModifier);
    EXPECT_EQ(boxes, QStringList{QString::fromStdString(jq::badrecords::ExpectedBox(random, good))});
    EXPECT_TRUE(ShownWindowOf(*form) == before);

    // Sound again, Ctrl+"上一步" goes back to the start; the next plain click on the board is
    // a plain one.
    jq::test::WriteBytes(good, live.kbt);
    SendMouse(form->btnProvStep, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(2, 2), Qt::ControlModifier);
    SendMouse(form->btnProvStep, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(2, 2), Qt::ControlModifier);
    ASSERT_EQ(g.stepCount, 0);
    bool asked = false;
    WhenShown<TJumpPara>([&asked](TJumpPara& d) {
        asked = true;
        d.BitBtn2->click();
    });
    LeftClick(form->boardView->qipan);
    EXPECT_FALSE(asked);
    EXPECT_EQ(g.autoPlay, 1);
    TfmwMyShowMessage::shownHook = nullptr;
    jq::standardBoxShownHook = nullptr;
}

// The go-to-step dialog keeps its fixed controls where the layout puts them,
// and each text keeps clear of the next and fits its place, whatever the
// fonts: the dialog's own, full-width digits as a fallback font draws them,
// wider captions, a larger font throughout, and the shortest and longest
// counts.
TEST(GoToStepDialog, ControlsInPlaceAndTheCountsLineReadsApart) {
    struct Row {
        const char* name;
        int maxSteps, current;
        int extraSpacing;   // added to every glyph of the counts
        int captionPixels;  // captions of the counts line; 0 keeps the dialog's
        int allPixels;      // every text; 0 keeps the dialog's
    };
    const Row rows[] = {
        {"own fonts, longest counts", 510, 510, 0, 0, 0}, {"own fonts, shortest counts", 0, 0, 0, 0, 0},
        {"own fonts, mixed counts", 510, 7, 0, 0, 0},      {"full-width digits", 510, 510, 6, 0, 0},
        {"very wide digits", 510, 510, 8, 0, 0},
        {"wider captions", 510, 510, 0, 13, 0},            {"larger font throughout", 510, 510, 3, 0, 15},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        int result = 0;
        TJumpPara d(nullptr, &result, r.maxSteps, r.current);
        for (QWidget* w : d.findChildren<QWidget*>()) {
            QFont f = w->font();
            if (r.allPixels != 0) f.setPixelSize(r.allPixels);
            if (r.captionPixels != 0 && qobject_cast<QToolButton*>(w) != nullptr) f.setPixelSize(r.captionPixels);
            if (r.extraSpacing != 0 && (w == d.lbCurSelePosition || w == d.lbCurPosition || w == d.lbMaxBu))
                f.setLetterSpacing(QFont::AbsoluteSpacing, r.extraSpacing);
            w->setFont(f);
        }
        d.LayOutTexts();

        const std::vector<std::pair<QWidget*, QRect>> places = {{d.GroupBox1, {18, 12, 293, 143}},
                                                                {d.TrackBar1, {10, 24, 269, 21}},
                                                                {d.BitBtn1, {126, 168, 85, 25}},
                                                                {d.BitBtn2, {216, 168, 85, 25}}};
        for (const auto& [w, rect] : places) EXPECT_EQ(w->geometry(), rect) << w->metaObject()->className();
        EXPECT_EQ(d.Label1->pos(), QPoint(18, 58));
        EXPECT_EQ(d.Label6->pos(), QPoint(20, 168));
        EXPECT_EQ(d.size(), QSize(328, 208));

        // Where each text is drawn: captions centred in their buttons, labels from their left edge.
        auto advance = [](QWidget* w, const QString& text) { return QFontMetrics(w->font()).horizontalAdvance(text); };
        auto centred = [&](QToolButton* b) {
            const int w = advance(b, b->text());
            EXPECT_LE(w, b->width() - 4) << b->text().toStdString() << " fills its button";
            return std::pair(b->x() + (b->width() - w) / 2, b->x() + (b->width() + w + 1) / 2);
        };
        auto left = [&](QLabel* l) {
            const int w = advance(l, l->text());
            EXPECT_LE(w, l->width()) << l->text().toStdString() << " is cut";
            EXPECT_GE(l->height(), QFontMetrics(l->font()).height()) << l->text().toStdString() << " is cut";
            return std::pair(l->x(), l->x() + w);
        };
        auto readsApart = [&](const std::vector<std::pair<int, int>>& line) {
            for (size_t i = 1; i < line.size(); ++i)
                EXPECT_GE(line[i].first - line[i - 1].second, 3) << "gap before text " << i;
            EXPECT_LE(line.back().second, d.GroupBox1->width() - 2) << "the line runs out of its box";
        };
        readsApart({centred(d.SpeedButton2), left(d.lbCurPosition), centred(d.SpeedButton1), left(d.lbMaxBu)});
        // The counts stand on the line of their captions.
        for (QLabel* l : {d.lbCurPosition, d.lbMaxBu}) {
            const int middle = l->geometry().center().y(), buttonMiddle = d.SpeedButton2->geometry().center().y();
            EXPECT_LE(std::abs(middle - buttonMiddle), 2) << l->text().toStdString();
        }
        // The chosen step reads apart from its caption, on its line, at every step of the record.
        for (int step : {0, r.maxSteps / 2, r.maxSteps}) {
            d.TrackBar1->setValue(step);
            readsApart({left(d.Label1), left(d.lbCurSelePosition)});
        }
        EXPECT_LE(std::abs(d.lbCurSelePosition->geometry().center().y() - d.Label1->geometry().center().y()), 1);
        // The reminder of the Ctrl click ends before the OK button, on one line or two.
        const QRect reminder = QFontMetrics(d.Label6->font())
                                   .boundingRect(QRect(0, 0, d.Label6->width(), 1000), Qt::TextWordWrap, d.Label6->text());
        EXPECT_LE(reminder.width(), d.Label6->width());
        EXPECT_LE(reminder.height(), d.Label6->height());
        EXPECT_GE(d.BitBtn1->x() - (d.Label6->x() + reminder.width()), 3);
        EXPECT_LE(d.Label6->geometry().bottom(), d.height());
    }
}

// The two count captions move the bar to the record's last step and back to the step
// reached; OK takes the bar's step.
TEST(GoToStepDialog, CountButtonsMoveTheBar) {
    int result = 0;
    TJumpPara d(nullptr, &result, 123, 40);
    d.SpeedButton1->click();
    EXPECT_EQ(d.TrackBar1->value(), 123);
    EXPECT_EQ(d.lbCurSelePosition->text(), QStringLiteral("123"));
    d.SpeedButton2->click();
    EXPECT_EQ(d.TrackBar1->value(), 40);
    d.SpeedButton1->click();
    d.BitBtn1->click();
    EXPECT_EQ(result, 123);
}

// The modifier keys of a press on the two step buttons; Alt starts automatic replay on
// "下一步" and does nothing on "上一步", whose click then goes back one step.
TEST(ReplayWindow, StepButtonsReadTheirModifierKeys) {
    jq::test::ScratchWorkFolder folder;
    std::filesystem::copy_file(JQ_SOURCE_DIR "/assets/work/statfile", folder.path() + "/statfile");
    auto form = std::make_unique<TqsForm>();
    jq::GameState& g = form->game();
    const std::string path = folder.path() + "/a.kbt";
    jq::test::WriteBytes(path, jq::replaytest::PlayRandomBattle(5, -1, -1).kbt);
    jq::LoadChosenRecord(g, path);
    struct Row {
        Qt::KeyboardModifiers mods;
        int nextCount, nextAuto, prevCount;
    };
    const Row rows[] = {
        {Qt::NoModifier, 1, 0, 1},
        {Qt::ControlModifier, 10, 0, 2},
        {Qt::ShiftModifier, 20, 0, 2},
        {Qt::ControlModifier | Qt::ShiftModifier, 100, 0, 2},
        {Qt::AltModifier, 1, 1, 1},
        {Qt::AltModifier | Qt::ControlModifier, 10, 1, 2},
        {Qt::AltModifier | Qt::ShiftModifier, 20, 1, 2},
        {Qt::KeypadModifier, 1, 0, 1},
    };
    for (const Row& r : rows) {
        const int mods = static_cast<int>(r.mods);
        g.autoPlay = 1 - r.nextAuto, g.clickStepCount = 7;
        SendMouse(form->btnNextStep, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, QPoint(2, 2), r.mods);
        EXPECT_EQ((std::pair{g.clickStepCount, g.autoPlay}), (std::pair{r.nextCount, r.nextAuto})) << "next " << mods;
        g.autoPlay = 1, g.clickStepCount = 7;
        SendMouse(form->btnProvStep, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, QPoint(2, 2), r.mods);
        EXPECT_EQ((std::pair{g.clickStepCount, g.autoPlay}), (std::pair{r.prevCount, 0})) << "back " << mods;
    }
    form->btnNextStepMouseDown(Qt::LeftButton, Qt::ShiftModifier);
    form->btnNextStepClick();
    ASSERT_EQ(g.stepCount, 20);
    form->btnProvStepMouseDown(Qt::LeftButton, Qt::AltModifier);
    form->btnProvStepClick();
    EXPECT_EQ(g.stepCount, 19);  // one step back, the record not read again
    form->btnProvStepMouseDown(Qt::LeftButton, Qt::ShiftModifier);
    form->btnProvStepClick();
    EXPECT_EQ(g.stepCount, 0);
}

// Input as the screen hands it on: to the window that has the keyboard or the pointer, which is
// an open popup while there is one (it holds both), else the window of the control.
QWindow* WindowTakingInput(QWidget* control) {
    QWidget* popup = QApplication::activePopupWidget();
    return (popup != nullptr ? popup : control->window())->windowHandle();
}

void TypeKey(QWidget* control, int key, const QString& text = QString()) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(WindowTakingInput(control), &event);
    }
}

void ClickOnScreen(QWidget* control) {
    const QPointF global = control->mapToGlobal(QPointF(control->rect().center()));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QWindow* window = WindowTakingInput(control);
        const QPointF local = window->mapFromGlobal(global);
        QMouseEvent event(type, local, local, global, Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &event);
    }
}

// A name typed into each file dialog of the window (one the completer knows, so its list pops up)
// and Enter: the dialog goes with everything it opened, and each of five clicks on "下一步" that
// follow is a step.
TEST(FileDialogs, EnterLeavesNothingOnScreenAndTheNextClickCounts) {
    jq::test::ScratchWorkFolder folder;
    const std::string records = folder.path() + "/kbtfiles/";
    std::filesystem::create_directory(records);
    std::filesystem::copy_file(JQ_SOURCE_DIR "/assets/work/statfile", folder.path() + "/statfile");
    auto form = std::make_unique<TqsForm>();
    form->show();
    form->Timer1->stop();
    jq::GameState& g = form->game();
    const std::vector<uint8_t> record = jq::replaytest::PlayRandomBattle(5, -1, -1).kbt;
    jq::test::WriteBytes(records + "good.kbt", record);
    for (const char* name : {"saved.kbt", "zf-old.kjq"}) jq::test::WriteBytes(records + name, {1, 2, 3});
    jq::LoadChosenRecord(g, records + "good.kbt");
    ASSERT_TRUE(jq::SaveFormationFile(g, records + "mine.kjq"));
    QStringList boxes;
    jq::standardBoxShownHook = [&boxes](QMessageBox& box) {
        boxes << box.text();
        box.defaultButton()->click();
    };
    struct Row {
        const char* command;
        std::function<void()> run;
        const char* typed;
    };
    const Row rows[] = {{"调出战役", [&] { LeftClick(form->btnLoadFile); }, "good.kbt"},
                        {"保存战役", [&] { LeftClick(form->btnsavefile); }, "saved.kbt"},
                        {"调出阵法", [&] { form->btnLoadZfClick(); }, "mine.kjq"},
                        {"保存阵法", [&] { form->btnSaveZfClick(); }, "zf"}};  // a new name: the dialog adds ".kjq"
    for (const Row& row : rows) {
        jq::LoadChosenRecord(g, records + "good.kbt");
        form->setWindowTitle(QString());
        ASSERT_EQ(g.stepCount, 0) << row.command;
        bool popped = false;
        WhenShown<QFileDialog>([&](QFileDialog& dialog) {
            // Typed once the file shows in the folder, as a person would.
            auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
            const QString name = QString::fromUtf8(row.typed);
            WaitFor([&] {
                const QModelIndex top = list->model()->index(0, 0, list->rootIndex());
                return top.isValid() && !list->model()->match(top, Qt::DisplayRole, name, 1, Qt::MatchStartsWith).isEmpty();
            }, 5000);
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            // The window manager hands an opening dialog the keyboard; the offscreen screen may not.
            dialog.activateWindow();
            WaitFor([edit] { return edit->hasFocus(); }, 2000);
            edit->clear();
            for (QChar c : name) TypeKey(edit, 0, QString(c));
            popped = WaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000);
            TypeKey(edit, Qt::Key_Return);
        });
        row.run();
        EXPECT_TRUE(popped) << row.command;
        if (&row == &rows[0]) {
            EXPECT_EQ(form->windowTitle(), QString::fromStdString(records + "good.kbt"));
        }
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << row.command;
        QStringList shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != form.get()) shown << w->metaObject()->className();
        EXPECT_TRUE(shown.isEmpty()) << row.command << ": " << shown.join(' ').toStdString();
        for (int i = 0; i < 5; ++i) ClickOnScreen(form->btnNextStep);
        EXPECT_EQ(g.stepCount, 5) << row.command;
    }
    EXPECT_EQ(jq::test::ReadBytes(records + "saved.kbt"), record);
    EXPECT_EQ(jq::test::ReadBytes(records + "zf.kjq"), jq::EncodeFormationFile(jq::SeatZeroCodes(g)));
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(' ').toStdString();
    jq::standardBoxShownHook = nullptr;
}

// The hidden "阵法学习" command: a file chosen among records gives their folder a database.
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
    EXPECT_TRUE(disabledMeanwhile && form.Button7->isEnabled());
    const std::vector<uint8_t> db = jq::test::ReadBytes(records + "/zffile");
    ASSERT_EQ(db.size(), 64004u);
    EXPECT_EQ(jq::GetI32(db.data()), 30);
}

// The study's steps tell the player to copy the database into the game's working folder, and every
// text fits its place inside the dialog.
TEST(StudyDialog, StepsNameTheWorkingFolderAndEveryTextFits) {
    jq::test::RecordingUi ui;
    TStudyKjqs dialog(ui);
    EXPECT_EQ(dialog.Label6->text(), U("4）请手工将该文件拷入游戏的工作目录（work-folder）内。"));
    for (QLabel* label : dialog.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width()) << label->objectName().toStdString();
        EXPECT_TRUE(dialog.rect().contains(label->geometry())) << label->objectName().toStdString();
    }
}

template <class T>
T* Find(QWidget& root, const char* name) {
    return root.findChild<T*>(QString::fromLatin1(name));
}
void Ok(Twoption& d) { Find<QPushButton>(d, "BitBtn1")->click(); }

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.appFolder = folder.Folder();
        g.ui = &ui;
    }
    // The dialog as the window runs it, acted on by `act`.
    bool Run(std::function<void(Twoption&)> act) {
        WhenShown<Twoption>(std::move(act));
        return RunOptionsDialog(
            nullptr, g, [this] { ++redraws; }, QString::fromStdString(folder.Plain()));
    }

    jq::test::ScratchFolder folder;
    jq::test::RecordingUi ui;
    jq::GameState g;
    Twoption::Tiles tiles;  // none: thumbnails without their pictures
    int redraws = 0;
};

// OK with nothing touched keeps the record; values out of range show at the
// nearest choice and go back there.
TEST_F(OptionsDialogTest, OkKeepsTheRecordAndMendsOutOfRangeValues) {
    const jq::OptionsRec defaults = g.optionsRecord;
    ASSERT_TRUE(Run(Ok));
    EXPECT_EQ(std::memcmp(&g.optionsRecord, &defaults, sizeof defaults), 0);

    jq::OptionsRec& o = g.optionsRecord;
    o = jq::DecodeOptions(nullptr, 0);  // a zero record: turning direction 0 shows as clockwise
    o.aiLevel = 7;
    o.boardBackground = 12;
    o.styleAttack = 99;
    o.styleCaution = -4;
    o.netDisconnectTimeOption = 1000;
    Twoption d(g, tiles);
    EXPECT_EQ(o.boardBackground, 0);                                  // reset as the dialog opens
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton2")->isChecked());  // an unknown level shows as the middle
    EXPECT_TRUE(Find<QRadioButton>(d, "RadioButton5")->isChecked());
    Ok(d);
    EXPECT_EQ((std::array{o.aiLevel, o.turnDirectionOption, o.styleAttack, o.styleCaution,
                          o.netDisconnectTimeOption}),
              (std::array<int32_t, 5>{1, -1, 10, 0, 120}));
}

// The controls go back into the record (and its file) on OK; the bytes after
// a name's NUL, the counters and the reserved bytes are kept.
TEST_F(OptionsDialogTest, ControlsGoBackIntoTheRecordOnOk) {
    jq::OptionsRec& o = g.optionsRecord;
    std::memset(o.playerNames[0], 'x', sizeof o.playerNames[0]);
    std::memset(o.reserved, 0x5A, sizeof o.reserved);
    o.winRecord[2][1] = 17;
    ASSERT_TRUE(Run([](Twoption& d) {
        Find<QLineEdit>(d, "Edit1")->setText(QStringLiteral("abcdefghijklmnopqrstu"));  // 21 characters
        Find<QLineEdit>(d, "Edit3")->setText(QStringLiteral("李四"));
        Find<QCheckBox>(d, "CheckBox1")->setChecked(true);
        Find<QCheckBox>(d, "cbStudyKbt")->setChecked(true);
        Find<QRadioButton>(d, "RadioButton3")->setChecked(true);
        Find<QSlider>(d, "tbAutoStep")->setValue(25);
        Find<QSlider>(d, "tbGetReadyTime")->setValue(72);
        Ok(d);
    }));
    EXPECT_EQ(std::string(o.playerNames[0]), "abcdefghijklmnopqrstu");
    EXPECT_EQ(o.playerNames[0][22], 'x');
    EXPECT_EQ(jq::PlayerName(o, 2), jq::Gb("李四"));
    EXPECT_EQ(
        (std::array{o.soundOn, o.recordLatestFormations, o.aiLevel, o.autoPlayInterval, o.winRecord[2][1]}),
        (std::array<int32_t, 5>{1, 1, 2, 25, 17}));
    EXPECT_EQ(ui.status[1], jq::Gb("级别：高级"));
    EXPECT_EQ(o.reserved[63], 0x5A);
    EXPECT_EQ(jq::DecodeOptions(folder.Read("oprec")).netDeployTimeOption, 72);
}

// A thumbnail takes effect at once, so cancel keeps it but nothing else;
// the board is redrawn only when OK changes the background.
TEST_F(OptionsDialogTest, ThumbnailThenCancelKeepsTheChoiceButNotTheRest) {
    const int attack = g.optionsRecord.styleAttack;
    EXPECT_FALSE(Run([](Twoption& d) {
        jq::test::LeftClick(Find<QWidget>(d, "Image4"));
        Find<QCheckBox>(d, "CheckBox1")->setChecked(true);
        Find<QSlider>(d, "tbsf1")->setValue(10);
        Find<QPushButton>(d, "BitBtn2")->click();
    }));
    EXPECT_EQ(
        (std::array{g.optionsRecord.boardBackground, g.optionsRecord.soundOn, g.optionsRecord.styleAttack}),
        (std::array<int32_t, 3>{3, 0, attack}));
    EXPECT_TRUE(folder.Read("oprec").empty());
    EXPECT_TRUE(Run(Ok));
    EXPECT_EQ(redraws, 0);
    EXPECT_TRUE(Run([](Twoption& d) {
        jq::test::LeftClick(Find<QWidget>(d, "Image2"));
        Ok(d);
    }));
    EXPECT_EQ(g.optionsRecord.boardBackground, 1);
    EXPECT_EQ(redraws, 1);
}

// The computer player as the window sees it: woken by the main timer, it hands a legal move (or a
// surrender) to the main thread as a queued call, and counts as busy until that move has been
// carried out or dropped by a stop.
struct ScriptedComputer : jq::test::FakeComputer {
    explicit ScriptedComputer(jq::GameState& g) {
        rng.Seed(7);
        busyAfterResume = true;
        play = [this, &g] {
            const int wake = resumes + stops;
            auto move = [this, &g, wake] {
                if (idle || wake != resumes + stops) return;  // stopped meanwhile
                const int seat = g.curSeat;
                if (!jq::IsValidSeat(seat) || g.computerSeat[seat] == 0) ++wrongSeat;
                const int n = jq::GenerateMoves(work, g.pieces, seat);
                jq::MoveCand m{.outcome = seat};  // a surrender
                m.fromX = m.fromY = m.toX = m.toY = jq::kSurrenderCoord;
                if (!givesUp[seat] && n > 0) m = work.list[rng.Next() % n];
                jq::ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
                ++moves;
                idle = true;
            };
            QMetaObject::invokeMethod(&context, move, Qt::QueuedConnection);
        };
    }
    bool givesUp[jq::kSeats] = {};  // seats that give up instead of moving
    int moves = 0;
    int wrongSeat = 0;  // moves asked for a seat the computer does not play
    QObject context;    // a hand-over still queued goes with the player
    jq::MoveGenWork work;
    jq::GameRandom rng;
};

class BattleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.path() + "/kbtfiles");
        options.netMinMoveIntervalOption = 0;  // the computer answers at once
        TfmwMyShowMessage::shownHook = [this](TfmwMyShowMessage& box) {
            ownBoxes.push_back(box.StaticText1->text());
            (ownAnswerCancel ? box.BitBtn2 : box.BitBtn1)->click();
        };
        jq::standardBoxShownHook = [this](QMessageBox& box) {
            standardBoxes.push_back(box.windowTitle() + U("|") + box.text());
            if (onStandardBox) onStandardBox();
            box.defaultButton()->click();
        };
    }
    void TearDown() override {
        form.reset();
        TfmwMyShowMessage::shownHook = nullptr;
        jq::standardBoxShownHook = nullptr;
    }

    // The window, with the scripted computer in place of the real one; every
    // result panel is recorded (0 won, 1 lost, 2 drawn) and closed by a click
    // on its text once half a second has passed.
    void OpenWindow() {
        jq::test::WriteBytes(folder.path() + "/oprec", jq::EncodeOptions(options));
        form = std::make_unique<TqsForm>();
        computer = std::make_unique<ScriptedComputer>(form->game());
        form->game().computer = computer.get();
        form->show();
        QObject::connect(&panelWatch, &QTimer::timeout, [this] {
            for (TfmShowResult* panel : form->findChildren<TfmShowResult*>()) {
                if (!panel->isVisible() || panel->Closed()) continue;
                ResultPanelFrame* frames[3] = {panel->PanelWin, panel->PanelLose, panel->PanelPeace};
                const int shown = !frames[0]->isHidden() ? 0 : !frames[1]->isHidden() ? 1 : 2;
                panelsShown.push_back(shown);
                panel->timer1Tag = std::max(panel->timer1Tag, 50);
                LeftClick(frames[shown]->findChild<QLabel*>(frames[shown]->objectName() + "Line2"));
            }
        });
        panelWatch.start(20);
    }
    jq::GameState& game() { return form->game(); }
    bool PlayersTurn() { return game().battleRunning != 0 && game().curSeat == 0 && computer->IsIdle(); }
    bool BattleOver() { return game().battleRunning == 0 && !panelsShown.empty(); }
    void PressPieceImage(int piece) { LeftClick(form->boardView->pieceImages[piece]); }

    // Seat 0 makes `count` legal moves with the pointer: a press on the piece,
    // then one on the point or the enemy piece it goes to.
    void PlayerMoves(int count) {
        for (int made = 0; made < count; ++made) {
            ASSERT_TRUE(WaitFor([this] { return PlayersTurn(); }, 20000)) << "seat 0 never got the move";
            const int n = jq::GenerateMoves(moveWork, game().pieces, 0);
            ASSERT_GT(n, 0);
            const jq::MoveCand m = moveWork.list[(made * 7) % n];
            const int before = game().stepCount;
            PressPieceImage(m.mover);
            if (m.target != jq::kNoPiece) {
                PressPieceImage(m.target);
            } else {
                const jq::BoardPoint& p =
                    game().board->boardPoints[jq::PointIndexAt(*game().board, m.toX, m.toY)];
                LeftClick(form->boardView->qipan, QPoint(p.pixelX - 2, p.pixelY - 2));
            }
            ASSERT_EQ(game().stepCount, before + 1);
            const jq::StepRec& step = game().stepRecords[before];
            EXPECT_EQ((std::array<int, 4>{step.mover, step.target, step.toX, step.toY}),
                      (std::array<int, 4>{m.mover, m.target, m.toX, m.toY}));
            EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：%1 步").arg(before + 1));
        }
    }

    jq::test::ScratchWorkFolder folder;
    jq::OptionsRec options = jq::DefaultOptions();
    std::unique_ptr<ScriptedComputer> computer;  // outlives the window
    std::unique_ptr<TqsForm> form;
    QTimer panelWatch;
    jq::MoveGenWork moveWork;
    QStringList ownBoxes;
    QStringList standardBoxes;
    std::function<void()> onStandardBox;
    bool ownAnswerCancel = false;
    std::vector<int> panelsShown;
};

// From "人机对奕" through the deployment, moves, a peace question and giving
// up to the result panel: the loss is shown once, counted once and saved at
// once; the battle is then saved and feeds the statistics builder.
TEST_F(BattleWindowTest, BattlePlayedToTheEndIsShownCountedAndSaved) {
    options.winRecord[0][0] = 3;
    options.winRecord[0][1] = 1;
    OpenWindow();
    LeftClick(form->SpeedButton1);
    jq::GameState& g = game();
    ASSERT_EQ(g.deployPhase, 1);
    // Without a formation database the player is told, and gets an army.
    EXPECT_TRUE(standardBoxes.value(0).startsWith(U("警告|没有默认的阵法数据库(zffile)！！")));
    // Another formation for the own seat, its pictures following the codes;
    // then two pieces exchanged with the pointer, and "完毕".
    const jq::PieceTable dealt = g.pieces;
    for (int round = 0; round < 5 && std::memcmp(&dealt, &g.pieces, sizeof dealt) == 0; ++round)
        LeftClick(form->btnOtherKbt);
    ASSERT_NE(std::memcmp(&dealt, &g.pieces, sizeof dealt), 0);
    BoardView& view = *form->boardView;
    for (int k = 1; k < 25; ++k)
        EXPECT_EQ(view.pieceImages[0]->Picture() == view.pieceImages[k]->Picture(),
                  g.pieces[0].code == g.pieces[k].code)
            << k;
    const int a = 5;
    int b = 6;
    while (g.pieces[b].code == g.pieces[a].code) ++b;
    const int codeA = g.pieces[a].code;
    const QImage pictureA = view.pieceImages[a]->Picture();
    PressPieceImage(a);
    PressPieceImage(b);
    EXPECT_EQ(view.pieceImages[b]->Picture(), pictureA);
    LeftClick(form->btnChangeQz);
    ASSERT_EQ(g.deployPhase, 0);
    EXPECT_EQ(g.deployedPieces[b].code, codeA);

    PlayerMoves(4);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(computer->moves, 8);
    EXPECT_EQ(computer->wrongSeat, 0);
    // Peace is asked (and taken back); then the player and the partner give up.
    ASSERT_TRUE(WaitFor([this] { return PlayersTurn() && form->bgiveup->isEnabled(); }, 20000));
    ownAnswerCancel = true;
    LeftClick(form->bpeace);
    ownAnswerCancel = false;
    EXPECT_EQ(ownBoxes.last(), U("真的不想再战下去了?             "));
    EXPECT_EQ(g.peaceAgreed, 0);
    const int before = g.stepCount;
    computer->givesUp[2] = true;
    LeftClick(form->bgiveup);
    EXPECT_EQ(ownBoxes.last(), U("您真的要缴械投降?           "));
    EXPECT_EQ(g.stepRecords[before].fromX, jq::kSurrenderCoord);
    ASSERT_TRUE(WaitFor([this] { return BattleOver(); }, 20000));
    WaitFor([] { return false; }, 300);  // a few more ticks change nothing
    EXPECT_EQ(panelsShown, std::vector<int>{jq::kBattleLost});
    const int32_t* level0 = g.optionsRecord.winRecord[0];
    EXPECT_EQ((std::vector<int>(level0, level0 + 4)), (std::vector<int>{4, 1, 1, 0}));
    EXPECT_EQ(jq::DecodeOptions(ReadBytes(folder.path() + "/oprec")).winRecord[0][2], 1);
    EXPECT_FALSE(form->bgiveup->isEnabled());
    EXPECT_EQ(form->btnViewOtherQz->text(), U("不看棋了"));  // the rest is watched face up

    // Saved through the file dialog, from the menu and from the button.
    auto saveAs = [](const std::string& path, const std::function<void()>& command) {
        WhenShown<QFileDialog>([path](QFileDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromStdString(path));
            static_cast<QDialog&>(dialog).accept();
        });
        command();
    };
    const std::string saved = folder.path() + "/kbtfiles/a.kbt";
    saveAs(saved, [this] { form->mpopSaveBattle->trigger(); });
    const jq::BattleDecodeResult read = jq::DecodeBattleFile(ReadBytes(saved));
    ASSERT_EQ(read.error, jq::BattleFileError::kNone);
    EXPECT_EQ(static_cast<int>(read.file.moves.size()), g.stepCount);
    EXPECT_EQ(read.file.codes.rows[0][b], codeA);
    saveAs(folder.path() + "/missing/c.kbt", [this] { LeftClick(form->btnsavefile); });
    EXPECT_EQ(standardBoxes.last(), U("警告|保存结果文件不成功！！！"));
    // "子力分布": disabled while it works, it counts the record.
    bool disabledMeanwhile = false;
    onStandardBox = [&] { disabledMeanwhile = !form->Button5->isEnabled(); };
    form->Button5Click();
    EXPECT_EQ(standardBoxes.last(), U("确认|成功分析1个文件！"));
    EXPECT_TRUE(disabledMeanwhile && form->Button5->isEnabled());
    EXPECT_EQ(ReadBytes(folder.path() + "/statfile").size(), static_cast<size_t>(jq::kStatFileBytes));
}

// "人机对奕" while a LAN connection is open asks first; Cancel leaves the battle, the
// connection, the computer player and the clock as they were; OK closes the connection and
// deals a new battle.
TEST_F(BattleWindowTest, NewBattleWhileConnectedAsksAndCancelChangesNothing) {
    OpenWindow();
    // A battle on the board, so the ticks that run while the question is open find it going on.
    LeftClick(form->SpeedButton1);
    LeftClick(form->btnChangeQz);
    ownBoxes.clear();
    jq::GameState& g = game();
    jq::testing::FakeClientLink link;
    g.lan->AttachClient(&link);
    g.netConnected = 1, g.battleRunning = 1, g.stepCount = 17;
    const int serial = g.battleSerial, stops = computer->stops;
    const bool ticking = form->Timer1->isActive();
    bool cancelShown = false;
    TfmwMyShowMessage::shownHook = [&](TfmwMyShowMessage& box) {
        ownBoxes.push_back(box.StaticText1->text());
        cancelShown = box.BitBtn2->isVisible();
        WaitFor([] { return false; }, 200);  // the main timer ticks while the question is open
        box.BitBtn2->click();
    };
    LeftClick(form->btnNewBattle);
    EXPECT_EQ(ownBoxes, QStringList{U("加入新的网战将复位正在进行的网络战役！             \n是否继续？")});
    EXPECT_TRUE(cancelShown);
    // The battle may go on behind the box (a step or more, as fast as the machine is): Cancel keeps it, never resets it.
    EXPECT_TRUE(g.netConnected == 1 && g.battleRunning == 1 && g.deployPhase == 0 && g.stepCount >= 17 &&
                g.battleSerial == serial);
    EXPECT_TRUE(link.connected && link.closes == 0 && computer->stops == stops);
    EXPECT_EQ(form->Timer1->isActive(), ticking);

    TfmwMyShowMessage::shownHook = [](TfmwMyShowMessage& box) { box.BitBtn1->click(); };
    LeftClick(form->btnNewBattle);
    EXPECT_TRUE(link.closes == 1 && g.netConnected == 0 && g.deployPhase == 1 && g.battleSerial == serial + 1);
    g.lan->AttachClient(nullptr);
}

// With "oprec" write-protected, "游戏设置" → "中级" → "确定" and a battle's end each warn once that the save
// failed, the battle's warning only once its end is over and its panel closed; the new values stay in memory.
TEST_F(BattleWindowTest, UnsavedOptionsWarnOnceWhenTheGameIsFree) {
    OpenWindow();
    const std::string oprec = folder.path() + "/oprec";
    std::filesystem::permissions(oprec, std::filesystem::perms::owner_read);
    const std::vector<uint8_t> onDisk = ReadBytes(oprec);
    const QString warning = U("警告|保存结果文件不成功！！！");
    WhenShown<Twoption>([](Twoption& d) {
        Find<QRadioButton>(d, "RadioButton2")->setChecked(true);
        Ok(d);
    });
    form->mpopOption->trigger();
    EXPECT_EQ(standardBoxes, QStringList{warning});
    EXPECT_EQ(game().optionsRecord.aiLevel, 1);
    EXPECT_EQ(form->statusPanels[1]->text(), U("级别：中级"));

    bool busyWhenWarned = false;
    onStandardBox = [&] {
        if (standardBoxes.last() != warning) return;
        for (TfmShowResult* panel : form->findChildren<TfmShowResult*>()) busyWhenWarned |= panel->isVisible();
        busyWhenWarned |= game().gameLogicDepth != 0;
    };
    LeftClick(form->SpeedButton1);
    LeftClick(form->btnChangeQz);
    ASSERT_TRUE(WaitFor([this] { return PlayersTurn() && form->bgiveup->isEnabled(); }, 20000));
    computer->givesUp[2] = true;
    LeftClick(form->bgiveup);
    ASSERT_TRUE(WaitFor([this] { return BattleOver(); }, 20000));
    EXPECT_TRUE(WaitFor([&] { return standardBoxes.count(warning) == 2; }, 3000));
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(standardBoxes.count(warning), 2);
    EXPECT_FALSE(busyWhenWarned);
    EXPECT_EQ(game().optionsRecord.winRecord[1][0], 1);
    EXPECT_EQ(ReadBytes(oprec), onDisk);
}

}  // namespace
