#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <sys/resource.h>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/formationfile.h"
#include "formations/newbattle.h"
#include "formations/piecestats.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/battlefile.h"
#include "core/littleendian.h"
#include "support/dealt.h"
#include "support/fake_computer.h"
#include "support/files_support.h"
#include "support/scene.h"
#include "view/deployment.h"

namespace jq {
namespace {

using test::TestGame;
using test::WriteBytes;
using test::ReadBytes;

TEST(Formation, GeneratedFormationsAreLegalAndReproducible) {
    bool flagLeft = false, flagRight = false;
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        const BattleFile a = test::DealRecord(seed), b = test::DealRecord(seed);
        const int8_t* codes = a.codes.rows[1];
        ASSERT_TRUE(IsLegalFormation(codes) && std::memcmp(codes, b.codes.rows[1], 25) == 0) << "seed " << seed;
        flagLeft |= codes[21] == kFlag;
        flagRight |= codes[23] == kFlag;
    }
    EXPECT_TRUE(flagLeft && flagRight);
}

TEST(Formation, EachBrokenRuleIsRefused) {
    int8_t legal[25];
    std::copy(test::kArmy, test::kArmy + 25, legal);
    ASSERT_TRUE(IsLegalFormation(legal));
    const auto changed = [&](int a, int b, int code = 0) {
        int8_t c[25];
        std::memcpy(c, legal, 25);
        std::swap(c[a], c[b]);
        if (code != 0) c[a] = static_cast<int8_t>(code);
        return IsLegalFormation(c);
    };
    // The flag outside a headquarters and in the other one, a mine before and in the last two rows, a bomb in
    // the front row and behind it.
    EXPECT_TRUE(!changed(21, 20) && changed(21, 23) && !changed(16, 14) && changed(16, 15) && !changed(19, 4) && changed(19, 5));
    EXPECT_FALSE(changed(15, 15, kEngineer));  // one commander too few, one engineer too many
    for (int bad : {13, -1}) EXPECT_FALSE(changed(4, 4, bad)) << bad;
}

SeatCodes Deal(GameState& g, uint32_t seed) {
    g.mainRandom.Seed(seed);
    int8_t codes[kPiecesPerSeat];
    GenerateFormation(g.mainRandom, codes);
    for (int k = 0; k < kPiecesPerSeat; ++k) g.pieces[k].code = codes[k];
    return SeatZeroCodes(g);
}

// Names as long as the folder takes, in UTF-8 or GB2312, save and load too.
TEST(FormationFile, SaveThenLoadRestoresSeatZeroWhateverTheHeadAndCase) {
    TestGame t;
    const SeatCodes saved = Deal(t.g(), 1);
    ASSERT_TRUE(SaveFormationFile(t.g(), t.Path("mine.kjq")));
    std::vector<uint8_t> bytes = test::ReadBytes(t.Path("mine.kjq"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, 30), kBattleMagic);
    for (int i = 0; i < 30; ++i) bytes[i] = 0xEE;
    WriteBytes(t.Path("OTHER.KJQ"), bytes);
    std::string utf8, gb;
    while (utf8.size() < 249) utf8 += "阵";
    while (gb.size() < 250) gb += Gb("阵");
    const std::string longNames[] = {std::string(251, 'f') + ".kjq", std::string(247, 'f') + ".kjq", utf8 + "x.kjq",
                                     gb + "x.kjq"};
    for (const std::string& name : longNames) ASSERT_TRUE(SaveFormationFile(t.g(), t.Path(name))) << name.size();
    for (const std::string& name : {std::string("mine.kjq"), std::string("OTHER.KJQ"), longNames[0], longNames[1],
                                    longNames[2], longNames[3]}) {
        Deal(t.g(), 2);
        ASSERT_TRUE(LoadFormationByExtension(t.g(), t.Path(name))) << name;
        EXPECT_EQ(SeatZeroCodes(t.g()), saved) << name;
    }
    EXPECT_EQ(t.ui.redraws, 6);
    EXPECT_EQ(test::FolderEntries(t.folder).size(), 6u);
}

TEST(FormationFile, RefusedFilesChangeNothingAndNameThePath) {
    TestGame t;
    const std::vector<uint8_t> good = EncodeFormationFile(Deal(t.g(), 4));
    std::vector<uint8_t> bad = good;
    WriteBytes(t.Path("cut.kjq"), std::vector<uint8_t>(good.begin(), good.end() - 1));
    WriteBytes(t.Path("zero.kjq"), (bad[30 + 24] = 0, bad));
    WriteBytes(t.Path("thirteen.kjq"), (bad[30 + 24] = 13, bad));
    WriteBytes(t.Path("good.kbt"), good);
    const SeatCodes before = Deal(t.g(), 6);
    for (const char* name : {"zero.kjq", "thirteen.kjq", "cut.kjq", "missing.kjq"}) {
        EXPECT_FALSE(LoadFormationFile(t.g(), t.Path(name)));
        EXPECT_EQ(t.ui.boxes.back().text, Gb("棋子格式非法，请删除文件---") + Gb(t.Path(name)));
    }
    // Other extensions load nothing at all.
    for (const char* name : {"good.kbt", "kjq", "good.kjq.bak"}) EXPECT_FALSE(LoadFormationByExtension(t.g(), t.Path(name)));
    EXPECT_TRUE(SeatZeroCodes(t.g()) == before && t.ui.redraws == 0 && t.ui.boxes.size() == 4);
    EXPECT_FALSE(SaveFormationFile(t.g(), t.Path("no/such/folder.kjq")));
    EXPECT_EQ(t.ui.boxes.back().text, Gb("保存结果文件不成功！！！"));
}

TEST(FormationGrid, CellValuesMapOnlyThroughTheTable) {
    const int32_t cells[][2] = {{1, 5}, {8, 12}, {9, 1}, {10, 4}, {11, 2}, {12, 3}, {101, 5}, {109, 1}, {110, 4},
                                {0, 1}, {13, 1}, {113, 1}, {99, 1}, {-1, 1}, {-110, 1}, {INT_MIN, 1}, {INT_MAX, 1}};
    for (const auto& c : cells) EXPECT_EQ(JqsPieceCode(c[0]), c[1]) << c[0];
}

TEST(FormationGrid, SeatOnesPointsGiveTheSlotsAndAShortFileReadsAsZero) {
    auto cellOf = [](int k) { return 17 * (Board().boardPoints[30 + k].gridX - 12) + Board().boardPoints[30 + k].gridY - 12; };
    // Foreign code 1 + k % 12 on point 30 + k, 10 everywhere else.
    std::vector<uint8_t> image(kJqsFileBytes, 0);
    for (int cell = 0; cell < kJqsSide * kJqsSide; ++cell) PutI32(image.data() + 108 + 4 * cell, 10);
    for (int k = 0; k < kPiecesPerSeat; ++k) PutI32(image.data() + 108 + 4 * cellOf(k), 201 + k % 12);
    // Cut within seat 1's area: slots it no longer reaches get code 1.
    const int cut = cellOf(12);
    image.resize(108 + 4 * cut);
    const SeatCodes codes = DecodeFormationGrid(image.data(), image.size());
    for (int k = 0; k < kPiecesPerSeat; ++k)
        EXPECT_EQ(codes[k], cellOf(k) < cut ? JqsPieceCode(1 + k % 12) : int{kFlag}) << k;
    // Such a grid is no army: the file, like a missing one, loads nothing.
    TestGame t;
    WriteBytes(t.Path("b.JQS"), image);
    EXPECT_FALSE(LoadFormationByExtension(t.g(), t.Path("b.JQS")));
    EXPECT_FALSE(LoadFormationGrid(t.g(), t.Path("missing.jqs")));
    EXPECT_TRUE(t.g().pieces[0].code == kCodeNone && t.ui.redraws == 0 && t.ui.boxes.size() == 2);
}

// Formation files written byte by byte as their formats lay them out, not
// through the game's own writer.
std::vector<uint8_t> KjqImage(const int* codes) {
    const std::string head = "Kestrim Junqi Battle file(1.0)";
    std::vector<uint8_t> image(head.begin(), head.end());
    for (int k = 0; k < 25; ++k) image.push_back(static_cast<uint8_t>(codes[k]));
    return image;
}

// Slot k stands on seat 1's deployment point 30 + k; a cell holds the
// foreign code (with some hundreds, which do not count).
std::vector<uint8_t> JqsImage(const int* codes) {
    constexpr int kForeign[13] = {0, 9, 11, 12, 10, 1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> image(1264, 0);
    for (int k = 0; k < 25; ++k) {
        const BoardPoint& p = Board().boardPoints[30 + k];
        PutI32(image.data() + 108 + 4 * (17 * (p.gridX - 12) + (p.gridY - 12)), 300 + kForeign[codes[k]]);
    }
    return image;
}

// A formation must be one whole army, wherever its pieces stand; any other
// is refused with the file's path, and seat 0 keeps its codes.
TEST(FormationFiles, OnlyWholeArmiesLoadFromEitherKind) {
    int army[25], secondCommander[25], allFlags[25], noBomb[25], flagInFront[25];
    std::copy(test::kArmy, test::kArmy + 25, army);
    std::copy(army, army + 25, secondCommander);
    secondCommander[13] = kCommander;  // a platoon leader made a second 司令
    std::fill(allFlags, allFlags + 25, kFlag);
    std::copy(army, army + 25, noBomb);
    noBomb[19] = kEngineer;  // a bomb short, an engineer too many
    std::copy(army, army + 25, flagInFront);
    std::swap(flagInFront[21], flagInFront[0]);  // one army; "完毕" judges the places
    const struct {
        const char* name;
        const int* codes;
        bool loads;
    } rows[] = {{"army", army, true},          {"flag-in-front", flagInFront, true}, {"second-commander", secondCommander, false},
                {"all-flags", allFlags, false}, {"no-bomb", noBomb, false}};
    for (const auto& r : rows)
        for (const std::string ext : {".kjq", ".jqs"}) {
            SCOPED_TRACE(r.name + ext);
            TestGame t;
            const SeatCodes before = Deal(t.g(), 9);
            const std::string path = t.Path(r.name + ext);
            WriteBytes(path, ext == ".kjq" ? KjqImage(r.codes) : JqsImage(r.codes));
            EXPECT_EQ(LoadFormationByExtension(t.g(), path), r.loads);
            for (int k = 0; k < 25; ++k) EXPECT_EQ(t.g().pieces[k].code, r.loads ? r.codes[k] : before[k]) << k;
            EXPECT_EQ(t.ui.redraws, r.loads ? 1 : 0);
            if (r.loads) {
                EXPECT_TRUE(t.ui.boxes.empty());
            } else {
                ASSERT_EQ(t.ui.boxes.size(), 1u);
                EXPECT_EQ(t.ui.boxes[0].text + t.ui.boxes[0].caption, Gb("棋子格式非法，请删除文件---") + Gb(path) + Gb("警告"));
            }
        }
}

// Random bytes as a ".jqs" (an army by chance is out of reach) and a ".kjq"
// of 23 engineers are refused like any broken army.
TEST(FormationFiles, RandomGridAndAnEngineerArmyAreRefused) {
    TestGame t;
    const SeatCodes before = Deal(t.g(), 11);
    GameRandom rng;
    rng.Seed(77);
    std::vector<uint8_t> noise(2000);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(rng.Next());
    WriteBytes(t.Path("noise.jqs"), noise);
    int engineers[25];
    std::fill(engineers, engineers + 25, kEngineer);
    engineers[21] = kFlag, engineers[15] = kMine;
    WriteBytes(t.Path("engineers.kjq"), KjqImage(engineers));
    for (const char* name : {"noise.jqs", "engineers.kjq"}) EXPECT_FALSE(LoadFormationByExtension(t.g(), t.Path(name))) << name;
    EXPECT_TRUE(SeatZeroCodes(t.g()) == before && t.ui.redraws == 0 && t.ui.boxes.size() == 2);
    EXPECT_TRUE(t.ui.messages.empty());
}

bool SeatIsLegal(const GameState& g, int seat) {
    int8_t codes[25];
    for (int k = 0; k < 25; ++k) codes[k] = static_cast<int8_t>(g.pieces[seat * 25 + k].code);
    return IsLegalFormation(codes);
}

TEST(NewBattle, ResetsAReplayInTheMiddleAndDealsLegalFormations) {
    TestGame t;
    GameState& g = t.g();
    test::FakeComputer computer;
    computer.idle = false, g.computer = &computer;
    // A replay with the other seats face up, steps taken, pieces gone.
    g.replayFileName = "some.kbt";
    g.clickStepCount = 10;
    g.autoPlay = g.peaceAgreed = g.stepLimitReached = g.viewOtherFormations = 1;
    g.selectedPiece = 7;
    g.stepCount = 123;
    std::memset(g.eliminatedPieces, 3, sizeof g.eliminatedPieces);
    g.optionsRecord.turnDirectionOption = 0;  // a record that was never saved
    g.optionsRecord.aiLevel = 1;
    std::strcpy(g.optionsRecord.playerNames[0], "  Me ");
    ASSERT_TRUE(NewBattleAgainstComputer(g));

    // Neither a formation database nor the statistics file is there.
    EXPECT_TRUE(computer.stops == 1 && t.ui.boxes.size() == 1);
    EXPECT_EQ(t.ui.messages, std::vector<std::string>{Gb("采用默认子力分布！！     ")});
    for (int s = 0; s < 4; ++s) EXPECT_TRUE(SeatIsLegal(g, s) && g.zfChosenIndex[s] == -1) << "seat " << s;
    for (int i = 0; i < 100; ++i)  // the deployed copy is what a save during the deployment writes
        EXPECT_TRUE(g.pieces[i].alive == 1 && g.deployedPieces[i].code == g.pieces[i].code) << i;
    EXPECT_EQ(g.battleRunning + g.deployPhase + g.practiceMode + g.clickStepCount + g.turnDirection, 5);
    EXPECT_EQ(g.computerSeat[0] * 10 + g.computerSeat[1] + g.computerSeat[2] + g.computerSeat[3], 3);
    EXPECT_EQ(g.replayFileName, "NONE");
    EXPECT_EQ(g.autoPlay + g.peaceAgreed + g.stepLimitReached + g.netConnected + g.viewOtherFormations + g.stepCount, 0);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    for (int i = 0; i < 510; ++i) ASSERT_EQ(g.stepRecords[i], (StepRec{-2, -2, 0, 0, 0, 0, 0})) << i;
    EXPECT_EQ(std::count(&g.eliminatedPieces[0][0], &g.eliminatedPieces[0][0] + sizeof g.eliminatedPieces, -2),
              static_cast<long>(sizeof g.eliminatedPieces));
    EXPECT_TRUE(t.ui.labels[0] == "Me" && g.seatNames[0] == "Me" && g.gameLogicDepth == 0);
    EXPECT_TRUE(t.ui.deploymentControls && t.ui.saveEnabled && t.ui.timerOn && !t.ui.viewOtherEnabled);
}

TEST(ShippedData, WholeArmiesLegalFormationsAndANewBattleWithoutAnyMessage) {
    const std::string shipped = std::string(JQ_SOURCE_DIR) + "/assets/work/";
    const std::vector<uint8_t> stat = test::ReadBytes(shipped + kStatFileName);
    auto tables = std::make_unique<PieceStatTables>();
    ASSERT_EQ(stat.size(), static_cast<size_t>(kStatFileBytes));
    ASSERT_EQ(DecodePieceStats(stat.data(), stat.size(), *tables), StatError::kNone);
    const ZfDecodeResult zf = ReadZfFile(shipped + kZfFileName);
    ASSERT_EQ(zf.error, ZfError::kNone);
    for (int p = 0; p < 25; ++p) EXPECT_NEAR(test::Sum12(tables->slotTable[p]), 100.0f, 0.05f) << "slot " << p;
    ASSERT_TRUE(zf.db.count >= 100 && zf.db.count <= kStudyRecordLimit + 3);  // the study's cut
    for (int n = 0; n < zf.db.count; ++n)
        ASSERT_TRUE(IsLegalFormation(zf.db.slots[n].codes) && zf.db.slots[n].score == 0) << "record " << n;

    test::TestGame t;
    GameState& g = t.g();
    std::filesystem::copy_file(shipped + kStatFileName, t.Path(kStatFileName));
    std::filesystem::copy_file(shipped + kZfFileName, t.Path(kZfFileName));
    g.mainRandom.Seed(2024);
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    EXPECT_TRUE(t.ui.boxes.empty() && t.ui.messages.empty());
    for (int s = 0; s < 4; ++s) {
        ASSERT_TRUE(g.zfChosenIndex[s] >= 0 && g.zfChosenIndex[s] < zf.db.count);
        for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[s * 25 + k].code, zf.db.slots[g.zfChosenIndex[s]].codes[k]);
    }
    EXPECT_EQ(ValidateDeployment(g), 0);
    EXPECT_EQ(std::memcmp(g.slotCorrelation, tables->linkTable, sizeof tables->linkTable), 0);
}

ZfDatabase MakeDatabase(int count, std::vector<int32_t> scores = {}) {
    ZfDatabase db = test::DealDatabase(count);
    for (size_t n = 0; n < scores.size(); ++n) db.slots[n].score = scores[n];
    return db;
}

// The original slot numbers, found by their codes.
std::vector<int> Order(const ZfDatabase& sorted, const ZfDatabase& original) {
    std::vector<int> order;
    for (int i = 0; i < sorted.count; ++i)
        for (int n = 0; n < original.count; ++n)
            if (std::memcmp(sorted.slots[i].codes, original.slots[n].codes, kPiecesPerSeat) == 0) order.push_back(n);
    return order;
}

TEST(ZfFile, ImageLayoutAndHostileCounts) {
    const ZfDatabase db = MakeDatabase(3, {5, -1, 0});
    std::vector<uint8_t> image = EncodeZfDatabase(db);
    ASSERT_EQ(image.size(), 64004u);
    // Slot 1: codes at 36, three zero bytes, the score at 64.
    EXPECT_TRUE(GetI32(image.data()) == 3 && std::memcmp(image.data() + 36, db.slots[1].codes, 25) == 0);
    EXPECT_TRUE((image[61] | image[62] | image[63]) == 0 && GetI32(image.data() + 64) == -1);
    ZfDecodeResult back = DecodeZfDatabase(image);
    ASSERT_EQ(back.error, ZfError::kNone);
    EXPECT_TRUE(back.db.count == 3 && back.db.slots == db.slots);

    for (int32_t count : {0, -1, INT32_MIN, 2001, INT32_MAX}) {
        PutI32(image.data(), count);
        const ZfDecodeResult r = DecodeZfDatabase(image);
        EXPECT_TRUE(count > 0 ? r.db.count == 2000 : r.error == ZfError::kNoRecords) << count;
    }
    EXPECT_EQ(DecodeZfDatabase(nullptr, 0).error, ZfError::kNoRecords);
    image.resize(4 + 32 + 10);  // slot 1 cut after ten codes: the rest reads as zero
    back = DecodeZfDatabase(image);
    EXPECT_TRUE(back.db.slots[0] == db.slots[0] && back.db.slots[2] == ZfRecord{});
    EXPECT_TRUE(std::memcmp(back.db.slots[1].codes, db.slots[1].codes, 10) == 0 && back.db.slots[1].codes[10] == 0);
}

TEST(ZfDraw, PrefersTheFrontAndNeverTheLastTwo) {
    GameRandom rng;
    for (int count : {-7, 0, 1, 2, 3})
        for (int i = 0; i < 100; ++i) ASSERT_EQ(DrawZfIndex(rng, count), 0) << count;
    int front = 0, one = 0;
    for (int i = 0; i < 2000; ++i) {
        const int r = DrawZfIndex(rng, 50);
        ASSERT_TRUE(r >= 0 && r <= 47) << r;
        front += r < 5, one += r == 1;
    }
    EXPECT_TRUE(front > 1000 && one > 0);  // three nested draws: about 62% land on 0..4 (two would give 34%)
}

TEST(ZfPick, UnusableDatabasesAreReportedAndLegalFormationsDealt) {
    CodeTable table;
    // Missing, empty, or holding a broken formation (a bad code, a flag off the headquarters, a count
    // promising more than the file holds).
    std::vector<uint8_t> one = EncodeZfDatabase(MakeDatabase(1));
    const auto damaged = [&](size_t at, uint8_t v) { std::vector<uint8_t> b = one; b[at] = v; return b; };
    std::vector<uint8_t> promising(one.begin(), one.begin() + 4 + 32);
    PutI32(promising.data(), 2000);
    for (const auto& file : {std::vector<uint8_t>{}, damaged(0, 0), damaged(4 + 3, 13), damaged(4 + 3, 0),
                             damaged(4, 1), promising}) {
        TestGame u;
        if (!file.empty()) WriteBytes(ZfFilePath(u.g()), file);
        PickZfFormations(u.g(), table);
        const bool usable = file.size() > 4 && GetI32(file.data()) > 0;
        const std::string warning = Gb("没有默认的阵法数据库(zffile)！！\n请设置桌面快捷方式的目录属性。        ");
        EXPECT_EQ(u.ui.boxes.size(), usable ? 0u : 1u);
        EXPECT_TRUE(usable || u.ui.boxes[0].text == warning);
        for (int s = 0; s < 4; ++s)
            EXPECT_TRUE(IsLegalFormation(table.rows[s]) && u.g().zfChosenIndex[s] == (file == promising && u.g().zfChosenIndex[s] == 0 ? 0 : -1)) << s;
    }
}

TEST(ZfRate, ResultsMoveTheComputersRecords) {
    struct Case {
        int i1, i3, result;  // indexes of seats 1 and 3; 1: seats 1 and 3 won
        std::vector<int32_t> scores;
        std::vector<int> order;
        std::vector<int32_t> after;
    };
    const Case cases[] = {
        {3, 2, 1, {}, {2, 3, 0, 1, 4, 5}, {1, 1, 0, 0, 0, 0}},
        {1, 1, 0, {}, {0, 2, 3, 4, 5, 1}, {0, 0, 0, 0, 0, -2}},  // both played slot 1
        {0, 0, 1, {INT32_MAX}, {0, 1, 2, 3, 4, 5}, {INT32_MAX, 0, 0, 0, 0, 0}},
        {5, 5, 0, {0, 0, 0, 0, 0, INT32_MIN}, {0, 1, 2, 3, 4, 5}, {0, 0, 0, 0, 0, INT32_MIN}},
        {2, 2, 2, {}, {0, 1, 2, 3, 4, 5}, {0, 0, 0, 0, 0, 0}},  // a draw rates nothing
        {-1, 6, 0, {}, {0, 1, 2, 3, 4, 5}, {0, 0, 0, 0, 0, 0}},  // indexes outside the records
        {INT32_MIN, 1999, 1, {}, {0, 1, 2, 3, 4, 5}, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TestGame t;
        const ZfDatabase db = MakeDatabase(6, c.scores);
        ASSERT_TRUE(WriteZfFile(ZfFilePath(t.g()), db));
        const int chosen[4] = {4, c.i1, 5, c.i3};
        std::memcpy(t.g().zfChosenIndex, chosen, sizeof chosen);
        RateZfFormations(t.g(), c.result);
        const ZfDatabase after = ReadZfFile(ZfFilePath(t.g())).db;
        SCOPED_TRACE(std::to_string(c.i1) + "," + std::to_string(c.i3) + " result " + std::to_string(c.result));
        EXPECT_EQ(Order(after, db), c.order);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(after.slots[i].score, c.after[i]) << i;
        EXPECT_TRUE(after.slots[6] == ZfRecord{} && t.ui.boxes.empty());
    }
}

TEST(ZfRate, RewritesFullLengthOrReportsAndKeepsTheOldFile) {
    TestGame t;
    const std::string path = ZfFilePath(t.g());
    std::vector<uint8_t> image = EncodeZfDatabase(MakeDatabase(3));
    PutI32(image.data(), 5000);
    image.resize(4 + 3 * 32);
    WriteBytes(path, image);
    t.g().zfChosenIndex[1] = 2;
    RateZfFormations(t.g(), 1);
    const std::vector<uint8_t> after = ReadBytes(path);
    ASSERT_EQ(after.size(), 64004u);
    EXPECT_EQ(GetI32(after.data()), 2000);

    // No file may grow beyond 1000 bytes: the rewrite fails half-way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {1000, old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    RateZfFormations(t.g(), 0);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(path), after);
    EXPECT_EQ(test::FolderEntries(t.folder), std::vector<std::string>{"zffile"});

    WriteBytes(path, std::vector<uint8_t>(64004, 0));  // count 0
    RateZfFormations(t.g(), 0);
    EXPECT_EQ(t.ui.boxes.at(0).text + t.ui.boxes[0].caption, Gb("阵法数据库无法操作，请检查zffile文件。警告"));
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>(64004, 0));
}

bool SameCodes(const ZfRecord& rec, const int8_t* codes) { return std::memcmp(rec.codes, codes, 25) == 0; }

TEST(Study, TakesEverySeatButTheRecordersInNameAndSeatOrderSkippingBadFiles) {
    TestGame t;
    // Written in reverse, so only the name order gives the expected order.
    for (int n = 9; n >= 0; --n) WriteBytes(t.Path("r" + std::to_string(10 + n) + ".kbt"), EncodeBattleFile(test::DealRecord(100 + n)));
    std::vector<uint8_t> bad = EncodeBattleFile(test::DealRecord(5));
    bad[31 + 2 * 45 + 20 + 6] = 13;  // seat 2, slot 6: the file ends after seat 1
    WriteBytes(t.Path("a.kbt"), bad);
    namespace fs = std::filesystem;
    for (const char* skipped : {"locked.kbt", ".hidden.kbt", "other.kjq"}) WriteBytes(t.Path(skipped), bad);
    fs::permissions(t.Path("locked.kbt"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(t.Path("folder.kbt"));
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    ASSERT_EQ(std::pair(study.files, study.db->count), std::pair(11, 31));
    EXPECT_TRUE(SameCodes(study.db->slots[0], test::DealRecord(5).codes.rows[1]));
    for (int n = 0; n < 10; ++n)
        for (int s = 1; s < 4; ++s) {
            const ZfRecord& rec = study.db->slots[1 + 3 * n + s - 1];
            EXPECT_TRUE(SameCodes(rec, test::DealRecord(100 + n).codes.rows[s]) && rec.score == 0) << n << "/" << s;
        }
    EXPECT_EQ(study.db->slots[31], ZfRecord{});
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text + t.ui.boxes[0].caption, Gb("棋子格式非法，请删除文件---") + Gb(t.Path("a.kbt")) + Gb("警告"));
}

TEST(Study, SeatsLeftOutAndAFullDatabase) {
    BattleFile rec = test::DealRecord(3);
    rec.codes.rows[2][0] = kFlag;  // no legal formation has it: passed over silently
    std::vector<uint8_t> bytes = EncodeBattleFile(rec);
    auto db = std::make_unique<ZfDatabase>();
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    ASSERT_EQ(db->count, 2);
    EXPECT_TRUE(SameCodes(db->slots[0], rec.codes.rows[1]) && SameCodes(db->slots[1], rec.codes.rows[3]));
    // A whole army with its flag exchanged onto slot 0 is passed over as well; a bad code on the last
    // slot stops the file as on any other slot.
    rec = test::DealRecord(3);
    int8_t* seat2 = rec.codes.rows[2];
    std::swap(seat2[0], *std::find(seat2, seat2 + 25, kFlag));
    ASSERT_TRUE(IsWholeArmy(seat2));
    bytes = EncodeBattleFile(rec);
    *db = ZfDatabase{};
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    EXPECT_TRUE(db->count == 2 && SameCodes(db->slots[1], rec.codes.rows[3]));
    for (int bad : {0, 13, -1}) {
        bytes = EncodeBattleFile(test::DealRecord(3));
        bytes[31 + 2 * 45 + 20 + 24] = static_cast<uint8_t>(bad);
        *db = ZfDatabase{};
        EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kBadCode) << bad;
        EXPECT_TRUE(db->count == 1 && SameCodes(db->slots[0], test::DealRecord(3).codes.rows[1])) << bad;
    }
    // Byte 7 leaves out seat 3; a negative byte (-2) leaves out no seat.
    bytes = EncodeBattleFile(test::DealRecord(4));
    for (auto [seatByte, count] : {std::pair{7, 3}, {0xFE, 4}}) {
        bytes[30] = static_cast<uint8_t>(seatByte);
        *db = ZfDatabase{};
        ReadBattleFormations(bytes.data(), bytes.size(), *db);
        EXPECT_TRUE(db->count == count && SameCodes(db->slots[2], test::DealRecord(4).codes.rows[2]));
    }
    db->count = kZfSlots - 1;  // a full database takes nothing more
    EXPECT_TRUE(ReadBattleFormations(bytes.data(), bytes.size(), *db) == StudyReadResult::kRead && db->count == kZfSlots);
}

// A recorded seat whose codes are all valid but no whole army is left out
// without a word; the seats around it are still taken.
TEST(Study, SeatsThatAreNoWholeArmyAreLeftOut) {
    const BattleFile rec = test::DealRecord(8);
    const int8_t* seat2 = rec.codes.rows[2];
    // Seat 2's first piece of code `from` becomes `to`; `from` 0 turns every slot but slot 0 into `to`.
    const struct {
        const char* what;
        int from, to;
    } rows[] = {{"second commander", kPlatoon, kCommander}, {"all flags but slot 0", 0, kFlag}, {"a bomb short", kBomb, kEngineer}};
    for (const auto& r : rows) {
        std::vector<uint8_t> bytes = EncodeBattleFile(rec);
        uint8_t* slots = bytes.data() + 31 + 2 * 45 + 20;  // seat 2's codes in the record's head
        if (r.from == 0) {
            std::fill(slots + 1, slots + 25, static_cast<uint8_t>(r.to));
        } else {
            const auto k = std::find(seat2, seat2 + 25, r.from) - seat2;
            ASSERT_LT(k, 25) << r.what;
            slots[k] = static_cast<uint8_t>(r.to);
        }
        auto db = std::make_unique<ZfDatabase>();
        EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead) << r.what;
        ASSERT_EQ(db->count, 2) << r.what;
        EXPECT_TRUE(SameCodes(db->slots[0], rec.codes.rows[1]) && SameCodes(db->slots[1], rec.codes.rows[3])) << r.what;
    }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Every belief row sums to 100 and expects nothing the deployment rules forbid.
void ExpectDeploymentBeliefs(const GameState& g) {
    for (int i = 0; i < 100; ++i)
        for (int o = 0; o < 4; ++o) {
            const float* row = g.pieces[i].beliefs[o];
            const int slot = i % 25;
            ASSERT_NEAR(test::Sum12(row), 100.0f, 0.01f) << i;
            ASSERT_TRUE((slot == 21 || slot == 23 || row[kFlag - 1] == 0.0f) && (slot >= 15 || row[kMine - 1] == 0.0f) &&
                        (slot >= 5 || row[kBomb - 1] == 0.0f)) << i;
        }
    EXPECT_NEAR(g.pieces[21].beliefs[1][0] + g.pieces[23].beliefs[1][0], 100.0f, 1.0f);
}

TEST(PieceStatsFile, ShortFilesReadAsZeroAndValuesThatAreNoPercentagesAreRefused) {
    PieceStatTables tables;
    tables.slotTable[3][4] = 12.5f;
    tables.linkTable[24][11][2][11] = 100.0f;
    const std::vector<uint8_t> image = EncodePieceStats(tables);
    ASSERT_TRUE(image.size() == 44700u && GetF32(image.data() + 4 * (15 * 3 + 4)) == 12.5f);
    PieceStatTables back;
    back.linkTable[24][11][2][11] = 55.0f;  // must not survive a short read
    ASSERT_EQ(DecodePieceStats(image.data(), 1500 + 10, back), StatError::kNone);
    EXPECT_TRUE(back.slotTable[3][4] == 12.5f && back.linkTable[24][11][2][11] == 0.0f);
    std::vector<uint8_t> longer = image;
    longer.resize(50000, 0xFF);  // NaN bytes after the end are not read
    ASSERT_EQ(DecodePieceStats(longer.data(), longer.size(), back), StatError::kNone);
    EXPECT_EQ(back.linkTable[24][11][2][11], 100.0f);

    for (float v : {kNaN, kInf, -kInf, -0.5f, 100.01f, 1e30f})
        for (size_t offset : {size_t{0}, size_t{1500 + 4 * 777}, size_t{44696}}) {
            std::vector<uint8_t> bad = image;
            PutF32(bad.data() + offset, v);
            EXPECT_TRUE(DecodePieceStats(bad.data(), bad.size(), back) == StatError::kBadValue && back.slotTable[3][4] == 0.0f)
                << v << " @" << offset;
        }
    std::vector<uint8_t> edge = image;
    PutF32(edge.data(), 100.0f);
    PutF32(edge.data() + 4, -0.0f);
    EXPECT_EQ(DecodePieceStats(edge.data(), edge.size(), back), StatError::kNone);
}

TEST(PieceStatsLoad, DefaultsForAMissingOrHostileFileElseTheFileSeedsTheBeliefs) {
    for (float v : {-1.0f /* no file */, kNaN, kInf, 250.0f, 0.0f /* good */}) {
        TestGame t;
        PieceStatTables tables;
        for (auto& row : tables.slotTable)
            for (int c = 0; c < 12; ++c) row[c] = 100.0f / 12;
        tables.slotTable[7][2] = v;
        tables.linkTable[0][0][0][0] = 100.0f;
        std::vector<uint8_t> image = EncodePieceStats(tables);
        image.resize(1500 + 400);  // the rest of the link table is missing
        if (v != -1.0f) WriteBytes(PieceStatsPath(t.g()), image);
        t.g().slotCorrelation[0][0][0][0] = 9.0f;
        t.g().slotCorrelation[20][5][1][3] = 77.0f;  // beyond the short file
        LoadPieceStats(t.g());
        const bool good = v == 0.0f;
        EXPECT_EQ(t.ui.messages.size(), good ? 0u : 1u);
        // The links are replaced whole, or kept as they were.
        EXPECT_EQ(std::pair(t.g().slotCorrelation[0][0][0][0], t.g().slotCorrelation[20][5][1][3]),
                  good ? std::pair(100.0f, 0.0f) : std::pair(9.0f, 77.0f)) << v;
        ExpectDeploymentBeliefs(t.g());
    }
}

TEST(PieceStatsBalance, RowsOfPercentages) {
    PieceTable table{};
    float* row = table[0].beliefs[0];
    const float weights[8] = {0.0001f, 0.00005f, -3.0f, kNaN, kInf, 1.0f, 3.0f, 0.0f};
    std::copy(weights, weights + 8, row);
    float* tiny = table[1].beliefs[2];
    tiny[0] = 0.0001f;
    tiny[11] = 0.00009f;
    NormalisePieceStatRows(table);
    EXPECT_EQ(std::vector<float>(row, row + 8), (std::vector<float>{0, 0, 0, 0, 0, 25, 75, 0}));
    EXPECT_EQ(test::Sum12(tiny), 0.0f);
}

// Seat 2's column (observer 1, code 5) sums to 0: it stays 0, and every later (observer, code) of the
// pass stays unscaled while the earlier ones meet their targets; balancing stops at the same place.
TEST(PieceStatsBalance, AZeroSeatColumnEndsThePass) {
    PieceTable table{};
    for (PieceRec& p : table)
        for (auto& row : p.beliefs) std::fill(std::begin(row), std::end(row), 1.0f);
    for (int slot = 0; slot < 25; ++slot) table[50 + slot].beliefs[1][4] = 0.0f;
    auto column = [&table](int seat, int o, int k) {
        float sum = 0.0f;
        for (int slot = 0; slot < 25; ++slot) sum += table[seat * 25 + slot].beliefs[o][k];
        return sum;
    };
    const PieceTable fresh = table;
    ScalePieceStatColumns(table);
    for (int seat = 0; seat < 4; ++seat) {
        for (int k = 0; k < 12; ++k) EXPECT_NEAR(column(seat, 0, k), kStatColumnTargets[k], 1e-3f) << seat << "/" << k;
        EXPECT_NEAR(column(seat, 1, 3), kStatColumnTargets[3], 1e-3f) << seat;
        EXPECT_EQ(column(seat, 1, 4), seat == 2 ? 0.0f : 25.0f) << seat;
        EXPECT_EQ(column(seat, 1, 5) + column(seat, 3, 11), 50.0f) << seat;
    }
    // Observers 2 and 3 are never scaled: their rows only become percentages.
    table = fresh;
    BalancePieceStats(table);
    for (int i : {0, 57, 99}) {
        EXPECT_NEAR(table[i].beliefs[2][2], 100.0f / 12, 1e-3f) << i;
        EXPECT_NEAR(test::Sum12(table[i].beliefs[1]), 100.0f, 1e-3f) << i;
    }
    EXPECT_EQ(column(2, 1, 4), 0.0f);
    for (int k = 0; k < 12; ++k) EXPECT_NEAR(column(1, 0, k), kStatColumnTargets[k], 1e-2f) << k;
}

TEST(PieceStatsBuild, CountsTheRecordsOfTheFolderNamingTheBadOnes) {
    TestGame t;
    const std::string folder = t.Path("kbtfiles");
    std::filesystem::create_directory(folder);
    std::vector<BattleFile> records;
    for (uint32_t seed : {11u, 22u, 33u}) {
        records.push_back(test::DealRecord(seed));
        WriteBytes(folder + "/b" + std::to_string(seed) + ".kbt", EncodeBattleFile(records.back()));
    }
    std::vector<uint8_t> bad = EncodeBattleFile(test::DealRecord(1));
    bad[31 + 45 + 20 + 3] = 0;  // seat 1, slot 3: nothing of this file counts
    WriteBytes(folder + "/a.kbt", bad);
    WriteBytes(folder + "/notes.txt", {1, 2, 3});
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    ASSERT_EQ(t.ui.boxes.size(), 2u);
    EXPECT_EQ(t.ui.boxes[0].text + t.ui.boxes[0].caption, Gb("棋子格式非法，请删除文件---") + Gb(folder + "/a.kbt") + Gb("警告"));
    EXPECT_EQ(t.ui.boxes[1].text + t.ui.boxes[1].caption, Gb("成功分析4个文件！确认"));
    const std::vector<uint8_t> image = ReadBytes(PieceStatsPath(t.g()));
    PieceStatTables stats;
    ASSERT_EQ(DecodePieceStats(image.data(), image.size(), stats), StatError::kNone);
    const auto& links = Board().deploySlotLinks;
    for (int p = 0; p < 25; ++p) {  // nine deployments (seats 1..3 of three files): each counts 100/9
        EXPECT_NEAR(test::Sum12(stats.slotTable[p]), 100.0f, 1e-3f) << p;
        for (int k = 0; k < 12; ++k)
            for (int j = 0; j < 3; ++j) {
                const bool counted = links[p][j] >= 0 && stats.slotTable[p][k] != 0.0f;
                EXPECT_NEAR(test::Sum12(stats.linkTable[p][k][j]), counted ? 100.0f : 0.0f, 1e-3f);
            }
    }
    // What stands beside the flag on slot 21 (links 16, 20, 22) is counted from the linked slots of the same
    // deployments.
    for (int j = 0; j < 3; ++j) {
        const int linked = links[21][j];
        for (int m = 0; m < 12; ++m) {
            int n = 0, flags = 0;
            for (const BattleFile& f : records)
                for (int s = 1; s < 4; ++s) {
                    flags += f.codes.rows[s][21] == kFlag;
                    n += f.codes.rows[s][21] == kFlag && f.codes.rows[s][linked] == m + 1;
                }
            EXPECT_NEAR(stats.linkTable[21][0][j][m], n * 100.0f / flags, 1e-3f) << j << "," << m;
            EXPECT_NEAR(stats.slotTable[21][kFlag - 1], flags * 100.0f / 9, 1e-3f);
        }
    }
}

TEST(PieceStatsBuild, SeatsLeftOutEmptyFoldersAndUnwritableResults) {
    PieceStatTables counts;
    std::vector<uint8_t> image = EncodeBattleFile(test::DealRecord(5));
    ASSERT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kCounted);
    EXPECT_EQ(test::Sum12(counts.slotTable[0]), 3.0f);  // seats 1..3
    counts = PieceStatTables{};
    image[30] = 0x81;  // -127: a negative remainder leaves no seat out
    image[31 + 45 * 2 + 20] = kFlag;  // seat 2's flag on slot 0: not counted
    ASSERT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kCounted);
    EXPECT_EQ(test::Sum12(counts.slotTable[0]), 3.0f);  // seats 0, 1, 3
    counts = PieceStatTables{};
    image.resize(31 + 45 + 30);  // ends inside seat 1's codes
    EXPECT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kBadCode);
    EXPECT_TRUE(test::Sum12(counts.slotTable[0]) == 1.0f && AccumulateFormationStats(nullptr, 0, counts) == AccumulateResult::kBadCode);

    TestGame t;  // no "kbtfiles" folder at all
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    EXPECT_TRUE(ReadBytes(PieceStatsPath(t.g())) == std::vector<uint8_t>(44700, 0) && t.ui.boxes.back().text == Gb("成功分析0个文件！"));
    t.g().appFolder = t.Path("missing/");
    EXPECT_FALSE(BuildPieceStatsFile(t.g()));
    EXPECT_EQ(t.ui.boxes.back().text + t.ui.boxes.back().caption, Gb("保存结果文件不成功！！！警告"));
}

}  // namespace
}  // namespace jq
