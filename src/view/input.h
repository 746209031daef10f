// The player's pointer on the board: which point a press or the pointer is
// on, when a press is refused, and what a press on a piece or on the board
// does during the deployment and in play. The window passes the positions
// and applies the result (pointer shape, buttons, the LAN send).
#pragma once

#include "core/qipan.h"

namespace jq {

enum class CursorShape {
    kUnchanged,
    kDefault,  // the arrow: a press here does nothing
    kHand,     // a press here acts
};

// What the window does after a pointer event.
struct InputResult {
    CursorShape cursor = CursorShape::kUnchanged;
    bool disableNextStep = false;  // the replay's step forward
    bool disableSaveFile = false;  // "保存战役"
    bool sendMove = false;         // LAN: netMoveRecord holds the move to send as "MoveQz"
};

// Why the pieces do not take input now, in the order they are tested.
enum class InputRefusal {
    kNone,
    kReplay,             // a battle record is open and no battle runs
    kNoBattle,           // no battle runs (before the first, or after the end)
    kComputerToMove,     // play mode, and the computer plays the seat to move
    kOtherSeatsTurn,     // LAN: another seat is to move
    kHostSeatTakenOver,  // LAN host whose own seat the computer plays now
    kAwaitingStart,      // LAN: the own deployment is sent, the battle has not begun
};

// `practiceMode`: the computer plays seats 1..3 ("下棋"). `press`: the last
// two rules hold only for a press, not for the pointer resting on a piece.
// While no battle runs only the deployment takes input (a LAN deployment
// runs before its battle starts): the end of a battle releases every seat,
// and the record must not grow past the step that ended it.
InputRefusal PieceInputRefusal(const GameState& g, bool practiceMode, bool press);

// The board point under a piece image at (left, top) in the board panel, or -1.
int PointUnderPieceImage(const BoardTables& board, int left, int top);
// The board point whose 21 x 21 square holds (x, y) on the board picture, or -1.
int PointUnderPointer(const BoardTables& board, int x, int y);
// The live piece whose image is at (left, top), or -2.
int PieceUnderImage(const GameState& g, int left, int top);

// A piece of the seat to move that may move: not a flag or a mine, and not
// standing in a headquarters.
bool IsMovablePiece(const GameState& g, int piece);
bool IsEnemyPiece(const GameState& g, int piece);

// A press on the piece image at (left, top).
InputResult PressPiece(GameState& g, int imageLeft, int imageTop, bool practiceMode);
// The pointer resting on the piece image at (left, top).
InputResult HoverPiece(GameState& g, int imageLeft, int imageTop, bool practiceMode);
// A press at (x, y) on the board picture. `modifierHeld`: Shift, Ctrl or Alt.
InputResult PressBoard(GameState& g, int x, int y, bool modifierHeld);
// The pointer resting at (x, y) on the board picture.
InputResult HoverBoard(GameState& g, int x, int y);

// Play mode ("下棋": the computer plays seats 1, 2 and 3) or replay mode
// ("复盘": nobody). Returns true when the replay's step forward is to be
// disabled.
enum class PlayMode { kNeither, kReplay, kPractice };
bool ApplyPlayMode(GameState& g, PlayMode mode);

}  // namespace jq
