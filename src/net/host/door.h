// The host's door: what a connection costs before it has said anything is
// paid by its address. Each address may open kDoorRate.burst connections at
// once and kDoorRate.perSecond a second after (far more than any player
// needs to join, leave and join again); a connection beyond that is closed
// as it is accepted, before anything is kept for it. Nobody else's
// connections spend an address's rate: an address new to the door, or
// quiet for a while, always comes in.
//
// An address is remembered only while its rate is not full again (checked
// once a second), and at most kDoorAddresses at a time; an address that finds no room to be
// remembered comes in unpaid (the relay's own bounds on idle connections
// still hold), so the door's memory stays small under any flood and never
// turns an address away for others' connections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "net/host/rate.h"

namespace jq::net {

constexpr Rate kDoorRate{2, 16};
constexpr size_t kDoorAddresses = 4096;

class AcceptDoor {
public:
    // A connection from `address` (IPv4, as a number) at `nowMs`: whether it
    // comes in (and is paid for).
    bool Admit(uint32_t address, int64_t nowMs);
    // Addresses remembered.
    size_t Remembered() const { return buckets_.size(); }

private:
    std::unordered_map<uint32_t, RateBucket> buckets_;
    // When the addresses whose rate is full again were last forgotten.
    int64_t forgotAt_ = 0;
};

}  // namespace jq::net
