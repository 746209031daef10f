// The LAN battle's pump: the main timer's last act on every tick.
#include <cstring>

#include "ai/computer.h"
#include "core/text.h"
#include "formations/zffile.h"
#include "net/netbattle.h"
#include "net/relay.h"
#include "play/execute.h"
#include "records/layout.h"
#include "view/deployment.h"

namespace jq::net {

namespace {

constexpr int kBattleStartPauseMs = 1000;

int ElapsedSeconds(GameState& g) { return g.ui->Now().seconds - g.turnClock.seconds; }

// Every packet restarts the turn clock, so a side that keeps sending (chat,
// refused moves) would hold its turn or the deployment for ever. Measured
// from the start of the turn or the deployment, a phase lasts at most its
// own time plus the disconnect time, however busy the connections are.
int SecondsSinceTurnStarted(GameState& g) { return g.ui->Now().seconds - g.turnStarted.seconds; }

void GiveSeatToComputer(GameState& g, int seat, int state) {
    SeatRec& r = g.seatTable[seat];
    PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
    r.state = state;
    SendNetMessage(g, "JoinCancel", seat);
    if (seat != 0 && g.lan != nullptr && g.lan->relay() != nullptr) g.lan->relay()->CloseSeatConnection(seat);
}

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

bool ComputerMayMove(const GameState& g) {
    if (g.netState != kNetBattle || g.battleRunning == 0 || g.practiceMode == 0 || g.deployPhase == 1) return false;
    if (!IsValidSeat(g.curSeat) || g.curSeat == g.aiMoverGuard) return false;
    const int state = g.seatTable[g.curSeat].state;
    return (state == 0 || state == 2) && g.computer != nullptr && g.computer->IsIdle();
}

void StartComputerMove(GameState& g) {
    if (!ComputerMayMove(g)) return;
    if (g.netMinMoveInterval > 0) {
        const int battle = g.battleSerial;
        g.ui->WaitKeepingWindowLive(g.netMinMoveInterval * 1000);
        if (g.battleSerial != battle || !ComputerMayMove(g)) return;
    }
    g.aiMoverGuard = g.curSeat;
    g.computer->Resume();
}

// Players who have not deployed in time give their seats to the computer.
void DeployTimeout(GameState& g) {
    if (g.netState < kNetDeploying || g.netState > kNetOwnDeploySent) return;
    if (g.netDeployTime - ElapsedSeconds(g) > 0 &&
        g.netDeployTime + g.netDisconnectTime - SecondsSinceTurnStarted(g) > 0)
        return;
    for (int s = 1; s < kSeats; ++s) {
        const SeatRec& r = g.seatTable[s];
        // A person's seat is given up once; the computer deploys it next.
        if (r.deployed != 2 && r.state != 0) GiveSeatToComputer(g, s, 0);
    }
}

// A player silent for longer than the disconnect time on his turn.
void DisconnectTimeout(GameState& g) {
    if (g.netState != kNetBattle || !IsValidSeat(g.curSeat)) return;
    if (g.seatTable[g.curSeat].state != 1) return;
    if (g.netDisconnectTime - ElapsedSeconds(g) >= 0 &&
        g.netMoveTime + g.netDisconnectTime - SecondsSinceTurnStarted(g) >= 0)
        return;
    GiveSeatToComputer(g, g.curSeat, g.curSeat == 0 && g.myNetSeat == 0 ? 2 : 0);
}

void HostDuties(GameState& g) {
    if (g.netState == kNetDeploying || g.netState == kNetOwnDeploySent) DeployOneComputerSeat(g);
    else if (g.netState == kNetBattle) StartComputerMove(g);
    DeployTimeout(g);
    DisconnectTimeout(g);
}

void StartBattle(GameState& g) {
    g.battleRunning = 1;
    ClearBattleSteps(g);
    for (MoveRec& m : g.moveHistory) m = MoveRec{};
    for (int k = 0; k < kSeats; ++k) g.seatNames[k] = g.ui->SeatLabel(k);
    g.deployedPieces = g.pieces;
    g.turnStarted = g.ui->Now();
    PlayGameSound(g, "attack.wav");
    g.ui->WaitKeepingWindowLive(kBattleStartPauseMs);
    g.netState = kNetBattle;
}

}  // namespace

void HandleNetBattle(GameState& g) {
    if (g.netConnected == 0 || g.lan == nullptr) return;
    LanSession& lan = *g.lan;
    // Connections that hold the battle back, or have no business with it,
    // are closed before anything waits for them.
    if (lan.relay() != nullptr) lan.relay()->CheckConnections();
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
    // The battle starts before any packet that follows "AllSwitchEnd".
    if (g.netState != kNetAllDeployed && ProcessClientMessage(g) != 0) return;
    // Nothing below can be done without the connection to the host.
    if (!lan.ClientActive()) return;
    if (lan.relay() != nullptr && (g.netState == kNetJoinSent || g.netState == kNetWaiting))
        lan.relay()->AdmitWaitingJoins();
    if (ServerOutboxPending(g)) return;
    if (g.isNetHost != 0) HostDuties(g);
    if (g.netState == kNetJoinSent) g.netState = kNetWaiting;
    // Once a round: a joining side may have taken the host's 12 from
    // "JoinLast" without passing 11 here.
    if (g.netState == kNetWaiting && lan.WaitDialogDue()) {
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
            g.turnClock = g.ui->Now();
            g.turnStarted = g.turnClock;
            g.netState = kNetDeploying;
            break;
        case kNetOwnDeployDone:
            std::memset(g.netDeployCodes, 0, sizeof g.netDeployCodes);
            for (int k = 0; k < kPiecesPerSeat; ++k) g.netDeployCodes[k] = static_cast<int8_t>(g.pieces[k].code);
            SendNetMessage(g, "SwitchEnd", g.myNetSeat);
            g.netState = kNetOwnDeploySent;
            break;
        case kNetAllDeployed: StartBattle(g); break;
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
    if (IsValidSeat(g.myNetSeat) && g.seatTable[g.myNetSeat].state != 0) g.netState = kNetLeaving;
}

}  // namespace jq::net
