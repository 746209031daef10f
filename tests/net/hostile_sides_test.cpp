// Hostile sides against the host on the model (no sockets). Seat 0 is the host's player, seat 1 our own side,
// seats 2 and 3 connections driven packet by packet; a side that follows the protocol to the letter listens on
// every connection. Whatever seat 2 sends, every side must end with the board, the seat to move and the steps
// of the host's copy of the battle.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <memory>

#include "core/combat.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/host/relay.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "support/fake_computer.h"
#include "support/host_moves.h"
#include "support/lan_fakes.h"
#include "support/literal_side.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq::net {
namespace {

using Verdict = HostReferee::Verdict;
using testing::LiteralSide;

constexpr ConnId kOwn = 1;
inline ConnId ConnOf(int seat) { return seat + 1; }

// One of our own sides: the host's (seat 0) or a joining one.
struct Side {
    explicit Side(int seat) {
        g->ui = &ui, g->lan = lan.get(), g->netConnected = 1, g->myNetSeat = seat;
        g->appFolder = "/nonexistent-jq-folder/";
        g->myNetName = "p" + std::to_string(seat);
        g->mainRandom.Seed(7 + static_cast<uint32_t>(seat));
        OptionsRec& o = g->optionsRecord;
        o.netMoveTimeOption = 30, o.netDeployTimeOption = 300, o.netDisconnectTimeOption = 300;
        o.netMinMoveIntervalOption = 0;
        lan->AttachClient(&link);
    }
    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    std::unique_ptr<LanSession> lan = std::make_unique<LanSession>(*g);
    testing::FakeClientLink link;
};

SeatRec Rec(int seat) {
    SeatRec r;
    PutBoundedText(r.name, 32, "raw" + std::to_string(seat));
    r.seat = seat, r.state = 1;
    return r;
}

Packet Army(int seat) {
    SwitchEndBody b{{}, seat};
    std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, b.codes);
    return EncodeSwitchEnd(b);
}

struct Table {
    // `beforeJoin` runs on the host's game before it opens the waiting room.
    explicit Table(const std::function<void(GameState&)>& beforeJoin = {}) {
        sides[0] = std::make_unique<Side>(0);
        GameState& h = host();
        h.isNetHost = 1;
        sides[0]->lan->StartHosting(&links);
        relay().Connected(kOwn, "127.0.0.1", 40001);
        relay().SetOwnConnection(kOwn);
        for (int s = 1; s < kSeats; ++s) relay().Connected(ConnOf(s), "10.0.0." + std::to_string(s), 600 + s);
        for (int s = 0; s < kSeats; ++s) literal.emplace(ConnOf(s), LiteralSide(s));
        if (beforeJoin) beforeJoin(h);
        RejoinNetBattle(h);
        AddSide(1);
        for (int s : {2, 3}) Raw(s, EncodeJoin(Rec(s)));
        Settle();
    }
    GameState& host() { return *sides[0]->g; }
    HostRelay& relay() { return *sides[0]->lan->relay(); }
    const GameState& copy() { return relay().Referee(); }
    void AddSide(int seat, ConnId conn = -1) {
        sides[seat] = std::make_unique<Side>(seat);
        sideConn[seat] = conn < 0 ? ConnOf(seat) : conn;
        RejoinNetBattle(*sides[seat]->g);
    }
    // Bytes from a connection without a side of ours.
    void Raw(int seat, const Packet& p, ConnId conn = -1) {
        relay().Received(conn < 0 ? ConnOf(seat) : conn, p.data(), p.size());
    }
    // Our sides' bytes up (unless held back), everything relayed down.
    void Carry() {
        links.Gap([this](ConnId id) { relay().Writable(id); });
        for (int s = 0; s < kSeats; ++s) {
            if (!sides[s] || hold.count(s)) continue;
            std::vector<uint8_t> up;
            up.swap(sides[s]->link.written);
            relay().Received(s == 0 ? kOwn : sideConn[s], up.data(), up.size());
        }
        for (auto& [conn, bytes] : links.written) {
            std::vector<uint8_t> down;
            down.swap(bytes);
            if (literal.count(conn)) literal.at(conn).Feed(down);
            for (int s = 0; s < kSeats; ++s)
                if (sides[s] && (s == 0 ? kOwn : sideConn[s]) == conn) sides[s]->lan->ClientReceived(down.data(), down.size());
        }
    }
    // Ticks until every side of ours has applied all it received.
    void Settle() {
        for (int i = 0, idleTicks = 0; i < 300 && idleTicks < 4; ++i) {
            for (auto& s : sides)
                if (s) TickMainTimer(*s->g);
            Carry();
            bool idle = true;
            for (auto& s : sides) idle = idle && (!s || s->lan->InboxSize() == 0);
            idleTicks = idle ? idleTicks + 1 : 0;
        }
    }
    // The host's player starts the round: every side deploys.
    void OpenDeployment() {
        host().netState = kNetWaiting;
        HostStartsBattle(host());
        Settle();
    }
    bool StartBattle() {
        OpenDeployment();
        for (int s = 1; s < kSeats; ++s)
            if (!sides[s] && relay().Seat(s).state == 1) Raw(s, Army(s));
        for (auto& s : sides)
            if (s) FinishOwnDeployment(*s->g);
        Settle();
        return host().netState == kNetBattle && copy().battleRunning == 1;
    }
    // The seat to move makes a legal move (a fight when `fights` and one exists), sent the way its seat is
    // played: by our side, by the host's side for a computer seat, else on the seat's connection.
    bool Turn(int pick, bool fights = false) {
        if (copy().battleRunning == 0) return false;
        const int seat = copy().curSeat;
        std::vector<MoveCand> moves = test::LegalMoves(copy(), fights, seat);
        if (moves.empty()) moves = test::LegalMoves(copy(), false, seat);
        MoveQzBody b{MoveCand{}, seat};
        if (moves.empty())
            MakeGiveUpMove(b.move, 0);
        else
            b = test::InSenderView(moves[static_cast<size_t>(pick) % moves.size()], seat);
        Move(b);
        Settle();
        return true;
    }
    void Move(const MoveQzBody& b) {
        const int seat = b.seat;
        if (sides[seat] && seat != 0 && relay().Seat(seat).state == 1) {
            sides[seat]->g->netMoveRecord = b.move;
            SendNetMessage(*sides[seat]->g, "MoveQz", seat);
        } else if (seat == 0 || relay().Seat(seat).state != 1) {
            host().netMoveRecord = b.move;
            SendNetMessage(host(), "MoveQz", seat);
        } else {
            Raw(seat, EncodeMoveQz(b));
        }
    }
    // Honest turns until it is `seat`'s turn.
    bool UntilTurnOf(int seat, int pick = 0) {
        for (int i = 0; i < 8 && copy().battleRunning == 1; ++i) {
            if (copy().curSeat == seat) return true;
            Turn(pick + i);
        }
        return copy().curSeat == seat;
    }

    testing::FakeServerLinks links;
    std::unique_ptr<Side> sides[kSeats];
    ConnId sideConn[kSeats] = {kOwn, -1, -1, -1};
    std::set<int> hold;  // seats whose bytes do not reach the host yet
    std::map<ConnId, LiteralSide> literal;
};

// Whether a side holding `table` knows the seats as the relay holds them.
bool KnowsTheSeats(Table& t, const SeatRec (&table)[kSeats], bool hostSide) {
    SeatRec truth[kSeats];
    for (int s = 0; s < kSeats; ++s) truth[s] = t.relay().Seat(s);
    return SeatTable::Knows(table, truth, hostSide, t.relay().Deploying());
}

// The round's times, as the host's own side was told them.
LanTimes RoundTimes(Table& t) {
    const GameState& h = t.host();
    return LanTimes{h.netMoveTime, h.netDeployTime, h.netDisconnectTime};
}

// Seconds pass on every clock.
void AllClocksOn(Table& t, int seconds) {
    for (auto& s : t.sides)
        if (s) s->ui.clock.seconds += seconds;
}

// Every side still connected, ours and the literal ones, stands where the host's copy stands.
void ExpectAllAgree(Table& t) {
    const GameState& c = t.copy();
    for (auto& [conn, side] : t.literal) {
        // A connection that has given up its seat hears nothing more.
        if (t.links.closed.count(conn) || (conn != kOwn && t.relay().SeatOfConnection(conn) < 0)) continue;
        SCOPED_TRACE("literal side on connection " + std::to_string(conn));
        EXPECT_EQ(testing::Parting(side, c), "");
        EXPECT_EQ(side.running(), c.battleRunning == 1);
        EXPECT_EQ(side.movesOutsideBattle(), 0);
        EXPECT_EQ(side.peaceOutsideBattle(), 0);
        EXPECT_EQ(side.result(), testing::kNoResult);
        EXPECT_FALSE(side.broken());
    }
    for (int s = 0; s < kSeats; ++s) {
        if (!t.sides[s]) continue;
        SCOPED_TRACE("our side at seat " + std::to_string(s));
        const GameState& g = *t.sides[s]->g;
        EXPECT_EQ(g.netConnected, 1);
        EXPECT_EQ(testing::Parting(t.literal.at(s == 0 ? kOwn : t.sideConn[s]), g), "");
        EXPECT_EQ(testing::AbsoluteSteps(g), testing::AbsoluteSteps(c));
    }
}

// Seat 2's live piece that `which` picks, -1 none.
int Seat2Piece(const GameState& c, const std::function<bool(const PieceRec&, int kind)>& which) {
    for (int i = 2 * kPiecesPerSeat; i < 3 * kPiecesPerSeat; ++i) {
        const int point = PointIndexAt(*c.board, c.pieces[i].x, c.pieces[i].y);
        if (point >= 0 && which(c.pieces[i], c.board->boardPoints[point].kind)) return i;
    }
    return -1;
}

