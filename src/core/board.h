// The board: 129 points with their kinds, picture positions, railway links
// and lines, and the lookups between grid points, points and pieces.
#pragma once

#include <array>
#include <cstdint>

#include "core/types.h"

namespace jq {

// The constant tables of the board, built once and never changed afterwards.
struct BoardTables {
    GridPoint railLinks[kPointSlots][4] = {};   // (0,0) = no link; real links first
    GridPoint railLines[4][15] = {};            // first 10 of each line used
    BoardPoint boardPoints[kPointSlots] = {};   // 129 used
    int32_t pointAtGrid[kGridCells][kGridCells] = {};  // [x-12][y-12], -1 = no point
    int32_t deploySlotLinks[kPiecesPerSeat][3] = {};  // -2 = none
};

// Fills every table (deploy slot links, rail links, rail lines, points, grid).
void BuildBoardTables(BoardTables& t);
// The tables, built once for the process. They are constant, so every game
// and thread may share them.
const BoardTables& Board();

// Point index at grid (x, y), or -1.
int PointIndexAt(const BoardTables& t, int x, int y);
// First live piece of the table standing on (x, y), or -2.
int PieceAtPoint(int x, int y, const PieceTable& pieces);

// Piece index per grid cell [x-12][y-12], -2 = empty.
struct PieceGrid {
    int32_t cell[kGridCells][kGridCells] = {};
    // Every cell -2, then each live piece's index at its point.
    void Fill(const PieceTable& pieces);
    // Content at (x, y): a piece index, -2 empty, or -1 off the grid.
    int At(int x, int y) const;
};

// Content of the grid board at (x, y): a piece index, -2 for an empty cell,
// -1 off the grid. Callers testing for "empty" compare with -2.
inline int PieceAtGridCell(const PieceGrid& grid, int x, int y) { return grid.At(x, y); }

// Turns a grid point by `turns` quarter turns as the view turns:
// (x, y) -> (y, 40 - x) per turn.
GridPoint TurnGridPoint(GridPoint p, int turns);
// Seat area map: seat 0's point (x, y) as seen in seat s's area.
GridPoint SeatMap(GridPoint p, int seat);

}  // namespace jq
