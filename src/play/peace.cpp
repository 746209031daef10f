#include "play/peace.h"

#include <optional>
#include <string>

#include "core/options.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "view/selection.h"

namespace jq {

namespace {

int LivePieces(const GameState& g, int seat) {
    int n = 0;
    for (int p = seat * kPiecesPerSeat; p < (seat + 1) * kPiecesPerSeat; ++p)
        if (g.pieces[p].alive == 1) ++n;
    return n;
}

std::string Blanks(int n) { return std::string(n, ' '); }

// A LAN host's side plays the computer's seats for everybody: while its
// player answers a box of his turn, its ticks go on (what the host relays is
// applied, the computer's seats move, the own time-out goes at its time).
// What the box confirms then counts only in the turn it was opened in.
bool HostsLanBattle(const GameState& g) { return g.netConnected != 0 && g.isNetHost != 0; }

struct TurnSeen {
    explicit TurnSeen(const GameState& g) : steps(g.stepCount), battle(g.battleSerial) {}
    bool Passed(const GameState& g) const {
        return g.battleRunning == 0 || g.stepCount != steps || g.battleSerial != battle;
    }
    int steps, battle;
};

}  // namespace

void OfferPeace(GameState& g) {
    if (g.battleRunning == 0) return;
    const bool lanHost = HostsLanBattle(g);
    std::optional<GameLogicGuard> busy;
    if (!lanHost) busy.emplace(g);
    const TurnSeen turn(g);
    if (g.ui->ShowMessage(Gb("真的不想再战下去了?") + Blanks(13), true) != 1) return;

    if (lanHost && turn.Passed(g)) {
        net::TellNotSent(g, Gb("走棋时间已到，和棋请求没有发出！"));
        return;
    }
    if (g.netConnected != 0) {
        // A request that did not go (confirmed after the own time ran out,
        // or without a host) does not count.
        if (g.netPeaceRequestCount >= 3)
            g.ui->ShowMessage(Gb("三番五次想当逃兵,系统拒绝您的要求.") + Blanks(9), false);
        else if (net::SendNetMessage(g, "PeaceRequest", g.myNetSeat))
            ++g.netPeaceRequestCount;
        return;
    }
    if (LivePieces(g, 0) + LivePieces(g, 2) >= LivePieces(g, 1) + LivePieces(g, 3) + 2) {
        g.ui->ShowMessage(Gb("战争结束。\n天下太平！") + Blanks(15), false);
        g.peaceAgreed = 1;
        return;
    }
    const int refuser = 1 + g.mainRandom.Next() % 3;
    g.ui->ShowMessage(PlayerName(g.optionsRecord, refuser) + Gb("不同意和棋。\n战争还得继续！") + Blanks(15), false);
}

void GiveUp(GameState& g) {
    if (g.battleRunning == 0) return;
    const bool lanHost = HostsLanBattle(g);
    std::optional<GameLogicGuard> busy;
    if (!lanHost) busy.emplace(g);
    const TurnSeen turn(g);
    if (g.ui->ShowMessage(Gb("您真的要缴械投降?") + Blanks(11), true) != 1) return;
    if (lanHost && turn.Passed(g)) {
        net::TellNotSent(g, Gb("走棋时间已到，此步没有发出！"));
        return;
    }
    const int seat = g.curSeat;
    if (!IsValidSeat(seat) || LivePieces(g, seat) == 0) return;

    if (g.netConnected != 0) {
        // Only the own seat gives up, once per turn, while its player holds
        // it (not the host's computer).
        if (seat != 0 || g.netMyTurn == 0 || !net::OwnSeatHeldByPlayer(g)) return;
        ClearSelection(g);
        g.move = MoveRec{kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord};
        MakeGiveUpMove(g.netMoveRecord, seat);
        net::SendNetMessage(g, "MoveQz", g.myNetSeat);
    } else {
        // A seat the computer is playing is the computer's to give up.
        if (g.computerSeat[seat] != 0) return;
        ClearSelection(g);
        g.move = MoveRec{kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord};
        ExecuteMove(g, kNoPiece, kNoPiece, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord, seat);
    }
    g.ui->SetNextStepEnabled(false);
}

void ExitProgram(GameState& g) {
    if (g.netConnected == 0) {
        StopAIThread(g);
        g.ui->CloseMainWindow();
        return;
    }
    if (g.myNetSeat == 0 && g.battleRunning != 0) {
        const std::string question =
            Gb("庄家退出后其他玩家将无法继续游戏！") + Blanks(13) + Gb("\n是否继续退出？");
        if (g.ui->ShowMessage(question, true) != 1) return;
        StopAIThread(g);
        net::CloseNetSockets(g, net::NetClientActive(g), net::NetServerActive(g));
        g.ui->CloseMainWindow();
        return;
    }
    StopAIThread(g);
    if (net::NetClientActive(g)) {
        net::SendNetMessage(g, "JoinCancel", g.myNetSeat);
        net::CloseNetSockets(g, true, false);
    }
    g.ui->CloseMainWindow();
}

}  // namespace jq
