// Who keeps a place, and the join gate that waits joins by it, on their own.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "net/host/joingate.h"
#include "net/host/places.h"
#include "net/wire/packet.h"

namespace jq::net {
namespace {

struct PlaceCase {
    const char* what;
    std::vector<Claim> claims;  // {address, seatedMs, spoken, came}
    int perAddress, inAll;
    std::optional<size_t> givesWay;
};

TEST(Places, WhoGivesWay) {
    const PlaceCase cases[] = {
        {"room for all", {{"a", 0, false, 1}, {"b", 0, false, 2}}, 2, 2, std::nullopt},
        {"all full, all spoken: the newest, whoever waited longest", {{"a", 0, true, 1}, {"b", 0, true, 2}, {"c", 0, true, 3}}, 2, 2, 2},
        {"all full, all silent: the one silent longest", {{"a", 0, false, 1}, {"b", 0, false, 2}, {"c", 0, false, 3}}, 2, 2, 0},
        {"equal times, silent: the earlier in the list", {{"a", 0, false, 5}, {"b", 0, false, 5}, {"c", 0, false, 5}}, 2, 2, 0},
        {"the address with the most, though it came first", {{"a", 0, true, 1}, {"a", 0, true, 2}, {"b", 0, true, 3}, {"c", 0, true, 4}}, 3, 3, 1},
        {"over its own bound, though places are free", {{"b", 0, true, 1}, {"a", 0, true, 2}, {"a", 0, true, 3}}, 1, 9, 2},
        {"over its own bound, silent: its oldest", {{"a", 0, false, 1}, {"b", 0, false, 2}, {"a", 0, false, 3}}, 1, 9, 0},
        {"over its own bound: its lowest, not the newcomer", {{"a", 0, false, 1}, {"a", 0, true, 2}}, 1, 9, 0},
        {"time seated outranks coming first", {{"old", 0, true, 1}, {"sat", 60000, true, 2}, {"new", 0, true, 3}}, 1, 2, 2},
        {"a seated address keeps its place against older ones", {{"x", 0, true, 1}, {"y", 0, true, 2}, {"sat", 5000, true, 3}}, 1, 2, 1},
        {"time seated comes before having spoken", {{"spoke", 0, true, 1}, {"sat", 1000, false, 2}}, 1, 1, 0},
        {"half a second seated outranks never seated, whoever came first", {{"never", 0, true, 1}, {"sat", 500, true, 2}}, 1, 1, 0},
        {"having spoken outranks a bare connection", {{"bare", 0, false, 1}, {"spoke", 0, true, 2}}, 1, 1, 0},
        {"of several addresses with the most, the lowest of all", {{"a", 3000, true, 1}, {"a", 3000, true, 2}, {"b", 0, true, 3}, {"b", 0, true, 4}, {"c", 0, true, 5}}, 2, 4, 3},
    };
    for (const PlaceCase& c : cases) EXPECT_EQ(GivesWay(c.claims, c.perAddress, c.inAll), c.givesWay) << c.what;
}

Packet JoinFor(int seat) {
    SeatRec r;
    PutBoundedText(r.name, sizeof r.name, "p");
    r.seat = seat, r.state = 1;
    return EncodeJoin(r);
}

// The gate fills every place with joins of fresh addresses, one each, then a join of `address` asks (its
// connection `id`); what gave way for it.
std::optional<ConnId> FullThenOneMore(JoinGate& gate, ConnId id, const std::string& address, bool seated = false) {
    for (ConnId c = 100; c < 100 + kMaxWaitingJoins; ++c)
        EXPECT_EQ(gate.Wait(c, "10.1.0." + std::to_string(c), JoinFor(3), false, 0), std::nullopt);
    return gate.Wait(id, address, JoinFor(1), seated, 0);
}

TEST(JoinGateRules, PlacesTheOneWayInAndTimeSeated) {
    {  // All places taken by equals: the newcomer gives way himself, nobody who came before him.
        JoinGate gate;
        EXPECT_EQ(FullThenOneMore(gate, 1, "10.2.0.1"), ConnId{1});
        EXPECT_EQ(gate.Waiting(1), nullptr);
        EXPECT_EQ(gate.Places({}), kMaxWaitingJoins);
    }
    {  // A connection that holds a seat and asks for the next round takes no place and loses none.
        JoinGate gate;
        EXPECT_EQ(FullThenOneMore(gate, 1, "10.2.0.1", true), std::nullopt);
        EXPECT_NE(gate.Waiting(1), nullptr);
        EXPECT_EQ(gate.Places({}), kMaxWaitingJoins);
        EXPECT_EQ(gate.Wait(2, "10.2.0.2", JoinFor(2), false, 0), ConnId{2});
    }
    {  // An address that sat in this round keeps its place: the newest of those that did not gives way.
        JoinGate gate;
        gate.Taken("10.2.0.1", 0);
        gate.Pause("10.2.0.1", 60'000);
        EXPECT_EQ(gate.SeatedMs("10.2.0.1", 61'000), 60'000);
        EXPECT_EQ(FullThenOneMore(gate, 1, "10.2.0.1"), ConnId{100 + kMaxWaitingJoins - 1});
        EXPECT_NE(gate.Waiting(1), nullptr);
        // Asked again, it keeps its place and nobody else loses one.
        EXPECT_EQ(gate.Wait(1, "10.2.0.1", JoinFor(1), false, 0), std::nullopt);
    }
    {  // One address over its own bound: its own newest gives way, though places are free elsewhere.
        JoinGate gate;
        for (ConnId c = 1; c <= kWaitingJoinsPerAddress; ++c)
            EXPECT_EQ(gate.Wait(c, "10.2.0.1", JoinFor(c), false, 0), std::nullopt);
        EXPECT_EQ(gate.Wait(9, "10.2.0.1", JoinFor(1), false, 0), ConnId{9});
    }
    {  // Seats held count each, while held, in this round only; a new round counts the seats held afresh.
        JoinGate gate;
        gate.Taken("a", 0);
        gate.Taken("a", 1'000);
        EXPECT_EQ(gate.SeatedMs("a", 3'000), 5'000);
        gate.Pause("a", 3'000);
        EXPECT_EQ(gate.SeatedMs("a", 6'000), 8'000);
        gate.NewRound(10'000);
        EXPECT_EQ(gate.SeatedMs("a", 12'500), 2'500);
        gate.Pause("a", 12'500);
        gate.Pause("a", 13'000);  // no seat left to end
        gate.NewRound(20'000);
        EXPECT_EQ(gate.SeatedMs("a", 30'000), 0);
    }
    {  // First come, first served for a seat; joins for other seats do not stand in the way.
        JoinGate gate;
        gate.Wait(5, "b", JoinFor(2), false, 0);
        gate.Wait(7, "a", JoinFor(1), false, 0);
        gate.Wait(3, "c", JoinFor(1), false, 0);
        EXPECT_FALSE(gate.Behind(7, 1));
        EXPECT_TRUE(gate.Behind(3, 1));
        EXPECT_TRUE(gate.Behind(8, 1));  // a fresh join, waiting nowhere yet
        EXPECT_FALSE(gate.Behind(8, 3));
        EXPECT_EQ(gate.InTurn(), (std::vector<ConnId>{5, 7, 3}));
        gate.Forget(7);
        EXPECT_FALSE(gate.Behind(3, 1));
    }
}

}  // namespace
}  // namespace jq::net
