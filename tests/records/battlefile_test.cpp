#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "core/text.h"
#include "formations/formation.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;
using test::WriteBytes;

MoveRec PointMove(int from, int to) {
    const BoardPoint& a = Board().boardPoints[from];
    const BoardPoint& b = Board().boardPoints[to];
    return MoveRec{a.gridX, a.gridY, b.gridX, b.gridY};
}

StepRec Step(const MoveRec& m, int mover, int target, int outcome) {
    return StepRec{mover, target, m.fromX, m.fromY, m.toX, m.toY, outcome};
}

void Deal(GameState& g, uint32_t seed) {
    GameRandom rng;
    rng.Seed(seed);
    for (int s = 0; s < 4; ++s) {
        int8_t codes[25];
        GenerateFormation(rng, codes);
        for (int k = 0; k < 25; ++k) g.deployedPieces[s * 25 + k].code = codes[k];
    }
}

std::vector<uint8_t> NameField(const std::string& name) {
    std::vector<uint8_t> field(20, ' ');
    std::memcpy(field.data(), name.data(), std::min<size_t>(name.size(), 20));
    return field;
}

// A battle of four steps: a move, a surrender, a time-out and a capture.
struct PlayedBattle {
    PlayedBattle() {
        GameState& g = t.g();
        Deal(g, 3);
        g.deployedPieces[2 * 25 + 10].code = 0;  // seat 2: no code from slot 10 on
        g.seatNames[0] = "Alice";
        g.seatNames[1] = Gb("张三丰");
        g.seatNames[2] = "";
        g.seatNames[3] = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25 bytes
        m0 = PointMove(5, 120);
        m3 = PointMove(35, 121);
        g.stepRecords[0] = Step(m0, 5, -2, 1);
        g.stepRecords[1] = StepRec{-2, -2, 22, 22, 22, 22, 1};
        g.stepRecords[2] = StepRec{-2, -2, 255, 255, 255, 255, 2};
        g.stepRecords[3] = Step(m3, 35, 60, 0);
        g.stepRecords[4] = Step(PointMove(1, 2), 1, -2, 1);  // beyond stepCount
        g.stepCount = 4;
    }
    TestGame t;
    MoveRec m0, m3;
};

TEST(BattleFileWrite, ByteExactImageOfAPlayedBattle) {
    PlayedBattle b;
    GameState& g = b.t.g();
    const std::string path = b.t.Path("battle.kbt");
    ASSERT_TRUE(SaveBattleFile(g, path));

    std::vector<uint8_t> expected;
    const std::string magic = "Kestrim Junqi Battle file(1.0)";
    expected.insert(expected.end(), magic.begin(), magic.end());
    expected.push_back(20);
    for (int s = 0; s < 4; ++s) {
        const std::vector<uint8_t> name = NameField(g.seatNames[s]);
        expected.insert(expected.end(), name.begin(), name.end());
        for (int k = 0; k < 25; ++k) {
            const bool ended = s == 2 && k >= 10;
            expected.push_back(ended ? 0 : static_cast<uint8_t>(g.deployedPieces[s * 25 + k].code));
        }
    }
    for (const MoveRec& m : {b.m0, MoveRec{22, 22, 22, 22}, MoveRec{255, 255, 255, 255}, b.m3})
        for (int32_t v : {m.fromX, m.fromY, m.toX, m.toY}) expected.push_back(static_cast<uint8_t>(v));
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(ReadBytes(path).size(), 211u + 16u);
    EXPECT_TRUE(b.t.ui.boxes.empty());
    EXPECT_EQ(test::FolderEntries(b.t.folder), std::vector<std::string>{"battle.kbt"});
}

TEST(BattleFileWrite, ReadsBackEqual) {
    PlayedBattle b;
    GameState& g = b.t.g();
    const BattleDecodeResult r = DecodeBattleFile(EncodeBattleFile(BattleFileFromGame(g, false)));
    ASSERT_EQ(r.error, BattleFileError::kNone);
    EXPECT_EQ(r.file.seat, 0);
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 25; ++k) {
            const int code = (s == 2 && k >= 10) ? 0 : g.deployedPieces[s * 25 + k].code;
            EXPECT_EQ(r.file.codes.rows[s][k], code) << s << "," << k;
        }
    EXPECT_EQ(NameRow(r.file.names, 0), "Alice" + std::string(15, ' '));
    EXPECT_EQ(TrimLabelText(NameRow(r.file.names, 1)), Gb("张三丰"));
    EXPECT_EQ(NameRow(r.file.names, 2), std::string(20, ' '));
    EXPECT_EQ(NameRow(r.file.names, 3), "ABCDEFGHIJKLMNOPQRST");
    ASSERT_EQ(r.file.moves.size(), 4u);
    const MoveRec expect[] = {b.m0, {22, 22, 22, 22}, {255, 255, 255, 255}, b.m3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.file.moves[i].fromX, expect[i].fromX);
        EXPECT_EQ(r.file.moves[i].fromY, expect[i].fromY);
        EXPECT_EQ(r.file.moves[i].toX, expect[i].toX);
        EXPECT_EQ(r.file.moves[i].toY, expect[i].toY);
    }
}

