#include "play/turnloop.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "ai/computer.h"
#include "ai/movegen.h"
#include "core/text.h"
#include "formations/zffile.h"
#include "net/netbattle.h"
#include "play/execute.h"
#include "play/result_rules.h"
#include "records/replay.h"
#include "view/rotation.h"
#include "view/selection.h"

namespace jq {

namespace {

constexpr int kTurnLightLast = 80;
constexpr int kTurnLightFrameTicks = 16;

int ElapsedSeconds(GameState& g) { return SecondsBetween(g.lastActivity, g.ui->Now()); }

// The seconds the own clock gives the turn (the deployment): the whole time,
// also from a join under way (turnStarted is then the join).
int OwnClockLimit(const GameState& g) { return net::NetDeploying(g) ? g.netDeployTime : g.netMoveTime; }

// Milliseconds left on the own clock; negative once it has run out.
int64_t OwnClockLeftMs(GameState& g) {
    const ClockStamp now = g.ui->Now();
    // A LAN side's own move and deploy clock counts from the start of the
    // turn or the deployment as it reached the side, as the host's hand-over
    // counts from its start there.
    const int64_t used = net::NetRoundUnderWay(g) ? StampMs(now) - StampMs(g.turnStarted)
                                                  : int64_t{SecondsBetween(g.lastActivity, now)} * 1000;
    return int64_t{OwnClockLimit(g)} * 1000 - used;
}

bool SeatHasLivePiece(const GameState& g, int seat) {
    for (int p = seat * kPiecesPerSeat; p < (seat + 1) * kPiecesPerSeat; ++p)
        if (g.pieces[p].alive == 1) return true;
    return false;
}

bool TeamHasLivePiece(const GameState& g, int seat) {
    return SeatHasLivePiece(g, seat) || SeatHasLivePiece(g, PartnerOf(seat));
}

void EndBattle(GameState& g, int result) {
    ReleaseAllSeats(g);
    g.battleRunning = 0;
    if (result == kBattleDraw && g.stepCount >= kMaxSteps) g.stepCount = kMaxSteps;
    ShowBattleResult(g, g.netConnected, g.isNetHost, result);
    if (result != kBattleDraw && g.optionsRecord.recordLatestFormations != 0)
        RateZfFormations(g, result == kBattleWon ? 0 : 1);
    CountBattleResult(g, result);
    net::RejoinNetBattle(g);
}

void AutoReplayPacing(GameState& g, bool free) {
    if (0.01 * kMainTimerMs * g.autoPlayTicks > g.optionsRecord.autoPlayInterval) {
        if (g.battleRunning == 0 && g.autoPlay != 0 && free) ReplayNextSteps(g);
        g.autoPlayTicks = 0;
    } else if (g.autoPlayTicks < 0) {
        g.autoPlayTicks = 0;
    } else if (g.autoPlayTicks < INT_MAX) {
        ++g.autoPlayTicks;
    }
}

void TurnLight(GameState& g) {
    // No seat is to move while a join waits for the host's answer.
    const int seat = IsValidSeat(g.curSeat) && !net::AwaitsHostAnswer(g) ? g.curSeat : -1;
    ++g.turnLightTick;
    if (g.turnLightTick > kTurnLightLast || g.turnLightTick < 0) g.turnLightTick = 0;
    const int frame = g.turnLightTick % kTurnLightFrameTicks == 0 ? g.turnLightTick / kTurnLightFrameTicks : -1;
    g.ui->ShowTurnLight(seat, frame);
}

void MoveClock(GameState& g) {
    // Nor is anything counted while the own join awaits the host's answer.
    if (net::AwaitsHostAnswer(g)) {
        g.ui->SetTimeRemaining("");
        return;
    }
    // A turn whose start this side cannot know has no deadline shown, rather
    // than one the host does not keep.
    if (net::TurnDeadlineUnknown(g)) {
        g.ui->SetTimeRemaining("--");
        return;
    }
    // Whole seconds, rounded up: 0 only once the time has run out.
    const int64_t left = OwnClockLeftMs(g);
    g.ui->SetTimeRemaining(std::to_string(left <= 0 ? 0 : (left + 999) / 1000));
}

// Seat 0 to move without any legal move gives up.
void LocalSeatWithoutMove(GameState& g) {
    if (g.battleRunning == 0 || g.curSeat != 0) return;
    if (CountLegalMoves(g, 0) > 0) return;
    ClearSelection(g);
    if (g.netConnected == 0) {
        g.move = MoveRec{kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord};
        ExecuteMove(g, kNoPiece, kNoPiece, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord,
                    g.curSeat);
    } else if (g.netMyTurn != 0 && g.netState == 31 && IsValidSeat(g.myNetSeat) &&
               !net::OwnSeatHeldByPlayer(g) && net::NetClientActive(g)) {
        MakeGiveUpMove(g.netMoveRecord, g.curSeat);
        net::SendNetMessage(g, "MoveQz", g.myNetSeat);
    }
}

// The own move time of a LAN battle ran out: three time-outs are passed,
// the fourth hands the seat to the computer.
void OwnNetTimeout(GameState& g) {
    if (g.netConnected == 0 || g.battleRunning == 0 || g.netMyTurn == 0 || g.curSeat != 0 || g.netState != 31)
        return;
    // Once the grace has passed too, the host has ended the turn itself (its
    // clock started first): a time-out sent now would come after it.
    const int64_t left = OwnClockLeftMs(g);
    if (left > 0 || left <= -int64_t{net::kTurnGraceSeconds} * 1000) return;
    // Nothing can reach a host that has gone: the LAN pump ends the battle
    // once what arrived before is applied.
    if (!net::NetClientActive(g)) return;
    // The count is the host's, as its last time-out for the own seat told
    // it: it goes up when this one comes back.
    if (g.netTimeoutCount < net::kTimeoutsPassed) {
        const int count = g.netTimeoutCount + 1;
        MakeTimeoutMove(g.netMoveRecord, count);
        net::SendNetMessage(g, "MoveQz", g.myNetSeat);
        g.ui->SetStatusText(3, " " + std::to_string(count) + " " + Gb("次超时！"));
        return;
    }
    // Only a seat a person still holds is handed over, so this happens once.
    if (!net::OwnSeatHeldByPlayer(g)) return;
    SeatRec& own = g.seatTable[g.myNetSeat];
    PutBoundedText(own.name, sizeof own.name, Gb("计算机"));
    own.state = g.myNetSeat == 0 ? 2 : 0;
    net::SendNetMessage(g, "JoinCancel", g.myNetSeat);
    if (g.myNetSeat == 0) return;
    // As when the host ends the fourth time-out itself, the player is told
    // so in a box.
    net::AbortNetBattle(g, net::kLeaveTooManyTimeouts);
    if (g.lan != nullptr) g.lan->ui()->ExplainLeaving(net::HandOverText(net::kLeaveTooManyTimeouts));
}

// A LAN client that has heard nothing from the host for too long leaves. A
// turn may pass without a word: the host ends it after the move time and
// the grace (a player who joins in it has that again from his join, and
// every side hears of the join), so the host is silent only once that and
// the disconnect time have passed.
void SilentServer(GameState& g) {
    const int quiet = std::max(g.netDisconnectTime, g.netMoveTime + net::kTurnGraceSeconds);
    const int v = static_cast<int>(quiet * 1.2 - ElapsedSeconds(g));
    if (g.battleRunning == 0 || v >= 0 || !net::NetRoundUnderWay(g) || g.myNetSeat == 0) return;
    g.ui->SetMainTimerEnabled(false);
    g.ui->ProcessMessages();
    net::AbortNetBattle(g, net::kLeaveHostSilent);
    g.ui->ShowMessage(net::LanBoxText(net::LanBox::kHostSilent), false);
    g.ui->SetMainTimerEnabled(true);
}

// A battle against the computer: the seat to move is the computer's.
bool LocalComputerMayMove(const GameState& g) {
    if (g.netConnected != 0 || g.practiceMode == 0 || g.deployPhase == 1 || !IsValidSeat(g.curSeat)) return false;
    return g.computerSeat[g.curSeat] != 0 && g.computer != nullptr && g.computer->IsIdle();
}

void WakeComputerPlayer(GameState& g) {
    if (!LocalComputerMayMove(g)) return;
    if (g.netMinMoveInterval > 0) {
        // The pause paces the computer's moves; the window stays live during
        // it, so whatever the player did meanwhile is checked again.
        const int battle = g.battleSerial;
        g.ui->WaitKeepingWindowLive(g.netMinMoveInterval * 1000);
        if (g.battleSerial != battle || !LocalComputerMayMove(g)) return;
    }
    g.computer->Resume();
}

}  // namespace

bool OwnNetTimeLeft(GameState& g) { return OwnClockLeftMs(g) > 0; }

void AdvanceStepCount(GameState& g) {
    ++g.stepCount;
    if (g.stepCount > kMaxSteps) {
        ReleaseAllSeats(g);
        g.stepCount = kMaxSteps;
    }
    g.ui->SetStatusText(2, Gb("当前已走：") + std::to_string(g.stepCount) + Gb(" 步"));
}

void ReleaseAllSeats(GameState& g) {
    for (int s = 0; s < kSeats; ++s) {
        g.computerSeat[s] = 0;
        if (g.seatTable[s].state == 0) g.seatTable[s].state = 2;
    }
}

void ShowBattleResult(GameState& g, int netConnected, int isNetHost, int result) {
    const bool lanHost = netConnected != 0 && isNetHost != 0;
    if (lanHost) {
        if (!net::DrainServerQueues(g))
            g.ui->ShowMessage(net::LanBoxText(net::LanBox::kResultNotSent), false);
    }
    g.ui->ShowBattleResult(result, lanHost);
}

void CountBattleResult(GameState& g, int result) {
    const int level = g.optionsRecord.aiLevel;
    if (level < 0 || level > 2) return;
    int32_t* counters = g.optionsRecord.winRecord[level];
    ++counters[kWinTotal];
    if (result == kBattleWon)
        ++counters[kWinWon];
    else if (result == kBattleLost)
        ++counters[kWinLost];
    else
        ++counters[kWinDrawn];
    g.ui->WinRecordChanged();
}

int CountLegalMoves(const GameState& g, int seat) {
    auto work = std::make_unique<MoveGenWork>(*g.board);
    return GenerateMoves(*work, g.pieces, seat);
}

int BattleResultByRules(const GameState& g) {
    if (g.battleRunning == 0) return -1;
    // An agreed peace ends the battle also before its first step: nobody
    // is to wait for a move (or a time-out) that changes nothing.
    if (g.peaceAgreed != 0) return kBattleDraw;
    if (g.stepCount <= 0) return -1;
    const bool limit = g.netConnected == 0 ? g.stepCount >= kMaxSteps : g.stepLimitReached != 0;
    if (limit) return kBattleDraw;
    if (!IsValidSeat(g.curSeat)) return -1;
    const int dir = g.turnDirection == -1 ? -1 : 1;
    const int next = (g.curSeat + dir + kSeats) % kSeats;
    // The team to move first, then the team after it.
    for (const int s : {g.curSeat, next})
        if (!TeamHasLivePiece(g, s)) return s % 2 == 0 ? kBattleLost : kBattleWon;
    return -1;
}

void CheckBattleEnd(GameState& g) {
    // Before the first step only an agreed peace ends the battle.
    if (g.battleRunning == 0 || (g.stepCount <= 0 && g.peaceAgreed == 0)) return;
    if (g.netConnected == 0) g.stepLimitReached = g.stepCount >= kMaxSteps ? 1 : 0;
    // The battle ends (and is booked) at most once.
    const int result = BattleResultByRules(g);
    if (result >= 0) EndBattle(g, result);
    // With all of seat 0's pieces gone the player watches the rest face up.
    // The button stays disabled, as it is throughout a battle.
    if (!SeatHasLivePiece(g, 0) && g.viewOtherFormations == 0) {
        const std::string caption = ToggleViewOtherFormations(g);
        g.ui->SetViewOtherButton(false, caption);
    }
}

void TickMainTimer(GameState& g) {
    const bool free = g.gameLogicDepth == 0;
    GameLogicGuard busy(g);

    if (g.netConnected == 0 || (g.battleRunning == 0 && g.deployPhase != 0))
        g.ui->SetSaveEnabled(true);
    else
        net::UpdatePlayButtons(g);
    // Give-up and peace in the own seat's turn of a running battle; in a LAN
    // battle only for the player who holds the own seat (the host's computer
    // may hold the host's).
    g.ui->SetGiveUpAndPeaceEnabled(g.practiceMode != 0 && g.curSeat == 0 && g.deployPhase == 0 &&
                                   g.battleRunning != 0 &&
                                   (g.netConnected == 0 || net::OwnSeatHeldByPlayer(g)));
    g.ui->SetChatVisible(g.netConnected != 0 && net::NetClientActive(g));
    AutoReplayPacing(g, free);
    TurnLight(g);
    MoveClock(g);
    if (free) {
        LocalSeatWithoutMove(g);
        OwnNetTimeout(g);
        SilentServer(g);
    }
    TickSelectionBlink(g);
    if (free) {
        CheckBattleEnd(g);
        WakeComputerPlayer(g);
        net::HandleNetBattle(g);
    }
}

void StopAIThread(GameState& g) {
    g.ui->SetMainTimerEnabled(false);
    if (g.computer != nullptr && !g.computer->IsIdle()) g.computer->Stop();
}

}  // namespace jq
