// The host's connections: what flows on each one, apart from what it means.
// HostConnections owns every accepted connection's framer, its queue of
// packets to send, each sender's share of that queue, the hand-over to the
// sockets (ServerLinks paces the packets), the pauses in reading, the limits
// and the closing with a farewell. It knows bytes, packets and connections,
// not seats: its user (the relay) tells it which connections hold a seat,
// takes every whole packet from it one at a time, and hears when a
// connection is closed.
//
// One connection cannot spoil the flow for the others. Packets are taken one
// at a time, and what they cause is sent on before the next is taken. A
// sender's chat lines go on at kChatLinesPerSecond at most: the rest waits
// unread in its socket. A sender whose copies fill its share of some
// connection's queue is paused likewise until the queues have room; a sender
// that still delivers more than kSenderBacklogBytes is closed. A seated
// connection whose queue is full, or has not once been empty for the
// disconnect time, is closed (a side that reads only a trickle cannot hold
// the others back; one reading at the sockets' pace empties its queue
// between two packets). Notices that cancel out cost nothing: a "Join" still
// unsent in a queue and the same seat's "JoinCancel" that follows it (with
// nothing about that seat between) both leave the queue. The host's own
// connection carries the host's own side: it is never closed for its queue,
// its backlog or its time. A connection without a seat never holds anything back: it
// is closed when it stays without a seat for kSeatlessSeconds, and at most
// kMaxSeatless such connections are open at a time (a new one closes the one
// that has waited longest).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

#include "net/lan.h"

namespace jq::net {

// Each sender's copies may fill this much of any connection's queue: four
// seats together fill it exactly, so no sender waits for another's flood.
constexpr size_t kSenderShare = kOutboxLimit / 4;
// Bytes a paused sender may deliver beyond what has been relayed.
constexpr size_t kSenderBacklogBytes = 16 * 1024;
// Connections without a seat open at a time, and how long one may stay so.
constexpr int kMaxSeatless = 4;
constexpr int kSeatlessSeconds = 30;
// Chat lines taken from one sender in one second of the host's clock.
constexpr int kChatLinesPerSecond = 3;
// Seconds a connection being closed has to hear its farewell.
constexpr int kFarewellSeconds = 10;
// Milliseconds the computer's seats wait at most for a remote connection to
// take what was sent to it.
constexpr int64_t kComputerWaitMs = 1000;

// A connection's life.
enum class ConnLife {
    kSeatless,  // open, holding no seat: it never holds anybody back
    kSeated,    // open, holding a seat (the host's own always): its queue counts
    kClosing,   // hears its farewell and what waits before it, then is closed;
                // nothing it sends is taken
    kGone,      // closed; its entry goes at the next sweep
};

// What the connections need from their user.
class ConnectionUser {
public:
    virtual ~ConnectionUser() = default;
    // Milliseconds on the host's (monotonic) clock.
    virtual int64_t NowMs() const = 0;
    // A whole packet from a connection, handled now.
    virtual void Take(ConnId id, const Packet& p) = 0;
    // The connection is closed: by the host (`byHost`), or after its side
    // closed it and its last packets were taken. `gbStatus` says why (empty:
    // nothing to show).
    virtual void Lost(ConnId id, bool byHost, const std::string& gbStatus) = 0;
    // A connection's packets have been taken as far as they go.
    virtual void Settle() {}
};

class HostConnections {
public:
    HostConnections(ServerLinks& links, ConnectionUser& user) : links_(links), user_(user) {}

    // A connection accepted: without a seat until the relay seats it.
    void Open(ConnId id, const std::string& address, int port);
    // The connection is the host's own (the socket layer made both ends).
    void SetOwn(ConnId id);

    // Socket events.
    void Feed(ConnId id, const uint8_t* data, size_t size);
    void Writable(ConnId id);
    // The side has closed it: nothing goes to it any more, but the packets
    // it sent before are still taken, then it is closed.
    void HungUp(ConnId id);

