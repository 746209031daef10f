// Battles against the computer played on the real main window: the new
// battle command, the deployment, moves through the board's pointer
// handlers and a scripted computer player on the running main timer, the
// result panel and the win/loss record; and the rarely used commands
// around a battle (saving, another formation, the statistics builder).
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "ai/computer.h"
#include "ai/movegen.h"
#include "app/shresult.h"
#include "app/tqsform.h"
#include "app/winrec.h"
#include "core/options.h"
#include "core/rng.h"
#include "core/text.h"
#include "core/ui/myshowmessage.h"
#include "form_support.h"
#include "formations/piecestats.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/battlefile.h"
#include "view/ui/boardview.h"

namespace {

using apptest::LeftClick;
using apptest::ScratchWorkFolder;
using apptest::SendMouse;
using apptest::WaitFor;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

using jq::test::ReadBytes;

// The computer player as the window sees it: woken by the main timer, it
// hands its move to the main thread as a queued call, and counts as busy
// until that move has been carried out or dropped by a stop.
class ScriptedComputer : public jq::ComputerPlayer {
public:
    explicit ScriptedComputer(jq::GameState& g) : g_(g) { rng_.Seed(7); }

    bool IsIdle() const override { return !busy_; }
    void Resume() override {
        busy_ = true;
        ++resumes;
        const int token = ++token_;
        QMetaObject::invokeMethod(&context_, [this, token] { HandOver(token); }, Qt::QueuedConnection);
    }
    void Stop() override {
        busy_ = false;
        ++token_;
        ++stops;
    }

