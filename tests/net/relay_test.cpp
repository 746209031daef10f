// The host's relay on connections without sockets.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "core/text.h"
#include "net/host/relay.h"
#include "support/host_moves.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq::net {
namespace {

constexpr ConnId kOwn = 1;
constexpr ConnId kRemote[4] = {0, 11, 12, 13};  // seat s joins on kRemote[s]
// Chat lines a second a talking side says in these rows: within a sender's share, even with two more talking.
constexpr int kTalk = 3;
// Lines of one sender a queue holds before it has no room for the next (its share is full).
const size_t kShareLines = (kSenderShare - kRoomPerPacket) / EncodeChat({1, ""}).size() + 1;

struct SeatOneTalks;

class RelayTest : public ::testing::Test {
    friend struct SeatOneTalks;

protected:
    void SetUp() override {
        g->ui = &ui;
        g->isNetHost = g->netConnected = 1;
        g->optionsRecord.netDisconnectTimeOption = 30;
        // Bytes that came with a connection are handed over when the relay reads them.
        links.readNow = [this](ConnId id) {
            if (auto it = unread.find(id); it != unread.end()) {
                const Packet bytes = std::move(it->second);
                unread.erase(it);
                Send(id, bytes);
            }
        };
        relay = std::make_unique<HostRelay>(*g, links);
        relay->Connected(kOwn, "127.0.0.1", 100);
        relay->SetOwnConnection(kOwn);
        for (int s = 1; s < 4; ++s) relay->Connected(kRemote[s], "10.0.0." + std::to_string(s), 200 + s);
    }
    static SeatRec Rec(int seat, const char* name, int state = 1) {
        SeatRec r;
        PutBoundedText(r.name, 32, name);
        r.seat = seat, r.state = state;
        return r;
    }
    void Send(ConnId id, const Packet& p) { relay->Received(id, p.data(), p.size()); }
    // The round's times: the host's options when it opened the round (unchanged since), cleaned up.
    LanTimes Times() const { return SanitizedLanTimes(g->optionsRecord); }
    static Packet Army(int seat) {
        SwitchEndBody b{{}, seat};
        std::copy(test::kArmy, test::kArmy + 25, b.codes);
        return EncodeSwitchEnd(b);
    }
    static Packet Repeated(const Packet& p, int times) {
        Packet all;
        for (int i = 0; i < times; ++i) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    // The words a connection was sent since the last look.
    std::vector<std::string> Got(ConnId id) {
        std::vector<std::string> words;
        for (const Packet& p : links.Sent(id)) words.push_back(RecoverWord(p.data()));
        links.written.erase(id);
        return words;
    }
    void SeatAll() {
        Send(kOwn, EncodeJoin(Rec(0, "host")));
        for (int s = 1; s < 4; ++s) Send(kRemote[s], EncodeJoin(Rec(s, "p")));
        for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) Got(id);
    }
    // Seconds of the host's clock, each with its tick.
    void Later(int seconds) {
        for (int t = 0; t < seconds; ++t) {
            ui.clock.seconds += 1;
            relay->Tick();
        }
    }
    // A pacing gap of the sockets (50 ms) on the host's clock: every connection that waited for its gap to end
    // takes its next packet, and the host ticks.
    void Pace() {
        if ((ui.clock.millis += 50) >= 1000) ui.clock.millis -= 1000, ++ui.clock.seconds;
        links.Gap([this](ConnId id) { relay->Writable(id); });
        relay->Tick();
    }
    // The texts of the chat lines a connection was sent from `seat`, and of all of them (`seat` -1).
    std::vector<std::string> Lines(ConnId id, int seat) const {
        std::vector<std::string> texts;
        for (const Packet& p : links.Sent(id))
            if (auto c = DecodeChat(p); c && (seat < 0 || c->seat == seat)) texts.push_back(c->text);
        return texts;
    }
    // Bytes handed over as the socket layer does: a read of at most 4 KiB at a time while the relay takes them
    // (what is handed over leaves `bytes`). Whenever it takes no more, a second passes (at most `seconds` of
    // them). True once everything is taken.
    bool Feed(ConnId id, Packet& bytes, int seconds) {
        for (int t = 0;; ++t) {
            while (!bytes.empty() && relay->Accepting(id)) {
                const size_t n = std::min<size_t>(4096, bytes.size());
                relay->Received(id, bytes.data(), n);
                bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
            }
            if (bytes.empty() && relay->Accepting(id)) return true;
            if (t == seconds) return false;
            Later(1);
        }
    }
    // The host starts the round from the waiting room its own side joined anew, and every seat deploys.
    void StartBattle() {
        Send(kOwn, EncodeJoin(Rec(0, "host")));
        Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
        for (int s = 0; s < 4; ++s) Send(relay->Seat(s).state == 1 && s > 0 ? kRemote[s] : kOwn, Army(s));
        for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) Got(id);
    }
    using W = std::vector<std::string>;

    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    testing::FakeServerLinks links;
    std::unique_ptr<HostRelay> relay;
    // Bytes each connection has sent that the relay has not read yet.
    std::map<ConnId, Packet> unread;
};

TEST_F(RelayTest, JoiningTakesOnlyAFreeSeat) {
    Send(kOwn, EncodeJoin(Rec(0, "host")));
    const auto own = links.Sent(kOwn);
    ASSERT_EQ(own.size(), 1u);  // "JoinLast" alone: nobody else to tell
    ASSERT_TRUE(DecodeJoinLast(own[0]));
    const JoinLastBody b = *DecodeJoinLast(own[0]);
    EXPECT_EQ(BoundedText(b.seats[0].name, 32), "host");
    EXPECT_EQ(BoundedText(b.seats[0].address, 16), "127.0.0.1");  // as the host sees the connection
    Got(kOwn);

    Send(kRemote[2], EncodeJoin(Rec(2, "li")));
    EXPECT_EQ(Got(kRemote[2]), W{"JoinLast"});
    EXPECT_EQ(Got(kOwn), W{"Join"});
    // Another player for seat 2, and a remote side for the host's seat.
    Send(kRemote[3], EncodeJoin(Rec(2, "wang")));
    Send(kRemote[1], EncodeJoin(Rec(0, "li")));
    EXPECT_EQ(Got(kRemote[3]), W{"JoinRefuse"});
    EXPECT_EQ(Got(kRemote[1]), W{"JoinRefuse"});
    // The same address and name on a new connection do not take a seat from its live connection (anybody on
    // that address could read the name from "JoinLast"); once that connection has gone, the seat is free, for
    // that address after a pause: its join waits until then.
    relay->Connected(21, "10.0.0.2", 999);
    Send(21, EncodeJoin(Rec(2, "li")));
    EXPECT_EQ(Got(21), W{"JoinRefuse"});
    EXPECT_EQ(Got(kOwn), W{});
    EXPECT_FALSE(links.closed.count(kRemote[2]));
    EXPECT_EQ(relay->SeatOfConnection(kRemote[2]), 2);
    relay->Closed(kRemote[2]);
    EXPECT_EQ(Got(kOwn), W{"JoinCancel"});
    Send(21, EncodeJoin(Rec(2, "li")));
    Later(kRejoinPauseSeconds - 1);
    EXPECT_EQ(Got(21), W{});
    Later(1);
    EXPECT_EQ(Got(21), W{"JoinLast"});
    EXPECT_EQ(Got(kOwn), W{"Join"});
    EXPECT_EQ(relay->SeatOfConnection(21), 2);
    EXPECT_EQ(relay->Seat(2).port, 999);
    // Said again in the same round, it changes nothing and goes nowhere.
    Send(21, EncodeJoin(Rec(2, "li")));
    EXPECT_EQ(Got(21), W{});
    EXPECT_EQ(Got(kOwn), W{});
}

TEST_F(RelayTest, ARemoteSideSpeaksOnlyForItsOwnSeat) {
    SeatAll();
    Send(kRemote[1], EncodeSeatWord(Word::kPeaceRequest, 2));  // not its seat
    Send(kRemote[1], EncodeSeatWord(Word::kJoinCancel, 2));    // nor this
    Send(kRemote[1], EncodeChat({2, "as seat 2"}));
    Send(kRemote[1], EncodeSeatWord(Word::kJoinOk, 1));        // only the host starts
    relay->Connected(30, "10.0.0.9", 1);
    Send(30, EncodeChat({3, "hi"}));                            // never joined
    Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
    // The host's side acts for its own seat and the computer's, not for a seat a person holds.
    Send(kOwn, Army(3));
    Send(kOwn, Army(0));
    EXPECT_EQ(Got(kRemote[2]), (W{"JoinOk", "SwitchEnd"}));
    Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
    Send(kOwn, Army(3));
    EXPECT_EQ(Got(kOwn), (W{"JoinOk", "SwitchEnd", "JoinCancel", "SwitchEnd"}));
}

TEST_F(RelayTest, LeavingDeployingMovingAndTheStepLimit) {
    Send(kOwn, EncodeJoin(Rec(0, "host")));
    Send(kRemote[1], EncodeJoin(Rec(1, "a")));
    Send(kRemote[3], EncodeJoin(Rec(3, "b")));
    for (ConnId id : {kOwn, kRemote[1], kRemote[3]}) Got(id);
    Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
    EXPECT_EQ(Got(kOwn), W{"JoinCancel"});
    EXPECT_EQ(Got(kRemote[1]), W{"JoinCancel"});
    EXPECT_EQ(Got(kRemote[3]), W{});
    EXPECT_EQ(relay->Seat(3).state, 0);
    Send(kOwn, EncodeSeatWord(Word::kJoinCancel, 0));
    EXPECT_EQ(Got(kOwn), W{"JoinCancel"});
    EXPECT_EQ(relay->Seat(0).state, 2);
    // Having left, seat 3's address takes no seat for a while: its join waits.
    Send(kRemote[3], EncodeJoin(Rec(3, "b")));
    EXPECT_EQ(Got(kRemote[3]), W{});
    Later(kRejoinPauseSeconds);
    EXPECT_EQ(Got(kRemote[3]), W{"JoinLast"});

    SeatAll();
    EXPECT_EQ(relay->Seat(3).state, 1);
    Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
    Got(kOwn);
    for (int s : {0, 1, 2, 3, 2}) Send(s == 0 ? kOwn : kRemote[s], Army(s));
    // "AllSwitchEnd" once, after the fourth deployment; a deployment after it counts for nothing.
    EXPECT_EQ(Got(kOwn), (W{"SwitchEnd", "SwitchEnd", "SwitchEnd", "SwitchEnd", "AllSwitchEnd"}));
    Got(kRemote[2]);

    // The steps are counted on the host's copy of the battle, whatever the host's own side shows.
    auto moveOfSeatToMove = [&](int n) {
        const auto q = test::QuietMove(relay->Referee(), n);
        if (q) Send(q->seat == 0 ? kOwn : kRemote[q->seat], EncodeMoveQz(*q));
    };
    for (int n = 0; n < 499; ++n) moveOfSeatToMove(n);
    ASSERT_EQ(relay->Referee().stepCount, 499);
    Got(kRemote[2]);
    moveOfSeatToMove(499);
    // At the limit, only the seat to move ends the battle: a move out of turn changes nothing.
    const int early = (relay->Referee().curSeat + 1) % kSeats;
    Send(early == 0 ? kOwn : kRemote[early],
         EncodeMoveQz(test::InSenderView(test::LegalMoves(relay->Referee(), false, early).at(0), early)));
    EXPECT_EQ(Got(kRemote[2]), W{"MoveQz"});
    EXPECT_EQ(relay->Referee().battleRunning, 1);
    for (int n : {500, 501}) moveOfSeatToMove(n);
    EXPECT_EQ(Got(kRemote[2]), W{"MaxStepLimited"});
    EXPECT_EQ(relay->Referee().battleRunning, 0);
}

// With no other person in the battle (seat 2 left) the host agrees at once.
TEST_F(RelayTest, APeaceRequestWithNobodyToAskIsAgreedAtOnce) {
    Send(kOwn, EncodeJoin(Rec(0, "host")));
    Send(kRemote[2], EncodeJoin(Rec(2, "li")));
    Send(kRemote[2], EncodeSeatWord(Word::kJoinCancel, 2));
    // Peace is asked only in a running battle; the host's side deploys for the computer.
    Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
    for (int s = 0; s < 4; ++s) Send(kOwn, Army(s));
    Got(kOwn);
    Send(kOwn, EncodeSeatWord(Word::kPeaceRequest, 0));
    EXPECT_EQ(Got(kOwn), W{"PeaceFinalOk"});
}

// A seated connection asks for a second seat: the computer's seat 3 in the battle, another player's seat 2.
// It keeps the one it holds and cannot speak for the other.
TEST_F(RelayTest, AConnectionHoldsOneSeat) {
    SeatAll();
    Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
    for (ConnId id : {kOwn, kRemote[1], kRemote[2]}) Got(id);
    for (int seat : {3, 2}) {
        Send(kRemote[1], EncodeJoin(Rec(seat, "p")));
        EXPECT_EQ(Got(kRemote[1]), W{"JoinRefuse"});
    }
    Send(kRemote[1], EncodeMoveQz({MoveCand{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}, 3}));
    EXPECT_EQ(Got(kOwn), W{});
    EXPECT_EQ((std::vector<int>{relay->SeatOfConnection(kRemote[1]), relay->Seat(3).state}), (std::vector<int>{1, 0}));
}

// The host's rules for draw offers: votes cleared after a decision and when a battle starts, so a late or
// unasked "PeaceOk" decides nothing; three offers per seat and battle.
TEST_F(RelayTest, PeaceVotesBelongToOneOfferInOneBattle) {
    SeatAll();
    auto startBattle = [this] { StartBattle(); };
    startBattle();
    Send(kRemote[1], EncodeSeatWord(Word::kPeaceRequest, 1));
    for (int s : {0, 2, 3}) Send(s == 0 ? kOwn : kRemote[s], EncodeSeatWord(Word::kPeaceOk, s));
    EXPECT_EQ(Got(kOwn), (W{"PeaceRequest", "PeaceFinalOk"}));
    Send(kRemote[3], EncodeSeatWord(Word::kPeaceOk, 3));  // after the decision
    EXPECT_EQ(Got(kOwn), W{});

    startBattle();
    Send(kRemote[2], EncodeSeatWord(Word::kPeaceOk, 2));  // nobody asked
    EXPECT_EQ(Got(kOwn), W{});
    // An offer with one refusal; an answer twice from one seat counts once.
    Send(kRemote[2], EncodeSeatWord(Word::kPeaceRequest, 2));
    Send(kOwn, EncodeSeatWord(Word::kPeaceAbort, 0));
    Send(kOwn, EncodeSeatWord(Word::kPeaceOk, 0));
    for (int s : {1, 3}) Send(kRemote[s], EncodeSeatWord(Word::kPeaceOk, s));
    EXPECT_EQ(Got(kOwn), (W{"PeaceRequest", "PeaceFinalAbort"}));
    Got(kRemote[2]);
    for (int n = 0; n < 3; ++n) Send(kRemote[2], EncodeSeatWord(Word::kPeaceRequest, 2));
    EXPECT_EQ(Got(kOwn), (W{"PeaceRequest", "PeaceRequest"}));  // the fourth of the battle is not passed on
    EXPECT_EQ(Got(kRemote[2]), W{"PeaceFinalAbort"});              // but refused to its sender
}

