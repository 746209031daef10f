// The host's relay: every packet a side sends reaches the host here. The
// relay owns the match: the seats and which connections hold them, the
// round's phase, the battle's times, each seat's time-outs, the peace vote
// and its own copy of the battle (a HostReferee), to which every packet is
// applied as it is queued for relaying. It answers a "Join" with "JoinLast"
// (or "JoinRefuse"), relays every other packet that holds on its copy to the
// occupied seats in the order it took them, and builds the host's own
// packets ("AllSwitchEnd", "MaxStepLimited", the peace decision, the
// "JoinCancel" of a seat it gives to the computer). The host's own side is a
// side like any other: it learns seats, phase and times from what it
// receives, and what the host does by itself (starting a round, a deploy or
// disconnect time-out, giving a seat to the computer) is done here.
//
// The relay passes on only what every side can apply on that copy: a move
// only in a running battle, from the connection that holds the seat to
// move, legal, with the outcome the pieces give; a give-up only from the
// seat to move; a time-out only once that seat's move time has run out on
// the host's clock, the fourth of a seat in one battle (whoever held it)
// handing it to the computer; peace words only while the battle runs; a
// seat's deployment once, while the seats deploy. Anything else is not
// relayed and the status line says why. A refused move from a seated
// connection is answered with "JoinLast" from the copy (at most about one a
// second per connection), so that side is back in step and, if it is to
// move, has its turn back.
//
// Every turn is held to the move time on the host's clock: once a person's
// seat to move has had its move time and kTurnGraceSeconds more (from his
// join, if he joined in the turn), the host ends the turn as that seat's
// time-out, with the packet its own side would send, relayed to everybody
// and applied to the copy like any step; a move that comes later is refused
// and answered. The silence rules are each seat's own: only a packet taken
// from the seat's own connection that changes something (not a "Join"
// taken already, nor a deployment sent again) counts as its player heard. A
// remote player who has not deployed in the deploy time since the
// deployment began or he joined, whichever came later, or since his last
// word (which puts it off by the disconnect time at most), and a player
// silent on his turn for longer than the disconnect time, are handed over
// to the computer.
//
// The battle's times are fixed when the host's own side opens the round's
// waiting room, from the host's options through the options' sanitiser:
// every "JoinLast" of that round and its "AllSwitchEnd" carry them and the
// copy judges with them. A change of the options applies from the next
// round.
//
// Seats are bound to connections. A connection holds the seat it joined; a
// remote connection holds at most one seat, takes only a free seat (never
// seat 0, and never one that another connection holds: a live connection is
// never closed in favour of a new one), and every seat it names must be its
// own. A remote address whose connection gave up or lost a seat takes none
// again for kRejoinPauseSeconds, however many connections it opens: a
// "Join" that comes within the pause waits and is answered once it is over.
// The host sets the state and the deployment of a
// remote seat itself: it joins as a person's seat not yet deployed. The
// host's own side (the connection the socket layer names as its own
// client's, SetOwnConnection) sits at seat 0 and speaks besides
// for the seats the computer holds when the relay takes its packet; it
// never counts as a connection without a seat.
//
// A connection that closes, or that the host closes (it holds the others
// back or breaks the rules), frees its seat for the computer as soon as the
// whole packets it sent before have been taken, in any phase of the round;
// the others are told with the "JoinCancel" its own side would have sent.
// Its player may take a free seat again, his own included, after his
// address's pause. A player the host hands over for his time (a deploy
// time-out, silence on his turn, the fourth time-out) is told with the
// seat's "JoinCancel" before his connection is closed, and his address
// takes no seat for the rest of the round, so he cannot hold the battle up
// again; anybody else may take that seat at once. A seat's "Join" for the
// next round, and any join once the battle has ended on the copy, waits
// until the host's side opens the next round.
// A "Join" that a connection has already had taken in this round changes
// nothing and is not relayed again.
//
// Each connection's flow (its framer, queue, pacing, read pauses, limits and
// closing) is HostConnections' business (net/host/hostlinks.h): the relay tells it
// which connections hold a seat and takes the packets it hands over, one at
// a time. A connection without a seat gets at most kMaxRefusals refusals.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/options.h"
#include "net/host/hostlinks.h"
#include "net/lan.h"
#include "net/host/referee.h"

