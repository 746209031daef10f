// Whole battles played on the model alone: seat 0 by a scripted player,
// seats 1..3 by a computer that picks among the generated moves, all driven
// by the main timer's tick.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

#include "ai/movegen.h"
#include "support/fake_computer.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "play/execute.h"
#include "play/turnloop.h"

namespace jq {
namespace {

using test::RecordingUi;

// Picks a move of `seat`: a winning attack when one exists (the flag
// first), otherwise a random one. Returns false when the seat has none.
bool PickMove(const GameState& g, int seat, GameRandom& rng, MoveGenWork& work, MoveCand& out) {
    const int n = GenerateMoves(work, g.pieces, seat);
    if (n == 0) return false;
    int best = -1;
    for (int i = 0; i < n; ++i) {
        const MoveCand& c = work.list[i];
        if (c.target == kNoPiece || c.outcome != kMoverWins) continue;
        if (g.pieces[c.target].code == kFlag) {
            best = i;
            break;
        }
        if (best < 0 && rng.Next() % 2 == 0) best = i;
    }
    out = work.list[best >= 0 ? best : rng.Next() % n];
    return true;
}

void ExpectConsistent(const GameState& g) {
    std::set<std::pair<int, int>> taken;
    for (int p = 0; p < kPieceCount; ++p) {
        const PieceRec& pc = g.pieces[p];
        if (pc.alive != 1) continue;
        ASSERT_GE(PointIndexAt(*g.board, pc.x, pc.y), 0) << p;
        ASSERT_TRUE(taken.insert({pc.x, pc.y}).second) << "two pieces on one point, piece " << p;
        if (pc.code == kFlag || pc.code == kMine) {
            ASSERT_EQ(pc.x, pc.startX) << p;
            ASSERT_EQ(pc.y, pc.startY) << p;
        }
    }
    ASSERT_GE(g.stepCount, 0);
    ASSERT_LE(g.stepCount, kMaxSteps);
    ASSERT_TRUE(IsValidSeat(g.curSeat));
    for (int s = 0; s < kSeats; ++s)
        for (int k = 1; k < 30 && g.eliminatedPieces[s][k] != kNoPiece; ++k)
            ASSERT_GT(g.eliminatedPieces[s][k], g.eliminatedPieces[s][k - 1]);
}

void PlayBattle(uint32_t seed, GameState& g, RecordingUi& ui) {
    test::FakeComputer computer;
    auto work = std::make_unique<MoveGenWork>();
    GameRandom rng;
    rng.Seed(seed);
    g.ui = &ui;
    g.computer = &computer;
    g.practiceMode = 1;
    g.clickStepCount = 1;
    g.netMinMoveInterval = 1;
    g.optionsRecord.aiLevel = 0;
    g.turnDirection = seed % 2 ? 1 : -1;
    test::LayOutBattle(g, test::kArmy, static_cast<int>(seed % 4));
    g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;

    computer.play = [&] {
        MoveCand m;
        if (!PickMove(g, g.curSeat, rng, *work, m)) {
            m = MoveCand{};
            m.fromX = m.fromY = m.toX = m.toY = kSurrenderCoord;
            m.outcome = g.curSeat;
        }
        EXPECT_EQ(ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome), MoveResult::kDone);
    };

    for (int tick = 0; tick < 5000 && g.battleRunning != 0; ++tick) {
        MoveCand m;
        if (g.curSeat == 0 && PickMove(g, 0, rng, *work, m)) {
            EXPECT_EQ(ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome), MoveResult::kDone);
        }
        TickMainTimer(g);
        ExpectConsistent(g);
        if (::testing::Test::HasFatalFailure()) break;
    }
}

TEST(HeadlessBattleTest, BattlesEndWithOneResultAndReplayFromTheirRecords) {
    int decided = 0;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        auto owner = std::make_unique<GameState>();
        GameState& g = *owner;
        RecordingUi ui;
        PlayBattle(seed, g, ui);
        ASSERT_FALSE(::testing::Test::HasFailure()) << "seed " << seed;
        ASSERT_EQ(g.battleRunning, 0) << "seed " << seed;
        ASSERT_EQ(ui.results.size(), 1u) << "seed " << seed;
        decided += ui.results[0] != kBattleDraw;
        EXPECT_TRUE(ui.results[0] != kBattleDraw || g.stepCount == kMaxSteps) << "seed " << seed;
        EXPECT_EQ(g.optionsRecord.winRecord[0][0], 1);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(g.computerSeat[s], 0);

        // The step records alone rebuild the final position, stepping by
        // tens (no path animation) as replay does.
        auto replay = std::make_unique<GameState>();
        GameState& r = *replay;
        RecordingUi quiet;
        r.ui = &quiet;
        r.turnDirection = g.turnDirection;
        test::LayOutBattle(r, test::kArmy, static_cast<int>(seed % 4));
        r.pieces = g.deployedPieces;
        r.clickStepCount = 10;
        for (int k = 0; k < g.stepCount; ++k) {
            const StepRec& s = g.stepRecords[k];
            ASSERT_EQ(ExecuteMove(r, s.mover, s.target, s.fromX, s.fromY, s.toX, s.toY, s.outcome), MoveResult::kDone)
                << "seed " << seed << " step " << k;
        }
        for (int p = 0; p < kPieceCount; ++p) {
            EXPECT_EQ(r.pieces[p].alive, g.pieces[p].alive) << "seed " << seed << " piece " << p;
            if (g.pieces[p].alive == 1) {
                EXPECT_EQ(r.pieces[p].x, g.pieces[p].x);
                EXPECT_EQ(r.pieces[p].y, g.pieces[p].y);
            }
        }
        EXPECT_EQ(r.curSeat, g.curSeat);
    }
    EXPECT_GT(decided, 0);
}

}  // namespace
}  // namespace jq
