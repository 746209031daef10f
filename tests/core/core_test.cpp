#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/board.h"
#include "core/combat.h"
#include "core/datafiles.h"
#include "core/options.h"
#include "core/pathfind.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/files_support.h"
#include "support/recording_ui.h"
#include "support/scene.h"

// The last calls of a replacing write fail for its temporary file when a test
// asks, as a full or lost file system makes them fail; all else goes through.
namespace {

enum FailingCall { kNone, kFsync, kClose, kRename };
std::atomic<int> failingCall{kNone};

bool IsTemporary(std::string_view path) { return path.ends_with(".jq-save"); }
bool Fails(int call, int fd) {
    char target[4096];
    const ssize_t n = failingCall == call ? ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, 4096) : 0;
    return n > 0 && IsTemporary(std::string_view(target, static_cast<size_t>(n)));
}

}  // namespace

extern "C" int fsync(int fd) {
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    return Fails(kFsync, fd) ? (errno = EIO, -1) : real(fd);
}
extern "C" int close(int fd) {
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "close"));
    return Fails(kClose, fd) ? (real(fd), errno = EIO, -1) : real(fd);
}
extern "C" int rename(const char* from, const char* to) noexcept {
    static const auto real = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"));
    return failingCall == kRename && IsTemporary(from) ? (errno = ENOSPC, -1) : real(from, to);
}

namespace jq {
namespace {

using test::RecordingUi;
namespace fs = std::filesystem;
using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

std::vector<GridPoint> LinksOf(const BoardTables& t, int p) {
    std::vector<GridPoint> out;
    for (const GridPoint& l : t.railLinks[p])
        if (!(l.x == 0 && l.y == 0)) out.push_back(l);
    return out;
}

bool Has(const std::vector<GridPoint>& v, GridPoint g) { return std::find(v.begin(), v.end(), g) != v.end(); }

TEST(BoardGeometry, PointIndexAndPointRecords) {
    const BoardTables& t = Board();
    const int rows[][3] = {{20, 20, 124}, {18, 17, 0},  {23, 18, 30},  {22, 23, 60}, {17, 22, 90}, {19, 12, 21},
                           {12, 19, 113}, {19, 19, -1}, {12, 12, -1}, {28, 28, -1}, {11, 20, -1}, {29, 20, -1},
                           {20, 11, -1},  {20, 29, -1}, {INT_MIN, 20, -1}, {20, INT_MAX, -1}};
    for (const auto& r : rows) EXPECT_EQ(PointIndexAt(t, r[0], r[1]), r[2]) << r[0] << "," << r[1];
    // One point of each seat's turned area and the centre, pixels included.
    const std::pair<int, BoardPoint> points[] = {
        {0, {18, 17, 201, 359, kRailway}},   {30, {23, 18, 355, 325, kRailway}}, {60, {22, 23, 321, 171, kRailway}},
        {90, {17, 22, 167, 205, kRailway}},  {124, {20, 20, 261, 265, kRailway}}, {51, {28, 19, 505, 295, kHeadquarters}},
        {57, {25, 20, 415, 265, kCamp}},     {66, {20, 24, 261, 141, kRoad}}};
    for (const auto& [index, point] : points) EXPECT_EQ(t.boardPoints[index], point) << "point " << index;
    for (int p = kPointCount; p < kPointSlots; ++p) EXPECT_EQ(t.boardPoints[p], BoardPoint{});
}

TEST(BoardGeometry, KindsAndRailLinks) {
    const BoardTables& t = Board();
    std::vector<int> kinds(4), withLinks(5);
    for (int p = 0; p < kPointCount; ++p) {
        const BoardPoint& b = t.boardPoints[p];
        ASSERT_TRUE(b.kind >= 0 && b.kind <= 3);
        ++kinds[b.kind];
        const auto links = LinksOf(t, p);
        ++withLinks[links.size()];
        EXPECT_EQ(b.kind == kRailway, links.size() >= 2) << "point " << p;
        for (size_t j = links.size(); j < 4; ++j) EXPECT_EQ(t.railLinks[p][j], GridPoint{}) << p;
        for (const GridPoint& l : links) {
            // Railway points one step apart (two between centre points), both ways.
            const int q = PointIndexAt(t, l.x, l.y);
            ASSERT_GE(q, 0) << "point " << p << " links to no point";
            EXPECT_EQ(t.boardPoints[q].kind, kRailway);
            const int dx = std::abs(l.x - b.gridX), dy = std::abs(l.y - b.gridY);
            EXPECT_TRUE((dx <= 1 && dy <= 1 && dx + dy > 0) || (p >= 120 && q >= 120 && dx + dy == 2)) << p << "->" << q;
            EXPECT_TRUE(Has(LinksOf(t, q), GridPoint{b.gridX, b.gridY})) << q << " does not link back to " << p;
        }
    }
    EXPECT_EQ(kinds, (std::vector<int>{8, 20, 73, 28}));  // headquarters, camps, railway, road
    EXPECT_EQ(withLinks, (std::vector<int>{56, 0, 52, 4, 17}));
}

TEST(BoardLookups, PieceAtPointAndGridTakeOnlyPiecesExactlyAliveOnTheBoard) {
    PieceTable pieces{};
    pieces[3] = {20, 20, 0, 0, 5, 0};  // taken off, still carries the point
    pieces[40] = {20, 20, 0, 0, 6, 1}, pieces[70] = {20, 20, 0, 0, 7, 2};
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), 40);
    pieces[40].alive = 0;
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), -2);
    pieces[99] = {28, 20, 28, 20, 9, 1};
    PieceGrid grid;
    grid.Fill(pieces);
    EXPECT_EQ(std::tuple(grid.At(28, 20), grid.At(20, 20), grid.At(12, 12)), std::tuple(99, -2, -2));  // (12,12): no point
    for (GridPoint off : {GridPoint{29, 20}, GridPoint{20, 11}, GridPoint{INT_MIN, INT_MIN}}) EXPECT_EQ(grid.At(off.x, off.y), -1);
    // A live piece of a damaged record just off each edge, and far off: neighbouring grids catch a stray write.
    for (GridPoint at : {GridPoint{11, 28}, {29, 12}, {20, 11}, {20, 29}, {11, 11}, {29, 29}, {40, -5}, {-5, 40}}) {
        PieceTable damaged{};
        damaged[5] = {at.x, at.y, 18, 17, 4, 1};
        std::vector<PieceGrid> grids(3);
        grids[1].Fill(damaged);
        for (int g = 0; g < 3; ++g)
            for (int cx = 0; cx < kGridCells; ++cx)
                for (int cy = 0; cy < kGridCells; ++cy)
                    ASSERT_EQ(grids[g].cell[cx][cy], g == 1 ? -2 : 0) << at.x << "," << at.y << " grid " << g;
    }
}

