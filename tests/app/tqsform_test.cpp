#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <fstream>
#include <memory>

#include "app/appfolder.h"
#include "app/goption.h"
#include "app/tqsform.h"
#include "core/options.h"
#include "core/text.h"
#include "form_support.h"
#include "view/ui/boardview.h"

namespace {

using apptest::MoveOver;
using apptest::ScratchWorkFolder;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.path() + "/kbtfiles");
        form = std::make_unique<TqsForm>();
    }
    void TearDown() override { form.reset(); }

    ScratchWorkFolder folder;
    std::unique_ptr<TqsForm> form;
};

// ---- Start-up ----

TEST_F(MainWindowTest, WindowFrameAndPanelsAsDesigned) {
    EXPECT_EQ(form->size(), QSize(644, 547));
    EXPECT_EQ(form->panQiPan->geometry(), QRect(0, 0, 529, 528));
    EXPECT_EQ(form->Panel1->geometry(), QRect(530, 0, 111, 529));
    EXPECT_EQ(form->Panel1->palette().color(QPalette::Window), QColor(255, 251, 240));
    EXPECT_EQ(form->StatusBar1->height(), 19);
    EXPECT_EQ(form->windowTitle(), TqsForm::StartupTitle());
    EXPECT_EQ(form->font().family(), U("WenQuanYi Zen Hei"));

    const char* panels[4] = {"云岭棋战", "级别：无", "当前已走：0 步", "准备就绪"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(form->statusPanels[i]->text(), U(panels[i])) << i;
    EXPECT_EQ(form->statusPanels[0]->width(), 88);
    EXPECT_EQ(form->statusPanels[1]->width(), 82);
    EXPECT_EQ(form->statusPanels[2]->width(), 120);
}

TEST_F(MainWindowTest, SidePanelCommandsCaptionsPlacesAndStates) {
    struct Row {
        QToolButton* button;
        const char* caption;
        int top;
    };
    const Row rows[] = {
        {form->btnNewBattle, "人机对奕", 52}, {form->btnLoadFile, "调出战役", 82},
        {form->btnsavefile, "保存战役", 112}, {form->btnSetOption, "游戏设置", 142},
        {form->btnShowResult, "棋战成绩", 172}, {form->btnShowHelp, "帮  助", 202},
        {form->btnAbout, "关  于", 232},      {form->btnExit, "退  出", 292},
        {form->btnnetbattle, "联网对战", 328},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(r.caption);
        EXPECT_EQ(form->sidePanelButtons[i], r.button);
        EXPECT_EQ(r.button->text(), U(r.caption));
        EXPECT_EQ(r.button->geometry(), QRect(18, r.top, 73, 22));
        EXPECT_TRUE(r.button->isVisibleTo(form.get()));
        EXPECT_TRUE(r.button->isEnabled());
        EXPECT_EQ(r.button->palette().color(QPalette::ButtonText), TqsForm::kNavy);
        EXPECT_FALSE(r.button->font().bold());
    }
    EXPECT_EQ(form->btnLoadFile->toolTip(), U("右键激活演播菜单"));
    EXPECT_EQ(form->Button7->text(), U("阵法学习"));
    EXPECT_EQ(form->Button5->text(), U("子力分布"));
    EXPECT_FALSE(form->Button7->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Button5->isVisibleTo(form.get()));
    EXPECT_EQ(form->SpeedButton1->text(), U("人机对奕"));
    EXPECT_TRUE(form->SpeedButton1->isVisibleTo(form.get()));
}

TEST_F(MainWindowTest, OnlyPeaceIsUsableOnTheBoardPanelAtStart) {
    struct Row {
        QWidget* control;
        QString caption;
        bool shown;
        bool enabled;
    };
    const Row rows[] = {
        {form->btnViewOtherQz, U("看别人棋"), true, false}, {form->bRotate, U("旋转视角"), true, false},
        {form->btnProvStep, U("上一步"), true, false},      {form->btnNextStep, U("下一步"), true, false},
        {form->bgiveup, U("缴械投降"), true, false},        {form->bpeace, U("祈求和平"), true, true},
        {form->btnChangeQz, U("完毕"), false, true},        {form->btnLoadZf, U("调出阵法"), false, true},
        {form->btnSaveZf, U("保存阵法"), false, true},      {form->btnOtherKbt, U("其它阵法"), false, true},
    };
    for (const Row& r : rows) {
        auto* button = qobject_cast<QPushButton*>(r.control);
        ASSERT_NE(button, nullptr);
        SCOPED_TRACE(r.caption.toStdString());
        EXPECT_EQ(button->text(), r.caption);
        EXPECT_EQ(button->isVisibleTo(form.get()), r.shown);
        EXPECT_EQ(button->isEnabled(), r.enabled);
    }
    EXPECT_EQ(form->btnProvStep->toolTip(), U("Ctrl = 回到起点"));
    EXPECT_EQ(form->btnNextStep->toolTip(), U("Ctrl = 10步 Alt = 自动"));

    for (QWidget* w : std::initializer_list<QWidget*>{form->Shape1, form->Shape2, form->Label20, form->reBulltin,
                                                       form->edInput, form->GroupBox2, form->GroupBox3})
        EXPECT_FALSE(w->isVisibleTo(form.get())) << w->metaObject()->className();
    EXPECT_EQ(form->Label20->text(), U("请布阵"));

    // Seat labels bottom, right, top, left; the clock shows 0, not 30.
    const QLabel* seats[4] = {form->Label1, form->Label2, form->Label3, form->Label4};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(seats[s]->text(), U("位置%1").arg(s + 1));
        EXPECT_TRUE(seats[s]->isVisibleTo(form.get()));
    }
    EXPECT_GT(form->Label1->y(), form->Label3->y());
    EXPECT_GT(form->Label2->x(), form->Label4->x());
    EXPECT_EQ(form->lbShowTimeRemain->text(), U("0"));
    EXPECT_TRUE(form->lbShowTimeRemain->isVisibleTo(form.get()));
    EXPECT_EQ(form->light1->pos(), TqsForm::kTurnLightPositions[0]);

    EXPECT_TRUE(form->rbtDps->isChecked());
    EXPECT_FALSE(form->rbtPractice->isChecked());
    EXPECT_EQ(form->rbtDps->text(), U("复盘"));
    EXPECT_EQ(form->rbtPractice->text(), U("下棋"));
}

