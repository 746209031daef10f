// The side that follows the protocol to the letter, beside our own sides in
// whole battles on the model (no sockets): fed what the host relays to each
// connection, it ends where every side ends.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "ai/workspace.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/side/ownmove.h"
#include "net/host/relay.h"
#include "play/turnloop.h"
#include "support/lan_fakes.h"
#include "support/literal_side.h"
#include "support/recording_ui.h"
#include "support/scene.h"

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
        relay().SetOwnConnection(1);
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

// A battle on the literal side at seat 0: every seat deployed with the test
// army, seat 1 to move first, turn order +1.
LiteralSide BattleOnTheLiteralSide(bool peaceFirst = false) {
    LiteralSide side(0);
    side.Apply(EncodeSeatWord(Word::kJoinOk, 0));
    if (peaceFirst) side.Apply(EncodeSeatWord(Word::kPeaceFinalOk, 0));
    for (int s = 0; s < kSeats; ++s) {
        SwitchEndBody b{{}, s};
        std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, b.codes);
        side.Apply(EncodeSwitchEnd(b));
    }
    side.Apply(EncodeAllSwitchEnd(AllSwitchEndBody{1, 1, 30, 30, 30}));
    return side;
}

// A move in the sender's view: its own slot `slot` from its deployment point
// `from` to the point of board point `to`, on piece `target` (-2 none).
Packet SenderMove(int seat, int slot, int from, int to, int target, int outcome) {
    MoveQzBody b;
    const GridPoint a = test::PointAt(from), z = test::PointAt(to);
    b.move.mover = slot, b.move.target = target, b.move.outcome = outcome;
    b.move.fromX = a.x, b.move.fromY = a.y, b.move.toX = z.x, b.move.toY = z.y;
    b.seat = seat;
    return EncodeMoveQz(b);
}

Packet Special(int seat, int coord, int outcome) {
    MoveQzBody b;
    b.move.mover = b.move.target = kNoPiece, b.move.outcome = outcome;
    b.move.fromX = b.move.fromY = b.move.toX = b.move.toY = coord;
    b.seat = seat;
    return EncodeMoveQz(b);
}

int AliveOfSeat(const LiteralSide& side, int seat) {
    int n = 0;
    for (int k = 0; k < kPiecesPerSeat; ++k) n += side.board()[static_cast<size_t>(seat * kPiecesPerSeat + k)].alive;
    return n;
}

// What the side does with single packets: everything as given, for the seat
// to move, with no check of its own.
TEST(LiteralSide, AppliesEachStepAsGiven) {
    const struct {
        const char* what;
        std::vector<Packet> packets;
        std::function<void(const LiteralSide&)> check;
    } rows[] = {
        {"seat 2's move, out of turn, in seat 2's view",
         {SenderMove(2, 0, 0, 5, kNoPiece, 1)},
         [](const LiteralSide& s) {
             const GridPoint z = test::PointAt(2 * 30 + 5);
             EXPECT_EQ((std::vector<int>{s.board()[50].x, s.board()[50].y}), (std::vector<int>{z.x, z.y}));
             EXPECT_EQ(s.seatToMove(), 2);  // the turn passes from seat 1, who was to move
             EXPECT_EQ(s.steps(), 1);
         }},
        {"a regiment that wins against a commander",
         {SenderMove(1, 0, 0, 2 * 30 + 15, 25 + 15, 1)},
         [](const LiteralSide& s) {
             EXPECT_EQ(s.board()[65].alive, 0);
             EXPECT_EQ(s.board()[25].alive, 1);
         }},
        {"a flag taken takes its seat, the turn skips it",
         {SenderMove(1, 0, 0, 2 * 30 + 21, 25 + 21, 1)},
         [](const LiteralSide& s) {
             EXPECT_EQ(AliveOfSeat(s, 2), 0);
             EXPECT_EQ(AliveOfSeat(s, 0), 25);
             EXPECT_EQ(s.seatToMove(), 3);
         }},
        {"an exchange removes both",
         {SenderMove(1, 0, 0, 2 * 30 + 20, 25 + 20, 0)},
         [](const LiteralSide& s) { EXPECT_EQ(s.board()[25].alive + s.board()[70].alive, 0); }},
        {"seat 3's give-up removes seat 1, which was to move",
         {Special(3, kSurrenderCoord, 0)},
         [](const LiteralSide& s) {
             EXPECT_EQ((std::vector<int>{AliveOfSeat(s, 1), AliveOfSeat(s, 3)}), (std::vector<int>{0, 25}));
             EXPECT_EQ(s.stepList().at(0), (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}));
         }},
        {"time-outs pass the turn, as often as they come",
         {Special(1, kTimeoutCoord, 1), Special(1, kTimeoutCoord, 7), Special(3, kTimeoutCoord, 2)},
         [](const LiteralSide& s) {
             EXPECT_EQ(s.seatToMove(), 0);
             EXPECT_EQ(s.steps(), 3);
             EXPECT_EQ(s.stepList().at(1).outcome, 2);
         }},
        {"both of one team give up: the other team wins",
         {Special(1, kSurrenderCoord, 0), Special(2, kSurrenderCoord, 0), Special(3, kSurrenderCoord, 0)},
         [](const LiteralSide& s) {
             EXPECT_EQ(s.result(), testing::kResultWon);
             EXPECT_EQ(s.endedAt(), 3);
             EXPECT_FALSE(s.running());
         }},
        {"a move after the end is applied and counted",
         {Special(1, kSurrenderCoord, 0), Special(2, kSurrenderCoord, 0), Special(3, kSurrenderCoord, 0),
          SenderMove(0, 0, 0, 5, kNoPiece, 1)},
         [](const LiteralSide& s) {
             EXPECT_EQ(s.movesOutsideBattle(), 1);
             EXPECT_EQ(s.steps(), 4);
             EXPECT_EQ(s.ending().stepList.size(), 3u);
         }},
        {"the step limit is a draw",
         {Special(1, kTimeoutCoord, 1), Packet(EncodeBare(Word::kMaxStepLimited))},
         [](const LiteralSide& s) { EXPECT_EQ(s.result(), testing::kResultDraw); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LiteralSide side = BattleOnTheLiteralSide();
        ASSERT_TRUE(side.running());
        ASSERT_EQ(side.seatToMove(), 1);
        for (const Packet& p : row.packets) side.Apply(p);
        row.check(side);
    }
}

// A draw agreed while the seats deploy stays agreed: the battle ends as a
// draw as soon as it runs, before any step.
TEST(LiteralSide, PeaceBeforeTheBattleEndsItBeforeAnyStep) {
    LiteralSide side = BattleOnTheLiteralSide(true);
    EXPECT_FALSE(side.running());
    EXPECT_EQ(side.result(), testing::kResultDraw);
    EXPECT_EQ(side.endedAt(), 0);
}

// The host's own seat, next after the step that ends the battle, may still
// send a move (its tick can test the end before the pump applies that step);
// the relay, which has seen the end on its copy, passes nothing on. Both
// seeds met such a move when the relay passed everything.
TEST(LiteralSide, NothingIsRelayedAfterTheEnd) {
    for (const uint32_t seed : {5u, 9u}) {
        Table t(seed);
        ASSERT_TRUE(t.Play(1));
        for (int s = 0; s < kSeats; ++s) EXPECT_EQ(t.literal.at(s + 1).movesOutsideBattle(), 0) << "seed " << seed << " seat " << s;
    }
}

}  // namespace
}  // namespace jq::net
