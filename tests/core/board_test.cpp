#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <vector>

#include "core/board.h"

namespace jq {
namespace {

std::vector<GridPoint> LinksOf(const BoardTables& t, int p) {
    std::vector<GridPoint> out;
    for (const GridPoint& l : t.railLinks[p])
        if (!(l.x == 0 && l.y == 0)) out.push_back(l);
    return out;
}

bool SameSet(std::vector<GridPoint> a, std::vector<GridPoint> b) {
    auto less = [](const GridPoint& u, const GridPoint& v) {
        return u.x != v.x ? u.x < v.x : u.y < v.y;
    };
    std::sort(a.begin(), a.end(), less);
    std::sort(b.begin(), b.end(), less);
    return a == b;
}

TEST(BoardGeometry, PointIndexAtKnownPointsAndHoles) {
    const BoardTables& t = Board();
    struct Row {
        int x, y, index;
    };
    const Row rows[] = {
        {20, 20, 124}, {18, 17, 0},   {23, 18, 30},  {22, 23, 60}, {17, 22, 90},
        {19, 12, 21},  {18, 27, 79},  {28, 21, 53},  {12, 19, 113},
        // On the grid but no point: between centre points, grid corners.
        {19, 19, -1},  {20, 21, -1},  {12, 12, -1},  {28, 28, -1}, {17, 17, -1},
        // Off the grid.
        {11, 20, -1},  {29, 20, -1},  {20, 11, -1},  {20, 29, -1}, {0, 0, -1},
        {INT_MIN, 20, -1}, {20, INT_MAX, -1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PointIndexAt(t, r.x, r.y), r.index) << "(" << r.x << "," << r.y << ")";
}

TEST(BoardGeometry, PointRecordsOfEverySeat) {
    const BoardTables& t = Board();
    struct Row {
        int index;
        BoardPoint point;
    };
    const Row rows[] = {
        {0, {18, 17, 201, 359, kRailway}},
        {124, {20, 20, 261, 265, kRailway}},
        {120, {18, 22, 201, 206, kRailway}},
        {30, {23, 18, 355, 325, kRailway}},
        {60, {22, 23, 321, 171, kRailway}},
        {90, {17, 22, 167, 205, kRailway}},
        {21, {19, 12, 231, 509, kHeadquarters}},
        {51, {28, 19, 505, 295, kHeadquarters}},
        {53, {28, 21, 505, 235, kHeadquarters}},
        {81, {21, 28, 291, 21, kHeadquarters}},
        {113, {12, 19, 17, 295, kHeadquarters}},
        {57, {25, 20, 415, 265, kCamp}},
        {66, {20, 24, 261, 141, kRoad}},
    };
    for (const Row& r : rows) EXPECT_EQ(t.boardPoints[r.index], r.point) << "point " << r.index;
    for (int p = kPointCount; p < kPointSlots; ++p) EXPECT_EQ(t.boardPoints[p], BoardPoint{});
}

TEST(BoardGeometry, PixelsFollowTheGridAcrossAllSeats) {
    // Points of one grid column share their pixel x (and one row its pixel
    // y) to within a pixel over the whole board; x grows right, y grows up
    // while pixel y grows down.
    const BoardTables& t = Board();
    std::map<int, std::pair<int, int>> column, row;  // grid -> (min, max) pixel
    auto widen = [](std::map<int, std::pair<int, int>>& m, int g, int px) {
        auto [it, fresh] = m.emplace(g, std::make_pair(px, px));
        it->second.first = std::min(it->second.first, px);
        it->second.second = std::max(it->second.second, px);
    };
    for (int p = 0; p < kPointCount; ++p) {
        widen(column, t.boardPoints[p].gridX, t.boardPoints[p].pixelX);
        widen(row, t.boardPoints[p].gridY, t.boardPoints[p].pixelY);
    }
    ASSERT_EQ(column.size(), 17u);
    ASSERT_EQ(row.size(), 17u);
    int prevX = -1, prevY = INT_MAX;
    for (auto [x, range] : column) {
        EXPECT_LE(range.second - range.first, 1) << "x " << x;
        EXPECT_GT(range.first, prevX) << "x " << x;
        prevX = range.second;
    }
    for (auto [y, range] : row) {
        EXPECT_LE(range.second - range.first, 1) << "y " << y;
        EXPECT_LT(range.second, prevY) << "y " << y;
        prevY = range.first;
    }
    // Inside a seat area neighbouring points lie 29 to 31 pixels apart.
    for (int a = 12; a < 28; ++a) {
        if (a >= 17 && a < 23) continue;  // the centre and its edges
        const int d = column[a + 1].first - column[a].first;
        EXPECT_TRUE(d >= 29 && d <= 31) << "x " << a << " step " << d;
        const int e = row[a].first - row[a + 1].first;
        EXPECT_TRUE(e >= 29 && e <= 31) << "y " << a << " step " << e;
    }
}

TEST(BoardGeometry, KindCountsAndRailLinkCounts) {
    const BoardTables& t = Board();
    int kinds[4] = {};
    int withLinks[5] = {};
    for (int p = 0; p < kPointCount; ++p) {
        const int kind = t.boardPoints[p].kind;
        ASSERT_TRUE(kind >= 0 && kind <= 3);
        ++kinds[kind];
        const auto links = LinksOf(t, p);
        ++withLinks[links.size()];
        EXPECT_EQ(kind == kRailway, links.size() >= 2) << "point " << p;
        EXPECT_EQ(kind != kRailway, links.empty()) << "point " << p;
        // Real links come first, the empty pairs after them.
        for (size_t j = links.size(); j < 4; ++j) EXPECT_EQ(t.railLinks[p][j], GridPoint{});
    }
    EXPECT_EQ(kinds[kHeadquarters], 8);
    EXPECT_EQ(kinds[kCamp], 20);
    EXPECT_EQ(kinds[kRailway], 73);
    EXPECT_EQ(kinds[kRoad], 28);
    EXPECT_EQ(withLinks[2], 52);
    EXPECT_EQ(withLinks[3], 4);
    EXPECT_EQ(withLinks[4], 17);
    for (int p = kPointCount; p < kPointSlots; ++p) EXPECT_TRUE(LinksOf(t, p).empty());
}

TEST(BoardGeometry, RailLinksAreSymmetricBetweenRailwayPoints) {
    const BoardTables& t = Board();
    for (int p = 0; p < kPointCount; ++p) {
        const BoardPoint& b = t.boardPoints[p];
        std::set<std::pair<int, int>> seen;
        for (const GridPoint& l : LinksOf(t, p)) {
            const int q = PointIndexAt(t, l.x, l.y);
            ASSERT_GE(q, 0) << "point " << p << " links to no point";
            EXPECT_NE(q, p);
            EXPECT_TRUE(seen.insert({l.x, l.y}).second) << "duplicate link at " << p;
            EXPECT_EQ(t.boardPoints[q].kind, kRailway);
            // A link is one grid step, straight or (between seats) diagonal,
            // or two steps between neighbouring centre points.
            const int dx = std::abs(l.x - b.gridX), dy = std::abs(l.y - b.gridY);
            EXPECT_TRUE((dx <= 1 && dy <= 1) || (p >= 120 && q >= 120 && dx + dy == 2))
                << p << " -> " << q;
            const auto back = LinksOf(t, q);
            EXPECT_NE(std::find(back.begin(), back.end(), GridPoint{b.gridX, b.gridY}), back.end())
                << q << " does not link back to " << p;
        }
    }
}

TEST(BoardGeometry, RailLinkOrderOfTurnedAndCentrePoints) {
    const BoardTables& t = Board();
    const GridPoint p30[4] = {{22, 17}, {22, 18}, {24, 18}, {23, 19}};
    const GridPoint p124[4] = {{18, 20}, {22, 20}, {20, 22}, {20, 18}};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(t.railLinks[30][j], p30[j]) << j;
        EXPECT_EQ(t.railLinks[124][j], p124[j]) << j;
    }
}

TEST(BoardGeometry, RailLinesTurnTheCornerBetweenSeats) {
    const BoardTables& t = Board();
    const int side[5] = {19, 14, 11, 7, 4};
    const int front[5] = {0, 5, 8, 12, 15};
    for (int l = 0; l < 4; ++l) {
        for (int i = 0; i < 10; ++i) {
            const GridPoint g = t.railLines[l][i];
            const int expected = i < 5 ? l * 30 + side[i] : ((l + 1) % 4) * 30 + front[i - 5];
            EXPECT_EQ(PointIndexAt(t, g.x, g.y), expected) << "line " << l << " point " << i;
            if (i > 0) {
                const auto links = LinksOf(t, PointIndexAt(t, g.x, g.y));
                EXPECT_NE(std::find(links.begin(), links.end(), t.railLines[l][i - 1]),
                          links.end())
                    << "line " << l << " breaks at " << i;
            }
        }
        for (int i = 10; i < 15; ++i) EXPECT_EQ(t.railLines[l][i], GridPoint{});
    }
}

TEST(BoardGeometry, PointAtGridMatchesThePoints) {
    const BoardTables& t = Board();
    int used = 0;
    for (int cx = 0; cx < kGridCells; ++cx) {
        for (int cy = 0; cy < kGridCells; ++cy) {
            const int p = t.pointAtGrid[cx][cy];
            if (cx > 16 || cy > 16) {
                EXPECT_EQ(p, -1) << cx << "," << cy;
                continue;
            }
            if (p == -1) continue;
            ASSERT_TRUE(p >= 0 && p < kPointCount);
            ++used;
            EXPECT_EQ(t.boardPoints[p].gridX, cx + kGridMin);
            EXPECT_EQ(t.boardPoints[p].gridY, cy + kGridMin);
        }
    }
    EXPECT_EQ(used, kPointCount);
    // Each seat's 30 points lie in its own quarter-turned area.
    for (int p = 0; p < 120; ++p) {
        const GridPoint home = TurnGridPoint({t.boardPoints[p].gridX, t.boardPoints[p].gridY},
                                             p / 30);
        EXPECT_TRUE(home.x >= 18 && home.x <= 22 && home.y >= 12 && home.y <= 17) << p;
    }
}

TEST(BoardGeometry, QuarterTurnsMapTheBoardOntoItself) {
    const BoardTables& t = Board();
    for (int p = 0; p < kPointCount; ++p) {
        const GridPoint g{t.boardPoints[p].gridX, t.boardPoints[p].gridY};
        EXPECT_EQ(TurnGridPoint(g, 4), g);
        EXPECT_EQ(TurnGridPoint(g, -1), TurnGridPoint(g, 3));
        GridPoint r = g;
        for (int i = 0; i < 4; ++i) r = TurnGridPoint(r, 1);
        EXPECT_EQ(r, g);

        // A view turn moves seat s's point k to seat s-1's point k; the centre
        // stays the centre. Kinds and railway links turn along.
        const GridPoint turned = TurnGridPoint(g, 1);
        const int q = PointIndexAt(t, turned.x, turned.y);
        ASSERT_GE(q, 0) << "point " << p;
        if (p < 120) {
            EXPECT_EQ(q, ((p / 30 + 3) % 4) * 30 + p % 30);
        } else {
            EXPECT_GE(q, 120);
        }
        EXPECT_EQ(t.boardPoints[q].kind, t.boardPoints[p].kind);
        std::vector<GridPoint> turnedLinks;
        for (const GridPoint& l : LinksOf(t, p)) turnedLinks.push_back(TurnGridPoint(l, 1));
        EXPECT_TRUE(SameSet(turnedLinks, LinksOf(t, q))) << p << " -> " << q;
    }
}

TEST(BoardGeometry, SeatMapPlacesEachSeatsArea) {
    const BoardTables& t = Board();
    for (int s = 0; s < 4; ++s) {
        for (int k = 0; k < 30; ++k) {
            const GridPoint g = SeatMap({t.boardPoints[k].gridX, t.boardPoints[k].gridY}, s);
            EXPECT_EQ(PointIndexAt(t, g.x, g.y), s * 30 + k);
        }
    }
    EXPECT_EQ(SeatMap({18, 17}, 5), SeatMap({18, 17}, 1));
    EXPECT_EQ(SeatMap({18, 17}, -1), SeatMap({18, 17}, 3));
}

TEST(BoardGeometry, DeploySlotLinksJoinNeighbouringSlots) {
    const BoardTables& t = Board();
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        for (int j = 0; j < 3; ++j) {
            const int n = t.deploySlotLinks[k][j];
            if (n == -2) continue;
            ASSERT_TRUE(n >= 0 && n < kPiecesPerSeat) << k;
            const BoardPoint& a = t.boardPoints[k];
            const BoardPoint& b = t.boardPoints[n];
            EXPECT_EQ(std::abs(a.gridX - b.gridX) + std::abs(a.gridY - b.gridY), 1)
                << k << " -> " << n;
        }
    }
    // The two one-sided links.
    EXPECT_EQ(t.deploySlotLinks[13][0], 17);
    EXPECT_EQ(t.deploySlotLinks[14][1], 19);
    for (int j = 0; j < 3; ++j) EXPECT_NE(t.deploySlotLinks[17][j], 13);
    EXPECT_EQ(t.deploySlotLinks[19][0], 18);
    EXPECT_EQ(t.deploySlotLinks[19][1], 24);
    EXPECT_EQ(t.deploySlotLinks[19][2], -2);
    EXPECT_EQ(t.deploySlotLinks[18][2], 19);
}

TEST(BoardLookups, PieceAtPointTakesFirstLivePiece) {
    PieceTable pieces{};
    pieces[3] = {20, 20, 0, 0, 5, 0};  // taken off, still carries the point
    pieces[40] = {20, 20, 0, 0, 6, 1};
    pieces[70] = {20, 20, 0, 0, 7, 1};
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), 40);
    pieces[40].alive = 0;
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), 70);
    pieces[70].alive = 2;  // only exactly 1 counts as on the board
    EXPECT_EQ(PieceAtPoint(20, 20, pieces), -2);
    EXPECT_EQ(PieceAtPoint(18, 17, pieces), -2);
    // Before the first battle every piece sits at (0, 0) with alive 0.
    EXPECT_EQ(PieceAtPoint(0, 0, PieceTable{}), -2);
}

