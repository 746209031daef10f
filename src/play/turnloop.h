// The turn loop: the main timer's tick, the step counter, the end of a
// battle and its result, and stopping the computer player.
#pragma once

#include "core/qipan.h"

namespace jq {

constexpr int kMainTimerMs = 32;

// Battle results, seen from seats 0 and 2.
enum BattleResult : int32_t {
    kBattleWon = 0,
    kBattleLost = 1,
    kBattleDraw = 2,
};

// Marks game logic in progress (a move, a battle's end, a question to the
// player) for its lifetime. Ticks of the main timer that run meanwhile,
// from inside a message box or another wait, keep the clock and the light
// going but carry out no step and wake no computer player.
class GameLogicGuard {
public:
    explicit GameLogicGuard(GameState& g) : g_(g) { ++g_.gameLogicDepth; }
    ~GameLogicGuard() { --g_.gameLogicDepth; }
    GameLogicGuard(const GameLogicGuard&) = delete;
    GameLogicGuard& operator=(const GameLogicGuard&) = delete;

private:
    GameState& g_;
};

// Takes every seat out of the computer's hands; a LAN seat nobody holds
// (state 0) becomes released (state 2).
void ReleaseAllSeats(GameState& g);

// The result panel. A LAN host first gives its queued packets up to two
// seconds to leave; it shows the panel modeless, everyone else modally.
void ShowBattleResult(GameState& g, int netConnected, int isNetHost, int result);

// Books the result in the win/loss record of the current level.
void CountBattleResult(GameState& g, int result);

// The number of legal moves `seat` has on the main piece table.
int CountLegalMoves(const GameState& g, int seat);

// The result a running battle has by the rules as it stands, or -1 while it
// goes on: an agreed peace is a draw at once, before the first step too;
// after it, the step limit (in a LAN battle as the host announced it) is a
// draw and a team without a live piece has lost, the team to move tested
// first. A step applied between two ticks can decide the battle before the
// next tick books it: nothing may be sent for it then.
int BattleResultByRules(const GameState& g);

// The end of the battle, tested after every step of a running battle (see
// BattleResultByRules). Books the result once.
void CheckBattleEnd(GameState& g);

// A LAN side's own clock has time left in the turn (the deployment) under
// way: the whole move or deploy time, counted from its start as it reached
// the side, or, for a side that joined it under way, from the host's answer.
bool OwnNetTimeLeft(GameState& g);

// One tick of the main timer (every 32 ms).
void TickMainTimer(GameState& g);

// Switches the main timer off and stops the computer player; when it
// returns no computer move is under way.
void StopAIThread(GameState& g);

}  // namespace jq
