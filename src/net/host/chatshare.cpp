#include "net/host/chatshare.h"

#include <algorithm>

namespace jq::net {

bool ChatShare::Arrive(ConnId sender, Packet line) {
    std::deque<Packet>& list = waiting_[sender];
    if (list.size() >= kChatWaitingLines) return false;
    list.push_back(std::move(line));
    return true;
}

int64_t ChatShare::Budget(int64_t nowMs) const {
    return std::min<int64_t>(int64_t{kChatBurstLines} * 1000,
                             budget_ + std::max<int64_t>(0, nowMs - budgetAt_) * kChatLinesPerSecond);
}

std::optional<std::pair<ConnId, Packet>> ChatShare::Next(int64_t nowMs, const std::function<bool(ConnId)>& hasRoom) {
    if (Budget(nowMs) < 1000 || waiting_.empty()) return std::nullopt;
    // The senders in turn, starting after the one served last.
    auto start = waiting_.upper_bound(served_);
    for (size_t n = 0; n < waiting_.size(); ++n, ++start) {
        if (start == waiting_.end()) start = waiting_.begin();
        if (!hasRoom(start->first)) continue;
        budget_ = Budget(nowMs) - 1000;
        budgetAt_ = nowMs;
        served_ = start->first;
        std::pair<ConnId, Packet> line{start->first, std::move(start->second.front())};
        start->second.pop_front();
        if (start->second.empty()) waiting_.erase(start);
        return line;
    }
    return std::nullopt;
}

void ChatShare::Forget(ConnId sender) { waiting_.erase(sender); }

size_t ChatShare::Waiting(ConnId sender) const {
    auto it = waiting_.find(sender);
    return it == waiting_.end() ? 0 : it->second.size();
}

}  // namespace jq::net