TEST_F(MainWindowTest, CommandControlsLieAboveTheBoardPicture) {
    ASSERT_TRUE(form->boardView);
    jq::ImageControl* qipan = form->boardView->qipan;
    EXPECT_EQ(qipan->geometry(), QRect(2, 2, 525, 525));
    form->show();
    for (QWidget* w : std::initializer_list<QWidget*>{form->bpeace, form->Label1, form->lbShowTimeRemain,
                                                       form->light1, form->slogans[0]}) {
        const QPoint centre = w->geometry().center();
        EXPECT_EQ(form->panQiPan->childAt(centre), w) << w->metaObject()->className();
    }
}

TEST_F(MainWindowTest, ChatLineHoldsItsFourteenPhrasesAndAddsNothing) {
    ASSERT_EQ(form->edInput->count(), 14);
    EXPECT_EQ(form->edInput->itemText(0), U("啦啦啦~~~，啦啦啦...，啦啦啦:)"));
    EXPECT_EQ(form->edInput->itemText(13), U("怎么又断线了，网络太差了啊！"));
    EXPECT_EQ(form->edInput->insertPolicy(), QComboBox::NoInsert);
    EXPECT_TRUE(form->edInput->currentText().isEmpty());
    EXPECT_TRUE(form->reBulltin->isReadOnly());
    EXPECT_EQ(form->reBulltin->size(), QSize(170, 161));
    EXPECT_EQ(form->edInput->width(), 170);
}

TEST_F(MainWindowTest, GameStartsInReplayModeWithNothingLoaded) {
    jq::GameState& g = form->game();
    EXPECT_EQ(g.ui, static_cast<jq::GameUi*>(form.get()));
    EXPECT_EQ(g.appFolder, folder.path() + "/");
    EXPECT_EQ(g.replayFileName, "NONE");
    EXPECT_EQ(g.battleFileName, "default.kbt");
    EXPECT_EQ(g.battleRunning, 0);
    EXPECT_EQ(g.selectedPiece, 0);
    EXPECT_EQ(g.curSeat, 0);
    EXPECT_EQ(g.viewOtherFormations, 0);
    EXPECT_EQ(g.deployPhase, 0);
    EXPECT_EQ(g.clickStepCount, 1);
    EXPECT_TRUE(g.hoverCaption.empty());
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);
    // The clocks were stamped from the real clock.
    const jq::ClockStamp now = form->Now();
    EXPECT_LE(std::abs(now.seconds - g.turnClock.seconds), 5);
    EXPECT_LE(std::abs(now.seconds - g.aiPhaseTimes[2].seconds), 5);

    EXPECT_EQ(form->Timer1->interval(), 32);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(QDir(form->OpenDialog1->directory()).absolutePath(),
              QString::fromStdString(folder.path() + "/kbtfiles"));
    EXPECT_EQ(QDir(form->SaveDialog1->directory()).absolutePath(),
              QString::fromStdString(folder.path() + "/kbtfiles"));
}

