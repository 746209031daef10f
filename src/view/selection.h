// The selected piece.
#pragma once

#include "core/qipan.h"

namespace jq {

// The selected piece's image is shown again if the piece is alive (hidden
// otherwise), and nothing is selected any more.
void ClearSelection(GameState& g);

}  // namespace jq