// A draw offer is decided when a seat it asked passes to the computer before answering: the seat agrees then,
// as the computer's seats do. Seat 1 offers, two of the others agree, and the third's player leaves: every
// side still seated hears the draw at once, and the battle ends drawn on the host's copy.
TEST_F(RelayTest, ADrawOfferIsDecidedWhenAnAskedSeatPassesToTheComputer) {
    const struct {
        const char* what;
        int leaver;
        std::function<void()> leave;
    } rows[] = {
        {"he gives the seat up", 2, [this] { Send(kRemote[2], EncodeSeatWord(Word::kJoinCancel, 2)); }},
        {"his connection closes", 2, [this] { relay->Closed(kRemote[2]); }},
        {"he is handed over for his silence", 2,
         [this] {
             for (int n = 0; n < kSeats && relay->Referee().curSeat != 2; ++n) {
                 const auto q = test::QuietMove(relay->Referee(), n);
                 Send(q->seat == 0 ? kOwn : kRemote[q->seat], EncodeMoveQz(*q));
             }
             Later(20 + kTurnGraceSeconds);
             ASSERT_EQ(relay->Seat(2).state, 0);
         }},
        {"the host's player gives his seat to its computer", 0,
         [this] { Send(kOwn, EncodeSeatWord(Word::kJoinCancel, 0)); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        relay.reset();
        g = std::make_unique<GameState>();
        links = testing::FakeServerLinks{};
        ui = test::RecordingUi{};
        SetUp();
        // Silent longer than the disconnect time in his turn, a player is handed over at its end.
        g->optionsRecord.netMoveTimeOption = 20;
        g->optionsRecord.netDisconnectTimeOption = 5;
        SeatAll();
        StartBattle();
        Send(kRemote[1], EncodeSeatWord(Word::kPeaceRequest, 1));
        for (int s : {0, 2, 3})
            if (s != r.leaver) Send(s == 0 ? kOwn : kRemote[s], EncodeSeatWord(Word::kPeaceOk, s));
        for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) Got(id);
        r.leave();
        for (int s = 0; s < kSeats; ++s) {
            if (s == r.leaver && s != 0) continue;
            W got = Got(s == 0 ? kOwn : kRemote[s]);
            EXPECT_EQ(std::count(got.begin(), got.end(), "PeaceFinalOk"), 1) << "seat " << s;
        }
        EXPECT_EQ(relay->Referee().battleRunning, 0);
    }
}

TEST_F(RelayTest, ConnectionsThatCannotTakeTheirPackets) {
    SeatAll();
    // A short send sends the rest later, never the packet twice.
    links.takeAtMost = 7;
    Send(kOwn, EncodeChat({0, "one"}));
    Send(kOwn, EncodeChat({0, "two"}));
    EXPECT_TRUE(relay->Pending());
    links.takeAtMost = SIZE_MAX;
    relay->Writable(kRemote[1]);
    const auto chats = links.Sent(kRemote[1]);
    ASSERT_EQ(chats.size(), 2u);
    EXPECT_EQ(DecodeChat(chats[1])->text, "two");
    // Once the round runs, a seat whose connection is gone is the computer's at once: the others are told, and
    // nothing more goes to the connection.
    Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
    Got(kOwn);
    relay->Closed(kRemote[3]);
    Got(kRemote[3]);
    EXPECT_EQ(Got(kOwn), W{"JoinCancel"});
    EXPECT_EQ(relay->Seat(3).state, 0);
    Send(kOwn, EncodeChat({0, "three"}));
    EXPECT_EQ(Got(kRemote[3]), W{});
    // A side that takes nothing any more is cut off once it has taken nothing for the disconnect time while
    // something waited for it.
    links.takeAtMostOf[kRemote[1]] = 0;
    Send(kRemote[2], EncodeChat({2, "x"}));
    Later(Times().disconnect);
    EXPECT_FALSE(links.closed.count(kRemote[1]));
    Later(1);
    EXPECT_TRUE(links.closed.count(kRemote[1]));
    // A word that cannot be cut ends the connection.
    Packet junk = EncodeBare(Word::kJoinRefuse);
    junk[0] = '?';
    Send(kRemote[2], junk);
    EXPECT_TRUE(links.closed.count(kRemote[2]));
}

// Sides that misbehave: only the side at fault is closed, and once the
// queues have drained every other seat hears the next chat line.
class HostileSideTest;
struct Hostile {
    const char* name;
    std::function<void(HostileSideTest&)> act;
    std::set<ConnId> closed;
};

void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }

class HostileSideTest : public RelayTest, public ::testing::WithParamInterface<Hostile> {
public:
    using RelayTest::g, RelayTest::ui, RelayTest::links, RelayTest::relay, RelayTest::Send, RelayTest::Got,
        RelayTest::Later, RelayTest::Feed, RelayTest::Repeated, RelayTest::StartBattle, RelayTest::Army, RelayTest::Pace,
        RelayTest::Lines, RelayTest::unread, RelayTest::Times;
    using W = RelayTest::W;
    static Packet Join(int seat) { return EncodeJoin(Rec(seat, "p")); }
    // Quiet moves of the seats to move, each from its own connection, until `seat` is to move.
    void PassTurnsUntil(int seat) {
        for (int n = 0; n < kSeats && relay->Referee().curSeat != seat; ++n) {
            const auto q = test::QuietMove(relay->Referee(), n);
            ASSERT_TRUE(q);
            Send(q->seat == 0 ? kOwn : kRemote[q->seat], EncodeMoveQz(*q));
        }
        ASSERT_EQ(relay->Referee().curSeat, seat);
    }
    void Burst(ConnId id, const Packet& p, int times) { Send(id, Repeated(p, times)); }
    // The host's side opens a new round with these times.
    void NewRound(int move, int disconnect) {
        g->optionsRecord.netMoveTimeOption = move;
        g->optionsRecord.netDisconnectTimeOption = disconnect;
        Send(kOwn, Join(0));
        for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) Got(id);
    }
    // Seat 2 reads nothing while `sender` says as many lines a second as its budget lets go on: once its share
    // of seat 2's queue is full (after half a minute: the round's disconnect time must be longer), it waits,
    // however long, with its next line taken and waiting.
    void SeatTwoHoldsBack(ConnId sender = kRemote[1]) {
        Got(kOwn);
        links.takeAtMostOf[kRemote[2]] = 0;
        const int seat = sender == kOwn ? 0 : 1;
        for (int t = 0; t < 60 && relay->Accepting(sender); ++t) {
            Burst(sender, EncodeChat({seat, "flood"}), kTalk);
            Later(1);
        }
        EXPECT_FALSE(relay->Accepting(sender));
        EXPECT_EQ(Got(kOwn).size(), kShareLines);
    }
    // Once seat 2 is gone, seat 1 goes on at once: the lines that waited are relayed.
    void SeatOneGoesOn() {
        W lines = Got(kOwn);
        std::erase(lines, "JoinCancel");
        EXPECT_FALSE(lines.empty());
        EXPECT_EQ(lines, W(lines.size(), "ChatMessage"));
        EXPECT_TRUE(relay->Accepting(kRemote[1]));
    }
    // The battle runs, then ends on the host's copy: seats 1 and 3 give up.
    void EndBattle() {
        StartBattle();
        for (int i = 0; i < 4 && relay->Referee().battleRunning == 1; ++i) {
            const int seat = relay->Referee().curSeat;
            MoveQzBody b{MoveCand{}, seat};
            MakeGiveUpMove(b.move, seat);
            Send(seat > 0 && relay->Seat(seat).state == 1 ? kRemote[seat] : kOwn, EncodeMoveQz(b));
        }
        EXPECT_EQ(relay->Referee().battleRunning, 0);
        for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) Got(id);
    }
};

TEST_P(HostileSideTest, OnlyTheSideAtFaultIsClosed) {
    SeatAll();
    GetParam().act(*this);
    EXPECT_EQ(links.closed, GetParam().closed);
    links.takeAtMost = SIZE_MAX;
    links.takeAtMostOf.clear();
    for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) relay->Writable(id), Got(id);
    EXPECT_FALSE(relay->Pending());
    Later(1);
    Send(kRemote[3], EncodeChat({3, "on"}));
    for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]})
        EXPECT_EQ(Got(id), links.closed.count(id) ? W{} : W{"ChatMessage"}) << "connection " << id;
}

const Packet kChat = EncodeChat({1, "flood"});

