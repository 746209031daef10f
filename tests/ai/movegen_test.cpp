#include <cstdlib>
#include <set>

#include "position.h"

namespace jq::aitest {
namespace {

struct Piece {
    int index = -1, code = 0, x = 0, y = 0;
};
// The destinations listed for `mover` on a board of the given pieces (mover -1: the whole list), in list
// order.
struct DestCase {
    const char* what;
    Piece pieces[4];
    int mover;
    std::vector<GridPoint> listed;
};

TEST(MoveGen, Destinations) {
    const DestCase cases[] = {
        {"a lone platoon on a road point", {{3, kPlatoon, 20, 16}}, 3, {{19, 16}, {20, 15}, {20, 17}, {21, 16}}},
        {"flags, mines, headquarters pieces and other seats stay",
         {{21, kFlag, 19, 12}, {20, kMine, 18, 12}, {23, kDivision, 21, 12}, {50, kPlatoon, 20, 13}}, -1, {}},
        {"no own, partner or camped piece is a target",
         {{5, kPlatoon, 18, 16}, {50, kPlatoon, 18, 15}, {0, kDivision, 18, 17}, {30, kPlatoon, 19, 16}}, 5, {}},
        {"every railway neighbour taken: single steps",
         {{2, kDivision, 20, 17}, {30, kPlatoon, 19, 17}, {31, kPlatoon, 21, 17}, {80, kPlatoon, 20, 18}}, 2,
         {{19, 16}, {19, 17}, {20, 16}, {20, 18}, {21, 16}, {21, 17}}},
        {"an engineer stops at the first enemy, never passes its own",
         {{17, kEngineer, 19, 13}, {18, kPlatoon, 20, 13}, {30, kPlatoon, 18, 15}}, 17,
         {{18, 15}, {18, 14}, {18, 13}, {19, 12}, {19, 14}}},
    };
    auto work = std::make_unique<MoveGenWork>();
    auto listed = [&](const PieceTable& t, int mover) {
        const int n = GenerateMoves(*work, t, 0);
        std::vector<GridPoint> got;
        for (const MoveCand& m : std::span(work->list, n))
            if (mover < 0 || m.mover == mover) got.push_back({m.toX, m.toY});
        return got;
    };
    for (const DestCase& c : cases) {
        PieceTable t{};
        for (const Piece& p : c.pieces)
            if (p.index >= 0) t[p.index] = PieceRec{p.x, p.y, p.x, p.y, p.code, 1, {}};
        EXPECT_EQ(listed(t, c.mover), c.listed) << c.what;
    }
    // An invalid seat lists nothing; the outcome is judged on the real codes, not on the table moved on.
    PieceTable t{};
    t[15] = PieceRec{18, 13, 18, 13, kDivision, 1, {}};
    EXPECT_EQ(GenerateMoves(*work, t, 7), 0);
    t[16] = PieceRec{27, 19, 27, 19, kPlatoon, 1, {}};
    t[46] = PieceRec{28, 19, 28, 19, kDivision, 1, {}};
    PieceTable real = t;
    real[16].code = kCommander;
    const int n = GenerateMoves(*work, t, 0, real);
    const auto m = std::find_if(work->list, work->list + n, [](const MoveCand& k) { return k.target == 46; });
    ASSERT_NE(m, work->list + n);
    EXPECT_EQ(m->outcome, kMoverWins);
}

// The list holds every move a seat can ever be offered: count the largest offer of an engineer and of any
// other piece from the board itself.
TEST(MoveListTest, CapacityCoversTheLargestOffer) {
    const BoardTables& b = Board();
    int maxOther = 0, maxEngineer = 0;
    for (int p = 0; p < kPointCount; ++p) {
        const BoardPoint& bp = b.boardPoints[p];
        if (bp.kind == kHeadquarters) continue;
        const int x = bp.gridX, y = bp.gridY;
        int other = 0, engineer = 0;
        for (int q = 0; q < kPointCount; ++q) {
            const BoardPoint& bq = b.boardPoints[q];
            const bool near = q != p && std::abs(bq.gridX - x) <= 1 && std::abs(bq.gridY - y) <= 1;
            if (bp.kind != kRailway || bq.kind != kRailway) {
                const bool counts = near && (bp.kind != kRailway || q / 30 == p / 30);
                other += counts;
                engineer += counts;
                continue;
            }
            if (q == p) continue;
            ++engineer;
            other += bq.gridX == x || bq.gridY == y ||
                     ((std::abs(x - 20) == std::abs(bq.gridY - 20) || std::abs(y - 20) == std::abs(bq.gridX - 20)) &&
                      IsSameQuadrant(x, y, bq.gridX, bq.gridY) == 1);
        }
        maxOther = std::max(maxOther, other);
        maxEngineer = std::max(maxEngineer, engineer);
    }
    EXPECT_LE(3 * maxEngineer + 18 * maxOther, kMoveListCapacity);
}

// The words of the moves of `mover` (-1: every move) that make a move, in list order.
auto Words(const MoveCand* list, int n, int mover = -1) {
    std::vector<std::tuple<int, int, int, int, int, int, int>> words;
    for (const MoveCand& m : std::span(list, n))
        if (mover < 0 || m.mover == mover) words.emplace_back(m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
    return words;
}

// Changes the board as the search does: a few moves of any seat with any result, now and then a piece taken
// off.
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
        const int r = m.target >= 0 ? static_cast<int>(rng() % 3) : 0;
        if (m.target >= 0 && r != 0) t[m.target].alive = 0;
        if (m.target >= 0 && r != 1) t[m.mover].alive = 0;
    }
}

// Random boards against the path finder: every candidate is a real move with its true outcome, listed once,
// pieces in index order; an engineer's railway moves found on their own are the generator's; and the lists
// derived from a seat's kept list after a few moves are the lists generated afresh.
TEST(MoveGenRandomTest, GeneratedListsAgreeWithThePathFinderAndTheDerivedLists) {
    std::mt19937 rng(2024);
    auto w = MakeWorkspace();
    auto work = std::make_unique<MoveGenWork>();
    auto check = std::make_unique<PathWork>(Board());
    auto base = std::make_unique<SeatMoves>();
    auto board = std::make_unique<PieceTable>();
    PathBuffer path;
    std::vector<MoveCand> mine(kMoveListCapacity);
    int engineers = 0;
    for (int round = 0; round < 300; ++round) {
        RandomBoard(rng, w->game.pieces);
        const PieceTable& t = w->game.pieces;
        for (int seat = 0; seat < kSeats; ++seat) {
            const int n = GenerateMoves(*work, t, seat);
            std::set<std::tuple<int, int, int>> seen;
            for (int i = 0; i < n; ++i) {
                const MoveCand& c = work->list[i];
                ASSERT_EQ(SeatOf(c.mover), seat);
                ASSERT_GE(c.mover, i > 0 ? work->list[i - 1].mover : 0);
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
                ASSERT_EQ(Words(mine.data(), m), Words(work->list, n, e)) << "round " << round << " piece " << e;
            }
        }
        const int seat = round % kSeats;
        BuildSeatMoves(*w, t, seat, *base);
        ASSERT_TRUE(base->valid);
        ASSERT_EQ(DeriveSeatMoves(*w, *base, t, mine.data()), base->count) << "the same board derives the base list";
        for (int variant = 0; variant < 6; ++variant) {
            *board = t;
            Disturb(rng, *work, *board);
            const int n = DeriveSeatMoves(*w, *base, *board, mine.data());
            ASSERT_EQ(Words(mine.data(), n), Words(work->list, GenerateMoves(*work, *board, seat, t))) << round;
        }
    }
    EXPECT_GT(engineers, 200);
}

}  // namespace
}  // namespace jq::aitest
