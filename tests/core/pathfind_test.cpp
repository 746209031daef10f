#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/board.h"
#include "core/gameui.h"
#include "core/pathfind.h"
#include "core/text.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::RecordingUi;

// A board with pieces put where a case needs them; the mover is always
// piece 0 (seat 0) unless a case says otherwise.
struct Scene {
    PieceTable table{};
    int used[kSeats] = {};

    int Add(int seat, int code, GridPoint at) {
        const int index = seat * kPiecesPerSeat + used[seat]++;
        test::Put(table, index, code, at.x, at.y);
        return index;
    }
};

struct PathResult {
    int count = -1;
    std::vector<GridPoint> points;
    std::vector<int> dirs;
    friend bool operator==(const PathResult&, const PathResult&) = default;
};

PathResult Collect(int count, const PathBuffer& out) {
    PathResult r;
    r.count = count;
    for (int k = 0; k < count; ++k) r.points.push_back({out.x[k], out.y[k]});
    for (int k = 0; k + 1 < count; ++k) r.dirs.push_back(out.dirs[k]);
    return r;
}

// Asks for the move with occupancy from the table and from a filled grid,
// each with fresh work areas, and expects both answers to agree.
PathResult Move(const Scene& s, int piece, GridPoint to) {
    const PieceRec& p = s.table[piece];
    PathWork w0(Board()), w1(Board());
    PathBuffer b0, b1;
    PieceGrid grid;
    grid.Fill(s.table);
    const int n0 = FindMovePath(w0, piece, p.x, p.y, to.x, to.y, b0, s.table, nullptr);
    const int n1 = FindMovePath(w1, piece, p.x, p.y, to.x, to.y, b1, s.table, &grid);
    const PathResult r0 = Collect(n0, b0), r1 = Collect(n1, b1);
    EXPECT_EQ(r0, r1) << "grid and table disagree";
    EXPECT_EQ(b0.length, n0);
    return r0;
}

std::string Show(const std::vector<GridPoint>& pts) {
    std::string s;
    for (const GridPoint& g : pts) s += "(" + std::to_string(g.x) + "," + std::to_string(g.y) + ")";
    return s;
}

bool IsRailLink(GridPoint a, GridPoint b) {
    const int p = PointIndexAt(Board(), a.x, a.y);
    if (p < 0) return false;
    for (const GridPoint& l : Board().railLinks[p])
        if (l == b) return true;
    return false;
}

struct MoveRow {
    const char* what;
    int code;
    GridPoint from, to;
    std::vector<GridPoint> enemies;  // seat 1 pieces
    int expected;                    // point count, or -1
    std::vector<GridPoint> path;     // checked when given
    std::vector<int> dirs;           // checked when given
};

