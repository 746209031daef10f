#include "net/side/ownmove.h"

#include "ai/choose0.h"
#include "net/lan.h"
#include "net/wire/packet.h"
#include "play/turnloop.h"

namespace jq::net {

bool SendOwnComputerMove(GameState& g, AiWorkspace& work) {
    // Nothing is chosen that could not go out: no move twice in one step
    // (netMyTurn), none once the rules have ended the battle, none to a host
    // that has gone.
    if (g.netConnected == 0 || g.battleRunning == 0 || g.netState != kNetBattle || g.curSeat != 0 ||
        g.netMyTurn == 0 || g.deployPhase != 0 || !NetClientActive(g) || BattleResultByRules(g) >= 0)
        return false;
    TakeSnapshot(g, work.game);
    ChooseMove(work);
    MoveCand move = work.aiMoveList.list[0];
    // Without a move of its own seat, the own seat gives up.
    if (work.aiMoveList.count <= 0 || !IsValidPiece(move.mover) || SeatOf(move.mover) != 0) {
        move = MoveCand{};
        MakeGiveUpMove(move, g.curSeat);
    }
    g.netMoveRecord = move;
    SendNetMessage(g, "MoveQz", g.myNetSeat);
    return g.netMyTurn == 0;
}

}  // namespace jq::net