// A move of seat 2's `piece` onto (x, y) in seat 2's own view, with the outcome the pieces give (onto a far
// empty point when `to` is -1: at least five points away).
MoveQzBody Seat2Move(const GameState& c, int piece, int to = -1) {
    MoveCand m;
    m.mover = piece;
    m.fromX = c.pieces[piece].x, m.fromY = c.pieces[piece].y;
    for (int i = 0; i < kPointCount && to < 0; ++i) {
        const BoardPoint& bp = c.board->boardPoints[i];
        if (PieceAtPoint(bp.gridX, bp.gridY, c.pieces) == kNoPiece && std::abs(bp.gridX - m.fromX) + std::abs(bp.gridY - m.fromY) > 4)
            to = i;
    }
    const BoardPoint& bp = c.board->boardPoints[to];
    m.toX = bp.gridX, m.toY = bp.gridY;
    m.target = PieceAtPoint(m.toX, m.toY, c.pieces);
    m.outcome = MoveOutcome(c.pieces, m.mover, m.target);
    return test::InSenderView(m, 2);
}
int PointOf(const GameState& c, int piece) { return PointIndexAt(*c.board, c.pieces[piece].x, c.pieces[piece].y); }

// What a connection sends that no side may apply, once `seat` is to move (`prepare` brings the battle there
// instead when given); the status line says why, and `relayed` of the moves go out.
struct BadMoves {
    const char* what;
    int seat;
    std::function<std::vector<MoveQzBody>(Table&)> make;
    Verdict verdict;
    int relayed = 0;
    ConnId from = ConnOf(2);
    std::function<bool(Table&)> prepare = {};
};

int DeadSeat2Piece(const GameState& c) {
    for (int i = 2 * kPiecesPerSeat; i < 3 * kPiecesPerSeat; ++i)
        if (c.pieces[i].alive == 0) return i;
    return -1;
}

TEST(HostileSides, MovesNoSideMayApplyAreNotRelayed) {
    using V = std::vector<MoveQzBody>;
    const BadMoves rows[] = {
        {"a quiet move sent as lost", 2,
         [](Table& t) {
             MoveQzBody b = *test::QuietMove(t.copy(), 3);
             b.move.outcome = kMoverRemoved;
             return V{b};
         },
         Verdict::kFalseOutcome},
        {"a mine moved", 2,
         [](Table& t) { return V{Seat2Move(t.copy(), Seat2Piece(t.copy(), [](const PieceRec& p, int) { return p.code == kMine; }))}; },
         Verdict::kIllegal},
        {"a headquarters piece moved", 2,
         [](Table& t) {
             return V{Seat2Move(t.copy(), Seat2Piece(t.copy(), [](const PieceRec& p, int kind) {
                                    return kind == kHeadquarters && p.code != kFlag;
                                }))};
         },
         Verdict::kIllegal},
        {"a railway jump with no path", 2,
         [](Table& t) { return V{Seat2Move(t.copy(), Seat2Piece(t.copy(), [](const PieceRec& p, int kind) { return kind == kRailway && p.code == 8; }))}; },
         Verdict::kIllegal},
        {"an attack on an own piece", 2,
         [](Table& t) { return V{Seat2Move(t.copy(), 2 * kPiecesPerSeat + 15, PointOf(t.copy(), 2 * kPiecesPerSeat))}; },
         Verdict::kIllegal},
        {"an attack on the partner's piece", 2,
         [](Table& t) { return V{Seat2Move(t.copy(), 2 * kPiecesPerSeat + 15, PointOf(t.copy(), 0))}; },
         Verdict::kIllegal},
        {"a move and a give-up out of turn", 3,
         [](Table& t) {
             MoveQzBody giveUp{MoveCand{}, 2};
             MakeGiveUpMove(giveUp.move, 2);
             return V{test::InSenderView(test::LegalMoves(t.copy(), false, 2).at(0), 2), giveUp};
         },
         Verdict::kNotToMove},
        {"a second move in one turn", 2,
         [](Table& t) {
             const auto moves = test::LegalMoves(t.copy(), false);
             return V{test::InSenderView(moves.at(0), 2), test::InSenderView(moves.at(1), 2)};
         },
         Verdict::kNotToMove, 1},
        {"the host's side moving for a person's seat", 3, [](Table& t) { return V{*test::QuietMove(t.copy(), 0)}; },
         Verdict::kNotToMove, 0, kOwn},
        {"a removed piece moved", 2,
         [](Table& t) {
             const int dead = DeadSeat2Piece(t.copy());
             MoveCand m{dead, kNoPiece, t.copy().pieces[dead].x, t.copy().pieces[dead].y};
             const MoveQzBody far = Seat2Move(t.copy(), Seat2Piece(t.copy(), [](const PieceRec&, int) { return true; }));
             const GridPoint to = TurnGridPoint(GridPoint{far.move.toX, far.move.toY}, -2);
             m.toX = to.x, m.toY = to.y, m.outcome = kMoverWins;
             return V{test::InSenderView(m, 2)};
         },
         Verdict::kIllegal, 0, ConnOf(2),
         // Fights until seat 2, to move, has lost a piece.
         [](Table& t) {
             for (int i = 0; i < 400 && t.copy().battleRunning == 1; ++i) {
                 if (t.copy().curSeat == 2 && DeadSeat2Piece(t.copy()) >= 0) return true;
                 t.Turn(i, true);
             }
             return false;
         }},
    };
    for (const BadMoves& row : rows) {
        SCOPED_TRACE(row.what);
        Table t;
        ASSERT_TRUE(t.StartBattle());
        ASSERT_TRUE(row.prepare ? row.prepare(t) : t.UntilTurnOf(row.seat));
        const int steps = t.copy().stepCount;
        const std::vector<MoveQzBody> moves = row.make(t);
        for (const MoveQzBody& b : moves) {
            const Packet p = EncodeMoveQz(b);
            t.relay().Received(row.from, p.data(), p.size());
        }
        EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(row.verdict, moves.back().seat));
        EXPECT_EQ(t.copy().stepCount, steps + row.relayed);
        t.Settle();
        // The seat to move keeps its turn, and moves.
        for (int i = 0; i < 6; ++i) t.Turn(i);
        EXPECT_EQ(t.copy().stepCount, steps + row.relayed + 6);
        ExpectAllAgree(t);
    }
}

// The host's computer: a legal move of the seat to move, as the host's side sees the board.
void PlayForTheHost(Table& t, test::FakeComputer& computer) {
    computer.play = [&t] {
        GameState& h = t.host();
        const int seat = h.curSeat;
        h.netMoveRecord = test::InSenderView(test::LegalMoves(h, false, seat).at(0), seat).move;
        SendNetMessage(h, "MoveQz", seat);
    };
    t.host().computer = &computer;
}

// Seat 3 is the computer's and to move, the host's computer ready to play it.
bool AtTheComputersTurn(Table& t, test::FakeComputer& computer) {
    t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
    if (!t.StartBattle() || !t.UntilTurnOf(3)) return false;
    PlayForTheHost(t, computer);
    return true;
}

// Seat 3 plays for the computer; the host's computer move for it is on its way when a person's "Join" takes
// the seat, so the move is refused. The person leaves again, after the host's side has heard of him or at once
// (while every connection takes a packet a tick, so the answer to the refused move goes to the host's side
// between his coming and his going): the host's computer moves for seat 3 once more.
TEST(HostileSides, AComputerMoveRefusedForAJoinedSeatIsChosenAgain) {
  for (const bool atOnce : {false, true}) {
    SCOPED_TRACE(atOnce ? "leaves at once" : "leaves later");
    constexpr ConnId kLate = 9;
    Table t;
    t.links.gapped = atOnce;
    test::FakeComputer computer;
    ASSERT_TRUE(AtTheComputersTurn(t, computer));
    TickMainTimer(t.host());
    ASSERT_EQ(computer.resumes, 1);
    ASSERT_FALSE(t.sides[0]->link.written.empty());
    t.relay().Connected(kLate, "10.0.0.7", 700);
    t.literal.emplace(kLate, LiteralSide(3));
    t.Raw(3, EncodeJoin(Rec(3)), kLate);
    const int steps = t.copy().stepCount;
    t.Carry();
    EXPECT_EQ(t.copy().stepCount, steps);
    EXPECT_EQ(t.copy().curSeat, 3);
    if (!atOnce) {
        t.Settle();
        // The seat a person holds is not the computer's to move.
        EXPECT_EQ(computer.resumes, 1);
    }
    t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3), kLate);
    t.Settle();
    EXPECT_EQ(computer.resumes, 2);
    EXPECT_EQ(t.copy().stepCount, steps + 1);
    // Every move the computer chose from then on went out.
    for (int i = 0; i < 8; ++i) t.Turn(i);
    EXPECT_GE(computer.resumes, 3);
    EXPECT_EQ(t.copy().stepCount, steps + 8 + computer.resumes - 1);
    ExpectAllAgree(t);
    t.host().computer = nullptr;
  }
}

