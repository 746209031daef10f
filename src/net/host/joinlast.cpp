#include "net/host/joinlast.h"

#include <algorithm>

#include "net/netbattle.h"

namespace jq::net {

Packet BuildJoinLast(const HostReferee& referee, const SeatTable& holds, int32_t firstSeat, int32_t turnDirection,
                     const LanTimes& times) {
    const GameState& copy = referee.Game();
    JoinLastBody b;
    for (int s = 0; s < kSeats; ++s) b.seats[s] = holds[s].rec;
    for (int k = 0; k < kPieceCount; ++k) {
        const PieceRec& pc = copy.pieces[k];
        b.x[k] = static_cast<int8_t>(pc.x);
        b.y[k] = static_cast<int8_t>(pc.y);
        b.code[k] = static_cast<int8_t>(pc.code);
        b.alive[k] = static_cast<int8_t>(pc.alive);
    }
    const bool battle = referee.Running();
    const int n = battle ? std::clamp(copy.stepCount, 0, kMaxSteps) : 0;
    b.steps.assign(copy.stepRecords, copy.stepRecords + n);
    b.curSeat = battle ? copy.curSeat : firstSeat;
    b.turnDirection = battle ? (copy.turnDirection == -1 ? -1 : 1) : turnDirection;
    b.netState = battle ? kNetBattle : referee.Deploying() ? kNetDeployBegins : kNetWaiting;
    b.moveTime = times.move;
    b.deployTime = times.deploy;
    b.disconnectTime = times.disconnect;
    return EncodeJoinLast(b);
}

}  // namespace jq::net
