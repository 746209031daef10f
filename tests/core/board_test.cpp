#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
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

}  // namespace
}  // namespace jq
