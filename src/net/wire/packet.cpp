#include "net/wire/packet.h"

#include <algorithm>
#include <cstring>

#include "core/board.h"
#include "formations/formation.h"
#include "core/littleendian.h"

namespace jq::net {

namespace {

constexpr const char* kWordTexts[kWordCount] = {
    "Join",         "JoinLast",    "JoinRefuse",   "JoinOk",       "JoinCancel",
    "SwitchEnd",    "AllSwitchEnd", "MoveQz",      "MaxStepLimited", "PeaceRequest",
    "PeaceOk",      "PeaceAbort",  "PeaceFinalOk", "PeaceFinalAbort", "ChatMessage",
};

constexpr int kSeatWordBytes = 24;
constexpr int kSwitchEndBytes = 54;
constexpr int kAllSwitchEndBytes = 40;
constexpr int kMoveQzBytes = 104;
constexpr int kChatBytes = 280;
constexpr int kJoinBytes = kWordBytes + kSeatRecBytes;

// Appends little-endian fields to a packet.
class Writer {
public:
    explicit Writer(Word w) {
        bytes_.assign(kWordBytes, ' ');
        const char* t = WordText(w);
        std::memcpy(bytes_.data(), t, std::strlen(t));
    }
    void I32(int32_t v) {
        uint8_t b[4];
        PutI32(b, v);
        bytes_.insert(bytes_.end(), b, b + 4);
    }
    void F32(float v) {
        uint8_t b[4];
        PutF32(b, v);
        bytes_.insert(bytes_.end(), b, b + 4);
    }
    void Byte(uint8_t v) { bytes_.push_back(v); }
    void Raw(const uint8_t* p, size_t n) { bytes_.insert(bytes_.end(), p, p + n); }
    void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    Packet Take() { return std::move(bytes_); }

private:
    Packet bytes_;
};

// Reads fields from a packet whose length has been checked.
class Reader {
public:
    Reader(const Packet& p, size_t at) : p_(p), at_(at) {}
    int32_t I32() {
        const int32_t v = GetI32(p_.data() + at_);
        at_ += 4;
        return v;
    }
    float F32() {
        const float v = GetF32(p_.data() + at_);
        at_ += 4;
        return v;
    }
    uint8_t Byte() { return p_[at_++]; }
    const uint8_t* Skip(size_t n) {
        const uint8_t* q = p_.data() + at_;
        at_ += n;
        return q;
    }

private:
    const Packet& p_;
    size_t at_;
};

bool HasNul(const char* field, size_t width) { return std::memchr(field, 0, width) != nullptr; }

bool OnBoard(int x, int y) { return PointIndexAt(Board(), x, y) >= 0; }


// A record as it may stand in a seat table.
bool SeatRecFieldsSound(const SeatRec& r) {
    return HasNul(r.name, sizeof r.name) && HasNul(r.address, sizeof r.address) && r.state >= 0 && r.state <= 2 &&
           (r.deployed == 0 || r.deployed == 2);
}

// A move or special step; `maxMover` is 24 for a move in its mover's view,
// 99 for a recorded step.
bool StepSound(int32_t mover, int32_t target, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t outcome,
               int maxMover) {
    if (mover == kNoPiece) {
        const bool special = IsGiveUpMove(x1, y1, x2, y2) || IsTimeoutMove(x1, y1, x2, y2);
        return special && target == kNoPiece;
    }
    if (mover < 0 || mover > maxMover) return false;
    if (target != kNoPiece && !IsValidPiece(target)) return false;
    if (outcome < -1 || outcome > 1) return false;
    return OnBoard(x1, y1) && OnBoard(x2, y2);
}

bool LengthIs(const Packet& p, Word w, size_t n) {
    const auto word = PacketWord(p);
    return word && *word == w && p.size() == n;
}

}  // namespace

const char* WordText(Word w) { return kWordTexts[static_cast<int>(w)]; }

std::optional<Word> WordFromText(std::string_view text) {
    for (int i = 0; i < kWordCount; ++i)
        if (text == kWordTexts[i]) return static_cast<Word>(i);
    return std::nullopt;
}

std::string RecoverWord(const uint8_t* first20) {
    std::string w;
    for (int i = 0; i < kWordBytes - 1; ++i) {
        const char c = static_cast<char>(first20[i]);
        if (c == ' ' || c == '\0') break;
        w.push_back(c);
    }
    return w;
}

int FixedPacketBytes(Word w) {
    switch (w) {
        case Word::kJoin: return kJoinBytes;
        case Word::kJoinLast: return 0;
        case Word::kJoinRefuse:
        case Word::kMaxStepLimited: return kWordBytes;
        case Word::kSwitchEnd: return kSwitchEndBytes;
        case Word::kAllSwitchEnd: return kAllSwitchEndBytes;
        case Word::kMoveQz: return kMoveQzBytes;
        case Word::kChatMessage: return kChatBytes;
        default: return kSeatWordBytes;
    }
}

int JoinLastBytes(int steps) { return kJoinLastFixedBytes + 7 * steps; }

bool IsNetState(int32_t s) { return (s >= 11 && s <= 16) || (s >= 21 && s <= 25) || s == 31 || s == 32; }

// ---- Building ----

void PutSeatRec(uint8_t* out, const SeatRec& rec) {
    std::memcpy(out, rec.name, 32);
    PutI32(out + 32, rec.seat);
    std::memcpy(out + 36, rec.address, 16);
    PutI32(out + 52, rec.port);
    PutI32(out + 56, rec.state);
    PutI32(out + 60, rec.deployed);
    std::memcpy(out + 64, rec.reserved, 64);
}

SeatRec GetSeatRec(const uint8_t* in) {
    SeatRec r;
    std::memcpy(r.name, in, 32);
    r.seat = GetI32(in + 32);
    std::memcpy(r.address, in + 36, 16);
    r.port = GetI32(in + 52);
    r.state = GetI32(in + 56);
    r.deployed = GetI32(in + 60);
    std::memcpy(r.reserved, in + 64, 64);
    return r;
}

Packet EncodeJoin(const SeatRec& rec) {
    Writer w(Word::kJoin);
    uint8_t b[kSeatRecBytes];
    PutSeatRec(b, rec);
    w.Raw(b, sizeof b);
    return w.Take();
}

Packet EncodeBare(Word word) { return Writer(word).Take(); }

Packet EncodeSeatWord(Word word, int32_t seat) {
    Writer w(word);
    w.I32(seat);
    return w.Take();
}

Packet EncodeSwitchEnd(const SwitchEndBody& body) {
    Writer w(Word::kSwitchEnd);
    for (int8_t c : body.codes) w.Byte(static_cast<uint8_t>(c));
    w.Zeros(5);
    w.I32(body.seat);
    return w.Take();
}

Packet EncodeAllSwitchEnd(const AllSwitchEndBody& b) {
    Writer w(Word::kAllSwitchEnd);
    for (int32_t v : {b.firstSeat, b.turnDirection, b.moveTime, b.deployTime, b.disconnectTime}) w.I32(v);
    return w.Take();
}

Packet EncodeMoveQz(const MoveQzBody& body) {
    Writer w(Word::kMoveQz);
    const MoveCand& m = body.move;
    for (int32_t v : {m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome}) w.I32(v);
    w.F32(m.score);
    for (float f : m.terms) w.F32(f);
    for (float f : m.scratch) w.F32(f);
    w.I32(body.seat);
    return w.Take();
}

Packet EncodeChat(const ChatBody& body) {
    Writer w(Word::kChatMessage);
    w.I32(body.seat);
    const size_t n = std::min<size_t>(body.text.size(), kChatMaxTextBytes);
    w.Raw(reinterpret_cast<const uint8_t*>(body.text.data()), n);
    w.Zeros(kChatTextBytes - n);
    return w.Take();
}

Packet EncodeJoinLast(const JoinLastBody& b) {
    Writer w(Word::kJoinLast);
    uint8_t rec[kSeatRecBytes];
    for (const SeatRec& s : b.seats) {
        PutSeatRec(rec, s);
        w.Raw(rec, sizeof rec);
    }
    for (const int8_t* arr : {b.x, b.y, b.code, b.alive}) {
        for (int k = 0; k < kPieceCount; ++k) w.Byte(static_cast<uint8_t>(arr[k]));
        w.Zeros(20);
    }
    const int n = std::min<int>(static_cast<int>(b.steps.size()), kMaxSteps);
    w.I32(n);
    for (int k = 0; k < n; ++k) {
        const StepRec& s = b.steps[static_cast<size_t>(k)];
        for (int32_t v : {s.mover, s.target, s.fromX, s.fromY, s.toX, s.toY, s.outcome})
            w.Byte(static_cast<uint8_t>(v & 0xff));
    }
    for (int32_t v : {b.curSeat, b.turnDirection, b.netState, b.moveTime, b.deployTime, b.disconnectTime}) w.I32(v);
    return w.Take();
}

// ---- Reading ----

std::optional<Word> PacketWord(const Packet& p) {
    if (p.size() < static_cast<size_t>(kWordBytes)) return std::nullopt;
    return WordFromText(RecoverWord(p.data()));
}

std::optional<int32_t> DecodeSeatWord(const Packet& p, Word w) {
    if (FixedPacketBytes(w) != kSeatWordBytes || !LengthIs(p, w, kSeatWordBytes)) return std::nullopt;
    const int32_t s = GetI32(p.data() + kWordBytes);
    if (!IsValidSeat(s)) return std::nullopt;
    return s;
}

std::optional<int32_t> SeatNamed(const Packet& p) {
    const std::optional<Word> w = PacketWord(p);
    if (!w) return std::nullopt;
    switch (*w) {
        case Word::kJoin:
            if (auto r = DecodeJoin(p)) return r->seat;
            return std::nullopt;
        case Word::kSwitchEnd:
            if (auto b = DecodeSwitchEnd(p)) return b->seat;
            return std::nullopt;
        case Word::kMoveQz:
            if (auto b = DecodeMoveQz(p)) return b->seat;
            return std::nullopt;
        case Word::kChatMessage:
            if (auto b = DecodeChat(p)) return b->seat;
            return std::nullopt;
        default: return DecodeSeatWord(p, *w);
    }
}

std::optional<SeatRec> DecodeJoin(const Packet& p) {
    if (!LengthIs(p, Word::kJoin, kJoinBytes)) return std::nullopt;
    const SeatRec r = GetSeatRec(p.data() + kWordBytes);
    if (!SeatRecFieldsSound(r) || !IsValidSeat(r.seat)) return std::nullopt;
    return r;
}

std::optional<SwitchEndBody> DecodeSwitchEnd(const Packet& p) {
    if (!LengthIs(p, Word::kSwitchEnd, kSwitchEndBytes)) return std::nullopt;
    SwitchEndBody b;
    std::memcpy(b.codes, p.data() + kWordBytes, kPiecesPerSeat);
    b.seat = GetI32(p.data() + 50);
    if (!IsValidSeat(b.seat) || !IsLegalFormation(b.codes)) return std::nullopt;
    return b;
}

std::optional<AllSwitchEndBody> DecodeAllSwitchEnd(const Packet& p) {
    if (!LengthIs(p, Word::kAllSwitchEnd, kAllSwitchEndBytes)) return std::nullopt;
    Reader r(p, kWordBytes);
    AllSwitchEndBody b;
    b.firstSeat = r.I32();
    b.turnDirection = r.I32();
    b.moveTime = r.I32();
    b.deployTime = r.I32();
    b.disconnectTime = r.I32();
    if (!IsValidSeat(b.firstSeat) || (b.turnDirection != 1 && b.turnDirection != -1)) return std::nullopt;
    return b;
}

std::optional<MoveQzBody> DecodeMoveQz(const Packet& p) {
    if (!LengthIs(p, Word::kMoveQz, kMoveQzBytes)) return std::nullopt;
    Reader r(p, kWordBytes);
    MoveQzBody b;
    MoveCand& m = b.move;
    m.mover = r.I32();
    m.target = r.I32();
    m.fromX = r.I32();
    m.fromY = r.I32();
    m.toX = r.I32();
    m.toY = r.I32();
    m.outcome = r.I32();
    m.score = r.F32();
    for (float& f : m.terms) f = r.F32();
    for (float& f : m.scratch) f = r.F32();
    b.seat = r.I32();
    if (!IsValidSeat(b.seat)) return std::nullopt;
    if (!StepSound(m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome, kPiecesPerSeat - 1))
        return std::nullopt;
    return b;
}

std::optional<ChatBody> DecodeChat(const Packet& p) {
    if (!LengthIs(p, Word::kChatMessage, kChatBytes)) return std::nullopt;
    ChatBody b;
    b.seat = GetI32(p.data() + kWordBytes);
    const char* text = reinterpret_cast<const char*>(p.data() + kWordBytes + 4);
    const void* nul = std::memchr(text, 0, kChatMaxTextBytes + 1);
    if (!IsValidSeat(b.seat) || nul == nullptr) return std::nullopt;
    b.text.assign(text, static_cast<const char*>(nul));
    return b;
}

std::optional<JoinLastBody> DecodeJoinLast(const Packet& p) {
    const auto word = PacketWord(p);
    if (!word || *word != Word::kJoinLast || p.size() < static_cast<size_t>(kJoinLastFixedBytes)) return std::nullopt;
    const int32_t n = GetI32(p.data() + kJoinLastCountOffset);
    if (n < 0 || n > kMaxSteps || p.size() != static_cast<size_t>(JoinLastBytes(n))) return std::nullopt;
    Reader r(p, kWordBytes);
    JoinLastBody b;
    for (SeatRec& s : b.seats) {
        s = GetSeatRec(r.Skip(kSeatRecBytes));
        if (!SeatRecFieldsSound(s)) return std::nullopt;
    }
    for (int8_t* arr : {b.x, b.y, b.code, b.alive}) {
        std::memcpy(arr, r.Skip(120), kPieceCount);
    }
    for (int k = 0; k < kPieceCount; ++k) {
        if (b.code[k] < 0 || b.code[k] > kEngineer || (b.alive[k] != 0 && b.alive[k] != 1)) return std::nullopt;
        // A piece not laid out yet stands nowhere; any other on a point.
        const bool nowhere = b.x[k] == 0 && b.y[k] == 0;
        if (!OnBoard(b.x[k], b.y[k]) && !(nowhere && b.alive[k] == 0)) return std::nullopt;
        if (b.alive[k] == 1 && !IsValidCode(b.code[k])) return std::nullopt;
    }
    r.I32();
    b.steps.resize(static_cast<size_t>(n));
    for (StepRec& s : b.steps) {
        // Piece indexes and the outcome are signed bytes, the points unsigned.
        s.mover = static_cast<int8_t>(r.Byte());
        s.target = static_cast<int8_t>(r.Byte());
        s.fromX = r.Byte();
        s.fromY = r.Byte();
        s.toX = r.Byte();
        s.toY = r.Byte();
        s.outcome = static_cast<int8_t>(r.Byte());
        if (!StepSound(s.mover, s.target, s.fromX, s.fromY, s.toX, s.toY, s.outcome, kPieceCount - 1))
            return std::nullopt;
        if (s.mover == kNoPiece && !IsValidSeat(s.outcome)) return std::nullopt;
    }
    b.curSeat = r.I32();
    b.turnDirection = r.I32();
    b.netState = r.I32();
    b.moveTime = r.I32();
    b.deployTime = r.I32();
    b.disconnectTime = r.I32();
    if (!IsValidSeat(b.curSeat) || (b.turnDirection != 1 && b.turnDirection != -1) || !IsNetState(b.netState))
        return std::nullopt;
    return b;
}

}  // namespace jq::net