constexpr int X = -100;

// Outcome by attacker code (rows 1..12) and defender code (columns 1..12).
constexpr int kExpected[12][12] = {
    {X, X, X, X, X, X, X, X, X, X, X, X},          // flag
    {X, X, X, X, X, X, X, X, X, X, X, X},          // mine
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},          // bomb
    {1, -1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},         // commander
    {1, -1, 0, -1, 0, 1, 1, 1, 1, 1, 1, 1},        // army commander
    {1, -1, 0, -1, -1, 0, 1, 1, 1, 1, 1, 1},       // division
    {1, -1, 0, -1, -1, -1, 0, 1, 1, 1, 1, 1},      // brigade
    {1, -1, 0, -1, -1, -1, -1, 0, 1, 1, 1, 1},     // regiment
    {1, -1, 0, -1, -1, -1, -1, -1, 0, 1, 1, 1},    // battalion
    {1, -1, 0, -1, -1, -1, -1, -1, -1, 0, 1, 1},   // company
    {1, -1, 0, -1, -1, -1, -1, -1, -1, -1, 0, 1},  // platoon
    {1, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1, 0},  // engineer
};

TEST(Combat, EveryPairOfCodesAndTheEstimatesTableAgree) {
    for (int a = 1; a <= 12; ++a)
        for (int d = 1; d <= 12; ++d) {
            EXPECT_EQ(ResolveCombatCodes(a, d), kExpected[a - 1][d - 1]) << "attacker " << a << " defender " << d;
            ASSERT_NE(OutcomeTableRow(a), nullptr);
            EXPECT_EQ(OutcomeTableRow(a)[d - 1], OutcomeChar(a, d));
            const char c = OutcomeChar(a, d);
            if (a == kFlag) {
                EXPECT_EQ(c, '2');
            } else if (a == kMine) {  // an immovable mine in the estimates
                EXPECT_EQ(c, (d == kMine || d == kBomb) ? '0' : '1') << d;
            } else {
                EXPECT_EQ(kExpected[a - 1][d - 1], c == '1' ? 1 : c == '0' ? 0 : c == '2' ? -1 : 99) << a << "," << d;
            }
        }
}

TEST(Combat, ByIndexReadsOnlyCodesAndRefusesWhatIsNoPieceOrCode) {
    PieceTable pieces{};  // before the first battle every code is 0
    EXPECT_EQ(ResolveCombat(pieces, 0, 1), -100);
    pieces[0] = {18, 17, 18, 17, kEngineer, 1};
    pieces[2] = {19, 17, 19, 17, kMine, 0};      // dead: still resolved by code
    pieces[50] = {22, 23, 22, 23, kPlatoon, 1};  // partner seat: still resolved
    EXPECT_EQ(ResolveCombat(pieces, 0, 2) * 10 + ResolveCombat(pieces, 50, 0), 11);
    EXPECT_EQ(ResolveCombat(pieces, 0, 50), -1);
    for (int bad : {-2, 100, INT_MIN, INT_MAX}) EXPECT_EQ(ResolveCombat(pieces, bad, 0) + ResolveCombat(pieces, 0, bad), -200) << bad;
    for (int bad : {0, -1, 13, INT_MIN, INT_MAX}) {
        EXPECT_EQ(ResolveCombatCodes(bad, 4) + ResolveCombatCodes(12, bad), -200) << bad;
        EXPECT_EQ(std::string() + OutcomeChar(bad, 1) + OutcomeChar(4, bad), std::string(2, '\0')) << bad;
        EXPECT_EQ(OutcomeTableRow(bad), nullptr) << bad;
    }
}

TEST(GameState, PathFinderNoticesGoToTheWindowTheGameHasNow) {
    GameState g;
    RecordingUi first, second;
    g.ui = &first;
    g.pieces[0] = {19, 19, 0, 0, kEngineer, 1};  // an engineer on a cell without a point
    EXPECT_EQ(FindMovePath(g.pathWork, 0, 19, 19, 18, 22, g.path, g.pieces, nullptr), -1);
    g.ui = &second;
    EXPECT_EQ(CheckStepBlocked(g.pathWork, 19, 18, 18, 17, g.path, 0, g.pieces), 1);
    EXPECT_EQ(first.messages, std::vector<std::string>{Gb("2.工兵起始位置不可思议！")});
    EXPECT_EQ(second.messages, std::vector<std::string>{Gb("不可思意的起点或终点！") + std::string(10, ' ')});
    PathWork quiet(Board());  // the computer player's own work areas tell nothing
    EXPECT_EQ(FindMovePath(quiet, 0, 19, 19, 18, 22, g.path, g.pieces, nullptr), -1);
    EXPECT_EQ(first.messages.size() + second.messages.size(), 2u);
}

