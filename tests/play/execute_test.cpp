#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/text.h"
#include "support/fake_computer.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "play/execute.h"

namespace jq {
namespace {

using test::ClearBoard;
using test::RecordingUi;
using test::Put;

class ExecuteTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        g.optionsRecord.soundOn = 1;
        g.clickStepCount = 1;
        g.turnDirection = 1;
        g.netMoveTime = 30;
        g.battleRunning = 1;
        g.selectedPiece = kNoPiece;
        ClearBoard(g.pieces);
        for (auto& row : g.eliminatedPieces)
            for (auto& e : row) e = kNoPiece;
        ui.clock.seconds = 1000;
    }

    // One live piece for each seat far from the action, so turns can pass.
    void PutBystanders() {
        Put(g, 24, kMine, 22, 12);        // seat 0
        Put(g, 49, kMine, 28, 22);        // seat 1
        Put(g, 74, kMine, 18, 28);        // seat 2
        Put(g, 99, kMine, 12, 18);        // seat 3
    }

    MoveResult Run(int from, int to, int x1, int y1, int x2, int y2, int outcome) {
        return ExecuteMove(g, from, to, x1, y1, x2, y2, outcome);
    }

    std::vector<int> EliminatedRow(int seat) const {
        std::vector<int> v;
        for (int k = 0; k < 30 && g.eliminatedPieces[seat][k] != kNoPiece; ++k) v.push_back(g.eliminatedPieces[seat][k]);
        return v;
    }

    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    RecordingUi ui;
};

TEST_F(ExecuteTest, StepToNeighbourPointShowsOneArrowAndNoPause) {
    PutBystanders();
    Put(g, 3, kPlatoon, 20, 16);
    g.selectedPiece = 3;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);

    EXPECT_EQ(g.pieces[3].x, 20);
    EXPECT_EQ(g.pieces[3].y, 15);
    ASSERT_EQ(ui.arrows.size(), 1u);
    EXPECT_EQ(ui.arrows[0].index, 1);
    EXPECT_EQ(ui.arrows[0].point, PointIndexAt(Board(), 20, 16));
    EXPECT_EQ(ui.arrows[0].dir, kDirDown);
    EXPECT_EQ(ui.sounds, std::vector<std::string>{"move.wav"});
    EXPECT_TRUE(ui.sleeps.empty());

    const StepRec want{3, kNoPiece, 20, 16, 20, 15, 1};
    EXPECT_EQ(g.stepRecords[0], want);
    EXPECT_EQ(g.lastStepRecord, want);
    EXPECT_EQ(g.stepCount, 1);
    EXPECT_EQ(g.curSeat, 1);
    // Common start of every step.
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(ui.timeRemaining, "30");
    EXPECT_EQ(g.turnClock.seconds, 1000);
    EXPECT_EQ(ui.status[2], Gb("当前已走：1 步"));
    EXPECT_EQ(ui.status[3], IdleStatusText());
    // The move fields follow the executed move.
    EXPECT_EQ(g.move.fromX, 20);
    EXPECT_EQ(g.move.toY, 15);
}

TEST_F(ExecuteTest, LongPathAnimatesSquareBySquare) {
    PutBystanders();
    Put(g, 0, kDivision, 18, 17);
    ASSERT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kDone);

    ASSERT_EQ(ui.arrows.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ui.arrows[i].index, i + 1);
        EXPECT_EQ(ui.arrows[i].point, i);  // points 0..3 lie on the front row
        EXPECT_EQ(ui.arrows[i].dir, kDirRight);
    }
    const std::vector<std::string> want{"sound:move.wav", "sleep:40", "sound:move.wav", "sleep:40",
                                        "sound:move.wav", "sleep:40", "sound:move.wav"};
    EXPECT_EQ(ui.events, want);
    EXPECT_EQ(g.path.length, 5);
    EXPECT_EQ(g.pieces[0].x, 22);
}

TEST_F(ExecuteTest, StepsByTensJumpWithoutArrowsSoundsOrPauses) {
    PutBystanders();
    Put(g, 0, kDivision, 18, 17);
    g.clickStepCount = 10;
    ASSERT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kDone);
    EXPECT_EQ(g.pieces[0].x, 22);
    EXPECT_TRUE(ui.arrows.empty());
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(g.stepCount, 1);
}

