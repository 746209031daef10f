#include "net/host/phaseend.h"

#include <algorithm>

namespace jq::net {

SeatEnd DeploymentEnd(const SeatTable& holds, const PhaseClock& clock, int seat, int64_t nowMs) {
    if (seat == 0) return SeatEnd::kGoesOn;
    const SeatTable::Holding& h = holds[seat];
    if (h.rec.state != 1 || h.rec.deployed == 2) return SeatEnd::kGoesOn;
    return nowMs >= clock.EndMs(seat) ? SeatEnd::kHandOver : SeatEnd::kGoesOn;
}

SeatEnd TurnEnd(const SeatTable& holds, const PhaseClock& clock, int seat, int64_t nowMs, int32_t disconnectSeconds) {
    if (!IsValidSeat(seat)) return SeatEnd::kGoesOn;
    if (holds[seat].rec.state != 1) return nowMs >= clock.BoundMs() ? SeatEnd::kTimeOut : SeatEnd::kGoesOn;
    if (nowMs < clock.EndMs(seat)) return SeatEnd::kGoesOn;
    if (nowMs - std::max(clock.PhaseStartMs(), holds[seat].heardMs) > disconnectSeconds * int64_t{1000})
        return SeatEnd::kHandOver;
    return SeatEnd::kTimeOut;
}

Packet TimeOutPacket(int seat) {
    MoveQzBody b{MoveCand{}, seat};
    MakeTimeoutMove(b.move, 0);
    return EncodeMoveQz(b);
}

}  // namespace jq::net
