#include "net/host/owedanswers.h"

#include <vector>

namespace jq::net {

void OwedAnswers::Owe(ConnId id) { byConn_[id].owed = true; }

void OwedAnswers::Pay(int64_t nowMs, ConnId only, const std::function<bool(ConnId)>& due,
                      const std::function<void(ConnId)>& answer) {
    // Settled first, sent after: sending may close a connection, which
    // forgets it.
    std::vector<ConnId> paid;
    for (auto it = only < 0 ? byConn_.begin() : byConn_.find(only); it != byConn_.end();) {
        const ConnId id = it->first;
        Account& a = it->second;
        if (a.owed && !due(id)) a.owed = false;
        if (a.owed && nowMs - a.answeredAtMs >= kResyncPauseMs) {
            a.owed = false;
            a.answeredAtMs = nowMs;
            paid.push_back(id);
        }
        // Nothing to remember: as if never answered.
        const bool keep = a.owed || nowMs - a.answeredAtMs < kResyncPauseMs;
        it = keep ? std::next(it) : byConn_.erase(it);
        if (only >= 0) break;
    }
    for (ConnId id : paid) answer(id);
}

void OwedAnswers::StepTaken() {
    for (auto& [id, a] : byConn_) a.owed = false;
}

}  // namespace jq::net