TEST_F(ExecuteTest, BlockedMoveIsRefusedInEveryMode) {
    PutBystanders();
    Put(g, 0, kDivision, 18, 17);
    Put(g, 50, kPlatoon, 20, 17);  // seat 2's piece in the way
    for (int steps : {1, 10}) {
        g.clickStepCount = steps;
        EXPECT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kRefused) << steps;
        EXPECT_EQ(g.pieces[0].x, 18);
        EXPECT_EQ(g.stepCount, 0);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ExecuteTest, RefusedMoveTouchesNoPieceRecordOrTurn) {
    PutBystanders();
    Put(g, 0, kDivision, 18, 17);
    Put(g, 21, kFlag, 19, 12);
    Put(g, 23, kArmyCommander, 21, 12);
    Put(g, 30, kPlatoon, 19, 17);  // seat 1 piece next to the division
    Put(g, 1, kPlatoon, 20, 13);
    g.pieces[1].alive = 0;          // dead
    g.curSeat = 0;
    const auto before = std::make_unique<GameState>(g);

    struct Case {
        const char* what;
        int from, to, x1, y1, x2, y2;
        bool told;
    };
    const Case cases[] = {
        {"no mover", kNoPiece, kNoPiece, 18, 17, 18, 16, true},
        {"mover out of range", 100, kNoPiece, 18, 17, 18, 16, true},
        {"start off the board", 0, kNoPiece, 19, 19, 18, 16, true},
        {"target off the board", 0, kNoPiece, 18, 17, 11, 17, true},
        {"dead mover", 1, kNoPiece, 20, 13, 20, 14, false},
        {"mover not on its start", 0, kNoPiece, 18, 16, 18, 15, false},
        {"a flag does not move", 21, kNoPiece, 19, 12, 18, 12, false},
        {"a headquarters piece does not move", 23, kNoPiece, 21, 12, 22, 12, false},
        {"target named but point empty", 0, 30, 18, 17, 18, 16, false},
        {"enemy on the target but none named", 0, kNoPiece, 18, 17, 19, 17, false},
        {"no path", 0, kNoPiece, 18, 17, 20, 16, false},
    };
    int clock = 2000;
    for (const Case& c : cases) {
        ui.messages.clear();
        ui.arrows.push_back({7, 7, 7});
        ui.status[3] = "notice";
        ui.timeRemaining.clear();
        ui.clock.seconds = ++clock;
        g.selectedPiece = 0;
        EXPECT_EQ(Run(c.from, c.to, c.x1, c.y1, c.x2, c.y2, 1), MoveResult::kRefused) << c.what;
        if (c.told)
            EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("非法棋步,没有指定要移动的棋子... ")}) << c.what;
        else
            EXPECT_TRUE(ui.messages.empty()) << c.what;
        // What every step does first happens all the same.
        EXPECT_EQ(g.selectedPiece, kNoPiece) << c.what;
        EXPECT_EQ(g.turnClock.seconds, clock) << c.what;
        EXPECT_TRUE(ui.arrows.empty()) << c.what;
        EXPECT_EQ(ui.timeRemaining, "30") << c.what;
        EXPECT_EQ(ui.status[3], IdleStatusText()) << c.what;
    }
    EXPECT_EQ(g.stepCount, before->stepCount);
    EXPECT_EQ(g.curSeat, before->curSeat);
    EXPECT_EQ(g.stepRecords[0], before->stepRecords[0]);
    EXPECT_EQ(g.lastStepRecord, before->lastStepRecord);
    for (int p = 0; p < kPieceCount; ++p) {
        EXPECT_EQ(g.pieces[p].x, before->pieces[p].x) << p;
        EXPECT_EQ(g.pieces[p].y, before->pieces[p].y) << p;
        EXPECT_EQ(g.pieces[p].alive, before->pieces[p].alive) << p;
    }
    EXPECT_TRUE(ui.events.empty());
    EXPECT_TRUE(ui.placed.empty());
}

