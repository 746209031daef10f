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
//    kDoorIn in all (a burst, then a rate), the spoken ones in the order
//    they came.
//  - Memory: kDoorWaiting connections waiting (a descriptor and about a
//    hundred bytes each) and at most kDoorAddresses addresses' rates (some
//    64 bytes each): under a megabyte, however long the flood and however
//    many its addresses.
// Each address pays for itself: at most kDoorWaitingPerAddress of its
// connections wait at a time (one more is closed as it comes), and it pays
// kDoorRate for each connection let in (the next waits, spoken, until its
// rate allows it). When every place at the door is taken, the connection
// silent longest gives way (silence earns nothing, and an honest side's
// join comes within a round trip); when all have spoken, the newcomer does.
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
    // The connections let in now, paid for, in the order they came; they
    // no longer wait.
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
    };
    void Remove(uint32_t slot);
    // Forgets the addresses whose rate is full again (once a second).
    void Forget(int64_t nowMs);

    std::vector<Entry> slots_;
    std::vector<uint32_t> free_;
    uint32_t first_ = kNone, last_ = kNone;
    size_t spoken_ = 0;
    std::unordered_map<Id, uint32_t> where_;
    std::unordered_map<uint32_t, int> waitingOf_;
    std::unordered_map<uint32_t, RateBucket> buckets_;
    RateBucket in_{kDoorIn, 0};
    int64_t forgotAt_ = 0;
};

}  // namespace jq::net
