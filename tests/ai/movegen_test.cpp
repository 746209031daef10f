#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "ai/movegen.h"
#include "core/combat.h"
#include "core/rng.h"

namespace jq {
namespace {

struct Dest {
    int x, y;
    friend bool operator==(const Dest&, const Dest&) = default;
};

class MoveGenTest : public ::testing::Test {
protected:
    void Put(int index, int code, int x, int y) { table[index] = PieceRec{x, y, x, y, code, 1, {}}; }
    int Generate(int seat) { return GenerateMoves(*work, table, seat); }
    std::vector<Dest> DestinationsOf(int mover) const {
        std::vector<Dest> d;
        for (int i = 0; i < work->count; ++i)
            if (work->list[i].mover == mover) d.push_back({work->list[i].toX, work->list[i].toY});
        return d;
    }
    const MoveCand* Find(int mover, int x, int y) const {
        for (int i = 0; i < work->count; ++i) {
            const MoveCand& c = work->list[i];
            if (c.mover == mover && c.toX == x && c.toY == y) return &c;
        }
        return nullptr;
    }

    PieceTable table{};
    std::unique_ptr<MoveGenWork> work = std::make_unique<MoveGenWork>();
};

TEST_F(MoveGenTest, StepsInListOrderAndWhatNeverMoves) {
    Put(3, kPlatoon, 20, 16);
    work->list[0].score = 7.0f;  // score words keep what they held
    ASSERT_EQ(Generate(0), 4);
    EXPECT_EQ(DestinationsOf(3), (std::vector<Dest>{{19, 16}, {20, 15}, {20, 17}, {21, 16}}));
    EXPECT_EQ(work->list[0].score, 7.0f);
    // Flags, mines and pieces on a headquarters stay; other seats' pieces
    // and pieces off the board add nothing.
    table = PieceTable{};
    Put(21, kFlag, 19, 12);
    Put(20, kMine, 18, 12);
    Put(23, kDivision, 21, 12);
    Put(50, kPlatoon, 20, 13);
    Put(4, kEngineer, 40, 17);
    EXPECT_EQ(Generate(0), 0);
    EXPECT_EQ(Generate(7), 0);
}

TEST_F(MoveGenTest, OwnAndPartnerPiecesAndOccupiedCampsAreNoTargets) {
    Put(0, kDivision, 18, 17);
    Put(50, kPlatoon, 19, 17);  // partner
    Put(5, kPlatoon, 18, 16);   // own
    Put(30, kPlatoon, 19, 16);  // enemy in a camp
    Generate(0);
    EXPECT_EQ(Find(0, 19, 17), nullptr);
    EXPECT_EQ(Find(0, 18, 16), nullptr);
    EXPECT_EQ(Find(5, 19, 16), nullptr);
    EXPECT_NE(Find(0, 17, 18), nullptr);  // the corner link to seat 3
}

TEST_F(MoveGenTest, RailwayRuns) {
    Put(15, kDivision, 18, 13);
    Generate(0);
    EXPECT_NE(Find(15, 13, 18), nullptr);  // round the corner, in its quarter
    EXPECT_EQ(Find(15, 27, 18), nullptr);
    // Every railway neighbour taken: single steps only.
    table = PieceTable{};
    Put(2, kDivision, 20, 17);
    Put(30, kPlatoon, 19, 17);
    Put(31, kPlatoon, 21, 17);
    Put(80, kPlatoon, 20, 18);
    Generate(0);
    EXPECT_EQ(DestinationsOf(2), (std::vector<Dest>{{19, 16}, {19, 17}, {20, 16}, {20, 18}, {21, 16}, {21, 17}}));
}

TEST_F(MoveGenTest, EngineerStopsAtTheFirstEnemyAndNeverPassesOwnPieces) {
    Put(17, kEngineer, 18, 13);
    int32_t marks[kPointCount];
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 17, marks), 72);  // the whole empty railway

    table = PieceTable{};
    Put(17, kEngineer, 19, 13);
    Put(18, kPlatoon, 20, 13);  // own piece on the other rail neighbour
    Put(30, kPlatoon, 18, 15);  // enemy up the left column
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 17, marks), 2);
    EXPECT_EQ(marks[PointIndexAt(Board(), 18, 15)], PointIndexAt(Board(), 18, 14));
    EXPECT_EQ(marks[PointIndexAt(Board(), 18, 16)], kNoPiece);
    Generate(0);
    EXPECT_EQ(DestinationsOf(17), (std::vector<Dest>{{18, 15}, {18, 14}, {18, 13}, {19, 12}, {19, 14}}));
    EXPECT_EQ(Find(17, 18, 15)->outcome, kMoverRemoved);
}