TEST(MainWindowStartup, ReadsTheOptionsOfTheWorkingFolder) {
    ScratchWorkFolder folder;
    jq::OptionsRec rec = jq::DefaultOptions();
    rec.soundOn = 1;
    rec.turnDirectionOption = -1;
    rec.netMoveTimeOption = 45;
    const std::vector<uint8_t> bytes = jq::EncodeOptions(rec);
    {
        std::ofstream out(folder.path() + "/oprec", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    TqsForm form;
    EXPECT_EQ(form.game().optionsRecord.soundOn, 1);
    EXPECT_EQ(form.game().turnDirection, -1);
    EXPECT_EQ(form.game().netMoveTime, 45);
}

TEST(MainWindowStartup, WithoutOptionsTheRunningCopiesTakeTheDefaults) {
    ScratchWorkFolder folder;
    TqsForm form;
    const jq::GameState& g = form.game();
    EXPECT_EQ(g.optionsRecord.soundOn, 0);
    EXPECT_EQ(g.turnDirection, 1);
    EXPECT_EQ(g.netMinMoveInterval, 1);
    EXPECT_EQ(g.netMoveTime, 30);
    EXPECT_EQ(g.netDeployTime, 40);
    EXPECT_EQ(g.netDisconnectTime, 60);
    EXPECT_DOUBLE_EQ(g.styleCoefCaution, 0.8);
}

TEST(WorkingFolder, CurrentDirectoryWithOneTrailingSlash) {
    ScratchWorkFolder folder;
    EXPECT_EQ(GetCurrentFolder(), folder.path() + "/");
    std::filesystem::current_path("/");
    EXPECT_EQ(GetCurrentFolder(), "/");
    std::filesystem::current_path(folder.path());
}

// ---- Popup menu ----

TEST_F(MainWindowTest, PopupMenuItemsInOrderWithOnlyTheReadyOnesEnabled) {
    struct Row {
        QAction* item;
        const char* caption;  // empty for a separator
        bool enabled;
    };
    const Row rows[] = {
        {form->mpopLoadFile, "调出战役", true},
        {form->mpopRecentFile->menuAction(), "最近复盘战役", true},
        {form->N15, "", true},
        {form->mpopAutoPlay, "自动演播(单击棋盘)", false},
        {form->mpopPlayStop, "停止演播", false},
        {form->mpopGotoStart, "回到起点", false},
        {form->mpopGotoLine, "跳转到指定步数", false},
        {form->N12, "", true},
        {form->mpopOption, "游戏设置", true},
        {form->N4, "", true},
        {form->mpopSaveKjp, "保存阵法(东)", true},
        {form->mpopSaveBattle, "保存战役", true},
        {form->N8, "", true},
        {form->N10, "退出", true},
    };
    const QList<QAction*> actions = form->PopupMenu1->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actions[static_cast<qsizetype>(i)], rows[i].item);
        EXPECT_EQ(rows[i].item->isSeparator(), rows[i].caption[0] == '\0');
        if (!rows[i].item->isSeparator()) {
            EXPECT_EQ(rows[i].item->text(), U(rows[i].caption));
        }
        EXPECT_EQ(rows[i].item->isEnabled(), rows[i].enabled);
    }
    const QList<QAction*> recent = form->mpopRecentFile->actions();
    ASSERT_EQ(recent.size(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(recent[i], form->mnFna[i]);
        EXPECT_EQ(recent[i]->text(), U("DEFAULT"));
        EXPECT_TRUE(recent[i]->isEnabled());
    }
    EXPECT_FALSE(form->mpopOption->icon().isNull());
    EXPECT_FALSE(form->N10->icon().isNull());
}

TEST_F(MainWindowTest, RightClickOnTheBoardOpensThePopupMenu) {
    form->show();
    jq::ImageControl* qipan = form->boardView->qipan;
    const QPoint at(40, 40);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, qipan->mapToGlobal(at));
    QApplication::sendEvent(qipan, &event);
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    form->PopupMenu1->hide();

    // Only the board picture: not the load command, a piece or the panel.
    for (QWidget* w : std::initializer_list<QWidget*>{form->btnLoadFile, form->boardView->pieceImages[0],
                                                     form->panQiPan}) {
        QContextMenuEvent other(QContextMenuEvent::Mouse, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &other);
        EXPECT_FALSE(form->PopupMenu1->isVisible());
    }
}

