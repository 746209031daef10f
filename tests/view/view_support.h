// The view tests' army, laid out directly on the board, and the recorder
// as they start from.
#pragma once

#include "core/gameui.h"
#include "core/qipan.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq::testing {

// Codes by deployment slot: flag in a headquarters (21), mines in the last
// two rows (15, 18, 22), bombs behind the front row (8, 14).
constexpr int kLegalFormation[25] = {5,  6, 7,  8,  9,  10, 12, 11, 3,  12, 10, 6,  7,
                                     8,  3, 2,  4,  9,  2,  10, 11, 1,  2,  12, 11};

// Every seat deployed with kLegalFormation on its own points, all alive.
inline void LayOutBattle(GameState& g) {
    test::DeployArmy(g.pieces, kLegalFormation);
    g.selectedPiece = kNoPiece;
    g.curSeat = 0;
    g.stepCount = 0;
    for (auto& row : g.eliminatedPieces)
        for (auto& b : row) b = kNoPiece;
}

using test::PieceOf;

// The shared recorder with every image shown and the seats labelled.
class RecordingUi : public test::RecordingUi {
public:
    RecordingUi() { ShowEverything(); }
};

}  // namespace jq::testing