TEST_F(MoveGenTest, OutcomesOfEachPairing) {
    struct Case {
        int mover, target, outcome;
    };
    const Case cases[] = {
        {kBomb, kDivision, kBothRemoved},     {kBomb, kFlag, kMoverWins},         {kCommander, kBomb, kBothRemoved},
        {kEngineer, kFlag, kMoverWins},       {kCommander, kMine, kMoverRemoved}, {kEngineer, kMine, kMoverWins},
        {kBrigade, kBrigade, kBothRemoved},   {kBrigade, kRegiment, kMoverWins},  {kBrigade, kDivision, kMoverRemoved},
    };
    for (const Case& c : cases) {
        table = PieceTable{};
        Put(16, c.mover, 27, 19);
        Put(46, c.target, 28, 19);  // seat 1's headquarters
        Generate(0);
        const MoveCand* m = Find(16, 28, 19);
        ASSERT_NE(m, nullptr) << c.mover << " " << c.target;
        EXPECT_EQ(m->target, 46);
        EXPECT_EQ(m->outcome, c.outcome) << c.mover << " " << c.target;
    }
    // Judged on the real codes, not the table moved on.
    Put(16, kPlatoon, 27, 19);
    Put(46, kDivision, 28, 19);
    PieceTable real = table;
    real[16].code = kCommander;
    GenerateMoves(*work, table, 0, real);
    EXPECT_EQ(Find(16, 28, 19)->outcome, kMoverWins);
}

// The list holds every move a seat can ever be offered: count the largest
// offer of an engineer and of any other piece from the board itself.
TEST(MoveListTest, CapacityCoversTheLargestOffer) {
    const BoardTables& b = Board();
    int maxOther = 0;
    int maxEngineer = 0;
    for (int p = 0; p < kPointCount; ++p) {
        const BoardPoint& bp = b.boardPoints[p];
        if (bp.kind == kHeadquarters) continue;
        const int x = bp.gridX;
        const int y = bp.gridY;
        int window = 0;
        for (int nx = x - 1; nx <= x + 1; ++nx)
            for (int ny = y - 1; ny <= y + 1; ++ny) window += (nx != x || ny != y) && PointIndexAt(b, nx, ny) >= 0;
        int other = window;
        int engineer = window;
        if (bp.kind == kRailway) {
            other = engineer = 0;
            for (int q = 0; q < kPointCount; ++q) {
                if (q == p) continue;
                const BoardPoint& bq = b.boardPoints[q];
                if (bq.kind != kRailway) {
                    const bool near = q / 30 == p / 30 && std::abs(bq.gridX - x) <= 1 && std::abs(bq.gridY - y) <= 1;
                    other += near;
                    engineer += near;
                    continue;
                }
                ++engineer;
                const bool line = bq.gridX == x || bq.gridY == y;
                const bool corner =
                    (std::abs(x - 20) == std::abs(bq.gridY - 20) || std::abs(y - 20) == std::abs(bq.gridX - 20)) &&
                    IsSameQuadrant(x, y, bq.gridX, bq.gridY) == 1;
                other += line || corner;
            }
        }
        maxOther = std::max(maxOther, other);
        maxEngineer = std::max(maxEngineer, engineer);
    }
    EXPECT_LE(3 * maxEngineer + 18 * maxOther, kMoveListCapacity);
}

// Random positions against the path finder: every candidate is a real move
// with its true outcome, listed once, pieces in index order.
TEST(MoveGenRandomTest, CandidatesAreRealMovesWithTrueOutcomes) {
    static constexpr int kArmy[25] = {1, 2, 2, 2, 3, 3, 4, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};
    auto work = std::make_unique<MoveGenWork>();
    auto check = std::make_unique<PathWork>(Board());
    PathBuffer path;
    GameRandom rng;
    rng.Seed(12345);
    for (int round = 0; round < 100; ++round) {
        PieceTable t{};
        std::vector<int> free;
        for (int p = 0; p < kPointCount; ++p) free.push_back(p);
        for (int i = 0; i < kPieceCount; ++i) {
            if (rng.Next() % 3 == 0) continue;
            const int k = rng.Next() % static_cast<int>(free.size());
            const BoardPoint& bp = Board().boardPoints[free[k]];
            free.erase(free.begin() + k);
            t[i] = PieceRec{bp.gridX, bp.gridY, bp.gridX, bp.gridY, kArmy[i % 25], 1, {}};
        }
        for (int seat = 0; seat < 4; ++seat) {
            const int n = GenerateMoves(*work, t, seat);
            std::set<std::tuple<int, int, int>> seen;
            int lastMover = -1;
            for (int i = 0; i < n; ++i) {
                const MoveCand& c = work->list[i];
                ASSERT_EQ(SeatOf(c.mover), seat);
                ASSERT_GE(c.mover, lastMover);
                lastMover = c.mover;
                ASSERT_EQ(t[c.mover].x, c.fromX);
                ASSERT_EQ(c.target, PieceAtPoint(c.toX, c.toY, t));
                ASSERT_EQ(c.outcome, c.target == kNoPiece ? 1 : ResolveCombat(t, c.mover, c.target));
                ASSERT_GT(FindMovePath(*check, c.mover, c.fromX, c.fromY, c.toX, c.toY, path, t, nullptr), 0);
                ASSERT_TRUE(seen.insert({c.mover, c.toX, c.toY}).second);
            }
        }
    }
}

}  // namespace
}  // namespace jq