TEST_F(MainWindowTest, ExitItemStopsTheComputerPlayerAndCloses) {
    int stops = 0;
    form->stopAIThreadHook = [&stops](TqsForm&) { ++stops; };
    form->show();
    ASSERT_TRUE(form->isVisible());
    form->N10->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_GE(stops, 1);
}

TEST_F(MainWindowTest, OptionsItemOpensTheOptionsDialog) {
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<Twoption*>(w); d != nullptr && d->isVisible()) {
                seen = true;
                d->reject();
            }
        }
    });
    poll.start(20);
    QTimer::singleShot(5000, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) d->reject();
    });
    form->mpopOption->trigger();
    poll.stop();
    EXPECT_TRUE(seen);
}

// ---- Side-panel highlighting ----

TEST_F(MainWindowTest, CommandUnderThePointerTurnsRedAndBold) {
    QToolButton* option = form->btnSetOption;
    MoveOver(option);
    EXPECT_EQ(option->palette().color(QPalette::ButtonText), TqsForm::kHoverRed);
    EXPECT_TRUE(option->font().bold());
    EXPECT_EQ(form->HoverCaption(), jq::Gb("游戏设置"));
    for (QToolButton* other : form->sidePanelButtons) {
        if (other == option) continue;
        EXPECT_EQ(other->palette().color(QPalette::ButtonText), TqsForm::kNavy);
        EXPECT_FALSE(other->font().bold());
    }

    // Further moves within the marked command touch no font.
    jq::GameState& g = form->game();
    QPalette palette = option->palette();
    palette.setColor(QPalette::ButtonText, Qt::green);
    option->setPalette(palette);
    MoveOver(option, QPoint(3, 3));
    EXPECT_EQ(option->palette().color(QPalette::ButtonText), QColor(Qt::green));
    EXPECT_EQ(g.hoverCaption, jq::Gb("游戏设置"));
}

TEST_F(MainWindowTest, MarkingFollowsThePointerFromCommandToCommand) {
    MoveOver(form->btnAbout);
    MoveOver(form->btnExit);
    EXPECT_EQ(form->btnAbout->palette().color(QPalette::ButtonText), TqsForm::kNavy);
    EXPECT_FALSE(form->btnAbout->font().bold());
    EXPECT_EQ(form->btnExit->palette().color(QPalette::ButtonText), TqsForm::kHoverRed);
    EXPECT_TRUE(form->btnExit->font().bold());
    EXPECT_EQ(form->HoverCaption(), jq::Gb("退  出"));
}

TEST_F(MainWindowTest, BarePanelClearsTheMarking) {
    // A margin of the panel, and the gap between two commands.
    for (QPoint bare : {QPoint(4, 270), QPoint(50, 78)}) {
        ASSERT_EQ(form->Panel1->childAt(bare), nullptr);
        MoveOver(form->btnnetbattle);
        ASSERT_EQ(form->HoverCaption(), jq::Gb("联网对战"));
        MoveOver(form->Panel1, bare);
        for (QToolButton* b : form->sidePanelButtons) {
            EXPECT_EQ(b->palette().color(QPalette::ButtonText), TqsForm::kNavy);
            EXPECT_FALSE(b->font().bold());
        }
        EXPECT_TRUE(form->HoverCaption().empty());
    }
}

TEST_F(MainWindowTest, TheStandAloneButtonTakesNoPart) {
    MoveOver(form->btnShowHelp);
    MoveOver(form->SpeedButton1);
    EXPECT_NE(form->SpeedButton1->palette().color(QPalette::ButtonText), TqsForm::kHoverRed);
    EXPECT_EQ(form->HoverCaption(), jq::Gb("帮  助"));
}

// ---- What the game asks of the window ----

TEST_F(MainWindowTest, StatusClockAndSeatLabelsTakeGameTexts) {
    form->SetStatusText(2, jq::Gb("当前已走：5 步"));
    EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：5 步"));
    form->SetStatusText(3, jq::Gb("连接中 "));
    EXPECT_EQ(form->statusPanels[3]->text(), U("连接中 "));
    form->SetStatusText(4, "x");
    form->SetStatusText(-1, "x");
    EXPECT_EQ(form->statusPanels[0]->text(), U("云岭棋战"));

    form->SetTimeRemaining("27");
    EXPECT_EQ(form->lbShowTimeRemain->text(), U("27"));

    form->SetSeatLabel(2, jq::Gb("张三"));
    EXPECT_EQ(form->Label3->text(), U("张三"));
    EXPECT_EQ(form->SeatLabel(2), jq::Gb("张三"));
    EXPECT_EQ(form->SeatLabel(4), "");
}

