#include "net/host/connections.h"

#include <algorithm>
#include <set>
#include <utility>

#include "core/text.h"
#include "net/host/places.h"

namespace jq::net {

namespace {

const std::string kNoAddress;

}  // namespace

HostConnections::Conn* HostConnections::Find(ConnId id) {
    auto it = conns_.find(id);
    return it == conns_.end() ? nullptr : &it->second;
}

const HostConnections::Conn* HostConnections::Find(ConnId id) const {
    auto it = conns_.find(id);
    return it == conns_.end() ? nullptr : &it->second;
}

void HostConnections::Open(ConnId id, const std::string& address, int port, std::unique_ptr<ConnectionRecord> record) {
    Conn& c = conns_[id];
    c = Conn{};
    c.address = address;
    c.port = port;
    c.record = std::move(record);
    c.idleSince = c.drainedAt = user_.NowMs();
    c.opened = ++opened_;
    // Until the host's own side is known, nobody is turned away (and its
    // own connection's first bytes wait until it is known).
    if (!OwnKnown()) return;
    // A connection is idle only for what it has not sent by the time it is
    // read: its first bytes (a join sent with the connection) are read now,
    // and any other connection's are read before it gives its place up.
    std::set<ConnId> read{id};
    links_.ReadNow(id);
    for (;;) {
        std::vector<ConnId> ids;
        std::vector<Claim> claims;
        for (const auto& [cid, e] : conns_)
            if (Idle(cid, e)) {
                ids.push_back(cid);
                claims.push_back({e.address, user_.SeatsLastHeld(e.address), e.cut > 0, static_cast<int64_t>(e.opened)});
            }
        const std::optional<size_t> loser = GivesWay(claims, kMaxIdlePerAddress, kMaxIdleInAll);
        if (!loser) return;
        const ConnId gone = ids[*loser];
        if (read.insert(gone).second) {
            links_.ReadNow(gone);
            continue;
        }
        Drop(gone, conns_.at(gone), std::string());
    }
}

void HostConnections::SetOwn(ConnId id) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c) || c->life == Life::kClosing) return;
    c->own = true;
    ownKnown_ = true;
}

ConnectionRecord* HostConnections::Record(ConnId id) {
    Conn* c = Find(id);
    return c == nullptr ? nullptr : c->record.get();
}

const ConnectionRecord* HostConnections::Record(ConnId id) const {
    const Conn* c = Find(id);
    return c == nullptr ? nullptr : c->record.get();
}

void HostConnections::Feed(ConnId id, const uint8_t* data, size_t size) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c) || c->life == Life::kClosing || size == 0) return;
    c->feeds.emplace_back(c->fed, user_.NowMs());
    c->fed += size;
    c->framer.Feed(data, size);
    TakePackets(id, *c);
    // What waits beyond the sender's bound is more than an honest side
    // ever sends ahead: the sender goes, nobody else.
    if (IsOpen(*c) && !c->own && c->framer.Buffered() > kSenderBacklogBytes)
        Drop(id, *c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
}

std::optional<std::pair<Packet, int64_t>> HostConnections::Cut(Conn& c) {
    std::optional<Packet> p = c.framer.Next();
    if (!p) return std::nullopt;
    const uint64_t start = c.cut;
    c.cut += p->size();
    while (c.feeds.size() > 1 && std::next(c.feeds.begin())->first <= start) c.feeds.pop_front();
    const int64_t at = c.feeds.empty() ? user_.NowMs() : c.feeds.front().second;
    return std::make_pair(std::move(*p), at);
}

void HostConnections::TakePackets(ConnId id, Conn& c) {
    while (IsOpen(c) && c.life != Life::kClosing) {
        if (!c.next) c.next = Cut(c);
        if (!c.next) break;
        if (!RoomFor(id)) {
            c.paused = true;
            return;
        }
        c.paused = false;
        const auto [p, at] = std::move(*c.next);
        c.next.reset();
        sender_ = id;
        user_.Take(id, p, at);
        sender_ = -1;
        // Sent on before the next is taken, so the queues drain between
        // packets.
        Flush();
    }
    c.paused = false;
    if (IsOpen(c) && c.framer.Broken())
        Drop(id, c, Gb("未知封包，连接已断开：") + c.framer.Fault());
    else if (IsOpen(c) && c.hungUp)
        Drop(id, c, std::string());  // everything it sent before it closed has been taken
    // What its going caused goes on too.
    Flush();
}

