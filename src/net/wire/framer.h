// Cuts one connection's byte stream into whole packets. TCP keeps no packet
// boundaries: a read may hold part of a packet or several. Each word has a
// fixed length ("JoinLast" by its step count), so the stream can be cut
// without a length prefix. A word that is none of the fifteen, or a
// "JoinLast" whose count is outside 0..510, leaves no way to find the next
// packet: the framer is then broken and the connection is to be closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/wire/packet.h"

namespace jq::net {

class PacketFramer {
public:
    // Appends received bytes. Nothing is taken once broken.
    void Feed(const uint8_t* data, size_t size);
    // The next whole packet, or nothing until more bytes come (or when
    // broken).
    std::optional<Packet> Next();
    bool Broken() const { return broken_; }
    // Why it broke (for the status bar): the word or count that could not
    // be cut.
    const std::string& Fault() const { return fault_; }
    // Bytes received and not yet cut into a packet.
    size_t Buffered() const { return buffer_.size() - start_; }

private:
    Packet buffer_;
    size_t start_ = 0;
    bool broken_ = false;
    std::string fault_;
};

}  // namespace jq::net