// During the deployment seat 3 is the computer's and deployed when a connection takes it and leaves it, in one
// write or a tick apart, while every connection takes a packet a tick: its deployment is forgotten, and the
// host's side, told the seat is the computer's again and not deployed, deploys it again. Or seat 3 is not
// deployed yet: the host's side sends the computer's formation for it, a connection takes the seat before
// that reaches the host (which refuses it) and leaves again while the host's own connection waits out its gap.
// The battle starts.
TEST(HostileSides, ASeatTakenAndLeftDuringTheDeploymentIsDeployedAgain) {
    for (const char* way : {"one write", "a tick apart", "the host's formation refused"}) {
        SCOPED_TRACE(way);
        const std::string how = way;
        constexpr ConnId kPasser = 9;
        Table t;
        t.links.gapped = true;
        if (how != "the host's formation refused") t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
        t.OpenDeployment();
        t.Raw(2, Army(2));
        t.Settle();
        t.relay().Connected(kPasser, "10.0.0.7", 700);
        Packet join = EncodeJoin(Rec(3));
        const Packet cancel = EncodeSeatWord(Word::kJoinCancel, 3);
        if (how == "the host's formation refused") {
            t.Raw(3, cancel);
            t.hold.insert(0);
            t.Settle();
            ASSERT_FALSE(t.sides[0]->link.written.empty());
            t.hold.clear();
            // Right behind a line relayed to every side: the host's own connection is in its gap.
            t.Raw(2, EncodeChat({2, "now"}));
            t.Raw(3, join, kPasser);
            t.Raw(0, t.sides[0]->link.written, kOwn);
            t.sides[0]->link.written.clear();
            t.Raw(3, cancel, kPasser);
        } else {
            ASSERT_EQ(t.relay().Seat(3).deployed, 2);
            if (how == "one write") {
                join.insert(join.end(), cancel.begin(), cancel.end());
                t.Raw(2, EncodeChat({2, "now"}));
                t.Raw(3, join, kPasser);
            } else {
                t.Raw(3, join, kPasser);
                TickMainTimer(t.host());
                t.Carry();
                t.Raw(3, cancel, kPasser);
            }
        }
        EXPECT_EQ(t.relay().Seat(3).state, 0);
        EXPECT_NE(t.relay().Seat(3).deployed, 2);
        for (int s : {0, 1}) ASSERT_TRUE(FinishOwnDeployment(*t.sides[s]->g));
        t.Settle();
        ASSERT_EQ(t.copy().battleRunning, 1);
        EXPECT_TRUE(KnowsTheSeats(t, t.host().seatTable, true));
        for (int i = 0; i < 6; ++i) t.Turn(i);
        ExpectAllAgree(t);
    }
}

// During the deployment a player takes seat 2 (the computer's, deployed) and deploys it in one write, right
// behind a line relayed to every side, while every connection takes a packet a tick: every side learns that the
// seat is his, before his deployment, and the battle starts with it.
TEST(HostileSides, ASeatTakenAndDeployedInOneWriteIsToldToEverySide) {
    constexpr ConnId kTaker = 9;
    Table t;
    t.links.gapped = true;
    t.Raw(2, EncodeSeatWord(Word::kJoinCancel, 2));
    t.OpenDeployment();
    t.Settle();
    ASSERT_EQ(t.relay().Seat(2).deployed, 2);
    t.relay().Connected(kTaker, "10.0.0.7", 700);
    t.literal.emplace(kTaker, LiteralSide(2));
    Packet p = EncodeJoin(Rec(2));
    const Packet army = Army(2);
    p.insert(p.end(), army.begin(), army.end());
    t.Raw(3, EncodeChat({3, "now"}));
    t.Raw(2, p, kTaker);
    t.Settle();
    EXPECT_EQ(t.host().seatTable[2].state, 1);
    EXPECT_EQ(BoundedText(t.host().seatTable[2].name, 32), "raw2");
    EXPECT_TRUE(KnowsTheSeats(t, t.host().seatTable, true));
    EXPECT_EQ(t.sides[1]->g->seatTable[2].state, 1);
    t.Raw(3, Army(3));
    for (int s : {0, 1}) ASSERT_TRUE(FinishOwnDeployment(*t.sides[s]->g));
    t.Settle();
    ASSERT_EQ(t.copy().battleRunning, 1);
    for (int i = 0; i < 6; ++i) t.Turn(i);
    ExpectAllAgree(t);
}

// Late in seat 3's turn (in the deployment) its player leaves and another address asks for the seat at once;
// each holder then leaves just before his time runs out, handing it on to another address in the same tick.
// The seat was its player's when the turn (the deployment) began, so the first taker's join waits until it is
// over, and the computer moves (deploys) for the seat meanwhile, at once: nobody has more than the turn's time.
// In the computer's own turn, with the host's minimum move interval at 8 s, a taker 5 s in has the seat's
// whole time from his join (the host's window and the others show it as his own does); a second taker waits,
// and when the first gives the seat back with his time nearly over, the computer moves at once, not 8 s later
// (the host's waits are counted as time).
TEST(HostileSides, HandingASeatAroundHoldsNoTurnBeyondItsTime) {
    const struct {
        const char* what;
        bool deploying, computers;
    } rows[] = {{"seat 3's turn", false, false}, {"the deployment", true, false}, {"the computer's turn", false, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Table t([&r](GameState& h) { h.optionsRecord.netMinMoveIntervalOption = r.computers ? 8 : 0; });
        test::FakeComputer computer;
        const LanTimes times = RoundTimes(t);
        const int time = r.deploying ? times.deploy : times.move;
        const bool joinBringsTime = r.computers;
        if (r.deploying) {
            // Seat 3's player joins the round (his first join came before the host's).
            t.Raw(3, EncodeJoin(Rec(3)));
            t.OpenDeployment();
            t.Raw(2, Army(2));
            for (int s : {0, 1}) ASSERT_TRUE(FinishOwnDeployment(*t.sides[s]->g));
            t.Settle();
        } else if (r.computers) {
            ASSERT_TRUE(AtTheComputersTurn(t, computer));
        } else {
            t.Raw(3, Army(3));
            ASSERT_TRUE(t.StartBattle());
            ASSERT_TRUE(t.UntilTurnOf(3));
            PlayForTheHost(t, computer);
        }
        const int steps = t.copy().stepCount, slept = t.sides[0]->ui.slept;
        auto over = [&] { return r.deploying ? t.copy().battleRunning == 1 : t.copy().stepCount != steps; };
        ConnId next = 20, holder = r.computers ? -1 : ConnOf(3);
        const int firstAt = r.computers ? 5 : time - 5;
        int heldFrom = 0, elapsed = 0;
        for (; elapsed <= 2 * time + 60 && !over(); ++elapsed) {
            const bool handOn = holder == ConnOf(3) || holder < 0 ? elapsed == firstAt : elapsed - heldFrom == time - 1;
            if (handOn) {
                if (holder >= 0) t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3), holder);
                holder = next++;
                heldFrom = elapsed;
                t.relay().Connected(holder, holder % 2 ? "10.0.0.21" : "10.0.0.22", 700 + holder);
                t.Raw(3, EncodeJoin(Rec(3)), holder);
            }
            AllClocksOn(t, 1);
            t.Settle();
            // The host's window and seat 1's show the taker's whole time, as his own does.
            if (handOn && elapsed == firstAt && joinBringsTime) {
                for (int s : {0, 1}) EXPECT_EQ(t.sides[s]->ui.timeRemaining, std::to_string(time)) << "side " << s;
            }
            if (!joinBringsTime && !over()) {
                EXPECT_EQ(t.relay().SeatOfConnection(20), -1) << elapsed;
            }
        }
        EXPECT_TRUE(over());
        if (!joinBringsTime) {
            // Over at once; the join that waited is taken then.
            EXPECT_LE(elapsed, firstAt + 2);
            t.Settle();
            EXPECT_EQ(t.relay().SeatOfConnection(20), 3);
            t.host().computer = nullptr;
            continue;
        }
        EXPECT_GE(elapsed, firstAt + time - 1);
        const int hostWaited = (t.sides[0]->ui.slept - slept) / 1000;
        EXPECT_LE(elapsed + hostWaited, firstAt + time + (r.computers ? 0 : kTurnGraceSeconds));
        EXPECT_LE(elapsed, 2 * time + kTurnGraceSeconds);
        t.host().computer = nullptr;
    }
}

// A tenth of a second on every clock, each side ticking in turn, then everything carried.
void TenthOfASecond(Table& t) {
    for (auto& s : t.sides) {
        if (!s) continue;
        ClockStamp& c = s->ui.clock;
        if ((c.millis += 100) >= 1000) c.millis -= 1000, ++c.seconds;
        TickMainTimer(*s->g);
    }
    t.Carry();
}

// In the computer's turn (seat 3, a minimum move interval of 2 s) fresh connections with growing ids, each from
// a new address, take the free seat 2 and leave it a tenth of a second later, the next taking it at once; none
// reads anything while it holds the seat. Remote queues hold the host's computer a second of the turn at most,
// so it moves after its interval however long the churn goes on.
TEST(HostileSides, AChurnOnTheComputersSeatsHoldsNoComputerTurn) {
    Table t([](GameState& h) { h.optionsRecord.netMinMoveIntervalOption = 2; });
    test::FakeComputer computer;
    t.Raw(2, EncodeSeatWord(Word::kJoinCancel, 2));
    ASSERT_TRUE(AtTheComputersTurn(t, computer));
    const int steps = t.copy().stepCount, bound = 2 * RoundTimes(t).move + kTurnGraceSeconds;
    ConnId holder = -1;
    int tenths = 0;
    for (ConnId next = 100; tenths < 10 * (bound + 10) && t.copy().stepCount == steps; ++tenths, ++next) {
        if (holder >= 0) {
            t.Raw(2, EncodeSeatWord(Word::kJoinCancel, 2), holder);
            t.relay().Closed(holder);
        }
        holder = next;
        t.links.takeAtMostOf[holder] = 0;
        t.relay().Connected(holder, "10.3." + std::to_string(next / 200) + "." + std::to_string(next % 200), 900);
        t.Raw(2, EncodeJoin(Rec(2)), holder);
        ASSERT_EQ(t.relay().SeatOfConnection(holder), 2);
        TenthOfASecond(t);
    }
    EXPECT_NE(t.copy().stepCount, steps);
    EXPECT_LE(tenths, 10 * (2 + 1));
    t.host().computer = nullptr;
}

