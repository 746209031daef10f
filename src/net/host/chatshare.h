// The host's chat share: every sender's chat lines wait at that sender, in a
// list of its own, and go on at its fair share of the relay's chat rate.
//
// The relay lets kChatLinesPerSecond lines of all comers together go on in
// a second (at most kChatBurstLines at once after a quiet while): well below
// the packets one side's wire carries in a second, so what all comers say
// never fills a queue that drains at the wire's pace.
//
// The senders with lines waiting form a round, kept as a list in the order
// they began waiting: each line that may go on goes to the first sender in
// it, one line each (a plain round robin). A sender that begins waiting
// joins at the end of the round; the sender served last, having had its
// turn, stays behind every sender that begins waiting before the next line
// goes on (at the end if it has lines left or begins waiting again). A
// sender whose list empties leaves the round. So with n senders waiting, a
// sender's next line goes on within n lines of the relay's rate, however
// many senders come and go afterwards, whatever their ids.
// A sender's lines go on in the order they came. A sender's list holds
// kChatWaitingLines; a line that finds it full goes nowhere (the newest are
// lost, never the lines already waiting): a flooding sender delays and
// loses only his own lines. A line goes on only when the queues have room
// for what its sender adds (the relay says so); a sender without room is
// passed over and keeps its place, the others go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <utility>

#include "net/host/rate.h"
#include "net/lan.h"

namespace jq::net {

// Chat lines of all comers that go on in a second, and at once after a
// quiet while.
constexpr int kChatLinesPerSecond = 10;
constexpr int kChatBurstLines = 10;
// Lines that may wait at one sender.
constexpr size_t kChatWaitingLines = 8;
constexpr Rate kChatRate{kChatLinesPerSecond, kChatBurstLines};

class ChatShare {
public:
    explicit ChatShare(int64_t nowMs) : rate_(kChatRate, nowMs) {}

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
    using Turn = std::list<ConnId>::iterator;
    struct Sender {
        std::deque<Packet> lines;
        Turn turn;  // its place in the round
    };
    void Leave(std::map<ConnId, Sender>::iterator it);

    std::map<ConnId, Sender> waiting_;
    // The round: the next line goes to the first sender with room.
    std::list<ConnId> round_;
    // The sender served last (-1: none): while it waits, it is the last of
    // the round.
    ConnId servedLast_ = -1;
    RateBucket rate_;
};

}  // namespace jq::net
