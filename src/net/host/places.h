// Who keeps a place: the one rule for every bounded set of places the host
// shares between addresses, the joins that wait (JoinGate) and the idle
// connections (HostConnections) alike. Its users list who holds a place and
// who asks for one; this unit alone says who gives way.
//
// Places are bounded per address and in all. When the entries (the
// newcomer's among them) are more than the places, exactly one gives way:
//  1. An address over its own bound gives way: one of its own entries, so
//     the bound only stops it adding entries. Otherwise, once every place is
//     taken, the lowest of all gives way, whatever its address's count: an
//     address at its bound gives way for nobody else's excess, and players
//     who share an address (a router) keep their places as if they did not.
//  2. An entry stands by what the battle itself keeps small: the last holder
//     of a seat in this round keeps a place for his join back. Of an address
//     that is the last holder of n seats, its n oldest entries stand, so at
//     most one entry per seat stands in all, however many addresses sat for
//     a moment. Then an entry stands by whether it has spoken (sent the host
//     a whole packet).
//  3. Among equals that have spoken the newest gives way: whoever came
//     first keeps his place, however many come after him. Among equals that
//     have not, the one silent longest gives way: silence earns nothing, and
//     an honest side speaks as soon as it has connected (its user reads a
//     connection before it gives its place up).
// So a flood of fresh connections, from one address or from hundreds,
// takes no place from anybody who came before it and spoke, and the last
// holder of a seat keeps a place for his join back against everybody else,
// whenever he came.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jq::net {

// An entry that holds a place, or asks for one.
struct Claim {
    std::string address;
    // Seats whose last holder in this round is its address (the same for
    // every entry of one address).
    int lastHeld = 0;
    bool spoken = false;
    // When it came: the larger, the newer; on a tie the later in the list
    // is the newer.
    int64_t came = 0;
};

// The entry of `claims` that gives way to keep at most `perAddress` entries
// of one address and `inAll` in all; none when they fit.
std::optional<size_t> GivesWay(const std::vector<Claim>& claims, int perAddress, int inAll);

}  // namespace jq::net