TEST(Text, WrittenInCodePage936) {
    // An emoji; U+3400 (four bytes in GB18030) and an emoji; not UTF-8; a sequence cut off at the end.
    const std::pair<const char*, std::string> rows[] = {
        {"a\xF0\x9F\x98\x80" "b", "a?b"}, {"x\xE3\x90\x80\xF0\x9F\x98\x80y", "x??y"}, {"\xFF" "a", "?a"}, {"\xE5\xBC", "?"}};
    for (const auto& [utf8, bytes] : rows) EXPECT_EQ(Gb(utf8), bytes) << utf8;
    EXPECT_EQ(Utf8FromGb("\x81\x39\xEE\x39"), "\xE3\x90\x80");  // reading still accepts GB18030
}

// Pieces put where a case needs them, each seat's from its slot 0 on.
struct Scene {
    PieceTable table{};
    int used[kSeats] = {};
    int Add(int seat, int code, GridPoint at) {
        const int index = seat * kPiecesPerSeat + used[seat]++;
        test::Put(table, index, code, at.x, at.y);
        return index;
    }
};

// A path as "(x,y)(x,y)..." followed by "/" and its directions, or "-1".
std::string Show(int count, const PathBuffer& out) {
    if (count <= 0) return std::to_string(count);
    std::string s;
    for (int k = 0; k < count; ++k) s += "(" + std::to_string(out.x[k]) + "," + std::to_string(out.y[k]) + ")";
    s += "/";
    for (int k = 0; k + 1 < count; ++k) s += std::to_string(out.dirs[k]);
    return s;
}

// Asks for the move with occupancy from the table and from a filled grid, each with fresh work areas, and
// expects both answers to agree.
std::string Move(const Scene& s, int piece, GridPoint to) {
    const PieceRec& p = s.table[piece];
    PathWork w0(Board()), w1(Board());
    PathBuffer b0, b1;
    PieceGrid grid;
    grid.Fill(s.table);
    const int n0 = FindMovePath(w0, piece, p.x, p.y, to.x, to.y, b0, s.table, nullptr);
    const int n1 = FindMovePath(w1, piece, p.x, p.y, to.x, to.y, b1, s.table, &grid);
    EXPECT_EQ(Show(n0, b0), Show(n1, b1)) << "grid and table disagree";
    EXPECT_EQ(b0.length, n0);
    return Show(n0, b0);
}
int Count(const std::string& shown) { return shown[0] == '-' ? -1 : static_cast<int>(std::count(shown.begin(), shown.end(), '(')); }

bool IsRailLink(GridPoint a, GridPoint b) {
    const int p = PointIndexAt(Board(), a.x, a.y);
    return p >= 0 && std::find(Board().railLinks[p], Board().railLinks[p] + 4, b) != Board().railLinks[p] + 4;
}

TEST(MovePath, StepsRunsAndEngineerDetours) {
    struct Row {
        const char* what;
        int code;
        GridPoint from, to;
        std::vector<GridPoint> enemies;  // seat 1 pieces
        std::string path;                // the whole path, or its point count, or -1
    };
    const Row rows[] = {
        {"orthogonal step into a headquarters", 8, {19, 13}, {19, 12}, {}, "(19,13)(19,12)/3"},
        {"diagonal step into a headquarters", 12, {18, 13}, {19, 12}, {}, "-1"},
        {"diagonal step out of a camp", 8, {19, 16}, {18, 17}, {}, "(19,16)(18,17)/6"},
        {"diagonal step into an empty camp", 8, {18, 17}, {19, 16}, {}, "(18,17)(19,16)/2"},
        {"diagonal step into a held camp", 8, {18, 17}, {19, 16}, {{19, 16}}, "-1"},
        {"orthogonal step into a held camp", 12, {20, 16}, {20, 15}, {{20, 15}}, "-1"},
        {"attack one step away", 8, {18, 17}, {19, 17}, {{19, 17}}, "(18,17)(19,17)/1"},
        {"front-corner joint, seat 0 to 1", 8, {22, 17}, {23, 18}, {}, "(22,17)(23,18)/8"},
        {"front-corner joint, seat 1 to 2", 3, {23, 22}, {22, 23}, {}, "(23,22)(22,23)/6"},
        {"front-corner joint, seat 2 to 3", 12, {18, 23}, {17, 22}, {}, "(18,23)(17,22)/4"},
        {"diagonal road step", 8, {19, 17}, {18, 16}, {}, "-1"},
        {"step onto a cell without a point", 8, {19, 17}, {19, 18}, {}, "-1"},
        {"straight column", 8, {18, 13}, {18, 17}, {}, "(18,13)(18,14)(18,15)(18,16)(18,17)/7777"},
        {"straight column, blocked", 8, {18, 13}, {18, 17}, {{18, 15}}, "-1"},
        {"engineer round the ring", 12, {18, 13}, {18, 17}, {{18, 15}},
         "(18,13)(19,13)(20,13)(21,13)(22,13)(22,14)(22,15)(22,16)(22,17)(21,17)(20,17)(19,17)(18,17)/111177775555"},
        {"straight over the centre's gaps", 8, {18, 17}, {18, 23}, {}, "(18,17)(18,18)(18,20)(18,22)(18,23)/7777"},
        {"attack at the end of a run", 8, {18, 13}, {18, 17}, {{18, 17}}, "5"},
        {"no run along column 19", 8, {19, 17}, {19, 23}, {}, "-1"},
        // Two paths of 7 points; links equally far keep their order: column 18 first.
        {"engineer through the centre", 12, {19, 17}, {19, 23}, {},
         "(19,17)(18,17)(18,18)(18,20)(18,22)(18,23)(19,23)/577771"},
        {"engineer through the centre, column 18 held", 12, {19, 17}, {19, 23}, {{18, 20}},
         "(19,17)(20,17)(20,18)(20,20)(20,22)(20,23)(19,23)/177775"},
        {"corner line", 8, {22, 14}, {25, 18}, {}, "(22,14)(22,15)(22,16)(22,17)(23,18)(24,18)(25,18)/777811"},
        {"corner line backwards", 8, {25, 18}, {22, 14}, {}, "(25,18)(24,18)(23,18)(22,17)(22,16)(22,15)(22,14)/554333"},
        {"out of a camp only by a step", 12, {19, 16}, {19, 13}, {}, "-1"},
        {"no run into a camp", 8, {20, 17}, {20, 15}, {}, "-1"},
        {"engineer round the corner", 12, {19, 17}, {18, 16}, {}, "(19,17)(18,17)(18,16)/53"},
        {"engineer, corner held", 12, {19, 17}, {18, 16}, {{18, 17}}, "15"},
        {"engineer, no way left", 12, {19, 17}, {18, 16}, {{18, 17}, {20, 17}}, "-1"},
    };
    for (const Row& r : rows) {
        Scene s;
        const int mover = s.Add(0, r.code, r.from);
        for (GridPoint e : r.enemies) s.Add(1, kBrigade, e);
        const std::string got = Move(s, mover, r.to);
        if (r.path.find('(') == std::string::npos)
            EXPECT_EQ(Count(got), std::stoi(r.path)) << r.what << ": " << got;
        else
            EXPECT_EQ(got, r.path) << r.what;
    }
}

