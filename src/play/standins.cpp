#include "play/standins.h"

#include "core/text.h"

namespace jq::standin {

void RejoinNetBattle(GameState&) {}

void HandleNetBattle(GameState&) {}

void UpdatePlayButtons(GameState& g) {
    g.ui->SetSaveEnabled(false);
    g.ui->SetNextStepEnabled(false);
    g.ui->SetGiveUpAndPeaceEnabled(g.curSeat == 0);
}

void SendNetMessage(GameState& g, const std::string& word, int) {
    if (word == "MoveQz") g.netMyTurn = 0;
}

void AbortNetBattle(GameState& g, int reason) {
    g.ui->SetStatusText(3, reason == 0 ? Gb("超时次数太多！自动退出网战。") : Gb("服务器停止响应！退出网战。"));
    g.battleRunning = 0;
    g.netConnected = 0;
}

bool NetClientActive(const GameState&) { return false; }

bool NetServerActive(const GameState&) { return false; }

void CloseNetSockets(GameState&, bool, bool) {}

bool ServerOutboxPending(const GameState&) { return false; }

void FlushServerQueue(GameState&) {}

}  // namespace jq::standin
