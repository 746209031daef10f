// The "JoinLast" a side is answered with: the whole match as the host's copy
// holds it when it is built (everything relayed so far is on the copy; the
// host's own side may not have applied it yet). The seats as the table
// holds them; the pieces; in a running battle its steps, the seat to move
// and the turn direction, otherwise the round's first seat and direction;
// the phase (waiting room, deployment or battle); the round's times.
#pragma once

#include <cstdint>

#include "core/options.h"
#include "net/host/referee.h"
#include "net/host/seattable.h"
#include "net/lan.h"

namespace jq::net {

Packet BuildJoinLast(const HostReferee& referee, const SeatTable& holds, int32_t firstSeat, int32_t turnDirection,
                     const LanTimes& times);

}  // namespace jq::net
