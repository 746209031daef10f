// Move legality and path finding on roads and railways.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/board.h"
#include "core/types.h"

namespace jq {

// Path directions of one step; also the cell of the arrow sprite.
enum PathDirection : int32_t {
    kDirNone = 0,
    kDirRight = 1,      // +x
    kDirRightDown = 2,  // +x -y
    kDirDown = 3,       // -y
    kDirLeftDown = 4,   // -x -y
    kDirLeft = 5,       // -x
    kDirLeftUp = 6,     // -x +y
    kDirUp = 7,         // +y
    kDirRightUp = 8,    // +x +y
};

// A path: the points a move passes, start first and target last.
struct PathBuffer {
    int32_t x[kPathCapacity] = {};
    int32_t y[kPathCapacity] = {};
    int32_t dirs[kPathCapacity] = {};
    int32_t length = 0;  // below 1: the move is not possible
};

// The work areas of the path finder. Each thread and each game owns one, so
// the path finder can run in several places at once. The railway links are
// a private copy of the board's: the engineer search reorders them by
// distance to its target before every search and keeps that order.
struct PathWork {
    explicit PathWork(const BoardTables& board);
    const BoardTables* board;
    GridPoint railLinks[kPointSlots][4];
    int32_t railSearchParent[kPointSlots] = {};
    int32_t railSearchLevel[kPointSlots] = {};
    int32_t railSearchNext[kPointSlots] = {};
    // Where the path finder's rare notices go (GB2312, a notice with "确定"
    // only); empty drops them. A game's own work areas hand them to its
    // window; the computer player's thread leaves this empty and never shows
    // a box.
    std::function<void(const std::string&)> notify;
};

// Occupancy source of a search: with a grid, the occupants come from it
// (the grid must match the table); without, from the table.
// FindMovePath: returns the number of points of the path (>= 2) with `out`
// filled (out.length is set to the result too), or -1 when the move is not
// possible.
int FindMovePath(PathWork& work, int piece, int x1, int y1, int x2, int y2, PathBuffer& out,
                 const PieceTable& table, const PieceGrid* grid);

// 1 when only an engineer's railway run can make the move, else 0. Always
// reads occupancy from the table. A railway run it finds stays in out.x and
// out.y; `length` is only its working copy, out.length is left alone.
int CheckStepBlocked(PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out, int length,
                     const PieceTable& table);

// Direction code of a step by the signs of dx and dy.
int StepDirection(int dx, int dy);

// A straight railway run along one row or column: every point of it a
// railway point, the points between empty; one missing cell between two
// points (the gaps of the centre) is passed over. Returns the number of
// points (>= 2) and sets `length` to it, or returns 0 and leaves `length`
// alone. The out.x/out.y cells of a refused attempt mean nothing.
int FindStraightRailPath(const PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out,
                         int& length, const PieceTable& table, const PieceGrid* grid);

// A run along one of the four corner railway lines, from one leg to the
// other, the points between empty. Same contract as FindStraightRailPath.
int FindRailLinePath(const PathWork& work, int x1, int y1, int x2, int y2, PathBuffer& out,
                     int& length, const PieceTable& table, const PieceGrid* grid);

// Orders the work copy of every point's railway links by squared distance
// to (x, y), nearest first. Links at equal distance keep the order the
// previous sorts left them in.
void SortRailLinksByDistance(PathWork& work, int x, int y);

// The engineer's breadth-first railway search from (x1, y1) to (x2, y2),
// reading occupancy from the table. The points between are empty railway
// points; the target may hold a piece. Returns the number of points
// (2..29) and sets `length` to it, or returns 0 (paths of 30 points or more
// are refused, with `length` set to 0).
int FindEngineerRailPath(PathWork& work, int& length, PathBuffer& out, int x1, int y1, int x2,
                         int y2, const PieceTable& table);

}  // namespace jq