    // The relay's word on a connection.
    void SetSeated(ConnId id, bool seated);
    // Queues a packet (counted against the sender being handled).
    void Queue(ConnId to, const Packet& p);
    // The connection hears `farewell` and what waits before it, then it is
    // closed.
    void CloseAfter(ConnId id, const Packet& farewell);
    // Closed at once, nothing it held kept.
    void Drop(ConnId id, const std::string& gbStatus);
    // Whose packet is being handled: its copies count against its share (-1:
    // the user's own doings). Returns the one before.
    ConnId SetSender(ConnId id);

    // Closes the connections that hold the others back or have waited
    // without a seat too long, and those whose farewell took too long.
    void Check(int64_t disconnectSeconds);
    // Paused senders whose packets fit again go on.
    void ResumeSenders();
    // Hands waiting bytes to their connections.
    void Flush();
    // Closes every connection and stops listening.
    void Stop();
    // Forgets closed connections (outside any loop over them).
    void Sweep();

    bool Exists(ConnId id) const { return conns_.count(id) != 0; }
    // Open, and its side has not closed it.
    bool Reachable(ConnId id) const;
    // Its queue counts: reachable and holding a seat.
    bool Counts(ConnId id) const;
    bool IsOwn(ConnId id) const;
    const std::string& Address(ConnId id) const;
    int Port(ConnId id) const;
    // Whether the socket layer should read this connection's bytes now.
    bool Accepting(ConnId id) const;
    // The queues may take the copies of one more packet from `sender`.
    bool RoomFor(ConnId sender) const;
    // A seated connection has packets it has not taken yet.
    bool Pending() const;
    // The computer's seats wait: the host's own connection has packets it has
    // not taken, or a remote seated one has had some for less than
    // kComputerWaitMs.
    bool ComputerWaits() const;
    bool AnyOpen() const;

private:
    struct Queued {
        Packet packet;
        ConnId from = -1;  // whose packet it is relayed for, or answers
        int64_t at = 0;    // when it was queued
    };
    struct Conn {
        std::string address;
        int port = 0;
        ConnLife life = ConnLife::kSeatless;
        bool own = false;
        // Its side has closed it (see HungUp).
        bool hungUp = false;
        // No packet of it is taken until the queues have room, or its chat
        // lines may go on.
        bool paused = false;
        PacketFramer framer;
        // Taken from the framer and not yet handled (a chat line over its
        // sender's rate waits here).
        std::optional<Packet> next;
        std::deque<Queued> out;
        size_t sentOfFront = 0;
        // Copies in `out` per sender.
        std::map<ConnId, size_t> bySender;
        // Since when it has had no seat, has been closing, and its queue has
        // not been empty.
        int64_t seatlessSince = 0;
        int64_t closingSince = 0;
        int64_t busySince = 0;
        // Chat lines taken in the second `chatSecond`.
        int64_t chatSecond = 0;
        int chatLines = 0;
    };

    bool OwnKnown() const { return ownKnown_; }
    static bool IsOpen(const Conn& c) { return c.life != ConnLife::kGone; }
    static bool Reachable(const Conn& c) { return IsOpen(c) && !c.hungUp; }
    static bool Counts(const Conn& c) { return c.life == ConnLife::kSeated && !c.hungUp; }
    Conn* Find(ConnId id);
    const Conn* Find(ConnId id) const;
    // Takes the connection's framed packets one by one while the queues have
    // room for them.
    void TakePackets(ConnId id, Conn& c);
    // A chat line may go on now (counted when it does).
    bool ChatMayGoOn(Conn& c, const Packet& p);
    void SendWaiting(ConnId id, Conn& c);
    // A "JoinCancel" takes out of the queue the same seat's "Join" still
    // unsent, if nothing about that seat follows it there.
    bool CancelsOut(Conn& c, const Packet& cancel);
    // A packet from `from` has left the queue.
    static void Uncount(Conn& c, ConnId from);
    void Drop(ConnId id, Conn& c, const std::string& gbStatus);

    ServerLinks& links_;
    ConnectionUser& user_;
    std::map<ConnId, Conn> conns_;
    bool ownKnown_ = false;
    ConnId sender_ = -1;
};

}  // namespace jq::net