INSTANTIATE_TEST_SUITE_P(
    Relay, HostileSideTest,
    ::testing::Values(
        // One player holds seats 1 and 2 and floods chat from both at the
        // start of every second, while seat 3 says a line a second and the
        // host's own player one every two; every side takes a packet per
        // pacing gap. Every line of seat 3 and of the host's player reaches
        // every other seat, in order; the flooders lose only their own lines,
        // and all lines together stay within the relay's chat rate.
        Hostile{"TwoSeatsFloodingChatSilenceNobody",
                [](HostileSideTest& h) {
                    h.links.gapped = true;
                    constexpr int kSeconds = 10;
                    for (int ms = 0; ms < (kSeconds + 3) * 1000; ms += 50) {
                        if (ms % 1000 == 0 && ms < kSeconds * 1000) {
                            h.Burst(kRemote[1], kChat, 20);
                            h.Burst(kRemote[2], EncodeChat({2, "flood"}), 20);
                            h.Send(kRemote[3], EncodeChat({3, std::to_string(ms / 1000)}));
                            if (ms % 2000 == 0) h.Send(kOwn, EncodeChat({0, std::to_string(ms / 2000)}));
                        }
                        h.Pace();
                    }
                    const HostileSideTest::W third{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
                    const HostileSideTest::W own(third.begin(), third.begin() + kSeconds / 2);
                    for (ConnId id : {kOwn, kRemote[1], kRemote[2]}) EXPECT_EQ(h.Lines(id, 3), third) << id;
                    for (ConnId id : {kRemote[1], kRemote[2], kRemote[3]}) EXPECT_EQ(h.Lines(id, 0), own) << id;
                    const size_t all = h.Lines(kOwn, -1).size();
                    EXPECT_GT(all, third.size() + own.size() + 2 * kChatWaitingLines);
                    EXPECT_LE(all, static_cast<size_t>(kChatBurstLines + kChatLinesPerSecond * (kSeconds + 3)));
                    h.links.gapped = false;
                },
                {}},
        // A socket layer that hands over all it has: a burst goes on at once,
        // what the sender's list holds goes on later, in turn with the
        // others (seat 2's line first), and the rest goes nowhere.
        Hostile{"ThreeHundredChatLinesInOneRead",
                [](HostileSideTest& h) {
                    h.Burst(kRemote[1], kChat, 300);
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W(kChatBurstLines, "ChatMessage"));
                    h.Send(kRemote[2], EncodeChat({2, "me too"}));
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{});
                    h.Later(1);
                    EXPECT_EQ(h.Lines(kRemote[3], 2), HostileSideTest::W{"me too"});
                    const auto after = h.links.Sent(kOwn);
                    ASSERT_EQ(after.size(), kChatWaitingLines + 1);
                    EXPECT_EQ(DecodeChat(after.front())->seat, 2);
                    h.Got(kOwn);
                    h.Later(1);
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{});
                },
                {}},
        // A sender that waits for room (seat 2 reads nothing) delivers one
        // line more than its bound holds in one read: what waits is more than
        // an honest side ever sends ahead.
        Hostile{"JustOverTheBacklogInOneRead",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.SeatTwoHoldsBack();
                    h.Burst(kRemote[1], kChat, static_cast<int>(kSenderBacklogBytes / kChat.size()) + 1);
                },
                {kRemote[1]}},
        // A seated side says "Join" again and again: it is taken once a round.
        Hostile{"FourHundredJoinsInARound",
                [](HostileSideTest& h) {
                    h.Burst(kRemote[2], HostileSideTest::Join(2), 400);
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{});
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{});
                    h.Send(kOwn, HostileSideTest::Join(0));
                    h.Burst(kRemote[2], HostileSideTest::Join(2), 400);
                    // The host's new round, then its own answer; the others learn nothing new of seat 2.
                    EXPECT_EQ(h.Got(kRemote[2]), (HostileSideTest::W{"Join", "JoinLast"}));
                    EXPECT_EQ(h.Got(kOwn), (HostileSideTest::W{"JoinLast"}));
                    EXPECT_EQ(h.Got(kRemote[1]), (HostileSideTest::W{"Join"}));
                },
                {}},
        // Join and leave without pause: after leaving, its address takes no
        // seat for a while; its last join waits until then.
        Hostile{"JoinAndLeaveWithoutPause",
                [](HostileSideTest& h) {
                    const Packet cancel = EncodeSeatWord(Word::kJoinCancel, 2);
                    Packet churn;
                    for (int i = 0; i < 1000; ++i) {
                        const Packet join = HostileSideTest::Join(2);
                        churn.insert(churn.end(), cancel.begin(), cancel.end());
                        churn.insert(churn.end(), join.begin(), join.end());
                    }
                    h.Send(kRemote[2], churn);
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{"JoinCancel"});
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{});
                    h.Later(kRejoinPauseSeconds);
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{"Join"});
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{"JoinLast"});
                },
                {}},
        Hostile{"ASeatItCannotHaveAgainAndAgain",
                [](HostileSideTest& h) {
                    h.relay->Connected(30, "10.0.0.9", 1);
                    h.Burst(30, HostileSideTest::Join(0), 1000);
                    EXPECT_EQ(h.Got(30), (HostileSideTest::W{"JoinRefuse", "JoinRefuse", "JoinRefuse"}));
                },
                {30}},
        // A seated side that never reads holds the host back until the
        // disconnect time has passed without its queue moving.
        Hostile{"ASeatedSideThatNeverReads",
                [](HostileSideTest& h) {
                    h.links.takeAtMostOf[kRemote[1]] = 0;
                    h.Send(kRemote[2], EncodeChat({2, "hi"}));
                    h.Later(h.Times().disconnect);
                    EXPECT_TRUE(h.relay->Pending());
                    EXPECT_TRUE(h.links.closed.empty());
                    h.Later(1);
                },
                {kRemote[1]}},
        // The same, late in a long battle: the disconnect time counts from
        // when its queue began to wait.
        Hostile{"ASeatedSideThatStopsReadingLate",
                [](HostileSideTest& h) {
                    h.Later(600);
                    h.links.takeAtMostOf[kRemote[1]] = 0;
                    h.Send(kRemote[2], EncodeChat({2, "hi"}));
                    h.Later(30);
                    EXPECT_TRUE(h.links.closed.empty());
                    h.Later(1);
                },
                {kRemote[1]}},
        // Without a seat it holds nothing back, and it goes when silent.
        Hostile{"ASideWithoutASeatThatNeverReads",
                [](HostileSideTest& h) {
                    h.links.takeAtMostOf[30] = 0;
                    h.relay->Connected(30, "10.0.0.9", 1);
                    h.Send(30, HostileSideTest::Join(0));
                    EXPECT_FALSE(h.relay->Pending());
                    h.Later(kSeatlessSeconds);
                    EXPECT_TRUE(h.links.closed.empty());
                    h.Later(1);
                },
                {30}},
        // A seated side that reads a trickle (a byte now and then) takes no
        // whole packet for the disconnect time: it goes.
        Hostile{"ASeatedSideThatReadsATrickle",
                [](HostileSideTest& h) {
                    h.links.takeAtMostOf[kRemote[1]] = 1;
                    h.Burst(kRemote[2], EncodeChat({2, "hi"}), 3);
                    for (int t = 0; t < h.Times().disconnect; t += 10) {
                        h.relay->Writable(kRemote[1]);
                        h.Later(10);
                    }
                    EXPECT_TRUE(h.links.closed.empty());
                    h.relay->Writable(kRemote[1]);
                    h.Later(1);
                },
                {kRemote[1]}},
        // Seat 1 reads one packet every five seconds and seat 2 says a line
        // every five seconds: the queue never empties, but seat 1 takes what
        // it is sent, so others' traffic never closes it. The computer's
        // seats wait for it a second at most.
        Hostile{"ASeatedSideWhoseQueueNeverEmpties",
                [](HostileSideTest& h) {
                    const Packet line = EncodeChat({2, "hi"});
                    h.links.budget[kRemote[1]] = 0;
                    h.Send(kRemote[2], line);
                    EXPECT_TRUE(h.relay->ComputerWaits());
                    h.Later(1);
                    EXPECT_TRUE(h.relay->Pending());
                    EXPECT_FALSE(h.relay->ComputerWaits());
                    for (int t = 1; t <= 3 * h.Times().disconnect; t += 5) {
                        EXPECT_TRUE(h.links.closed.empty()) << t;
                        h.Send(kRemote[2], line);
                        h.links.budget[kRemote[1]] += line.size();
                        h.relay->Writable(kRemote[1]);
                        EXPECT_TRUE(h.relay->Pending());
                        h.Later(5);
                        EXPECT_FALSE(h.relay->ComputerWaits());
                    }
                    h.links.budget.clear();
                },
                {}},
        // The host's own side fills its share of seat 2's queue (seat 2 reads
        // nothing), then says 300 lines in one read: it waits, is never closed
        // for its backlog, and what it said goes on once seat 2 reads.
        Hostile{"TheHostsOwnSideWaitsAndIsNeverClosed",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.SeatTwoHoldsBack(kOwn);
                    h.Burst(kOwn, EncodeChat({0, "own"}), 300);
                    EXPECT_FALSE(h.relay->Accepting(kOwn));
                    EXPECT_TRUE(h.links.closed.empty());
                    h.links.takeAtMostOf.clear();
                    h.Later(100);
                    EXPECT_TRUE(h.relay->Accepting(kOwn));
                    EXPECT_EQ(h.Got(kRemote[2]).size(), h.Got(kRemote[3]).size());
                },
                {}},
        // Fresh connections one after another ask for seat 3 and close while
        // nobody reads: seat 3 is free again when the others' turn on the
        // wire comes, so they hear nothing of it, and nobody (the host's own
        // connection least of all) is closed.
        Hostile{"AChurnOfFreshConnectionsCostsNobodyAnything",
                [](HostileSideTest& h) {
                    h.Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
                    h.links.takeAtMost = 0;
                    for (ConnId id = 100; id < 100 + 4 * static_cast<ConnId>(kOutboxLimit); ++id) {
                        h.relay->Connected(id, "10.0.0.9", id);
                        h.Send(id, HostileSideTest::Join(3));
                        h.relay->Closed(id);
                    }
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                    h.links.takeAtMost = SIZE_MAX;
                    for (ConnId id : {kOwn, kRemote[1], kRemote[2]}) {
                        h.relay->Writable(id);
                        EXPECT_EQ(h.Got(id), HostileSideTest::W{"JoinCancel"}) << id;
                    }
                    // Seat 3's player comes back after his pause.
                    h.Later(kRejoinPauseSeconds + 1);
                    h.Send(kRemote[3], HostileSideTest::Join(3));
                },
                {}},
        // A connection from the host's own address and port (a port used
        // again once the host's own connection had gone) is a remote side
        // like any other: no seat 0, no word for the computer's seats, no
        // round started.
        Hostile{"AStrangerOnTheHostsOwnPort",
                [](HostileSideTest& h) {
                    h.relay->Connected(30, "127.0.0.1", 100);
                    h.Send(30, HostileSideTest::Join(0));
                    h.Send(30, EncodeSeatWord(Word::kJoinOk, 0));
                    h.Send(30, EncodeChat({0, "me"}));
                    EXPECT_EQ(h.Got(30), HostileSideTest::W{"JoinRefuse"});
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{});
                },
                {}},
        // Bytes that come while the host's own side is not in a LAN game are
        // read and framed all the same: a packet split there is whole.
        Hostile{"APacketSplitWhileTheHostSideIsAway",
                [](HostileSideTest& h) {
                    const Packet line = EncodeChat({2, "split"});
                    h.g->netConnected = 0;
                    h.relay->Received(kRemote[2], line.data(), 5);
                    h.g->netConnected = 1;
                    h.relay->Received(kRemote[2], line.data() + 5, line.size() - 5);
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{"ChatMessage"});
                },
                {}},
        // Seat 1 has not deployed in time and reads nothing: the host takes
        // its seat, and it has kFarewellSeconds to hear why.
        Hostile{"AFarewellNobodyReads",
                [](HostileSideTest& h) {
                    h.Send(kOwn, HostileSideTest::Join(0));
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    for (int s : {0, 2, 3}) h.Send(s == 0 ? kOwn : kRemote[s], HostileSideTest::Army(s));
                    h.links.takeAtMostOf[kRemote[1]] = 0;
                    for (int t = 0; t < 900 && h.relay->Seat(1).state != 0; ++t) h.Later(1);
                    ASSERT_EQ(h.relay->Seat(1).state, 0);
                    h.Later(kFarewellSeconds);
                    EXPECT_TRUE(h.links.closed.empty());
                    h.Later(1);
                },
                {kRemote[1]}},
        // Seat 1 waits for room (seat 2 reads nothing) with its deployment
        // whole in the host's hands when it closes: the deployment is its
        // word, taken once the queues have room.
        Hostile{"WhatAWaitingSenderSentBeforeItClosed",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    h.Got(kOwn);
                    h.SeatTwoHoldsBack();
                    h.Send(kRemote[1], HostileSideTest::Army(1));
                    h.relay->Closed(kRemote[1]);
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                    h.links.takeAtMostOf.clear();
                    h.relay->Writable(kRemote[2]);
                    HostileSideTest::W got = h.Got(kOwn);
                    std::erase(got, "ChatMessage");
                    EXPECT_EQ(got, (HostileSideTest::W{"SwitchEnd", "JoinCancel"}));
                },
                {kRemote[1]}},
        // Each new connection over the limit closes the one that has waited
        // longest without a seat; one that closes itself makes room.
        Hostile{"TooManyConnectionsWithoutASeat",
                [](HostileSideTest& h) {
                    for (ConnId id = 30; id < 30 + kMaxIdlePerAddress + 1; ++id) {
                        h.relay->Connected(id, "10.0.0.9", id);
                        h.Later(1);
                    }
                    h.relay->Connected(40, "10.0.0.9", 40);
                    h.relay->Closed(40);
                    h.relay->Connected(41, "10.0.0.9", 41);
                },
                {30, 31, 40}},
        // A reader that holds a sender back goes, however it goes: the
        // sender does not wait for the next read of anybody.
        Hostile{"AReaderThatHoldsASenderBackCloses",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.SeatTwoHoldsBack();
                    h.relay->Closed(kRemote[2]);
                    h.SeatOneGoesOn();
                },
                {kRemote[2]}},
        Hostile{"AReaderThatHoldsASenderBackStalls",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.SeatTwoHoldsBack();
                    // Its queue has not moved since the first line, half a minute ago.
                    h.Later(h.Times().disconnect - 30);
                    h.SeatOneGoesOn();
                },
                {kRemote[2]}},
        // One address opens idle connection after connection, then a newcomer's connection says nothing yet:
        // the flood's address, over its bound, closes its own, and once fresh addresses fill every idle place,
        // the one idle longest goes first, never the newcomer's.
        Hostile{"AFloodOfIdleConnectionsClosesItsOwn",
                [](HostileSideTest& h) {
                    for (ConnId id = 31; id < 31 + kMaxIdlePerAddress + 1; ++id) h.relay->Connected(id, "10.0.0.9", id);
                    h.Later(1);
                    h.relay->Connected(30, "10.0.0.8", 30);
                    // Fresh addresses fill every idle place: each one over them closes one of the flood's.
                    for (ConnId id = 40; id < 40 + kMaxIdleInAll - 2; ++id)
                        h.relay->Connected(id, "10.7.0." + std::to_string(id), id);
                },
                {31, 32, 33, 34}},
        // A seat not to move sends move after move: it is told where the battle stands at once, then at most
        // once a second however often it asks.
        Hostile{"RefusedMovesAreAnsweredOnceASecond",
                [](HostileSideTest& h) {
                    h.StartBattle();
                    const int seat = h.relay->Referee().curSeat == 1 ? 2 : 1;
                    MoveQzBody b{MoveCand{}, seat};
                    MakeGiveUpMove(b.move, seat);
                    h.Burst(kRemote[seat], EncodeMoveQz(b), 10);
                    EXPECT_EQ(h.Got(kRemote[seat]), HostileSideTest::W{"JoinLast"});
                    h.Later(1);
                    EXPECT_EQ(h.Got(kRemote[seat]), HostileSideTest::W{"JoinLast"});
                    h.Later(1);
                    EXPECT_EQ(h.Got(kRemote[seat]), HostileSideTest::W{});
                },
                {}},
        // Seat 1, to move, has used some of its turn when seat 2 stops reading; its chat fills its share of
        // seat 2's queue, and its move waits behind. Seat 2 is closed once it has held seat 1 back for
        // kHoldBackMs, well before seat 1's turn runs out: the move that waited is taken then, and the seat
        // stays its player's.
        Hostile{"AMoveThatWaitedIsTakenBeforeTheTurnRunsOut",
                [](HostileSideTest& h) {
                    h.NewRound(60, 45);
                    h.StartBattle();
                    h.PassTurnsUntil(1);
                    const int64_t turnStart = h.ui.clock.seconds;
                    const LanTimes times = h.Times();
                    h.Later(times.move + kTurnGraceSeconds - times.disconnect - 1);
                    const int steps = h.relay->Referee().stepCount;
                    h.SeatTwoHoldsBack();
                    h.Send(kRemote[1], EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    h.Later(static_cast<int>(kHoldBackMs / 1000));
                    EXPECT_TRUE(h.links.closed.empty());
                    EXPECT_EQ(h.relay->Referee().stepCount, steps);
                    h.Later(1);
                    EXPECT_LT(h.ui.clock.seconds, turnStart + times.move);
                    EXPECT_EQ(h.relay->Referee().stepCount, steps + 1);
                    EXPECT_NE(h.relay->Referee().stepRecords[steps].fromX, kTimeoutCoord);  // its move, no time-out
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                },
                {kRemote[2]}},
        // Seat 2 reads nothing. Five connections fill their shares of its
        // queue, kTalk lines a second each, two at a time (seat 1's old one,
        // closed, and its new one among them), then seat 2 talks until the
        // queue has no room for it: seat 2 waits, is not cut off for being
        // slow, and every line said reaches it once it reads.
        Hostile{"FiveSendersFillOneSlowQueue",
                [](HostileSideTest& h) {
                    // A round whose disconnect time is longer than the queues take to fill.
                    h.NewRound(30, 120);
                    h.links.takeAtMostOf[kRemote[2]] = 0;
                    const auto fill = [&h](ConnId a, int seatA, ConnId b, int seatB) {
                        for (size_t sent = 0; sent < kShareLines; sent += kTalk) {
                            const int n = static_cast<int>(std::min<size_t>(kTalk, kShareLines - sent));
                            h.Burst(a, EncodeChat({seatA, "a"}), n);
                            h.Burst(b, EncodeChat({seatB, "b"}), n);
                            h.Later(1);
                        }
                    };
                    fill(kRemote[1], 1, kOwn, 0);
                    h.relay->Closed(kRemote[1]);
                    h.relay->Connected(21, "10.0.0.1", 301);
                    h.Send(21, HostileSideTest::Join(1));
                    h.Later(kRejoinPauseSeconds);
                    ASSERT_EQ(h.relay->SeatOfConnection(21), 1);
                    fill(kRemote[3], 3, 21, 1);
                    EXPECT_TRUE(h.relay->Accepting(21));
                    int own = 0;
                    for (; own < 100 && h.relay->Accepting(kRemote[2]); own += kTalk) {
                        h.Burst(kRemote[2], EncodeChat({2, "e"}), kTalk);
                        h.Later(1);
                    }
                    EXPECT_FALSE(h.relay->Accepting(kRemote[2]));
                    // Once seat 2 reads, everything reaches it.
                    h.links.takeAtMostOf.clear();
                    h.relay->Writable(kRemote[2]);
                    h.Later(2);
                    EXPECT_EQ(h.Lines(kRemote[2], -1).size(), 4 * kShareLines + static_cast<size_t>(own));
                },
                {kRemote[1]}},
        // Seat 1 is silent on its turn while a connection without a seat, and seat 2, talk and seat 2 sends its
        // deployment again: none of it is seat 1's word, and seat 1 goes when its turn is over, silent for
        // longer than the disconnect time.
        Hostile{"NobodyElsesPacketsPutOffASilentSeat",
                [](HostileSideTest& h) {
                    h.StartBattle();
                    h.PassTurnsUntil(1);
                    h.relay->Connected(30, "10.0.0.9", 1);
                    const LanTimes times = h.Times();
                    ASSERT_GT(times.move + kTurnGraceSeconds, times.disconnect);
                    for (int t = 0; t < times.move + kTurnGraceSeconds - 1; ++t) {
                        if (t % 5 == 0) {
                            h.Send(30, EncodeChat({1, "outside"}));
                            h.Send(kRemote[2], EncodeChat({2, "hi"}));
                            h.Send(kRemote[2], HostileSideTest::Army(2));
                        }
                        h.Later(1);
                    }
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                    h.Later(1);
                    EXPECT_EQ(h.relay->Seat(1).state, 0);
                },
                {kRemote[1], 30}},
        // Seat 1 begins its give-up one second before the host ends its turn and completes it once the others
        // have moved: a move belongs to the turn it was begun in, so it is refused in the seat's next turn.
        Hostile{"AMoveBegunBeforeItsTurnEndedIsRefusedLater",
                [](HostileSideTest& h) {
                    h.NewRound(30, 60);
                    h.StartBattle();
                    h.PassTurnsUntil(1);
                    const LanTimes times = h.Times();
                    h.Later(times.move + kTurnGraceSeconds - 1);
                    MoveQzBody b{MoveCand{}, 1};
                    MakeGiveUpMove(b.move, 1);
                    const Packet giveUp = EncodeMoveQz(b);
                    h.relay->Received(kRemote[1], giveUp.data(), 10);
                    h.Later(1);
                    ASSERT_EQ(h.relay->Referee().stepRecords[h.relay->Referee().stepCount - 1].fromX, kTimeoutCoord);
                    h.PassTurnsUntil(1);
                    const int steps = h.relay->Referee().stepCount;
                    h.Got(kRemote[1]);
                    h.relay->Received(kRemote[1], giveUp.data() + 10, giveUp.size() - 10);
                    EXPECT_EQ(h.relay->Referee().stepCount, steps);
                    EXPECT_EQ(h.ui.status[3], HostReferee::VerdictText(HostReferee::Verdict::kEarlierTurn, 1));
                    EXPECT_EQ(h.Got(kRemote[1]), HostileSideTest::W{"JoinLast"});
                    // Sent whole in this turn, it is a give-up.
                    h.Later(1);
                    h.Send(kRemote[1], giveUp);
                    EXPECT_EQ(h.relay->Referee().stepCount, steps + 1);
                },
                {}},
        // A disconnect time shorter than the move time: a player who thinks in silence is not handed over inside
        // his move time and the grace; silent through them, he is.
        Hostile{"SilenceHandsNobodyOverInsideHisMoveTime",
                [](HostileSideTest& h) {
                    h.NewRound(60, 10);
                    h.StartBattle();
                    h.PassTurnsUntil(1);
                    h.Later(40);
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                    h.Send(kRemote[1], EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    h.PassTurnsUntil(1);
                    h.Later(60 + kTurnGraceSeconds - 1);
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                    h.Later(1);
                    EXPECT_EQ(h.relay->Seat(1).state, 0);
                },
                {kRemote[1]}},
        // The deployment begins at .970 of a second: a deploy time of 20 s and the grace run out exactly 23 s
        // later, not at the whole second before.
        Hostile{"TimeOutsFallOnTheirMillisecond",
                [](HostileSideTest& h) {
                    h.g->optionsRecord.netDeployTimeOption = 20;
                    h.NewRound(30, 30);
                    h.ui.clock.millis = 970;
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    for (int s : {0, 2, 3}) h.Send(s == 0 ? kOwn : kRemote[s], HostileSideTest::Army(s));
                    h.ui.clock.seconds += 20 + kTurnGraceSeconds;
                    h.ui.clock.millis = 969;
                    h.relay->Tick();
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                    h.ui.clock.millis = 970;
                    h.relay->Tick();
                    EXPECT_EQ(h.relay->Seat(1).state, 0);
                },
                {kRemote[1]}},
        // The host's own side has not taken what was sent to it: the computer's seats wait for it, a
        // second of the phase at most (its link is paced like any other, and a churn of seats can keep its
        // queue from ever emptying).
        Hostile{"TheComputerWaitsForTheHostsOwnSide",
                [](HostileSideTest& h) {
                    h.links.takeAtMostOf[kOwn] = 0;
                    h.Send(kRemote[2], EncodeChat({2, "hi"}));
                    EXPECT_TRUE(h.relay->ComputerWaits());
                    h.Later(1);
                    EXPECT_FALSE(h.relay->ComputerWaits());
                    h.links.takeAtMostOf.clear();
                    h.relay->Writable(kOwn);
                    EXPECT_FALSE(h.relay->ComputerWaits());
                },
                {}},
        // Seat 1 is handed over for its deploy time while it reads nothing: it is being closed with its
        // farewell, not idle, so four idle connections after it close nobody.
        Hostile{"AConnectionBeingClosedIsNotTakenForAnIdleOne",
                [](HostileSideTest& h) {
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    for (int s : {0, 2, 3}) h.Send(s == 0 ? kOwn : kRemote[s], HostileSideTest::Army(s));
                    h.links.takeAtMostOf[kRemote[1]] = 0;
                    h.Later(h.Times().deploy + kTurnGraceSeconds);
                    ASSERT_EQ(h.relay->Seat(1).state, 0);
                    for (ConnId id = 30; id < 30 + kMaxIdlePerAddress; ++id) h.relay->Connected(id, "10.0.0.9", id);
                    EXPECT_TRUE(h.links.closed.empty());
                    h.Later(kFarewellSeconds + 1);
                },
                {kRemote[1]}},
        // Seat 1 reads nothing while seat 2's side leaves (a change seat 1 has yet to hear), and is handed over
        // for its deploy time: once it reads, it hears what was relayed before and its farewell, and nothing
        // of how the seats stand since, which is its side's business no more.
        Hostile{"AFarewellComesWithoutTheSeatsNewsBeforeIt",
                [](HostileSideTest& h) {
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    for (int s : {0, 3}) h.Send(s == 0 ? kOwn : kRemote[s], HostileSideTest::Army(s));
                    h.links.takeAtMostOf[kRemote[1]] = 0;
                    h.Later(h.Times().deploy + kTurnGraceSeconds - 1);
                    h.relay->Closed(kRemote[2]);
                    h.Later(1);
                    ASSERT_EQ(h.relay->Seat(1).state, 0);
                    h.links.takeAtMostOf.erase(kRemote[1]);
                    h.relay->Writable(kRemote[1]);
                    const HostileSideTest::W got = h.Got(kRemote[1]);
                    EXPECT_EQ(std::count(got.begin(), got.end(), "JoinCancel"), 1);
                    EXPECT_EQ(got.back(), "JoinCancel");
                    h.Later(kFarewellSeconds + 1);
                },
                {kRemote[1], kRemote[2]}},
        // Seat 1's player, seated for minutes, gives up his seat and stays connected: he is idle from then
        // on, and goes once he has been idle for kSeatlessSeconds, not at once.
        Hostile{"AnIdleConnectionCountsItsTimeFromItsLastSeat",
                [](HostileSideTest& h) {
                    h.Later(5 * kSeatlessSeconds);
                    h.Send(kRemote[1], EncodeSeatWord(Word::kJoinCancel, 1));
                    h.Later(kSeatlessSeconds);
                    EXPECT_TRUE(h.links.closed.empty());
                    h.Later(1);
                },
                {kRemote[1]}},
        // Seat 2 reads nothing for a minute and a half while seat 1 is taken and left by fresh connections
        // from ever new addresses, four a second: every change waits for seat 2 as
        // one entry of its queue, which never fills, and once seat 2 reads, the seat is free as it was.
        Hostile{"AMinuteOfChurnWaitsForAStalledReaderAsOneEntry",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.relay->Closed(kRemote[1]);
                    h.Got(kRemote[2]);
                    h.links.takeAtMostOf[kRemote[2]] = 0;
                    ConnId c = 100;
                    for (int t = 0; t < 90; ++t, h.Later(1))
                        for (int j = 0; j < 4; ++j, ++c) {
                            h.relay->Connected(c, "10.2." + std::to_string(c / 200) + "." + std::to_string(c % 200), c);
                            h.Send(c, HostileSideTest::Join(1));
                            h.relay->Closed(c);
                        }
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                    EXPECT_EQ(h.links.closed.count(kRemote[2]), 0u);
                    h.links.takeAtMostOf.clear();
                    h.relay->Writable(kRemote[2]);
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{});
                },
                {kRemote[1]}},
        // Sixteen addresses churn seat 1 for half a minute: every second each takes it and leaves it at once
        // on three new connections (those in its pause wait, as many as its places hold; one that takes the
        // seat later leaves it then). Meanwhile a newcomer from a fresh address asks for the free seat 2 every
        // second, his join sent with his connection: each address pays for its own joins and waits in its own
        // places, and a join that comes with its connection is read before it could lose an idle place, so
        // every newcomer is seated at once.
        Hostile{"ChurnFromSixteenAddressesRefusesNoNewcomer",
                [](HostileSideTest& h) {
                    h.relay->Closed(kRemote[1]);
                    h.relay->Closed(kRemote[2]);
                    ConnId c = 100;
                    for (int t = 0; t < 30; ++t) {
                        for (int a = 0; a < 16; ++a)
                            for (int k = 0; k < 3; ++k, ++c) {
                                h.relay->Connected(c, "10.4.0." + std::to_string(a), c);
                                Packet p = HostileSideTest::Join(1);
                                const Packet cancel = EncodeSeatWord(Word::kJoinCancel, 1);
                                p.insert(p.end(), cancel.begin(), cancel.end());
                                h.Send(c, p);
                            }
                        const ConnId newcomer = 5000 + t;
                        h.unread[newcomer] = HostileSideTest::Join(2);  // sent with its connection
                        h.relay->Connected(newcomer, "10.5.0." + std::to_string(t), newcomer);
                        EXPECT_EQ(h.Got(newcomer), HostileSideTest::W{"JoinLast"}) << t;
                        h.Send(newcomer, EncodeSeatWord(Word::kJoinCancel, 2));
                        h.relay->Closed(newcomer);
                        h.Later(1);
                        for (ConnId holder = 100; holder < c; ++holder)
                            if (h.relay->SeatOfConnection(holder) == 1) {
                                h.Send(holder, EncodeSeatWord(Word::kJoinCancel, 1));
                                h.relay->Closed(holder);
                            }
                    }
                    for (ConnId id : {kOwn, kRemote[3]}) h.Got(id);
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                },
                {kRemote[1], kRemote[2]}},
        // Once the battle has ended, joins wait for the next round: address A asks for seat 1 twice and seat 2
        // (as many as it may), B for seat 2, 28 more addresses for seat 3, filling every place. A newcomer's
        // join makes them one too many: A, at its bound and no further, keeps its places, and the newcomer's
        // connection is closed. In the next round the joins are taken in the order they came: A's first two
        // seats 1 and 2, A's second and B's are refused, seats 1 and 2 being held.
        Hostile{"WaitingPlacesAreSharedBetweenAddresses",
                [](HostileSideTest& h) {
                    h.EndBattle();
                    h.relay->Closed(kRemote[1]);
                    h.relay->Closed(kRemote[2]);
                    std::vector<std::pair<ConnId, int>> joins{{30, 1}, {31, 1}, {32, 2}, {40, 2}};
                    for (ConnId c = 41; c < 41 + kMaxWaitingJoins - 4; ++c) joins.emplace_back(c, 3);
                    joins.emplace_back(80, 3);
                    for (const auto& [c, seat] : joins) {
                        h.relay->Connected(c, c < 40 ? "10.6.0.1" : "10.6.1." + std::to_string(c), c);
                        h.Send(c, HostileSideTest::Join(seat));
                    }
                    EXPECT_EQ(h.links.closed.count(80), 1u);
                    h.NewRound(30, 30);
                    h.Later(1);
                    EXPECT_EQ(h.relay->SeatOfConnection(30), 1);
                    EXPECT_EQ(h.relay->SeatOfConnection(32), 2);
                    EXPECT_EQ(h.Got(31), HostileSideTest::W{"JoinRefuse"});
                    EXPECT_EQ(h.Got(40), HostileSideTest::W{"JoinRefuse"});
                    for (ConnId c : {30, 32}) h.relay->Closed(c);
                },
                {kRemote[1], kRemote[2], 80, 30, 32}},
        // Two connections from seat 1's address wait out its pause for seat 1; the first to ask asks again
        // meanwhile and keeps its place: it takes the seat, the other is refused.
        Hostile{"WaitingJoinsKeepTheirOrder",
                [](HostileSideTest& h) {
                    h.relay->Closed(kRemote[1]);
                    for (ConnId c : {30, 31}) h.relay->Connected(c, "10.0.0.1", c);
                    h.Send(30, HostileSideTest::Join(1));
                    h.Send(31, HostileSideTest::Join(1));
                    h.Send(30, HostileSideTest::Join(1));
                    h.Later(kRejoinPauseSeconds);
                    EXPECT_EQ(h.Got(30), HostileSideTest::W{"JoinLast"});
                    EXPECT_EQ(h.Got(31), HostileSideTest::W{"JoinRefuse"});
                },
                {kRemote[1]}},
        // The holders of seats 1 and 2 have not joined the new round when its deployment begins. Seat 2's
        // join 5 s in brings him the whole deploy time from it; seat 1's, a second after the deploy time, would
        // bring none: it waits, unanswered, and the seat is handed over at the deploy time and the grace.
        Hostile{"AHoldersJoinInTheDeploymentBringsTheWholeTimeOrWaits",
                [](HostileSideTest& h) {
                    h.NewRound(30, 600);
                    const int deploy = h.Times().deploy;
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    for (int s : {0, 3}) h.Send(s == 0 ? kOwn : kRemote[s], HostileSideTest::Army(s));
                    h.Later(5);
                    h.Got(kRemote[2]);
                    h.Send(kRemote[2], HostileSideTest::Join(2));
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{"JoinLast"});
                    h.Later(deploy - 5 + 1);
                    h.Got(kRemote[1]);
                    h.Send(kRemote[1], HostileSideTest::Join(1));
                    h.Later(kTurnGraceSeconds - 2);
                    EXPECT_EQ(h.Got(kRemote[1]), HostileSideTest::W{});
                    h.Later(1);
                    EXPECT_EQ(h.relay->Seat(1).state, 0);
                    EXPECT_EQ(h.Got(kRemote[1]), HostileSideTest::W{"JoinCancel"});
                    h.Later(4);
                    EXPECT_EQ(h.relay->Seat(2).state, 1);
                    h.Send(kRemote[2], HostileSideTest::Army(2));
                },
                {kRemote[1]}},
        // A player takes seat 1 (the computer's) in its turn, with its time from his join, and moves. In seat
        // 1's next turn nobody has joined yet: his own time-out a second before the move time is refused, and
        // when he leaves, another's join for the seat waits until that turn (his) is over.
        // Two hundred addresses each keep one bare connection open, so every idle place is taken, and a
        // newcomer's join comes with his connection, followed by forty more bare ones. His join is read when he
        // is accepted: he is seated, and only the flood's own connections give way. Another newcomer's join
        // comes just after his connection was accepted, before the host has read it: it is read before he can
        // give his place up, and he is seated too.
        Hostile{"AJoinSentWithItsConnectionIsReadBeforeItCanLoseItsPlace",
                [](HostileSideTest& h) {
                    h.relay->Closed(kRemote[1]);
                    h.relay->Closed(kRemote[2]);
                    const auto bare = [&h](ConnId c) {
                        h.relay->Connected(c, "10.8." + std::to_string(c / 100) + "." + std::to_string(c % 100), c);
                    };
                    for (ConnId c = 100; c < 300; ++c) bare(c);
                    h.unread[50] = HostileSideTest::Join(1);
                    h.relay->Connected(50, "10.9.0.1", 50);
                    h.relay->Connected(51, "10.9.0.2", 51);
                    h.unread[51] = HostileSideTest::Join(2);
                    for (ConnId c = 300; c < 340; ++c) bare(c);
                    // What the relay left unread comes in at last.
                    for (auto& [id, bytes] : std::map<ConnId, Packet>(std::move(h.unread))) h.Send(id, bytes);
                    EXPECT_EQ(h.Got(50).at(0), "JoinLast");
                    EXPECT_EQ(h.relay->SeatOfConnection(50), 1);
                    EXPECT_EQ(h.relay->SeatOfConnection(51), 2);
                    // Every other arrival closed one bare connection: the idle places stay as many as ever.
                    EXPECT_EQ(std::count_if(h.links.closed.begin(), h.links.closed.end(), [](ConnId id) { return id >= 100; }),
                              240 - kMaxIdleInAll);
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                },
                {kRemote[1], kRemote[2]}},
        // Seat 1's player, seated for a minute, gives up his seat and asks again at once: his join waits out
        // his address's pause. Meanwhile forty addresses each keep a join for the free seat 2 waiting, more
        // than there are places. His address has sat in this round and theirs have not: his join keeps its
        // place whenever it came, and he is seated once his pause is over.
        Hostile{"ARejoinThatWaitsKeepsItsPlaceAgainstFreshAddresses",
                [](HostileSideTest& h) {
                    h.Later(60);
                    h.Send(kRemote[2], EncodeSeatWord(Word::kJoinCancel, 2));
                    Packet again = EncodeSeatWord(Word::kJoinCancel, 1);
                    const Packet join = HostileSideTest::Join(1);
                    again.insert(again.end(), join.begin(), join.end());
                    h.Send(kRemote[1], again);
                    for (ConnId c = 100; c < 140; ++c) {
                        h.relay->Connected(c, "10.3.0." + std::to_string(c), c);
                        // Each takes the seat and gives it back, and asks again in its pause (or waits behind).
                        h.Send(c, HostileSideTest::Join(2));
                        h.Send(c, EncodeSeatWord(Word::kJoinCancel, 2));
                        h.Send(c, HostileSideTest::Join(2));
                    }
                    EXPECT_EQ(h.links.closed.count(kRemote[1]), 0u);
                    h.Got(kRemote[1]);
                    h.Later(kRejoinPauseSeconds);
                    EXPECT_EQ(h.Got(kRemote[1]).at(0), "JoinLast");
                    EXPECT_EQ(h.relay->SeatOfConnection(kRemote[1]), 1);
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                    h.relay->Closed(kRemote[2]);
                },
                {kRemote[2]}},
        // Two players behind one router hold seats 1 and 2; their connections break together and both ask
        // again at once (their address pauses), when every place to wait is taken: seat 3's player asked again
        // in his pause, and thirty-one fresh addresses, never seated, wait behind him. Nine more ask for seat 1
        // or 2 after them. The router's address counts two entries against everybody else's one, yet as the
        // last holder of two seats it keeps both places, and its players are seated once the pause is over.
        Hostile{"PlayersBehindOneAddressKeepTheirPlacesAgainstFreshOnes",
                [](HostileSideTest& h) {
                    h.relay->Closed(kRemote[1]);
                    h.relay->Closed(kRemote[2]);
                    for (ConnId c : {30, 31}) h.relay->Connected(c, "10.9.0.1", c);
                    h.Send(30, HostileSideTest::Join(1));
                    h.Send(31, HostileSideTest::Join(2));
                    h.Later(60);
                    Packet again = EncodeSeatWord(Word::kJoinCancel, 3);
                    const Packet join = HostileSideTest::Join(3);
                    again.insert(again.end(), join.begin(), join.end());
                    h.Send(kRemote[3], again);
                    const auto fresh = [&h](ConnId c, int seat) {
                        h.relay->Connected(c, "10.3.1." + std::to_string(c), c);
                        h.Send(c, HostileSideTest::Join(seat));
                    };
                    for (ConnId c = 100; c < 100 + kMaxWaitingJoins - 1; ++c) fresh(c, 3);
                    h.relay->Closed(30);
                    h.relay->Closed(31);
                    for (ConnId c : {32, 33}) {
                        h.relay->Connected(c, "10.9.0.1", c);
                        h.Send(c, HostileSideTest::Join(c == 32 ? 1 : 2));
                    }
                    for (ConnId c = 200; c < 209; ++c) fresh(c, 1 + c % 2);
                    EXPECT_EQ(h.links.closed.count(32) + h.links.closed.count(33), 0u);
                    h.Later(kRejoinPauseSeconds);
                    EXPECT_EQ(h.relay->SeatOfConnection(32), 1);
                    EXPECT_EQ(h.relay->SeatOfConnection(33), 2);
                    EXPECT_EQ(h.relay->SeatOfConnection(kRemote[3]), 3);
                    h.Got(kRemote[3]);
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                    for (ConnId c : {32, 33}) h.relay->Closed(c);
                },
                {kRemote[1], kRemote[2], 30, 31, 32, 33}},
        // Thirty-two addresses each take the free seat 2 and give it back 20 ms later; seat 1's player gives up
        // his seat and asks again (his address pauses), and a newcomer who never sat asks for seat 1 behind
        // him; then the thirty-two ask for seat 1 too, more than there are places. A moment's sit buys no
        // place: only the last to hold seat 2 stands, and the newest give way, never the newcomer, who takes
        // seat 1 once the join before his is gone.
        Hostile{"SitsOfAMomentBuyNoPlaceBeforeANewcomer",
                [](HostileSideTest& h) {
                    h.relay->Closed(kRemote[2]);
                    const auto ms = [&h](int n) {
                        h.ui.clock.millis += n;
                        h.ui.clock.seconds += h.ui.clock.millis / 1000;
                        h.ui.clock.millis %= 1000;
                    };
                    for (ConnId c = 100; c < 132; ++c) {
                        h.relay->Connected(c, "10.3.2." + std::to_string(c), c);
                        h.Send(c, HostileSideTest::Join(2));
                        ASSERT_EQ(h.relay->SeatOfConnection(c), 2);
                        ms(20);
                        h.Send(c, EncodeSeatWord(Word::kJoinCancel, 2));
                    }
                    Packet again = EncodeSeatWord(Word::kJoinCancel, 1);
                    const Packet join = HostileSideTest::Join(1);
                    again.insert(again.end(), join.begin(), join.end());
                    h.Send(kRemote[1], again);
                    h.unread[50] = HostileSideTest::Join(1);  // sent with its connection
                    h.relay->Connected(50, "10.9.0.50", 50);
                    ASSERT_EQ(h.relay->SeatOfConnection(50), -1);
                    ms(100);
                    for (ConnId c = 100; c < 132; ++c) h.Send(c, HostileSideTest::Join(1));
                    EXPECT_EQ(h.links.closed.count(50), 0u);
                    h.relay->Closed(kRemote[1]);
                    h.Later(1);
                    EXPECT_EQ(h.relay->SeatOfConnection(50), 1);
                    std::erase_if(h.links.closed, [](ConnId id) { return id >= 100; });
                    h.relay->Closed(50);
                },
                {kRemote[1], kRemote[2], 50}},
        // In the deployment, seat 1's player gives up his seat and asks again in his address's pause; a join
        // from seat 2's address (pausing too) waits for seat 2; then seat 1's asks again for seat 2. A
        // newcomer's join for seat 1, free all along, is taken at once, and seat 2 goes to the join that asked
        // for it first: the one asked again is refused.
        Hostile{"AJoinAskedAgainForAnotherSeatWaitsForThatSeat",
                [](HostileSideTest& h) {
                    h.Send(kOwn, HostileSideTest::Join(0));
                    h.Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
                    h.Send(kRemote[2], EncodeSeatWord(Word::kJoinCancel, 2));
                    h.relay->Closed(kRemote[2]);
                    Packet again = EncodeSeatWord(Word::kJoinCancel, 1);
                    const Packet join = HostileSideTest::Join(1);
                    again.insert(again.end(), join.begin(), join.end());
                    h.Send(kRemote[1], again);
                    h.relay->Connected(30, "10.0.0.2", 30);
                    h.Send(30, HostileSideTest::Join(2));
                    h.Send(kRemote[1], HostileSideTest::Join(2));
                    h.Got(kRemote[1]);
                    h.relay->Connected(31, "10.9.0.31", 31);
                    h.Send(31, HostileSideTest::Join(1));
                    EXPECT_EQ(h.relay->SeatOfConnection(31), 1);
                    h.Later(kRejoinPauseSeconds);
                    EXPECT_EQ(h.relay->SeatOfConnection(30), 2);
                    EXPECT_EQ(h.Got(kRemote[1]), HostileSideTest::W{"JoinRefuse"});
                    for (ConnId c : {kRemote[1], 30, 31}) h.relay->Closed(c);
                },
                {kRemote[1], kRemote[2], 30, 31}},
        // One way in, across rounds: a join waits five seconds for the next round; a later one arrives right
        // after the host's side opens it, before its tick. It goes behind: the first is seated, it is refused.
        Hostile{"AJoinThatWaitedForTheNextRoundIsNotOvertaken",
                [](HostileSideTest& h) {
                    h.EndBattle();
                    h.relay->Closed(kRemote[1]);
                    h.Later(kRejoinPauseSeconds);
                    for (ConnId c : {30, 31}) h.relay->Connected(c, "10.7.0." + std::to_string(c), c);
                    h.Send(30, HostileSideTest::Join(1));
                    h.Later(5);
                    h.NewRound(30, 30);
                    h.Send(31, HostileSideTest::Join(1));
                    h.Later(1);
                    EXPECT_EQ(h.relay->SeatOfConnection(30), 1);
                    EXPECT_EQ(h.Got(31), HostileSideTest::W{"JoinRefuse"});
                    h.relay->Closed(30);
                },
                {kRemote[1], 30}},
        // One way in, within a turn: a join brought seat 1 (the computer's when the turn began) its time in its
        // turn and left, so the next join for it waits for the turn's end; a later one arrives right after the
        // step that ends it, before the tick. It goes behind: the first is seated, it is refused.
        Hostile{"AJoinThatWaitedForTheTurnsEndIsNotOvertaken",
                [](HostileSideTest& h) {
                    h.StartBattle();
                    h.relay->Closed(kRemote[1]);
                    h.PassTurnsUntil(1);
                    for (ConnId c : {30, 31, 32}) h.relay->Connected(c, "10.7.0." + std::to_string(c), c);
                    h.Send(30, HostileSideTest::Join(1));
                    ASSERT_EQ(h.relay->SeatOfConnection(30), 1);
                    h.Send(30, EncodeSeatWord(Word::kJoinCancel, 1));
                    h.Send(31, HostileSideTest::Join(1));
                    h.Later(1);
                    ASSERT_EQ(h.relay->SeatOfConnection(31), -1);
                    const int steps = h.relay->Referee().stepCount;
                    h.Send(kOwn, EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    ASSERT_EQ(h.relay->Referee().stepCount, steps + 1);
                    h.Send(32, HostileSideTest::Join(1));
                    h.Later(1);
                    EXPECT_EQ(h.relay->SeatOfConnection(31), 1);
                    EXPECT_EQ(h.Got(32), HostileSideTest::W{"JoinRefuse"});
                    h.relay->Closed(31);
                },
                {kRemote[1], 31}},
        // A player takes seat 1 in its turn, with its time from his join, and moves. In seat 1's next turn
        // nobody has joined yet: his own time-out a second before the move time is refused, and when he leaves,
        // another takes the seat in that turn at once.
        Hostile{"AJoinsTimeIsOncePerTurn",
                [](HostileSideTest& h) {
                    h.StartBattle();
                    h.relay->Closed(kRemote[1]);
                    h.PassTurnsUntil(1);
                    h.relay->Connected(30, "10.0.0.30", 30);
                    h.Send(30, HostileSideTest::Join(1));
                    ASSERT_EQ(h.relay->SeatOfConnection(30), 1);
                    h.Send(30, EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    for (int n = 1; n < kSeats; ++n) {
                        const auto q = test::QuietMove(h.relay->Referee(), n);
                        h.Send(q->seat == 0 ? kOwn : kRemote[q->seat], EncodeMoveQz(*q));
                    }
                    ASSERT_EQ(h.relay->Referee().curSeat, 1);
                    const int steps = h.relay->Referee().stepCount;
                    h.Later(h.Times().move - 1);
                    MoveQzBody b{MoveCand{}, 1};
                    MakeTimeoutMove(b.move, 1);
                    h.Send(30, EncodeMoveQz(b));
                    EXPECT_EQ(h.relay->Referee().stepCount, steps);
                    h.Send(30, EncodeSeatWord(Word::kJoinCancel, 1));
                    h.relay->Connected(31, "10.0.0.31", 31);
                    h.Send(31, HostileSideTest::Join(1));
                    EXPECT_EQ(h.relay->SeatOfConnection(31), -1);
                    h.Send(kOwn, EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    h.Later(1);
                    EXPECT_EQ(h.relay->SeatOfConnection(31), 1);
                    h.relay->Closed(30);
                    h.relay->Closed(31);
                },
                {kRemote[1], 30, 31}},
        // A disconnect time shorter than the move time. Seat 1 says a line exactly the disconnect time before
        // its turn ends: it is not silent for longer than that, so its turn ends as its time-out. A player who
        // takes seat 1 five seconds into its turn has the whole move time from his join, as his side counts it:
        // his own time-out is taken once that is over, not when the turn's own time is.
        Hostile{"AHoldersOwnWordAndAJoinersTimeAtTheTurnsEnd",
                [](HostileSideTest& h) {
                    h.NewRound(30, 10);
                    h.StartBattle();
                    h.PassTurnsUntil(1);
                    const int end = 30 + kTurnGraceSeconds;
                    h.Later(end - 10);
                    h.Send(kRemote[1], EncodeChat({1, "thinking"}));
                    int steps = h.relay->Referee().stepCount;
                    h.Later(10);
                    ASSERT_EQ(h.relay->Referee().stepCount, steps + 1);
                    EXPECT_EQ(h.relay->Referee().stepRecords[steps].fromX, kTimeoutCoord);
                    EXPECT_EQ(h.relay->Seat(1).state, 1);
                    h.relay->Closed(kRemote[1]);
                    h.PassTurnsUntil(1);
                    h.Later(5);
                    h.relay->Connected(30, "10.0.0.30", 30);
                    h.Send(30, HostileSideTest::Join(1));
                    ASSERT_EQ(h.relay->SeatOfConnection(30), 1);
                    steps = h.relay->Referee().stepCount;
                    MoveQzBody b{MoveCand{}, 1};
                    MakeTimeoutMove(b.move, 2);
                    h.Later(30 - 1);
                    h.Send(30, EncodeMoveQz(b));
                    EXPECT_EQ(h.relay->Referee().stepCount, steps);
                    h.Later(1);
                    h.Send(30, EncodeMoveQz(b));
                    EXPECT_EQ(h.relay->Referee().stepCount, steps + 1);
                    // In his next turn nobody comes: it ends at the move time and the grace, silent or not.
                    h.PassTurnsUntil(1);
                    steps = h.relay->Referee().stepCount;
                    h.Later(end - 1);
                    EXPECT_EQ(h.relay->Referee().stepCount, steps);
                    h.Later(1);
                    EXPECT_EQ(h.relay->Referee().stepCount == steps + 1 || h.relay->Seat(1).state == 0, true);
                    h.relay->Closed(30);
                },
                {kRemote[1], 30}},
        // Five seconds before seat 1's move time runs out, a player takes it and sits there: the host ends the
        // turn once the move time from his join and the grace are over, not sooner and not later.
        Hostile{"AJoinerSittingOutHisTimeIsTimedOut",
                [](HostileSideTest& h) {
                    h.NewRound(30, 60);
                    h.StartBattle();
                    h.relay->Closed(kRemote[1]);
                    h.PassTurnsUntil(1);
                    h.Later(30 - 5);
                    h.relay->Connected(30, "10.0.0.30", 30);
                    h.Send(30, HostileSideTest::Join(1));
                    const int steps = h.relay->Referee().stepCount;
                    h.Later(30 + kTurnGraceSeconds - 1);
                    EXPECT_EQ(h.relay->Referee().stepCount, steps);
                    h.Later(1);
                    EXPECT_EQ(h.relay->Referee().stepCount, steps + 1);
                    h.relay->Closed(30);
                },
                {kRemote[1], 30}},
        // An attacker on seat 2 sits out three of its turns (the host ends them) and leaves; a frozen player on
        // another address takes the seat and says nothing: his own three pass, his fourth hands him over. The
        // attacker, back on a new connection of his address, has his three still: his next hands him over.
        // Every time-out relayed carries its player's count.
        Hostile{"TimeOutsAreThePlayersNotTheSeats",
                [](HostileSideTest& h) {
                    h.NewRound(30, 60);
                    h.StartBattle();
                    // Seat 2's next turn runs out; the count its time-out carried, 0 if it was handed over.
                    const auto sitOut = [&h]() {
                        h.PassTurnsUntil(2);
                        h.Later(30 + kTurnGraceSeconds);
                        std::optional<MoveQzBody> last;
                        for (const Packet& p : h.links.Sent(kRemote[1]))
                            if (auto b = DecodeMoveQz(p)) last = b;
                        h.Got(kRemote[1]);
                        return last && last->seat == 2 && last->move.fromX == kTimeoutCoord ? last->move.outcome : 0;
                    };
                    for (int n = 1; n <= kTimeoutsPassed; ++n) EXPECT_EQ(sitOut(), n);
                    h.relay->Closed(kRemote[2]);
                    const auto takeSeatTwo = [&h](ConnId id, const std::string& address) {
                        // The computer's turn, if it is seat 2's, is played.
                        if (h.relay->Referee().curSeat == 2)
                            h.Send(kOwn, EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                        h.Later(kRejoinPauseSeconds);
                        h.relay->Connected(id, address, id);
                        h.Send(id, HostileSideTest::Join(2));
                        ASSERT_EQ(h.relay->SeatOfConnection(id), 2);
                    };
                    takeSeatTwo(40, "10.0.0.40");
                    for (int n = 1; n <= kTimeoutsPassed; ++n) EXPECT_EQ(sitOut(), n);
                    EXPECT_EQ(sitOut(), 0);
                    EXPECT_EQ(h.relay->Seat(2).state, 0);
                    takeSeatTwo(41, "10.0.0.2");
                    EXPECT_EQ(sitOut(), 0);
                    EXPECT_EQ(h.relay->Seat(2).state, 0);
                },
                {kRemote[2], 40, 41}},
        // In seat 1's turn a player takes it, with its time, and leaves at once: the next who asks for it
        // in that turn waits, while the host's side moves for the computer, and takes it once the turn is over.
        Hostile{"ASecondJoinInOneTurnWaitsForTheNext",
                [](HostileSideTest& h) {
                    h.StartBattle();
                    h.relay->Closed(kRemote[1]);
                    h.PassTurnsUntil(1);
                    h.relay->Connected(30, "10.0.0.30", 30);
                    h.Send(30, HostileSideTest::Join(1));
                    ASSERT_EQ(h.relay->SeatOfConnection(30), 1);
                    h.Send(30, EncodeSeatWord(Word::kJoinCancel, 1));
                    h.relay->Connected(31, "10.0.0.31", 31);
                    h.Send(31, HostileSideTest::Join(1));
                    EXPECT_EQ(h.Got(31), HostileSideTest::W{});
                    h.Send(kOwn, EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    h.Later(1);
                    EXPECT_EQ(h.Got(31), HostileSideTest::W{"JoinLast"});
                    h.relay->Closed(31);
                },
                {kRemote[1], 31}},
        // Seat 3, not to move, sends two moves at once: the first is answered, the second owed. A step gives
        // every side its turn back, so the owed answer is dropped; owed again, it is dropped when a draw ends the
        // battle.
        Hostile{"AnOwedAnswerIsDroppedByAStepOrTheBattlesEnd",
                [](HostileSideTest& h) {
                    h.StartBattle();
                    h.PassTurnsUntil(1);
                    h.Got(kRemote[3]);
                    MoveQzBody b{MoveCand{}, 3};
                    MakeGiveUpMove(b.move, 3);
                    h.Burst(kRemote[3], EncodeMoveQz(b), 2);
                    EXPECT_EQ(h.Got(kRemote[3]), HostileSideTest::W{"JoinLast"});
                    h.Send(kRemote[1], EncodeMoveQz(*test::QuietMove(h.relay->Referee(), 0)));
                    h.Later(1);
                    EXPECT_EQ(h.Got(kRemote[3]), HostileSideTest::W{"MoveQz"});
                    h.Burst(kRemote[3], EncodeMoveQz(b), 2);
                    EXPECT_EQ(h.Got(kRemote[3]), HostileSideTest::W{"JoinLast"});
                    h.Send(kRemote[1], EncodeSeatWord(Word::kPeaceRequest, 1));
                    for (int s : {0, 2, 3}) h.Send(s == 0 ? kOwn : kRemote[s], EncodeSeatWord(Word::kPeaceOk, s));
                    ASSERT_EQ(h.relay->Referee().battleRunning, 0);
                    h.Later(1);
                    EXPECT_EQ(h.Got(kRemote[3]), (HostileSideTest::W{"PeaceRequest", "PeaceFinalOk"}));
                },
                {}},
        // A seat asks to join the next round once the battle has ended (its
        // "Join" waits), then fills its share of seat 3's queue. In the next
        // round its join waits like any packet of its: it is taken once seat
        // 3 has read.
        Hostile{"AHeldJoinWaitsForTheQueues",
                [](HostileSideTest& h) {
                    h.NewRound(30, 120);
                    h.EndBattle();
                    h.links.takeAtMostOf[kRemote[3]] = 0;
                    h.Send(kRemote[2], HostileSideTest::Join(2));
                    for (int t = 0; t < 60 && h.relay->Accepting(kRemote[2]); ++t) {
                        h.Burst(kRemote[2], EncodeChat({2, "x"}), kTalk);
                        h.Later(1);
                    }
                    EXPECT_FALSE(h.relay->Accepting(kRemote[2]));
                    h.Got(kRemote[2]), h.Got(kOwn);
                    h.Send(kOwn, HostileSideTest::Join(0));
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{"Join"});  // the host's seat in the new round
                    EXPECT_EQ(h.Got(kOwn), HostileSideTest::W{"JoinLast"});
                    h.Later(1);
                    EXPECT_EQ(h.Got(kRemote[2]), HostileSideTest::W{});
                    h.links.takeAtMostOf.clear();
                    h.relay->Writable(kRemote[3]);
                    h.Later(1);
                    HostileSideTest::W got = h.Got(kRemote[2]);
                    std::erase(got, "ChatMessage");
                    EXPECT_EQ(got, HostileSideTest::W{"JoinLast"});
                    EXPECT_EQ(h.relay->SeatOfConnection(kRemote[2]), 2);
                },
                {}}),
    [](const ::testing::TestParamInfo<Hostile>& i) { return std::string(i.param.name); });

// A phase clock on a referee of its own, in the deployment (move time 30 s, deploy time 40 s).
struct ClockRig {
    ClockRig() {
        g.ui = &ui;
        referee.NewRound();
        referee.DeploymentBegins();
    }
    GameState g;
    test::RecordingUi ui;
    HostReferee referee{g};
    const LanTimes times{30, 40, 60};
    PhaseClock clock{referee, times};
};

// The clock's answer to a join in the deployment (deploy time 40 s): whether it waits, and when the seat's time
// is over then (seconds from the deployment's start).
TEST(PhaseClock, AJoinBringsTheWholeTimeOrWaits) {
    const struct {
        const char* what;
        bool playersTime;     // the seat's player's time counted from the start
        int firstJoinAt;      // -1: none
        int secondJoinAt;     // -1: none
        bool secondWaits;
        int timeOverAt;
    } rows[] = {
        {"nobody joins", false, -1, -1, false, 40},
        {"a join into the computer's seat brings the whole time", false, 39, -1, false, 79},
        {"once: a second join waits", false, 10, 12, true, 50},
        {"none once the time is over", false, 40, -1, false, 40},
        {"none to a seat a player held at the start", true, 1, -1, false, 40},
        {"a holder whose join for the round comes later is a joiner", false, 5, -1, false, 45},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ClockRig rig;
        auto& [g, ui, referee, times, clock] = rig;
        clock.DeploymentBegins(0);
        // Seat 2 is held by a person in the last row, who has not joined this round yet.
        PhaseHolder holders[kSeats] = {{true, true}};
        holders[2] = {r.playersTime || r.timeOverAt == 45, r.playersTime};
        clock.NewPhase(holders);
        for (const int at : {r.firstJoinAt, r.secondJoinAt}) {
            if (at < 0) continue;
            const bool waits = clock.JoinWaits(2, at * 1000);
            EXPECT_EQ(waits, at == r.secondJoinAt ? r.secondWaits : r.playersTime || at >= 40) << at;
            if (!waits) clock.Joined(2, at * 1000);
        }
        EXPECT_EQ(clock.TimeOverMs(2), r.timeOverAt * 1000);
        EXPECT_EQ(clock.EndMs(2), (r.timeOverAt + kTurnGraceSeconds) * 1000);
        EXPECT_EQ(clock.TimeOverMs(1), 40 * 1000);
        EXPECT_EQ(clock.BoundMs(), (2 * 40 + kTurnGraceSeconds) * 1000) << "whoever joins";
        // A new phase: no join has brought time in it.
        clock.NewPhase(holders);
        EXPECT_EQ(clock.JoinWaits(2, 0), r.playersTime);
    }
}

// Whether the computer's seats wait for the queues (times in ms from a turn's start): only in the first
// second of the phase, for the host's own side whatever its queue's age, for a remote side only while its
// queue is less than a second old.
TEST(PhaseClock, TheComputerWaitsASecondOfThePhaseAtMost) {
    const struct {
        const char* what;
        int64_t now;
        bool ownUntaken;
        std::optional<int64_t> remoteSince;
        bool waits;
    } rows[] = {
        {"nothing untaken", 0, false, std::nullopt, false},
        {"the host's own side has packets to take", 999, true, std::nullopt, true},
        {"the host's own queue holds nothing past the phase's first second", 1000, true, std::nullopt, false},
        {"a remote side's queue less than a second old", 500, false, -499, true},
        {"a remote side's queue a second old holds nothing", 500, false, -500, false},
        {"a remote side's fresh queue holds nothing past the first second", 1500, false, 1400, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ClockRig rig;
        auto& [g, ui, referee, times, clock] = rig;
        referee.BattleBegins({0, 1, times.move, times.deploy, times.disconnect});
        const int64_t start = StampMs(referee.Game().turnStarted);
        std::optional<int64_t> since;
        if (r.remoteSince) since = start + *r.remoteSince;
        EXPECT_EQ(clock.ComputerWaits(start + r.now, r.ownUntaken, since), r.waits);
    }
}

// A connection's life around its seat, with the socket events in the order
// the socket layer may report them: here the host's own connection is
// accepted before its side knows its own end. Each row ends with the seat
// states it leaves, and a chat line from the host then reaches exactly the
// connections that hold a seat.
class SeatLifecycleTest;
struct Lifecycle {
    const char* name;
    std::function<void(SeatLifecycleTest&)> act;
    std::array<int, kSeats> states;
};

void PrintTo(const Lifecycle& l, std::ostream* os) { *os << l.name; }

class SeatLifecycleTest : public RelayTest, public ::testing::WithParamInterface<Lifecycle> {
public:
    using RelayTest::g, RelayTest::ui, RelayTest::links, RelayTest::relay, RelayTest::Send, RelayTest::Got,
        RelayTest::SeatAll, RelayTest::Later, RelayTest::StartBattle, RelayTest::Army, RelayTest::Repeated,
        RelayTest::Times;
    using W = RelayTest::W;
    void SetUp() override {
        g->ui = &ui;
        g->isNetHost = g->netConnected = 1;
        g->optionsRecord.netDisconnectTimeOption = 30;
        relay = std::make_unique<HostRelay>(*g, links);
        relay->Connected(kOwn, "127.0.0.1", 100);
        for (int s = 1; s < 4; ++s) relay->Connected(kRemote[s], "10.0.0." + std::to_string(s), 200 + s);
        relay->SetOwnConnection(kOwn);
    }
    static Packet Join(int seat, const char* name) { return EncodeJoin(Rec(seat, name)); }
    // The seats named by the "JoinCancel" packets a connection was sent since the last look.
    std::vector<int> CancelsTo(ConnId id) {
        std::vector<int> seats;
        for (const Packet& p : links.Sent(id))
            if (auto s = DecodeSeatWord(p, Word::kJoinCancel)) seats.push_back(*s);
        links.written.erase(id);
        return seats;
    }
    void StartRound() {
        Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
        for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) Got(id);
    }
};

TEST_P(SeatLifecycleTest, SeatsEndHeldOrFreeAsTheirSidesLeftThem) {
    GetParam().act(*this);
    EXPECT_FALSE(links.closed.count(kOwn));
    std::array<int, kSeats> states{};
    for (int s = 0; s < kSeats; ++s) states[s] = relay->Seat(s).state;
    EXPECT_EQ(states, GetParam().states);
    links.takeAtMost = SIZE_MAX;
    links.takeAtMostOf.clear();
    const std::vector<ConnId> all{kOwn, kRemote[1], kRemote[2], kRemote[3], 21, 22, 23};
    for (ConnId id : all) relay->Writable(id), Got(id);
    Send(kOwn, EncodeChat({0, "on"}));
    for (ConnId id : all)
        EXPECT_EQ(Got(id), id == kOwn || relay->SeatOfConnection(id) >= 0 ? W{"ChatMessage"} : W{}) << id;
}

INSTANTIATE_TEST_SUITE_P(
    Relay, SeatLifecycleTest,
    ::testing::Values(
        // One client holds seats 1 and 2 and closes both before the start;
        // seat 2's connection goes as the host closes it for not reading.
        Lifecycle{"ClosedInTheWaitingRoomTheSeatIsFreeAtOnce",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.relay->Closed(kRemote[1]);
                      h.links.takeAtMostOf[kRemote[2]] = 0;
                      h.Send(kRemote[3], EncodeChat({3, "hi"}));
                      h.Later(31);
                      EXPECT_EQ(h.CancelsTo(kOwn), (std::vector<int>{1, 2}));
                      EXPECT_EQ(h.CancelsTo(kRemote[3]), (std::vector<int>{1, 2}));
                      h.relay->Connected(21, "10.0.0.7", 700);
                      h.Send(21, SeatLifecycleTest::Join(1, "honest"));
                      // Nothing of seat 2's last holder is passed on.
                      const auto sent = h.links.Sent(21);
                      ASSERT_EQ(sent.size(), 1u);
                      const std::optional<JoinLastBody> last = DecodeJoinLast(sent[0]);
                      ASSERT_TRUE(last.has_value());
                      EXPECT_EQ(BoundedText(last->seats[2].address, sizeof last->seats[2].address), "");
                      EXPECT_EQ(last->seats[2].port, 0);
                      EXPECT_EQ(h.Got(21), SeatLifecycleTest::W{"JoinLast"});
                  },
                  {1, 1, 0, 1}},
        // In the deployment and in the battle alike, a seat whose connection
        // closes is the computer's at once, and its player may take it again
        // on a new connection: in the deployment he held the seat when it
        // began, so once the deployment is over.
        Lifecycle{"ClosedInAnyPhaseTheSeatIsTheComputersAtOnce",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.StartRound();
                      h.relay->Closed(kRemote[3]);
                      EXPECT_EQ(h.CancelsTo(kOwn), std::vector<int>{3});
                      EXPECT_EQ(h.relay->SeatOfConnection(kRemote[3]), -1);
                      h.relay->Connected(23, "10.0.0.3", 997);
                      h.Send(23, SeatLifecycleTest::Join(3, "p"));
                      h.Later(kRejoinPauseSeconds);
                      EXPECT_EQ(h.Got(23), SeatLifecycleTest::W{});
                      for (int s = 0; s < 4; ++s) h.Send(s == 0 || s == 3 ? kOwn : kRemote[s], SeatLifecycleTest::Army(s));
                      ASSERT_EQ(h.relay->Referee().battleRunning, 1);
                      h.Later(1);
                      EXPECT_EQ(h.Got(23), SeatLifecycleTest::W{"JoinLast"});
                      h.Got(kOwn);
                      h.relay->Closed(kRemote[2]);
                      EXPECT_EQ(h.CancelsTo(kOwn), std::vector<int>{2});
                  },
                  {1, 1, 0, 1}},
        // The old connection still looks open (half-open after a network
        // drop, or somebody else on the same address with the same name): the
        // seat is not taken from it. Once it has gone, the player joins again
        // (when the deployment he held the seat in is over).
        Lifecycle{"NobodyTakesASeatFromALiveConnection",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.StartRound();
                      h.relay->Connected(21, "10.0.0.2", 999);
                      h.relay->Connected(22, "10.0.0.9", 997);
                      h.Send(22, SeatLifecycleTest::Join(2, "p"));
                      h.Send(21, SeatLifecycleTest::Join(2, "p"));
                      EXPECT_EQ(h.Got(22), SeatLifecycleTest::W{"JoinRefuse"});
                      EXPECT_EQ(h.Got(21), SeatLifecycleTest::W{"JoinRefuse"});
                      EXPECT_EQ(h.Got(kOwn), SeatLifecycleTest::W{});
                      EXPECT_FALSE(h.links.closed.count(kRemote[2]));
                      EXPECT_EQ(h.relay->Seat(2).port, 202);
                      h.relay->Closed(kRemote[2]);
                      h.Send(21, SeatLifecycleTest::Join(2, "p"));
                      h.Later(kRejoinPauseSeconds);
                      EXPECT_EQ(h.Got(21), SeatLifecycleTest::W{});
                      for (int s = 0; s < 4; ++s) h.Send(s == 0 || s == 2 ? kOwn : kRemote[s], SeatLifecycleTest::Army(s));
                      h.Later(1);
                      EXPECT_EQ(h.Got(21), SeatLifecycleTest::W{"JoinLast"});
                      const SeatLifecycleTest::W own = h.Got(kOwn);
                      EXPECT_EQ(own.front(), "JoinCancel");
                      EXPECT_EQ(own.back(), "Join");
                      EXPECT_EQ(h.relay->Seat(2).port, 999);
                  },
                  {1, 1, 1, 1}},
        // Seat 1 sends a burst of chat lines, its "JoinCancel" and closes,
        // all in one read: the burst is relayed whole, and its "JoinCancel"
        // is taken in its turn.
        Lifecycle{"AClosingSendersLastWordIsRelayed",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.StartRound();
                      Packet all = SeatLifecycleTest::Repeated(EncodeChat({1, "x"}), 5);
                      const Packet cancel = EncodeSeatWord(Word::kJoinCancel, 1);
                      all.insert(all.end(), cancel.begin(), cancel.end());
                      h.Send(kRemote[1], all);
                      EXPECT_EQ(h.relay->Seat(1).state, 0);
                      h.relay->Closed(kRemote[1]);
                      SeatLifecycleTest::W said(5, "ChatMessage");
                      said.push_back("JoinCancel");
                      EXPECT_EQ(h.Got(kOwn), said);
                      EXPECT_TRUE(h.links.closed.count(kRemote[1]));
                  },
                  {1, 0, 1, 1}},
        // Accepted before its end was known, with three more connections
        // without a seat: a fifth connection, and the time without a seat,
        // close the others, never the host's own.
        Lifecycle{"TheHostsOwnConnectionIsNeverOneWithoutASeat",
                  [](SeatLifecycleTest& h) {
                      // Nothing is closed for want of a seat before the own end is known.
                      auto early = std::make_unique<HostRelay>(*h.g, h.links);
                      early->Connected(kOwn, "127.0.0.1", 100);
                      h.ui.clock.seconds += kSeatlessSeconds + 1;
                      early->Tick();
                      EXPECT_TRUE(h.links.closed.empty());
                      h.relay->Connected(30, "10.0.0.9", 1);
                      EXPECT_TRUE(h.links.closed.empty());
                      h.Later(kSeatlessSeconds + 1);
                      EXPECT_EQ(h.links.closed, (std::set<ConnId>{kRemote[1], kRemote[2], kRemote[3], 30}));
                      h.Send(kOwn, SeatLifecycleTest::Join(0, "host"));
                      EXPECT_EQ(h.Got(kOwn), SeatLifecycleTest::W{"JoinLast"});
                  },
                  {1, 0, 0, 0}},
        // Seats 1 and 3 have not deployed in time: the host gives them to the computer. What stops their
        // players is bound to them: seat 1's address takes seat 1 no more in this round, after the pause too,
        // but it takes another seat, as another address takes seat 1; those joins, after the deploy time, wait
        // for the battle. In the next round seat 1 is anybody's again.
        Lifecycle{"AHandedOverPlayerTakesHisSeatNoMoreInTheRound",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.StartRound();
                      h.Send(kRemote[2], SeatLifecycleTest::Army(2));
                      h.Later(h.Times().deploy + kTurnGraceSeconds - 1);
                      EXPECT_TRUE(h.links.closed.empty());
                      h.Later(1);
                      EXPECT_EQ(h.links.closed, (std::set<ConnId>{kRemote[1], kRemote[3]}));
                      h.relay->Connected(21, "10.0.0.1", 701);
                      for (int pause : {0, kRejoinPauseSeconds}) {
                          h.Later(pause);
                          h.Send(21, SeatLifecycleTest::Join(1, "p"));
                          EXPECT_EQ(h.Got(21), SeatLifecycleTest::W{"JoinRefuse"});
                      }
                      h.Send(21, SeatLifecycleTest::Join(3, "p"));
                      h.relay->Connected(22, "10.0.0.9", 702);
                      h.Send(22, SeatLifecycleTest::Join(1, "q"));
                      EXPECT_EQ(h.Got(21), SeatLifecycleTest::W{});
                      EXPECT_EQ(h.Got(22), SeatLifecycleTest::W{});
                      // The host's side deploys the computer's seats: the battle starts, and the two join it.
                      for (int s : {0, 1, 3}) h.Send(kOwn, SeatLifecycleTest::Army(s));
                      ASSERT_EQ(h.relay->Referee().battleRunning, 1);
                      h.Later(1);
                      EXPECT_EQ(h.Got(21), (SeatLifecycleTest::W{"JoinLast", "Join"}));  // and 22 after it
                      EXPECT_EQ(h.Got(22), SeatLifecycleTest::W{"JoinLast"});
                      h.Send(kOwn, SeatLifecycleTest::Join(0, "host"));
                      h.Send(22, EncodeSeatWord(Word::kJoinCancel, 1));
                      h.relay->Connected(23, "10.0.0.1", 703);
                      h.Send(23, SeatLifecycleTest::Join(1, "p"));
                      EXPECT_EQ(h.Got(23), SeatLifecycleTest::W{"JoinLast"});
                  },
                  {1, 1, 1, 1}},
        // Two copies of the game on one computer (one address) hold seats 1 and 2. Seat 1's player sits out
        // his turn and is handed over; seat 2's connection drops. From that address seat 1 is refused for the
        // rest of the round, but seat 2's player takes his seat again after the pause.
        Lifecycle{"AHandOverLocksThatPlayersSeatOnly",
                  [](SeatLifecycleTest& h) {
                      h.Send(kOwn, SeatLifecycleTest::Join(0, "host"));
                      for (ConnId id : {21, 22}) h.relay->Connected(id, "10.0.0.5", 700 + id);
                      h.Send(21, SeatLifecycleTest::Join(1, "a"));
                      h.Send(22, SeatLifecycleTest::Join(2, "b"));
                      h.Send(kRemote[3], SeatLifecycleTest::Join(3, "c"));
                      const ConnId conn[kSeats] = {kOwn, 21, 22, kRemote[3]};
                      h.StartRound();
                      for (int s = 0; s < kSeats; ++s) h.Send(conn[s], SeatLifecycleTest::Army(s));
                      for (int n = 0; n < kSeats && h.relay->Referee().curSeat != 1; ++n) {
                          const auto q = test::QuietMove(h.relay->Referee(), n);
                          h.Send(conn[q->seat], EncodeMoveQz(*q));
                      }
                      ASSERT_EQ(h.relay->Referee().curSeat, 1);
                      h.Later(h.Times().move + kTurnGraceSeconds);
                      ASSERT_EQ(h.relay->Seat(1).state, 0);
                      h.relay->Closed(22);
                      h.relay->Connected(23, "10.0.0.5", 723);
                      h.Send(23, SeatLifecycleTest::Join(1, "a"));
                      EXPECT_EQ(h.Got(23), SeatLifecycleTest::W{"JoinRefuse"});
                      h.Send(23, SeatLifecycleTest::Join(2, "b"));
                      h.Later(kRejoinPauseSeconds);
                      EXPECT_EQ(h.Got(23), SeatLifecycleTest::W{"JoinLast"});
                  },
                  {1, 0, 1, 1}},
        // Three players behind one router (one address) ask for seats 1, 2 and 3 in its pause after somebody
        // there left: the address has a join waiting for each seat, and all three are seated once the pause is
        // over. A fourth join from there, the newest, gives way: the host closes its connection (no seat is
        // taken, so it is not refused), and no earlier join loses its place to it.
        Lifecycle{"ThreePlayersOnOneAddressAllTakeTheirSeatsAfterItsPause",
                  [](SeatLifecycleTest& h) {
                      h.Send(kOwn, SeatLifecycleTest::Join(0, "host"));
                      h.relay->Connected(20, "10.0.0.5", 720);
                      h.Send(20, SeatLifecycleTest::Join(1, "gone"));
                      h.relay->Closed(20);
                      for (ConnId id : {21, 22, 23, 24}) {
                          h.relay->Connected(id, "10.0.0.5", 700 + id);
                          h.Send(id, SeatLifecycleTest::Join(id == 24 ? 1 : id - 20, "p"));
                      }
                      EXPECT_TRUE(h.links.closed.count(24));
                      EXPECT_EQ(h.Got(24), SeatLifecycleTest::W{});
                      h.Later(kRejoinPauseSeconds - 1);
                      EXPECT_EQ(h.relay->Seat(1).state, 0);
                      h.Later(1);
                      for (ConnId id : {21, 22, 23}) EXPECT_EQ(h.relay->SeatOfConnection(id), id - 20);
                  },
                  {1, 1, 1, 1}},
        // Seat 2's player lost his connection: his new one asks for the seat and waits out his address's pause,
        // while six idle connections open. He is never taken for an idle one: the two idle longest go.
        Lifecycle{"AJoinThatWaitsIsNotTakenForAnIdleConnection",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.relay->Closed(kRemote[2]);
                      h.relay->Connected(22, "10.0.0.2", 902);
                      h.Send(22, SeatLifecycleTest::Join(2, "p"));
                      for (ConnId id = 30; id < 36; ++id) {
                          h.relay->Connected(id, "10.0.0.9", id);
                          if (id % 2) h.Later(1);
                      }
                      EXPECT_EQ(h.links.closed, (std::set<ConnId>{kRemote[2], 30, 31}));
                      EXPECT_EQ(h.Got(22), SeatLifecycleTest::W{"JoinLast"});
                  },
                  {1, 1, 1, 1}},
        // Four idle connections of one address, the first of which has sent all of a join but its last byte: that
        // is no word, so when a fifth comes it is still the one silent longest, and gives way.
        Lifecycle{"APartOfAPacketIsNoWord",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      for (ConnId id = 30; id < 30 + kMaxIdlePerAddress; ++id) h.relay->Connected(id, "10.0.0.9", id);
                      const Packet join = SeatLifecycleTest::Join(3, "p");
                      h.relay->Received(30, join.data(), join.size() - 1);
                      h.relay->Connected(40, "10.0.0.9", 40);
                      EXPECT_EQ(h.links.closed, (std::set<ConnId>{30}));
                  },
                  {1, 1, 1, 1}},
        // Seat 2's side sends one packet the host cannot read: it is closed, and its seat is free, not locked.
        // Its player's new connection takes it once its address's pause is over; its join waits meanwhile.
        Lifecycle{"AReconnectAfterABadPacketTakesTheSeatAfterThePause",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      Packet junk = EncodeBare(Word::kJoinRefuse);
                      junk[0] = '?';
                      h.Send(kRemote[2], junk);
                      EXPECT_TRUE(h.links.closed.count(kRemote[2]));
                      h.relay->Connected(22, "10.0.0.2", 900);
                      h.Send(22, SeatLifecycleTest::Join(2, "p"));
                      h.Later(kRejoinPauseSeconds - 1);
                      EXPECT_EQ(h.Got(22), SeatLifecycleTest::W{});
                      h.Later(1);
                      EXPECT_EQ(h.Got(22), SeatLifecycleTest::W{"JoinLast"});
                  },
                  {1, 1, 1, 1}},
        // Seat 3 is free when the deployment starts. A player who joins it five seconds before the deploy time
        // runs out has the whole deploy time from his join (and the grace), and the battle starts with his
        // deployment.
        Lifecycle{"ALateJoinerHasTheDeployTimeFromHisJoin",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
                      h.StartRound();
                      for (int s : {1, 2}) h.Send(kRemote[s], SeatLifecycleTest::Army(s));
                      const LanTimes times = h.Times();
                      h.Later(times.deploy - 5);
                      h.relay->Connected(23, "10.0.0.7", 703);
                      h.Send(23, SeatLifecycleTest::Join(3, "late"));
                      h.Later(times.deploy + kTurnGraceSeconds - 1);
                      EXPECT_EQ(h.relay->SeatOfConnection(23), 3);
                      h.Send(23, SeatLifecycleTest::Army(3));
                      h.Send(kOwn, SeatLifecycleTest::Army(0));
                      EXPECT_EQ(h.Got(23), (SeatLifecycleTest::W{"JoinLast", "SwitchEnd", "SwitchEnd", "AllSwitchEnd"}));
                  },
                  {1, 1, 1, 1}},
        // Seat 3 is free in the deployment. A player takes it while the host's own connection waits out its gap
        // after a chat line, the host's side sends the computer's formation for it, and the player leaves before
        // the gap is over: the formation is not taken, and the host's side is told that the seat is the
        // computer's, not deployed. Its formation sent again starts the battle.
        Lifecycle{"TheHostsFormationForASeatTakenAndLeftInItsGapIsAnswered",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
                      h.StartRound();
                      for (int s : {0, 1, 2}) h.Send(s == 0 ? kOwn : kRemote[s], SeatLifecycleTest::Army(s));
                      h.Got(kOwn);
                      h.links.gapped = true;
                      h.Send(kRemote[1], EncodeChat({1, "now"}));
                      h.relay->Connected(23, "10.0.0.7", 703);
                      h.Send(23, SeatLifecycleTest::Join(3, "p"));
                      h.Send(kOwn, SeatLifecycleTest::Army(3));
                      h.Send(23, EncodeSeatWord(Word::kJoinCancel, 3));
                      h.links.gapped = false;
                      h.links.Gap([&h](ConnId id) { h.relay->Writable(id); });
                      EXPECT_EQ(h.Got(kOwn), (SeatLifecycleTest::W{"ChatMessage", "JoinCancel"}));
                      h.Send(kOwn, SeatLifecycleTest::Army(3));
                      EXPECT_EQ(h.Got(kOwn), (SeatLifecycleTest::W{"SwitchEnd", "AllSwitchEnd"}));
                  },
                  {1, 1, 1, 0}},
        // Seat 3 is free and the host's own player takes longer than the deploy time over his: a player who
        // asks for seat 3 then would bring time the deployment no longer has. His join waits, the computer's
        // formation stands for the seat, and he takes it in the battle.
        Lifecycle{"AJoinerAfterTheDeployTimeJoinsTheBattle",
                  [](SeatLifecycleTest& h) {
                      h.SeatAll();
                      h.Send(kRemote[3], EncodeSeatWord(Word::kJoinCancel, 3));
                      h.StartRound();
                      for (int s : {1, 2}) h.Send(kRemote[s], SeatLifecycleTest::Army(s));
                      h.Later(h.Times().deploy);
                      h.relay->Connected(23, "10.0.0.7", 703);
                      h.Send(23, SeatLifecycleTest::Join(3, "late"));
                      h.Later(5);
                      EXPECT_EQ(h.Got(23), SeatLifecycleTest::W{});
                      for (int s : {3, 0}) h.Send(kOwn, SeatLifecycleTest::Army(s));
                      ASSERT_EQ(h.relay->Referee().battleRunning, 1);
                      h.Later(1);
                      EXPECT_EQ(h.relay->SeatOfConnection(23), 3);
                      const auto got = h.links.Sent(23);
                      ASSERT_EQ(got.size(), 1u);
                      EXPECT_EQ(DecodeJoinLast(got[0])->netState, kNetBattle);
                  },
                  {1, 1, 1, 1}}),
    [](const ::testing::TestParamInfo<Lifecycle>& i) { return std::string(i.param.name); });

