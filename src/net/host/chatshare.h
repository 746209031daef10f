// The host's chat share: every sender's chat lines wait at that sender, in a
// list of its own, and go on at its fair share of the relay's chat rate.
//
// The relay lets kChatLinesPerSecond lines of all comers together go on in
// a second (at most kChatBurstLines at once after a quiet while): well below
// the packets one side's wire carries in a second, so what all comers say
// never fills a queue that drains at the wire's pace. Each line that may go
// on goes to the next sender in turn among those with lines waiting (a round
// robin; all lines are the same size, so it is deficit round robin with a
// quantum of one line): with n senders talking, each has at least 1/n of
// the rate, whatever the others send, and a sender alone has all of it.
// A sender's lines go on in the order they came. A sender's list holds
// kChatWaitingLines; a line that finds it full goes nowhere (the newest are
// lost, never the lines already waiting): a flooding sender delays and
// loses only his own lines. A line goes on only when the queues have room
// for what its sender adds (the relay says so); a sender without room
// waits its turn, the others go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "net/lan.h"

namespace jq::net {

// Chat lines of all comers that go on in a second, and at once after a
// quiet while.
constexpr int kChatLinesPerSecond = 10;
constexpr int kChatBurstLines = 10;
// Lines that may wait at one sender.
constexpr size_t kChatWaitingLines = 8;

class ChatShare {
public:
    explicit ChatShare(int64_t nowMs) : budgetAt_(nowMs) {}

    // A line of `sender` waits at it. False when its list is full: the line
    // goes nowhere.
    bool Arrive(ConnId sender, Packet line);
    // The next line that may go on at `nowMs`, with its sender, or nothing:
    // the rate is spent, or no sender with lines waiting has room
    // (`hasRoom(sender)`). The line is counted against the rate.
    std::optional<std::pair<ConnId, Packet>> Next(int64_t nowMs, const std::function<bool(ConnId)>& hasRoom);
    // The sender has lost its seat or its connection: its lines go nowhere.
    void Forget(ConnId sender);
    // Lines waiting at a sender.
    size_t Waiting(ConnId sender) const;

private:
    // Lines the rate lets go on now, in thousandths, as of `budgetAt_`.
    int64_t Budget(int64_t nowMs) const;

    std::map<ConnId, std::deque<Packet>> waiting_;
    // The sender served last: the next turn is the first after it.
    ConnId served_ = -1;
    int64_t budget_ = int64_t{kChatBurstLines} * 1000;
    int64_t budgetAt_ = 0;
};

}  // namespace jq::net
