// The moves of a seat on a board that differs from a board whose moves are
// known in a few points only.
//
// What a piece may do depends on its own point and on which pieces stand on
// the points its moves can pass or reach: its 3 x 3 window, its railway
// neighbours, the rows, columns and corner lines through a railway point,
// and for an engineer the railway it can reach through empty points with
// what borders it. When no point of that set changed, its moves on the new
// board are those it had, in the same order; only the other pieces are
// generated again. The result is exactly what GenerateMoves lists.
#pragma once

#include <bitset>
#include <cstdint>

#include "ai/movegen.h"
#include "core/board.h"
#include "core/types.h"

namespace jq {

struct AiWorkspace;

// The moves of one seat on one board, with what each piece's moves depend on.
struct SeatMoves {
    bool valid = false;
    int32_t seat = 0;
    PieceGrid grid;                      // who stood where
    int32_t x[kPiecesPerSeat] = {};      // the seat's pieces as they stood
    int32_t y[kPiecesPerSeat] = {};
    int32_t alive[kPiecesPerSeat] = {};
    int32_t code[kPiecesPerSeat] = {};
    int32_t blockStart[kPiecesPerSeat] = {};
    int32_t blockCount[kPiecesPerSeat] = {};
    std::bitset<kPointSlots> dependsOn[kPiecesPerSeat];
    MoveCand list[kMoveListCapacity];
    int32_t count = 0;
};

// Lists the seat's moves on `board` with GenerateMoves and keeps them as a
// base for later derivations.
void BuildSeatMoves(AiWorkspace& w, const PieceTable& board, int seat, SeatMoves& out);

// Keeps moves already listed for the seat on `board` (as GenerateMoves
// listed them) as a base.
void KeepSeatMoves(AiWorkspace& w, const PieceTable& board, int seat, const MoveCand* list, int count,
                   SeatMoves& out);

// The moves of an engineer standing on a railway point with an empty
// railway neighbour, listed from its railway reach (the same moves
// GenerateMoves lists for it, in the same order); -1 for any other piece.
int EngineerRailwayMoves(AiWorkspace& w, const PieceTable& board, int piece, MoveCand* out, int room);

// The seat's moves on `board`, derived from `base`, written to `out` (room
// for kMoveListCapacity); returns their number.
int DeriveSeatMoves(AiWorkspace& w, const SeatMoves& base, const PieceTable& board, MoveCand* out);

}  // namespace jq