TEST(BoardLookups, PieceGridEmptyCellsAndOffGrid) {
    PieceTable pieces{};
    pieces[0] = {18, 17, 18, 17, 4, 1};
    pieces[1] = {19, 17, 19, 17, 4, 0};   // dead: not on the grid board
    pieces[2] = {40, -5, 0, 0, 4, 1};     // a damaged record off the grid
    pieces[99] = {12, 19, 12, 19, 9, 1};
    PieceGrid grid;
    grid.Fill(pieces);
    EXPECT_EQ(PieceAtGridCell(grid, 18, 17), 0);
    EXPECT_EQ(PieceAtGridCell(grid, 19, 17), -2);
    EXPECT_EQ(PieceAtGridCell(grid, 12, 19), 99);
    EXPECT_EQ(PieceAtGridCell(grid, 20, 20), -2);
    EXPECT_EQ(PieceAtGridCell(grid, 12, 12), -2);  // no point, yet on the grid
    EXPECT_EQ(PieceAtGridCell(grid, 29, 20), -1);
    EXPECT_EQ(PieceAtGridCell(grid, 20, 11), -1);
    EXPECT_EQ(PieceAtGridCell(grid, 40, -5), -1);
    EXPECT_EQ(PieceAtGridCell(grid, INT_MIN, INT_MIN), -1);
    int live = 0;
    for (int x = 12; x <= 28; ++x)
        for (int y = 12; y <= 28; ++y) live += grid.At(x, y) >= 0;
    EXPECT_EQ(live, 2);
}

}  // namespace
}  // namespace jq
