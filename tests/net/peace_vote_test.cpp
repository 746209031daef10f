// The peace vote's count of offers, on its own: each seat's, per battle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/host/peacevote.h"

namespace jq::net {
namespace {

// Offers by seats (-1: a new battle begins), every seat occupied, and what each offer gets: 'o' asked, 't'
// refused as too often.
TEST(PeaceVote, EachSeatOffersThreeTimesABattle) {
    const struct {
        const char* what;
        std::vector<int> offers;
        std::string got;
    } rows[] = {
        {"the third passes, the fourth not", {1, 1, 1, 1, 1}, "ooott"},
        {"another seat's offers are its own", {1, 1, 1, 2, 2, 2, 2, 1}, "oooooott"},
        {"seats between count nothing", {3, 1, 0, 1, 2, 1, 1}, "oooooot"},
        {"a new battle starts afresh", {2, 2, 2, 2, -1, 2, 2, 2, 2}, "oootooot"},
    };
    const bool occupied[kSeats] = {true, true, true, true};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        PeaceVote vote;
        vote.NewBattle();
        std::string got;
        for (int seat : r.offers) {
            if (seat < 0) {
                vote.NewBattle();
                continue;
            }
            got += vote.Offer(seat, occupied) == PeaceVote::Result::kTooOften ? 't' : 'o';
        }
        EXPECT_EQ(got, r.got);
    }
}

}  // namespace
}  // namespace jq::net