// A side that has left ("JoinCancel") speaks no more for the seat it held, and the seat is free for another.
TEST_F(RelayTest, ASideThatLeftSpeaksNoMoreForItsSeat) {
    SeatAll();
    Send(kRemote[1], EncodeSeatWord(Word::kJoinCancel, 1));
    EXPECT_EQ(Got(kOwn), W{"JoinCancel"});
    Send(kRemote[1], EncodeChat({1, "still here"}));
    Send(kRemote[1], EncodeSeatWord(Word::kPeaceRequest, 1));
    EXPECT_EQ(Got(kOwn), W{});
    EXPECT_EQ(relay->SeatOfConnection(kRemote[1]), -1);
    relay->Connected(21, "10.0.0.7", 401);
    Send(21, EncodeJoin(Rec(1, "q")));
    EXPECT_EQ(Got(21), W{"JoinLast"});
}

// A draw offered during the deployment is not decided by answers once the battle runs.
TEST_F(RelayTest, AnOfferFromTheDeploymentIsNotDecidedInTheBattle) {
    SeatAll();
    Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
    Send(kRemote[1], EncodeSeatWord(Word::kPeaceRequest, 1));
    for (int s = 0; s < 4; ++s) Send(s == 0 ? kOwn : kRemote[s], Army(s));
    Got(kOwn);
    for (int s : {0, 2, 3}) Send(s == 0 ? kOwn : kRemote[s], EncodeSeatWord(Word::kPeaceOk, s));
    EXPECT_EQ(Got(kOwn), W{});
}

