#include "net/host/places.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <tuple>

namespace jq::net {

std::optional<size_t> GivesWay(const std::vector<Claim>& claims, int perAddress, int inAll) {
    std::map<std::string, int> of;
    for (const Claim& c : claims) ++of[c.address];
    const bool over = std::any_of(of.begin(), of.end(), [&](const auto& e) { return e.second > perAddress; });
    if (!over && static_cast<int>(claims.size()) <= inAll) return std::nullopt;
    // The entries that stand for their address's seats: its oldest, one a
    // seat.
    std::vector<size_t> byAge(claims.size());
    std::iota(byAge.begin(), byAge.end(), size_t{0});
    std::stable_sort(byAge.begin(), byAge.end(), [&](size_t a, size_t b) { return claims[a].came < claims[b].came; });
    std::vector<bool> stands(claims.size());
    std::map<std::string, int> standing;
    for (size_t i : byAge) stands[i] = standing[claims[i].address]++ < claims[i].lastHeld;
    // What an entry stands on; the lowest gives way: among equals the
    // newest of those that spoke, the oldest of the silent.
    const auto rank = [&](size_t i) {
        const Claim& c = claims[i];
        const int64_t age = c.spoken ? -c.came : c.came;
        const int64_t place = c.spoken ? -static_cast<int64_t>(i) : static_cast<int64_t>(i);
        return std::make_tuple(bool(stands[i]), c.spoken, age, place);
    };
    std::optional<size_t> lowest;
    for (size_t i = 0; i < claims.size(); ++i)
        if ((!over || of[claims[i].address] > perAddress) && (!lowest || rank(i) < rank(*lowest))) lowest = i;
    return lowest;
}

}  // namespace jq::net
