// Turning the view by one seat. The game state is held relative to the
// screen (seat 0 at the bottom, then 1 right, 2 top, 3 left), so a turn
// renumbers every seat: old seat s becomes s - 1 (mod 4), piece p becomes
// p - 25 (mod 100) and grid point (x, y) becomes (y, 40 - x).
#pragma once

#include "core/qipan.h"

namespace jq {

GridPoint TurnPoint(GridPoint p);
// A piece index turned by one seat; a negative index (none) stays.
int TurnPieceIndex(int piece);
// A seat turned by one seat: s - 1, with -1 becoming 3.
int TurnSeat(int seat);

// Turns the whole view by one seat: clears the selection, passes every
// piece's record (point, start point, code, alive, beliefs, with the
// observers' rows renumbered) and its image's visibility one seat down,
// places and redraws every image, hides the arrows, passes the seat labels
// down, turns the replay moves, the step records and the eliminated
// pieces, takes the seat names from the labels, copies the piece table
// into deployedPieces, turns curSeat and counts the turn in myNetSeat.
void RotateView(GameState& g);

// Turns the first 510 step records by one seat. Empty records (fromX 0)
// stay; surrender and time-out records keep their coordinates and get
// their seat turned; moves get both points and their piece indexes turned.
void RotateStepRecords(GameState& g);

// Shows or hides the other seats' pieces: toggles viewOtherFormations and
// redraws the pieces. Returns the caption of the button that does it
// ("不看棋了" while shown, "看别人棋" while hidden), GB2312.
std::string ToggleViewOtherFormations(GameState& g);
std::string ViewOtherCaption(const GameState& g);

}  // namespace jq
