// The host's peace vote: a draw offered by a seat in the battle, the other
// seats' answers, and the decision.
//
// The invariant: at most one offer is open at a time. An offer asks every
// occupied seat but its own; free seats and seats the host's computer plays
// (not occupied by a side) agree at once, so an offer with nobody to ask is
// agreed as it is made; a seat asked that passes to the computer before it
// has answered (freed, handed over, its connection closed) agrees then, as
// the computer's seats do. Each seat asked answers once; an answer that comes
// while no offer is open, or from a seat not asked, or a second time,
// counts for nothing. Once every seat has answered the offer is decided:
// agreed when nobody refused, refused otherwise, and closed either way. A
// new offer replaces an open one. Each seat may offer kPeaceOffersPerBattle
// times in a battle, whoever holds it, whatever the other seats offered; a
// further offer is refused without asking anybody. An
// open offer is dropped when the deployment or a battle begins, and the
// offers counted start afresh with every battle.
#pragma once

#include "net/lan.h"

namespace jq::net {

constexpr int kPeaceOffersPerBattle = 3;

class PeaceVote {
public:
    enum class Result {
        kIgnored,   // an answer that counts for nothing
        kOpen,      // the offer waits for answers
        kTooOften,  // the seat has offered too often: refused, nobody asked
        kAgreed,    // decided: a draw
        kRefused,   // decided: no draw
    };
    // A draw offered by `seat`; `occupied[i]`: seat i is held by a side (the
    // seats to ask are these, but `seat`).
    Result Offer(int seat, const bool (&occupied)[kSeats]);
    // Seat `seat` answers the open offer.
    Result Answer(int seat, bool agrees);
    // Seat `seat` passed to the computer: it agrees, if asked and not yet
    // answered.
    Result ComputerTakes(int seat) { return Answer(seat, true); }
    // No offer is open.
    void Drop();
    // A battle begins: no offer is open, and no seat has offered in it.
    void NewBattle();

private:
    enum Vote { kWaiting, kYes, kNo };
    // Decides when every seat has answered.
    Result Count();

    bool open_ = false;
    Vote votes_[kSeats] = {};
    int offers_[kSeats] = {};
};

}  // namespace jq::net
