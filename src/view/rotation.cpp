#include "view/rotation.h"

#include "core/text.h"
#include "view/selection.h"

namespace jq {

namespace {

template <class Step>
bool IsSpecialStep(const Step& s) {
    return IsGiveUpMove(s) || IsTimeoutMove(s);
}

// Record i of the turned table is the record of piece i + 25 before.
void PassPiecesDown(GameState& g) {
    const PieceTable old = g.pieces;
    bool visible[kPieceCount];
    for (int i = 0; i < kPieceCount; ++i) visible[i] = g.ui->PieceVisible(i);
    for (int i = 0; i < kPieceCount; ++i) {
        const int from = (i + kPiecesPerSeat) % kPieceCount;
        const PieceRec& o = old[from];
        PieceRec& r = g.pieces[i];
        r.x = o.x;
        r.y = o.y;
        r.startX = o.startX;
        r.startY = o.startY;
        r.code = o.code;
        r.alive = o.alive;
        // The observer rows are by seat too: the new seat s observed as the
        // old seat s + 1 did.
        for (int obs = 0; obs < kSeats; ++obs)
            for (int c = 0; c < 12; ++c) r.beliefs[obs][c] = o.beliefs[(obs + 1) % kSeats][c];
        g.ui->SetPieceVisible(i, visible[from]);
    }
}

void TurnPiecePoints(GameState& g) {
    for (int i = 0; i < kPieceCount; ++i) {
        PieceRec& r = g.pieces[i];
        const GridPoint p = TurnPoint({r.x, r.y});
        const GridPoint s = TurnPoint({r.startX, r.startY});
        r.x = p.x;
        r.y = p.y;
        r.startX = s.x;
        r.startY = s.y;
        // A turned board point is a board point; a record that never stood
        // on the board (before the first battle) keeps its image where it is.
        if (PointIndexAt(*g.board, p.x, p.y) >= 0) g.ui->PlacePiece(i);
    }
}

void TurnMoveHistory(GameState& g) {
    for (int i = 0; i < kMaxSteps; ++i) {
        MoveRec& m = g.moveHistory[i];
        if (m.fromX == 0 || IsSpecialStep(m)) continue;
        const GridPoint f = TurnPoint({m.fromX, m.fromY});
        const GridPoint t = TurnPoint({m.toX, m.toY});
        m = MoveRec{f.x, f.y, t.x, t.y};
    }
}

void TurnEliminatedPieces(GameState& g) {
    int8_t old[kSeats][30];
    for (int s = 0; s < kSeats; ++s)
        for (int k = 0; k < 30; ++k) old[s][k] = g.eliminatedPieces[s][k];
    for (int s = 0; s < kSeats; ++s)
        for (int k = 0; k < 30; ++k) {
            const int b = old[(s + 1) % kSeats][k];
            g.eliminatedPieces[s][k] = static_cast<int8_t>(b >= 0 ? TurnPieceIndex(b) : b);
        }
}

}  // namespace

GridPoint TurnPoint(GridPoint p) { return GridPoint{p.y, 40 - p.x}; }

int TurnPieceIndex(int piece) {
    if (piece < 0) return piece;
    const int p = piece - kPiecesPerSeat;
    return p < 0 ? p + kPieceCount : p;
}

int TurnSeat(int seat) {
    const int s = seat - 1;
    if (s > 3) return 0;
    if (s < 0) return 3;
    return s;
}

void RotateStepRecords(GameState& g) {
    for (int i = 0; i < kMaxSteps; ++i) {
        StepRec& r = g.stepRecords[i];
        if (r.fromX == 0) continue;
        if (IsSpecialStep(r)) {
            r.outcome = TurnSeat(r.outcome);
            continue;
        }
        const GridPoint f = TurnPoint({r.fromX, r.fromY});
        const GridPoint t = TurnPoint({r.toX, r.toY});
        r.fromX = f.x;
        r.fromY = f.y;
        r.toX = t.x;
        r.toY = t.y;
        r.mover = TurnPieceIndex(r.mover);
        r.target = TurnPieceIndex(r.target);
    }
}

void RotateView(GameState& g) {
    ClearSelection(g);
    ++g.myNetSeat;
    PassPiecesDown(g);
    TurnPiecePoints(g);
    g.ui->RedrawPieces();
    g.ui->HideArrows();

    std::string labels[kSeats];
    for (int s = 0; s < kSeats; ++s) labels[s] = g.ui->SeatLabel(s);
    for (int s = 0; s < kSeats; ++s) g.ui->SetSeatLabel(s, labels[(s + 1) % kSeats]);

    TurnMoveHistory(g);
    RotateStepRecords(g);
    TurnEliminatedPieces(g);
    for (int s = 0; s < kSeats; ++s) g.seatNames[s] = labels[(s + 1) % kSeats];
    g.deployedPieces = g.pieces;
    g.curSeat = TurnSeat(g.curSeat);
}

std::string ViewOtherCaption(const GameState& g) {
    return g.viewOtherFormations == 0 ? Gb("看别人棋") : Gb("不看棋了");
}

std::string ToggleViewOtherFormations(GameState& g) {
    g.viewOtherFormations = g.viewOtherFormations == 0 ? 1 : 0;
    g.ui->RedrawPieces();
    return ViewOtherCaption(g);
}

}  // namespace jq
