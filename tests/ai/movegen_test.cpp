#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "ai/derivedmoves.h"
#include "ai/movegen.h"
#include "core/combat.h"
#include "position.h"

namespace jq {
namespace {

struct Dest {
    int x, y;
    friend bool operator==(const Dest&, const Dest&) = default;
    friend void PrintTo(const Dest& d, std::ostream* os) { *os << "(" << d.x << "," << d.y << ")"; }
};
struct Piece {
    int index = -1, code = 0, x = 0, y = 0;
};
// The destinations listed for `mover` on a board of the given pieces
// (mover -1: the whole list), in list order.
struct DestCase {
    const char* what;
    Piece pieces[4];
    int mover;
    std::vector<Dest> listed;
};

TEST(MoveGen, Destinations) {
    const DestCase cases[] = {
        {"a lone platoon on a road point", {{3, kPlatoon, 20, 16}}, 3, {{19, 16}, {20, 15}, {20, 17}, {21, 16}}},
        {"flags, mines, headquarters pieces and other seats stay",
         {{21, kFlag, 19, 12}, {20, kMine, 18, 12}, {23, kDivision, 21, 12}, {50, kPlatoon, 20, 13}}, -1, {}},
        {"a piece off the board", {{4, kEngineer, 40, 17}}, -1, {}},
        {"no own, partner or camped piece is a target",
         {{5, kPlatoon, 18, 16}, {50, kPlatoon, 18, 15}, {0, kDivision, 18, 17}, {30, kPlatoon, 19, 16}}, 5, {}},
        {"every railway neighbour taken: single steps",
         {{2, kDivision, 20, 17}, {30, kPlatoon, 19, 17}, {31, kPlatoon, 21, 17}, {80, kPlatoon, 20, 18}}, 2,
         {{19, 16}, {19, 17}, {20, 16}, {20, 18}, {21, 16}, {21, 17}}},
        {"... in the centre: none",
         {{2, kDivision, 20, 20}, {30, kPlatoon, 18, 20}, {31, kPlatoon, 22, 20}, {80, kPlatoon, 20, 22}}, 2, {}},
        {"an engineer stops at the first enemy, never passes its own",
         {{17, kEngineer, 19, 13}, {18, kPlatoon, 20, 13}, {30, kPlatoon, 18, 15}}, 17,
         {{18, 15}, {18, 14}, {18, 13}, {19, 12}, {19, 14}}},
    };
    auto work = std::make_unique<MoveGenWork>();
    for (const DestCase& c : cases) {
        PieceTable t{};
        for (const Piece& p : c.pieces)
            if (p.index >= 0) t[p.index] = PieceRec{p.x, p.y, p.x, p.y, p.code, 1, {}};
        if (c.what[0] == '.') t[81] = PieceRec{20, 18, 20, 18, kPlatoon, 1, {}};
        const int n = GenerateMoves(*work, t, 0);
        std::vector<Dest> got;
        for (int i = 0; i < n; ++i)
            if (c.mover < 0 || work->list[i].mover == c.mover) got.push_back({work->list[i].toX, work->list[i].toY});
        EXPECT_EQ(got, c.listed) << c.what;
    }
    // Round the corner only within its quarter of the board.
    PieceTable t{};
    t[15] = PieceRec{18, 13, 18, 13, kDivision, 1, {}};
    const int n = GenerateMoves(*work, t, 0);
    auto listed = [&](int x, int y) {
        return std::any_of(work->list, work->list + n, [&](const MoveCand& c) { return c.toX == x && c.toY == y; });
    };
    EXPECT_TRUE(listed(13, 18));
    EXPECT_FALSE(listed(27, 18));
    EXPECT_EQ(GenerateMoves(*work, t, 7), 0);
}

// The outcome is judged on the real codes, not on the table moved on.
TEST(MoveGen, OutcomesAreJudgedOnTheRealCodes) {
    PieceTable t{};
    t[16] = PieceRec{27, 19, 27, 19, kPlatoon, 1, {}};
    t[46] = PieceRec{28, 19, 28, 19, kDivision, 1, {}};
    PieceTable real = t;
    real[16].code = kCommander;
    auto work = std::make_unique<MoveGenWork>();
    const int n = GenerateMoves(*work, t, 0, real);
    const MoveCand* m = std::find_if(work->list, work->list + n, [](const MoveCand& k) { return k.target == 46; });
    ASSERT_NE(m, work->list + n);
    EXPECT_EQ(m->outcome, kMoverWins);
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
        test::PutAt(t, i, code, points[next++]);
    }
}

bool SameWords(const MoveCand& a, const MoveCand& b) {
    return std::tie(a.mover, a.target, a.fromX, a.fromY, a.toX, a.toY, a.outcome) ==
           std::tie(b.mover, b.target, b.fromX, b.fromY, b.toX, b.toY, b.outcome);
}

// Random boards against the path finder: every candidate is a real move
// with its true outcome, listed once, pieces in index order; and an
// engineer's railway moves found on their own are the generator's.
TEST(MoveGenRandomTest, CandidatesAreRealMovesAndEngineerReachAgrees) {
    std::mt19937 rng(2024);
    auto w = aitest::MakeWorkspace();
    auto work = std::make_unique<MoveGenWork>();
    auto check = std::make_unique<PathWork>(Board());
    PathBuffer path;
    std::vector<MoveCand> mine(kMoveListCapacity);
    int engineers = 0;
    for (int round = 0; round < 300; ++round) {
        RandomBoard(rng, w->game.pieces);
        const PieceTable& t = w->game.pieces;
        for (int seat = 0; seat < kSeats; ++seat) {
            const int n = GenerateMoves(*work, t, seat);
            std::set<std::tuple<int, int, int>> seen;
            int lastMover = -1;
            for (int i = 0; i < n; ++i) {
                const MoveCand& c = work->list[i];
                ASSERT_EQ(SeatOf(c.mover), seat);
                ASSERT_GE(c.mover, lastMover);
                lastMover = c.mover;
                ASSERT_EQ(GridPoint(t[c.mover].x, t[c.mover].y), GridPoint(c.fromX, c.fromY));
                ASSERT_EQ(c.target, PieceAtPoint(c.toX, c.toY, t));
                ASSERT_EQ(c.outcome, c.target == kNoPiece ? 1 : ResolveCombat(t, c.mover, c.target));
                ASSERT_GT(FindMovePath(*check, c.mover, c.fromX, c.fromY, c.toX, c.toY, path, t, nullptr), 0);
                ASSERT_TRUE(seen.insert({c.mover, c.toX, c.toY}).second);
            }
            for (int e = seat * 25; e < seat * 25 + 25; ++e) {
                const int m = EngineerRailwayMoves(*w, t, e, mine.data(), kMoveListCapacity);
                if (m < 0) continue;
                ++engineers;
                std::vector<MoveCand> block;
                for (int k = 0; k < n; ++k)
                    if (work->list[k].mover == e) block.push_back(work->list[k]);
                ASSERT_EQ(m, static_cast<int>(block.size())) << "round " << round << " piece " << e;
                for (int k = 0; k < m; ++k) ASSERT_TRUE(SameWords(mine[k], block[k])) << round << " " << e << " " << k;
            }
        }
    }
    EXPECT_GT(engineers, 200);
}

// Changes the board as the search does: a few moves of any seat with any
// result, now and then a piece taken off.
void Disturb(std::mt19937& rng, MoveGenWork& gen, PieceTable& t) {
    for (int s = 1 + static_cast<int>(rng() % 4); s > 0; --s) {
        if (rng() % 6 == 0) {
            t[rng() % kPieceCount].alive = 0;
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

TEST(DerivedMoves, DerivedListsAreTheGeneratedLists) {
    std::mt19937 rng(77);
    auto w = aitest::MakeWorkspace();
    auto gen = std::make_unique<MoveGenWork>();
    auto base = std::make_unique<SeatMoves>();
    auto board = std::make_unique<PieceTable>();
    std::vector<MoveCand> derived(kMoveListCapacity);
    for (int round = 0; round < 600; ++round) {
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


}  // namespace
}  // namespace jq
