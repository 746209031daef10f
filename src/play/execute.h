// Carrying out one decided turn: an ordinary move, a surrender or a time-out.
#pragma once

#include <string>

#include "core/qipan.h"

namespace jq {

// Result of ExecuteMove.
enum class MoveResult {
    kDone = 0,
    kRefused = 1,  // not a legal move in this position; nothing changed
};

// The pause after each intermediate square of an animated move.
constexpr int kStepPauseMs = 40;

// The one door for every move: hand input, the computer player, replay and
// relayed LAN moves. Coordinates are grid points; `outcome` is the combat
// outcome (1 for an empty target) or, for the special steps, the seat.
//
// All four coordinates 22: the seat to move gives up and is taken off the
// board whole. All four 255: the seat to move let its time run out (outcome
// is its time-out count). Otherwise an ordinary move, refused unless the
// mover is a live movable piece on (x1, y1), `toPiece` is what stands on
// (x2, y2) (-2 for an empty point) and a path exists, in every mode. Every
// call, a refused one too, clears the selection, hides the path arrows and
// restarts the move clock; a refused move changes no piece, record or turn,
// and a mover or point that does not exist at all is also told to the
// player. The outcome itself is taken as given.
MoveResult ExecuteMove(GameState& g, int fromPiece, int toPiece, int x1, int y1, int x2, int y2, int outcome);

// Whether ExecuteMove would carry out this ordinary move in the present
// position rather than refuse it: a live movable piece on (x1, y1), both
// points on the board, `toPiece` what stands on (x2, y2) and a path.
bool IsExecutableMove(GameState& g, int fromPiece, int toPiece, int x1, int y1, int x2, int y2);

// Takes a piece off the board (alive 0, hidden).
void RemovePiece(GameState& g, int piece);
// Takes every live piece of `seat` off the board, noting them in the seat's
// row of eliminatedPieces in ascending order.
void RemoveWholeSeat(GameState& g, int seat);

// Adds one to the step counter (held at 510) and shows it.
void AdvanceStepCount(GameState& g);

// No step made yet: step 0, every step record empty (the last one too) and
// no piece noted as taken off. The record of moves (moveHistory) stays.
void ClearBattleSteps(GameState& g);

// Passes the turn to the next seat in turn order that still has a live
// piece, at most four tries. A turn direction other than -1 counts as +1.
void PassTurn(GameState& g);

// Plays a sound of the working folder, only while sound is on and steps are
// carried out one at a time.
void PlayGameSound(GameState& g, const std::string& fileName);

// The text status panel 3 shows while nothing is to report (GB2312).
std::string IdleStatusText();

}  // namespace jq