TEST(MovePath, TargetsOfTheOwnTeamAreRefusedAndPointsBetweenMustBeEmpty) {
    struct Row { int moverSeat, targetSeat; GridPoint from, to; int expected; };
    const Row rows[] = {{0, 0, {18, 17}, {19, 17}, -1}, {0, 2, {18, 17}, {19, 17}, -1}, {0, 0, {18, 13}, {18, 17}, -1},
                        {0, 2, {22, 14}, {25, 18}, -1}, {0, 1, {18, 13}, {18, 17}, 5},  {0, 3, {18, 17}, {19, 17}, 2},
                        {1, 3, {23, 18}, {24, 18}, -1}, {1, 2, {23, 18}, {24, 18}, 2}};
    for (const Row& r : rows)
        for (int code : {kBomb, kCommander, kEngineer}) {
            Scene s;
            const int mover = s.Add(r.moverSeat, code, r.from);
            s.Add(r.targetSeat, kPlatoon, r.to);
            EXPECT_EQ(Count(Move(s, mover, r.to)), r.expected) << r.moverSeat << "->" << r.targetSeat << " code " << code;
        }
    for (int seat = 0; seat < kSeats; ++seat) {
        Scene s;
        const int mover = s.Add(0, kRegiment, {22, 13});
        s.Add(seat, kMine, {22, 15});
        EXPECT_EQ(std::pair(Count(Move(s, mover, {22, 17})), Count(Move(s, mover, {22, 14}))), std::pair(-1, 2)) << seat;
    }
}

TEST(MovePath, EngineerPathsOfThirtyPointsOrMoreAreRefused) {
    // Centre held, seat 0's front row cut: round seats 1 and 2 to seat 3's front column.
    Scene s;
    s.Add(0, kEngineer, {22, 17});
    for (int x : {18, 20, 22})
        for (int y : {18, 20, 22}) s.Add(1, kMine, {x, y});
    for (GridPoint b : {GridPoint{21, 17}, GridPoint{22, 16}, GridPoint{23, 20}, GridPoint{20, 23}}) s.Add(1, kMine, b);
    const std::string longest = Move(s, 0, {17, 21});
    EXPECT_EQ(Count(longest), 29) << longest;
    EXPECT_EQ(Count(Move(s, 0, {17, 20})) + Count(Move(s, 0, {17, 18})), -2);
    for (int freed : {25, 28, 31}) s.table[freed].alive = 0;  // the centre's lower row
    EXPECT_GT(Count(Move(s, 0, {17, 20})), 0);
}

TEST(MovePath, DamagedInputIsRefusedSafely) {
    const int far[] = {INT_MIN, -20, 0, 40, INT_MAX};
    for (int code : {kRegiment, kEngineer}) {
        Scene s;
        const int mover = s.Add(0, code, {18, 13});
        PathWork work(Board());
        PathBuffer out;
        for (int bad : {kNoPiece, kPieceCount}) EXPECT_EQ(FindMovePath(work, bad, 18, 13, 18, 17, out, s.table, nullptr), -1);
        EXPECT_EQ(out.length, -1);
        for (int a : far)
            for (int b : far) {
                SCOPED_TRACE(std::to_string(a) + "," + std::to_string(b));
                EXPECT_EQ(FindMovePath(work, mover, a, b, 18, 17, out, s.table, nullptr), -1);
                EXPECT_EQ(FindMovePath(work, mover, 18, 13, a, b, out, s.table, nullptr), -1);
                EXPECT_EQ(CheckStepBlocked(work, a, b, 18, 17, out, 0, s.table), 1);
            }
    }
}

