// Candidate moves: every legal move of one seat on a piece table, with the
// true combat outcome of each.
#pragma once

#include <cstdint>

#include "core/board.h"
#include "core/pathfind.h"
#include "core/types.h"

namespace jq {

// Room for every move a seat can ever have. A seat has at most 21 pieces
// that move (25 less the flag and three mines); an engineer can be offered
// at most 78 destinations (the other railway points and its neighbours),
// any other piece at most 27. 3 x 78 + 18 x 27 = 720.
constexpr int kMoveListCapacity = 720;

// The work areas of one caller of GenerateMoves. Each thread (and each
// search that must not disturb another's results) owns one, so generation
// can run in several places at once.
struct MoveGenWork {
    explicit MoveGenWork(const BoardTables& board = Board());

    const BoardTables* board;
    MoveCand list[kMoveListCapacity];
    int32_t count = 0;

    // The move tried last and its path.
    MoveRec move;
    PathBuffer path;
    PathWork pathWork;
    // Occupancy of the table generated from.
    PieceGrid grid;
    // Railway reach of the engineer examined last: per point the point it
    // is reached from, -2 unreached.
    int32_t railMarks[kPointCount] = {};
    int32_t frontier[kPointSlots] = {};
    int32_t nextFrontier[kPointSlots] = {};
};

// Lists the legal moves of `seat`'s pieces on `table` into
// work.list[0..count-1] and returns count. Words 0..6 of each record are
// written (mover, target or -2, from, to, combat outcome); the score words
// keep what they held. The outcome is judged on the codes of `codes` (the
// real piece table), whatever table the moves are made on. Order: pieces by
// index; a piece's neighbour steps in x-major 3 x 3 order, or its railway
// destinations by point index.
int GenerateMoves(MoveGenWork& work, const PieceTable& table, int seat, const PieceTable& codes);
inline int GenerateMoves(MoveGenWork& work, const PieceTable& table, int seat) {
    return GenerateMoves(work, table, seat, table);
}

// The railway reach of an engineer standing on a railway point: marks[q] is
// the point from which q is reached along empty railway points, -2 where the
// walk does not come; a point held by an enemy is marked (reached as an
// attack) but not passed. Returns the number of empty points reached. An
// engineer elsewhere: every mark -2, result 0. Not an engineer: result 0,
// marks untouched.
int FindEngineerRailTargets(MoveGenWork& work, const PieceTable& table, int piece, int32_t marks[kPointCount]);

// 1 when both grid points lie in the same quarter of the board, else 0.
// Quarters: 1 x >= 21, y >= 21; 2 x <= 20, y >= 21; 3 x <= 20, y <= 20;
// 4 x >= 21, y <= 20.
int IsSameQuadrant(int x1, int y1, int x2, int y2);

}  // namespace jq
