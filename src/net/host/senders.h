// Who may send what to the host.
//
// A side speaks only in words that carry a seat ("JoinOk", "JoinCancel",
// "SwitchEnd", "MoveQz", the peace offer and answers, "ChatMessage") besides
// its "Join"; every other word only the host sends, and the relay takes it
// from nobody. Every seat a word names must be its sender's: a remote
// connection speaks only for the seat it holds; the host's own side for
// seat 0 and for the seats the computer holds now (what it sent for a seat
// a person has taken since is not its word). The host's side's formation of
// a seat it may speak for is taken while the seats deploy; taken or not, its
// side holds that seat as deployed from when it sent it, until the sync
// point behind it says otherwise (SeatTable::FormationSent). Peace words
// mean something only while the battle runs.
#pragma once

#include <cstdint>
#include <optional>

#include "net/host/seattable.h"
#include "net/lan.h"

namespace jq::net {

// A word a side may send for a seat.
bool CarriesSeat(Word w);
bool IsPeaceWord(Word w);
// The seat a seat-carrying packet names, if its sender (`own`: the host's
// own side) may speak for it.
std::optional<int32_t> AllowedSeat(const SeatTable& holds, ConnId id, bool own, const Packet& p);

}  // namespace jq::net
