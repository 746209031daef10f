// The upper levels' scoring ("中级", "高级"): every candidate of the seat to
// move is valued by its immediate adjustments plus the change it brings to a
// four-seat greedy playout, weighted by the chances of the combat outcomes
// when it attacks.
#pragma once

#include "ai/workspace.h"

namespace jq {

// Weights of the playout value per seat, in the order me+1, me+2, me+3, me;
// the two enemies count against me.
extern const double kPlayoutSeatWeights[4];

// The playout reads and changes only the thinking seat's belief rows of its
// scratch table, so it narrows and renormalises those rows alone; for them
// the result is that of UpdateBeliefsByCombat and NormalisePieceStatRows.
void NormaliseObserverRows(PieceTable& table, int observer);
void NarrowByCombat(const float* other, float* own, int result, PieceTable& table, int observer);

// The immediate adjustments of `move` as the viewer judges them: giving away
// a likely mine or a hidden engineer, the kind of point entered, and leaving
// the approach of a believed flag. `beliefs` is the mover's belief row after
// the move, as the caller wants it revised: the mine weight is cleared, and
// a step only an engineer can make leaves 100 on the engineer. The result is
// also stored in move.score. The table is not changed (the path buffers of
// the workspace are).
float ImmediateMoveValue(AiWorkspace& w, int viewer, const PieceTable& table, MoveCand& move, float beliefs[12]);

// One greedy step of `seat` on `board`, judged through the viewer's beliefs:
// each attack is valued by its expected gain less the best counter-attack on
// the piece that made it; the best move is played on the board in place (a
// capture with less than an even chance is played as an exchange). Returns
// the chosen step's score; 0 and the board untouched for a seat without a
// move.
double SeatPositionValue(AiWorkspace& w, int viewer, int seat, PieceTable& board);

// The four seats' greedy steps played in turn on `board` (me+1, me+2, me+3,
// me), weighted into one value for me.
double PlayoutValue(AiWorkspace& w, int me, PieceTable& board);

// Scores the first `count` candidates of `list` for seat me on `table` (the
// caller clears the records past them). Each score is the immediate value
// plus the change of the playout value, over the outcomes of an attack
// weighted by their chances; a positive score falls to 0 when the mover's
// chance of coming through is below the caution level for its rank. Returns
// false, leaving later candidates at 0, when a stop was asked for.
bool EvaluateMovesExpected(AiWorkspace& w, int me, int count, MoveCand* list, const PieceTable& table);

// The caution level of a mover of `code`: a move whose mover keeps its
// piece with a smaller chance loses a positive score.
double CautionThreshold(const AiWorkspace& w, int code);

}  // namespace jq
