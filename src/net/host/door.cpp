#include "net/host/door.h"

#include <iterator>

namespace jq::net {

bool AcceptDoor::Admit(uint32_t address, int64_t nowMs) {
    // Once a second: the addresses whose rate is full again are forgotten
    // (as if never seen).
    if (nowMs - forgotAt_ >= 1000 || nowMs < forgotAt_) {
        forgotAt_ = nowMs;
        std::erase_if(buckets_, [nowMs](const auto& b) { return b.second.Full(kDoorRate, nowMs); });
    }
    auto it = buckets_.find(address);
    if (it == buckets_.end()) {
        if (buckets_.size() >= kDoorAddresses) return true;
        it = buckets_.emplace(address, RateBucket(kDoorRate, nowMs)).first;
    }
    return it->second.Take(kDoorRate, nowMs);
}

}  // namespace jq::net
