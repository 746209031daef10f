// The host's join gate: admission to the seats, the one way in. It decides
// whether a remote join is refused, may be taken now or must wait, keeps
// the joins that wait and says in which order they are taken. It owns
// everything that stops a join or makes it wait: the seats a remote side
// may take, each address's pause after giving up or losing a seat, each
// seat's last holder in this round, and the order of the joins for each
// seat. Who holds which seat, a seat's own time, and whether an address was
// handed over from a seat (its player's time-out record,
// net/host/timeouts.h) are the relay's: the relay asks the gate, and tells
// it what became of a join.
//
// The rules:
//  - A remote join is refused for seat 0, for a second seat while its
//    connection holds one, for a seat somebody else holds, and for the seat
//    its address was handed over from in this round.
//  - A join waits while its address pauses (kRejoinPauseSeconds after it
//    gave up or lost a seat), while the seat's own time does not let a join
//    in (the relay's judgement), and behind every join for the same seat
//    that came before it and waits still: first come, first served, whether
//    the earlier one waited for a pause, for the seat's time or for the next
//    round.
//  - Joins that wait are taken in the order they came, every tick. A join
//    asked again while it waits is the latest one asked: for the same seat
//    it keeps its place; for another seat it waits for that seat, in the
//    place of a join that comes now.
//  - A join that may wait always waits, never refused for others' load. At
//    most kWaitingJoinsPerAddress wait from one address (one for each seat a
//    remote side can take) and kMaxWaitingJoins in all; who keeps a place
//    when they are more is the places' rule (net/host/places.h), where an
//    entry stands by the seats its address was the last to hold in this
//    round. The connection of a join that gives way is closed by the host
//    (its seat is not taken, so it is not refused). A connection that holds
//    a seat and asks for the next round (it waits once the battle has
//    ended) takes no place and loses none.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
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
// "JoinRefuse" answers a connection gets; a refused join beyond them closes
// it instead (an honest side leaves at its first).
constexpr int kMaxRefusals = 3;

// What becomes of a remote join now.
enum class JoinStep { kWait, kNothingNew, kRefuse, kTake };

// What the relay knows of a remote join for `seat`.
struct JoinFacts {
    int seat = 0;
    // The battle has begun in this round and ended on the copy.
    bool battleEnded = false;
    // Its connection holds the seat, and its join was taken in this round.
    bool holder = false;
    bool joinedThisRound = false;
    // What Refuses reads.
    int held = -1;
    bool takenByAnother = false;
    bool handedOver = false;
    // The seat's clock lets no join in now (the phase clock's JoinWaits).
    bool clockWaits = false;
};

class JoinGate {
public:
    // What becomes of the connection's join, in this order: once the battle
    // has ended it waits for the next round; a holder's join taken in this
    // round already tells nobody anything new; a refused one (Refuses) is
    // refused; it waits while the seat's clock lets no join in, for a seat
    // its connection does not hold also while its address pauses (MustWait)
    // or behind an earlier join for the seat (Behind); otherwise it is taken.
    JoinStep Admit(ConnId id, const std::string& address, const JoinFacts& f, int64_t nowMs) const;
    // Whether a remote join for `seat` is refused: its connection holds
    // `held` (-1: none), `takenByAnother` says whether another connection
    // holds `seat`, and `handedOver` whether its address was handed over
    // from `seat` in this round.
    static bool Refuses(int seat, int held, bool takenByAnother, bool handedOver);
    // Whether a join from `address` for a seat its connection does not hold
    // waits now: its address pauses, or the seat's clock lets no join in
    // now (`clockWaits`, the relay's judgement).
    bool MustWait(const std::string& address, bool clockWaits, int64_t nowMs) const;
    // Whether the connection's join for `seat` goes behind another
    // connection's join for that seat that came before it and waits.
    bool Behind(ConnId id, int seat) const;
    // A join from `address` for `seat`, which its connection did not hold,
    // was taken: the address is the seat's last holder.
    void Taken(const std::string& address, int seat);

    // The address gave up or lost a seat: it takes none for
    // kRejoinPauseSeconds.
    void Pause(const std::string& address, int64_t nowMs);
    // A new round: a seat's last holder stays so
    // only while he holds it (`holders`: the address that holds each seat
    // now, empty for none).
    void NewRound(const std::array<std::string, kSeats>& holders);
    // Forgets the pauses that are over.
    void Tick(int64_t nowMs);
    // The seats whose last holder in this round is `address`: what its
    // entries stand by (net/host/places.h).
    int SeatsLastHeld(const std::string& address) const;
    // Each seat's last holder in this round, empty for none.
    const std::array<std::string, kSeats>& LastHolders() const { return lastHolder_; }

    // The connection's join waits (`seated`: the connection holds a seat
    // and asks for the next round). Returns the connection whose join gave
    // way for it, if one had to: another's, or its own (then it does not
    // wait).
    std::optional<ConnId> Wait(ConnId id, const std::string& address, const Packet& join, bool seated);
    // The connection's join waits no more (taken, refused, or its
    // connection gone).
    void Forget(ConnId id);
    // The join the connection has waiting, null if none.
    const Packet* Waiting(ConnId id) const;
    // The connections with joins waiting, in the order they came.
    std::vector<ConnId> InTurn() const;

private:
    struct Waiter {
        std::string address;
        Packet join;
        int seat = -1;
        // Its place: joins put off so far when it came.
        uint64_t since = 0;
        bool seated = false;
    };

    std::map<ConnId, Waiter> waiting_;
    uint64_t putOff_ = 0;
    // Each seat's last holder in this round (empty: none).
    std::array<std::string, kSeats> lastHolder_;
    // Until when an address that gave up or lost a seat takes none.
    std::map<std::string, int64_t> pausedUntil_;
};

}  // namespace jq::net