TEST(StepBlocked, OnlyEngineerMovesAreBlocked) {
    struct Row { GridPoint from, to; std::vector<GridPoint> pieces; int expected; };
    // Runs, joints, steps and camp diagonals pass; road diagonals, long moves off the rails and blocked runs
    // do not; the target's owner does not matter.
    const Row rows[] = {
        {{18, 13}, {18, 17}, {}, 0}, {{20, 17}, {20, 23}, {}, 0}, {{22, 14}, {25, 18}, {}, 0},
        {{22, 17}, {23, 18}, {}, 0}, {{19, 13}, {19, 12}, {}, 0}, {{19, 16}, {18, 17}, {}, 0},
        {{18, 15}, {19, 14}, {}, 0}, {{19, 17}, {18, 16}, {}, 1}, {{19, 17}, {19, 23}, {}, 1},
        {{18, 13}, {18, 17}, {{18, 15}}, 1}, {{22, 14}, {25, 18}, {{22, 16}}, 1}, {{18, 13}, {18, 17}, {{18, 17}}, 0},
    };
    for (const Row& r : rows) {
        Scene s;
        for (GridPoint p : r.pieces) s.Add(0, kBrigade, p);
        PathWork work(Board());
        PathBuffer out;
        out.length = 77;
        EXPECT_EQ(CheckStepBlocked(work, r.from.x, r.from.y, r.to.x, r.to.y, out, 77, s.table), r.expected)
            << r.from.x << "," << r.from.y << " -> " << r.to.x << "," << r.to.y;
        EXPECT_EQ(out.length, 77);
        EXPECT_TRUE(r.expected != 0 || r.to.x != 25 || out.x[4] * 100 + out.y[4] == 2318);  // the run stays in the buffer
    }
}

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

// Every move of every live piece to every point, with one long-lived work area as a thread keeps its own;
// `check` sees each answer.
template <class Check>
void EveryMove(const Scene& s, const PieceGrid* grid, Check check) {
    PathWork work(Board());
    PathBuffer out;
    for (int piece = 0; piece < kPieceCount; ++piece) {
        const PieceRec& p = s.table[piece];
        for (int t = 0; t < kPointCount && p.alive == 1; ++t) {
            const GridPoint to = test::PointAt(t);
            check(piece, to, FindMovePath(work, piece, p.x, p.y, to.x, to.y, out, s.table, grid), out);
        }
    }
}

TEST(RandomBoards, GridAndTableGiveTheSameSoundAnswers) {
    std::mt19937 rng(20240611);
    int legal = 0, refused = 0;
    for (int board = 0; board < 40; ++board) {
        const Scene s = RandomScene(rng);
        PieceGrid grid;
        grid.Fill(s.table);
        std::vector<std::string> byTable;
        EveryMove(s, nullptr, [&](int, GridPoint, int n, const PathBuffer& out) { byTable.push_back(Show(n, out)); });
        size_t i = 0;
        EveryMove(s, &grid, [&](int piece, GridPoint to, int n, const PathBuffer& out) {
            ASSERT_EQ(Show(n, out), byTable[i++]) << "board " << board << " piece " << piece;
            if (n <= 0) return void(++refused);
            ++legal;
            // From the piece to the target; beyond a single step along the railway over empty points, and off
            // the straight runs and corner lines only for an engineer.
            const PieceRec& p = s.table[piece];
            ASSERT_TRUE(n >= 2 && n <= 29) << n;
            EXPECT_TRUE(out.x[0] == p.x && out.y[0] == p.y && out.x[n - 1] == to.x && out.y[n - 1] == to.y);
            if (n == 2 && std::abs(p.x - to.x) <= 1 && std::abs(p.y - to.y) <= 1) return;
            for (int k = 0; k + 1 < n; ++k)
                EXPECT_TRUE(IsRailLink({out.x[k], out.y[k]}, {out.x[k + 1], out.y[k + 1]}) &&
                            (k == 0 || PieceAtPoint(out.x[k], out.y[k], s.table) == kNoPiece)) << k;
            PathWork w(Board());
            PathBuffer scratch;
            EXPECT_TRUE(p.code == kEngineer || CheckStepBlocked(w, p.x, p.y, to.x, to.y, scratch, 0, s.table) == 0);
        });
    }
    EXPECT_GT(legal, 1000);
    EXPECT_GT(refused, 1000);
}

TEST(RandomBoards, SeparateWorkAreasRunSideBySide) {
    std::mt19937 rng(7);
    const Scene s = RandomScene(rng);
    auto run = [&s](std::vector<std::string>& results) {
        EveryMove(s, nullptr, [&](int, GridPoint, int n, const PathBuffer& out) { results.push_back(Show(n, out)); });
    };
    std::vector<std::string> alone, side[4];
    run(alone);
    std::vector<std::thread> threads;
    for (auto& r : side) threads.emplace_back(run, std::ref(r));
    for (auto& th : threads) th.join();
    for (const auto& r : side) EXPECT_EQ(r, alone);
}

int32_t I32At(const std::vector<uint8_t>& b, size_t off) {
    return static_cast<int32_t>(b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (uint32_t(b[off + 3]) << 24));
}
std::string TextAt(const std::vector<uint8_t>& b, size_t off) { return reinterpret_cast<const char*>(&b[off]); }
// Direction, pause, move, deployment and disconnection times of the battle.
std::vector<int32_t> Running(const GameState& g) {
    return {g.turnDirection, g.netMinMoveInterval, g.netMoveTime, g.netDeployTime, g.netDisconnectTime};
}

OptionsRec SampleRecord() {
    OptionsRec r;
    r.soundOn = 1, r.boardBackground = 7, r.aiLevel = 2, r.recordLatestFormations = 1;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 4; ++k) r.winRecord[l][k] = 100 * l + k + 1;
    r.styleAttack = 3, r.styleCaution = 8, r.styleDefence = 10, r.autoPlayInterval = 45;
    r.turnDirectionOption = -1, r.netMinMoveIntervalOption = 0;
    for (int i = 0; i < 64; ++i) r.reserved[i] = static_cast<uint8_t>(0xA0 + i);
    r.netMoveTimeOption = 59, r.netDeployTimeOption = 77, r.netDisconnectTimeOption = 118;
    for (auto [field, text] : {std::pair{r.playerNames[0], Gb("张三")}, {r.playerNames[3], "west"},
                               {r.recentFiles[0], "/home/p/kbtfiles/a.kbt"}, {r.recentFiles[9], "z.jqh"},
                               {r.lastNetName, "lan-name"}, {r.lastHostAddress, "192.168.0.7"}})
        PutBoundedText(field, 256, text);
    return r;
}

