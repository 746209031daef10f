#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "ai/movegen.h"
#include "core/text.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "support/fake_computer.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::Put;
using test::RecordingUi;
using Strings = std::vector<std::string>;

class ExecuteTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        g.optionsRecord.soundOn = g.clickStepCount = g.turnDirection = g.battleRunning = 1;
        g.netMoveTime = 30;
        g.selectedPiece = kNoPiece;
        std::memset(g.eliminatedPieces, kNoPiece, sizeof g.eliminatedPieces);
        ui.clock.seconds = 1000;
        Reset();
    }

    // One mine of each seat far from the action, so turns can pass; seat 0 to move.
    void Reset() {
        test::ClearBoard(g.pieces);
        Put(g, 24, kMine, 22, 12);
        Put(g, 49, kMine, 28, 22);
        Put(g, 74, kMine, 18, 28);
        Put(g, 99, kMine, 12, 18);
        g.curSeat = 0;
        ui.events.clear();
        ui.sounds.clear();
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

TEST_F(ExecuteTest, MoveAnimatesSquareBySquareAndIsRecorded) {
    Put(g, 0, kDivision, 18, 17);
    g.selectedPiece = 0;
    ASSERT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kDone);
    EXPECT_EQ(g.pieces[0].x, 22);
    ASSERT_EQ(ui.arrows.size(), 4u);
    for (int i = 0; i < 4; ++i)  // points 0..3 lie on the front row
        EXPECT_EQ(std::tuple(ui.arrows[i].index, ui.arrows[i].point, ui.arrows[i].dir), std::tuple(i + 1, i, int{kDirRight}));
    EXPECT_EQ(ui.events, (Strings{"sound:move.wav", "sleep:40", "sound:move.wav", "sleep:40", "sound:move.wav",
                                  "sleep:40", "sound:move.wav"}));
    EXPECT_TRUE(g.stepRecords[0] == (StepRec{0, kNoPiece, 18, 17, 22, 17, 1}) && g.lastStepRecord == g.stepRecords[0]);
    EXPECT_EQ(std::tuple(g.stepCount, g.curSeat, g.selectedPiece, g.turnClock.seconds), std::tuple(1, 1, int{kNoPiece}, 1000));
    EXPECT_EQ(ui.timeRemaining + ui.status[2] + ui.status[3], "30" + Gb("当前已走：1 步") + IdleStatusText());

    Reset();  // stepping by tens jumps without arrows, sounds or pauses
    Put(g, 0, kDivision, 18, 17);
    g.clickStepCount = 10;
    ASSERT_EQ(Run(0, kNoPiece, 18, 17, 22, 17, 1), MoveResult::kDone);
    EXPECT_TRUE(g.pieces[0].x == 22 && ui.arrows.empty() && ui.events.empty());
}

TEST_F(ExecuteTest, RefusedMoveTouchesNoPieceRecordOrTurn) {
    for (auto [piece, code, x, y] : {std::tuple{0, kDivision, 18, 17}, {21, kFlag, 19, 12}, {20, kMine, 18, 12},
                                     {23, kArmyCommander, 21, 12}, {30, kPlatoon, 19, 17}, {1, kPlatoon, 20, 13}})
        Put(g, piece, code, x, y);
    g.pieces[1].alive = 0;
    const auto before = std::make_unique<GameState>(g);
    struct Case {
        const char* what;
        int from, to, x1, y1, x2, y2;
        bool told;
    };
    const Case cases[] = {
        {"no mover", kNoPiece, kNoPiece, 18, 17, 18, 16, true},    {"mover out of range", 100, kNoPiece, 18, 17, 18, 16, true},
        {"start off the board", 0, kNoPiece, 19, 19, 18, 16, true}, {"target off the board", 0, kNoPiece, 18, 17, 11, 17, true},
        {"dead mover", 1, kNoPiece, 20, 13, 20, 14, false},         {"mover not on its start", 0, kNoPiece, 18, 16, 18, 15, false},
        {"a flag does not move", 21, kNoPiece, 19, 12, 20, 12, false},
        {"a mine does not move", 20, kNoPiece, 18, 12, 18, 13, false},
        {"a headquarters piece does not move", 23, kNoPiece, 21, 12, 21, 13, false},
        {"target named but point empty", 0, 30, 18, 17, 18, 16, false},
        {"enemy on the target but none named", 0, kNoPiece, 18, 17, 19, 17, false},
        {"no path", 0, kNoPiece, 18, 17, 20, 15, false},             {"path blocked", 0, kNoPiece, 18, 17, 22, 17, false},
    };
    int clock = 2000;
    for (const Case& c : cases) {
        ui.messages.clear();
        ui.arrows.push_back({7, 7, 7});
        ui.status[3] = "notice";
        ui.timeRemaining.clear();
        ui.clock.seconds = ++clock;
        g.selectedPiece = 0;
        for (int steps : {1, 10}) {
            g.clickStepCount = steps;
            EXPECT_EQ(Run(c.from, c.to, c.x1, c.y1, c.x2, c.y2, 1), MoveResult::kRefused) << c.what;
        }
        EXPECT_EQ(ui.messages, c.told ? Strings(2, Gb("非法棋步,没有指定要移动的棋子... ")) : Strings{}) << c.what;
        // What every step does first happens all the same.
        EXPECT_TRUE(g.selectedPiece == kNoPiece && g.turnClock.seconds == clock && ui.arrows.empty()) << c.what;
        EXPECT_TRUE(ui.timeRemaining == "30" && ui.status[3] == IdleStatusText()) << c.what;
    }
    EXPECT_EQ(g.stepCount + g.curSeat, 0);
    EXPECT_EQ(g.stepRecords[0], before->stepRecords[0]);
    EXPECT_EQ(g.lastStepRecord, before->lastStepRecord);
    for (int p = 0; p < kPieceCount; ++p)
        EXPECT_TRUE(g.pieces[p].x == before->pieces[p].x && g.pieces[p].alive == before->pieces[p].alive) << p;
    EXPECT_TRUE(ui.events.empty() && ui.placed.empty());
}

