// Whole battles on the model alone: seat 0 by a scripted player, seats 1..3
// by a computer that picks among the generated moves, driven by the main
// timer's tick, then replayed from their step records.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

#include "ai/movegen.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "support/fake_computer.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::RecordingUi;

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
