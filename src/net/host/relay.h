// The host's relay: every packet a side sends reaches the host here. The
// relay owns the match: who holds each seat (one table), the round's phase,
// the battle's times, its players' time-outs, the peace vote and its own copy
// of the battle (a HostReferee), to which every packet is applied as it is
// queued for relaying. It answers a "Join" with "JoinLast"
// (net/host/joinlast.h) or "JoinRefuse"; a seat taken or given up (a "Join" taken, a "JoinCancel",
// a closed connection) reaches the other sides as a notice of the seat
// table (net/host/seattable.h: who holds each seat and what each side was
// told), not relayed. Every other packet that holds on its copy it relays
// to the occupied seats in the order it took them, and it builds the
// host's own packets ("AllSwitchEnd", "MaxStepLimited", the peace decision,
// a time-out it ends a turn with). The host's own side is a side like any
// other: it learns seats, phase and times from what it receives, and what
// the host does by itself (starting a round, a time-out, giving a seat to
// the computer) is done here. A word the relay does not take from the
// host's side is answered with the truth, as any side's: a move with
// "JoinLast", a computer seat's formation with the seat's notice when the
// seat stands otherwise than that side now holds it.
//
// The relay passes on only what every side can apply on its copy: a move
// only in a running battle, from the connection that holds the seat to
// move, legal, with the outcome the pieces give, and begun (its first byte
// received) in the turn it is for; a give-up only from the seat to move; a
// time-out only once that seat's time has run out on the host's clock, the
// fourth of its player handing the seat to the computer (whose time-outs
// count, and what count a time-out carries: PlayerTimeouts,
// net/host/timeouts.h); peace words only while the battle runs; a seat's
// deployment once, while the seats deploy. Anything else is not relayed and the status
// line says why. A refused move from a seated connection is answered with
// "JoinLast" from the copy, so that side is back in step and, if it is to
// move, has its turn back (when: OwedAnswers, net/host/owedanswers.h). The
// peace vote's rules are PeaceVote's (net/host/peacevote.h).
//
// A turn's and the deployment's time is the seat's (net/lan.h), and the
// phase clock (net/host/phaseclock.h) says when it is over, in milliseconds
// on the host's clock, and which joins bring the seat's whole time (the
// others wait until the turn, the deployment, is over). A player who gives
// his seat up in his turn once its time is over with his three time-outs
// passed loses it at his fourth time-out, as if the host had ended the
// turn. What else ends a phase for a seat (its time-out, silence through
// its turn, no deployment in time) is net/host/phaseend.h's.
//
// The battle's times are fixed when the host's own side opens the round's
// waiting room, from the host's options through the options' sanitiser:
// every "JoinLast" of that round and its "AllSwitchEnd" carry them and the
// copy judges with them. A change of the options applies from the next
// round.
//
// Seats are bound to connections. A remote connection holds at most one
// seat and takes only a free seat (never seat 0, and never one that another
// connection holds: a live connection is never closed in favour of a new
// one); every seat it names must be its own (who may send what:
// net/host/senders.h). When a join is refused ("JoinRefuse", at most
// kMaxRefusals times, then closed), when it waits and in which order joins
// wait and are taken, and who keeps a place to wait, is the join gate's
// (net/host/joingate.h): the relay asks it. Its join waits (and is answered
// later) while the phase clock does not let a join into the seat's turn or
// the deployment (the seat's own holder's join for the new round
// included), and once the battle has ended on the copy, until the host's
// side opens the next round. The host sets
// the state and the deployment of a remote seat
// itself: it joins as a person's seat not yet deployed. The host's own side
// (the connection the socket layer names as its own client's,
// SetOwnConnection) sits at seat 0 and speaks besides for the seats the
// computer holds when the relay takes its packet.
//
// A connection that closes, or that the host closes, frees its seat for the
// computer as soon as the whole packets it sent before have been taken, in
// any phase of the round. A player the host hands over for his time (a
// deploy time-out, silence on his turn, the fourth time-out) hears the
// seat's "JoinCancel" before his connection is closed.
//
// A chat line waits at its sender and goes on to the occupied seats at that
// sender's share of the chat rate, from the tick or when a line arrives
// (ChatShare, net/host/chatshare.h); the lines of a sender that loses its
// seat go nowhere. Each connection's flow (its framer, queue, pacing, read
// pauses, limits and closing) is HostConnections' business
// (net/host/connections.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/options.h"
#include "net/host/chatshare.h"
#include "net/host/connections.h"
#include "net/host/joingate.h"
#include "net/host/owedanswers.h"
#include "net/host/peacevote.h"
#include "net/host/referee.h"
#include "net/host/phaseclock.h"
#include "net/host/seattable.h"
#include "net/host/timeouts.h"
#include "net/lan.h"

namespace jq::net {

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
    // The computer's seats wait for the queues (PhaseClock::ComputerWaits).
    bool ComputerWaits() const {
        return clock_.ComputerWaits(NowMs(), conns_.OwnUntaken(), conns_.RemoteUntakenSince());
    }
    // The host's duties, on every tick of its main timer whatever its own
    // side received: closes the connections that hold the battle back or
    // stay idle, ends the turns whose time has run out, gives to the
    // computer the seats whose players have not deployed in time or are
    // silent through their turn, takes the joins that waited, sends the
    // answers owed to refused sides, lets waiting senders go on, and hands
    // waiting bytes to their connections.
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
    const SeatRec& Seat(int seat) const { return holds_[IsValidSeat(seat) ? seat : 0].rec; }
    // Each seat's last holder in this round (what stands at the door), empty for none.
    const std::array<std::string, kSeats>& LastHolders() const { return gate_.LastHolders(); }
    // The host's copy of the battle, as far as the relay has sent it, and
    // whether the seats deploy on it.
    const GameState& Referee() const { return referee_.Game(); }
    bool Deploying() const { return referee_.Deploying(); }

private:
    // What the match knows of a connection; it lives and dies with it.
    struct MatchRecord : ConnectionRecord {
        int refusals = 0;
        // The round in which its "Join" was taken.
        int joinedRound = -1;
        // What its side holds of the seats (SeatTable::Told).
        SeatRec told[kSeats];
    };
    using Holding = SeatTable::Holding;

