#include "net/host/hostlinks.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/text.h"

namespace jq::net {

namespace {

// Copies one packet may add to one connection's queue ("SwitchEnd" and
// "AllSwitchEnd").
constexpr size_t kCopiesPerPacket = 2;

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

void HostConnections::Open(ConnId id, const std::string& address, int port) {
    // Too many without a seat: the one that has waited longest goes, so
    // idle connections cannot lock out a player who joins now. Until the
    // host's own side is known, nobody is turned away.
    std::vector<std::pair<int64_t, ConnId>> seatless;
    for (const auto& [cid, e] : conns_)
        if (!e.own && (e.life == ConnLife::kSeatless || e.life == ConnLife::kClosing))
            seatless.emplace_back(e.seatlessSince, cid);
    if (OwnKnown() && static_cast<int>(seatless.size()) >= kMaxSeatless) {
        const ConnId oldest = std::min_element(seatless.begin(), seatless.end())->second;
        Drop(oldest, conns_.at(oldest), std::string());
    }
    Conn& c = conns_[id];
    c = Conn{};
    c.address = address;
    c.port = port;
    c.seatlessSince = user_.NowMs();
}

void HostConnections::SetOwn(ConnId id) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c) || c->life == ConnLife::kClosing) return;
    c->own = true;
    c->life = ConnLife::kSeated;
    ownKnown_ = true;
}

void HostConnections::Feed(ConnId id, const uint8_t* data, size_t size) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c) || c->life == ConnLife::kClosing) return;
    c->framer.Feed(data, size);
    TakePackets(id, *c);
    // What waits beyond the sender's bound is more than an honest side
    // ever sends ahead: the sender goes, nobody else.
    if (IsOpen(*c) && !c->own && c->framer.Buffered() > kSenderBacklogBytes)
        Drop(id, *c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
}

bool HostConnections::ChatMayGoOn(Conn& c, const Packet& p) {
    if (PacketWord(p) != Word::kChatMessage) return true;
    const int64_t second = user_.NowMs() / 1000;
    if (c.chatSecond != second) c.chatSecond = second, c.chatLines = 0;
    if (c.chatLines >= kChatLinesPerSecond) return false;
    ++c.chatLines;
    return true;
}