// Seat 3's player has two addresses: a second before his time runs out he leaves on one connection and asks
// for the seat on the other, turn after turn. The seat was his when the turn began: his join waits until the
// turn is over, the host's computer moving for the seat at once, and he is back for his next turn. None of
// his turns lasts longer than the move time and the grace.
TEST(HostileSides, APlayerWithTwoAddressesHasOneTurnsTime) {
    Table t;
    test::FakeComputer computer;
    const int time = RoundTimes(t).move;
    t.Raw(3, Army(3));
    ASSERT_TRUE(t.StartBattle());
    PlayForTheHost(t, computer);
    ConnId conn = ConnOf(3);
    for (int turn = 0; turn < 3; ++turn) {
        SCOPED_TRACE(turn);
        ASSERT_TRUE(t.UntilTurnOf(3));
        const int steps = t.copy().stepCount;
        AllClocksOn(t, time - 1);
        t.Settle();
        t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3), conn);
        conn = 30 + turn;
        t.relay().Connected(conn, turn % 2 ? "10.0.0.3" : "10.0.0.33", 730 + turn);
        t.Raw(3, EncodeJoin(Rec(3)), conn);
        int elapsed = time - 1;
        for (; elapsed < 2 * time + kTurnGraceSeconds + 5 && t.copy().stepCount == steps; ++elapsed) {
            AllClocksOn(t, 1);
            t.Settle();
        }
        EXPECT_LE(elapsed, time + kTurnGraceSeconds);
        t.Settle();
        ASSERT_EQ(t.relay().SeatOfConnection(conn), 3);
    }
    t.host().computer = nullptr;
}

// Seat 1's own side misses its turn four times: the fourth time-out is its own to notice (its clock runs out
// before the host's grace), so it gives the seat up and closes. The seat is lost for that address in this
// round as when the host ends the turn itself: a join for it from there is refused, after the address's pause
// too, while another address takes it.
TEST(HostileSides, ASeatLostAtItsOwnFourthTimeOutIsLockedForItsAddress) {
    Table t;
    test::FakeComputer computer;
    const int time = RoundTimes(t).move;
    ASSERT_TRUE(t.StartBattle());
    PlayForTheHost(t, computer);
    for (int missed = 0; missed < 4; ++missed) {
        ASSERT_TRUE(t.UntilTurnOf(1));
        const int steps = t.copy().stepCount;
        AllClocksOn(t, time);
        t.Settle();
        if (missed < 3) {
            ASSERT_EQ(t.copy().stepCount, steps + 1) << missed;
        }
    }
    ASSERT_EQ(t.sides[1]->g->netConnected, 0);
    t.relay().Closed(ConnOf(1));
    EXPECT_EQ(t.relay().Seat(1).state, 0);
    t.relay().Connected(30, "10.0.0.1", 730);
    t.Raw(1, EncodeJoin(Rec(1)), 30);
    AllClocksOn(t, kRejoinPauseSeconds);
    TickMainTimer(t.host());
    EXPECT_EQ(t.relay().SeatOfConnection(30), -1);
    const std::vector<Packet> answers = t.links.Sent(30);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(PacketWord(answers[0]), Word::kJoinRefuse);
    // The computer moves for the seat; the turn over, another address takes it.
    t.relay().Connected(31, "10.0.0.31", 731);
    t.Raw(1, EncodeJoin(Rec(1)), 31);
    t.Settle();
    EXPECT_EQ(t.relay().SeatOfConnection(31), 1);
    t.host().computer = nullptr;
}

// A second before the deploy time runs out a fresh address takes seat 3 from its player (it has the whole
// deploy time from its join), and once the deploy time has run out another takes seat 2 from its: a join that
// would bring time after the time itself has run out waits for the battle, so no chain of joins across the
// seats holds the deployment beyond twice the deploy time and the grace.
TEST(HostileSides, NoChainOfJoinsAcrossTheSeatsHoldsTheDeployment) {
    Table t;
    const LanTimes times = RoundTimes(t);
    t.OpenDeployment();
    for (int s : {0, 1}) ASSERT_TRUE(FinishOwnDeployment(*t.sides[s]->g));
    t.Settle();
    AllClocksOn(t, times.deploy - 1);
    t.Settle();
    t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
    t.relay().Connected(20, "10.0.0.20", 720);
    t.Raw(3, EncodeJoin(Rec(3)), 20);
    ASSERT_EQ(t.relay().SeatOfConnection(20), 3);
    AllClocksOn(t, 2);
    t.Settle();
    t.Raw(2, EncodeSeatWord(Word::kJoinCancel, 2));
    t.relay().Connected(21, "10.0.0.21", 721);
    t.Raw(2, EncodeJoin(Rec(2)), 21);
    EXPECT_EQ(t.relay().SeatOfConnection(21), -1);
    int elapsed = times.deploy + 1;
    for (; elapsed <= 2 * times.deploy + 60 && t.copy().battleRunning == 0; ++elapsed) {
        AllClocksOn(t, 1);
        t.Settle();
        if (t.copy().battleRunning == 0) {
            EXPECT_EQ(t.relay().SeatOfConnection(21), -1) << elapsed;
        }
    }
    EXPECT_EQ(t.copy().battleRunning, 1);
    EXPECT_GE(elapsed, 2 * times.deploy - 1);
    EXPECT_LE(elapsed, 2 * times.deploy + kTurnGraceSeconds);
    EXPECT_EQ(t.relay().SeatOfConnection(21), 2);  // in the battle, at once
}

// Churn from 120 addresses on every turn: each takes seat 3 (the computer's) or asks for it, says a line and
// leaves, while every connection takes a packet a tick. Every honest side hears at most one notice a seat
// between two packets that matter, reads at its pace and is never closed, and the battle runs to its end.
TEST(HostileSides, AChurnFromManyAddressesClosesNoHonestSide) {
    Table t;
    t.links.gapped = true;
    for (int s : {2, 3}) t.Raw(s, EncodeSeatWord(Word::kJoinCancel, s));
    ASSERT_TRUE(t.StartBattle());
    ConnId churn = 100;
    int ticks = 0;
    for (int turn = 0; turn < 600 && t.copy().battleRunning == 1; ++turn) {
        for (int i = 0; i < 120; ++i, ++churn) {
            t.relay().Connected(churn, "10.1.0." + std::to_string(i), static_cast<int>(churn % 60000));
            Packet p = EncodeJoin(Rec(3));
            for (const Packet& q : {EncodeChat({3, "churn"}), EncodeSeatWord(Word::kJoinCancel, 3)})
                p.insert(p.end(), q.begin(), q.end());
            t.Raw(3, p, churn);
            t.relay().Closed(churn);
        }
        // A second of the host's clock, a tick at a time.
        for (int tick = 0; tick < 30; ++tick, ++ticks) {
            if (tick % 10 == 0) AllClocksOn(t, 1);
            for (auto& side : t.sides)
                if (side) TickMainTimer(*side->g);
            t.Carry();
        }
        t.Turn(turn);
    }
    for (ConnId id : {kOwn, ConnOf(1)}) EXPECT_FALSE(t.links.closed.count(id)) << id;
    // Seat 1 took at most a packet a tick.
    EXPECT_LE(t.literal.at(ConnOf(1)).packets(), ticks + 2000);
    ASSERT_EQ(t.sides[0]->ui.results.size(), 1u);
    ASSERT_EQ(t.sides[1]->ui.results.size(), 1u);
    const int r = t.sides[0]->ui.results[0];
    EXPECT_EQ(t.sides[1]->ui.results[0], r == 2 ? r : 1 - r);
}

// A side that times out the moment its turn comes, the first seat at the start of the battle included:
// refused until its move time has run out on the host's clock; three pass, the fourth hands the seat to the
// computer.
TEST(HostileSides, TimeOutsCountOnTheHostsClock) {
    Table t;
    // The deployment takes 100 s: the first seat's time runs from the start of the battle.
    for (auto& s : t.sides)
        if (s) s->ui.clock.seconds += 100;
    ASSERT_TRUE(t.StartBattle());
    MoveQzBody early{MoveCand{}, t.copy().curSeat};
    MakeTimeoutMove(early.move, 1);
    const Packet p = EncodeMoveQz(early);
    t.relay().Received(early.seat == 0 ? kOwn : ConnOf(early.seat), p.data(), p.size());
    EXPECT_EQ(t.copy().stepCount, 0);
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kTooEarly, early.seat));
    MoveQzBody timeout{MoveCand{}, 2};
    for (int n = 1; n <= 4; ++n) {
        ASSERT_TRUE(t.UntilTurnOf(2, n));
        MakeTimeoutMove(timeout.move, n);
        const int steps = t.copy().stepCount;
        t.Raw(2, EncodeMoveQz(timeout));
        EXPECT_EQ(t.copy().stepCount, steps);
        EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kTooEarly, 2));
        // The move time, to the second: a side's own time-out comes a second later.
        for (auto& s : t.sides)
            if (s) s->ui.clock.seconds += 30;
        t.Raw(2, EncodeMoveQz(timeout));
        EXPECT_EQ(t.copy().stepCount, n < 4 ? steps + 1 : steps);
        t.Settle();
    }
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kHandOver, 2));
    EXPECT_EQ(t.relay().Seat(2).state, 0);
    EXPECT_TRUE(t.links.closed.count(ConnOf(2)));
    EXPECT_EQ(t.copy().curSeat, 2);
    // The computer's seat: the host's side moves for it.
    for (int i = 0; i < 5; ++i) t.Turn(i);
    EXPECT_EQ(t.literal.at(ConnOf(3)).seatRecord(2).state, 0);
    ExpectAllAgree(t);
}