    // ConnectionUser.
    int64_t NowMs() const override;
    void Take(ConnId id, const Packet& p, int64_t firstByteMs) override;
    void Lost(ConnId id, const std::string& gbStatus) override;
    bool Seated(ConnId id) const override;
    bool Engaged(ConnId id) const override;
    int SeatsLastHeld(const std::string& address) const override;
    std::vector<Packet> SyncPoint(ConnId id, uint64_t stamp) override;
    void Sent(ConnId id, const Packet& p) override;

    MatchRecord* PlayerOf(ConnId id) { return static_cast<MatchRecord*>(conns_.Record(id)); }
    const MatchRecord* PlayerOf(ConnId id) const { return static_cast<const MatchRecord*>(conns_.Record(id)); }
    bool Own(ConnId id) const { return conns_.IsOwn(id); }
    void Handle(ConnId id, MatchRecord& c, const Packet& p, int64_t firstByteMs);
    void HandleJoin(ConnId id, MatchRecord& c, const Packet& p);
    void HandleOwnJoin(ConnId id, MatchRecord& c, SeatRec rec);
    // A phase begins (the deployment, the battle, a turn): the clock learns
    // who holds each seat.
    void NewPhase();
    // A "SwitchEnd" of the host's own side (its seat's or a computer
    // seat's).
    void HandleOwnFormation(ConnId id, MatchRecord& c, const Packet& p);
    void StartRound(const Packet& joinOk);
    void HandleSwitchEnd(const Packet& p);
    void HandleMove(ConnId id, MatchRecord& c, int seat, const Packet& p, int64_t firstByteMs);
    // Judges a step of `seat` and carries it out: relayed and applied to the
    // copy, the seat handed over at its fourth time-out, or the battle ended
    // at the step limit. False when it is refused (the status line says why).
    bool TakeStep(int seat, const Packet& p);
    void HandleJoinCancel(ConnId id, int seat);
    // The seat goes to the computer for its player's time: seat 0 released
    // (still the host side's), any other freed and its connection closed
    // after the seat's "JoinCancel"; its player's address takes that seat no
    // more in this round.
    void HandOverSeat(int seat);
    // The address of the person who holds the seat ("" when none does): the
    // time-outs on it are his.
    std::string PlayerAddress(int seat) const;
    // The seat is the computer's; a remote address takes no seat for a
    // while.
    void FreeSeat(int seat);
    // A "Join" that may be taken only later waits (one per connection); the
    // connection of the join that gave way for it (its own, maybe) is
    // closed.
    void PutOff(ConnId id, const Packet& join);
    // "JoinRefuse", or the connection closed once it has had enough of them.
    void Refuse(ConnId id, MatchRecord& c);
    // The seat's holder said something that changed something.
    void Heard(int seat);
    // The peace vote's wiring (PeaceVote decides): offers go to the seats
    // asked, a decision to every occupied seat.
    void HandlePeaceRequest(int seat, const Packet& p);
    void HandlePeaceAnswer(int seat, Word w);
    void DecidePeace(bool refused);
    // The seat passed to the computer: it answers an open offer as the
    // computer's seats do.
    void ComputerAnswersPeace(int seat);
    // The chat lines that may go on now go to the occupied seats.
    void ReleaseChat();
    bool Occupied(int seat) const { return holds_[seat].rec.state != 0; }
    void QueueToOccupied(const Packet& p);
    void QueueTo(ConnId id, const Packet& p) { conns_.Queue(id, p); }
    // The seat changed: every seated side has it to learn.
    void Changed(int seat);
    // Forgets closed connections (outside any loop over them).
    void Sweep();
    // Ends the phase for the seats whose time is over (net/host/phaseend.h).
    void CheckTimeouts();
    // A refused move of a seated connection is answered with "JoinLast",
    // now or on a later tick (OwedAnswers says when).
    void OweAnswer(ConnId id);
    // The answers owed that may go now, to `only` (-1: to every connection).
    void SendOwedAnswers(ConnId only);
    // The joins that waited, in the order they came, as far as they may be
    // taken now.
    void AdmitWaitingJoins();
    // From the copy and the seat table (net/host/joinlast.h).
    Packet BuildJoinLast() const;

    GameState& g_;
    HostReferee referee_;
    HostConnections conns_;
    // Who holds a seat: the one table.
    SeatTable holds_;
    // The entry points under way: closed connections are forgotten when it
    // falls to 0.
    int depth_ = 0;
    // Each round begins with the host's own "Join".
    int round_ = 0;
    // Fixed when the host starts the round.
    LanTimes times_;
    int32_t firstSeat_ = 0;
    int32_t turnDirection_ = 1;
    // When each seat's time in the deployment or its turn is over.
    PhaseClock clock_{referee_, times_};
    // Admission: pauses, last holders and the joins that wait.
    JoinGate gate_;
    // The players' time-outs, and the seats they were handed over from.
    PlayerTimeouts timeouts_;
    // The chat lines waiting at their senders.
    ChatShare chat_;
    // The draw offer under vote.
    PeaceVote peace_;
    // The answers owed to refused moves.
    OwedAnswers owed_;
};

}  // namespace jq::net
