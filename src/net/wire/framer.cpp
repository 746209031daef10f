#include "net/wire/framer.h"

#include "core/littleendian.h"

namespace jq::net {

void PacketFramer::Feed(const uint8_t* data, size_t size) {
    if (broken_ || size == 0) return;
    // What has been cut is dropped before the buffer grows.
    if (start_ > 0 && start_ * 2 >= buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

std::optional<Packet> PacketFramer::Next() {
    if (broken_) return std::nullopt;
    const size_t have = buffer_.size() - start_;
    if (have < static_cast<size_t>(kWordBytes)) return std::nullopt;
    const uint8_t* head = buffer_.data() + start_;
    const std::string text = RecoverWord(head);
    const std::optional<Word> word = WordFromText(text);
    if (!word) {
        broken_ = true;
        fault_ = "word \"" + text + "\"";
        return std::nullopt;
    }
    size_t length = static_cast<size_t>(FixedPacketBytes(*word));
    if (*word == Word::kJoinLast) {
        if (have < static_cast<size_t>(kJoinLastCountOffset + 4)) return std::nullopt;
        const int32_t n = GetI32(head + kJoinLastCountOffset);
        if (n < 0 || n > kMaxSteps) {
            broken_ = true;
            fault_ = "JoinLast count " + std::to_string(n);
            return std::nullopt;
        }
        length = static_cast<size_t>(JoinLastBytes(n));
    }
    if (have < length) return std::nullopt;
    Packet p(head, head + length);
    start_ += length;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return p;
}

}  // namespace jq::net
