#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <thread>
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
    void Put(int index, int code, int x, int y) {
        PieceRec& p = table[index];
        p.code = code;
        p.x = x;
        p.y = y;
        p.alive = 1;
    }

    int Generate(int seat) { return GenerateMoves(*work, table, seat); }

    // Destinations listed for one mover, in list order.
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

TEST_F(MoveGenTest, LonePlatoonOnARoadPoint) {
    Put(3, kPlatoon, 20, 16);
    ASSERT_EQ(Generate(0), 4);
    EXPECT_EQ(DestinationsOf(3), (std::vector<Dest>{{19, 16}, {20, 15}, {20, 17}, {21, 16}}));
    for (int i = 0; i < 4; ++i) {
        const MoveCand& c = work->list[i];
        EXPECT_EQ(c.target, kNoPiece);
        EXPECT_EQ(c.outcome, kMoverWins);
        EXPECT_EQ(c.fromX, 20);
        EXPECT_EQ(c.fromY, 16);
    }
}

TEST_F(MoveGenTest, FlagsMinesAndHeadquartersPiecesDoNotMove) {
    Put(21, kFlag, 19, 12);
    Put(20, kMine, 18, 12);
    Put(23, kDivision, 21, 12);
    Put(50, kPlatoon, 20, 13);  // another seat's piece changes nothing
    EXPECT_EQ(Generate(0), 0);
}

TEST_F(MoveGenTest, OwnAndPartnerPiecesAndOccupiedCampsAreNoTargets) {
    Put(0, kDivision, 18, 17);
    Put(50, kPlatoon, 19, 17);  // partner on the front row
    Put(5, kPlatoon, 18, 16);   // own piece below
    Put(30, kPlatoon, 19, 16);  // enemy in a camp
    Generate(0);
    EXPECT_EQ(Find(0, 19, 17), nullptr);
    EXPECT_EQ(Find(0, 18, 16), nullptr);
    EXPECT_EQ(Find(5, 19, 16), nullptr);
    EXPECT_NE(Find(0, 17, 18), nullptr);  // the corner link to seat 3 is free
}

TEST_F(MoveGenTest, RailPieceWithEveryRailNeighbourTakenStepsOnly) {
    Put(2, kDivision, 20, 17);
    Put(30, kPlatoon, 19, 17);
    Put(31, kPlatoon, 21, 17);
    Put(80, kPlatoon, 20, 18);
    Generate(0);
    EXPECT_EQ(DestinationsOf(2),
              (std::vector<Dest>{{19, 16}, {19, 17}, {20, 16}, {20, 18}, {21, 16}, {21, 17}}));
}

TEST_F(MoveGenTest, CentrePieceWithItsRailNeighboursTakenHasNoMove) {
    Put(2, kDivision, 20, 20);
    Put(30, kPlatoon, 18, 20);
    Put(31, kPlatoon, 22, 20);
    Put(80, kPlatoon, 20, 22);
    Put(81, kPlatoon, 20, 18);
    EXPECT_EQ(Generate(0), 0);
}

TEST_F(MoveGenTest, CornerLineOfferedOnlyWithinTheQuadrant) {
    Put(15, kDivision, 18, 13);
    Generate(0);
    EXPECT_NE(Find(15, 13, 18), nullptr);
    EXPECT_EQ(Find(15, 27, 18), nullptr);
    // Railway destinations come in ascending point order.
    int last = -1;
    for (int i = 0; i < work->count; ++i) {
        const int p = PointIndexAt(Board(), work->list[i].toX, work->list[i].toY);
        EXPECT_GT(p, last);
        last = p;
    }
}

TEST_F(MoveGenTest, EngineerReachesTheWholeEmptyRailway) {
    Put(17, kEngineer, 18, 13);
    int32_t marks[kPointCount];
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 17, marks), 72);
    Generate(0);
    int rail = 0;
    for (int i = 0; i < work->count; ++i) {
        const int p = PointIndexAt(Board(), work->list[i].toX, work->list[i].toY);
        if (Board().boardPoints[p].kind == kRailway) ++rail;
    }
    EXPECT_EQ(rail, 72);
    EXPECT_NE(Find(17, 18, 12), nullptr);
    EXPECT_NE(Find(17, 19, 14), nullptr);
}

