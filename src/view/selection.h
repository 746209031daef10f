// The selected piece: at most one piece, the one the player has picked to
// move (or, while deploying, to exchange). It blinks while it is selected.
#pragma once

#include "core/qipan.h"

namespace jq {

// The selected piece's image is shown again if the piece is alive (hidden
// otherwise), and nothing is selected any more. The blink counter is left
// as it is; the next selection restarts it.
void ClearSelection(GameState& g);

// Selects `piece` and restarts its blink.
void SelectPiece(GameState& g, int piece);

// One tick of the main timer (every 32 ms): while a piece is selected its
// image is hidden for 2 ticks in every 19.
void TickSelectionBlink(GameState& g);

}  // namespace jq
