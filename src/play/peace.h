// The player's ways out of a battle: offering peace, giving up, leaving the
// program. Each asks first in the program's own message box.
#pragma once

#include "core/qipan.h"

namespace jq {

// "祈求和平": against the computer, peace is granted when seats 0 and 2 have
// at least two live pieces more than seats 1 and 3 (the battle ends as a
// draw at the next tick); otherwise one of the other seats refuses. In a LAN
// battle the offer goes to the host's vote, at most three times.
void OfferPeace(GameState& g);

// "缴械投降": the seat to move gives up and is taken off the board (in a LAN
// battle when the host relays the step back).
// On a LAN host the battle goes on while either question is open, and what
// is confirmed after the turn has passed is not sent; elsewhere the game
// waits for the answer.
void GiveUp(GameState& g);

// "退  出": stops the computer player and closes the main window; the host
// of a running LAN battle is asked first.
void ExitProgram(GameState& g);

}  // namespace jq
