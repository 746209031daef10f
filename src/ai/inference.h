// What the seats learn about hidden pieces from the steps they see.
//
// Every piece carries, for each observing seat, twelve weights in percent
// (index code-1) that it has that code. A seat knows its own codes; who met
// whom, the result and the removals are seen by everyone; a dead commander
// shows where its seat's flag stands; a piece that moves is neither flag nor
// mine; a step an ordinary piece cannot make shows an engineer.
#pragma once

#include "core/board.h"
#include "core/pathfind.h"
#include "core/types.h"

namespace jq {

struct GameState;

// Type masks: 12 characters for codes 1..12, '1' keeps the code possible,
// anything else rules it out; a "-000" tail that is never read.
extern const char* const kMaskIsCommander;     // "000100000000-000"
extern const char* const kMaskNotCommander;    // "111011111111-000"
extern const char* const kMaskIsFlag;          // "100000000000-000"
extern const char* const kMaskNotFlag;         // "011111111111-000"
extern const char* const kMaskIsBomb;          // "001000000000-000"
extern const char* const kMaskHasMoved;        // "001111111111-000"
extern const char* const kMaskIsEngineer;      // "000000000001-000"

// For a piece of code c (row c-1) that took part in a combat with its own
// result r (column r+1: lose, tie, win): the codes its opponent may have.
// nullptr for a code outside 1..12 or a result outside -1..1.
const char* CombatMask(int code, int result);

// What the update reads and writes besides the table.
struct BeliefContext {
    const BoardTables* board = nullptr;
    // [slot][code-1 on the slot][link][code-1 on the linked slot], percent.
    const float (*slotCorrelation)[12][3][12] = nullptr;
    PathWork* pathWork = nullptr;  // the engineer test's path finder
    PathBuffer* path = nullptr;    // ... and its output
    MoveRec* move = nullptr;       // takes the step's from and to points
};

// Applies one executed (or simulated) step to the beliefs held in `table`.
// A give-up or time-out step (mover -2) changes no belief. Moves no piece
// and changes no alive flag.
void UpdateInferenceAfterMove(BeliefContext& ctx, StepRec record, PieceTable& table);
// The same for the game's table on the main thread, with the game's move
// fields, slot statistics and path finder.
void UpdateInferenceAfterMove(GameState& g, StepRec record, PieceTable& table);

// Narrows `own` (one piece's row) by the result its opponent had against it:
// `other` is the opponent's row as the same observer sees it, `result` the
// opponent's own result (-1, 0, 1; anything else changes nothing). The
// table is renormalised before and after. A product that sums to nothing
// leaves `own` as it was.
void UpdateBeliefsByCombat(const float* other, float* own, int result, PieceTable& table);

// Narrows the row of `observer` about `piece` by a type mask, unless that
// would leave 0.01 or less of it; then renormalises the table.
void ApplyTypeMask(int piece, int observer, const char* mask, PieceTable& table);

// Spreads the row of `observer` about `piece` into the same observer's rows
// of the pieces that started on the linked deployment slots.
void PropagateSlotBeliefs(const BeliefContext& ctx, int observer, int piece, PieceTable& table);

// a[j] becomes the larger of a[j] and b[j], or 0 when either is 0.
void MergeBeliefVectors(float a[12], const float b[12]);

// Scales v to a sum of 100; a sum below 0.001 counts as 1.
void NormalizeBeliefs(float v[12]);

}  // namespace jq
