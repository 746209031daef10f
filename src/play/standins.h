// Services of replay and the LAN battle that the turn loop calls. Each does
// only what the turn loop relies on until its own part of the program takes
// it over.
#pragma once

#include <string>

#include "core/qipan.h"

namespace jq::standin {

// After the end of a LAN battle: back into the next round; nothing outside
// a LAN battle.
void RejoinNetBattle(GameState& g);
// The LAN pump, last in every main-timer tick; nothing outside a LAN battle.
void HandleNetBattle(GameState& g);
// The side-panel controls of LAN play.
void UpdatePlayButtons(GameState& g);
// Sends one packet to the host: "MoveQz" (netMoveRecord), "PeaceRequest"
// or "JoinCancel", each with `seat`. Sending "MoveQz" clears netMyTurn.
void SendNetMessage(GameState& g, const std::string& word, int seat);
// Leaves the LAN battle: reason 0 too many time-outs, 2 the host is silent.
void AbortNetBattle(GameState& g, int reason);
bool NetClientActive(const GameState& g);
bool NetServerActive(const GameState& g);
void CloseNetSockets(GameState& g, bool client, bool server);
// The host's queue of packets still to send.
bool ServerOutboxPending(const GameState& g);
void FlushServerQueue(GameState& g);

}  // namespace jq::standin
