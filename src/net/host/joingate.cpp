#include "net/host/joingate.h"

#include <algorithm>

namespace jq::net {

namespace {

constexpr int64_t kFullBudget = kJoinBurst * int64_t{1000};

}  // namespace

int64_t JoinGate::Level(const Budget& b, int64_t nowMs) {
    return std::min(kFullBudget, b.milli + (nowMs - b.at) * kJoinsPerSecond);
}

int64_t JoinGate::BudgetAt(const std::string& address, int64_t nowMs) const {
    auto b = budgets_.find(address);
    return b == budgets_.end() ? kFullBudget : Level(b->second, nowMs);
}

bool JoinGate::MustWait(const std::string& address, bool clockWaits, int64_t nowMs) const {
    auto pause = pausedUntil_.find(address);
    const bool paused = pause != pausedUntil_.end() && nowMs < pause->second;
    return paused || clockWaits || BudgetAt(address, nowMs) < 1000;
}

void JoinGate::Taken(const std::string& address, int64_t nowMs) {
    // Read before the map makes an entry for an address new to it.
    const Budget left{BudgetAt(address, nowMs) - 1000, nowMs};
    budgets_[address] = left;
}

void JoinGate::Pause(const std::string& address, int64_t nowMs) {
    pausedUntil_[address] = nowMs + kRejoinPauseSeconds * int64_t{1000};
}

void JoinGate::Lock(const std::string& address, int seat) { locked_.emplace(address, seat); }

bool JoinGate::Locked(const std::string& address, int seat) const { return locked_.count({address, seat}) != 0; }

void JoinGate::NewRound() { locked_.clear(); }

void JoinGate::Tick(int64_t nowMs) {
    std::erase_if(pausedUntil_, [nowMs](const auto& p) { return p.second <= nowMs; });
    std::erase_if(budgets_, [nowMs](const auto& b) { return Level(b.second, nowMs) >= kFullBudget; });
}

int JoinGate::Places(const std::string& address) const {
    int n = 0;
    for (const auto& [id, w] : waiting_)
        if (!w.seated && (address.empty() || w.address == address)) ++n;
    return n;
}

std::optional<ConnId> JoinGate::Displaced(const std::string& address) const {
    const int own = Places(address);
    if (own < kWaitingJoinsPerAddress && Places({}) < kMaxWaitingJoins) return std::nullopt;
    // Each other address's joins waiting, and its oldest one's place.
    std::map<std::string, std::pair<int, uint64_t>> others;
    for (const auto& [id, w] : waiting_) {
        if (w.seated || w.address == address) continue;
        auto& [n, oldest] = others.try_emplace(w.address, 0, w.since).first->second;
        ++n;
        oldest = std::min(oldest, w.since);
    }
    // The address with the most joins waiting loses its oldest: the
    // newcomer's own (counted with its new one) when it has one waiting and
    // as many as any other; among others, the one whose oldest came first.
    std::string loser = address;
    int most = own > 0 ? own + 1 : 0;
    uint64_t first = 0;
    for (const auto& [a, e] : others)
        if (e.first > most || (e.first == most && loser != address && e.second < first)) {
            loser = a;
            most = e.first;
            first = e.second;
        }
    std::optional<ConnId> oldest;
    for (const auto& [id, w] : waiting_)
        if (!w.seated && w.address == loser && (!oldest || w.since < waiting_.at(*oldest).since)) oldest = id;
    return oldest;
}

std::optional<ConnId> JoinGate::Wait(ConnId id, const std::string& address, const Packet& join, bool seated) {
    auto it = waiting_.find(id);
    if (it != waiting_.end()) {
        // One waits per connection: the latest, in the place of the first.
        it->second.join = join;
        return std::nullopt;
    }
    const std::optional<ConnId> displaced = seated ? std::nullopt : Displaced(address);
    if (displaced) waiting_.erase(*displaced);
    waiting_.emplace(id, Waiter{address, join, ++putOff_, seated});
    return displaced;
}

void JoinGate::Forget(ConnId id) { waiting_.erase(id); }

const Packet* JoinGate::Waiting(ConnId id) const {
    auto it = waiting_.find(id);
    return it == waiting_.end() ? nullptr : &it->second.join;
}

std::vector<ConnId> JoinGate::InTurn() const {
    // Each join's rank among its address's (0: the oldest), then its place.
    std::vector<std::pair<uint64_t, ConnId>> byPlace;
    for (const auto& [id, w] : waiting_) byPlace.emplace_back(w.since, id);
    std::sort(byPlace.begin(), byPlace.end());
    std::map<std::string, uint64_t> seen;
    std::vector<std::pair<std::pair<uint64_t, uint64_t>, ConnId>> order;
    for (const auto& [since, id] : byPlace) order.push_back({{seen[waiting_.at(id).address]++, since}, id});
    std::sort(order.begin(), order.end());
    std::vector<ConnId> ids;
    for (const auto& e : order) ids.push_back(e.second);
    return ids;
}

}  // namespace jq::net