// Seat 1 has deployed when it is taken again: by its player on a new connection, or by another player after
// a "JoinCancel". What was laid out for it is not what its new side lays out: the battle waits for the seat's
// new deployment.
TEST_F(RelayTest, ASeatTakenDuringTheDeploymentDeploysAgain) {
    SeatAll();
    ConnId seatOne = kRemote[1];
    for (const bool samePlayer : {true, false}) {
        SCOPED_TRACE(samePlayer ? "the same player" : "another player");
        Send(kOwn, EncodeJoin(Rec(0, "host")));
        Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
        Send(seatOne, Army(1));
        const ConnId next = seatOne + 100;
        if (samePlayer) {
            relay->Closed(seatOne);
            relay->Connected(next, "10.0.0.1", 400);
            Send(next, EncodeJoin(Rec(1, "p")));
            Later(kRejoinPauseSeconds);
        } else {
            Send(seatOne, EncodeSeatWord(Word::kJoinCancel, 1));
            relay->Connected(next, "10.0.0.7", 401);
            Send(next, EncodeJoin(Rec(1, "q")));
        }
        ASSERT_EQ(relay->SeatOfConnection(next), 1);
        seatOne = next;
        Got(kOwn);
        for (int s : {0, 2, 3}) Send(s == 0 ? kOwn : kRemote[s], Army(s));
        EXPECT_EQ(Got(kOwn), (W{"SwitchEnd", "SwitchEnd", "SwitchEnd"}));
        Send(seatOne, Army(1));
        EXPECT_EQ(Got(kOwn), (W{"SwitchEnd", "AllSwitchEnd"}));
    }
}

