// The computer player of a game shown in a window: its chosen move reaches
// the window's thread as a queued call.
#pragma once

#include <memory>

class QObject;

namespace jq {

class AIDominate;
struct GameState;

// Creates the game's worker. Each hand-over is queued to the thread of
// `receiver` (the main window), where ExecuteComputerMove runs; a call still
// queued when `receiver` is destroyed is dropped. The owner destroys the
// worker (which stops and joins its thread) before the receiver and the
// game.
std::unique_ptr<AIDominate> CreateWindowComputerPlayer(QObject* receiver, GameState& game);

}  // namespace jq