TEST(BattleFileWrite, NoStepsAndAllSteps) {
    PlayedBattle b;
    GameState& g = b.t.g();
    g.stepCount = 0;
    EXPECT_EQ(EncodeBattleFile(BattleFileFromGame(g, false)).size(), 211u);
    const BattleDecodeResult empty = DecodeBattleFile(EncodeBattleFile(BattleFileFromGame(g, false)));
    ASSERT_EQ(empty.error, BattleFileError::kNone);
    EXPECT_TRUE(empty.file.moves.empty());

    for (int i = 0; i < 520; ++i) g.stepRecords[i] = Step(PointMove(i % 2 ? 6 : 5, i % 2 ? 5 : 6), 5, -2, 1);
    for (int32_t count : {510, 600}) {
        g.stepCount = count;  // a count above 510 never writes more
        const std::vector<uint8_t> image = EncodeBattleFile(BattleFileFromGame(g, false));
        EXPECT_EQ(image.size(), 2251u);
        EXPECT_EQ(DecodeBattleFile(image).file.moves.size(), 510u);
    }
}

TEST(BattleFileWrite, DuringReplayTheLoadedMovesAreWritten) {
    PlayedBattle b;
    GameState& g = b.t.g();
    for (int i = 0; i < 7; ++i) g.moveHistory[i] = PointMove(10 + i, 120);
    g.moveHistory[3] = MoveRec{22, 22, 22, 22};
    g.stepCount = 2;  // where the replay stands does not matter
    b.t.ui.nextStep = true;
    const std::string path = b.t.Path("replay.kbt");
    ASSERT_TRUE(SaveBattleFile(g, path));
    const BattleDecodeResult r = DecodeBattleFile(ReadBytes(path));
    ASSERT_EQ(r.file.moves.size(), 7u);
    EXPECT_EQ(r.file.moves[3].toY, 22);
    EXPECT_EQ(r.file.moves[6].fromX, PointMove(16, 120).fromX);
}

TEST(BattleFileWrite, AFileThatCannotBeWrittenIsReported) {
    PlayedBattle b;
    for (const std::string& path : {b.t.Path("no/such/folder/x.kbt"), b.t.folder, std::string()}) {
        b.t.ui.boxes.clear();
        EXPECT_FALSE(SaveBattleFile(b.t.g(), path)) << path;
        ASSERT_EQ(b.t.ui.boxes.size(), 1u);
        EXPECT_EQ(b.t.ui.boxes[0].text, Gb("保存结果文件不成功！！！"));
        EXPECT_EQ(b.t.ui.boxes[0].caption, Gb("警告"));
    }
}

TEST(BattleFileRead, SeatByteAndCodes) {
    PlayedBattle b;
    std::vector<uint8_t> image = EncodeBattleFile(BattleFileFromGame(b.t.g(), false));
    for (int v : {20, 0, 1, 22, 255}) {
        image[30] = static_cast<uint8_t>(v);
        EXPECT_EQ(DecodeBattleFile(image).file.seat, v % 4) << v;
    }
    // Codes outside 1..12 read as 0; a zero ends the seat's codes.
    const size_t seat1 = 31 + 45 + 20;
    image[seat1 + 0] = 13;
    image[seat1 + 1] = 0xFF;
    image[seat1 + 2] = 0x80;
    image[seat1 + 6] = 0;
    const BattleDecodeResult r = DecodeBattleFile(image);
    EXPECT_EQ(r.file.codes.rows[1][0], 0);
    EXPECT_EQ(r.file.codes.rows[1][1], 0);
    EXPECT_EQ(r.file.codes.rows[1][2], 0);
    EXPECT_EQ(r.file.codes.rows[1][3], image[seat1 + 3]);
    for (int k = 6; k < 30; ++k) EXPECT_EQ(r.file.codes.rows[1][k], 0) << k;
    // The magic is not compared.
    std::memset(image.data(), 'x', 30);
    EXPECT_EQ(DecodeBattleFile(image).error, BattleFileError::kNone);
}