bool HostConnections::NoRoomFor(ConnId sender, const Conn& r) const {
    if (r.bytes + kRoomPerPacket > kOutboxBytes) return true;
    auto n = r.bySender.find(sender);
    return n != r.bySender.end() && n->second + kRoomPerPacket > kSenderShare;
}

bool HostConnections::RoomFor(ConnId sender) const {
    return std::none_of(conns_.begin(), conns_.end(),
                        [&](const auto& e) { return Counts(e.first, e.second) && NoRoomFor(sender, e.second); });
}

void HostConnections::ResumeSenders() {
    for (auto& [id, c] : conns_) {
        if (!IsOpen(c) || !c.paused || !RoomFor(id)) continue;
        TakePackets(id, c);
        if (Accepting(id)) links_.Resume(id);
    }
}

bool HostConnections::Accepting(ConnId id) const {
    const Conn* c = Find(id);
    return c != nullptr && Reachable(*c) && !c->paused && c->life != Life::kClosing;
}

void HostConnections::Writable(ConnId id) {
    if (Conn* c = Find(id); c != nullptr && Reachable(*c)) SendWaiting(id, *c);
}

void HostConnections::HungUp(ConnId id) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c)) return;
    // What it sent before is taken as if it were still there (a sender
    // waiting for room waits as before), then it goes.
    c->hungUp = true;
    c->out = {};
    c->sentOfFront = 0;
    c->bytes = 0;
    c->bySender.clear();
    TakePackets(id, *c);
}

bool HostConnections::Pending() const {
    return std::any_of(conns_.begin(), conns_.end(),
                       [this](const auto& e) { return Counts(e.first, e.second) && !e.second.out.empty(); });
}

bool HostConnections::OwnUntaken() const {
    return std::any_of(conns_.begin(), conns_.end(), [this](const auto& e) {
        return e.second.own && Counts(e.first, e.second) && !e.second.out.empty();
    });
}

std::optional<int64_t> HostConnections::RemoteUntakenSince() const {
    std::optional<int64_t> latest;
    for (const auto& [id, c] : conns_)
        if (!c.own && Counts(id, c) && !c.out.empty() && (!latest || c.busySince > *latest)) latest = c.busySince;
    return latest;
}

bool HostConnections::HoldsBack(ConnId id, const Conn& r) const {
    if (!Counts(id, r)) return false;
    return std::any_of(conns_.begin(), conns_.end(), [&](const auto& e) {
        return IsOpen(e.second) && e.second.paused && NoRoomFor(e.first, r);
    });
}

void HostConnections::CloseStuckAndIdle(int64_t disconnectSeconds) {
    const int64_t now = user_.NowMs();
    for (auto& [id, c] : conns_) {
        if (!IsOpen(c) || c.own || !HoldsBack(id, c)) {
            c.holdingSince = -1;
        } else if (c.holdingSince < 0) {
            c.holdingSince = now;
        }
    }
    for (auto& [id, c] : conns_) {
        if (!IsOpen(c) || c.own) continue;
        if (c.life == Life::kClosing) {
            // It has had the time to hear why.
            if (now - c.closingSince > kFarewellSeconds * 1000) Drop(id, c, std::string());
            continue;
        }
        if (user_.Engaged(id)) c.idleSince = now;
        if (Counts(id, c)) {
            // Something waits for it, and its socket has taken nothing for
            // the disconnect time; or its queue has held a sender back for
            // longer than a side reading at its pace ever does.
            if ((!c.out.empty() && now - c.drainedAt > disconnectSeconds * 1000) ||
                (c.holdingSince >= 0 && now - c.holdingSince > kHoldBackMs))
                Drop(id, c, std::string());
        } else if (Idle(id, c) && OwnKnown() && now - c.idleSince > kSeatlessSeconds * 1000) {
            // Until the host's own side is known, no connection is taken for
            // an idle one.
            Drop(id, c, std::string());
        }
    }
}

void HostConnections::Flush() {
    for (auto& [id, c] : conns_)
        if (Reachable(c)) SendWaiting(id, c);
}

void HostConnections::Sweep() {
    for (auto it = conns_.begin(); it != conns_.end();)
        it = IsOpen(it->second) ? std::next(it) : conns_.erase(it);
}

bool HostConnections::AnyOpen() const {
    return std::any_of(conns_.begin(), conns_.end(), [](const auto& e) { return IsOpen(e.second); });
}

void HostConnections::Stop() {
    links_.Stop();
    for (auto& [id, c] : conns_) c.life = Life::kGone;
}

ConnId HostConnections::SetSender(ConnId id) { return std::exchange(sender_, id); }

bool HostConnections::Reachable(ConnId id) const {
    const Conn* c = Find(id);
    return c != nullptr && Reachable(*c);
}

