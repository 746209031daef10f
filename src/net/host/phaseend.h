// What ends a phase for a seat, on the host's clock (the seat's end is the
// phase clock's EndMs: its time and the grace).
//
// In the deployment, a remote player who has not deployed by his end is
// handed over to the computer; the host's own player has no deploy
// time-out. In the battle, once a person's seat to move has reached its
// end, the host ends the turn as that seat's time-out, with the packet its
// own side would send; a seat whose player has said nothing in the turn for
// longer than the disconnect time by then is handed over instead. A turn
// of the computer's still open at the bound of every turn (the phase
// clock's BoundMs: twice its time and the grace) is ended as its time-out,
// which counts for nobody: its side moves for a seat once it has heard the
// seat is the computer's, and the host's own side may be that far behind
// on what it was sent. The
// silence rules are each seat's own: only a packet taken from the seat's
// own connection that changes something counts as its player heard
// (SeatTable::Holding::heardMs).
#pragma once

#include <cstdint>

#include "net/host/phaseclock.h"
#include "net/host/seattable.h"
#include "net/lan.h"

namespace jq::net {

enum class SeatEnd { kGoesOn, kTimeOut, kHandOver };

// The seat's deployment at `nowMs`: kGoesOn or kHandOver.
SeatEnd DeploymentEnd(const SeatTable& holds, const PhaseClock& clock, int seat, int64_t nowMs);
// The turn of `seat`, the seat to move, at `nowMs`.
SeatEnd TurnEnd(const SeatTable& holds, const PhaseClock& clock, int seat, int64_t nowMs, int32_t disconnectSeconds);
// The time-out the seat's own side sends (its count is written as it is
// relayed).
Packet TimeOutPacket(int seat);

}  // namespace jq::net
