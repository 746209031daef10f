#include "view/selection.h"

namespace jq {

void ClearSelection(GameState& g) {
    if (IsValidPiece(g.selectedPiece)) g.ui->SetPieceVisible(g.selectedPiece, g.pieces[g.selectedPiece].alive == 1);
    g.selectedPiece = kNoPiece;
}

}  // namespace jq
