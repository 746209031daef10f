// The LAN packets: a 20-byte command word padded with spaces, then a body of
// fixed layout per word, little-endian, no length prefix. Every packet is
// built and read here field by field; a reader checks every field before it
// hands a body on, so what comes out of a decoder can be applied as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/qipan.h"

namespace jq::net {

using Packet = std::vector<uint8_t>;

enum class Word : uint8_t {
    kJoin,
    kJoinLast,
    kJoinRefuse,
    kJoinOk,
    kJoinCancel,
    kSwitchEnd,
    kAllSwitchEnd,
    kMoveQz,
    kMaxStepLimited,
    kPeaceRequest,
    kPeaceOk,
    kPeaceAbort,
    kPeaceFinalOk,
    kPeaceFinalAbort,
    kChatMessage,
};
constexpr int kWordCount = 15;

constexpr int kWordBytes = 20;
constexpr int kSeatRecBytes = 128;
constexpr int kJoinLastFixedBytes = 1040;  // plus 7 bytes per step
constexpr int kJoinLastCountOffset = 1012;
constexpr int kJoinLastMaxBytes = kJoinLastFixedBytes + 7 * kMaxSteps;  // 4610
constexpr int kChatTextBytes = 256;
constexpr int kChatMaxTextBytes = 250;
constexpr int kDefaultPort = 3457;

// "MoveQz" and the rest, as on the wire (without padding).
const char* WordText(Word w);
std::optional<Word> WordFromText(std::string_view text);
// The word in a packet's first 20 bytes: every space counts as the end, and
// byte 19 always does; the text up to the first end.
std::string RecoverWord(const uint8_t* first20);
// The length of every packet of this word; 0 for "JoinLast", whose length
// follows from its step count (JoinLastBytes).
int FixedPacketBytes(Word w);
int JoinLastBytes(int steps);

// ---- Bodies ----

struct SwitchEndBody {
    int8_t codes[kPiecesPerSeat] = {};  // slots 0..24 of that seat
    int32_t seat = 0;
};

struct AllSwitchEndBody {
    int32_t firstSeat = 0;
    int32_t turnDirection = 1;
    int32_t moveTime = 0;
    int32_t deployTime = 0;
    int32_t disconnectTime = 0;
    friend bool operator==(const AllSwitchEndBody&, const AllSwitchEndBody&) = default;
};

struct MoveQzBody {
    MoveCand move;  // in the sender's view
    int32_t seat = 0;
};

struct ChatBody {
    int32_t seat = 0;
    std::string text;  // GB2312, at most 250 bytes
};

// The running battle as the host holds it, in the host's view.
struct JoinLastBody {
    SeatRec seats[kSeats];
    int8_t x[kPieceCount] = {};
    int8_t y[kPieceCount] = {};
    int8_t code[kPieceCount] = {};
    int8_t alive[kPieceCount] = {};
    std::vector<StepRec> steps;  // at most 510
    int32_t curSeat = 0;
    int32_t turnDirection = 1;
    int32_t netState = 0;
    int32_t moveTime = 0;
    int32_t deployTime = 0;
    int32_t disconnectTime = 0;
};

// ---- Building ----

Packet EncodeJoin(const SeatRec& rec);
// A word with no body: "JoinRefuse", "MaxStepLimited".
Packet EncodeBare(Word w);
// A word whose body is one seat: "JoinOk", "JoinCancel", "PeaceRequest",
// "PeaceOk", "PeaceAbort", "PeaceFinalOk", "PeaceFinalAbort".
Packet EncodeSeatWord(Word w, int32_t seat);
// The 25 codes, five zero bytes, the seat.
Packet EncodeSwitchEnd(const SwitchEndBody& body);
Packet EncodeAllSwitchEnd(const AllSwitchEndBody& body);
Packet EncodeMoveQz(const MoveQzBody& body);
// The text is cut to 250 bytes.
Packet EncodeChat(const ChatBody& body);
// Steps past 510 are not sent; a step's fields travel as their low bytes.
Packet EncodeJoinLast(const JoinLastBody& body);

// The 128 bytes of a seat record, field by field.
void PutSeatRec(uint8_t* out, const SeatRec& rec);
SeatRec GetSeatRec(const uint8_t* in);

// ---- Reading ----
// Each decoder takes one whole packet (as the framer cut it) and gives its
// body, or nothing when the word or the length is not the decoder's or any
// field fails its check. A packet that fails is dropped whole.

// The word of a whole packet, if it is one of the fifteen.
std::optional<Word> PacketWord(const Packet& p);
// The seat of a one-seat word, 0..3.
std::optional<int32_t> DecodeSeatWord(const Packet& p, Word w);
// The seat a packet is about: a "Join"'s record, a "SwitchEnd", "MoveQz" or
// "ChatMessage", a one-seat word; nothing for the other words.
std::optional<int32_t> SeatNamed(const Packet& p);
// Name and address NUL-terminated within their fields, seat 0..3, state
// 0..2, deployed 0 or 2.
std::optional<SeatRec> DecodeJoin(const Packet& p);
// Seat 0..3; the 25 codes make one army (1..12, one flag, three mines ...).
std::optional<SwitchEndBody> DecodeSwitchEnd(const Packet& p);
// First seat 0..3, turn direction +1 or -1. The times are passed on as they
// came: each is taken only when it lies in 1..359 (TimeInRange).
std::optional<AllSwitchEndBody> DecodeAllSwitchEnd(const Packet& p);
// Seat 0..3 and a move that can stand: mover 0..24 with a target -2 or
// 0..99, both points on the board and an outcome of -1, 0 or 1; or mover and
// target -2 with all four coordinates 22 or all four 255.
std::optional<MoveQzBody> DecodeMoveQz(const Packet& p);
// Seat 0..3; the text ends with a NUL within 251 bytes.
std::optional<ChatBody> DecodeChat(const Packet& p);
// Every record as in DecodeJoin (any seat field); every piece on a board
// point, code 0..12, alive 0 or 1, a live piece with a code 1..12; count
// 0..510 and the length to match; every step a move or a special step as in
// DecodeMoveQz (mover 0..99, outcome of a special step a seat); seat to move
// 0..3; turn direction +1 or -1; a state the battle can be in.
std::optional<JoinLastBody> DecodeJoinLast(const Packet& p);

// A time option of "JoinLast" and "AllSwitchEnd" that is applied.
inline bool TimeInRange(int32_t seconds) { return seconds >= 1 && seconds <= 359; }

// The LAN states (netState).
enum NetState : int32_t {
    kNetJoinSent = 11,
    kNetWaiting = 12,
    kNetHostStarted = 13,
    kNetLeaving = 14,
    kNetStartPressed = 15,
    kNetJoinOkSent = 16,
    kNetDeployBegins = 21,
    kNetDeploying = 22,
    kNetOwnDeployDone = 23,
    kNetOwnDeploySent = 24,
    kNetAllDeployed = 25,
    kNetBattle = 31,
    kNetBetween = 32,
};
bool IsNetState(int32_t s);

}  // namespace jq::net