bool HostConnections::IsOwn(ConnId id) const {
    const Conn* c = Find(id);
    return c != nullptr && c->own;
}

const std::string& HostConnections::Address(ConnId id) const {
    const Conn* c = Find(id);
    return c == nullptr ? kNoAddress : c->address;
}

int HostConnections::Port(ConnId id) const {
    const Conn* c = Find(id);
    return c == nullptr ? 0 : c->port;
}

bool HostConnections::Append(ConnId id, Conn& c, Entry e) {
    const size_t bytes = e.Bytes();
    if (c.bytes + bytes > kOutboxBytes && !c.own) {
        Drop(id, c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
        return false;
    }
    if (c.out.empty()) c.busySince = c.drainedAt = user_.NowMs();
    if (e.from >= 0) c.bySender[e.from] += bytes;
    c.bytes += bytes;
    c.out.push_back(std::move(e));
    return true;
}

void HostConnections::Queue(ConnId to, const Packet& p) {
    Conn* c = Find(to);
    if (c == nullptr || !Reachable(*c)) return;
    Append(to, *c, Entry{p, sender_});
}

void HostConnections::QueueSyncPoint(ConnId to, uint64_t stamp) {
    Conn* c = Find(to);
    if (c == nullptr || !Reachable(*c) || c->life == Life::kClosing) return;
    if (!c->out.empty() && c->out.back().sync) {
        c->out.back().stamp = stamp;
        return;
    }
    Append(to, *c, Entry{Packet{}, -1, true, stamp});
}

HostConnections::Entry HostConnections::PopFront(Conn& c) {
    Entry e = std::move(c.out.front());
    c.out.pop_front();
    const size_t bytes = e.Bytes();
    c.bytes -= bytes;
    auto n = c.bySender.find(e.from);
    if (n != c.bySender.end() && (n->second -= bytes) == 0) c.bySender.erase(n);
    return e;
}

void HostConnections::SendWaiting(ConnId id, Conn& c) {
    while (!c.out.empty() && IsOpen(c)) {
        if (c.out.front().sync) {
            // Said when its turn on the wire comes, not before: whatever
            // changed meanwhile and was undone costs nothing.
            if (!links_.Ready(id)) return;
            const uint64_t stamp = PopFront(c).stamp;
            std::vector<Packet> said = user_.SyncPoint(id, stamp);
            for (auto p = said.rbegin(); p != said.rend(); ++p) {
                c.bytes += p->size();
                c.out.push_front(Entry{std::move(*p), -1});
            }
            continue;
        }
        const Packet& front = c.out.front().packet;
        const size_t n = links_.Write(id, front.data() + c.sentOfFront, front.size() - c.sentOfFront);
        c.sentOfFront += std::min(n, front.size() - c.sentOfFront);
        if (c.sentOfFront < front.size()) return;  // the rest when it is writable again
        const Packet sent = PopFront(c).packet;
        c.sentOfFront = 0;
        c.drainedAt = user_.NowMs();
        user_.Sent(id, sent);
    }
    if (c.out.empty()) c.drainedAt = user_.NowMs();
    if (c.life == Life::kClosing && c.out.empty()) Drop(id, c, std::string());  // it has heard why
}

void HostConnections::CloseAfter(ConnId id, const Packet& farewell) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c)) return;
    c->life = Life::kClosing;
    c->closingSince = user_.NowMs();
    c->paused = false;
    c->next.reset();
    c->framer = PacketFramer{};
    // Sync points before the farewell say nothing any more.
    for (const Entry& e : c->out)
        if (e.sync) c->bytes -= e.Bytes();
    std::erase_if(c->out, [](const Entry& e) { return e.sync; });
    Queue(id, farewell);
    SendWaiting(id, *c);
}

void HostConnections::Drop(ConnId id, const std::string& gbStatus) {
    if (Conn* c = Find(id)) Drop(id, *c, gbStatus);
}

void HostConnections::Drop(ConnId id, Conn& c, const std::string& gbStatus) {
    if (!IsOpen(c)) return;
    // Its user lets go of what it held first; then it is marked, so a link
    // layer that reports the close at once finds it gone already.
    user_.Lost(id, gbStatus);
    c.life = Life::kGone;
    links_.Close(id);
    // Nothing it held is kept; the entry itself goes at the next Sweep.
    c.paused = false;
    c.next.reset();
    c.out = {};
    c.bytes = 0;
    c.bySender.clear();
    c.framer = PacketFramer{};
    c.feeds.clear();
}

}  // namespace jq::net