TEST_F(MoveGenTest, EngineerStopsAtTheFirstEnemyAndNeverPassesOwnPieces) {
    Put(17, kEngineer, 19, 13);
    Put(18, kPlatoon, 20, 13);  // own piece on the other rail neighbour
    Put(30, kPlatoon, 18, 15);  // enemy up the left column
    int32_t marks[kPointCount];
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 17, marks), 2);
    EXPECT_EQ(marks[PointIndexAt(Board(), 18, 13)], PointIndexAt(Board(), 19, 13));
    EXPECT_EQ(marks[PointIndexAt(Board(), 18, 15)], PointIndexAt(Board(), 18, 14));
    EXPECT_EQ(marks[PointIndexAt(Board(), 20, 13)], kNoPiece);
    EXPECT_EQ(marks[PointIndexAt(Board(), 18, 16)], kNoPiece);

    Generate(0);
    EXPECT_EQ(DestinationsOf(17), (std::vector<Dest>{{18, 15}, {18, 14}, {18, 13}, {19, 12}, {19, 14}}));
    EXPECT_EQ(Find(17, 18, 15)->target, 30);
    EXPECT_EQ(Find(17, 18, 15)->outcome, kMoverRemoved);
}

TEST_F(MoveGenTest, EngineerSearchLeavesOtherPiecesAndOddPointsAlone) {
    Put(3, kPlatoon, 18, 13);
    int32_t marks[kPointCount];
    for (auto& m : marks) m = 5;
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 3, marks), 0);
    EXPECT_EQ(marks[0], 5);  // not an engineer: untouched

    Put(17, kEngineer, 20, 16);  // a road point
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 17, marks), 0);
    for (int m : marks) EXPECT_EQ(m, kNoPiece);
    Put(17, kEngineer, 40, 40);  // no point at all
    EXPECT_EQ(FindEngineerRailTargets(*work, table, 17, marks), 0);
}

TEST_F(MoveGenTest, CombatCodes) {
    struct Case {
        int mover, target, outcome;
    };
    const Case cases[] = {
        {kBomb, kDivision, kBothRemoved},  {kBomb, kFlag, kMoverWins},      {kCommander, kBomb, kBothRemoved},
        {kEngineer, kFlag, kMoverWins},    {kCommander, kMine, kMoverRemoved}, {kEngineer, kMine, kMoverWins},
        {kBrigade, kBrigade, kBothRemoved}, {kBrigade, kRegiment, kMoverWins}, {kBrigade, kDivision, kMoverRemoved},
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
}

TEST_F(MoveGenTest, OutcomeIsJudgedOnTheRealCodes) {
    Put(16, kPlatoon, 27, 19);
    Put(46, kDivision, 28, 19);
    PieceTable real = table;
    real[16].code = kCommander;
    GenerateMoves(*work, table, 0, real);
    EXPECT_EQ(Find(16, 28, 19)->outcome, kMoverWins);
}

TEST_F(MoveGenTest, ScoreWordsKeepWhatTheyHeld) {
    work->list[0].score = 7.0f;
    work->list[0].terms[3] = 2.0f;
    Put(3, kPlatoon, 20, 16);
    Generate(0);
    EXPECT_EQ(work->list[0].score, 7.0f);
    EXPECT_EQ(work->list[0].terms[3], 2.0f);
    EXPECT_EQ(work->move.fromX, 20);  // the last move tried
}

TEST_F(MoveGenTest, PiecesOffTheBoardAreSkipped) {
    Put(3, kPlatoon, 0, 0);
    Put(4, kEngineer, 40, 17);
    Put(5, kPlatoon, 20, 16);
    EXPECT_EQ(Generate(0), 4);
    EXPECT_EQ(Generate(7), 0);
}

TEST(QuadrantTest, LinesBelongToTheLowerLeftSide) {
    EXPECT_EQ(IsSameQuadrant(20, 20, 20, 20), 1);
    EXPECT_EQ(IsSameQuadrant(20, 21, 21, 21), 0);
    EXPECT_EQ(IsSameQuadrant(21, 20, 28, 12), 1);
    EXPECT_EQ(IsSameQuadrant(12, 28, 20, 21), 1);
    EXPECT_EQ(IsSameQuadrant(20, 12, 21, 12), 0);
}

// The list holds every move a seat can ever be offered.
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
            for (int ny = y - 1; ny <= y + 1; ++ny)
                if ((nx != x || ny != y) && PointIndexAt(b, nx, ny) >= 0) ++window;
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
                const bool corner = (std::abs(x - 20) == std::abs(bq.gridY - 20) || std::abs(y - 20) == std::abs(bq.gridX - 20)) &&
                                    IsSameQuadrant(x, y, bq.gridX, bq.gridY) == 1;
                other += line || corner;
            }
        }
        maxOther = std::max(maxOther, other);
        maxEngineer = std::max(maxEngineer, engineer);
    }
    EXPECT_LE(3 * maxEngineer + 18 * maxOther, kMoveListCapacity);
}

