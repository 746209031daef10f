#include "net/host/timeouts.h"

#include <algorithm>

namespace jq::net {

namespace {

constexpr int kSpent = kTimeoutsPassed + 1;

}  // namespace

int PlayerTimeouts::Passed(const std::string& address, int seat) const {
    auto it = passed_.find({address, seat});
    return it == passed_.end() ? 0 : std::min(it->second, kTimeoutsPassed);
}

int PlayerTimeouts::Count(const std::string& address, int seat) {
    if (address.empty()) return 1;
    int& n = passed_[{address, seat}];
    n = std::min(n + 1, kSpent);
    return n;
}

void PlayerTimeouts::HandOver(const std::string& address, int seat) { passed_[{address, seat}] = kSpent; }

bool PlayerTimeouts::HandedOver(const std::string& address, int seat) const {
    auto it = passed_.find({address, seat});
    return it != passed_.end() && it->second >= kSpent;
}

}  // namespace jq::net
