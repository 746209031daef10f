// The host's join gate: admission to the seats, the one way in. It decides
// whether a remote join for a free seat may be taken now or must wait, keeps
// the joins that wait and says in which order they are taken. It owns
// everything that makes a join wait: each address's pause after giving up
// or losing a seat, each address's time seated in this round, and the order
// of the joins for each seat. (What stops an address taking the seat it was
// handed over from is its player's time-out count, net/host/timeouts.h.) Who holds which
// seat, and a seat's own time, are the relay's: the relay asks the gate, and
// tells it what became of a join.
//
// The rules:
//  - A join waits while its address pauses (kRejoinPauseSeconds after it
//    gave up or lost a seat), while the seat's own time does not let a join
//    in (the relay's judgement), and behind every join for the same seat
//    that came before it and waits still: first come, first served, whether
//    the earlier one waited for a pause, for the seat's time or for the next
//    round.
//  - Joins that wait are taken in the order they came, every tick; a join
//    asked again while it waits keeps its place.
//  - A join that may wait always waits, never refused for others' load. At
//    most kWaitingJoinsPerAddress wait from one address (one for each seat a
//    remote side can take) and kMaxWaitingJoins in all; who keeps a place
//    when they are more is the places' rule (net/host/places.h), where an
//    entry stands by its address's time seated in this round. The
//    connection of a join that gives way is closed by the host (its seat is
//    not taken, so it is not refused). A connection that holds a seat and
//    asks for the next round (it waits once the battle has ended) takes no
//    place and loses none.
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
// Joins that may wait at a time: from one address, and in all.
constexpr int kWaitingJoinsPerAddress = kSeats - 1;
constexpr int kMaxWaitingJoins = 32;

class JoinGate {
public:
    // Whether a join from `address` for a seat its connection does not hold
    // waits now: its address pauses, or the seat's clock lets no join in
    // now (`clockWaits`, the relay's judgement).
    bool MustWait(const std::string& address, bool clockWaits, int64_t nowMs) const;
    // Whether the connection's join for `seat` goes behind another
    // connection's join for that seat that came before it and waits.
    bool Behind(ConnId id, int seat) const;
    // A join from `address` for a seat its connection did not hold was
    // taken: the address's time seated counts from now.
    void Taken(const std::string& address, int64_t nowMs);

    // The address gave up or lost a seat: its time seated in it ends, and
    // it takes none for kRejoinPauseSeconds.
    void Pause(const std::string& address, int64_t nowMs);
    // A new round: the seats held count their time afresh.
    void NewRound(int64_t nowMs);
    // Forgets the pauses that are over.
    void Tick(int64_t nowMs);
    // Milliseconds the address has held seats in this round (each seat
    // counted).
    int64_t SeatedMs(const std::string& address, int64_t nowMs) const;

    // The connection's join waits (`seated`: the connection holds a seat
    // and asks for the next round). Asked again, the latest join waits in
    // the first one's place. Returns the connection whose join gave way
    // for it, if one had to: another's, or its own (then it does not wait).
    std::optional<ConnId> Wait(ConnId id, const std::string& address, const Packet& join, bool seated,
                               int64_t nowMs);
    // The connection's join waits no more (taken, refused, or its
    // connection gone).
    void Forget(ConnId id);
    // The join the connection has waiting, null if none.
    const Packet* Waiting(ConnId id) const;
    // The connections with joins waiting, in the order they came.
    std::vector<ConnId> InTurn() const;
    // Joins waiting that take a place, from `address` (empty: in all).
    int Places(const std::string& address) const;

private:
    struct Waiter {
        std::string address;
        Packet join;
        int seat = -1;
        // Its place: joins put off so far when it came.
        uint64_t since = 0;
        bool seated = false;
    };
    // An address's seats: how many it holds since `since`, and the
    // milliseconds held before that in this round.
    struct Seated {
        int seats = 0;
        int64_t since = 0;
        int64_t heldMs = 0;
    };

    std::map<ConnId, Waiter> waiting_;
    uint64_t putOff_ = 0;
    std::map<std::string, Seated> seated_;
    // Until when an address that gave up or lost a seat takes none.
    std::map<std::string, int64_t> pausedUntil_;
};

}  // namespace jq::net
