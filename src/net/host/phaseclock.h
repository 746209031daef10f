// The phase clock: when a seat's time in the phase under way is over on the
// host's clock, and whether the computer's seats wait. A seat's phase is the
// deployment (every seat's) or its turn in the battle (the seat to move on
// the host's copy); the clock answers the join gate (whether a join may bring
// time now), the time-outs (when the host ends the phase for the seat) and
// the judging of a seat's own time-out alike, from one function, TimeOverMs.
//
// Invariant: a seat's time in its phase is the phase's whole time (the move
// or the deploy time), counted from the phase's start or, for a player who
// took the seat in it, from his join. A seat's time is its player's from the
// phase's start when a person holds it as the phase begins: in the battle
// whoever he is, in the deployment only if his join was taken in this round
// (a holder whose join for the round comes later is a joiner like any
// other). A join brings the whole time only to a seat whose time was
// nobody's when the phase began (the computer's or a free seat, or such a
// holder), once per seat per phase, and only before the seat's time from the
// phase's start has run out; any other join of the seat waits until the
// phase is over, so its answer never promises a time the host does not give.
// So no seat's phase lasts longer than twice its time and the grace, however
// many join (BoundMs), and a seat a player held when its phase began has no
// more than that phase's time however often he leaves and comes back, on
// whatever address.
//
// The computer's seats (played by the host's own side) wait for the sides
// to take what was sent to them, so that nobody misses a step the computer
// answers at once: only in the first kComputerWaitMs of a phase, while the
// host's own connection has packets it has not taken, or a remote seated
// one has had some for less than kComputerWaitMs (a side that reads slowly
// holds nobody up). So the queues hold the computer kComputerWaitMs of a
// phase at most, however many come and go in it and however much they are
// told (the host's own link is paced like any other, and a churn of seats
// keeps its queue from emptying).
#pragma once

#include <cstdint>
#include <optional>

#include "core/options.h"
#include "core/qipan.h"
#include "net/host/referee.h"

namespace jq::net {

// Milliseconds of a phase in which the computer's seats may wait for the
// queues.
constexpr int64_t kComputerWaitMs = 1000;

// Who holds a seat as a phase begins.
struct PhaseHolder {
    // A person (not the computer, not nobody).
    bool person = false;
    // His join was taken in this round.
    bool joinedRound = false;
};

class PhaseClock {
public:
    // The phases are the referee's; the times are the round's (both read
    // when asked).
    PhaseClock(const HostReferee& referee, const LanTimes& times) : referee_(referee), times_(times) {}

    // A new phase (the deployment, the battle's start, a turn after a
    // step), with who holds each seat as it begins: no join has brought
    // time in it. The deployment's start is the clock's own; a turn starts
    // where the copy says.
    void NewPhase(const PhaseHolder (&holders)[kSeats]);
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
    // The latest the phase under way may last to: twice its time and the
    // grace from its start.
    int64_t BoundMs() const;
    // Whether a join of the seat, taken now, would not bring the whole time:
    // its player's time counted from the phase's start, one has brought it
    // in this phase, or the seat's time is over. Such a join waits until the
    // phase is over.
    bool JoinWaits(int seat, int64_t nowMs) const;
    // A person took the seat now: in its phase, his time counts from here.
    void Joined(int seat, int64_t nowMs);

    // Whether the computer's seats wait at `nowMs`, given what the queues
    // hold: the host's own connection has packets it has not taken
    // (`ownUntaken`); the latest time since which a remote seated
    // connection's queue has held packets it has not taken (none: no such
    // queue).
    bool ComputerWaits(int64_t nowMs, bool ownUntaken, std::optional<int64_t> remoteUntakenSinceMs) const;

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
