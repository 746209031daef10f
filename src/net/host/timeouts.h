// The host's count of the time-outs that hand a seat over: the one count of
// them in the match.
//
// A time-out is its player's: it counts for the address that held the seat
// when the time-out went out, on that seat, in this round. On a seat no
// person holds (the computer's, whose address is "") it counts for nobody:
// it is always the first and never hands the seat over. Leaving and joining the
// seat again, from any connection of that address, does not start the count
// afresh, and a player who takes a seat after another starts from nothing:
// nobody inherits another's time-outs. kTimeoutsPassed are passed; the next
// hands the seat over. A player handed over from a seat for any reason (his
// fourth time-out, his deploy time, silence through his turn) has spent it:
// his address takes that seat no more in this round. Everything starts
// afresh with each round.
//
// The count a time-out carries on the wire (its outcome field) is this one,
// the time-out itself included: the relay writes it into every time-out it
// relays, its own and a side's, and each side takes its own seat's count
// from there.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "net/lan.h"

namespace jq::net {

class PlayerTimeouts {
public:
    // The time-outs the player on `address` has passed on `seat` in this
    // round.
    int Passed(const std::string& address, int seat) const;
    // One more time-out of his: the count with it.
    int Count(const std::string& address, int seat);
    // The player on `address` was handed over from `seat`.
    void HandOver(const std::string& address, int seat);
    // Whether he was: he takes the seat no more in this round.
    bool HandedOver(const std::string& address, int seat) const;
    void NewRound() { passed_.clear(); }

private:
    // Entries only for players who have passed a time-out or been handed
    // over; one handed over stands beyond the time-outs passed.
    std::map<std::pair<std::string, int>, int> passed_;
};

}  // namespace jq::net