TEST_F(MainWindowTest, TurnLightStandsBesideTheSeatOrHides) {
    for (int seat = 0; seat < 4; ++seat) {
        form->ShowTurnLight(seat, seat);
        EXPECT_EQ(form->light1->pos(), TqsForm::kTurnLightPositions[seat]);
        EXPECT_TRUE(form->light1->isVisibleTo(form.get()));
    }
    // Frames are cut from the strip, 36 pixels apart.
    const QImage& strip = form->alllightimage->Picture();
    ASSERT_GE(strip.width(), 6 * 36);
    form->ShowTurnLight(0, 2);
    EXPECT_EQ(form->light1->Picture().pixel(18, 18), strip.pixel(2 * 36 + 18, 18));
    form->ShowTurnLight(-1, 0);
    EXPECT_FALSE(form->light1->isVisibleTo(form.get()));
}

TEST_F(MainWindowTest, DeploymentBoxSitsInTheMiddleOfTheBoardAboveIt) {
    EXPECT_EQ(form->Shape2->geometry(), QRect(200, 182, 119, 141));
    EXPECT_EQ(form->Shape1->geometry(), QRect(210, 190, 119, 141));
    EXPECT_EQ(form->Label20->geometry(), QRect(228, 188, 60, 20));
    EXPECT_EQ(form->btnLoadZf->geometry(), QRect(224, 216, 69, 21));
    EXPECT_EQ(form->btnSaveZf->geometry(), QRect(224, 238, 69, 21));
    EXPECT_EQ(form->btnOtherKbt->geometry(), QRect(224, 260, 69, 21));
    EXPECT_EQ(form->btnChangeQz->geometry(), QRect(224, 288, 69, 24));
    // Stacking among the board panel's children: the board picture, then the
    // shadow, the box and its contents.
    const QObjectList& kids = form->panQiPan->children();
    auto at = [&](QObject* o) { return kids.indexOf(o); };
    EXPECT_LT(at(form->Shape1), at(form->Shape2));
    EXPECT_LT(at(form->Shape2), at(form->btnChangeQz));
    EXPECT_LT(at(form->Shape2), at(form->Label20));
}

TEST_F(MainWindowTest, ControlSwitchesReachTheirControls) {
    form->SetSaveEnabled(false);
    EXPECT_FALSE(form->btnsavefile->isEnabled());
    EXPECT_FALSE(form->mpopSaveBattle->isEnabled());
    form->SetGiveUpAndPeaceEnabled(true);
    EXPECT_TRUE(form->bgiveup->isEnabled());
    form->SetNextStepEnabled(true);
    EXPECT_TRUE(form->NextStepEnabled());
    form->SetChatVisible(true);
    EXPECT_TRUE(form->edInput->isVisibleTo(form.get()));
    EXPECT_TRUE(form->reBulltin->isVisibleTo(form.get()));
    form->SetDeploymentControlsVisible(true);
    for (QWidget* w : std::initializer_list<QWidget*>{form->btnChangeQz, form->btnSaveZf, form->btnLoadZf,
                                                       form->btnOtherKbt, form->Shape1, form->Shape2,
                                                       form->Label20})
        EXPECT_TRUE(w->isVisibleTo(form.get()));
    form->SetViewOtherButton(true, jq::Gb("不看棋了"));
    EXPECT_TRUE(form->btnViewOtherQz->isEnabled());
    EXPECT_EQ(form->btnViewOtherQz->text(), U("不看棋了"));
    form->SelectPlayMode(true);
    EXPECT_TRUE(form->rbtPractice->isChecked());
    EXPECT_FALSE(form->rbtDps->isChecked());
    form->SetMainTimerEnabled(false);
    EXPECT_FALSE(form->Timer1->isActive());
    form->setWindowTitle("x");
    form->ShowStartupTitle();
    EXPECT_EQ(form->windowTitle(), TqsForm::StartupTitle());
}

TEST_F(MainWindowTest, EachTickBlinksTheSelectionOnce) {
    jq::GameState& g = form->game();
    g.pieces[5].alive = 1;
    g.selectedPiece = 5;
    g.selectionBlink = 0;
    form->Timer1Timer();
    EXPECT_EQ(g.selectionBlink, 1);
    EXPECT_FALSE(form->PieceVisible(5));
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(g.selectionBlink, 3);
    EXPECT_TRUE(form->PieceVisible(5));
}

}  // namespace

