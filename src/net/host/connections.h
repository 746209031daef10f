// The host's connections: what flows on each one, apart from what it means.
// HostConnections owns every accepted connection's framer, its queue of
// entries to send, each sender's share of that queue, the hand-over to the
// sockets (ServerLinks paces the packets), the pauses in reading, the limits
// and the closing with a farewell. It knows bytes, packets and connections;
// what a packet says and who holds which seat are its user's (the relay's):
// the user takes every whole packet from it one at a time, says which
// connections hold a seat or wait for one, and keeps a record of its own
// for each connection, which lives and dies with it.
//
// A queue holds packets and sync points. A sync point stands for "what has
// changed of the user's state up to here": consecutive ones are one, and
// when one reaches the front of the queue, the user says then what it
// stands for (ConnectionUser::SyncPoint), so a change undone before the
// connection's turn on the wire costs it nothing. A queue's limits count
// bytes: a packet its size, a sync point the most it may turn into
// (kSyncPointBytes).
//
// One connection cannot spoil the flow for the others. Packets are taken one
// at a time, and what they cause is sent on before the next is taken. A
// sender whose copies (what the handling of its packets queued) fill its
// share of some seated connection's queue is paused until the queues have
// room (the rest waits unread in its socket); a
// sender that still delivers more than kSenderBacklogBytes is closed. A
// seated connection is closed when its queue is full, when its socket has
// taken no whole packet for the disconnect time while something waited for
// it, or when its queue has held a sender back for kHoldBackMs (a side that
// reads at the sockets' pace is never closed, however long the others'
// traffic keeps its queue from emptying: what all comers send stays below
// what its wire carries, so its queue never fills a share). The host's own connection
// carries the host's own side: it is never closed for its queue, its backlog
// or its time. An idle connection (no seat, no seat asked for) never holds
// anything back: it is closed when it stays idle for kSeatlessSeconds, and at
// most kMaxIdlePerAddress idle connections of one address and kMaxIdleInAll
// in all are open at a time; who keeps a place when they are more is the
// places' rule (net/host/places.h), where a connection stands by the seats
// its address was the last to hold and by whether it has spoken. A
// connection is judged idle only for what it has not sent by the time the
// host has read it: its first bytes are read when it is accepted (ServerLinks::ReadNow),
// and a connection's bytes are read before it gives its place up, so a join
// sent with its connection is never closed for others' idle connections. A
// connection that holds a seat or waits for one is never taken for an idle
// one.
#pragma once

#include <cstdint>
#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/lan.h"

namespace jq::net {

// Bytes a connection's queue holds: beyond them a remote connection is
// closed.
constexpr size_t kOutboxBytes = 128 * 1024;
// Each sender's copies may fill this much of any connection's queue: four
// seats together fill it exactly, so no sender waits for another's flood.
constexpr size_t kSenderShare = kOutboxBytes / 4;
// What a sync point counts for: the most it turns into, a notice per seat.
constexpr size_t kSyncPointBytes = kSeats * (kWordBytes + kSeatRecBytes);
// Room a queue keeps for what one packet taken may add to it: the largest
// packet (its copy, or the "JoinLast" that answers it) and a sync point.
constexpr size_t kRoomPerPacket = kJoinLastMaxBytes + kSyncPointBytes;
// Bytes a paused sender may deliver beyond what has been relayed.
constexpr size_t kSenderBacklogBytes = 16 * 1024;
// Idle connections open at a time: from one address, and in all; and how
// long one may stay so.
constexpr int kMaxIdlePerAddress = 4;
constexpr int kMaxIdleInAll = 32;
constexpr int kSeatlessSeconds = 30;
// Seconds a connection being closed has to hear its farewell.
constexpr int kFarewellSeconds = 10;
// Milliseconds a seated connection's full queue may hold a sender back.
constexpr int64_t kHoldBackMs = 3000;

// What the user keeps of a connection (HostConnections::Record).
struct ConnectionRecord {
    virtual ~ConnectionRecord() = default;
};

// What the connections need from their user.
class ConnectionUser {
public:
    virtual ~ConnectionUser() = default;
    // Milliseconds on the host's (monotonic) clock.
    virtual int64_t NowMs() const = 0;
    // A whole packet from a connection, handled now; its first byte came at
    // `firstByteMs`.
    virtual void Take(ConnId id, const Packet& p, int64_t firstByteMs) = 0;
    // The connection is closed (by the host, or after its side closed it and
    // its last packets were taken). `gbStatus` says why (empty: nothing to
    // show).
    virtual void Lost(ConnId id, const std::string& gbStatus) = 0;
    // It holds a seat: its queue counts.
    virtual bool Seated(ConnId id) const = 0;
    // It holds a seat or waits for one: never idle.
    virtual bool Engaged(ConnId id) const = 0;
    // The seats whose last holder in this round is the address: what an
    // idle connection of it stands by (net/host/places.h).
    virtual int SeatsLastHeld(const std::string& address) const { return 0; }
    // A sync point (`stamp`: the newest it stands for) reached the front of
    // the connection's queue: the packets it stands for now, sent in its
    // place.
    virtual std::vector<Packet> SyncPoint(ConnId id, uint64_t stamp) = 0;
    // A packet has gone out whole to the connection.
    virtual void Sent(ConnId id, const Packet& p) {}
};

class HostConnections {
public:
    HostConnections(ServerLinks& links, ConnectionUser& user) : links_(links), user_(user) {}