TEST_F(ExecuteTest, OutcomesSoundsAndFlagsOfFallenCommanders) {
    struct Case {
        int moverCode, targetCode, outcome;
        Strings events;
        int moverAlive, targetAlive;
    };
    const Case cases[] = {
        {kDivision, kPlatoon, 1, {"sound:eat.wav"}, 1, 0},
        {kPlatoon, kDivision, -1, {"sound:beeat.wav"}, 0, 1},
        {kPlatoon, kPlatoon, 0, {"sound:Equal.wav"}, 0, 0},
        {kCommander, kMine, -1, {"sound:showflag.wav", "reveal:5"}, 0, 1},
        {kBomb, kCommander, 0, {"reveal:31", "sound:showflag.wav"}, 0, 0},
        {kCommander, kCommander, 0, {"reveal:5", "reveal:31", "sound:showflag.wav"}, 0, 0},
    };
    for (const Case& c : cases) {
        Reset();
        Put(g, 5, c.moverCode, 18, 17);
        Put(g, 31, c.targetCode, 19, 17);
        SCOPED_TRACE(std::to_string(c.moverCode) + " on " + std::to_string(c.targetCode));
        ASSERT_EQ(Run(5, 31, 18, 17, 19, 17, c.outcome), MoveResult::kDone);
        EXPECT_EQ(ui.events, c.events);
        EXPECT_EQ(std::pair(g.pieces[5].alive, g.pieces[31].alive), std::pair(c.moverAlive, c.targetAlive));
    }
    // Sounds only with sound on; any value but 0 means on.
    for (int soundOn : {0, 2}) {
        Reset();
        g.optionsRecord.soundOn = soundOn;
        Put(g, 3, kPlatoon, 20, 16);
        ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
        EXPECT_EQ(ui.sounds, soundOn ? Strings{"move.wav"} : Strings{});
    }
}

TEST_F(ExecuteTest, FlagCaptureRemovesTheWholeSeatButNotItsPartner) {
    for (auto [piece, code, x, y] : {std::tuple{2, kDivision, 27, 19}, {46, kFlag, 28, 19}, {25, kPlatoon, 23, 18},
                                     {30, kMine, 24, 17}, {27, kCompany, 23, 20}, {80, kCompany, 17, 22}})
        Put(g, piece, code, x, y);
    g.pieces[27].alive = 0;  // already gone: not listed again; 80 is of the partner seat
    ASSERT_EQ(Run(2, 46, 27, 19, 28, 19, 1), MoveResult::kDone);
    EXPECT_EQ(EliminatedRow(1), (std::vector<int>{25, 30, 46, 49}));
    for (int p = 25; p < 50; ++p) EXPECT_EQ(g.pieces[p].alive, 0) << p;
    EXPECT_EQ(g.pieces[80].alive + g.pieces[99].alive + g.pieces[2].alive, 3);
    EXPECT_TRUE(g.pieces[2].x == 28 && ui.sounds == Strings{"die.wav"});
    EXPECT_EQ(g.curSeat, 2);  // seat 1 has nothing left
}

