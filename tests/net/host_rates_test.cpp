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

// Each address pays for its own connections at the door: one address over its rate has its excess closed, any
// other comes in; the door forgets addresses once their rate is full again, and remembers a bounded number.
TEST(AcceptDoor, EachAddressPaysForItsOwnConnections) {
    AcceptDoor door;
    constexpr uint32_t kFlooder = 0x7F010002, kPlayer = 0x0A000005;
    int in = 0;
    for (int i = 0; i < 1000; ++i) in += door.Admit(kFlooder, 5000) ? 1 : 0;
    EXPECT_EQ(in, kDoorRate.burst);
    EXPECT_TRUE(door.Admit(kPlayer, 5000));
    EXPECT_FALSE(door.Admit(kFlooder, 5000 + 1000 / kDoorRate.perSecond - 1));
    EXPECT_TRUE(door.Admit(kFlooder, 5000 + 1000 / kDoorRate.perSecond));
    // A clock that goes back locks nobody out for longer than the rate says.
    EXPECT_FALSE(door.Admit(kFlooder, 1000));
    EXPECT_TRUE(door.Admit(kFlooder, 1000 + 1000 / kDoorRate.perSecond));

    // A flood from more addresses than the door remembers: every first connection comes in, the memory stays
    // bounded, and once their rates are full again the addresses are forgotten.
    AcceptDoor wide;
    for (uint32_t a = 0; a < kDoorAddresses + 100; ++a) EXPECT_TRUE(wide.Admit(0x7F000000 + a, 0)) << a;
    EXPECT_EQ(wide.Remembered(), kDoorAddresses);
    const int64_t full = int64_t{1000} * kDoorRate.burst / kDoorRate.perSecond;
    EXPECT_TRUE(wide.Admit(kPlayer, full));
    EXPECT_EQ(wide.Remembered(), 1u);
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
