// Packet bytes, readers and the framer.
#include <gtest/gtest.h>

#include <cstring>

#include "core/board.h"
#include "core/text.h"
#include "net/framer.h"
#include "records/fileio.h"

namespace jq::net {
namespace {

constexpr int8_t kArmy[25] = {12, 10, 6, 11, 12, 9, 8, 9, 3, 7, 7, 3, 5, 4, 8, 10, 11, 12, 10, 11, 2, 1, 2, 6, 2};

GridPoint Pt(int point) { return {Board().boardPoints[point].gridX, Board().boardPoints[point].gridY}; }

SwitchEndBody Army(int seat) {
    SwitchEndBody b{{}, seat};
    std::memcpy(b.codes, kArmy, 25);
    return b;
}

MoveQzBody Move() {
    MoveQzBody m{MoveCand{0, kNoPiece, Pt(0).x, Pt(0).y, Pt(120).x, Pt(120).y, 1}, 3};
    m.move.score = 2.5f;
    return m;
}

JoinLastBody Battle(int steps) {
    JoinLastBody b;
    for (int k = 0; k < 100; ++k) {
        const GridPoint p = Pt((k / 25) * 30 + k % 25);
        b.x[k] = static_cast<int8_t>(p.x), b.y[k] = static_cast<int8_t>(p.y), b.code[k] = kArmy[k % 25], b.alive[k] = 1;
    }
    for (int i = 0; i < steps; ++i) b.steps.push_back(StepRec{kNoPiece, kNoPiece, 255, 255, 255, 255, i % 4});
    b.netState = kNetBattle;
    return b;
}

TEST(LanPacket, EveryWordHasItsBytesAndReadsBack) {
    SeatRec r;
    PutBoundedText(r.name, 32, Gb("张三"));
    PutBoundedText(r.address, 16, "10.1.2.3");
    r.seat = 2, r.port = 4001, r.state = 1, r.deployed = 2;
    const Packet join = EncodeJoin(r), se = EncodeSwitchEnd(Army(1)), mq = EncodeMoveQz(Move());
    auto seatWord = [](Word w) { return EncodeSeatWord(w, 2); };
    const struct {
        Packet p;
        const char* word;
        size_t size;
    } table[] = {{join, "Join", 148}, {EncodeJoinLast(Battle(0)), "JoinLast", 1040},
                 {EncodeJoinLast(Battle(510)), "JoinLast", 4610}, {EncodeBare(Word::kJoinRefuse), "JoinRefuse", 20},
                 {seatWord(Word::kJoinOk), "JoinOk", 24}, {seatWord(Word::kJoinCancel), "JoinCancel", 24},
                 {se, "SwitchEnd", 54}, {EncodeAllSwitchEnd({}), "AllSwitchEnd", 40}, {mq, "MoveQz", 104},
                 {EncodeBare(Word::kMaxStepLimited), "MaxStepLimited", 20},
                 {seatWord(Word::kPeaceRequest), "PeaceRequest", 24}, {seatWord(Word::kPeaceOk), "PeaceOk", 24},
                 {seatWord(Word::kPeaceAbort), "PeaceAbort", 24}, {seatWord(Word::kPeaceFinalOk), "PeaceFinalOk", 24},
                 {seatWord(Word::kPeaceFinalAbort), "PeaceFinalAbort", 24},
                 {EncodeChat({1, std::string(300, 'a')}), "ChatMessage", 280}};
    for (const auto& [p, word, size] : table) {
        std::string padded = word;
        padded.resize(20, ' ');
        EXPECT_EQ(std::string(p.begin(), p.begin() + 20), padded);
        EXPECT_EQ(p.size(), size) << word;
        if (size < 1000) { EXPECT_EQ(static_cast<size_t>(FixedPacketBytes(*PacketWord(p))), size) << word; }
        if (size == 24) { EXPECT_EQ(*DecodeSeatWord(p, *PacketWord(p)), 2) << word; }
    }
    EXPECT_EQ(BoundedText(reinterpret_cast<const char*>(join.data() + 20), 32), Gb("张三"));
    EXPECT_EQ(BoundedText(reinterpret_cast<const char*>(join.data() + 56), 16), "10.1.2.3");
    for (auto [at, v] : {std::pair{52, 2}, {72, 4001}, {76, 1}, {80, 2}}) EXPECT_EQ(GetI32(join.data() + at), v);
    EXPECT_EQ(GetI32(se.data() + 50), 1);
    EXPECT_EQ(GetI32(mq.data() + 36), Pt(120).x);
    EXPECT_EQ(GetF32(mq.data() + 48), 2.5f);
    EXPECT_EQ(GetI32(mq.data() + 100), 3);
    // What was built reads back.
    const SeatRec back = *DecodeJoin(join);
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
    EXPECT_EQ(std::memcmp(DecodeSwitchEnd(se)->codes, kArmy, 25), 0);
    const MoveQzBody m = *DecodeMoveQz(mq), sent = Move();
    EXPECT_EQ(std::memcmp(&m.move, &sent.move, sizeof m.move), 0);
    // A step's -2 travels as 254 and comes back as -2; 255 stays 255.
    JoinLastBody moved = Battle(1);
    moved.steps[0] = StepRec{30, kNoPiece, Pt(30).x, Pt(30).y, Pt(120).x, Pt(120).y, -1};
    EXPECT_EQ(DecodeJoinLast(EncodeJoinLast(moved))->steps[0], moved.steps[0]);
    EXPECT_EQ(*DecodeAllSwitchEnd(EncodeAllSwitchEnd({3, -1, 0, 359, 360})), (AllSwitchEndBody{3, -1, 0, 359, 360}));
}

TEST(LanPacket, ReadersRefuseEveryBadField) {
    auto at = [](Packet p, size_t offset, int32_t v) { return PutI32(p.data() + offset, v), p; };
    auto byte = [](Packet p, size_t offset, uint8_t v) { return p[offset] = v, p; };
    SeatRec r;
    PutBoundedText(r.name, 32, "x");
    const Packet join = EncodeJoin(r), mq = EncodeMoveQz(Move()), se = EncodeSwitchEnd(Army(0));
    const Packet jl = EncodeJoinLast(Battle(1)), chat = EncodeChat({0, "hi"});
    EXPECT_FALSE(DecodeJoin(at(join, 52, 4)));
    EXPECT_FALSE(DecodeJoin(at(join, 76, 3)));
    EXPECT_FALSE(DecodeSwitchEnd(byte(se, 20, 1)));  // two flags: no army
    EXPECT_FALSE(DecodeSwitchEnd(at(se, 50, -1)));
    EXPECT_FALSE(DecodeMoveQz(at(mq, 20, 25)));    // mover
    EXPECT_FALSE(DecodeMoveQz(at(mq, 24, 100)));   // target
    EXPECT_FALSE(DecodeMoveQz(at(mq, 44, -100)));  // outcome
    EXPECT_FALSE(DecodeMoveQz(at(mq, 100, 4)));    // seat
    EXPECT_FALSE(DecodeMoveQz(at(at(mq, 20, -2), 24, -2)));  // no mover, no special step
    Packet longChat = chat;
    std::memset(longChat.data() + 24, 'a', 256);
    EXPECT_FALSE(DecodeChat(longChat));
    EXPECT_FALSE(DecodeJoinLast(at(jl, 1012, 2)));             // count and length differ
    EXPECT_FALSE(DecodeJoinLast(byte(jl, 1016 + 6, 9)));       // a time-out's seat
    EXPECT_FALSE(DecodeJoinLast(at(jl, 1016 + 7 + 8, 17)));    // no such state
    EXPECT_FALSE(DecodeSeatWord(EncodeSeatWord(Word::kJoinCancel, 4), Word::kJoinCancel));
}

TEST(LanFramer, CutsTheStreamWhateverTheReads) {
    const std::vector<Packet> sent = {EncodeSeatWord(Word::kJoinOk, 0), EncodeJoinLast(Battle(5)), EncodeMoveQz(Move())};
    Packet stream;
    for (const Packet& p : sent) stream.insert(stream.end(), p.begin(), p.end());
    for (size_t chunk : {size_t{1}, size_t{7}, stream.size(), (stream.size() + 3) / 4}) {
        PacketFramer f;
        std::vector<Packet> got;
        for (size_t at = 0; at < stream.size(); at += chunk) {
            f.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
            while (auto p = f.Next()) got.push_back(*p);
        }
        EXPECT_EQ(got, sent) << "chunk " << chunk;
        EXPECT_FALSE(f.Broken());
    }
    // "JoinLast" in four reads: nothing until its last byte.
    const Packet jl = EncodeJoinLast(Battle(510));
    PacketFramer f;
    const size_t cuts[] = {0, 10, 1014, 4000, jl.size()};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(f.Next());
        f.Feed(jl.data() + cuts[i], cuts[i + 1] - cuts[i]);
    }
    EXPECT_EQ(f.Next(), jl);
}

TEST(LanFramer, AStreamThatCannotBeCutIsGivenUp) {
    Packet unknown = EncodeBare(Word::kJoinRefuse), bigCount = EncodeJoinLast(Battle(0)), negCount = bigCount;
    std::memcpy(unknown.data(), "JoinMaybe", 9);
    PutI32(bigCount.data() + 1012, 511), PutI32(negCount.data() + 1012, -1);
    const Packet ok = EncodeSeatWord(Word::kJoinOk, 0);
    for (const Packet& bad : {unknown, bigCount, negCount}) {
        PacketFramer f;
        f.Feed(ok.data(), ok.size());
        f.Feed(bad.data(), bad.size());
        EXPECT_EQ(f.Next(), ok);
        f.Feed(ok.data(), ok.size());  // nothing more once broken
        EXPECT_FALSE(f.Next());
        EXPECT_TRUE(f.Broken());
    }
}

}  // namespace
}  // namespace jq::net