    // A connection accepted, with the user's record of it.
    void Open(ConnId id, const std::string& address, int port, std::unique_ptr<ConnectionRecord> record);
    // The connection is the host's own (the socket layer made both ends).
    void SetOwn(ConnId id);
    // The user's record of an open or closing connection (null otherwise).
    ConnectionRecord* Record(ConnId id);
    const ConnectionRecord* Record(ConnId id) const;
    // Calls `f(id, record)` for every connection not closed.
    template <class F>
    void ForEachRecord(F&& f) {
        for (auto& [id, c] : conns_)
            if (IsOpen(c) && c.record) f(id, *c.record);
    }
    template <class F>
    void ForEachRecord(F&& f) const {
        for (const auto& [id, c] : conns_)
            if (IsOpen(c) && c.record) f(id, static_cast<const ConnectionRecord&>(*c.record));
    }

    // Socket events.
    void Feed(ConnId id, const uint8_t* data, size_t size);
    void Writable(ConnId id);
    // The side has closed it: nothing goes to it any more, but the packets
    // it sent before are still taken, then it is closed.
    void HungUp(ConnId id);

    // Queues a packet (counted against the sender being handled).
    void Queue(ConnId to, const Packet& p);
    // Queues a sync point, or moves the one that ends the queue on to
    // `stamp`.
    void QueueSyncPoint(ConnId to, uint64_t stamp);
    // The connection hears `farewell` and what waits before it, then it is
    // closed.
    void CloseAfter(ConnId id, const Packet& farewell);
    // Closed at once, nothing it held kept.
    void Drop(ConnId id, const std::string& gbStatus);
    // Whose packet is being handled: its copies count against its share (-1:
    // the user's own doings). Returns the one before.
    ConnId SetSender(ConnId id);