TEST_F(ExecuteTest, TurnSkipsRemovedSeatsInEitherDirection) {
    struct Case {
        int direction;
        std::vector<int> gone;
        int next;
    };
    // Neither +1 nor -1 passes as +1; alone on the board, back to the mover.
    const Case cases[] = {{1, {}, 1}, {-1, {}, 3}, {-1, {99}, 2}, {1, {49, 74}, 3}, {0, {}, 1}, {1, {49, 74, 99}, 0}};
    for (const Case& c : cases) {
        Reset();
        for (int p : c.gone) g.pieces[p].alive = 0;
        g.turnDirection = c.direction;
        Put(g, 3, kPlatoon, 20, 16);
        ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
        EXPECT_EQ(g.curSeat, c.next) << c.direction << " with " << c.gone.size() << " gone";
    }
}

TEST_F(ExecuteTest, SurrenderAndTimeoutSteps) {
    for (auto [piece, code, x, y] : {std::tuple{60, kPlatoon, 21, 27}, {55, kCompany, 22, 26}, {52, kEngineer, 18, 23}})
        Put(g, piece, code, x, y);
    g.pieces[52].alive = 0;
    g.curSeat = 2;
    g.selectedPiece = 55;
    const StepRec last = g.lastStepRecord;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 22, 22, 22, 22, 7), MoveResult::kDone);
    EXPECT_EQ(g.stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 2}));
    EXPECT_EQ(EliminatedRow(2), (std::vector<int>{55, 60, 74}));
    EXPECT_TRUE(ui.status[3] == Gb("第 2 方，缴械投降XXX") && ui.sounds == Strings{"die.wav"});
    EXPECT_EQ(std::pair(g.curSeat, g.selectedPiece), std::pair(3, int{kNoPiece}));
    EXPECT_EQ(g.lastStepRecord, last);

    // A seat with nothing left keeps its row.
    g.pieces[99].alive = 0;
    g.eliminatedPieces[3][0] = 33;
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 22, 22, 22, 22, 1), MoveResult::kDone);
    EXPECT_TRUE(EliminatedRow(3) == std::vector<int>{33} && g.curSeat == 0);

    // A time-out passes the turn; in a LAN battle it tells the count.
    for (int lan : {1, 0}) {
        g.netConnected = lan;
        g.curSeat = 1;
        ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 2), MoveResult::kDone);
        EXPECT_EQ(ui.status[3], Gb(lan ? "第 1 方，第 2 次超时没有走棋" : "第 1 方，超时没有走棋"));
        EXPECT_EQ(g.curSeat, 0);  // seats 2 and 3 are gone
    }
    EXPECT_EQ(g.stepRecords[3], (StepRec{kNoPiece, kNoPiece, 255, 255, 255, 255, 1}));
    EXPECT_EQ(ui.sounds.back(), "nomove.wav");
    EXPECT_EQ(std::pair(g.pieces[49].alive, g.stepCount), std::pair(1, 4));
    Put(g, 7, kDivision, 22, 22);  // four 22s with one different is an ordinary move
    ASSERT_EQ(Run(7, kNoPiece, 22, 22, 22, 23, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepRecords[4], (StepRec{7, kNoPiece, 22, 22, 22, 23, 1}));
}

TEST_F(ExecuteTest, StepLimitHoldsTheCounterAndTheListIsNeverOverrun) {
    Put(g, 3, kPlatoon, 20, 16);
    g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
    g.stepCount = 509;
    ASSERT_EQ(Run(3, kNoPiece, 20, 16, 20, 15, 1), MoveResult::kDone);
    EXPECT_EQ(std::pair(g.stepCount, g.computerSeat[1]), std::pair(510, 1));
    g.curSeat = 0;
    ASSERT_EQ(Run(3, kNoPiece, 20, 15, 20, 16, 1), MoveResult::kDone);
    EXPECT_EQ(g.stepCount, 510);
    EXPECT_EQ(ui.status[2], Gb("当前已走：510 步"));
    EXPECT_EQ(g.stepRecords[510], (StepRec{3, kNoPiece, 20, 15, 20, 16, 1}));
    EXPECT_EQ(g.stepRecords[511], StepRec{});
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);

    g.stepCount = -1;  // stepping back past the first step
    ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 1), MoveResult::kDone);
    EXPECT_TRUE(g.stepCount == 0 && g.stepRecords[0] == StepRec{});
    for (int damaged : {kStepSlots, 100000}) {
        g.stepCount = damaged;
        const StepRec last = g.lastStepRecord;
        ASSERT_EQ(Run(kNoPiece, kNoPiece, 255, 255, 255, 255, 1), MoveResult::kDone);
        EXPECT_EQ(g.stepCount, 510);
        EXPECT_EQ(g.lastStepRecord, last);  // the slot after the list
    }
}

