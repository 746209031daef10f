// The answers the host owes to refused moves: a side whose move was refused
// is told where the battle stands ("JoinLast"), so that it is put back in
// step and, when it is to move, has its turn back.
//
// The invariant: a connection is owed at most one answer at a time, however
// many moves of it are refused, and gets answers at least kResyncPauseMs
// apart: one owed within the pause goes on the first tick after it. An
// answer is owed only to a seated side while the battle runs (the relay
// says which, `due`): one owed to a connection that is not is dropped. A
// step taken gives every side its turn back, so it settles every answer
// owed. What is kept for a connection goes when it closes, and once it is
// owed nothing and its last answer is over the pause.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "net/lan.h"

namespace jq::net {

// Milliseconds between two answers to refused moves of one connection.
constexpr int64_t kResyncPauseMs = 1000;

class OwedAnswers {
public:
    // A move of the connection was refused: an answer is owed to it.
    void Owe(ConnId id);
    // Sends (`answer(id)`) the answers owed that may go at `nowMs`, to
    // `only` (-1: to every connection). Those to connections no longer
    // `due` an answer are dropped.
    void Pay(int64_t nowMs, ConnId only, const std::function<bool(ConnId)>& due,
             const std::function<void(ConnId)>& answer);
    // A step was taken: no answer is owed any more.
    void StepTaken();
    // The connection is closed.
    void Forget(ConnId id) { byConn_.erase(id); }

private:
    struct Account {
        bool owed = false;
        int64_t answeredAtMs = INT64_MIN / 2;
    };
    std::map<ConnId, Account> byConn_;
};

}  // namespace jq::net
