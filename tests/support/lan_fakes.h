// Connections without sockets for the LAN battle's model: they keep what is written to them and take as many
// bytes as a test allows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "net/wire/framer.h"
#include "net/lan.h"

namespace jq::testing {

// The packets in a byte stream, cut as a receiving side would.
inline std::vector<net::Packet> CutPackets(const std::vector<uint8_t>& bytes) {
    net::PacketFramer f;
    f.Feed(bytes.data(), bytes.size());
    std::vector<net::Packet> out;
    while (auto p = f.Next()) out.push_back(*p);
    return out;
}

class FakeClientLink : public net::ClientLink {
public:
    bool Connected() const override { return connected; }
    size_t Write(const uint8_t* data, size_t size) override {
        const size_t n = size < takeAtMost ? size : takeAtMost;
        written.insert(written.end(), data, data + n);
        return n;
    }
    void Close() override { connected = false, ++closes; }
    void Resume() override { ++resumes; }
    std::string LocalAddress() const override { return "127.0.0.1"; }
    int LocalPort() const override { return 40001; }
    std::vector<net::Packet> Sent() const { return CutPackets(written); }

    bool connected = true;
    size_t takeAtMost = SIZE_MAX;
    std::vector<uint8_t> written;
    int closes = 0;
    int resumes = 0;
};

class FakeServerLinks : public net::ServerLinks {
public:
    bool Listening() const override { return listening; }
    size_t Write(net::ConnId id, const uint8_t* data, size_t size) override {
        if (!Ready(id)) return 0;
        const size_t most = takeAtMostOf.count(id) ? takeAtMostOf.at(id) : takeAtMost;
        size_t n = size < most ? size : most;
        if (auto b = budget.find(id); b != budget.end()) n = std::min(n, b->second), b->second -= n;
        written[id].insert(written[id].end(), data, data + n);
        if (gapped && n > 0) inGap.insert(id);
        return n;
    }
    // A write would take something now.
    bool Ready(net::ConnId id) override {
        const size_t most = takeAtMostOf.count(id) ? takeAtMostOf.at(id) : takeAtMost;
        auto b = budget.find(id);
        return most > 0 && (b == budget.end() || b->second > 0) && !inGap.count(id);
    }
    // The gap after the last packet to each connection is over: those that waited are reported writable.
    template <class Writable>
    void Gap(Writable&& writable) {
        std::set<net::ConnId> waited;
        waited.swap(inGap);
        for (net::ConnId id : waited) writable(id);
    }
    void Close(net::ConnId id) override { closed.insert(id); }
    void Resume(net::ConnId id) override { ++resumed[id]; }
    // The bytes that came for a connection are read now: `readNow` hands them over, if set.
    void ReadNow(net::ConnId id) override {
        if (readNow) readNow(id);
    }
    void Stop() override { listening = false; }
    std::vector<net::Packet> Sent(net::ConnId id) const {
        auto it = written.find(id);
        return it == written.end() ? std::vector<net::Packet>{} : CutPackets(it->second);
    }

    bool listening = true;
    // As the sockets do: a connection takes one packet (or the rest of one), then nothing until the next Gap().
    bool gapped = false;
    std::set<net::ConnId> inGap;
    size_t takeAtMost = SIZE_MAX;
    std::map<net::ConnId, size_t> takeAtMostOf;  // for some connections only
    std::map<net::ConnId, size_t> budget;        // bytes some connections take in all, until raised
    std::map<net::ConnId, std::vector<uint8_t>> written;
    std::set<net::ConnId> closed;
    std::map<net::ConnId, int> resumed;
    std::function<void(net::ConnId)> readNow;
};

}  // namespace jq::testing
