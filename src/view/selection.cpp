#include "view/selection.h"

namespace jq {

void ClearSelection(GameState& g) {
    if (IsValidPiece(g.selectedPiece)) g.ui->SetPieceVisible(g.selectedPiece, g.pieces[g.selectedPiece].alive == 1);
    g.selectedPiece = kNoPiece;
}

void SelectPiece(GameState& g, int piece) {
    g.selectedPiece = piece;
    g.selectionBlink = 0;
}

void TickSelectionBlink(GameState& g) {
    if (!IsValidPiece(g.selectedPiece)) return;
    ++g.selectionBlink;
    g.ui->SetPieceVisible(g.selectedPiece, g.selectionBlink > 2);
    if (g.selectionBlink > 18) g.selectionBlink = 0;
}

}  // namespace jq