TEST(BattleFileRead, HostileMoveRecords) {
    PlayedBattle b;
    const std::vector<uint8_t> head = EncodeBattleFile(BattleFileFromGame(b.t.g(), false));
    const MoveRec good = PointMove(5, 120);
    const auto withMoves = [&](const std::vector<std::array<uint8_t, 4>>& moves, size_t extra = 0) {
        std::vector<uint8_t> image(head.begin(), head.begin() + 211);
        for (const auto& m : moves) image.insert(image.end(), m.begin(), m.end());
        image.insert(image.end(), extra, 0x11);
        return image;
    };
    const std::array<uint8_t, 4> ok = {uint8_t(good.fromX), uint8_t(good.fromY), uint8_t(good.toX), uint8_t(good.toY)};

    // A trailing part of a record is ignored.
    for (size_t extra : {1u, 2u, 3u}) EXPECT_EQ(DecodeBattleFile(withMoves({ok, ok}, extra)).file.moves.size(), 2u);

    // A zero coordinate ends the moves; other points that are not board
    // points are kept as a step without a mover.
    const std::array<uint8_t, 4> ending[] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {18, 0, 18, 17}};
    for (const auto& m : ending) EXPECT_EQ(DecodeBattleFile(withMoves({ok, ok, m, ok})).file.moves.size(), 2u);
    const std::array<uint8_t, 4> offBoard[] = {{5, 17, 18, 17}, {18, 17, 29, 17}, {12, 12, 18, 17}, {22, 22, 22, 255}};
    for (const auto& m : offBoard) {
        const BattleDecodeResult r = DecodeBattleFile(withMoves({ok, ok, m, ok}));
        ASSERT_EQ(r.file.moves.size(), 4u);
        EXPECT_EQ(r.file.moves[2].fromX, kOffBoardMove.fromX);
        EXPECT_EQ(r.file.moves[3].fromX, good.fromX);
    }
    // Far more records than a battle has: the first 510.
    std::vector<std::array<uint8_t, 4>> many(5000, ok);
    EXPECT_EQ(DecodeBattleFile(withMoves(many)).file.moves.size(), 510u);
    // Shorter than the head: no record.
    for (size_t size : {0u, 30u, 210u}) {
        EXPECT_EQ(DecodeBattleFile(head.data(), size).error, BattleFileError::kTooShort) << size;
    }
}

TEST(BattleFileRead, ReadLaysTheBattleOutFromItsSeat) {
    PlayedBattle b;
    GameState& g = b.t.g();
    std::vector<uint8_t> image = EncodeBattleFile(BattleFileFromGame(g, false));
    image[30] = 22;  // seat 2
    image.resize(image.size() + 40000, 7);  // junk beyond the largest record
    const std::string path = b.t.Path("big.kbt");
    WriteBytes(path, image);
    const PieceTable saved = g.deployedPieces;
    BattleFile out;
    ASSERT_EQ(ReadBattleFile(g, path, out), BattleFileError::kNone);
    EXPECT_TRUE(b.t.ui.messages.empty());
    EXPECT_EQ(out.seat, 2);
    EXPECT_EQ(out.moves.size(), 510u);  // the junk reads as steps without a mover
    EXPECT_EQ(out.moves[4].fromX, kOffBoardMove.fromX);
    // Row 2 of the file at the bottom: its codes stop at slot 10.
    for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[k].code, k < 10 ? saved[50 + k].code : 0);
    EXPECT_EQ(g.pieces[50].code, saved[0].code);
    EXPECT_EQ(b.t.ui.labels[0], "");
    EXPECT_EQ(b.t.ui.labels[1], "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(b.t.ui.labels[2], "Alice");
    // Saved again now, the record keeps its deployments and names (seen
    // from its seat 2).
    for (int i = 0; i < 100; ++i) EXPECT_EQ(g.deployedPieces[i].code, g.pieces[i].code);
    EXPECT_EQ(g.seatNames[2], "Alice");
    EXPECT_EQ(g.seatNames[3], Gb("张三丰"));
}

TEST(BattleFileRead, UnreadableOrTruncatedFilesAreReported) {
    TestGame t;
    WriteBytes(t.Path("short.kbt"), std::vector<uint8_t>(150, 1));
    std::filesystem::create_directory(t.Path("dir.kbt"));
    for (const char* name : {"missing.kbt", "short.kbt", "dir.kbt"}) {
        t.ui.messages.clear();
        t.g().pieces[0].code = 7;
        BattleFile out;
        out.moves.resize(3);
        EXPECT_NE(ReadBattleFile(t.g(), t.Path(name), out), BattleFileError::kNone) << name;
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0], Gb("文件无法打开！          "));
        EXPECT_TRUE(out.moves.empty());
        EXPECT_EQ(t.g().pieces[0].code, 7);  // nothing laid out
        EXPECT_EQ(t.ui.redraws, 0);
    }
}

TEST(BattleRecordFolder, SortedByNameSkippingWhatIsNotARecord) {
    TestGame t;
    for (const char* name : {"c.kbt", "A.KBT", "b.kbt", ".hidden.kbt", "d.kbtx", "e.jqh", "ro.kbt"})
        WriteBytes(t.Path(name), {1});
    std::filesystem::create_directory(t.Path("f.kbt"));
    ::chmod(t.Path("ro.kbt").c_str(), 0444);
    EXPECT_EQ(ListBattleRecordFiles(t.folder),
              (std::vector<std::string>{t.Path("A.KBT"), t.Path("b.kbt"), t.Path("c.kbt")}));
    EXPECT_TRUE(ListBattleRecordFiles(t.Path("none")).empty());
}

}  // namespace
}  // namespace jq