// A team ends the battle on the host's copy once both its seats have given up, not when the first has:
// what seat 2 sends right after is not relayed, and every side has the same result.
TEST(HostileSides, TheBattleEndsWithTheLastSeatOfATeam) {
    Table t;
    ASSERT_TRUE(t.StartBattle());
    MoveQzBody giveUp{MoveCand{}, 1};
    MakeGiveUpMove(giveUp.move, 0);
    ASSERT_TRUE(t.UntilTurnOf(1));
    t.Move(giveUp);
    t.Settle();
    ASSERT_TRUE(t.UntilTurnOf(3));
    EXPECT_EQ(t.copy().battleRunning, 1);
    const MoveQzBody late = test::InSenderView(test::LegalMoves(t.copy(), false, 2).at(0), 2);
    giveUp.seat = 3;
    t.Move(giveUp);
    EXPECT_EQ(t.copy().battleRunning, 0);
    const int steps = t.copy().stepCount;
    t.Raw(2, EncodeMoveQz(late));
    EXPECT_EQ(t.copy().stepCount, steps);
    t.Carry();
    for (const ConnId conn : {kOwn, ConnOf(2)}) {
        const LiteralSide& side = t.literal.at(conn);
        EXPECT_EQ(side.result(), testing::kResultWon) << "connection " << conn;
        EXPECT_EQ(side.movesOutsideBattle(), 0) << "connection " << conn;
        EXPECT_EQ(side.endedAt(), steps) << "connection " << conn;
    }
    t.Settle();
    EXPECT_EQ(t.sides[0]->ui.results, std::vector<int>{kBattleWon});
}

// Time-outs are their player's, on his seat, for the whole battle, whatever he plays between them: three of
// seat 2's player, a move, then he gives the seat up and our side on another address takes it at once (the
// first connection asks again and is refused, the seat being held). Our side starts from none of its own: its
// clock runs out three times and its time-outs pass (each carrying its own count), the fourth time it gives
// the seat up itself and the host hands it over. The first player then takes the seat again on a new
// connection: his next time-out, his fourth, hands it to the computer.
TEST(HostileSides, TimeOutsAreTheirPlayersForTheWholeBattle) {
    constexpr ConnId kNew = 9, kBack = 10;
    Table t;
    ASSERT_TRUE(t.StartBattle());
    auto timeOut = [&t](int n, ConnId conn) {
        if (!t.UntilTurnOf(2, n)) return false;
        MoveQzBody timeout{MoveCand{}, 2};
        MakeTimeoutMove(timeout.move, n);
        AllClocksOn(t, t.host().netMoveTime);
        const int steps = t.copy().stepCount;
        t.Raw(2, EncodeMoveQz(timeout), conn);
        t.Settle();
        return t.copy().stepCount == steps + 1;
    };
    for (int n = 1; n <= 3; ++n) ASSERT_TRUE(timeOut(n, ConnOf(2)));
    ASSERT_TRUE(t.UntilTurnOf(2));
    int steps = t.copy().stepCount;
    t.Turn(0);
    ASSERT_EQ(t.copy().stepCount, steps + 1);
    t.Raw(2, EncodeSeatWord(Word::kJoinCancel, 2));
    t.Settle();
    EXPECT_EQ(t.relay().SeatOfConnection(ConnOf(2)), -1);
    t.relay().Connected(kNew, "10.0.0.7", 700);
    t.AddSide(2, kNew);
    t.Settle();
    ASSERT_EQ(t.relay().SeatOfConnection(kNew), 2);
    t.Raw(2, EncodeJoin(Rec(2)));
    t.Settle();
    EXPECT_TRUE(t.literal.at(ConnOf(2)).refused());
    const GameState& ours = *t.sides[2]->g;
    EXPECT_EQ(ours.netTimeoutCount, 0);
    for (int n = 1; n <= kTimeoutsPassed + 1; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(t.UntilTurnOf(2, n));
        steps = t.copy().stepCount;
        AllClocksOn(t, t.host().netMoveTime);
        t.Settle();
        if (n > kTimeoutsPassed) break;
        ASSERT_EQ(t.copy().stepCount, steps + 1);
        EXPECT_EQ(t.relay().SeatOfConnection(kNew), 2);
        EXPECT_EQ(ours.netTimeoutCount, n);
    }
    EXPECT_EQ(t.copy().stepCount, steps);
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kHandOver, 2));
    EXPECT_EQ(t.relay().Seat(2).state, 0);
    EXPECT_EQ(ours.netConnected, 0);
    t.sides[2].reset();
    t.Turn(0);
    t.relay().Connected(kBack, "10.0.0.2", 701);
    t.literal.emplace(kBack, LiteralSide(2));
    t.Raw(2, EncodeJoin(Rec(2)), kBack);
    t.Settle();
    ASSERT_EQ(t.relay().SeatOfConnection(kBack), 2);
    EXPECT_FALSE(timeOut(4, kBack));
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kHandOver, 2));
    EXPECT_EQ(t.relay().Seat(2).state, 0);
    EXPECT_TRUE(t.links.closed.count(kBack));
    for (int i = 0; i < 5; ++i) t.Turn(i);
    ExpectAllAgree(t);
}

TEST(HostileSides, PeaceWordsOutsideTheBattleAreNotRelayed) {
    Table t;
    t.OpenDeployment();
    ASSERT_TRUE(t.relay().Referee().battleRunning == 0);
    t.Raw(2, EncodeSeatWord(Word::kPeaceRequest, 2));
    for (int s : {2, 3}) t.Raw(s, EncodeSeatWord(Word::kPeaceOk, s));
    t.Settle();
    // Everyone agrees once the battle runs.
    for (int s : {2, 3}) t.Raw(s, Army(s));
    for (auto& s : t.sides)
        if (s) FinishOwnDeployment(*s->g);
    t.Settle();
    ASSERT_EQ(t.host().netState, kNetBattle);
    for (int i = 0; i < 4; ++i) t.Turn(i);
    ExpectAllAgree(t);
    EXPECT_EQ(t.host().peaceAgreed, 0);
}

// A draw agreed before the first step ends the battle at once, on the host's copy as soon as the last seat
// agrees and on every side of ours at its next tick: no step (not even a time-out) is waited for, and none is
// relayed after it.
TEST(HostileSides, ADrawAgreedBeforeTheFirstStepEndsAtOnce) {
    Table t;
    ASSERT_TRUE(t.StartBattle());
    t.Raw(2, EncodeSeatWord(Word::kPeaceRequest, 2));
    AnswerPeace(t.host(), true);
    AnswerPeace(*t.sides[1]->g, true);
    t.Settle();
    EXPECT_EQ(t.copy().battleRunning, 1);
    t.Raw(3, EncodeSeatWord(Word::kPeaceOk, 3));
    t.Carry();
    EXPECT_EQ(t.copy().battleRunning, 0);
    EXPECT_FALSE(t.Turn(0));
    t.Settle();
    for (auto& [conn, side] : t.literal) {
        EXPECT_EQ(side.result(), testing::kResultDraw) << "connection " << conn;
        EXPECT_EQ(side.endedAt(), 0) << "connection " << conn;
    }
    for (int s : {0, 1}) {
        EXPECT_EQ(t.sides[s]->ui.results, std::vector<int>{kBattleDraw}) << s;
        EXPECT_EQ(t.sides[s]->g->netTimeoutCount, 0) << s;
    }
}

// Joins that see everything relayed before them: right after a move the host's own side has not applied yet,
// in the deployment after a "SwitchEnd" not yet back at the host's side, and a side of ours whose bytes reach
// the host late.
TEST(HostileSides, AJoinSeesEverythingRelayedBeforeIt) {
    constexpr ConnId kLate = 9;
    {
        SCOPED_TRACE("in the battle");
        Table t;
        ASSERT_TRUE(t.StartBattle());
        ASSERT_TRUE(t.UntilTurnOf(1));
        // Seat 3 is given up, seat 1 moves and a new side takes seat 3, before anything of it comes back to
        // the host's side; seat 2 moves while the host's side catches up.
        t.relay().Connected(kLate, "10.0.0.7", 700);
        t.literal.emplace(kLate, LiteralSide(3));
        t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
        t.Move(*test::QuietMove(t.copy(), 0));
        t.Carry();
        t.Raw(3, EncodeJoin(Rec(3)), kLate);
        t.Carry();
        EXPECT_EQ(testing::Parting(t.literal.at(kLate), t.copy()), "");
        TickMainTimer(t.host());
        t.Raw(2, EncodeMoveQz(*test::QuietMove(t.copy(), 0)));
        t.Carry();
        EXPECT_EQ(testing::Parting(t.literal.at(kLate), t.copy()), "");
        t.Settle();
        for (int i = 0; i < 6; ++i) t.Turn(i);
        ExpectAllAgree(t);
    }
    {
        SCOPED_TRACE("in the deployment");
        Table t;
        t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
        t.OpenDeployment();
        t.relay().Connected(kLate, "10.0.0.7", 700);
        t.literal.emplace(kLate, LiteralSide(3));
        t.Raw(2, Army(2));
        t.Raw(3, EncodeJoin(Rec(3)), kLate);
        t.Carry();
        EXPECT_EQ(t.literal.at(kLate).board()[2 * kPiecesPerSeat].alive, 1);
        t.Raw(3, Army(3), kLate);
        for (auto& s : t.sides)
            if (s) FinishOwnDeployment(*s->g);
        t.Settle();
        ASSERT_EQ(t.copy().battleRunning, 1);
        for (int i = 0; i < 6; ++i) t.Turn(i);
        ExpectAllAgree(t);
    }
    {
        SCOPED_TRACE("a side whose bytes reach the host late");
        Table t;
        t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
        ASSERT_TRUE(t.StartBattle());
        t.relay().Connected(kLate, "10.0.0.7", 700);
        t.literal.emplace(kLate, LiteralSide(3));
        t.hold.insert(3);
        t.AddSide(3, kLate);
        for (int i = 0; i < 5; ++i) t.Turn(i);
        t.hold.clear();
        t.Settle();
        ASSERT_EQ(t.relay().Seat(3).state, 1);
        for (int i = 0; i < 8; ++i) t.Turn(i);
        ExpectAllAgree(t);
    }
}