namespace jq::net {

// "JoinRefuse" answers a connection gets before it is closed instead.
constexpr int kMaxRefusals = 3;
// Seconds a remote address that gave up or lost a seat waits before it may
// take one.
constexpr int kRejoinPauseSeconds = 3;
// Seconds between two answers to refused moves of one connection.
constexpr double kResyncPauseSeconds = 1.0;

class HostRelay : private ConnectionUser {
public:
    HostRelay(GameState& host, ServerLinks& links);

    // Socket events.
    void Connected(ConnId id, const std::string& address, int port);
    void Received(ConnId id, const uint8_t* data, size_t size);
    void Writable(ConnId id);
    void Closed(ConnId id);

    // The connection is the host's own: the socket layer accepted it from
    // its own client socket (nothing another client sends can make it so).
    void SetOwnConnection(ConnId id);

    // Whether the socket layer should read this connection's bytes now. When
    // it turns true again the relay calls ServerLinks::Resume.
    bool Accepting(ConnId id) const;
    // Packets accepted for a connection that holds a seat (the host's own
    // included) and that it has not taken yet. Connections without a seat
    // never hold the host back.
    bool Pending() const;
    // The computer's seats wait for the queues: the host's own side has not
    // taken everything, or a remote side has had something to take for less
    // than about a second.
    bool ComputerWaits() const { return conns_.ComputerWaits(); }
    // The host's duties, on every tick of its main timer whatever its own
    // side received: closes the connections that hold the battle back or
    // have no business with it (a seated one whose queue has not moved for
    // the disconnect time, one without a seat for too long), ends the turns
    // that have run out, gives to the computer the seats whose players have
    // not deployed in time or are silent on their turn,
    // sends the answers owed to refused sides, lets waiting senders go on,
    // and hands waiting bytes to their connections.
    void Tick();
    // Hands waiting bytes to their connections.
    void Flush();
    // Whether any connection is open.
    bool HasConnections() const;
    // Closes every connection and stops listening.
    void StopListening();
    // The seat a connection holds, -1 none.
    int SeatOfConnection(ConnId id) const;
    // The seat table as the relay keeps it.
    const SeatRec& Seat(int seat) const { return seats_[IsValidSeat(seat) ? seat : 0]; }
    // The times of the round under way (or of the next one, in the waiting
    // room).
    LanTimes Times() const { return times_; }
    // The host's copy of the battle, as far as the relay has sent it.
    const GameState& Referee() const { return referee_.Game(); }

private:
    // What the match knows of a connection.
    struct Player {
        int seat = -1;
        int refusals = 0;
        // The round in which its "Join" was taken.
        int joinedRound = -1;
        // A refused move is to be answered with "JoinLast"; when the last
        // answer went.
        bool answerOwed = false;
        double answeredAt = -1e9;
    };

    // ConnectionUser.
    int64_t NowMs() const override;
    void Take(ConnId id, const Packet& p) override;
    void Lost(ConnId id, bool byHost, const std::string& gbStatus) override;
    void Settle() override { TellFreedSeats(); }