// A winning attack on a flag, else at random a winning attack or any move;
// a seat without moves gives up.
MoveCand PickMove(const GameState& g, GameRandom& rng, MoveGenWork& work) {
    const int n = GenerateMoves(work, g.pieces, g.curSeat);
    if (n == 0) return MoveCand{kNoPiece, kNoPiece, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, g.curSeat};
    int best = -1;
    for (int i = 0; i < n && (best < 0 || g.pieces[work.list[best].target].code != kFlag); ++i) {
        const MoveCand& c = work.list[i];
        if (c.target != kNoPiece && c.outcome == kMoverWins && (g.pieces[c.target].code == kFlag || rng.Next() % 2 == 0))
            best = i;
    }
    return work.list[best >= 0 ? best : rng.Next() % n];
}

MoveResult Play(GameState& g, const MoveCand& m) {
    return ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
}

void ExpectConsistent(const GameState& g) {
    std::set<std::pair<int, int>> taken;
    for (int p = 0; p < kPieceCount; ++p) {
        const PieceRec& pc = g.pieces[p];
        if (pc.alive != 1) continue;
        ASSERT_GE(PointIndexAt(*g.board, pc.x, pc.y), 0) << p;
        ASSERT_TRUE(taken.insert({pc.x, pc.y}).second) << "two pieces on one point, piece " << p;
        ASSERT_TRUE((pc.code != kFlag && pc.code != kMine) || (pc.x == pc.startX && pc.y == pc.startY)) << p;
    }
    ASSERT_TRUE(g.stepCount >= 0 && g.stepCount <= kMaxSteps && IsValidSeat(g.curSeat));
}

TEST(HeadlessBattleTest, BattlesEndWithOneResultAndReplayFromTheirRecords) {
    int decided = 0;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        auto owner = std::make_unique<GameState>(), replay = std::make_unique<GameState>();
        GameState &g = *owner, &r = *replay;
        RecordingUi ui, quiet;
        test::FakeComputer computer;
        auto work = std::make_unique<MoveGenWork>();
        GameRandom rng;
        rng.Seed(seed);
        g.ui = &ui;
        g.computer = &computer;
        g.practiceMode = g.clickStepCount = g.netMinMoveInterval = 1;
        g.optionsRecord.aiLevel = 0;
        g.turnDirection = seed % 2 ? 1 : -1;
        test::LayOutBattle(g, test::kArmy, static_cast<int>(seed % 4));
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        computer.play = [&] { EXPECT_EQ(Play(g, PickMove(g, rng, *work)), MoveResult::kDone); };
        for (int tick = 0; tick < 5000 && g.battleRunning != 0 && !::testing::Test::HasFatalFailure(); ++tick) {
            if (g.curSeat == 0 && GenerateMoves(*work, g.pieces, 0) > 0)
                EXPECT_EQ(Play(g, PickMove(g, rng, *work)), MoveResult::kDone);
            TickMainTimer(g);
            ExpectConsistent(g);
        }
        ASSERT_FALSE(::testing::Test::HasFailure());
        ASSERT_EQ(g.battleRunning, 0);
        ASSERT_EQ(ui.results.size(), 1u);
        decided += ui.results[0] != kBattleDraw;
        EXPECT_TRUE(ui.results[0] != kBattleDraw || g.stepCount == kMaxSteps);
        EXPECT_EQ(g.optionsRecord.winRecord[0][0], 1);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);

        // The step records alone rebuild the final position, stepping by
        // tens (no path animation) as replay does.
        r.ui = &quiet;
        r.turnDirection = g.turnDirection;
        test::LayOutBattle(r, test::kArmy, static_cast<int>(seed % 4));
        r.clickStepCount = 10;
        for (int k = 0; k < g.stepCount; ++k) {
            const StepRec& s = g.stepRecords[k];
            ASSERT_EQ(ExecuteMove(r, s.mover, s.target, s.fromX, s.fromY, s.toX, s.toY, s.outcome), MoveResult::kDone) << k;
        }
        for (int p = 0; p < kPieceCount; ++p) {
            EXPECT_EQ(r.pieces[p].alive, g.pieces[p].alive) << "piece " << p;
            EXPECT_TRUE(g.pieces[p].alive != 1 || (r.pieces[p].x == g.pieces[p].x && r.pieces[p].y == g.pieces[p].y)) << p;
        }
        EXPECT_EQ(r.curSeat, g.curSeat);
    }
    EXPECT_GT(decided, 0);
}

}  // namespace
}  // namespace jq