TEST(MovePath, StepsRunsAndEngineerDetours) {
    const std::vector<GridPoint> ringPath = {{18, 13}, {19, 13}, {20, 13}, {21, 13}, {22, 13}, {22, 14}, {22, 15},
                                             {22, 16}, {22, 17}, {21, 17}, {20, 17}, {19, 17}, {18, 17}};
    const MoveRow rows[] = {
        {"orthogonal step into a headquarters", 8, {19, 13}, {19, 12}, {}, 2, {{19, 13}, {19, 12}}, {3}},
        {"diagonal step into a headquarters", 12, {18, 13}, {19, 12}, {}, -1, {}, {}},
        {"diagonal step out of a camp", 8, {19, 16}, {18, 17}, {}, 2, {{19, 16}, {18, 17}}, {6}},
        {"diagonal step into an empty camp", 8, {18, 17}, {19, 16}, {}, 2, {}, {2}},
        {"diagonal step into a held camp", 8, {18, 17}, {19, 16}, {{19, 16}}, -1, {}, {}},
        {"orthogonal step into a held camp", 12, {20, 16}, {20, 15}, {{20, 15}}, -1, {}, {}},
        {"attack one step away", 8, {18, 17}, {19, 17}, {{19, 17}}, 2, {}, {1}},
        {"front-corner joint, seat 0 to 1", 8, {22, 17}, {23, 18}, {}, 2, {}, {8}},
        {"front-corner joint, seat 1 to 2", 3, {23, 22}, {22, 23}, {}, 2, {}, {6}},
        {"front-corner joint, seat 2 to 3", 12, {18, 23}, {17, 22}, {}, 2, {}, {4}},
        {"diagonal road step", 8, {19, 17}, {18, 16}, {}, -1, {}, {}},
        {"diagonal between road points", 12, {20, 16}, {19, 15}, {}, -1, {}, {}},
        {"step onto a cell without a point", 8, {19, 17}, {19, 18}, {}, -1, {}, {}},
        {"step off the grid", 8, {20, 12}, {20, 11}, {}, -1, {}, {}},
        {"onto the start itself", 8, {20, 16}, {20, 16}, {}, -1, {}, {}},
        {"straight column", 8, {18, 13}, {18, 17}, {}, 5, {{18, 13}, {18, 14}, {18, 15}, {18, 16}, {18, 17}},
         {7, 7, 7, 7}},
        {"straight column, blocked", 8, {18, 13}, {18, 17}, {{18, 15}}, -1, {}, {}},
        {"engineer round the ring", 12, {18, 13}, {18, 17}, {{18, 15}}, 13, ringPath, {}},
        {"straight over the centre's gaps", 8, {18, 17}, {18, 23}, {}, 5,
         {{18, 17}, {18, 18}, {18, 20}, {18, 22}, {18, 23}}, {7, 7, 7, 7}},
        {"straight along the front row", 6, {22, 17}, {18, 17}, {}, 5, {}, {5, 5, 5, 5}},
        {"attack at the end of a run", 8, {18, 13}, {18, 17}, {{18, 17}}, 5, {}, {}},
        {"no run along column 19", 8, {19, 17}, {19, 23}, {}, -1, {}, {}},
        // Two paths of 7 points; links at equal distance keep their stored
        // order, so the one by column 18 is found first.
        {"engineer through the centre", 12, {19, 17}, {19, 23}, {}, 7,
         {{19, 17}, {18, 17}, {18, 18}, {18, 20}, {18, 22}, {18, 23}, {19, 23}}, {5, 7, 7, 7, 7, 1}},
        {"engineer through the centre, column 18 held", 12, {19, 17}, {19, 23}, {{18, 20}}, 7,
         {{19, 17}, {20, 17}, {20, 18}, {20, 20}, {20, 22}, {20, 23}, {19, 23}}, {1, 7, 7, 7, 7, 5}},
        {"corner line", 8, {22, 14}, {25, 18}, {}, 7,
         {{22, 14}, {22, 15}, {22, 16}, {22, 17}, {23, 18}, {24, 18}, {25, 18}}, {7, 7, 7, 8, 1, 1}},
        {"corner line backwards", 8, {25, 18}, {22, 14}, {}, 7, {}, {5, 5, 4, 3, 3, 3}},
        {"corner line, blocked at the joint", 8, {22, 14}, {25, 18}, {{23, 18}}, -1, {}, {}},
        {"road point start, engineer", 12, {18, 12}, {18, 14}, {}, -1, {}, {}},
        {"out of a camp only by a step", 12, {19, 16}, {19, 13}, {}, -1, {}, {}},
        {"no run into a camp", 8, {20, 17}, {20, 15}, {}, -1, {}, {}},
        {"no run into a headquarters", 12, {19, 17}, {19, 12}, {}, -1, {}, {}},
        {"engineer round the corner", 12, {19, 17}, {18, 16}, {}, 3, {{19, 17}, {18, 17}, {18, 16}}, {5, 3}},
        {"engineer, corner held", 12, {19, 17}, {18, 16}, {{18, 17}}, 15, {}, {}},
        {"engineer, no way left", 12, {19, 17}, {18, 16}, {{18, 17}, {20, 17}}, -1, {}, {}},
        {"engineer into a held camp", 12, {18, 13}, {19, 14}, {{19, 14}}, -1, {}, {}},
        {"any other long move", 4, {18, 13}, {22, 17}, {}, -1, {}, {}},
    };
    for (const MoveRow& r : rows) {
        SCOPED_TRACE(r.what);
        Scene s;
        const int mover = s.Add(0, r.code, r.from);
        for (GridPoint e : r.enemies) s.Add(1, kBrigade, e);
        const PathResult got = Move(s, mover, r.to);
        EXPECT_EQ(got.count, r.expected) << Show(got.points);
        if (!r.path.empty()) EXPECT_EQ(Show(got.points), Show(r.path));
        if (!r.dirs.empty()) EXPECT_EQ(got.dirs, r.dirs);
    }
}

