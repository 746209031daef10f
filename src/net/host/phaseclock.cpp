#include "net/host/phaseclock.h"

#include "net/lan.h"

namespace jq::net {

void PhaseClock::NewPhase(const PhaseHolder (&holders)[kSeats]) {
    for (int s = 0; s < kSeats; ++s) {
        playersTime_[s] = holders[s].person && (!referee_.Deploying() || holders[s].joinedRound);
        joined_[s] = false;
    }
}

bool PhaseClock::InPhase(int seat) const {
    if (!IsValidSeat(seat)) return false;
    return referee_.Deploying() || (referee_.Running() && referee_.Game().curSeat == seat);
}

int64_t PhaseClock::PhaseStartMs() const {
    return referee_.Deploying() ? deployStartMs_ : StampMs(referee_.Game().turnStarted);
}

int32_t PhaseClock::PhaseSeconds() const { return referee_.Deploying() ? times_.deploy : times_.move; }

int64_t PhaseClock::TimeOverMs(int seat) const {
    const int64_t from = IsValidSeat(seat) && joined_[seat] ? joinedMs_[seat] : PhaseStartMs();
    return from + PhaseSeconds() * int64_t{1000};
}

int64_t PhaseClock::EndMs(int seat) const { return TimeOverMs(seat) + kTurnGraceSeconds * int64_t{1000}; }

int64_t PhaseClock::BoundMs() const {
    return PhaseStartMs() + (2 * int64_t{PhaseSeconds()} + kTurnGraceSeconds) * 1000;
}

bool PhaseClock::JoinWaits(int seat, int64_t nowMs) const {
    return InPhase(seat) && (playersTime_[seat] || joined_[seat] || nowMs >= TimeOverMs(seat));
}

void PhaseClock::Joined(int seat, int64_t nowMs) {
    if (!InPhase(seat) || JoinWaits(seat, nowMs)) return;
    joined_[seat] = true;
    joinedMs_[seat] = nowMs;
}

bool PhaseClock::ComputerWaits(int64_t nowMs, bool ownUntaken, std::optional<int64_t> remoteUntakenSinceMs) const {
    if (nowMs - PhaseStartMs() >= kComputerWaitMs) return false;
    return ownUntaken || (remoteUntakenSinceMs && nowMs - *remoteUntakenSinceMs < kComputerWaitMs);
}

}  // namespace jq::net
