#include "net/host/senders.h"

namespace jq::net {

bool CarriesSeat(Word w) {
    return w == Word::kJoinOk || w == Word::kJoinCancel || w == Word::kSwitchEnd || w == Word::kMoveQz ||
           w == Word::kPeaceRequest || w == Word::kPeaceOk || w == Word::kPeaceAbort || w == Word::kChatMessage;
}

bool IsPeaceWord(Word w) { return w == Word::kPeaceRequest || w == Word::kPeaceOk || w == Word::kPeaceAbort; }

std::optional<int32_t> AllowedSeat(const SeatTable& holds, ConnId id, bool own, const Packet& p) {
    std::optional<int32_t> seat = SeatNamed(p);
    if (!seat) return seat;
    if (own) return *seat == 0 || holds[*seat].conn < 0 ? seat : std::nullopt;
    if (holds.SeatOf(id) != *seat) return std::nullopt;
    return seat;
}

}  // namespace jq::net
