// Packet bytes, readers and the framer.
#include <gtest/gtest.h>

#include <cstring>

#include "core/board.h"
#include "core/text.h"
#include "net/wire/framer.h"
#include "core/littleendian.h"

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

// "AllSwitchEnd" and "JoinLast" against byte images laid out by hand from the protocol's tables, so that a
// field in the wrong place or two arrays swapped cannot read back as right.
TEST(LanPacket, AllSwitchEndAndJoinLastMatchTheirByteImages) {
    const Packet allSwitchEnd = {'A', 'l', 'l', 'S', 'w', 'i', 't', 'c', 'h', 'E', 'n', 'd', ' ', ' ',
                                 ' ', ' ', ' ', ' ', ' ', ' ', 0x02, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff,
                                 0x1e, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x67, 0x01, 0x00, 0x00};
    const AllSwitchEndBody start{2, -1, 30, 40, 359};
    EXPECT_EQ(EncodeAllSwitchEnd(start), allSwitchEnd);
    EXPECT_EQ(DecodeAllSwitchEnd(allSwitchEnd), start);

    // Two steps: seat 0's piece 7 to an empty point, then seat 3 gives up.
    Packet image(1040 + 2 * 7, 0);
    std::memcpy(image.data(), "JoinLast            ", 20);
    auto put32 = [&image](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    // Seat 2's record is the 128 bytes at 20 + 2 * 128: name, seat at +32, address at +36, port at +52, state at
    // +56, deployed at +60.
    std::memcpy(&image[276], "li", 2);
    put32(276 + 32, 2);
    std::memcpy(&image[276 + 36], "10.0.0.2", 8);
    put32(276 + 52, 4001);
    put32(276 + 56, 1);
    put32(276 + 60, 2);
    for (int k = 0; k < 100; ++k) {
        const GridPoint p = Pt((k / 25) * 30 + k % 25);
        image[532 + k] = static_cast<uint8_t>(p.x);
        image[652 + k] = static_cast<uint8_t>(p.y);
        image[772 + k] = static_cast<uint8_t>(kArmy[k % 25]);
        image[892 + k] = k % 3 == 0 ? 0 : 1;
    }
    put32(1012, 2);
    const uint8_t steps[14] = {7, 0xfe, static_cast<uint8_t>(Pt(7).x), static_cast<uint8_t>(Pt(7).y),
                               static_cast<uint8_t>(Pt(120).x), static_cast<uint8_t>(Pt(120).y), 1,
                               0xfe, 0xfe, 22, 22, 22, 22, 3};
    std::memcpy(&image[1016], steps, 14);
    put32(1030, 3);
    put32(1034, 0xffffffffu);
    put32(1038, 31);
    put32(1042, 30);
    put32(1046, 40);
    put32(1050, 60);

    JoinLastBody b;
    PutBoundedText(b.seats[2].name, 32, "li");
    PutBoundedText(b.seats[2].address, 16, "10.0.0.2");
    b.seats[2].seat = 2, b.seats[2].port = 4001, b.seats[2].state = 1, b.seats[2].deployed = 2;
    for (int k = 0; k < 100; ++k) {
        const GridPoint p = Pt((k / 25) * 30 + k % 25);
        b.x[k] = static_cast<int8_t>(p.x), b.y[k] = static_cast<int8_t>(p.y);
        b.code[k] = kArmy[k % 25], b.alive[k] = k % 3 == 0 ? 0 : 1;
    }
    b.steps = {StepRec{7, kNoPiece, Pt(7).x, Pt(7).y, Pt(120).x, Pt(120).y, 1},
               StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 3}};
    b.curSeat = 3, b.turnDirection = -1, b.netState = kNetBattle, b.moveTime = 30, b.deployTime = 40;
    b.disconnectTime = 60;
    EXPECT_EQ(EncodeJoinLast(b), image);

    const auto read = DecodeJoinLast(image);
    ASSERT_TRUE(read);
    EXPECT_EQ(BoundedText(read->seats[2].name, 32), "li");
    EXPECT_EQ(BoundedText(read->seats[2].address, 16), "10.0.0.2");
    EXPECT_EQ((std::vector<int>{read->seats[2].seat, read->seats[2].port, read->seats[2].state,
                                read->seats[2].deployed}),
              (std::vector<int>{2, 4001, 1, 2}));
    EXPECT_TRUE(std::equal(b.x, b.x + 100, read->x) && std::equal(b.y, b.y + 100, read->y));
    EXPECT_TRUE(std::equal(b.code, b.code + 100, read->code) && std::equal(b.alive, b.alive + 100, read->alive));
    EXPECT_EQ(read->steps, b.steps);
    EXPECT_EQ((std::vector<int>{read->curSeat, read->turnDirection, read->netState, read->moveTime, read->deployTime,
                                read->disconnectTime}),
              (std::vector<int>{3, -1, kNetBattle, 30, 40, 60}));
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
    Packet unbounded = join;
    std::memset(unbounded.data() + 20, 'a', 32);
    EXPECT_FALSE(DecodeJoin(unbounded));                       // a name without its end
    EXPECT_FALSE(DecodeJoinLast(byte(jl, 20 + 4 * 128, 127)));  // a live piece off the board
    EXPECT_FALSE(DecodeAllSwitchEnd(at(EncodeAllSwitchEnd({0, 1, 30, 40, 60}), 24, 0)));  // turn direction
    Packet longer = mq;
    longer.push_back(0);
    EXPECT_FALSE(DecodeMoveQz(longer));
}

TEST(LanFramer, CutsTheStreamWhateverTheReads) {
    // A word may be padded with zero bytes instead of blanks.
    Packet zeroPadded = EncodeSeatWord(Word::kPeaceOk, 2);
    std::fill(zeroPadded.begin() + 7, zeroPadded.begin() + 20, 0);
    EXPECT_EQ(DecodeSeatWord(zeroPadded, Word::kPeaceOk), 2);
    const std::vector<Packet> sent = {EncodeSeatWord(Word::kJoinOk, 0), EncodeJoinLast(Battle(5)), zeroPadded,
                                      EncodeMoveQz(Move())};
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
