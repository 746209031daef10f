#include "net/host/joingate.h"

#include <algorithm>

#include "net/host/places.h"
#include "net/wire/packet.h"

namespace jq::net {

bool JoinGate::Refuses(int seat, int held, bool takenByAnother, bool handedOver) {
    return seat == 0 || (held >= 0 && held != seat) || takenByAnother || handedOver;
}

JoinStep JoinGate::Admit(ConnId id, const std::string& address, const JoinFacts& f, int64_t nowMs) const {
    if (f.battleEnded) return JoinStep::kWait;
    if (f.holder && f.joinedThisRound) return JoinStep::kNothingNew;
    if (Refuses(f.seat, f.held, f.takenByAnother, f.handedOver)) return JoinStep::kRefuse;
    const bool waits = f.holder ? f.clockWaits : MustWait(address, f.clockWaits, nowMs);
    if (waits || (!f.holder && Behind(id, f.seat))) return JoinStep::kWait;
    return JoinStep::kTake;
}

bool JoinGate::MustWait(const std::string& address, bool clockWaits, int64_t nowMs) const {
    auto pause = pausedUntil_.find(address);
    const bool paused = pause != pausedUntil_.end() && nowMs < pause->second;
    return paused || clockWaits;
}

bool JoinGate::Behind(ConnId id, int seat) const {
    auto own = waiting_.find(id);
    return std::any_of(waiting_.begin(), waiting_.end(), [&](const auto& e) {
        return e.first != id && e.second.seat == seat && (own == waiting_.end() || e.second.since < own->second.since);
    });
}

void JoinGate::Taken(const std::string& address, int seat) {
    if (IsValidSeat(seat)) lastHolder_[seat] = address;
}

void JoinGate::Pause(const std::string& address, int64_t nowMs) {
    pausedUntil_[address] = nowMs + kRejoinPauseSeconds * int64_t{1000};
}

void JoinGate::NewRound(const std::array<std::string, kSeats>& holders) {
    for (int s = 0; s < kSeats; ++s)
        if (holders[s] != lastHolder_[s]) lastHolder_[s].clear();
}

void JoinGate::Tick(int64_t nowMs) {
    std::erase_if(pausedUntil_, [nowMs](const auto& p) { return p.second <= nowMs; });
}

int JoinGate::SeatsLastHeld(const std::string& address) const {
    if (address.empty()) return 0;
    return static_cast<int>(std::count(lastHolder_.begin(), lastHolder_.end(), address));
}

std::optional<ConnId> JoinGate::Wait(ConnId id, const std::string& address, const Packet& join, bool seated) {
    const std::optional<SeatRec> rec = DecodeJoin(join);
    const int seat = rec ? rec->seat : -1;
    auto it = waiting_.find(id);
    if (it != waiting_.end()) {
        // One waits per connection, the latest: for another seat it goes
        // behind every join that waits now.
        it->second.join = join;
        if (it->second.seat != seat) it->second.since = ++putOff_;
        it->second.seat = seat;
        return std::nullopt;
    }
    const Waiter w{address, join, seat, ++putOff_, seated};
    if (!seated) {
        // Every join that takes a place, the new one last.
        std::vector<ConnId> ids;
        std::vector<Claim> claims;
        for (const auto& [cid, e] : waiting_)
            if (!e.seated) {
                ids.push_back(cid);
                claims.push_back({e.address, SeatsLastHeld(e.address), true, static_cast<int64_t>(e.since)});
            }
        ids.push_back(id);
        claims.push_back({address, SeatsLastHeld(address), true, static_cast<int64_t>(w.since)});
        if (const std::optional<size_t> loser = GivesWay(claims, kWaitingJoinsPerAddress, kMaxWaitingJoins)) {
            const ConnId gone = ids[*loser];
            if (gone == id) return id;
            waiting_.erase(gone);
            waiting_.emplace(id, w);
            return gone;
        }
    }
    waiting_.emplace(id, w);
    return std::nullopt;
}

void JoinGate::Forget(ConnId id) { waiting_.erase(id); }

const Packet* JoinGate::Waiting(ConnId id) const {
    auto it = waiting_.find(id);
    return it == waiting_.end() ? nullptr : &it->second.join;
}

std::vector<ConnId> JoinGate::InTurn() const {
    std::vector<std::pair<uint64_t, ConnId>> byPlace;
    for (const auto& [id, w] : waiting_) byPlace.emplace_back(w.since, id);
    std::sort(byPlace.begin(), byPlace.end());
    std::vector<ConnId> ids;
    for (const auto& e : byPlace) ids.push_back(e.second);
    return ids;
}

}  // namespace jq::net