// A sender that waits goes on where it stopped once the queues have room.
// A host whose clock reads past the 32-bit second keeps every time-out: the seat that does not deploy goes
// to the computer at its time, not before and not never.
TEST_F(RelayTest, TimeOutsHoldPastTheThirtyTwoBitSecond) {
    ui.clock.seconds = int64_t{INT32_MAX} - 3;
    SeatAll();
    Send(kOwn, EncodeJoin(Rec(0, "host")));
    Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
    for (int s : {0, 2, 3}) Send(s == 0 ? kOwn : kRemote[s], Army(s));
    Later(Times().deploy - 2);
    EXPECT_EQ(relay->Seat(1).state, 1);
    Later(Times().disconnect + 4);
    EXPECT_EQ(relay->Seat(1).state, 0);
    EXPECT_GT(ui.clock.seconds, int64_t{INT32_MAX});
}

// The host's own side, behind on what it was sent (a churn of seats between chat lines can keep its queue
// growing at its wire's pace), moves for no seat of the computer's: each such turn still ends, at the bound of
// every turn, as a time-out that counts for nobody, however many; the seats stay the computer's.
TEST_F(RelayTest, TheComputersTurnEndsAtTheBoundOfEveryTurn) {
    StartBattle();
    const int bound = 2 * Times().move + kTurnGraceSeconds;
    const GameState& c = relay->Referee();
    for (int computerTurns = 0, turn = 0; computerTurns <= kTimeoutsPassed + 1; ++turn) {
        ASSERT_LT(turn, 4 * (kTimeoutsPassed + 2));
        const int seat = c.curSeat, steps = c.stepCount;
        if (seat == 0) {
            Send(kOwn, EncodeMoveQz(*test::QuietMove(c, 0)));
            ASSERT_EQ(c.stepCount, steps + 1);
            continue;
        }
        Later(bound - 1);
        ASSERT_EQ(c.stepCount, steps) << "turn " << turn;
        Later(1);
        ASSERT_EQ(c.stepCount, steps + 1) << "turn " << turn;
        EXPECT_EQ(c.stepRecords[steps].fromX, kTimeoutCoord);
        std::optional<MoveQzBody> last;
        for (const Packet& p : links.Sent(kOwn))
            if (auto b = DecodeMoveQz(p)) last = b;
        ASSERT_TRUE(last);
        EXPECT_EQ(last->move.outcome, 1);
        EXPECT_EQ(relay->Seat(seat).state, 0);
        Got(kOwn);
        ++computerTurns;
    }
}

