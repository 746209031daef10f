#include "view/input.h"

#include "core/combat.h"
#include "play/execute.h"
#include "view/deployment.h"
#include "view/selection.h"

namespace jq {

namespace {

constexpr int kNetOwnDeploymentSent = 24;

void PlaySelectSound(GameState& g) { PlayGameSound(g, "select.wav"); }

bool ReplayOpen(const GameState& g) { return g.replayFileName != "NONE" && g.battleRunning == 0; }

bool NoBattle(const GameState& g) { return g.battleRunning == 0 && g.deployPhase != 1; }

// The selection a move can start from: a live piece.
bool HasMovableSelection(const GameState& g) {
    return IsValidPiece(g.selectedPiece) && g.pieces[g.selectedPiece].alive == 1;
}

// Writes the move fields and searches the path of the selected piece to
// (tx, ty). Returns whether the move is possible.
bool SearchPath(GameState& g, int tx, int ty) {
    const PieceRec& r = g.pieces[g.selectedPiece];
    g.move = MoveRec{r.x, r.y, tx, ty};
    g.path.length = FindMovePath(g.pathWork, g.selectedPiece, g.move.fromX, g.move.fromY, g.move.toX,
                                 g.move.toY, g.path, g.pieces, nullptr);
    return g.path.length >= 1;
}

// Carries out the move of the selected piece onto `target` (or onto the
// empty point (tx, ty) when target is -2): at once in a battle on this
// computer; in a LAN battle it is only written for the host.
InputResult MakeMove(GameState& g, int target, int tx, int ty) {
    InputResult res;
    if (!SearchPath(g, tx, ty)) {
        res.cursor = CursorShape::kDefault;
        return res;
    }
    const int s = g.selectedPiece;
    const int outcome = MoveOutcome(g.pieces, s, target);
    res.disableNextStep = true;
    if (g.netConnected == 0) {
        ExecuteMove(g, s, target, g.move.fromX, g.move.fromY, g.move.toX, g.move.toY, outcome);
    } else {
        MoveCand& m = g.netMoveRecord;
        m.mover = s;
        m.target = target;
        m.fromX = g.move.fromX;
        m.fromY = g.move.fromY;
        m.toX = g.move.toX;
        m.toY = g.move.toY;
        m.outcome = outcome;
        res.sendMove = true;
    }
    ClearSelection(g);
    return res;
}

InputResult Select(GameState& g, int p) {
    PlaySelectSound(g);
    SelectPiece(g, p);
    return {};
}

InputResult WithCursor(CursorShape c) {
    InputResult r;
    r.cursor = c;
    return r;
}

InputResult PressWhileDeploying(GameState& g, int p) {
    const int s = g.selectedPiece;
    if (!IsValidPiece(s)) {
        if (SeatOf(p) == 0) return Select(g, p);
        return WithCursor(CursorShape::kDefault);
    }
    if (SeatOf(p) != SeatOf(s)) return WithCursor(CursorShape::kDefault);
    InputResult res;
    if (p == s) {
        ClearSelection(g);
        return res;
    }
    SwapDeployedPieces(g, p, s);
    ClearSelection(g);
    res.disableNextStep = true;
    res.disableSaveFile = g.stepCount != 0;
    return res;
}

InputResult PressInPlay(GameState& g, int p) {
    const int s = g.selectedPiece;
    if (!IsValidPiece(s)) {
        if (IsMovablePiece(g, p)) return Select(g, p);
        return WithCursor(CursorShape::kDefault);
    }
    if (SeatOf(p) == g.curSeat) {
        if (p == s) {
            ClearSelection(g);
            return {};
        }
        if (!IsMovablePiece(g, p)) return WithCursor(CursorShape::kDefault);
        ClearSelection(g);
        return Select(g, p);
    }
    if (!IsEnemyPiece(g, p)) return WithCursor(CursorShape::kDefault);  // the partner's
    if (!HasMovableSelection(g)) return WithCursor(CursorShape::kDefault);
    return MakeMove(g, p, g.pieces[p].x, g.pieces[p].y);
}

CursorShape HoverCursor(GameState& g, int p) {
    const int s = g.selectedPiece;
    const bool selected = IsValidPiece(s);
    if (g.deployPhase == 1) {
        const int seat = selected ? SeatOf(s) : 0;
        return SeatOf(p) == seat ? CursorShape::kHand : CursorShape::kDefault;
    }
    if (IsMovablePiece(g, p)) return CursorShape::kHand;
    if (!selected || !IsEnemyPiece(g, p) || !HasMovableSelection(g)) return CursorShape::kDefault;
    return SearchPath(g, g.pieces[p].x, g.pieces[p].y) ? CursorShape::kHand : CursorShape::kDefault;
}

}  // namespace

InputRefusal PieceInputRefusal(const GameState& g, bool practiceMode, bool press) {
    const bool deploying = g.deployPhase == 1;
    const bool lan = g.netConnected != 0;
    if (ReplayOpen(g)) return InputRefusal::kReplay;
    if (NoBattle(g)) return InputRefusal::kNoBattle;
    if (practiceMode && !deploying && IsValidSeat(g.curSeat) && g.computerSeat[g.curSeat] != 0)
        return InputRefusal::kComputerToMove;
    if (lan && !deploying && g.curSeat != 0) return InputRefusal::kOtherSeatsTurn;
    if (!press) return InputRefusal::kNone;
    if (lan && !deploying && g.curSeat == 0 && g.myNetSeat == 0 && g.seatTable[0].state != 1)
        return InputRefusal::kHostSeatTakenOver;
    if (lan && g.netState == kNetOwnDeploymentSent) return InputRefusal::kAwaitingStart;
    return InputRefusal::kNone;
}

int PointUnderPieceImage(const BoardTables& board, int left, int top) {
    const int l = left + 6;
    const int t = top + 6;
    for (int j = 0; j < kPointCount; ++j) {
        const BoardPoint& p = board.boardPoints[j];
        if (p.pixelX - 11 < l && l < p.pixelX && p.pixelY - 11 < t && t < p.pixelY) return j;
    }
    return kNoPoint;
}

int PointUnderPointer(const BoardTables& board, int x, int y) {
    for (int j = 0; j < kPointCount; ++j) {
        const BoardPoint& p = board.boardPoints[j];
        if (p.pixelX - 13 < x && x < p.pixelX + 9 && p.pixelY - 13 < y && y < p.pixelY + 9) return j;
    }
    return kNoPoint;
}

int PieceUnderImage(const GameState& g, int left, int top) {
    const int j = PointUnderPieceImage(*g.board, left, top);
    if (j < 0) return kNoPiece;
    const BoardPoint& p = g.board->boardPoints[j];
    return PieceAtPoint(p.gridX, p.gridY, g.pieces);
}

bool IsMovablePiece(const GameState& g, int piece) {
    if (!IsValidPiece(piece) || SeatOf(piece) != g.curSeat) return false;
    const PieceRec& r = g.pieces[piece];
    if (!IsValidCode(r.code) || r.code == kFlag || r.code == kMine) return false;
    const int j = PointIndexAt(*g.board, r.x, r.y);
    return j < 0 || g.board->boardPoints[j].kind != kHeadquarters;
}

bool IsEnemyPiece(const GameState& g, int piece) {
    const int seat = SeatOf(piece);
    return IsValidPiece(piece) && seat != g.curSeat && seat != PartnerOf(g.curSeat);
}

InputResult PressPiece(GameState& g, int imageLeft, int imageTop, bool practiceMode) {
    if (PieceInputRefusal(g, practiceMode, true) != InputRefusal::kNone) return WithCursor(CursorShape::kDefault);
    const int p = PieceUnderImage(g, imageLeft, imageTop);
    if (!IsValidPiece(p)) return {};
    return g.deployPhase == 1 ? PressWhileDeploying(g, p) : PressInPlay(g, p);
}

InputResult HoverPiece(GameState& g, int imageLeft, int imageTop, bool practiceMode) {
    if (PieceInputRefusal(g, practiceMode, false) != InputRefusal::kNone) return WithCursor(CursorShape::kDefault);
    const int p = PieceUnderImage(g, imageLeft, imageTop);
    if (!IsValidPiece(p)) return {};
    return WithCursor(HoverCursor(g, p));
}

InputResult PressBoard(GameState& g, int x, int y, bool modifierHeld) {
    // Several steps per click serve the replay only (the click that follows
    // opens the go-to-step dialog and sets the count back to 1); in a battle
    // a held key must not switch off the animation and the sounds.
    if (modifierHeld && ReplayOpen(g)) g.clickStepCount = 10;
    const int j = PointUnderPointer(*g.board, x, y);
    if (j < 0) return WithCursor(CursorShape::kDefault);
    const BoardPoint& p = g.board->boardPoints[j];
    if (PieceAtPoint(p.gridX, p.gridY, g.pieces) >= 0 || g.deployPhase == 1 || NoBattle(g) ||
        !HasMovableSelection(g))
        return WithCursor(CursorShape::kDefault);
    return MakeMove(g, kNoPiece, p.gridX, p.gridY);
}

InputResult HoverBoard(GameState& g, int x, int y) {
    const int j = PointUnderPointer(*g.board, x, y);
    if (j < 0) return WithCursor(CursorShape::kDefault);
    const BoardPoint& p = g.board->boardPoints[j];
    if (PieceAtPoint(p.gridX, p.gridY, g.pieces) >= 0 || g.deployPhase == 1 || NoBattle(g) ||
        !HasMovableSelection(g))
        return WithCursor(CursorShape::kDefault);
    return WithCursor(SearchPath(g, p.gridX, p.gridY) ? CursorShape::kHand : CursorShape::kDefault);
}

bool ApplyPlayMode(GameState& g, PlayMode mode) {
    switch (mode) {
        case PlayMode::kReplay:
            for (int& c : g.computerSeat) c = 0;
            return false;
        case PlayMode::kPractice:
            g.computerSeat[0] = 0;
            g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
            return true;
        default: return false;
    }
}

}  // namespace jq
