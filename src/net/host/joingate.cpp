#include "net/host/joingate.h"

#include <algorithm>

#include "net/host/places.h"
#include "net/wire/packet.h"

namespace jq::net {

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

void JoinGate::Taken(const std::string& address, int64_t nowMs) {
    Seated& s = seated_[address];
    s.heldMs += (nowMs - s.since) * s.seats;
    s.since = nowMs;
    ++s.seats;
}

void JoinGate::Pause(const std::string& address, int64_t nowMs) {
    pausedUntil_[address] = nowMs + kRejoinPauseSeconds * int64_t{1000};
    auto s = seated_.find(address);
    if (s == seated_.end() || s->second.seats == 0) return;
    s->second.heldMs += (nowMs - s->second.since) * s->second.seats;
    s->second.since = nowMs;
    --s->second.seats;
}

void JoinGate::NewRound(int64_t nowMs) {
    std::erase_if(seated_, [](const auto& e) { return e.second.seats == 0; });
    for (auto& [address, s] : seated_) s = Seated{s.seats, nowMs, 0};
}

void JoinGate::Tick(int64_t nowMs) {
    std::erase_if(pausedUntil_, [nowMs](const auto& p) { return p.second <= nowMs; });
}

int64_t JoinGate::SeatedMs(const std::string& address, int64_t nowMs) const {
    auto s = seated_.find(address);
    if (s == seated_.end()) return 0;
    return (s->second.heldMs + std::max<int64_t>(0, nowMs - s->second.since) * s->second.seats);
}

int JoinGate::Places(const std::string& address) const {
    int n = 0;
    for (const auto& [id, w] : waiting_)
        if (!w.seated && (address.empty() || w.address == address)) ++n;
    return n;
}

std::optional<ConnId> JoinGate::Wait(ConnId id, const std::string& address, const Packet& join, bool seated,
                                     int64_t nowMs) {
    auto it = waiting_.find(id);
    if (it != waiting_.end()) {
        // One waits per connection: the latest, in the place of the first.
        it->second.join = join;
        return std::nullopt;
    }
    const std::optional<SeatRec> rec = DecodeJoin(join);
    const Waiter w{address, join, rec ? rec->seat : -1, ++putOff_, seated};
    if (!seated) {
        // Every join that takes a place, the new one last.
        std::vector<ConnId> ids;
        std::vector<Claim> claims;
        for (const auto& [cid, e] : waiting_)
            if (!e.seated) {
                ids.push_back(cid);
                claims.push_back({e.address, SeatedMs(e.address, nowMs), true, static_cast<int64_t>(e.since)});
            }
        ids.push_back(id);
        claims.push_back({address, SeatedMs(address, nowMs), true, static_cast<int64_t>(w.since)});
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