TEST_F(ExecuteTest, FlagCaptureRemovesTheWholeSeatButNotItsPartner) {
    PutBystanders();
    Put(g, 2, kDivision, 27, 19);
    // Seat 1: its flag on headquarters (28, 19) and three more pieces, one
    // of them already dead.
    Put(g, 46, kFlag, 28, 19);
    Put(g, 25, kPlatoon, 23, 18);
    Put(g, 30, kMine, 24, 17);
    Put(g, 27, kCompany, 23, 20);
    g.pieces[27].alive = 0;
    g.pieces[49].alive = 0;  // the bystander of seat 1 goes too
    Put(g, 49, kMine, 28, 22);
    Put(g, 80, kCompany, 17, 22);  // partner seat 3

    ASSERT_EQ(Run(2, 46, 27, 19, 28, 19, 1), MoveResult::kDone);
    EXPECT_EQ(EliminatedRow(1), (std::vector<int>{25, 30, 46, 49}));
    for (int p = 25; p < 50; ++p) EXPECT_EQ(g.pieces[p].alive, 0) << p;
    for (int p : {25, 30, 46, 49}) EXPECT_EQ(ui.visible[p], false) << p;
    EXPECT_EQ(g.pieces[80].alive, 1);
    EXPECT_EQ(g.pieces[99].alive, 1);
    EXPECT_EQ(g.pieces[2].alive, 1);
    EXPECT_EQ(g.pieces[2].x, 28);
    EXPECT_EQ(ui.sounds, std::vector<std::string>{"die.wav"});
    EXPECT_EQ(g.stepRecords[0], (StepRec{2, 46, 27, 19, 28, 19, 1}));
    // Seat 1 has nothing left: the turn goes on to seat 2.
    EXPECT_EQ(g.curSeat, 2);
}

TEST_F(ExecuteTest, TurnSkipsRemovedSeatsInEitherDirection) {
    PutBystanders();
    g.pieces[99].alive = 0;  // seat 3 gone
    Put(g, 3, kPlatoon, 20, 16);
    g.turnDirection = -1;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
    EXPECT_EQ(g.curSeat, 2);

    // A direction that is neither +1 nor -1 still passes the turn, as +1.
    g.turnDirection = 0;
    g.curSeat = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 15, 20, 16, 1), MoveResult::kDone);
    EXPECT_EQ(g.curSeat, 1);

    // Alone on the board: the turn comes back to the mover.
    for (int p : {49, 74}) g.pieces[p].alive = 0;
    g.turnDirection = 1;
    g.curSeat = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
    EXPECT_EQ(g.curSeat, 0);
}

TEST_F(ExecuteTest, DeadCommanderRevealsItsFlag) {
    PutBystanders();
    Put(g, 13, kCommander, 18, 17);
    Put(g, 45, kMine, 19, 17);
    ASSERT_EQ(Run(13, 45, 18, 17, 19, 17, -1), MoveResult::kDone);
    EXPECT_EQ(g.pieces[13].alive, 0);
    EXPECT_EQ(g.pieces[45].alive, 1);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"sound:showflag.wav", "reveal:13"}));
}

TEST_F(ExecuteTest, TwoCommandersRevealBothFlagsWithOneSound) {
    PutBystanders();
    Put(g, 13, kCommander, 18, 17);
    Put(g, 38, kCommander, 19, 17);
    ASSERT_EQ(Run(13, 38, 18, 17, 19, 17, 0), MoveResult::kDone);
    EXPECT_EQ(g.pieces[13].alive, 0);
    EXPECT_EQ(g.pieces[38].alive, 0);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"reveal:13", "reveal:38", "sound:showflag.wav"}));
}

TEST_F(ExecuteTest, OutcomeSounds) {
    struct Case {
        int moverCode, targetCode, outcome;
        const char* sound;
        int moverAlive, targetAlive;
    };
    const Case cases[] = {
        {kDivision, kPlatoon, 1, "eat.wav", 1, 0},
        {kPlatoon, kDivision, -1, "beeat.wav", 0, 1},
        {kPlatoon, kPlatoon, 0, "Equal.wav", 0, 0},
        {kBomb, kCommander, 0, "showflag.wav", 0, 0},
    };
    for (const Case& c : cases) {
        ClearBoard(g.pieces);
        PutBystanders();
        ui.sounds.clear();
        g.curSeat = 0;
        Put(g, 5, c.moverCode, 18, 17);
        Put(g, 31, c.targetCode, 19, 17);
        ASSERT_EQ(Run(5, 31, 18, 17, 19, 17, c.outcome), MoveResult::kDone);
        EXPECT_EQ(ui.sounds, std::vector<std::string>{c.sound}) << c.sound;
        EXPECT_EQ(g.pieces[5].alive, c.moverAlive) << c.sound;
        EXPECT_EQ(g.pieces[31].alive, c.targetAlive) << c.sound;
    }
}

