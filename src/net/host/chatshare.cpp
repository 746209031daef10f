#include "net/host/chatshare.h"

namespace jq::net {

bool ChatShare::Arrive(ConnId sender, Packet line) {
    auto it = waiting_.find(sender);
    if (it == waiting_.end()) {
        // It begins waiting: at the end of the round, before the sender
        // served last, which has had its turn.
        auto last = waiting_.find(servedLast_);
        const Turn end = last == waiting_.end() ? round_.end() : last->second.turn;
        it = waiting_.emplace(sender, Sender{{}, round_.insert(end, sender)}).first;
    }
    std::deque<Packet>& list = it->second.lines;
    if (list.size() >= kChatWaitingLines) return false;
    list.push_back(std::move(line));
    return true;
}

std::optional<std::pair<ConnId, Packet>> ChatShare::Next(int64_t nowMs, const std::function<bool(ConnId)>& hasRoom) {
    if (round_.empty() || !rate_.Ready(kChatRate, nowMs)) return std::nullopt;
    for (Turn turn = round_.begin(); turn != round_.end(); ++turn) {
        if (!hasRoom(*turn)) continue;
        rate_.Take(kChatRate, nowMs);
        const auto it = waiting_.find(*turn);
        std::pair<ConnId, Packet> line{it->first, std::move(it->second.lines.front())};
        it->second.lines.pop_front();
        servedLast_ = it->first;
        if (it->second.lines.empty())
            Leave(it);
        else
            round_.splice(round_.end(), round_, turn);
        return line;
    }
    return std::nullopt;
}

void ChatShare::Leave(std::map<ConnId, Sender>::iterator it) {
    round_.erase(it->second.turn);
    waiting_.erase(it);
}

void ChatShare::Forget(ConnId sender) {
    if (auto it = waiting_.find(sender); it != waiting_.end()) Leave(it);
}

size_t ChatShare::Waiting(ConnId sender) const {
    auto it = waiting_.find(sender);
    return it == waiting_.end() ? 0 : it->second.lines.size();
}

}  // namespace jq::net
