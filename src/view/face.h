// Which picture each piece shows: the sprite sheet of its seat, its colour
// variant, face up or face down, and the flag that is turned over when its
// seat's commander has fallen. Also the placing of a piece on a grid point.
//
// Sprite sheets, one per seat of the view:
//  - seats 0 and 2: 4 columns x 13 rows of 28 x 22 cells; the column is the
//    colour variant, row 0 the back, row c the face of code c;
//  - seat 1: 13 columns x 4 rows of 22 x 28 cells; the row is the colour
//    variant, column 0 the back, column c the face of code c;
//  - seat 3: as seat 1 with the columns the other way round: column 12 the
//    back, column 12 - c the face of code c.
#pragma once

#include "core/qipan.h"

namespace jq {

constexpr int kUprightCellW = 28;  // seats 0 and 2
constexpr int kUprightCellH = 22;
constexpr int kTurnedCellW = 22;   // seats 1 and 3
constexpr int kTurnedCellH = 28;
constexpr int kArrowCell = 24;

// A rectangle of one sprite sheet.
struct SpriteCell {
    int sheet = 0;   // the seat whose sheet it is, 0..3
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool faceUp = false;
    friend bool operator==(const SpriteCell&, const SpriteCell&) = default;
};

// Width and height of the image of a piece of `seat`.
inline int PieceImageWidth(int seat) { return (seat & 1) ? kTurnedCellW : kUprightCellW; }
inline int PieceImageHeight(int seat) { return (seat & 1) ? kTurnedCellH : kUprightCellH; }

// Colour variant of view seat `seat`: (myNetSeat + seat) mod 4. myNetSeat
// counts the turns of the view, so every player keeps one colour.
int ColourVariant(int myNetSeat, int seat);

// Whether the pieces of view seat `seat` are drawn face up: seat 0 always,
// seat 2 while the other formations are shown, seats 1 and 3 only then and
// outside a LAN battle.
bool FaceUpByRule(const GameState& g, int seat);

// The cell of `seat`'s sheet for a piece of `code`. A code outside 1..12
// has no face, so it shows the back even when asked face up.
SpriteCell SheetCell(int seat, int variant, int code, bool faceUp);

// The cell a piece shows with the given face, or by the face rule.
SpriteCell PieceCell(const GameState& g, int piece, bool faceUp);
SpriteCell RuleCell(const GameState& g, int piece);

// First piece of `seat` with the flag's code (alive or not), or -2.
int FlagOfSeat(const PieceTable& pieces, int seat);
bool SeatHasLiveCommander(const PieceTable& pieces, int seat);
// Whether any piece of the seat has a code, that is whether it was laid out.
bool SeatIsLaidOut(const PieceTable& pieces, int seat);

enum class FlagTurn {
    kDraw,      // draw `cell` on `piece`
    kSkip,      // the seat holds no pieces yet: nothing to draw, nothing to say
    kNoFlag,    // a laid-out seat without a flag: tell the player
};
struct FlagDrawing {
    FlagTurn turn = FlagTurn::kSkip;
    int piece = kNoPiece;
    SpriteCell cell;
};
// The flag of the seat of `anyPiece` turned over (`reveal`: the face
// opposite to the face rule) or back (the face rule's face).
FlagDrawing FlagCell(const GameState& g, int anyPiece, bool reveal);

// "敌人的军棋不见了？！" with its six trailing blanks, GB2312.
std::string MissingFlagText();
// "该位置不存在！" with its six trailing blanks, GB2312.
std::string NoSuchPointText();

// Stores (x, y) as the piece's point. Returns false, changing nothing, for
// an index outside 0..99. A point that is not on the board is stored all
// the same and reported in the game's message box.
bool SetPiecePoint(GameState& g, int piece, int x, int y);
// SetPiecePoint, then the piece's image goes to that point.
void PlacePieceAt(GameState& g, int piece, int x, int y);

// Left and top of the image of `piece` centred on board point `point`.
struct ImagePlace {
    int left = 0;
    int top = 0;
};
ImagePlace PieceImagePlace(const BoardTables& board, int piece, int point);

}  // namespace jq
