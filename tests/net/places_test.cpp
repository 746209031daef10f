// Who keeps a place, and the join gate that waits joins by it, on their own.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "net/host/joingate.h"
#include "net/host/places.h"
#include "net/host/timeouts.h"
#include "net/wire/packet.h"

namespace jq::net {
namespace {

struct PlaceCase {
    const char* what;
    std::vector<Claim> claims;  // {address, lastHeld, spoken, came}
    int perAddress, inAll;
    std::optional<size_t> givesWay;
};

TEST(Places, WhoGivesWay) {
    const PlaceCase cases[] = {
        {"room for all", {{"a", 0, false, 1}, {"b", 0, false, 2}}, 2, 2, std::nullopt},
        {"all full, all spoken: the newest, whoever waited longest", {{"a", 0, true, 1}, {"b", 0, true, 2}, {"c", 0, true, 3}}, 2, 2, 2},
        {"all full, all silent: the one silent longest", {{"a", 0, false, 1}, {"b", 0, false, 2}, {"c", 0, false, 3}}, 2, 2, 0},
        {"equal times, silent: the earlier in the list", {{"a", 0, false, 5}, {"b", 0, false, 5}, {"c", 0, false, 5}}, 2, 2, 0},
        {"below its bound an address's count is nothing: the newest", {{"a", 0, true, 1}, {"a", 0, true, 2}, {"b", 0, true, 3}, {"c", 0, true, 4}}, 3, 3, 3},
        {"an address at its bound gives way for nobody's excess", {{"a", 0, true, 1}, {"a", 0, true, 2}, {"a", 0, true, 3}, {"b", 0, true, 4}}, 3, 3, 3},
        {"over its own bound, though places are free", {{"b", 0, true, 1}, {"a", 0, true, 2}, {"a", 0, true, 3}}, 1, 9, 2},
        {"over its own bound: its own newest, not a newer one of another", {{"a", 0, true, 1}, {"a", 0, true, 2}, {"b", 0, true, 3}}, 1, 9, 1},
        {"over its own bound, silent: its oldest", {{"a", 0, false, 1}, {"b", 0, false, 2}, {"a", 0, false, 3}}, 1, 9, 0},
        {"over its own bound: its lowest, not the newcomer", {{"a", 0, false, 1}, {"a", 0, true, 2}}, 1, 9, 0},
        {"over its own bound: never the last holder's entry", {{"a", 1, true, 1}, {"a", 1, true, 2}}, 1, 9, 1},
        {"a seat's last holder keeps his place against those who came first", {{"old", 0, true, 1}, {"new", 0, true, 2}, {"back", 1, true, 3}}, 1, 2, 1},
        {"the last holder stands before having spoken", {{"spoke", 0, true, 1}, {"back", 1, false, 2}}, 1, 1, 0},
        {"the last holder of two seats (a router) keeps two places", {{"x", 0, true, 1}, {"y", 0, true, 2}, {"r", 2, true, 3}, {"r", 2, true, 4}}, 3, 3, 1},
        {"one place a seat: his third entry stands no higher than anybody's", {{"r", 2, true, 1}, {"r", 2, true, 2}, {"x", 0, true, 3}, {"r", 2, true, 4}}, 3, 3, 3},
        {"an address stands with its oldest entries", {{"r", 1, false, 1}, {"r", 1, false, 2}, {"x", 0, false, 3}}, 3, 2, 1},
        {"having spoken outranks a bare connection", {{"bare", 0, false, 1}, {"spoke", 0, true, 2}}, 1, 1, 0},
    };
    for (const PlaceCase& c : cases) EXPECT_EQ(GivesWay(c.claims, c.perAddress, c.inAll), c.givesWay) << c.what;
}

Packet JoinFor(int seat, const char* name = "p") {
    SeatRec r;
    PutBoundedText(r.name, sizeof r.name, name);
    r.seat = seat, r.state = 1;
    return EncodeJoin(r);
}

// The gate fills every place with joins of fresh addresses, one each, then a join of `address` asks (its
// connection `id`); what gave way for it.
std::optional<ConnId> FullThenOneMore(JoinGate& gate, ConnId id, const std::string& address, bool seated = false) {
    for (ConnId c = 100; c < 100 + kMaxWaitingJoins; ++c)
        EXPECT_EQ(gate.Wait(c, "10.1.0." + std::to_string(c), JoinFor(3), false), std::nullopt);
    return gate.Wait(id, address, JoinFor(1), seated);
}

TEST(JoinGateRules, PlacesTheOneWayInAndLastHolders) {
    {  // All places taken by equals: the newcomer gives way himself, nobody who came before him.
        JoinGate gate;
        EXPECT_EQ(FullThenOneMore(gate, 1, "10.2.0.1"), ConnId{1});
        EXPECT_EQ(gate.Waiting(1), nullptr);
        EXPECT_EQ(gate.Wait(2, "10.2.0.2", JoinFor(2), false), ConnId{2});
    }
    {  // A connection that holds a seat and asks for the next round takes no place and loses none.
        JoinGate gate;
        EXPECT_EQ(FullThenOneMore(gate, 1, "10.2.0.1", true), std::nullopt);
        EXPECT_NE(gate.Waiting(1), nullptr);
        EXPECT_EQ(gate.Wait(2, "10.2.0.2", JoinFor(2), false), ConnId{2});
    }
    {  // A seat's last holder keeps a place for his join back: the newest of the others gives way.
        JoinGate gate;
        gate.Taken("10.2.0.1", 1);
        gate.Pause("10.2.0.1", 0);
        EXPECT_EQ(FullThenOneMore(gate, 1, "10.2.0.1"), ConnId{100 + kMaxWaitingJoins - 1});
        EXPECT_NE(gate.Waiting(1), nullptr);
        // Asked again, it keeps its place and nobody else loses one.
        EXPECT_EQ(gate.Wait(1, "10.2.0.1", JoinFor(1), false), std::nullopt);
    }
    {  // One address over its own bound: its own newest gives way, though places are free elsewhere.
        JoinGate gate;
        for (ConnId c = 1; c <= kWaitingJoinsPerAddress; ++c)
            EXPECT_EQ(gate.Wait(c, "10.2.0.1", JoinFor(c), false), std::nullopt);
        EXPECT_EQ(gate.Wait(9, "10.2.0.1", JoinFor(1), false), ConnId{9});
    }
    {  // A seat has one last holder, the latest to take it; an address may be it for two seats. A new round
       // keeps only those who hold their seats still.
        JoinGate gate;
        gate.Taken("a", 1);
        gate.Taken("a", 2);
        EXPECT_EQ(gate.SeatsLastHeld("a"), 2);
        gate.Taken("b", 1);
        EXPECT_EQ(gate.SeatsLastHeld("a"), 1);
        EXPECT_EQ(gate.SeatsLastHeld("b"), 1);
        gate.NewRound({"", "", "a", ""});
        EXPECT_EQ(gate.SeatsLastHeld("a"), 1);
        EXPECT_EQ(gate.SeatsLastHeld("b"), 0);
        gate.NewRound({"", "", "c", ""});
        EXPECT_EQ(gate.SeatsLastHeld("a"), 0);
    }
    {  // First come, first served for a seat; joins for other seats do not stand in the way.
        JoinGate gate;
        gate.Wait(5, "b", JoinFor(2), false);
        gate.Wait(7, "a", JoinFor(1), false);
        gate.Wait(3, "c", JoinFor(1), false);
        EXPECT_FALSE(gate.Behind(7, 1));
        EXPECT_TRUE(gate.Behind(3, 1));
        EXPECT_TRUE(gate.Behind(8, 1));  // a fresh join, waiting nowhere yet
        EXPECT_FALSE(gate.Behind(8, 3));
        EXPECT_EQ(gate.InTurn(), (std::vector<ConnId>{5, 7, 3}));
        gate.Forget(7);
        EXPECT_FALSE(gate.Behind(3, 1));
    }
    {  // A join asked again is the latest: for its seat it keeps its place; for another seat it waits for that
       // seat behind the joins that wait now, and holds up nobody's join for the first.
        JoinGate gate;
        gate.Wait(5, "a", JoinFor(1), false);
        gate.Wait(6, "b", JoinFor(2), false);
        gate.Wait(7, "c", JoinFor(1), false);
        gate.Wait(5, "a", JoinFor(1, "again"), false);
        EXPECT_EQ(gate.InTurn(), (std::vector<ConnId>{5, 6, 7}));
        EXPECT_EQ(DecodeJoin(*gate.Waiting(5))->name, std::string("again"));
        gate.Wait(5, "a", JoinFor(2, "other"), false);
        EXPECT_EQ(DecodeJoin(*gate.Waiting(5))->seat, 2);
        EXPECT_EQ(gate.InTurn(), (std::vector<ConnId>{6, 7, 5}));
        EXPECT_FALSE(gate.Behind(7, 1));
        EXPECT_TRUE(gate.Behind(5, 2));
        EXPECT_FALSE(gate.Behind(6, 2));
    }
}

TEST(JoinGateRules, WhatRefusesAJoin) {
    struct Row {
        const char* what;
        int seat, held;
        bool takenByAnother, handedOver, refused;  // handedOver: its address was handed over from that seat
    } rows[] = {
        {"a free seat", 2, -1, false, false, false},
        {"its own seat again, for the next round", 2, 2, false, false, false},
        {"the host's seat", 0, -1, false, false, true},
        {"a second seat", 2, 1, false, false, true},
        {"a seat somebody holds", 2, -1, true, false, true},
        {"the seat its address was handed over from", 2, -1, false, true, true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(JoinGate::Refuses(r.seat, r.held, r.takenByAnother, r.handedOver), r.refused) << r.what;
}

TEST(PlayerTimeoutsRules, AHandOverBarsThatPlayerFromThatSeatForTheRound) {
    PlayerTimeouts t;
    EXPECT_EQ(t.Count("a", 2), 1);
    EXPECT_EQ(t.Count("a", 2), 2);
    EXPECT_EQ(t.Passed("b", 2), 0) << "nobody inherits another's time-outs";
    EXPECT_EQ(t.Passed("a", 3), 0) << "nor his own on another seat";
    for (int n = 0; n <= kTimeoutsPassed; ++n) EXPECT_EQ(t.Count("", 1), 1) << "the computer's are nobody's";
    EXPECT_EQ(t.Passed("", 1), 0);
    t.HandOver("a", 2);
    EXPECT_TRUE(t.HandedOver("a", 2));
    EXPECT_FALSE(t.HandedOver("a", 3)) << "another seat than the one he was handed over from";
    EXPECT_FALSE(t.HandedOver("b", 2)) << "another address";
    t.NewRound();
    EXPECT_FALSE(t.HandedOver("a", 2)) << "a new round lifts it";
    EXPECT_EQ(t.Passed("a", 2), 0);
}

}  // namespace
}  // namespace jq::net
