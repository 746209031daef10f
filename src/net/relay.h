// The host's relay: every packet a side sends reaches the host here. The
// relay keeps the seat table and the peace vote current, answers a "Join"
// with "JoinLast" (or "JoinRefuse"), relays every other packet to the
// occupied seats in the order it received them, and builds the host's own
// packets ("AllSwitchEnd", "MaxStepLimited", the peace decision). The
// host's own side applies what comes back to it like every other side; the
// relay itself keeps its own copy of the battle (a HostReferee), to which
// every packet is applied as it is queued for relaying.
//
// The relay passes on only what every side can apply on that copy: a move
// only in a running battle, from the connection that holds the seat to
// move (the host's own side for its seat and the computer's), legal, with
// the outcome the pieces give; a give-up only from the seat to move; a
// time-out only once that seat's move time has run out on the host's clock,
// the fourth handing the seat to the computer; peace words only while the
// battle runs. Anything else is not relayed, the status line says why, and
// the seat keeps its turn. "JoinLast" is built from the copy, so it holds
// everything relayed before it.
//
// Seats are bound to connections. A connection holds the seat it joined;
// a remote connection holds at most one seat, may take a free seat or the
// one the same player holds (same address, seat and name: a player joining
// again on a new connection, while the old one may still look open, as a
// half-open connection after a network drop does), never seat 0, and every
// seat it names must be its own. When the same player takes his seat over,
// his old connection is closed. The host sets the state and the deployment
// of a remote seat itself: it joins as a person's seat not yet deployed.
// The host's own side (recognised by its client's address and port, also
// when it was accepted before that was known) may name any seat: it acts
// for the computer seats, and never counts as a connection without a seat.
//
// When a side closes its connection, the whole packets it sent before are
// still relayed, in their turn, as far as the queues have room; then it is
// freed. In the waiting room (before the host's "JoinOk" is relayed) a seat
// whose connection closes, however it closes, is free at once, and the
// others are told with the "JoinCancel" the seat's own side would have
// sent. Once a round is under way a closed connection keeps its seat (until
// a time-out or "JoinCancel") but gets nothing more.
//
// A deployment ("SwitchEnd") counts only while the deployment is under way,
// from the host's "JoinOk" to its "AllSwitchEnd". Each seat asks for a draw
// at most three times a battle; an answer counts only for an open request,
// once from each seat asked, and the votes are cleared when the request is
// decided and when a battle starts.
//
// One side cannot spoil the battle for the others. Packets are relayed one
// at a time, each sent on before the next is taken. A sender whose copies
// fill its share of some connection's queue is paused: its further packets
// wait in its framer (the socket layer reads nothing more from it, so the
// rest waits in the kernel) until the queues have room; a sender that
// still delivers more than kSenderBacklogBytes is closed. A seated
// connection whose queue is full, or has not emptied for the disconnect time,
// is closed. A connection without a seat never holds anything back: it gets
// at most kMaxRefusals refusals, is closed when it stays without a seat for
// kSeatlessSeconds, and at most kMaxSeatless such connections are open at a
// time (a new one closes the one that has waited longest).
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "net/lan.h"
#include "net/referee.h"

namespace jq::net {

// Each sender's copies may fill this much of any connection's queue: four
// seats together fill it exactly, so no sender waits for another's flood.
constexpr size_t kSenderShare = kOutboxLimit / 4;
// Bytes a paused sender may deliver beyond what has been relayed.
constexpr size_t kSenderBacklogBytes = 16 * 1024;
// "JoinRefuse" answers a connection gets before it is closed instead.
constexpr int kMaxRefusals = 3;
// Connections without a seat open at a time, and how long one may stay so.
constexpr int kMaxSeatless = 4;
constexpr int kSeatlessSeconds = 30;

class HostRelay {
public:
    HostRelay(GameState& host, ServerLinks& links);

    // Socket events.
    void Connected(ConnId id, const std::string& address, int port);
    void Received(ConnId id, const uint8_t* data, size_t size);
    void Writable(ConnId id);
    void Closed(ConnId id);

    // The host's own client end, once it has connected. A connection
    // already accepted from it is the host's own from now on.
    void SetOwnEndpoint(const std::string& address, int port);