TEST(OptionsRecord, FieldsLandAtTheirFileOffsets) {
    const std::vector<uint8_t> b = EncodeOptions(SampleRecord());
    ASSERT_EQ(b.size(), 4260u);
    const std::pair<size_t, int32_t> ints[] = {
        {0, 1},      {1028, 7},   {1032, 2},   {1036, 1},  {1056, 102}, {1080, 204}, {1084, 3},  {1088, 8},
        {1092, 10},  {1096, 45},  {1100, -1},  {1104, 0},  {1172, 59},  {1176, 77},  {1180, 118}, {1184, 1},
    };
    for (const auto& [offset, value] : ints) EXPECT_EQ(I32At(b, offset), value) << "offset " << offset;
    EXPECT_EQ(b[1108] + b[1171], 0xA0 + 0xA0 + 63);
    const std::pair<size_t, std::string> texts[] = {{4, Gb("张三")},     {4 + 3 * 256, "west"},  {1188, "/home/p/kbtfiles/a.kbt"},
                                                    {1188 + 9 * 256, "z.jqh"}, {3748, "lan-name"}, {4004, "192.168.0.7"}};
    for (const auto& [offset, text] : texts) EXPECT_EQ(TextAt(b, offset), text) << "offset " << offset;
}

TEST(OptionsRecord, AnyImageSurvivesDecodeAndEncode) {
    // Every byte set, reserved bytes included, and no text field holds a NUL: a record read and written back
    // is byte for byte the same.
    std::vector<uint8_t> image(4260);
    uint32_t x = 12345;
    for (auto& byte : image) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(x >> 16) | 1;
    }
    EXPECT_EQ(EncodeOptions(DecodeOptions(image)), image);
}

TEST(OptionsRecord, ShortLongAndUnterminatedImages) {
    const std::vector<uint8_t> full = EncodeOptions(SampleRecord());
    // Cut inside the turn direction: it and everything after read as zero.
    const OptionsRec cut = DecodeOptions(full.data(), 1102);
    EXPECT_EQ(std::tuple(cut.autoPlayInterval, cut.turnDirectionOption, cut.netMoveTimeOption), std::tuple(45, 0xFFFF, 0));
    EXPECT_EQ(RecentFile(cut, 0), "");
    EXPECT_EQ(EncodeOptions(DecodeOptions(nullptr, 0)), std::vector<uint8_t>(4260, 0));
    std::vector<uint8_t> longer = full;
    longer.insert(longer.end(), 500, 0x55);
    EXPECT_EQ(EncodeOptions(DecodeOptions(longer)), full);

    // Texts that fill their fields stay in them.
    std::vector<uint8_t> image(4260, 0);
    std::memset(&image[4], 'A', 512);  // names of seats 0 and 1
    std::memset(&image[4004], 'H', 256);
    const OptionsRec r = DecodeOptions(image);
    EXPECT_TRUE(PlayerName(r, 0) == std::string(256, 'A') && PlayerName(r, 1) == std::string(256, 'A'));
    EXPECT_EQ(LastHostAddress(r), std::string(256, 'H'));
    EXPECT_EQ(PlayerName(r, 4) + RecentFile(r, -1) + RecentFile(r, 10), "");
}

TEST(OptionsRecord, RunningValuesAreMendedAndTheRecordIsNot) {
    struct Row {
        int32_t in[5];  // direction, min interval, move, deploy, disconnect
        int32_t out[5];
    };
    const Row rows[] = {{{1, 0, 30, 40, 60}, {1, 0, 30, 40, 60}},  // 0 interval means no pause
                        {{-1, 10, 60, 80, 120}, {-1, 10, 60, 80, 120}},  {{0, -1, 0, 0, 0}, {1, 1, 30, 40, 60}},
                        {{2, -100, -5, -1, INT32_MIN}, {1, 1, 30, 40, 60}}, {{-2, 5, 1, 1, 1}, {1, 5, 1, 1, 1}},
                        {{7, INT32_MAX, 61, 81, 121}, {1, 10, 60, 80, 120}}};
    for (const Row& row : rows) {
        GameState g;
        OptionsRec& o = g.optionsRecord;
        std::tie(o.turnDirectionOption, o.netMinMoveIntervalOption, o.netMoveTimeOption, o.netDeployTimeOption,
                 o.netDisconnectTimeOption) = std::tuple(row.in[0], row.in[1], row.in[2], row.in[3], row.in[4]);
        CopyBattleOptions(g);
        EXPECT_EQ(Running(g), std::vector<int32_t>(row.out, row.out + 5)) << row.in[0] << "," << row.in[1];
        EXPECT_EQ(o.turnDirectionOption, row.in[0]);
    }
}

TEST(OptionsFile, MissingAndShortFilesAtStartup) {
    ScratchFolder dir;
    GameState g;
    g.appFolder = dir.Folder();
    g.optionsRecord.soundOn = 1;  // whatever was there is replaced
    for (bool folderInItsPlace : {false, true}) {
        if (folderInItsPlace) fs::create_directory(dir.Path("oprec"));
        g.turnDirection = 0;
        LoadOptionsAtStartup(g);
        EXPECT_EQ(EncodeOptions(g.optionsRecord), EncodeOptions(DefaultOptions()));
        EXPECT_EQ(Running(g), (std::vector<int32_t>{1, 1, 30, 40, 60}));
    }
    fs::remove(dir.Path("oprec"));

    // Stops before the LAN times: the record keeps zeros, the running copies are mended.
    const std::vector<uint8_t> full = EncodeOptions(SampleRecord());
    WriteBytes(dir.Path("oprec"), std::vector<uint8_t>(full.begin(), full.begin() + 1100));
    LoadOptionsAtStartup(g);
    EXPECT_EQ(std::pair(g.optionsRecord.styleCaution, g.optionsRecord.netMoveTimeOption), std::pair(8, 0));
    EXPECT_EQ(Running(g), (std::vector<int32_t>{1, 0, 30, 40, 60}));
    EXPECT_LT(g.styleCoefAttack, 0.618);  // the attack slider at 3 of 10
}