// Random positions: every candidate is a real move with its true outcome.
TEST(MoveGenRandomTest, CandidatesAreRealMovesWithTrueOutcomes) {
    static constexpr int kArmy[25] = {1, 2, 2, 2, 3, 3, 4, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};
    auto work = std::make_unique<MoveGenWork>();
    auto check = std::make_unique<PathWork>(Board());
    PathBuffer path;
    GameRandom rng;
    rng.Seed(12345);
    for (int round = 0; round < 200; ++round) {
        PieceTable t{};
        std::vector<int> free;
        for (int p = 0; p < kPointCount; ++p) free.push_back(p);
        for (int i = 0; i < kPieceCount; ++i) {
            if (rng.Next() % 3 == 0 || free.empty()) continue;
            const int k = rng.Next() % static_cast<int>(free.size());
            const BoardPoint& bp = Board().boardPoints[free[k]];
            free.erase(free.begin() + k);
            t[i].x = bp.gridX;
            t[i].y = bp.gridY;
            t[i].code = kArmy[i % 25];
            t[i].alive = 1;
        }
        for (int seat = 0; seat < 4; ++seat) {
            const int n = GenerateMoves(*work, t, seat);
            ASSERT_LE(n, kMoveListCapacity);
            std::set<std::tuple<int, int, int>> seen;
            int lastMover = -1;
            for (int i = 0; i < n; ++i) {
                const MoveCand& c = work->list[i];
                ASSERT_EQ(SeatOf(c.mover), seat);
                ASSERT_GE(c.mover, lastMover);
                lastMover = c.mover;
                ASSERT_EQ(t[c.mover].alive, 1);
                ASSERT_EQ(t[c.mover].x, c.fromX);
                ASSERT_EQ(c.target, PieceAtPoint(c.toX, c.toY, t));
                ASSERT_EQ(c.outcome, c.target == kNoPiece ? 1 : ResolveCombat(t, c.mover, c.target));
                ASSERT_GT(FindMovePath(*check, c.mover, c.fromX, c.fromY, c.toX, c.toY, path, t, nullptr), 0);
                ASSERT_TRUE(seen.insert({c.mover, c.toX, c.toY}).second);
            }
        }
    }
}

// Each caller owns its work areas, so two threads can generate at once.
TEST(MoveGenThreadTest, TwoThreadsGenerateIndependently) {
    PieceTable t{};
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 25; ++k) {
            const BoardPoint& bp = Board().boardPoints[s * 30 + k];
            t[s * 25 + k] = PieceRec{bp.gridX, bp.gridY, bp.gridX, bp.gridY, k % 2 ? kEngineer : kPlatoon, 1, {}};
        }
    auto serial = std::make_unique<MoveGenWork>();
    int want[4];
    for (int s = 0; s < 4; ++s) want[s] = GenerateMoves(*serial, t, s);
    auto run = [&](int seat, int* out) {
        auto w = std::make_unique<MoveGenWork>();
        for (int i = 0; i < 200; ++i) out[i] = GenerateMoves(*w, t, seat);
    };
    std::vector<int> a(200), b(200);
    std::thread ta(run, 0, a.data());
    std::thread tb(run, 2, b.data());
    ta.join();
    tb.join();
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(a[i], want[0]);
        EXPECT_EQ(b[i], want[2]);
    }
}

}  // namespace
}  // namespace jq
