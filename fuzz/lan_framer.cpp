// The packet framer, the packet readers and the host's relay: any bytes, in
// any chunks, are cut into packets of known words and exact lengths (or the
// stream is given up); a packet a reader accepts is built again from its
// body and read back alike; the relay survives the same bytes from a remote
// side and from the host's own side.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "net/wire/framer.h"
#include "net/host/relay.h"

namespace {

using namespace jq::net;

class Links : public ServerLinks {
public:
    bool Listening() const override { return true; }
    size_t Write(ConnId, const uint8_t*, size_t size) override { return size / 2 + 1 > size ? size : size / 2 + 1; }
    void Close(ConnId) override {}
    void Stop() override {}
};

void Check(bool ok) {
    if (!ok) std::abort();
}

// The same body (the word's padding may differ: a reader stops at the
// first space or NUL).
bool SameBody(const Packet& a, const Packet& b) {
    return a.size() == b.size() && std::memcmp(a.data() + kWordBytes, b.data() + kWordBytes, a.size() - kWordBytes) == 0;
}

void CheckPacket(const Packet& p) {
    const auto w = PacketWord(p);
    Check(w.has_value());
    const int fixed = FixedPacketBytes(*w);
    if (fixed != 0) Check(p.size() == static_cast<size_t>(fixed));
    switch (*w) {
        case Word::kJoin:
            if (auto r = DecodeJoin(p)) Check(DecodeJoin(EncodeJoin(*r)).has_value());
            break;
        case Word::kJoinLast:
            if (auto b = DecodeJoinLast(p)) {
                const Packet again = EncodeJoinLast(*b);
                Check(again.size() == p.size() && DecodeJoinLast(again).has_value());
            }
            break;
        case Word::kSwitchEnd:
            if (auto b = DecodeSwitchEnd(p)) Check(DecodeSwitchEnd(EncodeSwitchEnd(*b)).has_value());
            break;
        case Word::kAllSwitchEnd:
            if (auto b = DecodeAllSwitchEnd(p)) Check(SameBody(EncodeAllSwitchEnd(*b), p));
            break;
        case Word::kMoveQz:
            if (auto b = DecodeMoveQz(p)) Check(SameBody(EncodeMoveQz(*b), p));
            break;
        case Word::kChatMessage:
            if (auto b = DecodeChat(p)) Check(DecodeChat(EncodeChat(*b))->text == b->text);
            break;
        default:
            if (auto s = DecodeSeatWord(p, *w)) Check(SameBody(EncodeSeatWord(*w, *s), p));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte sizes the chunks the bytes arrive in.
    const size_t chunk = data[0] % 64 + 1;
    const uint8_t* bytes = data + 1;
    const size_t n = size - 1;

    PacketFramer framer;
    size_t cut = 0;
    for (size_t at = 0; at < n; at += chunk) {
        framer.Feed(bytes + at, std::min(chunk, n - at));
        while (auto p = framer.Next()) {
            // Packets are the stream's bytes in order.
            Check(cut + p->size() <= n && std::memcmp(p->data(), bytes + cut, p->size()) == 0);
            cut += p->size();
            CheckPacket(*p);
        }
    }
    Check(framer.Broken() || cut + framer.Buffered() == n);

    // The relay, with the bytes coming from a remote side and from the
    // host's own side.
    auto host = std::make_unique<jq::GameState>();
    host->isNetHost = 1;
    host->netConnected = 1;
    host->seatTable[0].state = 1;
    Links links;
    HostRelay relay(*host, links);
    relay.Connected(1, "127.0.0.1", 5000);
    relay.SetOwnConnection(1);
    relay.Connected(2, "10.0.0.2", 6000);
    for (size_t at = 0; at < n; at += chunk) {
        const size_t len = std::min(chunk, n - at);
        relay.Received(2, bytes + at, len);
        relay.Received(1, bytes + at, len);
        // The connections take some bytes now and then: waiting senders
        // go on.
        if (bytes[at] & 1) relay.Writable(1);
        if (bytes[at] & 2) relay.Writable(2);
    }
    relay.Tick();
    for (int s = 0; s < jq::kSeats; ++s) {
        const jq::SeatRec& r = relay.Seat(s);
        Check(std::memchr(r.name, 0, sizeof r.name) != nullptr);
        Check(r.state >= 0 && r.state <= 2);
    }
    return 0;
}