// A side that joins the free seat after the step that ends the battle on the host's copy, before the host's own
// side has noticed the end: it is never told that a battle runs (after a draw it would wait for moves that never
// come), but is answered from the waiting room and plays the next round with everyone.
TEST(HostileSides, AJoinAfterTheLastStepWaitsForTheNextRound) {
    constexpr ConnId kLate = 9;
    struct Row {
        const char* what;
        // Brings the battle to the packet that ends it on the copy and sends that packet, which reaches every
        // side; nobody ticks before the join comes.
        std::function<void(Table&)> end;
    };
    auto giveUp = [](int seat) {
        MoveQzBody b{MoveCand{}, seat};
        MakeGiveUpMove(b.move, seat);
        return b;
    };
    auto askPeace = [](Table& t) {
        t.Raw(2, EncodeSeatWord(Word::kPeaceRequest, 2));
        AnswerPeace(t.host(), true);
        t.Settle();
    };
    const Row rows[] = {
        {"a draw agreed before the first step",
         [askPeace](Table& t) {
             askPeace(t);
             EXPECT_EQ(t.copy().battleRunning, 1);
             AnswerPeace(*t.sides[1]->g, true);
             t.Carry();
         }},
        {"a draw agreed by the last answer",
         [askPeace](Table& t) {
             t.Turn(0);
             askPeace(t);
             EXPECT_EQ(t.copy().battleRunning, 1);
             AnswerPeace(*t.sides[1]->g, true);
             t.Carry();
         }},
        {"a team without pieces: its second seat gives up",
         [giveUp](Table& t) {
             t.Turn(0);
             EXPECT_TRUE(t.UntilTurnOf(1));
             t.Move(giveUp(1));
             t.Settle();
             EXPECT_TRUE(t.UntilTurnOf(3));
             t.Move(giveUp(3));
             t.Carry();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Table t;
        t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
        ASSERT_TRUE(t.StartBattle());
        row.end(t);
        ASSERT_EQ(t.copy().battleRunning, 0);
        ASSERT_EQ(t.host().netState, kNetBattle);
        t.relay().Connected(kLate, "10.0.0.7", 700);
        t.literal.emplace(kLate, LiteralSide(3));
        t.AddSide(3, kLate);
        t.Carry();
        // Seat 2's side, having seen the end, asks for the next round.
        t.Raw(2, EncodeJoin(Rec(2)));
        t.Settle();
        const LiteralSide& late = t.literal.at(kLate);
        // Told of a battle, the literal side would run it, or end it itself.
        EXPECT_FALSE(late.running());
        EXPECT_EQ(late.endedAt(), -1);
        EXPECT_EQ(late.steps(), 0);
        EXPECT_FALSE(late.refused());
        EXPECT_EQ(t.relay().SeatOfConnection(kLate), 3);
        EXPECT_EQ(late.seatRecord(3).state, 1);
        EXPECT_EQ(t.sides[3]->g->netState, kNetWaiting);
        EXPECT_EQ(t.sides[3]->g->battleRunning, 0);
        // The next round, with the new side in it.
        ASSERT_TRUE(t.StartBattle());
        EXPECT_EQ(t.relay().Seat(3).state, 1);
        for (int i = 0; i < 8; ++i) t.Turn(i);
        ExpectAllAgree(t);
    }
}

// The host's player set the move time to 0 (the slider allows it) and the turns backwards, changes the move
// time to 20 once the waiting room is open and again in the middle of the battle; our side at seat 1 has 10 of
// its own. The round's times and turn order, cleaned up when the host opened its waiting room, run every side's
// clock and the host's copy: seat 1's own time-out goes through the host's check, and a side that joins later
// times its turn alike. The host's own setting stays for the next round.
TEST(HostileSides, OneSetOfBattleTimesForTheRound) {
    constexpr ConnId kLate = 9;
    Table t([](GameState& h) { h.optionsRecord.netMoveTimeOption = 0, h.optionsRecord.turnDirectionOption = -1; });
    GameState& one = *t.sides[1]->g;
    one.optionsRecord.netMoveTimeOption = one.netMoveTime = 10;
    t.host().optionsRecord.netMoveTimeOption = 20;
    ASSERT_TRUE(t.StartBattle());
    EXPECT_EQ((std::vector<int>{t.copy().netMoveTime, one.netMoveTime, t.host().netMoveTime}),
              (std::vector<int>{30, 30, 30}));
    EXPECT_EQ(t.host().optionsRecord.netMoveTimeOption, 20);
    EXPECT_EQ((std::vector<int>{t.copy().turnDirection, one.turnDirection, t.host().turnDirection}),
              (std::vector<int>{-1, -1, -1}));
    ASSERT_TRUE(t.UntilTurnOf(1));
    const int steps = t.copy().stepCount;
    AllClocksOn(t, 11);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, steps);  // nothing sent, nothing refused
    EXPECT_NE(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kTooEarly, 1));
    AllClocksOn(t, 20);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, steps + 1);
    EXPECT_EQ(t.copy().stepRecords[steps].fromX, kTimeoutCoord);

    t.host().optionsRecord.netMoveTimeOption = 5;
    t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
    t.relay().Connected(kLate, "10.0.0.7", 700);
    t.literal.emplace(kLate, LiteralSide(3));
    t.AddSide(3, kLate);
    t.Settle();
    EXPECT_EQ(t.sides[3]->g->netMoveTime, 30);
    ASSERT_TRUE(t.UntilTurnOf(3));
    const int before = t.copy().stepCount;
    AllClocksOn(t, 6);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, before);
    AllClocksOn(t, 25);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, before + 1);
    EXPECT_EQ(t.host().optionsRecord.netMoveTimeOption, 5);
    ExpectAllAgree(t);
}

// Our side at seat 1 sends a move the host refuses (an outcome the pieces do not give; a time-out a moment
// before the host's clock has run out): it is told where the battle stands, has its turn back, and its next
// move is relayed; its clock runs on in the same turn, so a refused time-out goes out again until the host
// takes it.
TEST(HostileSides, ARefusedSideIsPutBackInStep) {
    Table t;
    ASSERT_TRUE(t.StartBattle());
    ASSERT_TRUE(t.UntilTurnOf(1));
    GameState& one = *t.sides[1]->g;
    MoveQzBody b = *test::QuietMove(t.copy(), 0);
    b.move.outcome = kMoverRemoved;
    one.netMoveRecord = b.move;
    SendNetMessage(one, "MoveQz", 1);
    const int steps = t.copy().stepCount;
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, steps);
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kFalseOutcome, 1));
    EXPECT_EQ(one.netMyTurn, 1);
    one.netMoveRecord = test::QuietMove(t.copy(), 0)->move;
    SendNetMessage(one, "MoveQz", 1);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, steps + 1);

    // Seat 1's clock runs two seconds ahead of the host's.
    ASSERT_TRUE(t.UntilTurnOf(1));
    const int before = t.copy().stepCount;
    AllClocksOn(t, 29);
    t.sides[1]->ui.clock.seconds += 2;
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, before);
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kTooEarly, 1));
    // The answer restarted nothing: with its clock run out, its time-out is on its way again.
    EXPECT_EQ(one.netMyTurn, 0);
    EXPECT_EQ(t.sides[1]->ui.timeRemaining, "0");
    AllClocksOn(t, 31);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, before + 1);

    // A move refused 20 s into the turn: the side's clock runs on, its own time-out goes out 31 s after the
    // turn began.
    ASSERT_TRUE(t.UntilTurnOf(1));
    const int late = t.copy().stepCount;
    AllClocksOn(t, 20);
    b = *test::QuietMove(t.copy(), 0);
    b.move.outcome = kMoverRemoved;
    one.netMoveRecord = b.move;
    SendNetMessage(one, "MoveQz", 1);
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, late);
    AllClocksOn(t, 11);
    t.Settle();
    ASSERT_EQ(t.copy().stepCount, late + 1);
    EXPECT_EQ(t.copy().stepRecords[late].fromX, kTimeoutCoord);
    for (int i = 0; i < 6; ++i) t.Turn(i);
    ExpectAllAgree(t);
}

// The host gives our side's seat 1 to the computer for its time: in the deployment, not deployed in the deploy
// time and the grace; in the battle, silent through its turn (nothing it sends reaches the host) for longer than
// the disconnect time (20 s, within the move time). The side leaves and tells its player that reason, in the
// status bar and in a box, not the fourth time-out's.
TEST(HostileSides, ASideHandedOverIsToldWhy) {
    struct Told : LanUi {
        void ExplainLeaving(const std::string& text) override { box.push_back(text); }
        std::vector<std::string> box;
    };
    const std::string seatGone = std::string(11, ' ') + Gb("\n您的位置已由计算机接管。");
    for (const bool deploying : {true, false}) {
        SCOPED_TRACE(deploying ? "the deploy time" : "silence on its turn");
        Table t([](GameState& h) { h.optionsRecord.netDisconnectTimeOption = 20; });
        Told told;
        t.sides[1]->lan->SetUi(&told);
        if (deploying) {
            t.OpenDeployment();
            for (int s : {2, 3}) t.Raw(s, Army(s));
            ASSERT_TRUE(FinishOwnDeployment(t.host()));
            t.Settle();
            AllClocksOn(t, RoundTimes(t).deploy + kTurnGraceSeconds);
        } else {
            ASSERT_TRUE(t.StartBattle());
            ASSERT_TRUE(t.UntilTurnOf(1));
            t.hold.insert(1);
            AllClocksOn(t, RoundTimes(t).move + kTurnGraceSeconds);
        }
        t.Settle();
        ASSERT_EQ(t.relay().Seat(1).state, 0);
        GameState& one = *t.sides[1]->g;
        EXPECT_EQ(one.netConnected, 0);
        EXPECT_EQ(t.sides[1]->ui.status[3],
                  deploying ? Gb("布阵超时！自动退出网战。") : Gb("走棋时太久没有响应！自动退出网战。"));
        EXPECT_EQ(told.box, std::vector<std::string>{(deploying ? Gb("布阵时间已到，您还没有布阵完毕！")
                                                                : Gb("轮到您走棋时太久没有动静！")) +
                                                     seatGone});
        t.sides[1]->lan->SetUi(nullptr);
    }
}

