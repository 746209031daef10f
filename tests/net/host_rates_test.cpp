// The host's rates and shares on their own: the rate bucket and the chat round.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "net/host/chatshare.h"
#include "net/host/door.h"
#include "net/host/rate.h"
#include "net/wire/packet.h"

namespace jq::net {
namespace {

TEST(RateBucket, FillsAtItsRateUpToItsBurstAndNeverFromAClockGoingBack) {
    constexpr Rate kRate{10, 3};
    RateBucket b(kRate, 1000);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(b.Take(kRate, 1000)) << i;
    EXPECT_FALSE(b.Take(kRate, 1099));
    EXPECT_TRUE(b.Take(kRate, 1100));
    // A long quiet while fills it only up to its burst.
    EXPECT_TRUE(b.Full(kRate, 60'000));
    EXPECT_EQ(b.Level(kRate, 60'000), 3000);
    // The clock goes back a minute: nothing is added, and the bucket refills from there at its rate.
    RateBucket c(kRate, 100'000);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(c.Take(kRate, 100'000));
    EXPECT_FALSE(c.Take(kRate, 40'000));
    EXPECT_EQ(c.Level(kRate, 40'050), 500);
    EXPECT_TRUE(c.Take(kRate, 40'100));
}

// The door: connections wait bare until they speak; each address pays for its own at its rate, and what is let
// in is bounded in total; the waiting places are bounded in all and per address.
TEST(AcceptDoor, EachAddressPaysForItsOwnAndTheTotalIsBounded) {
    constexpr uint32_t kFlooder = 0x7F010002, kPlayer = 0x0A000005;
    AcceptDoor door;
    AcceptDoor::Id next = 100;
    const auto spoken = [&](uint32_t address, int64_t now, int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_FALSE(door.Come(next, address, now));
            door.Spoke(next++);
        }
    };
    // One address: its burst comes in, at most kDoorWaitingPerAddress of it waiting at a time; one more is closed
    // as it comes; another address's connection is let in meanwhile.
    spoken(kFlooder, 5000, kDoorWaitingPerAddress);
    EXPECT_EQ(door.Come(next, kFlooder, 5000), next);
    EXPECT_EQ(door.LetIn(5000).size(), size_t(kDoorWaitingPerAddress));
    spoken(kFlooder, 5000, kDoorWaitingPerAddress);
    EXPECT_EQ(door.LetIn(5000).size(), size_t(kDoorRate.burst - kDoorWaitingPerAddress));
    spoken(kPlayer, 5000, 1);
    EXPECT_EQ(door.LetIn(5000), std::vector<AcceptDoor::Id>{next - 1});
    // Its rate holds across the door's once-a-second forgetting: a second later, a second's worth comes in.
    spoken(kFlooder, 5000, kDoorWaitingPerAddress);
    EXPECT_TRUE(door.LetIn(5000 + 1000 / kDoorRate.perSecond - 1).empty());
    EXPECT_EQ(door.LetIn(6000).size(), size_t(kDoorRate.perSecond));
    EXPECT_TRUE(door.LetIn(6000 + 1000 / kDoorRate.perSecond - 1).empty());
    // A clock that goes back locks nobody out for longer than the rate says.
    EXPECT_TRUE(door.LetIn(1000).empty());
    EXPECT_EQ(door.LetIn(1000 + 1000 / kDoorRate.perSecond).size(), 1u);

    // Many addresses, one spoken connection each: a burst comes in at once, the rest at the total rate, in the
    // order they came.
    AcceptDoor wide;
    for (uint32_t a = 0; a < 3 * kDoorIn.burst; ++a) {
        ASSERT_FALSE(wide.Come(a, 0x7F000000 + a, 0));
        wide.Spoke(a);
    }
    EXPECT_EQ(wide.LetIn(0).size(), size_t(kDoorIn.burst));
    const std::vector<AcceptDoor::Id> later = wide.LetIn(100);
    ASSERT_EQ(later.size(), size_t(kDoorIn.perSecond / 10));
    EXPECT_EQ(later.front(), kDoorIn.burst);
}

// The waiting places: when all are taken, the connection silent longest gives way (never one that has spoken);
// when all have spoken, the newcomer does; silence ends after its time.
TEST(AcceptDoor, TheWaitingPlacesAreBounded) {
    AcceptDoor door;
    for (AcceptDoor::Id i = 0; i < AcceptDoor::Id(kDoorWaiting); ++i)
        ASSERT_FALSE(door.Come(i, 0x7F000000 + uint32_t(i), i / 1000));
    door.Spoke(0);
    EXPECT_EQ(door.Come(kDoorWaiting, 0x0A000001, 10), 1);
    EXPECT_EQ(door.Come(kDoorWaiting + 1, 0x0A000002, 10), 2);
    door.Gone(3);
    EXPECT_FALSE(door.Come(kDoorWaiting + 2, 0x0A000003, 10));
    // Silent since 0 or 1 s: gone at kDoorSilentMs, the spoken one stays and is let in.
    const std::vector<AcceptDoor::Id> expired = door.Expired(kDoorSilentMs);
    ASSERT_EQ(expired.size(), 1000u - 4);
    EXPECT_EQ(expired.front(), 4);
    EXPECT_EQ(door.LetIn(kDoorSilentMs), std::vector<AcceptDoor::Id>{0});
    // Every place taken by spoken connections: the newcomer is closed.
    AcceptDoor full;
    for (AcceptDoor::Id i = 0; i < AcceptDoor::Id(kDoorWaiting); ++i) {
        ASSERT_FALSE(full.Come(i, 0x7F000000 + uint32_t(i), 0));
        full.Spoke(i);
    }
    EXPECT_EQ(full.Come(kDoorWaiting, 0x0A000001, 0), kDoorWaiting);
    // ... unless he last held a seat: the newest of those who stand by nothing gives way, never a last holder's.
    constexpr uint32_t kLastHolder = 0x7F000000 + kDoorWaiting - 1, kBack = 0x0A000009;
    full.SetStanding({kBack, kLastHolder});
    EXPECT_EQ(full.Come(kDoorWaiting + 1, kBack, 0), kDoorWaiting - 2);
    full.Spoke(kDoorWaiting + 1);
    EXPECT_EQ(full.Come(kDoorWaiting + 2, kBack, 0), kDoorWaiting + 2);
    EXPECT_EQ(full.Clear().size(), kDoorWaiting);
}

// The total is shared by address, not by who came first: addresses that each keep their share of places full of
// spoken joins hold a newcomer back for one turn of theirs, and a seat's last holder comes in before them all.
TEST(AcceptDoor, TheTotalIsSharedByAddressAndLastHoldersComeFirst) {
    constexpr int kFlooders = 100;
    constexpr uint32_t kNewcomer = 0x0A000001, kLastHolder = 0x0A000002;
    AcceptDoor door;
    AcceptDoor::Id next = 0;
    std::vector<AcceptDoor::Id> ofNewcomer, ofLastHolder;
    const auto come = [&](uint32_t address, std::vector<AcceptDoor::Id>* mine) {
        ASSERT_FALSE(door.Come(next, address, 0));
        door.Spoke(next);
        if (mine != nullptr) mine->push_back(next);
        ++next;
    };
    for (uint32_t a = 0; a < kFlooders; ++a)
        for (int i = 0; i < kDoorWaitingPerAddress; ++i) come(0x7F000000 + a, nullptr);
    come(kNewcomer, &ofNewcomer);
    come(kLastHolder, &ofLastHolder);
    come(kLastHolder, &ofLastHolder);
    door.SetStanding({kLastHolder});
    std::vector<AcceptDoor::Id> in;
    int64_t now = 0;
    const auto inBy = [&](AcceptDoor::Id id) {
        for (; now < 60'000 && std::find(in.begin(), in.end(), id) == in.end(); now += 10) {
            const std::vector<AcceptDoor::Id> more = door.LetIn(now);
            in.insert(in.end(), more.begin(), more.end());
        }
        return std::find(in.begin(), in.end(), id) - in.begin();
    };
    // The last holder's first join is the first let in, his second before the turn reaches anybody twice.
    EXPECT_EQ(inBy(ofLastHolder[0]), 0);
    EXPECT_LE(inBy(ofLastHolder[1]), kDoorIn.burst + kDoorIn.perSecond);
    // The newcomer within one turn of the flooders (first come, he would have waited for all 800).
    EXPECT_LE(inBy(ofNewcomer[0]), kFlooders + 2);
    EXPECT_LT(now, 2000);
}

// A connection has spoken once its first bytes hold a whole packet (or bytes no packet starts with), never for
// part of one.
TEST(AcceptDoor, SpeaksOnlyWithAWholePacket) {
    SeatRec r;
    r.seat = 1, r.state = 1;
    const Packet join = EncodeJoin(r);
    const Packet chat = EncodeChat({1, "hello"});
    const Packet junk(kWordBytes, 'x');
    const Packet big(AcceptDoor::kPeekBytes, 0);
    const struct {
        const Packet& bytes;
        size_t size;
        bool speaks;
    } rows[] = {
        {join, 0, false}, {join, 4, false}, {join, join.size() - 1, false}, {join, join.size(), true},
        {chat, chat.size() - 1, false}, {chat, chat.size(), true}, {junk, junk.size(), true}, {big, big.size(), true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(AcceptDoor::Speaks(row.bytes.data(), row.size), row.speaks) << row.size << " of " << row.bytes.size();
}

// The chat round, driven step by step: senders say lines, a line goes on (one each 100 ms, the share's rate)
// and some senders have no room.
struct Round {
    ChatShare share{0};
    int64_t now = 0;
    std::set<ConnId> noRoom;
    void Say(ConnId id, int lines) {
        for (int i = 0; i < lines; ++i) share.Arrive(id, EncodeChat({1, std::to_string(id)}));
    }
    // The senders of the next `n` lines (-1: none went on).
    std::vector<ConnId> Next(int n) {
        std::vector<ConnId> served;
        for (int i = 0; i < n; ++i) {
            now += 100;
            auto line = share.Next(now, [this](ConnId id) { return noRoom.count(id) == 0; });
            served.push_back(line ? line->first : -1);
        }
        return served;
    }
};

TEST(ChatShare, SendersGoOnInTheOrderTheyBeganWaiting) {
    using V = std::vector<ConnId>;
    struct Row {
        const char* name;
        std::function<V(Round&)> run;
        V served;
    };
    const std::vector<Row> rows = {
        {"a newcomer joins at the end, whatever its id",
         [](Round& r) {
             r.Say(50, 3), r.Say(60, 3);
             V v = r.Next(1);
             r.Say(55, 3);
             for (ConnId id : r.Next(8)) v.push_back(id);
             return v;
         },
         {50, 60, 55, 50, 60, 55, 50, 60, 55}},
        {"the sender served last goes behind a sender that begins waiting before the next line",
         [](Round& r) {
             r.Say(7, 3);
             V v = r.Next(1);
             r.Say(8, 1);
             for (ConnId id : r.Next(3)) v.push_back(id);
             return v;
         },
         {7, 8, 7, 7}},
        {"a sender without room keeps its place, the others go on",
         [](Round& r) {
             r.Say(1, 2), r.Say(2, 2), r.Say(3, 2);
             r.noRoom = {1};
             V v = r.Next(3);
             r.noRoom.clear();
             for (ConnId id : r.Next(4)) v.push_back(id);
             return v;
         },
         {2, 3, 2, 1, 3, 1, -1}},
        {"nobody with room: nothing goes on and nothing is spent",
         [](Round& r) {
             r.Say(1, 1);
             V v;
             for (int i = 0; i < 2 * kChatBurstLines; ++i)
                 if (r.share.Next(0, [](ConnId) { return false; })) v.push_back(1);
             if (auto line = r.share.Next(0, [](ConnId) { return true; })) v.push_back(line->first);
             v.push_back(static_cast<ConnId>(r.share.Waiting(1)));
             return v;
         },
         {1, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Round r;
        EXPECT_EQ(row.run(r), row.served);
    }
}

// A sender keeps lines waiting while a new sender with a higher id than any before comes with a full list for
// every line that goes on, and leaves after two: the first sender's next line goes on within three lines.
TEST(ChatShare, ARoundOfNewIdsNeverPassesAWaitingSender) {
    Round r;
    r.Say(1, static_cast<int>(kChatWaitingLines));
    ConnId fresh = 100;
    int sinceOne = 0, worst = 0;
    for (int i = 0; i < 200; ++i) {
        if (r.share.Waiting(1) < 2) r.Say(1, 1);
        r.Say(fresh, static_cast<int>(kChatWaitingLines));
        if (fresh > 101) r.share.Forget(fresh - 2);
        ++fresh;
        const ConnId served = r.Next(1).front();
        sinceOne = served == 1 ? 0 : sinceOne + 1;
        worst = std::max(worst, sinceOne);
        // Those forgotten wait no more: the round is never longer.
        int waiting = r.share.Waiting(1) > 0 ? 1 : 0;
        for (ConnId id = 100; id < fresh; ++id) waiting += r.share.Waiting(id) > 0 ? 1 : 0;
        EXPECT_LE(waiting, 3);
    }
    EXPECT_LE(worst, 2);
}

}  // namespace
}  // namespace jq::net
