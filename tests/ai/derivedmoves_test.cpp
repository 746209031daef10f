#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "ai/derivedmoves.h"
#include "ai_support.h"

namespace jq {
namespace {

// Random boards: about 60 live pieces of every code, engineers plentiful,
// on distinct points.
void RandomBoard(std::mt19937& rng, PieceTable& t) {
    aitest::ClearTable(t);
    std::vector<int> points(kPointCount);
    for (int p = 0; p < kPointCount; ++p) points[p] = p;
    std::shuffle(points.begin(), points.end(), rng);
    int next = 0;
    for (int i = 0; i < kPieceCount; ++i) {
        if (rng() % 10 < 4) continue;
        const int code = rng() % 3 == 0 ? kEngineer : 1 + static_cast<int>(rng() % 12);
        aitest::PutAt(t, i, code, points[next++]);
    }
}

bool SameWords(const MoveCand& a, const MoveCand& b) {
    return a.mover == b.mover && a.target == b.target && a.fromX == b.fromX && a.fromY == b.fromY &&
           a.toX == b.toX && a.toY == b.toY && a.outcome == b.outcome;
}

// Changes the board as play does: a few moves of any seat with any result,
// now and then a piece taken off or put on another empty point.
void Disturb(std::mt19937& rng, MoveGenWork& gen, PieceTable& t) {
    const int steps = 1 + static_cast<int>(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        if (rng() % 6 == 0) {
            const int i = static_cast<int>(rng() % kPieceCount);
            if (rng() % 2 == 0) {
                t[i].alive = 0;
            } else {
                const int p = static_cast<int>(rng() % kPointCount);
                const BoardPoint& bp = Board().boardPoints[p];
                if (PieceAtPoint(bp.gridX, bp.gridY, t) == kNoPiece) {
                    t[i].alive = 1;
                    t[i].x = bp.gridX;
                    t[i].y = bp.gridY;
                }
            }
            continue;
        }
        const int n = GenerateMoves(gen, t, static_cast<int>(rng() % 4));
        if (n == 0) continue;
        const MoveCand m = gen.list[rng() % n];
        t[m.mover].x = m.toX;
        t[m.mover].y = m.toY;
        if (m.target >= 0) {
            const int r = static_cast<int>(rng() % 3);
            if (r != 0) t[m.target].alive = 0;
            if (r != 1) t[m.mover].alive = 0;
        }
    }
}

TEST(DerivedMoves, EngineerReachListsWhatTheGeneratorLists) {
    std::mt19937 rng(2024);
    auto w = aitest::MakeWorkspace();
    auto gen = std::make_unique<MoveGenWork>();
    std::vector<MoveCand> mine(kMoveListCapacity);
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        RandomBoard(rng, w->game.pieces);
        const PieceTable& t = w->game.pieces;
        for (int seat = 0; seat < kSeats; ++seat) {
            const int n = GenerateMoves(*gen, t, seat);
            for (int i = seat * 25; i < seat * 25 + 25; ++i) {
                const int m = EngineerRailwayMoves(*w, t, i, mine.data(), kMoveListCapacity);
                if (m < 0) continue;
                ++checked;
                std::vector<MoveCand> block;
                for (int k = 0; k < n; ++k)
                    if (gen->list[k].mover == i) block.push_back(gen->list[k]);
                ASSERT_EQ(m, static_cast<int>(block.size())) << "round " << round << " piece " << i;
                for (int k = 0; k < m; ++k) ASSERT_TRUE(SameWords(mine[k], block[k])) << round << " " << i << " " << k;
            }
        }
    }
    EXPECT_GT(checked, 300);
}

TEST(DerivedMoves, DerivedListsAreTheGeneratedLists) {
    std::mt19937 rng(77);
    auto w = aitest::MakeWorkspace();
    auto gen = std::make_unique<MoveGenWork>();
    auto base = std::make_unique<SeatMoves>();
    auto board = std::make_unique<PieceTable>();
    std::vector<MoveCand> derived(kMoveListCapacity);
    for (int round = 0; round < 1500; ++round) {
        RandomBoard(rng, w->game.pieces);
        const int seat = static_cast<int>(rng() % kSeats);
        BuildSeatMoves(*w, w->game.pieces, seat, *base);
        ASSERT_TRUE(base->valid);
        for (int variant = 0; variant < 3; ++variant) {
            *board = w->game.pieces;
            Disturb(rng, *gen, *board);
            const int n = DeriveSeatMoves(*w, *base, *board, derived.data());
            const int expected = GenerateMoves(*gen, *board, seat, w->game.pieces);
            ASSERT_EQ(n, expected) << "round " << round;
            for (int k = 0; k < n; ++k) ASSERT_TRUE(SameWords(derived[k], gen->list[k])) << round << " " << k;
        }
        // The same board derives the base list itself.
        ASSERT_EQ(DeriveSeatMoves(*w, *base, w->game.pieces, derived.data()), base->count);
    }
}

TEST(DerivedMoves, ListsNotInGeneratorOrderAreNotUsedAsABase) {
    auto w = aitest::MakeWorkspace();
    aitest::PutAt(w->game.pieces, 5, kPlatoon, 6);
    aitest::PutAt(w->game.pieces, 6, kPlatoon, 10);
    MoveCand list[2] = {aitest::Move(6, -2, 21, 15, 21, 14), aitest::Move(5, -2, 20, 16, 20, 17)};
    auto base = std::make_unique<SeatMoves>();
    KeepSeatMoves(*w, w->game.pieces, 0, list, 2, *base);
    EXPECT_FALSE(base->valid);
    // Derivation from it falls back to generating.
    std::vector<MoveCand> out(kMoveListCapacity);
    auto gen = std::make_unique<MoveGenWork>();
    EXPECT_EQ(DeriveSeatMoves(*w, *base, w->game.pieces, out.data()), GenerateMoves(*gen, w->game.pieces, 0));
}

}  // namespace
}  // namespace jq