// A player joins seat 3 just as the host's side is to deploy it for the computer: while the computer's formation
// for it is on its way (the seat was given up), or right after the host gave it to the computer at its deploy
// time-out (its old player heard why he lost it). Within the deploy time the seat is the player's: nobody frees
// it under him, the computer's formation does not count for it, the battle starts with his own, and he plays
// it. Once the deploy time has run out, his join waits: the battle starts with the computer's formation, and he
// plays the seat from there.
TEST(HostileSides, AJoinAsTheComputerDeploysASeat) {
    constexpr ConnId kLate = 9;
    for (const bool timedOut : {false, true}) {
        SCOPED_TRACE(timedOut ? "after the deploy time-out" : "the computer's formation on its way");
        Table t;
        t.OpenDeployment();
        t.Raw(2, Army(2));
        for (auto& s : t.sides)
            if (s) FinishOwnDeployment(*s->g);
        t.Settle();
        ASSERT_EQ(t.copy().battleRunning, 0);
        if (timedOut) {
            // Past the deploy time and the grace: the host gives seat 3 to the computer on this tick.
            AllClocksOn(t, RoundTimes(t).deploy + kTurnGraceSeconds);
            TickMainTimer(t.host());
            const std::vector<Packet> told = testing::CutPackets(t.links.written[ConnOf(3)]);
            ASSERT_FALSE(told.empty());
            EXPECT_EQ(told.back(), EncodeSeatWord(Word::kJoinCancel, 3));
            EXPECT_TRUE(t.links.closed.count(ConnOf(3)));
        } else {
            t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
        }
        ASSERT_EQ(t.relay().Seat(3).state, 0);
        // The host's side hears of the free seat and sends the computer's formation: it is held on the way.
        t.hold.insert(0);
        t.Settle();
        ASSERT_FALSE(t.sides[0]->link.written.empty());
        t.relay().Connected(kLate, "10.0.0.7", 700);
        t.literal.emplace(kLate, LiteralSide(3));
        t.AddSide(3, kLate);
        t.Settle();
        t.hold.clear();
        t.Settle();
        if (!timedOut) {
            EXPECT_EQ(t.copy().battleRunning, 0);
            EXPECT_EQ(t.relay().SeatOfConnection(kLate), 3);
            EXPECT_EQ(t.host().seatTable[3].state, 1);
            ASSERT_TRUE(FinishOwnDeployment(*t.sides[3]->g));
            t.Settle();
        }
        ASSERT_EQ(t.copy().battleRunning, 1);
        EXPECT_EQ(t.relay().SeatOfConnection(kLate), 3);
        EXPECT_EQ(t.host().seatTable[3].state, 1);
        EXPECT_EQ(t.sides[3]->g->deployPhase, 0);
        EXPECT_EQ(t.sides[3]->g->netState, kNetBattle);
        for (int i = 0; i < 8; ++i) t.Turn(i);
        ExpectAllAgree(t);
    }
}

// Somebody on seat 1's address takes the free seat 3, reads seat 1's name from its "JoinLast", leaves seat 3 and
// asks for seat 1 under that name: refused, and seat 1's player plays on.
TEST(HostileSides, NobodyTakesAPlayersSeatFromHisConnection) {
    constexpr ConnId kSpy = 9;
    Table t;
    t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3));
    ASSERT_TRUE(t.StartBattle());
    t.relay().Connected(kSpy, "10.0.0.1", 700);
    t.literal.emplace(kSpy, LiteralSide(3));
    t.Raw(3, EncodeJoin(Rec(3)), kSpy);
    t.Carry();
    const SeatRec held = t.literal.at(kSpy).seatRecord(1);
    t.Raw(3, EncodeSeatWord(Word::kJoinCancel, 3), kSpy);
    AllClocksOn(t, kRejoinPauseSeconds);
    SeatRec as = held;
    as.seat = 1;
    t.Raw(1, EncodeJoin(as), kSpy);
    t.Settle();
    EXPECT_TRUE(t.literal.at(kSpy).refused());
    EXPECT_EQ(t.relay().SeatOfConnection(ConnOf(1)), 1);
    EXPECT_FALSE(t.links.closed.count(ConnOf(1)));
    for (int i = 0; i < 8; ++i) t.Turn(i);
    EXPECT_EQ(t.sides[1]->g->netConnected, 1);
    ExpectAllAgree(t);
}

// Seat 1's connection dies in the battle: its seat is the computer's at once, and its turn is played
// without waiting. Then a squatter joins seat 3 (the computer's) and closes again, over and over, a second each:
// a turn of seat 3 waits only until the squatter has gone, and the battle goes on at about a step a second.
TEST(HostileSides, AClosedSideOrASquatterHoldsNothingUp) {
    Table t;
    for (int s : {2, 3}) t.Raw(s, EncodeSeatWord(Word::kJoinCancel, s));
    ASSERT_TRUE(t.StartBattle());
    ASSERT_TRUE(t.UntilTurnOf(1));
    t.relay().Closed(ConnOf(1));
    t.sides[1].reset();
    t.Settle();
    EXPECT_EQ(t.relay().Seat(1).state, 0);
    const int steps = t.copy().stepCount;
    ASSERT_TRUE(t.Turn(0));
    EXPECT_EQ(t.copy().stepCount, steps + 1);
    int squatter = 20, turns = 0;
    for (int second = 0; second < 40 && t.copy().battleRunning == 1; ++second) {
        AllClocksOn(t, 1);
        if (second % 2 == 0) {
            ++squatter;
            t.relay().Connected(squatter, "10.0.0.8", 800 + squatter);
            t.Raw(3, EncodeJoin(Rec(3)), squatter);
        } else {
            t.relay().Closed(squatter);
        }
        t.Settle();
        // The seat to move plays, unless the squatter sits on it.
        if (t.relay().SeatOfConnection(squatter) == t.copy().curSeat) continue;
        const int before = t.copy().stepCount;
        t.Turn(second);
        turns += t.copy().stepCount - before;
    }
    EXPECT_GE(turns, 30);
    ExpectAllAgree(t);
}

// The first seat's move comes right behind "AllSwitchEnd", in the same read: our side at seat 1 starts its
// battle before it applies the move, also when the host closes the connection right after (then it leaves).
TEST(HostileSides, AFirstMoveRightBehindTheBattleStart) {
    for (const bool hostGone : {false, true}) {
        SCOPED_TRACE(hostGone ? "the host closes right after" : "the connection stays");
        Table t;
        t.OpenDeployment();
        t.Raw(3, Army(3));
        for (int s : {0, 1}) ASSERT_TRUE(FinishOwnDeployment(*t.sides[s]->g));
        t.Settle();
        t.Raw(2, Army(2));
        ASSERT_EQ(t.copy().battleRunning, 1);
        const int first = t.copy().curSeat;
        ASSERT_TRUE(first == 2 || first == 3);
        t.Raw(first, EncodeMoveQz(*test::QuietMove(t.copy(), 0)));
        ASSERT_EQ(t.copy().stepCount, 1);
        GameState& one = *t.sides[1]->g;
        if (hostGone) {
            const std::vector<uint8_t> bytes = t.links.written[ConnOf(1)];
            t.sides[1]->lan->ClientReceived(bytes.data(), bytes.size());
            t.sides[1]->link.connected = false;
            t.sides[1]->lan->ClientClosed();
            for (int i = 0; i < 4 && t.sides[1]->lan->InboxSize() > 0; ++i) TickMainTimer(one);
            EXPECT_EQ(testing::AbsoluteSteps(one), testing::AbsoluteSteps(t.copy()));
            TickMainTimer(one);
            EXPECT_EQ(one.netConnected, 0);
        } else {
            t.Settle();
            ExpectAllAgree(t);
        }
    }
}

