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
        PieceRec& p = table[index];
        p.x = at.x;
        p.y = at.y;
        p.code = code;
        p.alive = 1;
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

// ---------------------------------------------------------------------------

TEST(PathDirection, CodesBySignOfTheStep) {
    struct Row {
        int dx, dy, code;
    };
    const Row rows[] = {
        {0, 0, 0}, {1, 0, 1},  {1, -1, 2},  {0, -1, 3}, {-1, -1, 4},
        {-1, 0, 5}, {-1, 1, 6}, {0, 1, 7},  {1, 1, 8},
        // A railway step over the centre's gap counts like a single step.
        {0, 2, 7}, {-2, 0, 5},
    };
    for (const Row& r : rows) EXPECT_EQ(StepDirection(r.dx, r.dy), r.code) << r.dx << "," << r.dy;
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

TEST(MovePath, SingleStepsOfEveryKind) {
    const MoveRow rows[] = {
        {"orthogonal step into a headquarters", 8, {19, 13}, {19, 12}, {}, 2, {{19, 13}, {19, 12}}, {3}},
        {"diagonal step into a headquarters", 8, {18, 13}, {19, 12}, {}, -1, {}, {}},
        {"engineer's diagonal step into a headquarters", 12, {18, 13}, {19, 12}, {}, -1, {}, {}},
        {"diagonal step out of a camp", 8, {19, 16}, {18, 17}, {}, 2, {{19, 16}, {18, 17}}, {6}},
        {"diagonal step into an empty camp", 8, {18, 17}, {19, 16}, {}, 2, {}, {2}},
        {"diagonal step into a held camp", 8, {18, 17}, {19, 16}, {{19, 16}}, -1, {}, {}},
        {"orthogonal step into a held camp", 12, {20, 16}, {20, 15}, {{20, 15}}, -1, {}, {}},
        {"orthogonal step into an empty camp", 9, {20, 16}, {20, 15}, {}, 2, {}, {3}},
        {"attack one step away", 8, {18, 17}, {19, 17}, {{19, 17}}, 2, {}, {1}},
        {"front-corner joint, seat 0 to 1", 8, {22, 17}, {23, 18}, {}, 2, {}, {8}},
        {"front-corner joint, bomb", 3, {22, 17}, {23, 18}, {}, 2, {}, {}},
        {"front-corner joint, engineer", 12, {22, 17}, {23, 18}, {}, 2, {}, {}},
        {"front-corner joint, seat 3 to 0", 8, {17, 18}, {18, 17}, {}, 2, {}, {2}},
        {"front-corner joint, seat 1 to 2", 8, {23, 22}, {22, 23}, {}, 2, {}, {6}},
        {"front-corner joint, seat 2 to 3", 8, {18, 23}, {17, 22}, {}, 2, {}, {4}},
        {"diagonal road step", 8, {19, 17}, {18, 16}, {}, -1, {}, {}},
        {"diagonal between road points", 12, {20, 16}, {19, 15}, {}, -1, {}, {}},
        {"step into the centre", 8, {18, 17}, {18, 18}, {}, 2, {}, {}},
        {"step onto a cell without a point", 8, {19, 17}, {19, 18}, {}, -1, {}, {}},
        {"step off the grid", 8, {20, 12}, {20, 11}, {}, -1, {}, {}},
        {"onto the start itself", 8, {20, 16}, {20, 16}, {}, -1, {}, {}},
    };
    for (const MoveRow& r : rows) {
        SCOPED_TRACE(r.what);
        Scene s;
        const int mover = s.Add(0, r.code, r.from);
        for (GridPoint e : r.enemies) s.Add(1, kBrigade, e);
        const PathResult got = Move(s, mover, r.to);
        EXPECT_EQ(got.count, r.expected);
        if (!r.path.empty()) {
            EXPECT_EQ(Show(got.points), Show(r.path));
        }
        if (!r.dirs.empty()) {
            EXPECT_EQ(got.dirs, r.dirs);
        }
    }
}

TEST(MovePath, RailwayRunsAndEngineerDetours) {
    const std::vector<GridPoint> ringPath = {
        {18, 13}, {19, 13}, {20, 13}, {21, 13}, {22, 13}, {22, 14}, {22, 15},
        {22, 16}, {22, 17}, {21, 17}, {20, 17}, {19, 17}, {18, 17}};
    const MoveRow rows[] = {
        {"straight column", 8, {18, 13}, {18, 17}, {}, 5,
         {{18, 13}, {18, 14}, {18, 15}, {18, 16}, {18, 17}}, {7, 7, 7, 7}},
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
        {"road point start", 8, {18, 12}, {18, 14}, {}, -1, {}, {}},
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
        if (!r.path.empty()) {
            EXPECT_EQ(Show(got.points), Show(r.path));
        }
        if (!r.dirs.empty()) {
            EXPECT_EQ(got.dirs, r.dirs);
        }
    }
}

TEST(MovePath, EngineerDetourWithCornerHeldGoesRoundTheRing) {
    Scene s;
    const int mover = s.Add(0, kEngineer, {19, 17});
    s.Add(1, kBrigade, {18, 17});
    const PathResult got = Move(s, mover, {18, 16});
    ASSERT_EQ(got.count, 15);
    for (GridPoint via : {GridPoint{20, 17}, GridPoint{22, 17}, GridPoint{22, 13}, GridPoint{18, 13}})
        EXPECT_NE(std::find(got.points.begin(), got.points.end(), via), got.points.end()) << Show(got.points);
    for (size_t k = 0; k + 1 < got.points.size(); ++k) EXPECT_TRUE(IsRailLink(got.points[k], got.points[k + 1]));
}

TEST(MovePath, TargetsOfTheOwnTeamAreRefused) {
    struct Row {
        const char* what;
        int targetSeat;
        GridPoint from, to;
        int expected;
    };
    const Row rows[] = {
        {"own piece one step away", 0, {18, 17}, {19, 17}, -1},
        {"partner one step away", 2, {18, 17}, {19, 17}, -1},
        {"own piece at the end of a run", 0, {18, 13}, {18, 17}, -1},
        {"partner at the end of a corner line", 2, {22, 14}, {25, 18}, -1},
        {"enemy of seat 1 at the end of a run", 1, {18, 13}, {18, 17}, 5},
        {"enemy of seat 3 one step away", 3, {18, 17}, {19, 17}, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        for (int code : {kBomb, kCommander, kEngineer}) {
            Scene s;
            const int mover = s.Add(0, code, r.from);
            s.Add(r.targetSeat, kPlatoon, r.to);
            EXPECT_EQ(Move(s, mover, r.to).count, r.expected) << "code " << code;
        }
    }
    // The same holds for a mover of another seat: seat 1's partner is seat 3.
    Scene s;
    const int mover = s.Add(1, kEngineer, {23, 18});
    s.Add(3, kPlatoon, {24, 18});
    EXPECT_EQ(Move(s, mover, {24, 18}).count, -1);
    Scene t;
    const int mover2 = t.Add(1, kEngineer, {23, 18});
    t.Add(2, kPlatoon, {24, 18});
    EXPECT_EQ(Move(t, mover2, {24, 18}).count, 2);
}

TEST(MovePath, PointsBetweenMayHoldNoPieceOfAnySeat) {
    for (int seat = 0; seat < kSeats; ++seat) {
        SCOPED_TRACE(seat);
        Scene s;
        const int mover = s.Add(0, kRegiment, {22, 13});
        s.Add(seat, kMine, {22, 15});
        EXPECT_EQ(Move(s, mover, {22, 17}).count, -1);
        EXPECT_EQ(Move(s, mover, {22, 14}).count, 2);
    }
}

// With the centre held and seat 0's front row cut, an engineer on (22,17)
// must go round seats 1 and 2 the long way to reach seat 3's front column.
Scene LongDetourScene() {
    Scene s;
    s.Add(0, kEngineer, {22, 17});
    for (int x : {18, 20, 22})
        for (int y : {18, 20, 22}) s.Add(1, kMine, {x, y});
    for (GridPoint b : {GridPoint{21, 17}, GridPoint{22, 16}, GridPoint{23, 20}, GridPoint{20, 23}})
        s.Add(1, kMine, b);
    return s;
}

TEST(MovePath, EngineerPathsOfThirtyPointsOrMoreAreRefused) {
    const Scene s = LongDetourScene();
    const PathResult longest = Move(s, 0, {17, 21});
    ASSERT_EQ(longest.count, 29) << Show(longest.points);
    EXPECT_EQ(Show({longest.points[13]}), "(23,22)");
    EXPECT_EQ(Show({longest.points[26]}), "(18,23)");
    EXPECT_EQ(Move(s, 0, {17, 20}).count, -1);
    EXPECT_EQ(Move(s, 0, {17, 18}).count, -1);
    // Freed centre: the same target is near.
    Scene open = s;
    // Freeing the centre's lower row, (18,18), (20,18) and (22,18), opens
    // the short way.
    open.table[25].alive = 0;
    open.table[28].alive = 0;
    open.table[31].alive = 0;
    EXPECT_GT(Move(open, 0, {17, 20}).count, 0);
}

TEST(MovePath, RefusesAMoverThatIsNoPiece) {
    Scene s;
    s.Add(0, kEngineer, {18, 13});
    PathWork work(Board());
    PathBuffer out;
    EXPECT_EQ(FindMovePath(work, kNoPiece, 18, 13, 18, 17, out, s.table, nullptr), -1);
    EXPECT_EQ(FindMovePath(work, kPieceCount, 18, 13, 18, 17, out, s.table, nullptr), -1);
    EXPECT_EQ(out.length, -1);
}

TEST(MovePath, DamagedCoordinatesAreRefusedSafely) {
    // Coordinates of a damaged record, far off the grid, are no move at all.
    const int far[] = {INT_MIN, INT_MIN + 1, -20, 0, 40, INT_MAX};
    for (int code : {kRegiment, kEngineer}) {
        Scene s;
        const int mover = s.Add(0, code, {18, 13});
        PathWork work(Board());
        PathBuffer out;
        for (int a : far) {
            for (int b : far) {
                EXPECT_EQ(FindMovePath(work, mover, a, b, 18, 17, out, s.table, nullptr), -1) << a << "," << b;
                EXPECT_EQ(FindMovePath(work, mover, 18, 13, a, b, out, s.table, nullptr), -1) << a << "," << b;
                EXPECT_EQ(FindMovePath(work, mover, a, b, b, a, out, s.table, nullptr), -1) << a << "," << b;
                EXPECT_EQ(CheckStepBlocked(work, a, b, 18, 17, out, 0, s.table), 1) << a << "," << b;
            }
        }
    }
}

TEST(MovePath, EngineerOffTheBoardNotifiesOnlyWhenAsked) {
    Scene s;
    const int mover = s.Add(0, kEngineer, {19, 19});  // a cell of the centre without a point
    RecordingUi ui;
    PathWork work(Board());
    work.notify = ui.Sink();
    PathBuffer out;
    EXPECT_EQ(FindMovePath(work, mover, 19, 19, 18, 22, out, s.table, nullptr), -1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], Gb("2.工兵起始位置不可思议！"));
    EXPECT_FALSE(ui.cancelAsked);

    PathWork quiet(Board());  // the computer player's work areas: no notices
    EXPECT_EQ(FindMovePath(quiet, mover, 19, 19, 18, 22, out, s.table, nullptr), -1);
}

TEST(StepBlocked, OnlyEngineerMovesAreBlocked) {
    struct Row {
        const char* what;
        GridPoint from, to;
        std::vector<GridPoint> pieces;
        int expected;
    };
    const Row rows[] = {
        {"straight run", {18, 13}, {18, 17}, {}, 0},
        {"straight run over the centre", {20, 17}, {20, 23}, {}, 0},
        {"corner line", {22, 14}, {25, 18}, {}, 0},
        {"front-corner joint", {22, 17}, {23, 18}, {}, 0},
        {"orthogonal step", {19, 13}, {19, 12}, {}, 0},
        {"diagonal step from a camp", {19, 16}, {18, 17}, {}, 0},
        {"diagonal step into a camp", {18, 15}, {19, 14}, {}, 0},
        {"diagonal road step", {19, 17}, {18, 16}, {}, 1},
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
}

TEST(StepBlocked, LeavesTheRunItFoundInTheBuffer) {
    Scene s;
    PathWork work(Board());
    PathBuffer out;
    ASSERT_EQ(CheckStepBlocked(work, 22, 14, 25, 18, out, 0, s.table), 0);
    EXPECT_EQ(out.x[4], 23);
    EXPECT_EQ(out.y[4], 18);
    EXPECT_EQ(out.x[6], 25);
}

TEST(StepBlocked, DiagonalStepOffTheBoardNotifiesAndGoesOn) {
    Scene s;
    RecordingUi ui;
    PathWork work(Board());
    work.notify = ui.Sink();
    PathBuffer out;
    EXPECT_EQ(CheckStepBlocked(work, 19, 18, 18, 17, out, 0, s.table), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], Gb("不可思意的起点或终点！") + "          ");
    // Steps between board points ask nothing.
    EXPECT_EQ(CheckStepBlocked(work, 18, 13, 19, 14, out, 0, s.table), 0);
    EXPECT_EQ(CheckStepBlocked(work, 20, 14, 19, 13, out, 0, s.table), 1);
    EXPECT_EQ(ui.messages.size(), 1u);

    PathWork quiet(Board());
    EXPECT_EQ(CheckStepBlocked(quiet, 19, 18, 18, 17, out, 0, s.table), 1);
}

TEST(RailBuilders, RefuseAPointToItselfAndKeepLengthOnRefusal) {
    Scene s;
    PathWork work(Board());
    PathBuffer out;
    int length = 5;
    EXPECT_EQ(FindStraightRailPath(work, 18, 17, 18, 17, out, length, s.table, nullptr), 0);
    EXPECT_EQ(FindRailLinePath(work, 22, 17, 22, 17, out, length, s.table, nullptr), 0);
    EXPECT_EQ(FindStraightRailPath(work, 19, 17, 19, 23, out, length, s.table, nullptr), 0);
    EXPECT_EQ(FindRailLinePath(work, 22, 14, 22, 16, out, length, s.table, nullptr), 0);  // same leg
    EXPECT_EQ(length, 5);
    EXPECT_EQ(FindRailLinePath(work, 27, 18, 22, 13, out, length, s.table, nullptr), 10);
    EXPECT_EQ(length, 10);
}

TEST(EngineerSearch, SortsOnlyItsOwnCopyOfTheLinks) {
    BoardTables fresh;
    BuildBoardTables(fresh);
    Scene s;
    const int mover = s.Add(0, kEngineer, {19, 17});
    PathWork work(Board());
    PathBuffer out;
    ASSERT_GT(FindMovePath(work, mover, 19, 17, 25, 22, out, s.table, nullptr), 0);
    EXPECT_EQ(std::memcmp(Board().railLinks, fresh.railLinks, sizeof fresh.railLinks), 0);
    // Point 124's links now start with the one nearest (25,22).
    EXPECT_EQ(work.railLinks[124][0], (GridPoint{22, 20}));
    EXPECT_EQ(Board().railLinks[124][0], (GridPoint{18, 20}));
}

TEST(EngineerSearch, TiesFollowTheOrderTheLastSearchLeft) {
    Scene s;
    const int mover = s.Add(0, kEngineer, {19, 17});
    const std::vector<GridPoint> byColumn18 = {{19, 17}, {18, 17}, {18, 18}, {18, 20},
                                               {18, 22}, {18, 23}, {19, 23}};
    const std::vector<GridPoint> byColumn20 = {{19, 17}, {20, 17}, {20, 18}, {20, 20},
                                               {20, 22}, {20, 23}, {19, 23}};
    PathWork work(Board());
    PathBuffer out;
    ASSERT_EQ(FindMovePath(work, mover, 19, 17, 19, 23, out, s.table, nullptr), 7);
    EXPECT_EQ(Show(Collect(7, out).points), Show(byColumn18));

    // A search towards seat 1 puts (20,17) before (18,17) at (19,17); the
    // next search finds both at equal distance and keeps that order.
    SortRailLinksByDistance(work, 25, 22);
    ASSERT_EQ(FindMovePath(work, mover, 19, 17, 19, 23, out, s.table, nullptr), 7);
    EXPECT_EQ(Show(Collect(7, out).points), Show(byColumn20));
    // Strictly nearer links still come first whatever the order before.
    EXPECT_EQ(work.railLinks[0][0], (GridPoint{18, 18}));
}

// ---------------------------------------------------------------------------
// Random mid-game boards.

Scene RandomScene(std::mt19937& rng) {
    std::vector<int> points(kPointCount);
    for (int i = 0; i < kPointCount; ++i) points[i] = i;
    std::shuffle(points.begin(), points.end(), rng);
    Scene s;
    const int live = std::uniform_int_distribution<int>(10, 100)(rng);
    std::vector<int> indexes(kPieceCount);
    for (int i = 0; i < kPieceCount; ++i) indexes[i] = i;
    std::shuffle(indexes.begin(), indexes.end(), rng);
    std::uniform_int_distribution<int> codeDraw(1, 12);
    for (int k = 0; k < kPieceCount; ++k) {
        PieceRec& p = s.table[indexes[k]];
        const BoardPoint& bp = Board().boardPoints[points[k % kPointCount]];
        p.code = codeDraw(rng);
        p.x = bp.gridX;
        p.y = bp.gridY;
        // Dead pieces keep their last point and may share it with a live one.
        p.alive = k < live ? 1 : 0;
        if (!p.alive && k % 3 == 0) {
            const BoardPoint& other = Board().boardPoints[points[0]];
            p.x = other.gridX;
            p.y = other.gridY;
        }
    }
    return s;
}

// Checks the shape of a found path: its ends, its directions, and that a
// path of more than one step follows the railway over empty points.
void ExpectSoundPath(const Scene& s, int piece, GridPoint to, int n, const PathBuffer& out) {
    const PieceRec& p = s.table[piece];
    ASSERT_GE(n, 2);
    ASSERT_LE(n, 29);
    EXPECT_EQ((GridPoint{out.x[0], out.y[0]}), (GridPoint{p.x, p.y}));
    EXPECT_EQ((GridPoint{out.x[n - 1], out.y[n - 1]}), to);
    for (int k = 0; k + 1 < n; ++k)
        EXPECT_EQ(out.dirs[k], StepDirection(out.x[k + 1] - out.x[k], out.y[k + 1] - out.y[k]));
    const bool singleStep = n == 2 && std::abs(p.x - to.x) <= 1 && std::abs(p.y - to.y) <= 1;
    if (singleStep) return;
    for (int k = 0; k + 1 < n; ++k)
        EXPECT_TRUE(IsRailLink({out.x[k], out.y[k]}, {out.x[k + 1], out.y[k + 1]}));
    for (int k = 1; k + 1 < n; ++k) EXPECT_EQ(PieceAtPoint(out.x[k], out.y[k], s.table), kNoPiece);
    if (p.code != kEngineer) {
        PathWork w(Board());
        PathBuffer scratch;
        EXPECT_EQ(CheckStepBlocked(w, p.x, p.y, to.x, to.y, scratch, 0, s.table), 0);
    }
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
