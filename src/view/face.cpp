#include "view/face.h"

#include "core/text.h"

namespace jq {

int ColourVariant(int myNetSeat, int seat) {
    const int v = (myNetSeat % 4 + seat % 4) % 4;
    return v < 0 ? v + 4 : v;
}

bool FaceUpByRule(const GameState& g, int seat) {
    switch (seat) {
        case 0: return true;
        case 2: return g.viewOtherFormations == 1;
        default: return g.viewOtherFormations == 1 && g.netConnected == 0;
    }
}

SpriteCell SheetCell(int seat, int variant, int code, bool faceUp) {
    if (!IsValidCode(code)) faceUp = false;
    const int picture = faceUp ? code : 0;  // 0 the back
    SpriteCell c;
    c.sheet = seat;
    c.faceUp = faceUp;
    if ((seat & 1) == 0) {
        c.width = kUprightCellW;
        c.height = kUprightCellH;
        c.left = kUprightCellW * variant;
        c.top = kUprightCellH * picture;
    } else {
        const int column = seat == 3 ? 12 - picture : picture;
        c.width = kTurnedCellW;
        c.height = kTurnedCellH;
        c.left = kTurnedCellW * column;
        c.top = kTurnedCellH * variant;
    }
    return c;
}

SpriteCell PieceCell(const GameState& g, int piece, bool faceUp) {
    const int seat = SeatOf(piece);
    return SheetCell(seat, ColourVariant(g.myNetSeat, seat), g.pieces[piece].code, faceUp);
}

SpriteCell RuleCell(const GameState& g, int piece) {
    return PieceCell(g, piece, FaceUpByRule(g, SeatOf(piece)));
}

int FlagOfSeat(const PieceTable& pieces, int seat) {
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i)
        if (pieces[i].code == kFlag) return i;
    return kNoPiece;
}

bool SeatHasLiveCommander(const PieceTable& pieces, int seat) {
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i)
        if (pieces[i].code == kCommander && pieces[i].alive == 1) return true;
    return false;
}

bool SeatIsLaidOut(const PieceTable& pieces, int seat) {
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i)
        if (pieces[i].code != kCodeNone) return true;
    return false;
}

FlagDrawing FlagCell(const GameState& g, int anyPiece, bool reveal) {
    FlagDrawing d;
    if (!IsValidPiece(anyPiece)) return d;
    const int seat = SeatOf(anyPiece);
    const int flag = FlagOfSeat(g.pieces, seat);
    if (flag == kNoPiece) {
        d.turn = SeatIsLaidOut(g.pieces, seat) ? FlagTurn::kNoFlag : FlagTurn::kSkip;
        return d;
    }
    const bool ruleFace = FaceUpByRule(g, seat);
    d.turn = FlagTurn::kDraw;
    d.piece = flag;
    d.cell = PieceCell(g, flag, reveal ? !ruleFace : ruleFace);
    return d;
}

std::string MissingFlagText() { return Gb("敌人的军棋不见了？！      "); }
std::string NoSuchPointText() { return Gb("该位置不存在！      "); }

bool SetPiecePoint(GameState& g, int piece, int x, int y) {
    if (!IsValidPiece(piece)) return false;
    g.pieces[piece].x = x;
    g.pieces[piece].y = y;
    if (PointIndexAt(*g.board, x, y) < 0) g.ui->ShowMessage(NoSuchPointText(), false);
    return true;
}

void PlacePieceAt(GameState& g, int piece, int x, int y) {
    if (SetPiecePoint(g, piece, x, y)) g.ui->PlacePiece(piece);
}

ImagePlace PieceImagePlace(const BoardTables& board, int piece, int point) {
    const BoardPoint& p = board.boardPoints[point];
    const int seat = SeatOf(piece);
    return ImagePlace{p.pixelX - PieceImageWidth(seat) / 2, p.pixelY - PieceImageHeight(seat) / 2};
}

}  // namespace jq
