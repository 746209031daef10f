#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "records/battlefile.h"
#include "support/dealt.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;
using test::WriteBytes;

MoveRec PointMove(int from, int to) {
    const GridPoint a = test::PointAt(from), b = test::PointAt(to);
    return MoveRec{a.x, a.y, b.x, b.y};
}

StepRec Step(const MoveRec& m, int mover, int target, int outcome) {
    return StepRec{mover, target, m.fromX, m.fromY, m.toX, m.toY, outcome};
}

// A battle of four steps: a move, a surrender, a time-out and a capture.
struct PlayedBattle {
    PlayedBattle() {
        GameState& g = t.g();
        for (int i = 0; i < 100; ++i) g.deployedPieces[i].code = dealt.codes.rows[i / 25][i % 25];
        g.deployedPieces[2 * 25 + 10].code = 0;  // seat 2: no code from slot 10 on
        for (int s = 0; s < 4; ++s) g.seatNames[s] = kNames[s] + (s == 3 ? "UVWXY" : "");  // 25 bytes
        g.stepRecords[0] = Step(moves[0], 5, -2, 1);
        g.stepRecords[1] = StepRec{-2, -2, 22, 22, 22, 22, 1};
        g.stepRecords[2] = StepRec{-2, -2, 255, 255, 255, 255, 2};
        g.stepRecords[3] = Step(moves[3], 35, 60, 0);
        g.stepRecords[4] = Step(PointMove(1, 2), 1, -2, 1);  // beyond stepCount
        g.stepCount = 4;
    }
    std::vector<uint8_t> Image() { return EncodeBattleFile(BattleFileFromGame(t.g(), false)); }
    const std::string kNames[4] = {"Alice", Gb("张三丰"), "", "ABCDEFGHIJKLMNOPQRST"};
    const BattleFile dealt = test::DealRecord(3);
    TestGame t;
    const MoveRec moves[4] = {PointMove(5, 120), {22, 22, 22, 22}, {255, 255, 255, 255}, PointMove(35, 121)};
};

TEST(BattleFileWrite, ByteExactImageOfAPlayedBattleThatReadsBackEqual) {
    PlayedBattle b;
    GameState& g = b.t.g();
    const std::string path = b.t.Path("battle.kbt");
    ASSERT_TRUE(SaveBattleFile(g, path));
    const std::string magic = "Kestrim Junqi Battle file(1.0)";
    std::vector<uint8_t> expected(magic.begin(), magic.end());
    expected.push_back(20);
    for (int s = 0; s < 4; ++s) {
        std::vector<uint8_t> name(20, ' ');
        std::memcpy(name.data(), g.seatNames[s].data(), std::min<size_t>(g.seatNames[s].size(), 20));
        expected.insert(expected.end(), name.begin(), name.end());
        for (int k = 0; k < 25; ++k)
            expected.push_back(s == 2 && k >= 10 ? 0 : static_cast<uint8_t>(g.deployedPieces[s * 25 + k].code));
    }
    for (const MoveRec& m : b.moves)
        for (int32_t v : {m.fromX, m.fromY, m.toX, m.toY}) expected.push_back(static_cast<uint8_t>(v));
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_TRUE(b.t.ui.boxes.empty());
    EXPECT_EQ(test::FolderEntries(b.t.folder), std::vector<std::string>{"battle.kbt"});

    const BattleDecodeResult r = DecodeBattleFile(expected);
    ASSERT_EQ(r.error, BattleFileError::kNone);
    EXPECT_EQ(r.file.seat, 0);
    EXPECT_EQ(NameRow(r.file.names, 0), "Alice" + std::string(15, ' '));
    ASSERT_EQ(r.file.moves.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::memcmp(&r.file.moves[i], &b.moves[i], sizeof(MoveRec)), 0) << i;
}

TEST(BattleFileWrite, StepCountsReplayAndFailures) {
    PlayedBattle b;
    GameState& g = b.t.g();
    g.stepCount = 0;
    EXPECT_EQ(b.Image().size(), 211u);
    for (int i = 0; i < 520; ++i) g.stepRecords[i] = Step(PointMove(i % 2 ? 6 : 5, i % 2 ? 5 : 6), 5, -2, 1);
    for (int32_t count : {510, 600}) {
        g.stepCount = count;  // a count above 510 never writes more
        EXPECT_EQ(b.Image().size(), 2251u);
    }
    // During a replay the loaded moves are written, wherever it stands.
    for (int i = 0; i < 7; ++i) g.moveHistory[i] = PointMove(10 + i, 120);
    g.stepCount = 2;
    b.t.ui.nextStep = true;
    ASSERT_TRUE(SaveBattleFile(g, b.t.Path("replay.kbt")));
    EXPECT_EQ(ReadBytes(b.t.Path("replay.kbt")).size(), 211u + 7 * 4);

    EXPECT_FALSE(SaveBattleFile(g, b.t.folder));
    ASSERT_EQ(b.t.ui.boxes.size(), 1u);
    EXPECT_EQ(b.t.ui.boxes[0].text, Gb("保存结果文件不成功！！！"));

    // Names up to the folder's limit save, in GB2312 too; one byte more is refused.
    std::string gb;
    while (gb.size() < 250) gb += Gb("阵");
    std::vector<std::string> names = {std::string(251, 'b') + ".kbt", gb + "x.kbt", gb + ".kbt", "replay.kbt"};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(SaveBattleFile(g, b.t.Path(names[i]))) << names[i].size();
        EXPECT_EQ(ReadBytes(b.t.Path(names[i])), ReadBytes(b.t.Path("replay.kbt")));
    }
    EXPECT_FALSE(SaveBattleFile(g, b.t.Path(std::string(252, 'b') + ".kbt")));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(test::FolderEntries(b.t.folder), names);
    EXPECT_EQ(b.t.ui.boxes.size(), 2u);
}

