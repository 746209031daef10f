#include "net/host/peacevote.h"

#include <algorithm>

namespace jq::net {

PeaceVote::Result PeaceVote::Offer(int seat, const bool (&occupied)[kSeats]) {
    if (offers_[seat] >= kPeaceOffersPerBattle) return Result::kTooOften;
    ++offers_[seat];
    for (int i = 0; i < kSeats; ++i) votes_[i] = i == seat || !occupied[i] ? kYes : kWaiting;
    open_ = true;
    return Count();
}

PeaceVote::Result PeaceVote::Answer(int seat, bool agrees) {
    if (!open_ || votes_[seat] != kWaiting) return Result::kIgnored;
    votes_[seat] = agrees ? kYes : kNo;
    return Count();
}

PeaceVote::Result PeaceVote::Count() {
    if (std::find(std::begin(votes_), std::end(votes_), kWaiting) != std::end(votes_)) return Result::kOpen;
    const bool refused = std::find(std::begin(votes_), std::end(votes_), kNo) != std::end(votes_);
    Drop();
    return refused ? Result::kRefused : Result::kAgreed;
}

void PeaceVote::Drop() {
    std::fill(std::begin(votes_), std::end(votes_), kWaiting);
    open_ = false;
}

void PeaceVote::NewBattle() {
    Drop();
    std::fill(std::begin(offers_), std::end(offers_), 0);
}

}  // namespace jq::net