// Every turn ends on the host's clock once the move time and the grace have run out. Our side at seat 1 is late
// with its own time-out (its bytes are held): the host's comes first and every side applies it; seat 1's own is
// refused, and it plays on. Then a squatter holds seat 3, talking and never moving: each of its turns ends as
// its time-out with no packet from it, and the move it sends after is answered with where the battle stands.
// The fourth hands the seat to the computer; the squatter's address takes no seat for the rest of the round
// (on a new connection at once, and after the pause), while a player on another address takes it at once.
TEST(HostileSides, EveryTurnIsHeldToItsTimeOnTheHostsClock) {
    constexpr ConnId kSquatter = 9, kPlayer = 20;
    Table t;
    for (int s : {2, 3}) t.Raw(s, EncodeSeatWord(Word::kJoinCancel, s));
    ASSERT_TRUE(t.StartBattle());
    const LanTimes times = RoundTimes(t);
    ASSERT_TRUE(t.UntilTurnOf(1));
    const int before = t.copy().stepCount;
    t.hold.insert(1);
    AllClocksOn(t, times.move + kTurnGraceSeconds - 1);  // its time-out goes inside the grace
    t.Settle();
    AllClocksOn(t, 1);
    t.Settle();
    ASSERT_EQ(t.copy().stepCount, before + 1);
    t.hold.clear();
    t.Settle();
    EXPECT_EQ(t.copy().stepCount, before + 1);
    EXPECT_EQ(t.sides[0]->ui.status[3], HostReferee::VerdictText(Verdict::kNotToMove, 1));

    t.relay().Connected(kSquatter, "10.0.0.8", 800);
    t.literal.emplace(kSquatter, LiteralSide(3));
    t.Raw(3, EncodeJoin(Rec(3)), kSquatter);
    t.Settle();
    ASSERT_EQ(t.relay().SeatOfConnection(kSquatter), 3);
    for (int n = 1; n <= kTimeoutsPassed + 1; ++n) {
        ASSERT_TRUE(t.UntilTurnOf(3, n));
        const int steps = t.copy().stepCount;
        AllClocksOn(t, times.move + kTurnGraceSeconds - 1);
        t.Raw(3, EncodeChat({3, "still here"}), kSquatter);
        t.Settle();
        ASSERT_EQ(t.copy().stepCount, steps);
        AllClocksOn(t, 1);
        t.Settle();
        if (n > kTimeoutsPassed) break;
        ASSERT_EQ(t.copy().stepCount, steps + 1);
        EXPECT_EQ(t.copy().stepRecords[steps].fromX, kTimeoutCoord);
        ExpectAllAgree(t);
        t.Raw(3, EncodeMoveQz(test::InSenderView(test::LegalMoves(t.copy(), false, 3).at(0), 3)), kSquatter);
        EXPECT_EQ(t.copy().stepCount, steps + 1);
        EXPECT_EQ(PacketWord(testing::CutPackets(t.links.written[kSquatter]).back()), Word::kJoinLast);
        t.Settle();
    }
    ASSERT_EQ(t.relay().Seat(3).state, 0);
    EXPECT_TRUE(t.links.closed.count(kSquatter));
    // The host's computer plays seat 3's turn, long over.
    test::FakeComputer computer;
    PlayForTheHost(t, computer);
    t.Settle();
    EXPECT_NE(t.copy().curSeat, 3);
    t.host().computer = nullptr;
    for (const int pause : {0, kRejoinPauseSeconds}) {
        AllClocksOn(t, pause);
        const ConnId again = kSquatter + 1 + pause;
        t.relay().Connected(again, "10.0.0.8", 900 + pause);
        t.literal.emplace(again, LiteralSide(3));
        t.Raw(3, EncodeJoin(Rec(3)), again);
        t.Settle();
        EXPECT_TRUE(t.literal.at(again).refused());
        EXPECT_EQ(t.relay().Seat(3).state, 0);
    }
    t.relay().Connected(kPlayer, "10.0.0.5", 500);
    t.literal.emplace(kPlayer, LiteralSide(3));
    t.AddSide(3, kPlayer);
    t.Settle();
    EXPECT_EQ(t.relay().SeatOfConnection(kPlayer), 3);
    const int steps = t.copy().stepCount;
    for (int i = 0; i < 8; ++i) t.Turn(i);
    EXPECT_EQ(t.copy().stepCount, steps + 8);
    ExpectAllAgree(t);
}

// While the host starts the round, deploys for its computer and times out a silent player, the others send on
// every tick: seat 2 its own "Join" again (it never deploys), seat 3 its deployment again, and a connection
// without a seat asks for seat 3 and gives it up. None of it is relayed twice, and none of it puts off seat 2's
// deploy time-out: what changes nothing, or comes from others, is not its player's word.
TEST(HostileSides, TheHostsDutiesKeepTheirTimeUnderAStreamOfPackets) {
    constexpr ConnId kChurn = 9;
    Table t;
    t.relay().Connected(kChurn, "10.0.0.9", 900);
    auto stream = [&t] {
        t.Raw(2, EncodeJoin(Rec(2)));
        t.Raw(3, Army(3));
        Packet churn = EncodeJoin(Rec(3));
        const Packet cancel = EncodeSeatWord(Word::kJoinCancel, 3);
        churn.insert(churn.end(), cancel.begin(), cancel.end());
        t.Raw(3, churn, kChurn);
    };
    t.host().netState = kNetWaiting;
    HostStartsBattle(t.host());
    for (int i = 0; i < 4; ++i) stream(), TickMainTimer(t.host()), t.Carry();
    t.Settle();
    for (int s : {0, 1}) ASSERT_TRUE(FinishOwnDeployment(*t.sides[s]->g));
    const int packets = t.literal.at(ConnOf(1)).packets();
    const LanTimes times = RoundTimes(t);
    int waited = 0;
    for (; waited <= times.deploy + times.disconnect + 10 && t.copy().battleRunning == 0; waited += 5) {
        AllClocksOn(t, 5);
        for (int i = 0; i < 3; ++i) stream(), TickMainTimer(t.host()), t.Carry();
        t.Settle();
    }
    EXPECT_GE(waited, times.deploy - 5);
    EXPECT_LE(waited, times.deploy + 5);
    ASSERT_EQ(t.copy().battleRunning, 1);
    EXPECT_EQ(t.relay().Seat(2).state, 0);
    EXPECT_TRUE(t.links.closed.count(kChurn));
    // Besides the hand-over, the computer's formation and the battle's start, nothing new reached seat 1.
    EXPECT_LE(t.literal.at(ConnOf(1)).packets() - packets, 6);
    for (int i = 0; i < 6; ++i) t.Turn(i);
    ExpectAllAgree(t);
}

// Fresh connections ask for seat 3 (the computer's) and close, 140 of them on every turn while nobody reads:
// the notices about them cancel out in the queues, no honest side is closed, the host's own connection least
// of all, and the battle runs to its end with the same result on both honest sides.
TEST(HostileSides, AChurnOfFreshConnectionsHoldsNobodyUp) {
    Table t;
    for (int s : {2, 3}) t.Raw(s, EncodeSeatWord(Word::kJoinCancel, s));
    ASSERT_TRUE(t.StartBattle());
    const int packets = t.literal.at(ConnOf(1)).packets();
    ConnId churn = 100;
    int steps = 0;
    for (int turn = 0; turn < 600 && t.copy().battleRunning == 1; ++turn) {
        t.links.takeAtMost = 0;
        for (int i = 0; i < 140; ++i, ++churn) {
            t.relay().Connected(churn, "10.0.0.9", static_cast<int>(churn % 60000));
            t.Raw(3, EncodeJoin(Rec(3)), churn);
            t.relay().Closed(churn);
        }
        t.links.takeAtMost = SIZE_MAX;
        for (ConnId id : {kOwn, ConnOf(1)}) t.relay().Writable(id);
        t.Turn(turn);
        steps = std::max(steps, t.copy().stepCount);
    }
    for (ConnId id : {kOwn, ConnOf(1)}) EXPECT_FALSE(t.links.closed.count(id)) << id;
    // Seat 1 heard the battle's steps and the next waiting room, nothing of the churn.
    EXPECT_LE(t.literal.at(ConnOf(1)).packets() - packets, steps + 10);
    ASSERT_EQ(t.sides[0]->ui.results.size(), 1u);
    ASSERT_EQ(t.sides[1]->ui.results.size(), 1u);
    const int r = t.sides[0]->ui.results[0];
    EXPECT_EQ(t.sides[1]->ui.results[0], r == 2 ? r : 1 - r);
}

// Seat 2 reads nothing and chats on the computer's turn (seat 3): the host's computer waits for its queue a
// second, then moves. The host's duties go on while its own side is between LAN games.
TEST(HostileSides, ASlowReaderCannotHoldTheComputersTurn) {
    Table t;
    test::FakeComputer computer;
    ASSERT_TRUE(AtTheComputersTurn(t, computer));
    t.links.budget[ConnOf(2)] = 0;
    t.Raw(2, EncodeChat({2, "slow"}));
    const int steps = t.copy().stepCount;
    t.Settle();
    EXPECT_EQ(computer.resumes, 0);
    AllClocksOn(t, 1);
    t.Settle();
    EXPECT_EQ(computer.resumes, 1);
    EXPECT_EQ(t.copy().stepCount, steps + 1);
    t.links.budget.clear();
    t.relay().Writable(ConnOf(2));
    t.Settle();
    ExpectAllAgree(t);
    t.host().computer = nullptr;

    t.relay().Connected(40, "10.0.0.9", 940);
    t.host().netConnected = 0;
    AllClocksOn(t, kSeatlessSeconds + 1);
    TickMainTimer(t.host());
    EXPECT_TRUE(t.links.closed.count(40));
}

// A battle against the computer left at step 9, then a LAN game: it starts at step 0 everywhere.
TEST(HostileSides, ANewLanGameStartsAtStepZero) {
    Table t([](GameState& h) {
        h.stepCount = 9;
        for (int e = 0; e < 9; ++e) h.stepRecords[e] = StepRec{0, 0};
    });
    EXPECT_EQ(t.host().stepCount, 0);
    EXPECT_EQ(t.sides[0]->ui.status[2], Gb("当前已走：0 步"));
    EXPECT_EQ(t.copy().stepCount, 0);
    for (auto& [conn, side] : t.literal) EXPECT_EQ(side.steps(), 0) << "connection " << conn;
    EXPECT_EQ(t.sides[1]->g->stepCount, 0);
    ASSERT_TRUE(t.StartBattle());
    for (int i = 0; i < 4; ++i) t.Turn(i);
    ExpectAllAgree(t);
}

}  // namespace
}  // namespace jq::net