TEST(BattleFileRead, HostileHeadsAndMoveRecords) {
    PlayedBattle b;
    std::vector<uint8_t> image = b.Image();
    image[30] = 255;
    EXPECT_EQ(DecodeBattleFile(image).file.seat, 3);
    // Codes outside 1..12 read as 0; a zero ends the seat's codes; the magic is not compared.
    const size_t seat1 = 31 + 45 + 20;
    image[seat1 + 0] = 13, image[seat1 + 1] = 0xFF, image[seat1 + 6] = 0;
    std::memset(image.data(), 'x', 30);
    BattleDecodeResult r = DecodeBattleFile(image);
    ASSERT_EQ(r.error, BattleFileError::kNone);
    EXPECT_EQ(r.file.codes.rows[1][3], image[seat1 + 3]);
    for (int k : {0, 1, 6, 7, 24}) EXPECT_EQ(r.file.codes.rows[1][k], 0) << k;

    const std::vector<uint8_t> head(image.begin(), image.begin() + 211);
    const auto withMoves = [&](const std::vector<std::array<uint8_t, 4>>& moves) {
        std::vector<uint8_t> out = head;
        for (const auto& m : moves) out.insert(out.end(), m.begin(), m.end());
        return out;
    };
    const MoveRec good = PointMove(5, 120);
    const std::array<uint8_t, 4> ok = {uint8_t(good.fromX), uint8_t(good.fromY), uint8_t(good.toX), uint8_t(good.toY)};
    // A zero coordinate ends the moves; other points off the board are a step without a mover.
    for (const std::array<uint8_t, 4> m : {std::array<uint8_t, 4>{0, 0, 0, 0}, {255, 255, 255, 0}, {18, 0, 18, 17}})
        EXPECT_EQ(DecodeBattleFile(withMoves({ok, ok, m, ok})).file.moves.size(), 2u) << int(m[0]) << "," << int(m[1]);
    // A from-point on the board (18,17 of seat 0; the centre 22,22) is kept: it tells whose step it was.
    const std::pair<std::array<uint8_t, 4>, MoveRec> offBoard[] = {
        {{5, 17, 18, 17}, kOffBoardMove},
        {{12, 12, 18, 17}, kOffBoardMove},
        {{18, 17, 29, 17}, MoveRec{18, 17, kOffBoardMove.toX, kOffBoardMove.toY}},
        {{22, 22, 22, 255}, MoveRec{22, 22, kOffBoardMove.toX, kOffBoardMove.toY}},
    };
    for (const auto& [m, want] : offBoard) {
        r = DecodeBattleFile(withMoves({ok, ok, m, ok}));
        ASSERT_EQ(r.file.moves.size(), 4u);
        EXPECT_EQ(std::memcmp(&r.file.moves[2], &want, sizeof(MoveRec)), 0) << int(m[0]) << "," << int(m[1]);
        EXPECT_EQ(r.file.moves[3].fromX, good.fromX);
    }
    // A trailing part of a record is no record, even when bytes past the end would complete it.
    const std::vector<uint8_t> three = withMoves({ok, ok, ok});
    for (size_t cut : {1u, 2u, 3u}) EXPECT_EQ(DecodeBattleFile(three.data(), three.size() - cut).file.moves.size(), 2u) << cut;
    EXPECT_EQ(DecodeBattleFile(withMoves(std::vector<std::array<uint8_t, 4>>(5000, ok))).file.moves.size(), 510u);
    for (size_t size : {0u, 30u, 210u}) EXPECT_EQ(DecodeBattleFile(head.data(), size).error, BattleFileError::kTooShort);
}

TEST(BattleFileRead, ReadLaysTheBattleOutFromItsSeat) {
    for (int seat : {1, 3}) {  // a turn one way or the other
        PlayedBattle b;
        GameState& g = b.t.g();
        const std::string* names = b.kNames;
        g.deployedPieces[2 * 25 + 10].code = b.dealt.codes.rows[2][10];  // seat 2 whole again
        std::vector<uint8_t> image = b.Image();
        image[30] = static_cast<uint8_t>(20 + seat);
        image.resize(image.size() + 40000, 7);  // junk beyond the largest record
        WriteBytes(b.t.Path("big.kbt"), image);
        const PieceTable saved = g.deployedPieces;
        BattleFile out;
        ASSERT_EQ(ReadBattleFile(g, b.t.Path("big.kbt"), out), BattleFileError::kNone);
        EXPECT_EQ(out.seat, seat);
        ASSERT_EQ(out.moves.size(), 510u);  // the junk reads as steps without a mover
        EXPECT_EQ(out.moves[4].fromX, kOffBoardMove.fromX);
        for (int s = 0; s < 4; ++s) {
            const int row = (s + seat) % 4;  // the file's seat shown at s
            for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[s * 25 + k].code, saved[row * 25 + k].code) << s << "," << k;
            // Saved again now, the record keeps its deployments and names.
            EXPECT_EQ(b.t.ui.labels[s] + "|" + g.seatNames[s], names[row] + "|" + names[row]) << seat << "/" << s;
        }
        for (int i = 0; i < 100; ++i) EXPECT_EQ(g.deployedPieces[i].code, g.pieces[i].code);
    }
}

}  // namespace
}  // namespace jq
