// Battles against the computer played on the real main window: the new
// battle command, the deployment, moves through the board's pointer
// handlers and a scripted computer player on the running main timer, the
// result panel and the win/loss record; and the rarely used commands
// around a battle (saving, another formation, the statistics builder).
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "ai/movegen.h"
#include "app/shresult.h"
#include "app/tqsform.h"
#include "app/winrec.h"
#include "core/options.h"
#include "core/rng.h"
#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "formations/piecestats.h"
#include "support/fake_computer.h"
#include "support/files_support.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/battlefile.h"
#include "view/ui/boardview.h"

namespace {

using jq::test::LeftClick;
using jq::test::ScratchWorkFolder;
using jq::test::WaitFor;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

using jq::test::ReadBytes;
// The computer player as the window sees it: woken by the main timer, it
// hands a legal move (or a surrender) to the main thread as a queued call,
// and counts as busy until that move has been carried out or dropped by a
// stop.
struct ScriptedComputer : jq::test::FakeComputer {
    explicit ScriptedComputer(jq::GameState& g) {
        rng.Seed(7);
        busyAfterResume = true;
        play = [this, &g] {
            const int wake = resumes + stops;
            QMetaObject::invokeMethod(&context, [this, &g, wake] {
                if (idle || wake != resumes + stops) return;  // stopped meanwhile
                const int seat = g.curSeat;
                if (!jq::IsValidSeat(seat) || g.computerSeat[seat] == 0) ++wrongSeat;
                const int n = jq::GenerateMoves(work, g.pieces, seat);
                jq::MoveCand m;
                if (givesUp[seat] || n == 0) {
                    m.mover = m.target = jq::kNoPiece;
                    m.fromX = m.fromY = m.toX = m.toY = jq::kSurrenderCoord;
                    m.outcome = seat;
                } else {
                    m = work.list[rng.Next() % n];
                }
                jq::ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
                ++moves;
                idle = true;
            }, Qt::QueuedConnection);
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
        options = jq::DefaultOptions();
        options.netMinMoveIntervalOption = 0;  // the computer answers at once
        const char* names[4] = {"小明", "东邪", "南帝", "西毒"};
        for (int s = 0; s < 4; ++s) jq::PutBoundedText(options.playerNames[s], 256, jq::Gb(names[s]));
        AnswerEveryBox();
    }
    void TearDown() override {
        form.reset();
        TfmwMyShowMessage::shownHook = nullptr;
        jq::standardBoxShownHook = nullptr;
    }

    // The window, with the scripted computer in place of the real one.
    void OpenWindow() {
        jq::test::WriteBytes(folder.path() + "/oprec", jq::EncodeOptions(options));
        form = std::make_unique<TqsForm>();
        computer = std::make_unique<ScriptedComputer>(form->game());
        form->game().computer = computer.get();
        form->show();
    }

    jq::GameState& game() { return form->game(); }

    // Every box is recorded and answered: the game's own box with
    // `ownAnswer` ("确定" unless a test says otherwise), standard boxes
    // with their default button.
    void AnswerEveryBox() {
        TfmwMyShowMessage::shownHook = [this](TfmwMyShowMessage& box) {
            ownBoxes.push_back(box.StaticText1->text());
            QTimer::singleShot(3000, &box, [&box] { box.done(99); });
            (ownAnswerCancel ? box.BitBtn2 : box.BitBtn1)->click();
        };
        jq::standardBoxShownHook = [this](QMessageBox& box) {
            standardBoxes.push_back(box.windowTitle() + U("|") + box.text());
            if (onStandardBox) onStandardBox();
            QTimer::singleShot(3000, &box, [&box] { box.done(99); });
            box.defaultButton()->click();
        };
    }

    // Closes every result panel as a player would: a click once half a
    // second has passed. Records which of the three panels was up.
    void WatchResultPanels() {
        panelWatch = std::make_unique<QTimer>();
        QObject::connect(panelWatch.get(), &QTimer::timeout, [this] {
            for (TfmShowResult* panel : form->findChildren<TfmShowResult*>()) {
                if (!panel->isVisible() || panel->Closed()) continue;
                ResultPanelFrame* shown = panel->PanelWin->isVisible()    ? panel->PanelWin
                                          : panel->PanelLose->isVisible() ? panel->PanelLose
                                                                          : panel->PanelPeace;
                panelsShown.push_back(shown == panel->PanelWin ? 0 : shown == panel->PanelLose ? 1 : 2);
                panelRunning.push_back(game().battleRunning);
                panel->timer1Tag = std::max(panel->timer1Tag, 50);
                LeftClick(shown);
            }
        });
        panelWatch->start(20);
    }

    int LivePieces(int seat) {
        int n = 0;
        for (int p = seat * 25; p < seat * 25 + 25; ++p) n += game().pieces[p].alive == 1 ? 1 : 0;
        return n;
    }
    // Seat 0 is to move and the board takes input.
    bool PlayersTurn() { return game().battleRunning != 0 && game().curSeat == 0 && computer->IsIdle(); }

    void PressPieceImage(int piece) { LeftClick(form->boardView->pieceImages[piece]); }
    void PressBoardPoint(int x, int y) {
        const jq::BoardPoint& p = game().board->boardPoints[jq::PointIndexAt(*game().board, x, y)];
        LeftClick(form->boardView->qipan, QPoint(p.pixelX - 2, p.pixelY - 2));
    }

    // Seat 0 makes one legal move with the pointer: a press on the piece,
    // then one on the empty point or on the enemy piece it goes to.
    void PlayerMoves(bool attackIfPossible) {
        const int n = jq::GenerateMoves(moveWork, game().pieces, 0);
        ASSERT_GT(n, 0);
        int pick = -1;
        for (int i = 0; i < n && pick < 0; ++i)
            if ((moveWork.list[i].target != jq::kNoPiece) == attackIfPossible) pick = i;
        const jq::MoveCand m = moveWork.list[pick >= 0 ? pick : 0];
        const int before = game().stepCount;
        PressPieceImage(m.mover);
        ASSERT_EQ(game().selectedPiece, m.mover);
        if (m.target == jq::kNoPiece)
            PressBoardPoint(m.toX, m.toY);
        else
            PressPieceImage(m.target);
        ASSERT_EQ(game().stepCount, before + 1);
        const jq::StepRec& step = game().stepRecords[before];
        EXPECT_EQ((std::array<int, 4>{step.mover, step.target, step.toX, step.toY}),
                  (std::array<int, 4>{m.mover, m.target, m.toX, m.toY}));
        EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：%1 步").arg(before + 1));
    }

    // The new battle through its button, deployed by seat 0: two pieces
    // exchanged with the pointer, then "完毕".
    void StartAndDeploy(QAbstractButton* command) {
        LeftClick(command);
        ASSERT_EQ(game().deployPhase, 1);
        int a = -1;
        int b = -1;
        for (int k = 5; k < 15 && b < 0; ++k) {
            const int code = game().pieces[k].code;
            if (code < 4) continue;
            if (a < 0)
                a = k;
            else if (code != game().pieces[a].code)
                b = k;
        }
        ASSERT_GE(b, 0);
        const int codeA = game().pieces[a].code;
        const int codeB = game().pieces[b].code;
        const QImage pictureA = form->boardView->pieceImages[a]->Picture();
        const QImage pictureB = form->boardView->pieceImages[b]->Picture();
        PressPieceImage(a);
        PressPieceImage(b);
        EXPECT_EQ(game().pieces[a].code, codeB);
        EXPECT_EQ(game().pieces[b].code, codeA);
        EXPECT_EQ(form->boardView->pieceImages[a]->Picture(), pictureB);
        EXPECT_EQ(form->boardView->pieceImages[b]->Picture(), pictureA);

        LeftClick(form->btnChangeQz);
        ASSERT_EQ(game().deployPhase, 0);
        EXPECT_FALSE(form->btnChangeQz->isVisible());
        EXPECT_EQ(game().deployedPieces[a].code, codeB);
    }

    // Plays rounds until seat 0 has made `playerMoves` moves.
    void PlayRounds(int playerMoves) {
        for (int made = 0; made < playerMoves; ++made) {
            ASSERT_TRUE(WaitFor([this] { return PlayersTurn(); }, 20000)) << "seat 0 never got the move";
            PlayerMoves(made % 3 == 2);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }

    ScratchWorkFolder folder;
    jq::OptionsRec options;
    std::unique_ptr<ScriptedComputer> computer;  // outlives the window
    std::unique_ptr<TqsForm> form;
    std::unique_ptr<QTimer> panelWatch;
    jq::MoveGenWork moveWork;
    QStringList ownBoxes;
    QStringList standardBoxes;
    std::function<void()> onStandardBox;
    bool ownAnswerCancel = false;
    std::vector<int> panelsShown;
    std::vector<int> panelRunning;
};

// From "人机对奕" through the deployment and moves to the result panel: the
// win is shown once, counted once and saved at once.
TEST_F(BattleWindowTest, BattlePlayedToAWinIsShownAndCountedOnce) {
    options.aiLevel = 0;
    options.winRecord[0][0] = 3;
    options.winRecord[0][1] = 1;
    OpenWindow();
    WatchResultPanels();
    StartAndDeploy(form->SpeedButton1);
    ASSERT_FALSE(HasFatalFailure());
    jq::GameState& g = game();
    // Without a formation database the player is told, and gets a legal army.
    EXPECT_TRUE(standardBoxes.value(0).startsWith(U("警告|没有默认的阵法数据库(zffile)！！")));
    EXPECT_EQ(ownBoxes.value(0), U("采用默认子力分布！！     "));
    EXPECT_EQ(g.practiceMode, 1);
    EXPECT_TRUE(form->rbtPractice->isChecked());
    PlayRounds(4);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(computer->moves, 8);
    EXPECT_EQ(computer->wrongSeat, 0);
    EXPECT_TRUE(panelsShown.empty());

    // Seats 1 and 3 give up on their next turns; their team has lost.
    computer->givesUp[1] = computer->givesUp[3] = true;
    ASSERT_TRUE(WaitFor([this] { return game().battleRunning == 0 && !panelsShown.empty(); }, 20000));
    WaitFor([] { return false; }, 300);  // a few more ticks change nothing
    EXPECT_EQ(panelsShown, std::vector<int>{jq::kBattleWon});
    EXPECT_EQ(panelRunning[0], 0);
    const int32_t* level0 = g.optionsRecord.winRecord[0];
    EXPECT_EQ((std::vector<int>(level0, level0 + 4)), (std::vector<int>{4, 2, 0, 0}));
    EXPECT_EQ(jq::DecodeOptions(ReadBytes(folder.path() + "/oprec")).winRecord[0][1], 2);
    EXPECT_FALSE(form->bgiveup->isEnabled());
    EXPECT_EQ(static_cast<int>(jq::BattleFileFromGame(g, false).moves.size()), g.stepCount);

    LeftClick(form->btnNewBattle);  // the next battle starts afresh
    EXPECT_EQ(g.battleRunning, 1);
    EXPECT_EQ(g.stepCount, 0);
    for (int p = 0; p < 100; ++p) EXPECT_EQ(g.pieces[p].alive, 1);
}

TEST_F(BattleWindowTest, PeaceAsksAndGivingUpLoses) {
    options.aiLevel = 2;
    OpenWindow();
    WatchResultPanels();
    StartAndDeploy(form->btnNewBattle);
    ASSERT_FALSE(HasFatalFailure());
    PlayRounds(1);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor([this] { return PlayersTurn() && form->bgiveup->isEnabled(); }, 20000));
    ownAnswerCancel = true;
    LeftClick(form->bpeace);
    ownAnswerCancel = false;
    EXPECT_EQ(ownBoxes.last(), U("真的不想再战下去了?             "));
    EXPECT_EQ(game().peaceAgreed, 0);

    const int before = game().stepCount;
    computer->givesUp[2] = true;
    LeftClick(form->bgiveup);
    EXPECT_EQ(ownBoxes.last(), U("您真的要缴械投降?           "));
    EXPECT_EQ(game().stepRecords[before].fromX, jq::kSurrenderCoord);
    EXPECT_EQ(LivePieces(0), 0);
    ASSERT_TRUE(WaitFor([this] { return game().battleRunning == 0 && !panelsShown.empty(); }, 20000));
    EXPECT_EQ(panelsShown, std::vector<int>{jq::kBattleLost});
    EXPECT_EQ(game().optionsRecord.winRecord[2][2], 1);
    // With its own army gone the player watches the rest face up.
    EXPECT_EQ(form->btnViewOtherQz->text(), U("不看棋了"));
}

TEST_F(BattleWindowTest, ExitStopsTheComputerAndDropsItsMove) {
    OpenWindow();
    StartAndDeploy(form->btnNewBattle);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor([this] { return !computer->IsIdle() || PlayersTurn(); }, 20000));
    const int movesBefore = computer->moves;
    LeftClick(form->btnExit);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(computer->IsIdle());
    EXPECT_FALSE(form->Timer1->isActive());
    WaitFor([] { return false; }, 200);  // a move chosen before the stop is never carried out
    EXPECT_EQ(computer->moves, movesBefore);
}

TEST_F(BattleWindowTest, OtherFormationRedrawsTheOwnSeatUntilTheDeploymentEnds) {
    OpenWindow();
    LeftClick(form->btnNewBattle);
    jq::GameState& g = game();
    jq::PieceTable before = g.pieces;
    for (int round = 0; round < 5 && std::memcmp(&before, &g.pieces, sizeof before) == 0; ++round)
        LeftClick(form->btnOtherKbt);
    ASSERT_NE(std::memcmp(&before, &g.pieces, sizeof before), 0);
    for (int a = 0; a < 25; ++a)  // the pictures follow the new codes
        for (int b = a + 1; b < 25; ++b)
            EXPECT_EQ(form->boardView->pieceImages[a]->Picture() == form->boardView->pieceImages[b]->Picture(),
                      g.pieces[a].code == g.pieces[b].code)
                << a << " " << b;
    LeftClick(form->btnChangeQz);
    before = g.pieces;
    form->btnOtherKbtClick();
    EXPECT_EQ(std::memcmp(&before, &g.pieces, sizeof before), 0);
}

TEST_F(BattleWindowTest, SavingGoesThroughTheDialogAndFeedsTheStatisticsBuilder) {
    OpenWindow();
    StartAndDeploy(form->btnNewBattle);
    ASSERT_FALSE(HasFatalFailure());
    form->Timer1->stop();  // the battle stands still while it is saved
    auto saveAs = [this](const std::string& path, const std::function<void()>& command) {
        bool seen = false;
        WhenShown<QFileDialog>([&](QFileDialog& dialog) {
            seen = true;
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path));
            static_cast<QDialog&>(dialog).accept();
        });
        command();
        return seen;
    };
    const std::string first = folder.path() + "/kbtfiles/a.kbt";
    EXPECT_TRUE(saveAs(first, [this] { LeftClick(form->btnsavefile); }));
    EXPECT_TRUE(saveAs(folder.path() + "/kbtfiles/b.kbt", [this] { form->mpopSaveBattle->trigger(); }));
    const jq::BattleDecodeResult read = jq::DecodeBattleFile(ReadBytes(first));
    ASSERT_EQ(read.error, jq::BattleFileError::kNone);
    EXPECT_EQ(read.file.codes.rows[0][7], game().deployedPieces[7].code);
    EXPECT_EQ(ReadBytes(folder.path() + "/kbtfiles/b.kbt"), ReadBytes(first));
    standardBoxes.clear();
    EXPECT_TRUE(saveAs(folder.path() + "/missing/c.kbt", [this] { LeftClick(form->btnsavefile); }));
    EXPECT_EQ(standardBoxes, QStringList{U("警告|保存结果文件不成功！！！")});

    // "子力分布": disabled while it works, it counts both records.
    standardBoxes.clear();
    bool disabledMeanwhile = false;
    onStandardBox = [&] { disabledMeanwhile = !form->Button5->isEnabled(); };
    form->Button5Click();
    EXPECT_EQ(standardBoxes, QStringList{U("确认|成功分析2个文件！")});
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(form->Button5->isEnabled());
    EXPECT_EQ(ReadBytes(folder.path() + "/statfile").size(), static_cast<size_t>(jq::kStatFileBytes));
}

TEST_F(BattleWindowTest, RecordDialogFollowsACountWhileOpenAndIsSaved) {
    OpenWindow();
    std::filesystem::remove(folder.path() + "/oprec");
    QStringList totals;
    WhenShown<Twr>([&](Twr& dialog) {
        totals << dialog.counters[0][0]->text();
        jq::CountBattleResult(game(), jq::kBattleWon);  // a battle ends meanwhile
        totals << dialog.counters[0][0]->text() << dialog.counters[0][1]->text();
        LeftClick(dialog.BitBtn1);
    });
    LeftClick(form->btnShowResult);
    EXPECT_EQ(totals, (QStringList{U("0"), U("1"), U("1")}));
    EXPECT_EQ(jq::DecodeOptions(ReadBytes(folder.path() + "/oprec")).winRecord[0][0], 1);
}

}  // namespace