// Seat 1's chat lines "0", "1", ... in one stream: each Say() hands over kTalk of them (what the relay does not
// take stays for the next), then the second passes.
struct SeatOneTalks {
    SeatOneTalks(RelayTest& t, int lines) : t(t) {
        for (int i = 0; i < lines; ++i) {
            const Packet p = EncodeChat({1, std::to_string(i)});
            rest.insert(rest.end(), p.begin(), p.end());
        }
        line = rest.size() / static_cast<size_t>(lines);
    }
    void Say() {
        Packet now(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(std::min(rest.size(), kTalk * line)));
        rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(now.size()));
        t.Feed(kRemote[1], now, 0);
        rest.insert(rest.begin(), now.begin(), now.end());
        t.Later(1);
    }
    RelayTest& t;
    Packet rest;
    size_t line = 0;
};

TEST_F(RelayTest, AWaitingSenderGoesOnInOrder) {
    g->optionsRecord.netDisconnectTimeOption = 120;
    SeatAll();
    links.takeAtMost = 0;
    SeatOneTalks talk(*this, 200);
    // Nobody reads: once its share of the queues is full, seat 1 waits.
    for (int t = 0; t < 60 && relay->Accepting(kRemote[1]); ++t) talk.Say();
    EXPECT_FALSE(relay->Accepting(kRemote[1]));
    EXPECT_TRUE(relay->Accepting(kRemote[2]));
    Later(static_cast<int>(kHoldBackMs / 1000) - 1);
    EXPECT_TRUE(links.closed.empty());
    links.takeAtMost = SIZE_MAX;
    for (ConnId id : {kOwn, kRemote[1], kRemote[2]}) relay->Writable(id);
    EXPECT_FALSE(relay->Accepting(kRemote[1]));  // seat 3's queue is still full of them
    relay->Writable(kRemote[3]);
    EXPECT_TRUE(relay->Accepting(kRemote[1]));
    EXPECT_GT(links.resumed[kRemote[1]], 0);  // the socket layer is told to read it again
    Later(1);
    for (int t = 0; t < 200 && !talk.rest.empty(); ++t) talk.Say();
    for (ConnId id : {kOwn, kRemote[1], kRemote[2], kRemote[3]}) {
        const auto got = links.Sent(id);
        ASSERT_EQ(got.size(), 200u) << id;
        for (int i = 0; i < 200; ++i) EXPECT_EQ(DecodeChat(got[static_cast<size_t>(i)])->text, std::to_string(i));
    }
    EXPECT_TRUE(links.closed.empty());
}

