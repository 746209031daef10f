#include "net/host/places.h"

#include <map>
#include <tuple>

namespace jq::net {

std::optional<size_t> GivesWay(const std::vector<Claim>& claims, int perAddress, int inAll) {
    std::map<std::string, int> of;
    int most = 0;
    for (const Claim& c : claims) most = std::max(most, ++of[c.address]);
    const bool over = most > perAddress;
    if (!over && static_cast<int>(claims.size()) <= inAll) return std::nullopt;
    // The addresses that give way: those over their bound, or those with the
    // most.
    const auto losing = [&](const Claim& c) { return over ? of[c.address] > perAddress : of[c.address] == most; };
    // What an entry stands on; the lowest gives way: among equals the
    // newest of those that spoke, the oldest of the silent.
    const auto rank = [&](size_t i) {
        const Claim& c = claims[i];
        const int64_t age = c.spoken ? -c.came : c.came;
        const int64_t place = c.spoken ? -static_cast<int64_t>(i) : static_cast<int64_t>(i);
        return std::make_tuple(c.seatedMs, c.spoken, age, place);
    };
    std::optional<size_t> lowest;
    for (size_t i = 0; i < claims.size(); ++i)
        if (losing(claims[i]) && (!lowest || rank(i) < rank(*lowest))) lowest = i;
    return lowest;
}

}  // namespace jq::net