    bool Own(ConnId id) const { return conns_.IsOwn(id); }
    void Handle(ConnId id, Player& c, const Packet& p);
    void HandleJoin(ConnId id, Player& c, const Packet& p);
    void HandleOwnJoin(ConnId id, Player& c, SeatRec rec);
    void StartRound(const Packet& joinOk);
    void HandleSwitchEnd(const Packet& p);
    void HandleMove(ConnId id, Player& c, int seat, const Packet& p);
    // Judges a step of `seat` and carries it out: relayed and applied to the
    // copy, the seat handed over at its fourth time-out, or the battle ended
    // at the step limit. False when it is refused (the status line says why).
    bool TakeStep(int seat, const Packet& p);
    // The seat's turn has run out: the host sends its time-out for it.
    void TimeOutTurn(int seat);
    void HandleJoinCancel(ConnId id, int seat, const Packet& p);
    // The seat goes to the computer for its player's time: seat 0 released
    // (still the host side's), any other freed, its connection closed and
    // its player's address taking no seat for the rest of the round; its
    // "JoinCancel" is queued to the others, all at once.
    void HandOverSeat(int seat);
    // The seat's record freed and its connection unbound from it; a remote
    // address takes no seat for a while.
    void FreeSeat(int seat);
    // A "Join" that may be taken only later waits (one per connection).
    void Wait(ConnId id, const Packet& join);
    // The seat's holder said something that changed something.
    void Heard(int seat);
    void HandlePeaceRequest(int seat, const Packet& p);
    void HandlePeaceAnswer(int seat, Word w);
    void DecidePeace(bool refused);
    void ClearPeace();
    // The seat a seat-carrying packet names, if the connection may name it.
    std::optional<int32_t> AllowedSeat(ConnId id, const Player& c, const Packet& p) const;
    bool Occupied(int seat) const { return seats_[seat].state != 0; }
    void QueueToSeat(int seat, const Packet& p);
    void QueueToOccupied(const Packet& p);
    void QueueTo(ConnId id, const Packet& p) { conns_.Queue(id, p); }
    // The seat of a connection that goes is free, and its "JoinCancel" is
    // told once the packet under way has been queued.
    void FreeSeatOf(ConnId id, Player& c);
    void TellFreedSeats();
    // Forgets closed connections (outside any loop over them).
    void Sweep();
    void SetSeat(ConnId id, Player& c, int seat);
    int64_t Now() const;
    double NowSeconds() const;
    void CheckTimeouts();
    // A refused move of a seated connection is answered with "JoinLast",
    // now or once the last answer is far enough back.
    void OweAnswer(ConnId id, Player& c);
    void SendOwedAnswers();
    // The joins that waited for the next round, taken now.
    void AdmitWaitingJoins();
    Packet BuildJoinLast() const;

    GameState& g_;
    HostReferee referee_;
    HostConnections conns_;
    std::map<ConnId, Player> players_;
    SeatRec seats_[kSeats];
    ConnId seatConn_[kSeats] = {-1, -1, -1, -1};
    // The entry points under way: closed connections are forgotten when it
    // falls to 0.
    int depth_ = 0;
    // Each round begins with the host's own "Join".
    int round_ = 0;
    // Fixed when the host starts the round.
    LanTimes times_;
    int32_t firstSeat_ = 0;
    int32_t turnDirection_ = 1;
    // For each seat: since when its holder has had his time (his join, or
    // the deployment's start, whichever came later), and when a packet of
    // his that changed something was last taken (the host's silence rules
    // count from it).
    int64_t seatSince_[kSeats] = {};
    int64_t heard_[kSeats] = {};
    // Joins that wait for the next round or for their address's pause.
    std::vector<std::pair<ConnId, Packet>> waitingJoins_;
    // Addresses whose player the host handed over for his time in this
    // round: they take no seat until the next. And before when an address
    // whose connection gave up or lost its seat may take one again.
    std::set<std::string> lockedAddresses_;
    std::map<std::string, int64_t> rejoinAfter_;
    // Seats whose deployment counts in this round; "AllSwitchEnd" goes out
    // once, when all four are in.
    bool deployedSeen_[kSeats] = {};
    bool allDeployedSent_ = false;
    // Seats freed whose "JoinCancel" is still to be queued.
    std::vector<int> freedSeats_;
    // The draw offer under vote, each seat's vote, and each seat's offers in
    // this battle.
    bool peaceOpen_ = false;
    int peaceVotes_[kSeats] = {};
    int peaceRequests_[kSeats] = {};
};

}  // namespace jq::net
