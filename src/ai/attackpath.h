// Attack paths: the cheapest way for one piece to reach a target point over
// several moves, and the pieces standing on such a path.
#pragma once

#include "ai/workspace.h"

namespace jq {

// The pieces standing on the points a sequence of moves passes (the start of
// each move left out, its end included), in path order: each move is traced
// on `pathTable`, its points are looked up on `lookupTable`. Returns the
// number found; only the first `capacity` are written to `list`, and
// `lastFound` (when given) receives the last one found (-2 none). A move
// that cannot be traced ends the walk with the result 0. Grids built from
// the two tables (no two live pieces on one point) may be given to spare
// the searches through them.
int CollectPathPieces(AiWorkspace& w, int32_t* list, int capacity, int moveCount, const MoveCand* moves,
                      const PieceTable& pathTable, const PieceTable& lookupTable, int* lastFound = nullptr,
                      const PieceGrid* pathGrid = nullptr, const PieceGrid* lookupGrid = nullptr);

// A search by cost levels for the cheapest path of `piece` from (x1, y1) to
// (x2, y2), moving with its legal moves on `pathTable`. A move costs 1, plus
// one for each piece of `lookupTable` standing on its way (the farthest one
// not counted when it is not of the mover's seat: that one is attacked),
// plus penalty[point entered]. Returns the number of moves written to
// `moves` (at most `capacity`), or 0: no path, a start that is no point, a
// start equal to the target, or a path of more than 20 moves. The piece's
// point and alive flag in `pathTable` are as before when it returns.
int FindAttackPath(AiWorkspace& w, int piece, MoveCand* moves, int capacity, int x1, int y1, int x2, int y2,
                   PieceTable& pathTable, const PieceTable& lookupTable, const int32_t penalty[kPointSlots]);

}  // namespace jq
