#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "core/board.h"
#include "core/combat.h"
#include "core/pathfind.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/recording_ui.h"
#include "view/selection.h"

namespace jq {
namespace {

using test::RecordingUi;

std::vector<GridPoint> LinksOf(const BoardTables& t, int p) {
    std::vector<GridPoint> out;
    for (const GridPoint& l : t.railLinks[p])
        if (!(l.x == 0 && l.y == 0)) out.push_back(l);
    return out;
}

bool Has(const std::vector<GridPoint>& v, GridPoint g) { return std::find(v.begin(), v.end(), g) != v.end(); }

TEST(BoardGeometry, PointIndexAndPointRecords) {
    const BoardTables& t = Board();
    const int rows[][3] = {{20, 20, 124}, {18, 17, 0},  {23, 18, 30},  {22, 23, 60},      {17, 22, 90},
                           {19, 12, 21},  {12, 19, 113}, {19, 19, -1}, {12, 12, -1},      {28, 28, -1},
                           {11, 20, -1},  {29, 20, -1},  {20, 11, -1}, {20, 29, -1},      {INT_MIN, 20, -1},
                           {20, INT_MAX, -1}};
    for (const auto& r : rows) EXPECT_EQ(PointIndexAt(t, r[0], r[1]), r[2]) << r[0] << "," << r[1];
    // One point of each seat's turned area and the centre, pixels included.
    const std::pair<int, BoardPoint> points[] = {
        {0, {18, 17, 201, 359, kRailway}},   {30, {23, 18, 355, 325, kRailway}}, {60, {22, 23, 321, 171, kRailway}},
        {90, {17, 22, 167, 205, kRailway}},  {124, {20, 20, 261, 265, kRailway}}, {51, {28, 19, 505, 295, kHeadquarters}},
        {57, {25, 20, 415, 265, kCamp}},     {66, {20, 24, 261, 141, kRoad}},
    };
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
    pieces[40] = {20, 20, 0, 0, 6, 1};
    pieces[70] = {20, 20, 0, 0, 7, 2};
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), 40);
    pieces[40].alive = 0;
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), -2);
    pieces[0] = {18, 17, 18, 17, 4, 1};
    pieces[99] = {28, 20, 28, 20, 9, 1};
    PieceGrid grid;
    grid.Fill(pieces);
    EXPECT_EQ(std::pair(grid.At(18, 17), grid.At(28, 20)), std::pair(0, 99));
    EXPECT_EQ(grid.At(20, 20), -2);
    EXPECT_EQ(PieceAtGridCell(grid, 12, 12), -2);  // no point, yet on the grid
    for (GridPoint off : {GridPoint{29, 20}, GridPoint{20, 11}, GridPoint{INT_MIN, INT_MIN}}) EXPECT_EQ(grid.At(off.x, off.y), -1);

    // A live piece of a damaged record just off each edge, and far off:
    // neighbouring grids catch a write past either end.
    const GridPoint offBoard[] = {{11, 28}, {29, 12}, {20, 11}, {20, 29}, {11, 11}, {29, 29}, {40, -5}, {-5, 40}};
    for (GridPoint at : offBoard) {
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
    const std::string badEnd = Gb("不可思意的起点或终点！") + std::string(10, ' ');
    EXPECT_EQ(first.messages, std::vector<std::string>{Gb("2.工兵起始位置不可思议！")});
    EXPECT_EQ(second.messages, std::vector<std::string>{badEnd});
    // The computer player's own work areas tell nothing.
    PathWork quiet(Board());
    EXPECT_EQ(FindMovePath(quiet, 0, 19, 19, 18, 22, g.path, g.pieces, nullptr), -1);
    EXPECT_EQ(CheckStepBlocked(quiet, 18, 17, 19, 18, g.path, 0, g.pieces), 1);
    EXPECT_EQ(first.messages.size() + second.messages.size(), 2u);
    EXPECT_FALSE(first.cancelAsked || second.cancelAsked);
}

TEST(Selection, BlinkHidesTwoTicksInNineteenAndClearingShowsThePieceAgain) {
    GameState g;
    RecordingUi ui;
    g.ui = &ui;
    g.pieces[7] = {20, 16, 20, 16, kPlatoon, 1};
    SelectPiece(g, 7);
    std::string blink;
    for (int tick = 0; tick < 38; ++tick) TickSelectionBlink(g), blink += ui.PieceVisible(7) ? '+' : '-';
    EXPECT_EQ(blink, "--+++++++++++++++++--+++++++++++++++++");
    ClearSelection(g);
    EXPECT_EQ(ui.shown.back(), (RecordingUi::Shown{7, true}));
}

TEST(Text, WrittenInCodePage936) {
    const std::pair<const char*, std::string> rows[] = {
        {"a\xF0\x9F\x98\x80" "b", "a?b"},            // an emoji
        {"x\xE3\x90\x80\xF0\x9F\x98\x80y", "x??y"},  // U+3400 (four bytes in GB18030), then an emoji
        {"\xFF" "a", "?a"},                          // not UTF-8
        {"\xE5\xBC", "?"},                           // cut-off sequence at the end
    };
    for (const auto& [utf8, bytes] : rows) EXPECT_EQ(Gb(utf8), bytes) << utf8;
    EXPECT_EQ(Utf8FromGb("\x81\x39\xEE\x39"), "\xE3\x90\x80");  // reading still accepts GB18030
}

}  // namespace
}  // namespace jq