void HostConnections::TakePackets(ConnId id, Conn& c) {
    while (IsOpen(c) && c.life != ConnLife::kClosing) {
        if (!c.next) c.next = c.framer.Next();
        if (!c.next) break;
        if (!RoomFor(id)) {
            c.paused = true;
            return;
        }
        if (!ChatMayGoOn(c, *c.next)) {
            // A side that has closed says no more: its lines over the rate
            // are not kept waiting for, so its seat is free at once.
            if (c.hungUp) {
                c.next.reset();
                continue;
            }
            c.paused = true;
            return;
        }
        c.paused = false;
        const Packet p = std::move(*c.next);
        c.next.reset();
        sender_ = id;
        user_.Take(id, p);
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
    user_.Settle();
}

bool HostConnections::RoomFor(ConnId sender) const {
    for (const auto& [id, r] : conns_) {
        if (!Counts(r)) continue;
        if (r.out.size() + kCopiesPerPacket > kOutboxLimit) return false;
        auto n = r.bySender.find(sender);
        if (n != r.bySender.end() && n->second + kCopiesPerPacket > kSenderShare) return false;
    }
    return true;
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
    return c != nullptr && Reachable(*c) && !c->paused && c->life != ConnLife::kClosing;
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
    c->bySender.clear();
    TakePackets(id, *c);
}

void HostConnections::SetSeated(ConnId id, bool seated) {
    Conn* c = Find(id);
    if (c == nullptr || c->own) return;
    if (seated && c->life == ConnLife::kSeatless) c->life = ConnLife::kSeated;
    if (!seated && c->life == ConnLife::kSeated) {
        c->life = ConnLife::kSeatless;
        c->seatlessSince = user_.NowMs();
    }
}

bool HostConnections::Pending() const {
    return std::any_of(conns_.begin(), conns_.end(),
                       [](const auto& e) { return Counts(e.second) && !e.second.out.empty(); });
}

bool HostConnections::ComputerWaits() const {
    const int64_t now = user_.NowMs();
    return std::any_of(conns_.begin(), conns_.end(), [now](const auto& e) {
        const Conn& c = e.second;
        return Counts(c) && !c.out.empty() && (c.own || now - c.busySince < kComputerWaitMs);
    });
}

void HostConnections::Check(int64_t disconnectSeconds) {
    const int64_t now = user_.NowMs();
    for (auto& [id, c] : conns_) {
        if (!IsOpen(c) || c.own) continue;
        switch (c.life) {
            case ConnLife::kClosing:
                // It has had the time to hear why.
                if (now - c.closingSince > kFarewellSeconds * 1000) Drop(id, c, std::string());
                break;
            case ConnLife::kSeated:
                // However its side reads, its queue has not once been empty
                // for the disconnect time.
                if (!c.out.empty() && now - c.busySince > disconnectSeconds * 1000)
                    Drop(id, c, std::string());
                break;
            case ConnLife::kSeatless:
                // Until the host's own side is known, no connection is taken
                // for one without a seat.
                if (OwnKnown() && now - c.seatlessSince > kSeatlessSeconds * 1000) Drop(id, c, std::string());
                break;
            case ConnLife::kGone:
                break;
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
    for (auto& [id, c] : conns_) c.life = ConnLife::kGone;
}

ConnId HostConnections::SetSender(ConnId id) { return std::exchange(sender_, id); }

bool HostConnections::Reachable(ConnId id) const {
    const Conn* c = Find(id);
    return c != nullptr && Reachable(*c);
}

bool HostConnections::Counts(ConnId id) const {
    const Conn* c = Find(id);
    return c != nullptr && Counts(*c);
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

void HostConnections::Queue(ConnId to, const Packet& p) {
    Conn* c = Find(to);
    if (c == nullptr || !Reachable(*c)) return;
    if (PacketWord(p) == Word::kJoinCancel && CancelsOut(*c, p)) return;
    // A full queue: the connection takes nothing, and is closed (the host's
    // own side takes everything: it splits the stream itself).
    if (c->out.size() >= kOutboxLimit && !c->own) {
        Drop(to, *c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
        return;
    }
    if (c->out.empty()) c->busySince = user_.NowMs();
    c->out.push_back(Queued{p, sender_, user_.NowMs()});
    ++c->bySender[sender_];
}

void HostConnections::Uncount(Conn& c, ConnId from) {
    auto n = c.bySender.find(from);
    if (n != c.bySender.end() && --n->second == 0) c.bySender.erase(n);
}

bool HostConnections::CancelsOut(Conn& c, const Packet& cancel) {
    const std::optional<int32_t> seat = SeatNamed(cancel);
    // The front may be under way already.
    const size_t first = c.sentOfFront > 0 ? 1 : 0;
    for (size_t i = c.out.size(); i > first; --i) {
        const Queued& q = c.out[i - 1];
        if (SeatNamed(q.packet) != seat) continue;
        if (PacketWord(q.packet) != Word::kJoin) return false;
        Uncount(c, q.from);
        c.out.erase(c.out.begin() + static_cast<std::ptrdiff_t>(i - 1));
        return true;
    }
    return false;
}

void HostConnections::SendWaiting(ConnId id, Conn& c) {
    while (!c.out.empty()) {
        const Packet& front = c.out.front().packet;
        const size_t n = links_.Write(id, front.data() + c.sentOfFront, front.size() - c.sentOfFront);
        c.sentOfFront += std::min(n, front.size() - c.sentOfFront);
        if (c.sentOfFront < front.size()) return;  // the rest when it is writable again
        Uncount(c, c.out.front().from);
        c.out.pop_front();
        c.sentOfFront = 0;
    }
    if (c.life == ConnLife::kClosing) Drop(id, c, std::string());  // it has heard why
}

void HostConnections::CloseAfter(ConnId id, const Packet& farewell) {
    Conn* c = Find(id);
    if (c == nullptr || !Reachable(*c)) return;
    c->life = ConnLife::kClosing;
    c->closingSince = user_.NowMs();
    c->paused = false;
    c->next.reset();
    c->framer = PacketFramer{};
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
    user_.Lost(id, !c.hungUp, gbStatus);
    c.life = ConnLife::kGone;
    links_.Close(id);
    // Nothing it held is kept; the entry itself goes at the next Sweep.
    c.paused = false;
    c.next.reset();
    c.out = {};
    c.bySender.clear();
    c.framer = PacketFramer{};
}

}  // namespace jq::net