// Every write of a file goes through the one temporary name beside it, made afresh: what stands there (a leftover
// of an interrupted write, read-only or set-uid, or a link to a file of the player's) goes, the linked file and the
// player's own "<name>.tmp" keep their contents, and the saved file gets a new file's mode. Two threads writing the
// same file at once both succeed, leaving one whole image and no temporary file. So for a short name and for one
// of the longest the folder takes, whose temporary name is shortened.
TEST(DataFiles, OneTemporaryFilePerFileMadeAfreshAndTakenInTurn) {
    const std::string longest = std::string(251, 'L') + ".kbt";
    for (const std::string& name : {std::string("a.kbt"), longest}) {
        ScratchFolder dir;
        const std::string path = dir.Path(name), temp = TempFileName(path), mine = dir.Path("mine");
        if (name == "a.kbt") {
            EXPECT_EQ(temp, dir.Path(".a.kbt.jq-save"));
        }
        const mode_t umask = ::umask(0);
        ::umask(umask);
        const std::vector<uint8_t> a(3000, 'a'), b(5000, 'b'), theirs(9000, 'x');
        const std::string tmp = name.size() < 252 ? name + ".tmp" : name.substr(0, 251) + ".tmp";
        std::vector<std::string> entries = {name, tmp, "mine"};
        std::sort(entries.begin(), entries.end());
        dir.Write(tmp, theirs), dir.Write("mine", theirs);
        const std::function<int()> leftovers[] = {[&] { return WriteBytes(temp, theirs), ::chmod(temp.c_str(), 0400); },
                                                  [&] { return WriteBytes(temp, theirs), ::chmod(temp.c_str(), 06777); },
                                                  [&] { return ::link(mine.c_str(), temp.c_str()); },
                                                  [&] { return ::symlink(mine.c_str(), temp.c_str()); }};
        for (const auto& leave : leftovers) {
            fs::remove(path);
            ASSERT_EQ(leave(), 0) << name.size();
            EXPECT_TRUE(ReplaceFile(path, a)) << name.size();
            struct stat st {};
            EXPECT_TRUE(::stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == (0666 & ~umask)) << std::oct << st.st_mode;
            EXPECT_TRUE(ReadBytes(path) == a && dir.Read(tmp) == theirs && ReadBytes(mine) == theirs);
            EXPECT_EQ(test::FolderEntries(dir.Plain()), entries);
        }
        int failed[2] = {};
        auto writer = [&](int w, const std::vector<uint8_t>& bytes) {
            for (int i = 0; i < 40; ++i) failed[w] += ReplaceFile(path, bytes) ? 0 : 1;
        };
        std::thread first(writer, 0, std::cref(a)), second(writer, 1, std::cref(b));
        first.join(), second.join();
        EXPECT_EQ(failed[0] + failed[1], 0);
        const std::vector<uint8_t> now = ReadBytes(path);
        EXPECT_TRUE(now == a || now == b);
        EXPECT_EQ(test::FolderEntries(dir.Plain()), entries);
    }
}