TEST(MovePath, TargetsOfTheOwnTeamAreRefusedAndPointsBetweenMustBeEmpty) {
    struct Row {
        int moverSeat, targetSeat;
        GridPoint from, to;
        int expected;
    };
    const Row rows[] = {
        {0, 0, {18, 17}, {19, 17}, -1}, {0, 2, {18, 17}, {19, 17}, -1}, {0, 0, {18, 13}, {18, 17}, -1},
        {0, 2, {22, 14}, {25, 18}, -1}, {0, 1, {18, 13}, {18, 17}, 5},  {0, 3, {18, 17}, {19, 17}, 2},
        {1, 3, {23, 18}, {24, 18}, -1}, {1, 2, {23, 18}, {24, 18}, 2},
    };
    for (const Row& r : rows)
        for (int code : {kBomb, kCommander, kEngineer}) {
            Scene s;
            const int mover = s.Add(r.moverSeat, code, r.from);
            s.Add(r.targetSeat, kPlatoon, r.to);
            EXPECT_EQ(Move(s, mover, r.to).count, r.expected) << r.moverSeat << "->" << r.targetSeat << " code " << code;
        }
    for (int seat = 0; seat < kSeats; ++seat) {
        Scene s;
        const int mover = s.Add(0, kRegiment, {22, 13});
        s.Add(seat, kMine, {22, 15});
        EXPECT_EQ(Move(s, mover, {22, 17}).count, -1) << seat;
        EXPECT_EQ(Move(s, mover, {22, 14}).count, 2) << seat;
    }
}

TEST(MovePath, EngineerPathsOfThirtyPointsOrMoreAreRefused) {
    // With the centre held and seat 0's front row cut, an engineer on
    // (22,17) must go round seats 1 and 2 to reach seat 3's front column.
    Scene s;
    s.Add(0, kEngineer, {22, 17});
    for (int x : {18, 20, 22})
        for (int y : {18, 20, 22}) s.Add(1, kMine, {x, y});
    for (GridPoint b : {GridPoint{21, 17}, GridPoint{22, 16}, GridPoint{23, 20}, GridPoint{20, 23}}) s.Add(1, kMine, b);
    const PathResult longest = Move(s, 0, {17, 21});
    ASSERT_EQ(longest.count, 29) << Show(longest.points);
    EXPECT_EQ(Show({longest.points[13], longest.points[26]}), "(23,22)(18,23)");
    EXPECT_EQ(Move(s, 0, {17, 20}).count, -1);
    EXPECT_EQ(Move(s, 0, {17, 18}).count, -1);
    for (int freed : {25, 28, 31}) s.table[freed].alive = 0;  // the centre's lower row
    EXPECT_GT(Move(s, 0, {17, 20}).count, 0);
}

TEST(MovePath, DamagedInputIsRefusedSafely) {
    const int far[] = {INT_MIN, INT_MIN + 1, -20, 0, 40, INT_MAX};
    for (int code : {kRegiment, kEngineer}) {
        Scene s;
        const int mover = s.Add(0, code, {18, 13});
        PathWork work(Board());
        PathBuffer out;
        for (int bad : {kNoPiece, kPieceCount}) EXPECT_EQ(FindMovePath(work, bad, 18, 13, 18, 17, out, s.table, nullptr), -1);
        EXPECT_EQ(out.length, -1);
        for (int a : far)
            for (int b : far) {
                EXPECT_EQ(FindMovePath(work, mover, a, b, 18, 17, out, s.table, nullptr), -1) << a << "," << b;
                EXPECT_EQ(FindMovePath(work, mover, 18, 13, a, b, out, s.table, nullptr), -1) << a << "," << b;
                EXPECT_EQ(FindMovePath(work, mover, a, b, b, a, out, s.table, nullptr), -1) << a << "," << b;
                EXPECT_EQ(CheckStepBlocked(work, a, b, 18, 17, out, 0, s.table), 1) << a << "," << b;
            }
    }
}

TEST(MovePath, CellsWithoutAPointNotifyOnlyWhenAsked) {
    Scene s;
    const int mover = s.Add(0, kEngineer, {19, 19});  // a cell of the centre without a point
    RecordingUi ui;
    PathWork work(Board());
    work.notify = ui.Sink();
    PathWork quiet(Board());  // the computer player's work areas: no notices
    PathBuffer out;
    for (PathWork* w : {&work, &quiet}) {
        EXPECT_EQ(FindMovePath(*w, mover, 19, 19, 18, 22, out, s.table, nullptr), -1);
        EXPECT_EQ(CheckStepBlocked(*w, 19, 18, 18, 17, out, 0, s.table), 1);
        EXPECT_EQ(CheckStepBlocked(*w, 18, 17, 19, 18, out, 0, s.table), 1);
    }
    const std::string badEnd = Gb("不可思意的起点或终点！") + "          ";
    EXPECT_EQ(ui.messages, (std::vector<std::string>{Gb("2.工兵起始位置不可思议！"), badEnd, badEnd}));
    EXPECT_FALSE(ui.cancelAsked);
    // Diagonal steps between board points ask nothing.
    EXPECT_EQ(CheckStepBlocked(work, 18, 13, 19, 14, out, 0, s.table), 0);
    EXPECT_EQ(CheckStepBlocked(work, 20, 14, 19, 13, out, 0, s.table), 1);
    EXPECT_EQ(ui.messages.size(), 3u);
}

