// The basic level's scoring: the immediate value of a move, the threat
// balance of a seat, the simulation of a move on a copy of the board and
// one greedy reply of a seat.
//
// A viewer is the thinking seat, whose belief rows are read; a seat is the
// one whose moves are valued (the viewer itself, or each seat in turn in the
// look-ahead).
#pragma once

#include "ai/workspace.h"

namespace jq {

// Squares around each headquarters (a square is a point index mod 30):
// row 0 around square 21, row 1 around square 23.
extern const int kApproachSquares[2][6];
bool InApproachRow(int row, int square);

// Which headquarters of `area` the viewer takes for the flag's, and how
// sure it is: in its own area the true one (certainty 100); elsewhere the
// one with the larger flag weight, square 23 on a tie. `area` is 0..3.
struct BelievedFlag {
    int row = 1;
    float weight = 0.0f;
};
BelievedFlag BelievedFlagRow(const PieceTable& table, int viewer, int area);

// The immediate value of `move` made by `seat`, seen through the viewer's
// beliefs: the expected combat value, penalties for giving away a mine or
// an engineer, the kind of point entered and the approach to the believed
// flag. A move into the centre gets no approach term.
float EvaluateMoveBasic(AiWorkspace& w, int viewer, int seat, const PieceTable& table, const MoveCand& move);

// Per piece of `seat` the best attack value above 1 plus the worst open
// exposure below -1, summed; 0 for a seat without a move.
float EvaluateThreatBalance(AiWorkspace& w, int viewer, int seat, const PieceTable& table);

// The threat balance over a list of the seat's moves on `table`, as
// GenerateMoves lists them.
float ThreatBalanceOfMoves(AiWorkspace& w, int viewer, int seat, const PieceTable& table, const MoveCand* list, int n);

// Makes `dst` the source with the move carried out. The result follows the
// sign of the move's score (a bomb always takes both pieces, a move onto an
// empty point is a plain move). With `record` set, the step record is kept
// and the beliefs in `dst` are updated. `src` and `dst` may be one table.
void ApplyMoveToCopy(AiWorkspace& w, const PieceTable& src, PieceTable& dst, const MoveCand& move, int record);

// The best immediate reply of `seat` on `board`, played on the board; its
// immediate value is returned (0 when the seat has no move). The seat's
// moves are derived from w.rootMoves[seat] when that holds the seat's
// moves on some board.
float SeatReplyValue(AiWorkspace& w, int me, int seat, PieceTable& board);

}  // namespace jq