// Any name the folder takes saves, up to its limit and in any bytes (UTF-8 and GB2312 names included), with a
// temporary name that fits it: hidden, ending in ".jq-save", the whole name where there is room, else its head
// (never cut inside a UTF-8 character) and a hash that keeps names with one head apart. A name past the limit
// fails and leaves nothing.
TEST(DataFiles, AnyNameTheFolderTakesSavesThroughATemporaryNameThatFits) {
    ScratchFolder dir;
    const size_t nameMax = static_cast<size_t>(::pathconf(dir.Plain().c_str(), _PC_NAME_MAX));
    ASSERT_GE(nameMax, 64u);
    auto repeat = [](const std::string& s, size_t n) {
        std::string out;
        while (n-- > 0) out += s;
        return out;
    };
    auto ascii = [&](size_t n) { return std::string(n - 4, 'k') + ".kbt"; };
    struct Row {
        std::string name;
        bool whole;  // the temporary name holds the whole name
    };
    std::vector<Row> rows = {{"a", true}, {ascii(nameMax - 9), true}, {repeat("阵", nameMax / 3), false},
                             {repeat("阵", nameMax / 3 - 1) + "ab", false}, {repeat(Gb("阵"), nameMax / 2) + "x", false},
                             {repeat(Gb("阵"), (nameMax - 4) / 2) + ".kjq", false}, {repeat("棋", 80), true}};
    for (size_t n = nameMax - 8; n <= nameMax; ++n) rows.push_back({ascii(n), false});
    std::vector<std::string> temps, names;
    for (const Row& row : rows) {
        const std::string path = dir.Path(row.name), temp = TempFileName(path);
        const std::string tempName = temp.substr(dir.Plain().size() + 1);
        const std::vector<uint8_t> bytes(row.name.size(), 0x5A);
        EXPECT_TRUE(ReplaceFile(path, bytes)) << row.name.size();
        EXPECT_TRUE(ReplaceFile(path, bytes)) << row.name.size();  // and again, over the file
        EXPECT_EQ(ReadBytes(path), bytes);
        EXPECT_EQ(TempFileName(path), temp);
        EXPECT_LE(tempName.size(), nameMax);
        EXPECT_TRUE(tempName.starts_with('.') && tempName.ends_with(".jq-save")) << tempName;
        EXPECT_EQ(tempName == "." + row.name + ".jq-save", row.whole) << row.name.size();
        if (!row.whole) {
            const size_t head = tempName.size() - 1 - 17 - 8;
            EXPECT_EQ(tempName.substr(1, head), row.name.substr(0, head));
            EXPECT_GE(head, nameMax - 26 - 3) << row.name.size();  // at most a character given up
            if (row.name.starts_with("阵")) {
                EXPECT_EQ(head % 3, 0u);
            }
            EXPECT_EQ(tempName[head + 1], '~');
        }
        temps.push_back(tempName), names.push_back(row.name);
    }
    std::sort(temps.begin(), temps.end());
    EXPECT_EQ(std::unique(temps.begin(), temps.end()), temps.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(test::FolderEntries(dir.Plain()), names);
    // One byte past the limit: no file, no temporary one.
    EXPECT_FALSE(ReplaceFile(dir.Path(ascii(nameMax + 1)), std::vector<uint8_t>(10, 1)));
    EXPECT_EQ(test::FolderEntries(dir.Plain()), names);
    // A folder of shorter names.
    const std::string shorter = TempFileName("/f/" + ascii(140), 143);
    EXPECT_EQ(shorter.size(), 3 + 143u);
    EXPECT_TRUE(shorter.starts_with("/f/.kkk") && shorter.ends_with(".jq-save"));
}

// A failed fsync, close or rename of the temporary file is a failed write: the file keeps its contents, and no
// temporary file stays, whether it holds the whole name or a shortened one.
TEST(DataFiles, TheLastCallsOfAWriteFailingFailIt) {
    for (const std::string& name : {std::string("a.kbt"), std::string(251, 'L') + ".kbt"}) {
        ScratchFolder dir;
        const std::string path = dir.Path(name);
        const std::vector<uint8_t> old(300, 'o');
        dir.Write(name, old);
        for (int call : {kFsync, kClose, kRename}) {
            failingCall = call;
            const bool written = ReplaceFile(path, std::vector<uint8_t>(500, 'n'));
            failingCall = kNone;
            EXPECT_FALSE(written) << call;
            EXPECT_TRUE(dir.Read(name) == old) << call;
            EXPECT_EQ(test::FolderEntries(dir.Plain()), std::vector<std::string>{name});
        }
        EXPECT_TRUE(ReplaceFile(path, std::vector<uint8_t>(500, 'n')));
    }
}

TEST(OptionsFile, SavingReplacesTheWholeFileOrLeavesItAsItWas) {
    ScratchFolder dir;
    WriteBytes(dir.Path("oprec"), std::vector<uint8_t>(5000, 0x33));
    fs::permissions(dir.Path("oprec"), fs::perms::owner_read | fs::perms::owner_write);
    test::RecordingUi ui;
    GameState g;
    g.ui = &ui, g.appFolder = dir.Folder(), g.optionsRecord = SampleRecord();
    FinishOptionsDialog(g);  // shows the level, takes the sliders and saves
    EXPECT_NEAR(g.styleCoefCaution, 0.86, 1e-9);
    const std::vector<uint8_t> saved = EncodeOptions(SampleRecord());
    EXPECT_TRUE(ReadBytes(dir.Path("oprec")) == saved && test::FolderEntries(dir.Plain()) == std::vector<std::string>{"oprec"});
    EXPECT_EQ(fs::status(dir.Path("oprec")).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    for (auto [level, text] : {std::pair{0, "级别：初级"}, {1, "级别：中级"}, {2, "级别：高级"}, {7, "级别：高级"}}) {
        g.optionsRecord.aiLevel = level;
        FinishOptionsDialog(g);
        EXPECT_EQ(ui.status[1], Gb(text)) << level;
    }
    // Read-only, then no folder at all: nothing is written, memory keeps the new settings.
    WriteBytes(dir.Path("oprec"), saved);
    fs::permissions(dir.Path("oprec"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(SaveOptions(g));
    EXPECT_TRUE(ReadBytes(dir.Path("oprec")) == saved && g.optionsRecord.aiLevel == 7);
    EXPECT_EQ(test::FolderEntries(dir.Plain()), std::vector<std::string>{"oprec"});
    // A set-uid leftover of an interrupted write is removed and gone; the file keeps its mode.
    fs::permissions(dir.Path("oprec"), fs::perms::owner_write, fs::perm_options::add);
    const std::string temp = TempFileName(dir.Path("oprec"));
    WriteBytes(temp, std::vector<uint8_t>(9000, 0x44));
    ::chmod(temp.c_str(), 06777);
    EXPECT_TRUE(SaveOptions(g));
    EXPECT_TRUE(ReadBytes(dir.Path("oprec")) == EncodeOptions(g.optionsRecord));
    EXPECT_EQ(test::FolderEntries(dir.Plain()), std::vector<std::string>{"oprec"});
    EXPECT_EQ(fs::status(dir.Path("oprec")).permissions() & (fs::perms::all | fs::perms::set_uid | fs::perms::set_gid),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    // A folder of that name is no leftover: it stays, and so does the file.
    fs::create_directory(temp);
    g.optionsRecord.aiLevel = 1;
    EXPECT_FALSE(SaveOptions(g));
    EXPECT_EQ(DecodeOptions(ReadBytes(dir.Path("oprec"))).aiLevel, 7);
    EXPECT_EQ(test::FolderEntries(dir.Plain()), (std::vector<std::string>{".oprec.jq-save", "oprec"}));
    g.appFolder = dir.Path("no-such-folder") + "/";
    EXPECT_FALSE(SaveOptions(g));
    // Each failed save warned once.
    ASSERT_EQ(ui.boxes.size(), 3u);
    for (const RecordingUi::Box& box : ui.boxes) EXPECT_EQ(box.text + box.caption, Gb("保存结果文件不成功！！！警告"));
}

}  // namespace
}  // namespace jq
