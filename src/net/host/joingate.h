// The host's join gate: admission to the seats. It decides whether a remote
// join for a free seat may be taken now or must wait, keeps the joins that
// wait and says in which order they are taken. It owns everything that
// makes a join wait or stops it for an address: each address's pause after
// giving up or losing a seat, the lock on the seat an address was handed
// over from in this round, and each address's join budget. Who holds which
// seat, and a seat's own time, are the relay's: the relay asks the gate, and
// tells it what became of a join.
//
// Each address pays for itself: its joins go on at its own budget
// (kJoinBurst at once, kJoinsPerSecond after), and nobody else's joins spend
// it. Nobody's load makes another address's join be refused.
//
// The invariant: a join that may wait always gets a place, and the places
// are shared fairly between addresses. At most kMaxWaitingJoins wait in all
// and kWaitingJoinsPerAddress from one address (one for each seat a remote
// side can take). A join for which there is no place takes the place of the
// oldest join of the address with the most joins waiting (its own counted
// with it): no address loses a waiting join while another has more waiting,
// an address that has a join waiting already loses its own first when it
// has as many as any other, and an address with nothing waiting always gets
// a place. The connection of a join that lost its place is closed by the
// host (its seat is not taken, so it is not refused). A connection that
// holds a seat and asks for the next round (it waits once the battle has
// ended) takes no place and loses none. Joins that wait are taken in turn
// across addresses: every address's oldest in the order they came, then
// every address's second, and so on; a join asked again while it waits
// keeps its place.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "net/lan.h"

namespace jq::net {

// Seconds a remote address that gave up or lost a seat waits before it may
// take one.
constexpr int kRejoinPauseSeconds = 3;
// Joins of one address taken at once after a quiet while, and in a second.
constexpr int kJoinBurst = kSeats - 1;
constexpr int kJoinsPerSecond = 1;
// Joins that may wait at a time: from one address, and in all.
constexpr int kWaitingJoinsPerAddress = kSeats - 1;
constexpr int kMaxWaitingJoins = 32;

class JoinGate {
public:
    // Whether a join from `address` for a seat its connection does not hold
    // waits now: its address pauses, the seat's clock lets no join in now
    // (`clockWaits`, the relay's judgement), or its address is over its
    // budget.
    bool MustWait(const std::string& address, bool clockWaits, int64_t nowMs) const;
    // A join from `address` for a seat its connection did not hold was
    // taken: it is paid from the address's budget.
    void Taken(const std::string& address, int64_t nowMs);

    // The address gave up or lost a seat: it takes none for
    // kRejoinPauseSeconds.
    void Pause(const std::string& address, int64_t nowMs);
    // The address was handed over from `seat`: it takes that seat no more
    // in this round.
    void Lock(const std::string& address, int seat);
    bool Locked(const std::string& address, int seat) const;
    // A new round: no seat is locked.
    void NewRound();
    // Forgets the pauses that are over and the budgets that are full.
    void Tick(int64_t nowMs);

    // The connection's join waits (`seated`: the connection holds a seat
    // and asks for the next round). Asked again, the latest join waits in
    // the first one's place. Returns the connection whose join lost its
    // place to it, if one had to.
    std::optional<ConnId> Wait(ConnId id, const std::string& address, const Packet& join, bool seated);
    // The connection's join waits no more (taken, refused, or its
    // connection gone).
    void Forget(ConnId id);
    // The join the connection has waiting, null if none.
    const Packet* Waiting(ConnId id) const;
    // The connections with joins waiting, in the order they are to be taken.
    std::vector<ConnId> InTurn() const;
    // Joins waiting that take a place, from `address` (empty: in all).
    int Places(const std::string& address) const;

private:
    struct Waiter {
        std::string address;
        Packet join;
        // Its place: joins put off so far when it came.
        uint64_t since = 0;
        bool seated = false;
    };
    // An address's budget: whole joins it holds, in thousandths, as of `at`.
    struct Budget {
        int64_t milli = 0;
        int64_t at = 0;
    };
    // What a budget (the address's) holds at `nowMs`, in thousandths: its
    // refill, the one formula.
    static int64_t Level(const Budget& b, int64_t nowMs);
    int64_t BudgetAt(const std::string& address, int64_t nowMs) const;
    // The join that gives its place to a new one of `address`, if there is
    // no place for it.
    std::optional<ConnId> Displaced(const std::string& address) const;

    std::map<ConnId, Waiter> waiting_;
    uint64_t putOff_ = 0;
    // Addresses that spent budget lately (a full budget has no entry).
    std::map<std::string, Budget> budgets_;
    // Until when an address that gave up or lost a seat takes none.
    std::map<std::string, int64_t> pausedUntil_;
    // The seats addresses were handed over from in this round.
    std::set<std::pair<std::string, int>> locked_;
};

}  // namespace jq::net