TEST_F(ExecuteTest, SoundsOnlyWithSoundOn) {
    PutBystanders();
    Put(g, 3, kPlatoon, 20, 16);
    g.optionsRecord.soundOn = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
    EXPECT_TRUE(ui.sounds.empty());
    // Any value but 0 means on.
    g.optionsRecord.soundOn = 2;
    g.curSeat = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 15, 20, 16, 1), MoveResult::kDone);
    EXPECT_EQ(ui.sounds, std::vector<std::string>{"move.wav"});
}

TEST_F(ExecuteTest, SurrenderTakesTheSeatOff) {
    PutBystanders();
    Put(g, 60, kPlatoon, 21, 27);
    Put(g, 55, kCompany, 22, 26);
    Put(g, 52, kEngineer, 18, 23);
    g.pieces[52].alive = 0;
    g.curSeat = 2;
    g.selectedPiece = 55;
    const StepRec last = g.lastStepRecord;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 22, 22, 22, 22, 7), MoveResult::kDone);

    EXPECT_EQ(g.stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 2}));
    EXPECT_EQ(EliminatedRow(2), (std::vector<int>{55, 60, 74}));
    for (int p = 50; p < 75; ++p) EXPECT_EQ(g.pieces[p].alive, 0);
    EXPECT_EQ(ui.status[3], Gb("第 2 方，缴械投降XXX"));
    EXPECT_EQ(ui.sounds, std::vector<std::string>{"die.wav"});
    EXPECT_EQ(g.curSeat, 3);
    EXPECT_EQ(g.stepCount, 1);
    EXPECT_EQ(g.lastStepRecord, last);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
}

TEST_F(ExecuteTest, SurrenderOfAnEmptySeatKeepsItsRow) {
    PutBystanders();
    g.pieces[49].alive = 0;
    g.eliminatedPieces[1][0] = 33;
    g.curSeat = 1;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 22, 22, 22, 22, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}));
    EXPECT_EQ(EliminatedRow(1), std::vector<int>{33});
    EXPECT_EQ(g.stepCount, 1);
}

TEST_F(ExecuteTest, TimeoutPassesTheTurnAndTellsTheCount) {
    PutBystanders();
    g.curSeat = 1;
    g.netConnected = 1;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 2), MoveResult::kDone);
    EXPECT_EQ(g.stepRecords[0], (StepRec{kNoPiece, kNoPiece, 255, 255, 255, 255, 1}));
    EXPECT_EQ(ui.status[3], Gb("第 1 方，第 2 次超时没有走棋"));
    EXPECT_EQ(ui.sounds, std::vector<std::string>{"nomove.wav"});
    EXPECT_EQ(g.curSeat, 2);
    for (int p : {24, 49, 74, 99}) EXPECT_EQ(g.pieces[p].alive, 1);

    g.netConnected = 0;
    g.curSeat = 1;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 2), MoveResult::kDone);
    EXPECT_EQ(ui.status[3], Gb("第 1 方，超时没有走棋"));
    EXPECT_EQ(g.stepCount, 2);
}

TEST_F(ExecuteTest, FourTwentyTwosWithOneDifferentIsAnOrdinaryMove) {
    PutBystanders();
    Put(g, 7, kDivision, 22, 22);
    ASSERT_EQ(Run(7, kNoPiece, 22, 22, 22, 23, 1), MoveResult::kDone);
    EXPECT_EQ(g.pieces[7].y, 23);
    EXPECT_EQ(g.stepRecords[0], (StepRec{7, kNoPiece, 22, 22, 22, 23, 1}));
    EXPECT_EQ(g.pieces[24].alive, 1);
}

TEST_F(ExecuteTest, StepLimitHoldsTheCounterAndReleasesTheSeats) {
    PutBystanders();
    Put(g, 3, kPlatoon, 20, 16);
    g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
    g.stepCount = 509;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepCount, 510);
    EXPECT_EQ(ui.status[2], Gb("当前已走：510 步"));
    EXPECT_EQ(g.computerSeat[1], 1);

    g.curSeat = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 15, 20, 16, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepCount, 510);
    EXPECT_EQ(g.stepRecords[510], (StepRec{3, kNoPiece, 20, 15, 20, 16, 1}));
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);
    EXPECT_EQ(g.stepRecords[511], StepRec{});
}

TEST_F(ExecuteTest, StepRecordIsNeverWrittenOutsideTheList) {
    PutBystanders();
    g.stepCount = -1;  // stepping back past the first step
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(g.stepRecords[0], StepRec{});

    g.stepCount = 100000;  // a damaged counter
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepCount, 510);
}

}  // namespace
}  // namespace jq