TEST(StepBlocked, OnlyEngineerMovesAreBlocked) {
    struct Row {
        const char* what;
        GridPoint from, to;
        std::vector<GridPoint> pieces;
        int expected;
    };
    const Row rows[] = {
        {"straight run", {18, 13}, {18, 17}, {}, 0},         {"straight over the centre", {20, 17}, {20, 23}, {}, 0},
        {"corner line", {22, 14}, {25, 18}, {}, 0},          {"front-corner joint", {22, 17}, {23, 18}, {}, 0},
        {"orthogonal step", {19, 13}, {19, 12}, {}, 0},      {"diagonal from a camp", {19, 16}, {18, 17}, {}, 0},
        {"diagonal into a camp", {18, 15}, {19, 14}, {}, 0}, {"diagonal road step", {19, 17}, {18, 16}, {}, 1},
        {"long move off the rails", {19, 17}, {19, 23}, {}, 1},
        {"blocked straight run", {18, 13}, {18, 17}, {{18, 15}}, 1},
        {"blocked corner line", {22, 14}, {25, 18}, {{22, 16}}, 1},
        {"the target's owner does not matter", {18, 13}, {18, 17}, {{18, 17}}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Scene s;
        for (GridPoint p : r.pieces) s.Add(0, kBrigade, p);
        PathWork work(Board());
        PathBuffer out;
        out.length = 77;
        EXPECT_EQ(CheckStepBlocked(work, r.from.x, r.from.y, r.to.x, r.to.y, out, 77, s.table), r.expected);
        EXPECT_EQ(out.length, 77);
    }
    // The run found stays in the buffer.
    Scene s;
    PathWork work(Board());
    PathBuffer out;
    ASSERT_EQ(CheckStepBlocked(work, 22, 14, 25, 18, out, 0, s.table), 0);
    EXPECT_EQ(Show({{out.x[4], out.y[4]}, {out.x[6], out.y[6]}}), "(23,18)(25,18)");
}

TEST(EngineerSearch, SortsItsOwnCopyOfTheLinksAndTiesKeepTheLastOrder) {
    BoardTables fresh;
    BuildBoardTables(fresh);
    Scene s;
    const int mover = s.Add(0, kEngineer, {19, 17});
    const std::vector<GridPoint> byColumn18 = {{19, 17}, {18, 17}, {18, 18}, {18, 20}, {18, 22}, {18, 23}, {19, 23}};
    const std::vector<GridPoint> byColumn20 = {{19, 17}, {20, 17}, {20, 18}, {20, 20}, {20, 22}, {20, 23}, {19, 23}};
    PathWork work(Board()), other(Board());
    PathBuffer out;
    ASSERT_EQ(FindMovePath(work, mover, 19, 17, 19, 23, out, s.table, nullptr), 7);
    EXPECT_EQ(Show(Collect(7, out).points), Show(byColumn18));

    // A search towards seat 1 puts (20,17) before (18,17) at (19,17); the
    // next search finds both at equal distance and keeps that order.
    ASSERT_GT(FindMovePath(work, mover, 19, 17, 25, 22, out, s.table, nullptr), 0);
    EXPECT_EQ(work.railLinks[124][0], (GridPoint{22, 20}));
    EXPECT_EQ(std::memcmp(Board().railLinks, fresh.railLinks, sizeof fresh.railLinks), 0);
    EXPECT_EQ(other.railLinks[124][0], (GridPoint{18, 20}));
    ASSERT_EQ(FindMovePath(work, mover, 19, 17, 19, 23, out, s.table, nullptr), 7);
    EXPECT_EQ(Show(Collect(7, out).points), Show(byColumn20));
    // Strictly nearer links still come first whatever the order before.
    EXPECT_EQ(work.railLinks[0][0], (GridPoint{18, 18}));
}

// ---------------------------------------------------------------------------
// Random mid-game boards.

// Live pieces on distinct points; dead ones keep a point, shared or not.
Scene RandomScene(std::mt19937& rng) {
    std::vector<int> points(kPointCount), indexes(kPieceCount);
    for (int i = 0; i < kPointCount; ++i) points[i] = i;
    for (int i = 0; i < kPieceCount; ++i) indexes[i] = i;
    std::shuffle(points.begin(), points.end(), rng);
    std::shuffle(indexes.begin(), indexes.end(), rng);
    const int live = std::uniform_int_distribution<int>(10, 100)(rng);
    Scene s;
    for (int k = 0; k < kPieceCount; ++k) {
        const GridPoint at = test::PointAt(points[k < live || k % 3 ? k : 0]);
        test::Put(s.table, indexes[k], 1 + static_cast<int>(rng() % 12), at.x, at.y);
        s.table[indexes[k]].alive = k < live ? 1 : 0;
    }
    return s;
}

// A found path runs from the piece to the target; beyond a single step it
// follows the railway over empty points, and only an engineer turns off
// the straight runs and corner lines.
void ExpectSoundPath(const Scene& s, int piece, GridPoint to, int n, const PathBuffer& out) {
    const PieceRec& p = s.table[piece];
    ASSERT_TRUE(n >= 2 && n <= 29) << n;
    EXPECT_EQ(Show({{out.x[0], out.y[0]}, {out.x[n - 1], out.y[n - 1]}}), Show({{p.x, p.y}, to}));
    if (n == 2 && std::abs(p.x - to.x) <= 1 && std::abs(p.y - to.y) <= 1) return;
    for (int k = 0; k + 1 < n; ++k) {
        EXPECT_TRUE(IsRailLink({out.x[k], out.y[k]}, {out.x[k + 1], out.y[k + 1]}));
        EXPECT_EQ(out.dirs[k], StepDirection(out.x[k + 1] - out.x[k], out.y[k + 1] - out.y[k]));
        if (k > 0) EXPECT_EQ(PieceAtPoint(out.x[k], out.y[k], s.table), kNoPiece);
    }
    PathWork w(Board());
    PathBuffer scratch;
    if (p.code != kEngineer) EXPECT_EQ(CheckStepBlocked(w, p.x, p.y, to.x, to.y, scratch, 0, s.table), 0);
}

TEST(RandomBoards, GridAndTableGiveTheSameAnswers) {
    std::mt19937 rng(20240611);
    int legal = 0, refused = 0;
    for (int board = 0; board < 40; ++board) {
        const Scene s = RandomScene(rng);
        PieceGrid grid;
        grid.Fill(s.table);
        // One long-lived work area per mode, as a thread keeps its own: the
        // order the searches leave in the links must evolve alike.
        PathWork w0(Board()), w1(Board());
        PathBuffer b0, b1;
        for (int piece = 0; piece < kPieceCount; ++piece) {
            const PieceRec& p = s.table[piece];
            if (p.alive != 1) continue;
            for (int t = 0; t < kPointCount; ++t) {
                const GridPoint to{Board().boardPoints[t].gridX, Board().boardPoints[t].gridY};
                const int n0 = FindMovePath(w0, piece, p.x, p.y, to.x, to.y, b0, s.table, nullptr);
                const int n1 = FindMovePath(w1, piece, p.x, p.y, to.x, to.y, b1, s.table, &grid);
                ASSERT_EQ(Collect(n0, b0), Collect(n1, b1))
                    << "board " << board << " piece " << piece << " to " << Show({to});
                if (n0 > 0) {
                    ++legal;
                    ExpectSoundPath(s, piece, to, n0, b0);
                    if (HasFatalFailure()) return;
                } else {
                    ++refused;
                }
            }
        }
    }
    EXPECT_GT(legal, 1000);
    EXPECT_GT(refused, 1000);
}

// Several threads, each with its own work areas, give the answers a single
// thread gives.
TEST(RandomBoards, SeparateWorkAreasRunSideBySide) {
    std::mt19937 rng(7);
    const Scene s = RandomScene(rng);
    auto run = [&s](std::vector<int>& results) {
        PathWork work(Board());
        PathBuffer out;
        for (int piece = 0; piece < kPieceCount; ++piece) {
            const PieceRec& p = s.table[piece];
            if (p.alive != 1) continue;
            for (int t = 0; t < kPointCount; ++t) {
                const BoardPoint& bp = Board().boardPoints[t];
                const int n = FindMovePath(work, piece, p.x, p.y, bp.gridX, bp.gridY, out, s.table, nullptr);
                results.push_back(n);
                for (int k = 0; k < n; ++k) results.push_back(out.x[k] * 100 + out.y[k]);
            }
        }
    };
    std::vector<int> alone;
    run(alone);
    std::vector<int> side[4];
    std::vector<std::thread> threads;
    for (auto& r : side) threads.emplace_back(run, std::ref(r));
    for (auto& th : threads) th.join();
    for (const auto& r : side) EXPECT_EQ(r, alone);
}

}  // namespace
}  // namespace jq
