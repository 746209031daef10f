// The side that follows the protocol to the letter, beside our own sides in
// whole battles on the model (no sockets): fed what the host relays to each
// connection, it ends where every side ends.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "ai/workspace.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/ownmove.h"
#include "net/relay.h"
#include "play/turnloop.h"
#include "support/lan_fakes.h"
#include "support/literal_side.h"
#include "support/recording_ui.h"

namespace jq::net {
namespace {

using testing::LiteralSide;

// What a side held when it showed its result, in absolute seats.
struct Ending {
    testing::LiteralBoard board;
    int seatToMove = -1, steps = -1, result = -1;
    std::vector<StepRec> stepList;
};

// A person's seat, played by the computer player on the main thread; the
// clock stands still, so nobody times out.
struct Player {
    Player(int seat, uint32_t seed) {
        g->ui = &ui, g->lan = lan.get(), g->netConnected = 1, g->myNetSeat = seat;
        g->appFolder = "/nonexistent-jq-folder/";
        g->myNetName = "p" + std::to_string(seat);
        g->mainRandom.Seed(seed), work->ownRandom.Seed(seed);
        lan->AttachClient(&link);
        ui.duringResult = [this] {
            endings.push_back({testing::AbsoluteBoard(*g), testing::AbsoluteSeat(*g, g->curSeat), g->stepCount,
                               testing::ResultOf(*g), testing::AbsoluteSteps(*g)});
        };
    }
    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    std::unique_ptr<LanSession> lan = std::make_unique<LanSession>(*g);
    testing::FakeClientLink link;
    std::unique_ptr<AiWorkspace> work = std::make_unique<AiWorkspace>();
    std::vector<Ending> endings;
};

// The host (seat 0, connection 1) and a person on every other seat
// (connection seat + 1); a literal side listens on every connection.
struct Table {
    explicit Table(uint32_t seed) {
        for (int s = 0; s < kSeats; ++s) players.push_back(std::make_unique<Player>(s, seed + static_cast<uint32_t>(s)));
        GameState& host = *players[0]->g;
        host.isNetHost = 1;
        players[0]->lan->StartHosting(&links);
        relay().Connected(1, "127.0.0.1", 40001);
        relay().SetOwnEndpoint("127.0.0.1", 40001);
        for (int s = 1; s < kSeats; ++s) relay().Connected(s + 1, "10.0.0." + std::to_string(s), 600 + s);
        for (int s = 0; s < kSeats; ++s) literal.emplace(s + 1, LiteralSide(s));
        for (auto& p : players) RejoinNetBattle(*p->g);
        Carry();
    }
    HostRelay& relay() { return *players[0]->lan->relay(); }
    void Carry() {
        for (int s = 0; s < kSeats; ++s) {
            std::vector<uint8_t> up;
            up.swap(players[static_cast<size_t>(s)]->link.written);
            relay().Received(s + 1, up.data(), up.size());
        }
        for (int s = 0; s < kSeats; ++s) {
            std::vector<uint8_t> down;
            down.swap(links.written[s + 1]);
            literal.at(s + 1).Feed(down);
            players[static_cast<size_t>(s)]->lan->ClientReceived(down.data(), down.size());
        }
    }
    // Plays `rounds` battles; false when they do not end in 40000 ticks.
    bool Play(size_t rounds) {
        size_t started = 0;
        GameState& host = *players[0]->g;
        for (int tick = 0; tick < 40000; ++tick) {
            bool all = true;
            for (auto& p : players) all = all && p->endings.size() >= rounds;
            if (all) return true;
            for (auto& p : players) {
                if (p->endings.size() >= rounds) continue;
                TickMainTimer(*p->g);
                FinishOwnDeployment(*p->g);
                SendOwnComputerMove(*p->g, *p->work);
            }
            Carry();
            // Whenever a side has applied all it received in the running battle, it stands where the literal
            // side on its connection stands.
            for (int s = 0; s < kSeats && parting.empty(); ++s) {
                const GameState& g = *players[static_cast<size_t>(s)]->g;
                if (g.battleRunning == 1 && g.netState == kNetBattle && players[static_cast<size_t>(s)]->lan->InboxSize() == 0)
                    parting = testing::Parting(literal.at(s + 1), g);
            }
            bool joined = true;
            for (int s = 1; s < kSeats; ++s) joined = joined && host.seatTable[s].state == 1;
            if (started < rounds && started == players[0]->endings.size() && host.netState == kNetWaiting && joined) {
                HostStartsBattle(host);
                ++started;
            }
        }
        return false;
    }
    testing::FakeServerLinks links;
    std::vector<std::unique_ptr<Player>> players;
    std::map<ConnId, LiteralSide> literal;
    std::string parting;  // the first time a side and its literal side stood apart
};

TEST(LiteralSide, EndsEveryHonestBattleWhereOurSidesEnd) {
    Table t(5);
    ASSERT_TRUE(t.Play(1));
    const Ending& host = t.players[0]->endings.at(0);
    EXPECT_GT(host.steps, 20);
    EXPECT_NE(host.result, testing::kNoResult);
    for (int s = 0; s < kSeats; ++s) {
        SCOPED_TRACE("seat " + std::to_string(s));
        const LiteralSide& side = t.literal.at(s + 1);
        const Ending& own = t.players[static_cast<size_t>(s)]->endings.at(0);
        EXPECT_FALSE(side.broken());
        EXPECT_EQ(side.endedAt(), own.steps);
        EXPECT_EQ(side.result(), own.result);
        EXPECT_EQ(side.result(), host.result);
        const LiteralSide::Ending& end = side.ending();
        EXPECT_EQ(end.seatToMove, own.seatToMove);
        for (int i = 0; i < kPieceCount; ++i) {
            const auto& a = end.board[static_cast<size_t>(i)];
            const auto& b = own.board[static_cast<size_t>(i)];
            EXPECT_EQ(a.alive, b.alive) << "piece " << i;
            if (a.alive == 1) { EXPECT_EQ(a, b) << "piece " << i; }
        }
        EXPECT_TRUE(end.stepList == own.stepList);
        EXPECT_TRUE(end.stepList == host.stepList);
    }
    EXPECT_EQ(t.parting, "");
}

// The host's own seat, next after the step that ends the battle, still sends
// a move (its tick tests the end before the pump applies that step), and the
// relay passes it on: a side that applies what it gets moves on after the end.
// Enabled once the relay judges moves on its own copy of the battle.
TEST(LiteralSide, DISABLED_NothingIsRelayedAfterTheEnd) {
    for (const uint32_t seed : {5u, 9u, 13u}) {
        Table t(seed);
        ASSERT_TRUE(t.Play(1));
        for (int s = 0; s < kSeats; ++s) EXPECT_EQ(t.literal.at(s + 1).movesOutsideBattle(), 0) << "seed " << seed << " seat " << s;
    }
}

}  // namespace
}  // namespace jq::net