    // Seats that give up instead of moving.
    bool givesUp[jq::kSeats] = {};
    int moves = 0;
    int resumes = 0;
    int stops = 0;
    // A move chosen for a seat the computer does not play.
    int wrongSeat = 0;

private:
    void HandOver(int token) {
        if (token != token_ || !busy_) return;
        const int seat = g_.curSeat;
        if (!jq::IsValidSeat(seat) || g_.computerSeat[seat] == 0) ++wrongSeat;
        jq::MoveCand m;
        const int n = jq::GenerateMoves(work_, g_.pieces, seat);
        if (givesUp[seat] || n == 0) {
            m.mover = m.target = jq::kNoPiece;
            m.fromX = m.fromY = m.toX = m.toY = jq::kSurrenderCoord;
            m.outcome = seat;
        } else {
            m = work_.list[rng_.Next() % n];
        }
        jq::ExecuteMove(g_, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
        ++moves;
        busy_ = false;
    }

    jq::GameState& g_;
    // A hand-over still queued when the player goes away goes with it.
    QObject context_;
    jq::MoveGenWork work_;
    jq::GameRandom rng_;
    bool busy_ = false;
    int token_ = 0;
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

    void WriteOptions() {
        const std::vector<uint8_t> bytes = jq::EncodeOptions(options);
        std::ofstream out(folder.path() + "/oprec", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // The window, with the scripted computer in place of the real one.
    void OpenWindow() {
        WriteOptions();
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
    // Live pieces of seats 0 and 2 over those of seats 1 and 3.
    int Lead() { return LivePieces(0) + LivePieces(2) - LivePieces(1) - LivePieces(3); }
    // Takes one live piece other than the flag off the board.
    void TakeOff(int seat) {
        for (int p = seat * 25; p < seat * 25 + 25; ++p) {
            if (game().pieces[p].alive != 1 || game().pieces[p].code == jq::kFlag) continue;
            game().pieces[p].alive = 0;
            form->SetPieceVisible(p, false);
            return;
        }
    }

    // Seat 0 is to move and the board takes input.
    bool PlayersTurn() { return game().battleRunning != 0 && game().curSeat == 0 && computer->IsIdle(); }

    void PressPieceImage(int piece) {
        jq::ImageControl* image = form->boardView->pieceImages[piece];
        SendMouse(image, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
        SendMouse(image, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    }

    void PressBoardPoint(int x, int y) {
        const int j = jq::PointIndexAt(*game().board, x, y);
        ASSERT_GE(j, 0);
        const jq::BoardPoint& p = game().board->boardPoints[j];
        jq::ImageControl* qipan = form->boardView->qipan;
        const QPoint at(p.pixelX - 2, p.pixelY - 2);
        SendMouse(qipan, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at);
        SendMouse(qipan, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at);
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
        EXPECT_EQ(step.mover, m.mover);
        EXPECT_EQ(step.target, m.target);
        EXPECT_EQ(step.toX, m.toX);
        EXPECT_EQ(step.toY, m.toY);
        EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：%1 步").arg(before + 1));
    }

    // The new battle through its button, deployed by seat 0: two pieces
    // exchanged with the pointer, then "完毕".
    void StartAndDeploy() {
        LeftClick(form->btnNewBattle);
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
        for (QWidget* w : std::initializer_list<QWidget*>{form->btnChangeQz, form->btnSaveZf, form->btnLoadZf,
                                                           form->btnOtherKbt, form->Label20})
            EXPECT_FALSE(w->isVisible());
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

TEST_F(BattleWindowTest, NewBattleOpensTheDeploymentInPlayMode) {
    options.aiLevel = 1;
    OpenWindow();
    EXPECT_EQ(form->statusPanels[3]->text(), U("准备就绪"));
    game().stepCount = 37;  // left from an earlier battle
    form->SetStatusText(2, jq::Gb("当前已走：37 步"));
    form->SetStatusText(3, jq::Gb("第 1 方，缴械投降XXX"));
    LeftClick(form->SpeedButton1);

    jq::GameState& g = game();
    // Without a formation database and statistics the player is told, and
    // every seat still gets a legal army.
    ASSERT_EQ(standardBoxes.size(), 1);
    EXPECT_TRUE(standardBoxes[0].startsWith(U("警告|没有默认的阵法数据库(zffile)！！")));
    ASSERT_EQ(ownBoxes.size(), 1);
    EXPECT_EQ(ownBoxes[0], U("采用默认子力分布！！     "));
    for (int s = 0; s < 4; ++s) {
        int counts[13] = {};
        for (int k = 0; k < 25; ++k) ++counts[std::clamp(g.pieces[s * 25 + k].code, 0, 12)];
        EXPECT_EQ(counts[0], 0) << s;
        EXPECT_EQ(counts[1], 1) << s;
        EXPECT_EQ(counts[2], 3) << s;
        EXPECT_EQ(counts[3], 2) << s;
    }

    EXPECT_EQ(g.battleRunning, 1);
    EXPECT_EQ(g.deployPhase, 1);
    EXPECT_EQ(g.practiceMode, 1);
    EXPECT_TRUE(form->rbtPractice->isChecked());
    EXPECT_EQ(g.computerSeat[0], 0);
    for (int s = 1; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 1) << s;
    EXPECT_TRUE(jq::IsValidSeat(g.curSeat));
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(g.selectedPiece, jq::kNoPiece);
    EXPECT_TRUE(form->Timer1->isActive());

    for (QWidget* w : std::initializer_list<QWidget*>{form->btnChangeQz, form->btnSaveZf, form->btnLoadZf,
                                                       form->btnOtherKbt, form->Shape1, form->Shape2,
                                                       form->Label20})
        EXPECT_TRUE(w->isVisible()) << w->metaObject()->className();
    EXPECT_FALSE(form->bRotate->isEnabled());
    EXPECT_FALSE(form->btnProvStep->isEnabled());
    EXPECT_FALSE(form->btnNextStep->isEnabled());
    EXPECT_FALSE(form->btnViewOtherQz->isEnabled());
    EXPECT_TRUE(form->btnsavefile->isEnabled());
    EXPECT_EQ(form->windowTitle(), TqsForm::StartupTitle());
    EXPECT_EQ(form->statusPanels[1]->text(), U("级别：中级"));
    EXPECT_EQ(form->statusPanels[2]->text(), U("当前已走：0 步"));
    EXPECT_EQ(form->statusPanels[3]->text(), U("准备就绪"));
    EXPECT_EQ(form->Label1->text(), U("小明"));
    EXPECT_EQ(form->Label2->text(), U("东邪"));
    EXPECT_EQ(form->Label3->text(), U("南帝"));
    EXPECT_EQ(form->Label4->text(), U("西毒"));

    // While the seats deploy nobody moves, the computer included.
    apptest::WaitFor([] { return false; }, 300);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(computer->resumes, 0);
    EXPECT_FALSE(form->bgiveup->isEnabled());
}

TEST_F(BattleWindowTest, BattlePlayedToAWinIsShownAndCountedOnce) {
    options.aiLevel = 0;
    options.winRecord[0][0] = 3;
    options.winRecord[0][1] = 1;
    OpenWindow();
    WatchResultPanels();
    StartAndDeploy();
    ASSERT_FALSE(HasFatalFailure());
    PlayRounds(4);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(computer->moves, 8);
    EXPECT_EQ(computer->wrongSeat, 0);
    EXPECT_TRUE(panelsShown.empty());

    // Seats 1 and 3 give up on their next turns; their team has lost.
    computer->givesUp[1] = computer->givesUp[3] = true;
    ASSERT_TRUE(WaitFor([this] { return game().battleRunning == 0 && !panelsShown.empty(); }, 20000));
    // A few more ticks change nothing.
    WaitFor([] { return false; }, 300);

    jq::GameState& g = game();
    ASSERT_EQ(panelsShown.size(), 1u);
    EXPECT_EQ(panelsShown[0], jq::kBattleWon);
    EXPECT_EQ(panelRunning[0], 0);
    EXPECT_EQ(g.optionsRecord.winRecord[0][0], 4);
    EXPECT_EQ(g.optionsRecord.winRecord[0][1], 2);
    EXPECT_EQ(g.optionsRecord.winRecord[0][2], 0);
    EXPECT_EQ(g.optionsRecord.winRecord[0][3], 0);
    // The count is in "oprec" already: quitting now loses nothing.
    EXPECT_EQ(jq::DecodeOptions(ReadBytes(folder.path() + "/oprec")).winRecord[0][1], 2);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);
    for (int p = 25; p < 50; ++p) EXPECT_EQ(g.pieces[p].alive, 0);
    for (int p = 75; p < 100; ++p) EXPECT_EQ(g.pieces[p].alive, 0);
    EXPECT_TRUE(form->statusPanels[3]->text().endsWith(U("缴械投降XXX")));
    EXPECT_FALSE(form->bgiveup->isEnabled());
    EXPECT_FALSE(form->bpeace->isEnabled());
    EXPECT_TRUE(form->btnsavefile->isEnabled());
    // The record of the battle holds every step it took.
    const jq::BattleFile record = jq::BattleFileFromGame(g, false);
    EXPECT_EQ(static_cast<int>(record.moves.size()), g.stepCount);

    // The next battle starts afresh.
    LeftClick(form->btnNewBattle);
    EXPECT_EQ(g.battleRunning, 1);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(form->statusPanels[3]->text(), U("准备就绪"));
    for (int p = 0; p < 100; ++p) EXPECT_EQ(g.pieces[p].alive, 1);
}

TEST_F(BattleWindowTest, GivingUpLosesAndTheRecordDialogShowsAndResetsTheCount) {
    options.aiLevel = 2;
    options.winRecord[2][0] = 5;
    options.winRecord[2][1] = 2;
    options.winRecord[2][2] = 2;
    options.winRecord[2][3] = 1;
    OpenWindow();
    WatchResultPanels();
    StartAndDeploy();
    ASSERT_FALSE(HasFatalFailure());
    PlayRounds(2);
    ASSERT_FALSE(HasFatalFailure());

    // Seat 0 gives up with its button; its partner gives up in turn.
    ASSERT_TRUE(WaitFor([this] { return PlayersTurn() && form->bgiveup->isEnabled(); }, 20000));
    const int before = game().stepCount;
    computer->givesUp[2] = true;
    LeftClick(form->bgiveup);
    ASSERT_GE(ownBoxes.size(), 2);
    EXPECT_EQ(ownBoxes.last(), U("您真的要缴械投降?           "));
    const jq::StepRec& step = game().stepRecords[before];
    EXPECT_EQ(step.mover, jq::kNoPiece);
    EXPECT_EQ(step.fromX, jq::kSurrenderCoord);
    EXPECT_EQ(step.outcome, 0);
    for (int p = 0; p < 25; ++p) EXPECT_EQ(game().pieces[p].alive, 0);
    EXPECT_FALSE(form->btnNextStep->isEnabled());

    ASSERT_TRUE(WaitFor([this] { return game().battleRunning == 0 && !panelsShown.empty(); }, 20000));
    WaitFor([] { return false; }, 200);
    ASSERT_EQ(panelsShown.size(), 1u);
    EXPECT_EQ(panelsShown[0], jq::kBattleLost);
    const int32_t* level2 = game().optionsRecord.winRecord[2];
    EXPECT_EQ(level2[0], 6);
    EXPECT_EQ(level2[1], 2);
    EXPECT_EQ(level2[2], 3);
    EXPECT_EQ(level2[3], 1);
    // With its own army gone the player watches the rest face up.
    EXPECT_EQ(game().viewOtherFormations, 1);
    EXPECT_EQ(form->btnViewOtherQz->text(), U("不看棋了"));

    // "棋战成绩" shows the counters in the row "高 级"; "重新计分" clears
    // them and they reach the options file at once.
    QStringList shownRow;
    QTimer::singleShot(50, [&] {
        for (Twr* dialog : form->findChildren<Twr*>()) {
            if (!dialog->isVisible()) continue;
            for (QLabel* label : dialog->counters[2]) shownRow << label->text();
            LeftClick(dialog->Button1);
        }
    });
    LeftClick(form->btnShowResult);
    EXPECT_EQ(shownRow, (QStringList{U("6"), U("2"), U("3"), U("1")}));
    const std::vector<uint8_t> saved = ReadBytes(folder.path() + "/oprec");
    ASSERT_EQ(saved.size(), static_cast<size_t>(jq::kOptionsBytes));
    const jq::OptionsRec reread = jq::DecodeOptions(saved);
    for (int level = 0; level < 3; ++level)
        for (int column = 0; column < 4; ++column) EXPECT_EQ(reread.winRecord[level][column], 0);
    EXPECT_TRUE(form->findChildren<Twr*>().isEmpty());
}

TEST_F(BattleWindowTest, PeaceIsRefusedWhileEvenAndGrantedWhenAheadThenADraw) {
    options.aiLevel = 0;
    OpenWindow();
    WatchResultPanels();
    StartAndDeploy();
    ASSERT_FALSE(HasFatalFailure());
    // The end of a battle is looked for once a step has been played.
    PlayRounds(1);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor([this] { return PlayersTurn() && form->bpeace->isEnabled(); }, 20000));

    // A cancelled offer changes nothing.
    ownAnswerCancel = true;
    LeftClick(form->bpeace);
    ownAnswerCancel = false;
    EXPECT_EQ(ownBoxes.last(), U("真的不想再战下去了?             "));
    const int shownBefore = static_cast<int>(ownBoxes.size());

    // No lead of two pieces: one of the other seats refuses by name.
    while (Lead() >= 2) TakeOff(2);
    LeftClick(form->bpeace);
    ASSERT_EQ(ownBoxes.size(), shownBefore + 2);
    const QString refusal = ownBoxes.last();
    EXPECT_TRUE(refusal.startsWith(U("东邪")) || refusal.startsWith(U("南帝")) || refusal.startsWith(U("西毒")))
        << refusal.toStdString();
    EXPECT_TRUE(refusal.endsWith(U("不同意和棋。\n战争还得继续！               ")));
    EXPECT_EQ(game().peaceAgreed, 0);
    EXPECT_EQ(game().battleRunning, 1);

    // Two pieces ahead: peace, and a draw at the next tick.
    while (Lead() < 2) TakeOff(1);
    ASSERT_EQ(Lead(), 2);
    LeftClick(form->bpeace);
    EXPECT_EQ(ownBoxes.last(), U("战争结束。\n天下太平！               "));
    EXPECT_EQ(game().peaceAgreed, 1);
    ASSERT_TRUE(WaitFor([this] { return !panelsShown.empty(); }, 5000));
    WaitFor([] { return false; }, 200);
    ASSERT_EQ(panelsShown.size(), 1u);
    EXPECT_EQ(panelsShown[0], jq::kBattleDraw);
    EXPECT_EQ(game().battleRunning, 0);
    EXPECT_EQ(game().optionsRecord.winRecord[0][0], 1);
    EXPECT_EQ(game().optionsRecord.winRecord[0][3], 1);
}

TEST_F(BattleWindowTest, ExitStopsTheComputerAndClosesTheWindow) {
    OpenWindow();
    StartAndDeploy();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitFor([this] { return !computer->IsIdle() || PlayersTurn(); }, 20000));
    const int movesBefore = computer->moves;
    LeftClick(form->btnExit);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(computer->IsIdle());
    EXPECT_FALSE(form->Timer1->isActive());
    // A move chosen before the stop is never carried out.
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(computer->moves, movesBefore);
}

TEST_F(BattleWindowTest, OtherFormationRedrawsOnlyTheOwnSeat) {
    OpenWindow();
    LeftClick(form->btnNewBattle);
    jq::GameState& g = game();
    jq::PieceTable before = g.pieces;
    bool changed = false;
    for (int round = 0; round < 5; ++round) {
        LeftClick(form->btnOtherKbt);
        for (int p = 25; p < 100; ++p) ASSERT_EQ(g.pieces[p].code, before[p].code) << p;
        for (int k = 0; k < 25; ++k) {
            EXPECT_EQ(g.pieces[k].x, before[k].x);
            if (g.pieces[k].code != before[k].code) changed = true;
        }
        // The pictures follow the new codes, face up.
        for (int a = 0; a < 25; ++a)
            for (int b = a + 1; b < 25; ++b) {
                const bool samePicture =
                    form->boardView->pieceImages[a]->Picture() == form->boardView->pieceImages[b]->Picture();
                EXPECT_EQ(samePicture, g.pieces[a].code == g.pieces[b].code) << a << " " << b;
            }
    }
    EXPECT_TRUE(changed);

    // Once the deployment is over the command does nothing.
    LeftClick(form->btnChangeQz);
    ASSERT_EQ(g.deployPhase, 0);
    before = g.pieces;
    form->btnOtherKbtClick();
    for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[k].code, before[k].code);
}

TEST_F(BattleWindowTest, SavingGoesThroughTheDialogAndFeedsTheStatisticsBuilder) {
    OpenWindow();
    StartAndDeploy();
    ASSERT_FALSE(HasFatalFailure());
    form->Timer1->stop();  // the battle stands still while it is saved

    // The save dialog, from the side panel and from the popup menu.
    auto saveAs = [this](const QString& path, const std::function<void()>& command) {
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QFileDialog* dialog : form->findChildren<QFileDialog*>()) {
                if (!dialog->isVisible() || dialog->acceptMode() != QFileDialog::AcceptSave) continue;
                seen = true;
                // Typed into the file name box, as a player would.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(name, nullptr);
                name->setText(path);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        poll.start(20);
        QTimer::singleShot(5000, [this] {
            for (QFileDialog* dialog : form->findChildren<QFileDialog*>())
                if (dialog->isVisible()) dialog->reject();
        });
        command();
        return seen;
    };
    const std::string first = folder.path() + "/kbtfiles/a.kbt";
    const std::string second = folder.path() + "/kbtfiles/b.kbt";
    EXPECT_TRUE(saveAs(QString::fromStdString(first), [this] { LeftClick(form->btnsavefile); }));
    EXPECT_TRUE(saveAs(QString::fromStdString(second), [this] { form->mpopSaveBattle->trigger(); }));
    const std::vector<uint8_t> bytes = ReadBytes(first);
    const jq::BattleDecodeResult read = jq::DecodeBattleFile(bytes);
    ASSERT_EQ(read.error, jq::BattleFileError::kNone);
    EXPECT_EQ(read.file.moves.size(), static_cast<size_t>(game().stepCount));
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 25; ++k)
            EXPECT_EQ(read.file.codes.rows[s][k], game().deployedPieces[s * 25 + k].code) << s << " " << k;
    EXPECT_EQ(ReadBytes(second), bytes);

    // A file that cannot be written is reported.
    standardBoxes.clear();
    EXPECT_TRUE(saveAs(QString::fromStdString(folder.path() + "/missing/c.kbt"),
                       [this] { LeftClick(form->btnsavefile); }));
    ASSERT_EQ(standardBoxes.size(), 1);
    EXPECT_EQ(standardBoxes[0], U("警告|保存结果文件不成功！！！"));

    // "子力分布", reached only through its handler: disabled while it works,
    // it counts both records and writes the statistics.
    ASSERT_FALSE(form->Button5->isVisible());
    standardBoxes.clear();
    bool disabledMeanwhile = false;
    onStandardBox = [&] { disabledMeanwhile = !form->Button5->isEnabled(); };
    form->Button5Click();
    onStandardBox = nullptr;
    ASSERT_EQ(standardBoxes.size(), 1);
    EXPECT_EQ(standardBoxes[0], U("确认|成功分析2个文件！"));
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(form->Button5->isEnabled());
    EXPECT_EQ(ReadBytes(folder.path() + "/statfile").size(), static_cast<size_t>(jq::kStatFileBytes));

    // The next battle starts from these statistics without a word.
    ownBoxes.clear();
    LeftClick(form->btnNewBattle);
    for (const QString& text : ownBoxes) EXPECT_NE(text, U("采用默认子力分布！！     "));
}

TEST_F(BattleWindowTest, RecordDialogFollowsACountWhileOpenAndCancelStillSaves) {
    OpenWindow();
    std::filesystem::remove(folder.path() + "/oprec");
    QStringList totals;
    QTimer::singleShot(50, [&] {
        for (Twr* dialog : form->findChildren<Twr*>()) {
            if (!dialog->isVisible()) continue;
            totals << dialog->counters[0][0]->text();
            jq::CountBattleResult(game(), jq::kBattleWon);  // a battle ends meanwhile
            totals << dialog->counters[0][0]->text() << dialog->counters[0][1]->text();
            LeftClick(dialog->BitBtn1);
        }
    });
    LeftClick(form->btnShowResult);
    EXPECT_EQ(totals, (QStringList{U("0"), U("1"), U("1")}));
    const std::vector<uint8_t> saved = ReadBytes(folder.path() + "/oprec");
    ASSERT_EQ(saved.size(), static_cast<size_t>(jq::kOptionsBytes));
    EXPECT_EQ(jq::DecodeOptions(saved).winRecord[0][0], 1);
}

TEST_F(BattleWindowTest, ModeSwitchSetsThePlayModeOfTheGame) {
    OpenWindow();
    form->rbtPractice->setChecked(true);
    form->boardView->rbtSelectChanged();
    EXPECT_EQ(game().practiceMode, 1);
    EXPECT_EQ(game().computerSeat[1], 1);
    form->rbtDps->setChecked(true);
    form->boardView->rbtSelectChanged();
    EXPECT_EQ(game().practiceMode, 0);
    EXPECT_EQ(game().computerSeat[1], 0);
}

TEST_F(BattleWindowTest, DiagnosticLabelsTakeTheirTexts) {
    OpenWindow();
    form->SetDiagnosticLabel(1, "120");
    form->SetDiagnosticLabel(5, "3,7");
    form->SetDiagnosticLabel(0, "x");
    form->SetDiagnosticLabel(6, "x");
    EXPECT_EQ(form->lbmsg[0]->text(), U("120"));
    EXPECT_EQ(form->lbmsg[4]->text(), U("3,7"));
    EXPECT_EQ(form->lbmsg[1]->text(), U("0"));
    EXPECT_FALSE(form->GroupBox3->isVisible());
}

}  // namespace
