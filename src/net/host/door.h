// The host's door: what a connection costs before it has spoken, and who is
// let in. The socket layer accepts each connection as a bare descriptor and
// gives it to the door; nothing else is made for it (no socket object, no
// record, no buffer) until the door lets it in, and a connection is let in
// only once it has spoken: its first bytes hold a whole packet (Speaks). An
// honest side sends its join as soon as it has connected, so silence costs
// it nothing; a connection that never speaks never costs more than its
// place at the door.
//
// Bounds, in total and whatever the number of addresses:
//  - Work per tick: the socket layer accepts at most kDoorAcceptsPerTick
//    connections and looks at most at kDoorAcceptsPerTick waiting ones a
//    tick; the rest waits in the system's queues until the next tick, after
//    the battle's own sockets have had theirs.
//  - Connections let in (each one a socket object and a record): at most
//    kDoorIn in all (a burst, then a rate).
//  - Memory: kDoorWaiting connections waiting (a descriptor and about a
//    hundred bytes each) and at most kDoorAddresses addresses' rates (some
//    64 bytes each): under a megabyte, however long the flood and however
//    many its addresses.
// Each address pays for itself: at most kDoorWaitingPerAddress of its
// connections wait at a time (one more is closed as it comes), and it pays
// kDoorRate for each connection let in (the next waits, spoken, until its
// rate allows it).
//
// The total is shared by address, never by who came first: the addresses
// with spoken connections waiting take turns, one connection each a turn,
// so a newcomer waits for one turn of the others, however many connections
// each of them keeps waiting. Before every turn come the seats' last
// holders in this round (SetStanding; at most one address a seat, so the
// battle bounds them), each within its own rate: a player whose connection
// broke is let back in first.
//
// When every place at the door is taken, the connection silent longest
// gives way (silence earns nothing, and an honest side's join comes within
// a round trip). When all have spoken, the newcomer gives way (whoever came
// first keeps his place), unless his address is a seat's last holder with
// fewer connections waiting than the seats it last held: then the newest
// connection of an address that is no seat's last holder gives way.
// A connection silent for kDoorSilentMs is closed.
//
// An address's rate is remembered from its first connection let in until
// the rate is full again (the door forgets once a second), so the rates of
// at most kDoorIn's worth of (burst / perSecond + 1) seconds are remembered,
// far fewer than kDoorAddresses. Should that bound ever be met, no address
// is let in unpaid: its spoken connection waits until the forgetting makes
// room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

#include "net/host/rate.h"

namespace jq::net {

constexpr Rate kDoorRate{2, 16};
constexpr size_t kDoorAddresses = 4096;
constexpr size_t kDoorWaiting = 4096;
constexpr int kDoorWaitingPerAddress = 8;
constexpr Rate kDoorIn{100, 20};
constexpr int kDoorAcceptsPerTick = 256;
constexpr int64_t kDoorSilentMs = 30'000;
static_assert(size_t{kDoorIn.perSecond} * (kDoorRate.burst / kDoorRate.perSecond + 1) + kDoorIn.burst <= kDoorAddresses);

class AcceptDoor {
public:
    // What identifies a waiting connection (the socket layer's descriptor).
    using Id = int64_t;

    AcceptDoor();

    // Whether a connection's first bytes (as far as they have come) hold a
    // whole packet, or more than a packet the host may take: it has spoken.
    // Bytes the host cannot cut into a packet count too: the relay closes
    // such a connection with a word why.
    static bool Speaks(const uint8_t* data, size_t size);
    // The most of a connection's first bytes Speaks needs to look at.
    static constexpr size_t kPeekBytes = 2048;

    // A connection accepted from `address` (IPv4, as a number) at `nowMs`
    // waits at the door. Returns the connection to close now, if one must
    // go: the newcomer itself, or a waiting one that gives way for it.
    std::optional<Id> Come(Id id, uint32_t address, int64_t nowMs);
    // The connection silent longest gives way (the system has no room for
    // another): it no longer waits, and is to be closed. None when all have
    // spoken.
    std::optional<Id> MakeRoom();
    // The waiting connection has spoken.
    void Spoke(Id id);
    // The waiting connection is closed (by its side): it goes.
    void Gone(Id id);
    // The addresses that stand: each seat's last holder in this round, one
    // entry a seat (an address that last held two seats is named twice).
    void SetStanding(std::vector<uint32_t> lastHolders);
    // The connections let in now, paid for: the last holders' first, then
    // the addresses' in turn; they no longer wait.
    std::vector<Id> LetIn(int64_t nowMs);
    // The connections silent too long at `nowMs`: they no longer wait, and
    // are to be closed.
    std::vector<Id> Expired(int64_t nowMs);
    // Every connection waiting, which no longer waits (the door closes).
    std::vector<Id> Clear();

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    struct Entry {
        Id id = -1;
        uint32_t address = 0;
        int64_t cameMs = 0;
        bool spoken = false;
        // The order they came in (a list through the entries).
        uint32_t prev = kNone, next = kNone;
        // The next spoken entry of its address, in the order they spoke.
        uint32_t nextSpoken = kNone;
    };
    struct Address {
        int waiting = 0;
        uint32_t firstSpoken = kNone, lastSpoken = kNone;
        // Its place in the turns while it has a spoken entry waiting.
        std::list<uint32_t>::iterator turn;
    };
    void Remove(uint32_t slot);
    int Standing(uint32_t address) const;
    // Lets in the address's oldest spoken entry if the total and its rate
    // allow it now.
    bool LetInOne(uint32_t address, Address& a, int64_t nowMs, std::vector<Id>& in);
    // Forgets the addresses whose rate is full again (once a second).
    void Forget(int64_t nowMs);

    std::vector<Entry> slots_;
    std::vector<uint32_t> free_;
    uint32_t first_ = kNone, last_ = kNone;
    std::unordered_map<Id, uint32_t> where_;
    std::unordered_map<uint32_t, Address> addresses_;
    // The addresses with a spoken entry waiting, the next to be served first.
    std::list<uint32_t> turns_;
    std::vector<uint32_t> standing_;
    std::unordered_map<uint32_t, RateBucket> buckets_;
    RateBucket in_{kDoorIn, 0};
    int64_t forgotAt_ = 0;
};

}  // namespace jq::net
