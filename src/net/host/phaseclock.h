// The phase clock: when a seat's time in the phase under way is over on the
// host's clock. A seat's phase is the deployment (every seat's) or its turn
// in the battle (the seat to move on the host's copy); the clock answers the
// join gate (whether a join may bring time now), the time-outs (when the
// host ends the phase for the seat) and the judging of a seat's own
// time-out alike, from one function, TimeOverMs.
//
// Invariant: a seat's time in its phase is the phase's whole time (the move
// or the deploy time), counted from the phase's start or, for a player who
// took the seat in it, from his join. A join brings that time only to a seat
// whose time was nobody's when the phase began (the computer's or a free
// seat, or one whose holder had not joined the round yet), once per seat per
// phase, and only before the seat's time from the phase's start has run out;
// any other join of the seat waits until the phase is over, so its answer
// never promises a time the host does not give. So no seat's phase lasts
// longer than twice its time and the grace, however many join, and a seat a
// player held when its phase began has no more than that phase's time
// however often he leaves and comes back, on whatever address.
#pragma once

#include <cstdint>

#include "core/options.h"
#include "core/qipan.h"
#include "net/host/referee.h"

namespace jq::net {

class PhaseClock {
public:
    // The phases are the referee's; the times are the round's (both read
    // when asked).
    PhaseClock(const HostReferee& referee, const LanTimes& times) : referee_(referee), times_(times) {}

    // A new phase (the battle's start, a turn after a step): no join has
    // brought time in it; `playersTime` marks the seats whose player's time
    // counts from its start. The deployment's start is the clock's own; a
    // turn starts where the copy says.
    void NewPhase(const bool (&playersTime)[kSeats]);
    void DeploymentBegins(int64_t nowMs) { deployStartMs_ = nowMs; }

    // Whether the phase under way is the seat's: the deployment, or the
    // battle running with the seat to move.
    bool InPhase(int seat) const;
    // When the phase under way began: the deployment, or the turn.
    int64_t PhaseStartMs() const;
    // When the seat's time in its phase is over: from then its own time-out
    // counts, and the grace later (EndMs) the host ends the phase for it.
    int64_t TimeOverMs(int seat) const;
    int64_t EndMs(int seat) const;
    // Whether a join of the seat, taken now, would not bring the whole time:
    // its player's time counted from the phase's start, one has brought it
    // in this phase, or the seat's time is over. Such a join waits until the
    // phase is over.
    bool JoinWaits(int seat, int64_t nowMs) const;
    // A person took the seat now: in its phase, his time counts from here.
    void Joined(int seat, int64_t nowMs);

private:
    int32_t PhaseSeconds() const;

    const HostReferee& referee_;
    const LanTimes& times_;
    int64_t deployStartMs_ = 0;
    // The seats whose player's time counted from the phase's start.
    bool playersTime_[kSeats] = {};
    // The join that brought the seat its time in this phase, if any.
    bool joined_[kSeats] = {};
    int64_t joinedMs_[kSeats] = {};
};

}  // namespace jq::net
