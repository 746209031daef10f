// The LAN battle's pump: the main timer's last act on every tick.
#include <algorithm>
#include <cstring>

#include "ai/computer.h"
#include "core/text.h"
#include "formations/zffile.h"
#include "net/netbattle.h"
#include "net/host/relay.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/layout.h"
#include "view/deployment.h"

namespace jq::net {

namespace {

constexpr int kBattleStartPauseMs = 1000;

// One computer seat's formation per tick, lowest seat first.
void DeployOneComputerSeat(GameState& g) {
    for (int s = 0; s < kSeats; ++s) {
        SeatRec& r = g.seatTable[s];
        if (r.state != 0 || r.deployed == 2) continue;
        CodeTable codes;
        PickZfFormations(g, codes);
        std::memset(g.netDeployCodes, 0, sizeof g.netDeployCodes);
        std::memcpy(g.netDeployCodes, codes.rows[s], kPiecesPerSeat);
        r.deployed = 2;
        SendNetMessage(g, "SwitchEnd", s);
        return;
    }
}

// The host's side: the seat to move in the running battle is the computer's.
bool ComputerSeatMayMove(const GameState& g) {
    if (g.netState != kNetBattle || g.battleRunning == 0 || g.practiceMode == 0 || g.deployPhase == 1) return false;
    // A step applied on this tick may have ended the battle.
    if (BattleResultByRules(g) >= 0) return false;
    if (!IsValidSeat(g.curSeat) || g.curSeat == g.aiMoverGuard) return false;
    const int state = g.seatTable[g.curSeat].state;
    return (state == 0 || state == 2) && g.computer != nullptr && g.computer->IsIdle();
}

// The minimum move interval paces the computer's moves. It counts from the
// turn's start as this side knows it (a person's join of the seat starts it
// again), and never beyond the seat's move time: a seat that comes back to
// the computer late in its turn moves at once, so the turn is bounded
// whoever holds the seat. Meanwhile the ticks go on (packets applied, the
// host's duties done), and the seat is looked at afresh on each.
bool ComputerHasWaited(const GameState& g) {
    const int64_t waitMs = std::min(g.netMinMoveInterval, g.netMoveTime) * int64_t{1000};
    return StampMs(g.ui->Now()) - StampMs(g.turnStarted) >= waitMs;
}

void StartComputerMove(GameState& g) {
    if (!ComputerSeatMayMove(g) || !ComputerHasWaited(g)) return;
    g.aiMoverGuard = g.curSeat;
    g.computer->Resume();
}

// The host's side plays the seats the computer holds: it deploys them and
// moves for them, as any side sends for its own seat.
void ComputerSeats(GameState& g) {
    if (NetDeploying(g)) DeployOneComputerSeat(g);
    else if (g.netState == kNetBattle) StartComputerMove(g);
}

void StartBattle(GameState& g) {
    g.battleRunning = 1;
    ClearBattleSteps(g);
    for (MoveRec& m : g.moveHistory) m = MoveRec{};
    for (int k = 0; k < kSeats; ++k) g.seatNames[k] = g.ui->SeatLabel(k);
    g.deployedPieces = g.pieces;
    // The first turn counts from when "AllSwitchEnd" reached the side.
    PlayGameSound(g, "attack.wav");
    g.ui->WaitKeepingWindowLive(kBattleStartPauseMs);
    g.netState = kNetBattle;
}

}  // namespace

void DoHostDuties(GameState& g) {
    if (g.lan != nullptr && g.lan->relay() != nullptr) g.lan->relay()->Tick();
}

bool AwaitsHostAnswer(const GameState& g) {
    return g.lan != nullptr && g.isNetHost == 0 && g.netConnected != 0 && g.lan->JoinAnswerAwaited() &&
           (g.netState == kNetJoinSent || g.netState == kNetWaiting);
}

void HandleNetBattle(GameState& g) {
    if (g.lan == nullptr) return;
    LanSession& lan = *g.lan;
    // The host's duties come first on every tick, whatever its own side
    // receives or whether it is in a battle: connections that hold the
    // battle back, the deploy and disconnect time-outs.
    DoHostDuties(g);
    if (g.netConnected == 0) return;
    // A joining side whose host has closed the connection leaves at once,
    // in the battle too, and says why (unless a packet that found no
    // connection has said it). What arrived before the close is applied
    // first, and a battle it decided is booked by then.
    if (g.isNetHost == 0 && !lan.ClientActive() && lan.InboxSize() == 0) {
        AbortNetBattle(g, kLeaveHostSilent);
        if (!lan.HostGoneTold()) lan.ui()->ExplainLeaving(HostGoneText());
        return;
    }
    // Packets received before the connection closed are still applied.
    if (!lan.ClientActive() && !lan.ServerActive() && lan.InboxSize() == 0) return;
    // The received packets up to the first that changes the battle; the
    // battle starts before any packet that follows "AllSwitchEnd" is
    // applied, also when the connection has closed right after it.
    const bool answerAwaited = AwaitsHostAnswer(g);
    ProcessClientMessage(g);
    // The host has answered the join: the line that said it waits goes (a
    // refusal has left, saying why).
    if (answerAwaited && !AwaitsHostAnswer(g) && g.netConnected != 0) g.ui->SetStatusText(3, IdleStatusText());
    if (g.netState == kNetAllDeployed) StartBattle(g);
    // Nothing below can be done without the connection to the host.
    if (!lan.ClientActive()) return;
    // The computer's seats wait until every seat has taken what was sent,
    // for remote ones a second of each turn (the deployment) at most.
    if (g.isNetHost != 0 && !ComputerSeatsWait(g)) ComputerSeats(g);
    if (g.netState == kNetJoinSent) {
        g.netState = kNetWaiting;
        if (AwaitsHostAnswer(g)) g.ui->SetStatusText(3, Gb("已申请加入，正在等待庄家答复..."));
    }
    // Once a round, when the host has answered: a joining side may have
    // taken the host's 12 from "JoinLast" without passing 11 here.
    if (g.netState == kNetWaiting && lan.WaitDialogDue() && !AwaitsHostAnswer(g)) {
        lan.WaitDialogShown();
        lan.ui()->ShowWaitDialog();
    }
    switch (g.netState) {
        case kNetHostStarted: g.netState = kNetDeployBegins; break;
        case kNetLeaving:
            SendNetMessage(g, "JoinCancel", g.myNetSeat);
            g.netConnected = 0;
            AbortNetBattle(g, kLeaveFromWaitingRoom);
            g.netState = kNetBetween;
            break;
        case kNetStartPressed:
            g.netState = kNetJoinOkSent;
            SendNetMessage(g, "JoinOk", g.myNetSeat);
            break;
        case kNetDeployBegins:
            g.deployPhase = 1;
            g.ui->SetDeploymentControlsVisible(true);
            g.lastActivity = g.ui->Now();
            g.netState = kNetDeploying;
            break;
        case kNetOwnDeployDone:
            std::memset(g.netDeployCodes, 0, sizeof g.netDeployCodes);
            for (int k = 0; k < kPiecesPerSeat; ++k) g.netDeployCodes[k] = static_cast<int8_t>(g.pieces[k].code);
            SendNetMessage(g, "SwitchEnd", g.myNetSeat);
            g.netState = kNetOwnDeploySent;
            // Deployed: the deadline shown is a later joiner's, if any.
            if (const auto join = lan.TakeJoinInDeployment()) g.turnStarted = *join;
            break;
        default: break;
    }
}

bool FinishOwnDeployment(GameState& g) {
    if (g.netState != kNetDeploying || g.deployPhase != 1 || HostAwaitsComputerDeployments(g)) return false;
    if (ValidateDeployment(g) != kDeploymentOk) return false;
    g.deployPhase = 0;
    g.ui->SetDeploymentControlsVisible(false);
    TakeDeploymentSnapshot(g);
    return true;
}

void HostStartsBattle(GameState& g) {
    if (g.isNetHost != 0 && g.netState == kNetWaiting) g.netState = kNetStartPressed;
}

void LeaveWaitingRoom(GameState& g) {
    if (OwnSeatHeldByPlayer(g)) g.netState = kNetLeaving;
}

}  // namespace jq::net