// Fresh connections from fresh addresses take seats 2 and 3 in turn, each with its "Join" and a full list of
// chat lines in one write, and close 100-150 ms later, the next one a pacing gap after; ids grow with every one.
// Meanwhile seat 1 and the host's own player each say a line a second, and every side takes a packet a pacing
// gap: every honest line reaches the other honest side, in order, within two seconds.
TEST_F(RelayTest, AChurnOfChattingNewcomersDelaysNoHonestLine) {
    g->optionsRecord.netDisconnectTimeOption = 120;
    Send(kOwn, EncodeJoin(Rec(0, "host")));
    Send(kRemote[1], EncodeJoin(Rec(1, "p")));
    links.gapped = true;
    struct Churner {
        ConnId id = -1;
        int leaveMs = 0, nextMs = 0;
    };
    Churner churn[2];
    ConnId fresh = 100;
    // Sent at, delivered at: the lines of seat 1 (to the host's player) and of seat 0 (to seat 1).
    std::vector<int> sent[2], got[2];
    const ConnId hearer[2] = {kRemote[1], kOwn};
    constexpr int kSeconds = 40;
    for (int ms = 0; ms < (kSeconds + 3) * 1000; ms += 50) {
        for (int k = 0; k < 2; ++k) {
            Churner& c = churn[k];
            if (c.id >= 0 && ms >= c.leaveMs) relay->Closed(c.id), c.id = -1, c.nextMs = ms;
            if (c.id >= 0 || ms < c.nextMs || ms >= kSeconds * 1000) continue;
            c.id = fresh++;
            c.leaveMs = ms + (c.id % 2 == 0 ? 100 : 150);
            relay->Connected(c.id, "10.9." + std::to_string(c.id / 250) + "." + std::to_string(c.id % 250), 7000);
            Packet p = EncodeJoin(Rec(2 + k, "churn"));
            for (size_t i = 0; i < kChatWaitingLines; ++i) {
                const Packet line = EncodeChat({2 + k, "churn"});
                p.insert(p.end(), line.begin(), line.end());
            }
            Send(c.id, p);
        }
        if (ms < kSeconds * 1000 && ms % 1000 == 0) {
            Send(kRemote[1], EncodeChat({1, std::to_string(sent[0].size())})), sent[0].push_back(ms);
            Send(kOwn, EncodeChat({0, std::to_string(sent[1].size())})), sent[1].push_back(ms);
        }
        Pace();
        for (int k = 0; k < 2; ++k) {
            const auto lines = Lines(hearer[k], 1 - k);
            while (got[k].size() < lines.size()) got[k].push_back(ms + 50);
        }
    }
    EXPECT_GT(fresh, 300);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "seat 1's lines" : "the host's player's lines");
        W order;
        for (size_t i = 0; i < sent[k].size(); ++i) order.push_back(std::to_string(i));
        EXPECT_EQ(Lines(hearer[k], 1 - k), order);
        ASSERT_EQ(got[k].size(), sent[k].size());
        int worst = 0;
        for (size_t i = 0; i < sent[k].size(); ++i) worst = std::max(worst, got[k][i] - sent[k][i]);
        EXPECT_LE(worst, 2000);
    }
    for (ConnId id : {kOwn, kRemote[1]}) EXPECT_FALSE(links.closed.count(id)) << id;
}

// Every word the relay may send to every seat, each as fast as the relay lets it go on (seats 1 and 2 flood what
// brings it about every pacing gap; seats 0 and 3 move once they have heard every step, and turn down every draw
// offer), against sides that each take one packet per pacing gap: neither honest side is ever held back or
// closed. A word the relay learns to send needs a row here.
TEST_F(RelayTest, EveryWordGoesOnBelowTheWiresPace) {
    struct Row {
        Word word;
        bool deploying;  // in the deployment (otherwise in the battle)
        std::function<void()> flood;
    };
    const auto both = [this](Packet one, Packet two) {
        // Handed over as the socket layer does: only while the relay reads them.
        return [=, this]() {
            if (relay->Accepting(kRemote[1])) Send(kRemote[1], Repeated(one, 20));
            if (relay->Accepting(kRemote[2])) Send(kRemote[2], Repeated(two, 20));
        };
    };
    const auto seatWord = [&](Word w) { return both(EncodeSeatWord(w, 1), EncodeSeatWord(w, 2)); };
    // Every seat moves as soon as it may: seats 1 and 2 at once, the others once they have heard every step.
    const auto race = [this]() {
        for (int n = 0; n < kSeats && relay->Referee().battleRunning == 1; ++n) {
            const int s = relay->Referee().curSeat;
            const ConnId id = s == 0 ? kOwn : kRemote[s];
            const auto heard = [&] {
                int steps = 0;
                for (const Packet& p : links.Sent(id)) steps += PacketWord(p) == Word::kMoveQz ? 1 : 0;
                return steps;
            };
            if ((s == 0 || s == 3) && heard() < relay->Referee().stepCount) return;
            const auto q = test::QuietMove(relay->Referee(), relay->Referee().stepCount);
            if (!q) return;
            Send(id, EncodeMoveQz(*q));
        }
    };
    // Seats 1 and 2 offer a draw and answer; the others turn every offer down.
    const auto peace = [both, this]() {
        both(EncodeSeatWord(Word::kPeaceRequest, 1), EncodeSeatWord(Word::kPeaceOk, 2))();
        both(EncodeSeatWord(Word::kPeaceAbort, 1), EncodeSeatWord(Word::kPeaceRequest, 2))();
        Send(kOwn, EncodeSeatWord(Word::kPeaceAbort, 0));
        Send(kRemote[3], EncodeSeatWord(Word::kPeaceAbort, 3));
    };
    // Seat 2 changes hands as fast as joins are taken: its holder leaves, a fresh connection asks for it.
    int fresh = 100;
    const auto churn = [&fresh, this]() {
        for (ConnId id = fresh > 100 ? 100 : kRemote[2]; id < fresh; ++id)
            if (relay->SeatOfConnection(id) == 2) Send(id, EncodeSeatWord(Word::kJoinCancel, 2));
        relay->Connected(fresh, "10.0.1." + std::to_string(fresh % 250), fresh);
        Send(fresh, EncodeJoin(Rec(2, "p")));
        ++fresh;
    };
    const std::vector<Row> rows = {
        {Word::kJoin, false, churn},
        {Word::kJoinLast, false, both(EncodeMoveQz({MoveCand{}, 1}), EncodeMoveQz({MoveCand{}, 2}))},
        {Word::kJoinRefuse, false, both(EncodeJoin(Rec(0, "p")), EncodeJoin(Rec(3, "p")))},
        {Word::kJoinOk, false, seatWord(Word::kJoinOk)},
        {Word::kJoinCancel, false, churn},
        {Word::kSwitchEnd, true, both(Army(1), Army(2))},
        {Word::kAllSwitchEnd, true,
         [&, this]() {
             both(Army(1), Army(2))();
             Send(kOwn, Army(0));
             Send(kRemote[3], Army(3));
             both(EncodeBare(Word::kAllSwitchEnd), EncodeBare(Word::kAllSwitchEnd))();
         }},
        {Word::kMoveQz, false, race},
        {Word::kMaxStepLimited, false,
         [&, this]() {
             race();
             both(EncodeBare(Word::kMaxStepLimited), EncodeBare(Word::kMaxStepLimited))();
         }},
        {Word::kPeaceRequest, false, peace},
        {Word::kPeaceOk, false, peace},
        {Word::kPeaceAbort, false, peace},
        {Word::kPeaceFinalOk, false, peace},
        {Word::kPeaceFinalAbort, false, peace},
        {Word::kChatMessage, false, both(EncodeChat({1, "flood"}), EncodeChat({2, "flood"}))},
    };
    std::set<Word> covered;
    for (const Row& row : rows) covered.insert(row.word);
    EXPECT_EQ(covered.size(), static_cast<size_t>(kWordCount));
    for (const Row& row : rows) {
        SCOPED_TRACE(WordText(row.word));
        relay.reset();
        links = testing::FakeServerLinks{};
        g = std::make_unique<GameState>();
        fresh = 100;
        SetUp();
        SeatAll();
        if (row.deploying) {
            Send(kOwn, EncodeJoin(Rec(0, "host")));
            Send(kOwn, EncodeSeatWord(Word::kJoinOk, 0));
        } else {
            StartBattle();
        }
        links.gapped = true;
        // A minute, or the deployment while nobody's deploy time runs out.
        for (int step = 0; step < (row.deploying ? 30 : 60) * 20; ++step) {
            row.flood();
            Pace();
            // What seats 1 and 2 cause them to be sent may hold them back, never the honest sides.
            for (ConnId id : {kOwn, kRemote[3]}) ASSERT_TRUE(relay->Accepting(id)) << id << " at step " << step;
        }
        EXPECT_FALSE(links.closed.count(kOwn));
        EXPECT_FALSE(links.closed.count(kRemote[3]));
    }
}

// A side that empties its socket in bursts far apart keeps draining, but while its queue is full it holds the
// sender back: after kHoldBackMs it is closed, and only it; the sender goes on at once.
TEST_F(RelayTest, AReaderThatHoldsASenderBackTooLongIsClosed) {
    g->optionsRecord.netDisconnectTimeOption = 120;
    SeatAll();
    links.takeAtMost = 0;
    SeatOneTalks talk(*this, 200);
    for (int t = 0; t < 60 && relay->Accepting(kRemote[1]); ++t) talk.Say();
    ASSERT_FALSE(relay->Accepting(kRemote[1]));
    links.takeAtMost = SIZE_MAX;
    links.budget[kRemote[3]] = 0;
    for (ConnId id : {kOwn, kRemote[1], kRemote[2]}) relay->Writable(id);
    // Seat 3 takes one packet now and then: its socket drains, its queue stays full.
    const size_t before = links.written[kRemote[3]].size();
    for (int t = 0; t * 1000 <= kHoldBackMs + 1000 && links.closed.empty(); ++t) {
        links.budget[kRemote[3]] = talk.line;
        relay->Writable(kRemote[3]);
        talk.Say();
    }
    EXPECT_GT(links.written[kRemote[3]].size(), before);
    ASSERT_EQ(links.closed.size(), 1u);
    EXPECT_EQ(*links.closed.begin(), kRemote[3]);
    EXPECT_TRUE(relay->Accepting(kRemote[1]));
    EXPECT_EQ(relay->SeatOfConnection(kRemote[1]), 1);
    EXPECT_EQ(relay->SeatOfConnection(kRemote[2]), 2);
}

}  // namespace
}  // namespace jq::net