    // Closes the connections that hold the others back or have stayed idle
    // too long, and those whose farewell took too long.
    void CloseStuckAndIdle(int64_t disconnectSeconds);
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
    bool IsOwn(ConnId id) const;
    const std::string& Address(ConnId id) const;
    int Port(ConnId id) const;
    // Whether the socket layer should read this connection's bytes now.
    bool Accepting(ConnId id) const;
    // The queues may take what one more packet from `sender` adds.
    bool RoomFor(ConnId sender) const;
    // A seated connection has packets it has not taken yet.
    bool Pending() const;
    // The host's own connection has packets it has not taken.
    bool OwnUntaken() const;
    // The latest time since which a remote seated connection's queue has
    // held packets it has not taken (none: no such queue).
    std::optional<int64_t> RemoteUntakenSince() const;
    bool AnyOpen() const;

private:
    enum class Life {
        kOpen,     // without a seat or seated, as its user says
        kClosing,  // hears its farewell and what waits before it, then is
                   // closed; nothing it sends is taken
        kGone,     // closed; its entry goes at the next sweep
    };
    struct Entry {
        Packet packet;
        ConnId from = -1;    // the sender it counts against (-1: nobody)
        bool sync = false;   // a sync point (no packet yet)
        uint64_t stamp = 0;  // a sync point's newest change
        // What it counts for in the queue's limits.
        size_t Bytes() const { return sync ? kSyncPointBytes : packet.size(); }
    };
    struct Conn {
        std::string address;
        int port = 0;
        Life life = Life::kOpen;
        bool own = false;
        // Its side has closed it (see HungUp).
        bool hungUp = false;
        // No packet of it is taken until the queues have room.
        bool paused = false;
        std::unique_ptr<ConnectionRecord> record;
        PacketFramer framer;
        // Bytes fed and cut into packets, and when each feed came (stream
        // offset, ms): a packet's first byte came with the last feed at or
        // before its offset.
        uint64_t fed = 0;
        uint64_t cut = 0;
        // (Lists: nothing is allocated for a connection that has sent
        // nothing and been sent nothing.)
        std::list<std::pair<uint64_t, int64_t>> feeds;
        // Taken from the framer and not yet handled, with its first byte's
        // time.
        std::optional<std::pair<Packet, int64_t>> next;
        std::list<Entry> out;
        size_t sentOfFront = 0;
        // Bytes `out` counts for, all and per sender (what was queued while
        // that sender's packet was handled; the notices a sync point turns
        // into, and what the user does by itself, count for nobody).
        size_t bytes = 0;
        std::map<ConnId, size_t> bySender;
        // Since when it has been idle (the last check that found it
        // engaged), has been closing, and its queue has not been empty;
        // when its socket last took a whole packet or its queue was last
        // empty.
        int64_t idleSince = 0;
        int64_t closingSince = 0;
        int64_t busySince = 0;
        int64_t drainedAt = 0;
        // Opened after those with a smaller one.
        uint64_t opened = 0;
        // Since when its queue has held a paused sender back (-1: it does
        // not).
        int64_t holdingSince = -1;
    };

    bool OwnKnown() const { return ownKnown_; }
    static bool IsOpen(const Conn& c) { return c.life != Life::kGone; }
    static bool Reachable(const Conn& c) { return IsOpen(c) && !c.hungUp; }
    // Its queue counts: reachable and holding a seat.
    bool Counts(ConnId id, const Conn& c) const { return c.life == Life::kOpen && !c.hungUp && user_.Seated(id); }
    bool Idle(ConnId id, const Conn& c) const {
        return c.life == Life::kOpen && !c.own && !user_.Engaged(id);
    }
    Conn* Find(ConnId id);
    const Conn* Find(ConnId id) const;
    // Its queue has no room for what one more packet of `sender` may add.
    bool NoRoomFor(ConnId sender, const Conn& r) const;
    // Its queue has no room for a paused sender's next packet.
    bool HoldsBack(ConnId id, const Conn& r) const;
    // Adds an entry to the queue; a full one (beyond kOutboxBytes) closes a
    // remote connection instead (the host's own side takes everything: it
    // splits the stream itself). False when nothing was added.
    bool Append(ConnId id, Conn& c, Entry e);
    // Cuts the next packet out of the framer, with its first byte's time.
    std::optional<std::pair<Packet, int64_t>> Cut(Conn& c);
    // Takes the connection's framed packets one by one while the queues have
    // room for them.
    void TakePackets(ConnId id, Conn& c);
    void SendWaiting(ConnId id, Conn& c);
    // The front entry leaves the queue.
    static Entry PopFront(Conn& c);
    void Drop(ConnId id, Conn& c, const std::string& gbStatus);

    ServerLinks& links_;
    ConnectionUser& user_;
    std::map<ConnId, Conn> conns_;
    bool ownKnown_ = false;
    ConnId sender_ = -1;
    uint64_t opened_ = 0;
};

}  // namespace jq::net