    // Whether the socket layer should read this connection's bytes now. When
    // it turns true again the relay calls ServerLinks::Resume.
    bool Accepting(ConnId id) const;
    // Packets accepted for a connection that holds a seat (the host's own
    // included) and that it has not taken yet. Connections without a seat
    // never hold the host back.
    bool Pending() const;
    // Closes the connections that hold the battle back or have no business
    // with it: a seated one whose queue has not moved for the disconnect
    // time, one without a seat for too long. Called on every tick.
    void CheckConnections();
    // Hands waiting bytes to their connections.
    void Flush();
    // Whether any connection is open.
    bool HasConnections() const;
    // Closes the connection bound to `seat` (a time-out), if any.
    void CloseSeatConnection(int seat);
    // Closes every connection and stops listening.
    void StopListening();
    // A side whose battle has ended asks for the next round ("Join" on the
    // connection that holds its seat) while the host's side still plays the
    // last one; likewise any remote "Join" that comes once the battle has
    // ended on the copy, before the host's side has seen the end. Such a
    // "Join" waits until the host's side is back in the waiting room, and is
    // taken then. Called only while the host's side is in the waiting room:
    // the last round is over for the relay too.
    void AdmitWaitingJoins();
    // The seat a connection holds, -1 none.
    int SeatOfConnection(ConnId id) const;
    // The host's copy of the battle, as far as the relay has sent it.
    const GameState& Referee() const { return referee_.Game(); }

private:
    struct Queued {
        Packet packet;
        ConnId from = -1;  // whose packet it is relayed for, or answers
    };
    struct Conn {
        std::string address;
        int port = 0;
        bool open = true;
        // The side has closed it: nothing goes to it any more, but the
        // packets it sent before are still taken, then it is freed.
        bool gone = false;
        bool own = false;
        int seat = -1;
        // The name it joined its seat with.
        std::string name;
        PacketFramer framer;
        std::deque<Queued> out;
        size_t sentOfFront = 0;
        // Copies in `out` per sender.
        std::map<ConnId, size_t> bySender;
        // The last time `out` moved (or turned non-empty), and since when
        // the connection has had no seat.
        // When its queue was last empty: a side that reads only a trickle
        // keeps its queue from emptying and cannot hold the others back.
        int32_t movedAt = 0;
        int32_t seatlessSince = 0;
        // No packet of this connection is taken until the queues have room.
        bool paused = false;
        int refusals = 0;
    };

    // Relays the connection's framed packets one by one while the queues
    // have room for them.
    void TakePackets(ConnId id, Conn& c);
    bool RoomFor(ConnId sender) const;
    // Paused senders whose packets fit again go on.
    void ResumeSenders();
    bool Counts(const Conn& c) const { return c.open && !c.gone && (c.own || c.seat >= 0); }
    bool Reachable(const Conn& c) const { return c.open && !c.gone; }
    bool IsOwnEndpoint(const Conn& c) const {
        return ownPort_ >= 0 && c.address == ownAddress_ && c.port == ownPort_;
    }
    void Handle(ConnId id, Conn& c, const Packet& p);
    void HandleJoin(ConnId id, Conn& c, const Packet& p);
    void HandleSwitchEnd(const Packet& p);
    void HandleMove(const Conn& c, int seat, const Packet& p);
    // The seat goes to the computer: freed (seat 0 released), its
    // connection no longer holds it, and `cancel` goes to the others.
    void GiveUpSeat(int seat, const Packet& cancel);
    void HandlePeaceRequest(int seat, const Packet& p);
    void HandlePeaceAnswer(const Packet& p, Word w);
    void DecidePeace(bool refused);
    void ClearPeace();
    bool Deploying() const;
    // The seat a seat-carrying packet names, if the connection may name it.
    std::optional<int32_t> AllowedSeat(const Conn& c, const Packet& p, Word w) const;
    bool Occupied(int seat) const;
    void QueueToSeat(int seat, const Packet& p);
    void QueueToOccupied(const Packet& p);
    void QueueTo(ConnId id, const Packet& p);
    void SendWaiting(ConnId id, Conn& c);
    void Drop(ConnId id, Conn& c, const std::string& gbStatus);
    // In the waiting room: the seat of a connection that goes is free, and
    // its "JoinCancel" is told once the packet under way has been queued.
    void FreeSeatOf(ConnId id, Conn& c);
    void TellFreedSeats();
    // Frees what closed connections held (outside any loop over them).
    void Sweep();
    void SetSeat(Conn& c, int seat);
    int32_t Now() const;
    Packet BuildJoinLast() const;

    GameState& g_;
    ServerLinks& links_;
    HostReferee referee_;
    std::map<ConnId, Conn> conns_;
    ConnId seatConn_[kSeats] = {-1, -1, -1, -1};
    std::string ownAddress_;
    int ownPort_ = -1;
    // The sender whose packet is being handled (its copies count against
    // its share); -1 for the relay's own doings. `depth_` counts the entry
    // points under way: closed connections are freed when it falls to 0.
    ConnId handling_ = -1;
    int depth_ = 0;
    // Deployments relayed in this round; "AllSwitchEnd" goes out once, when
    // all four are in.
    std::vector<std::pair<ConnId, Packet>> waitingJoins_;
    bool deployedSeen_[kSeats] = {};
    bool allDeployedSent_ = false;
    bool deploymentOpen_ = false;
    // From the host's "JoinOk" until its own side joins the next round.
    bool roundOpen_ = false;
    // Seats freed whose "JoinCancel" is still to be queued.
    std::vector<int> freedSeats_;
    // The draw offer under vote, and each seat's offers in this battle.
    bool peaceOpen_ = false;
    int peaceRequests_[kSeats] = {};
};

}  // namespace jq::net
