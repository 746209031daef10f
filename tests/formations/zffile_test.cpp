#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/dealt.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;
using test::WriteBytes;

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
    EXPECT_EQ(GetI32(image.data()), 3);
    // Slot 1: codes at 36, three zero bytes, the score at 64.
    EXPECT_EQ(std::memcmp(image.data() + 36, db.slots[1].codes, 25), 0);
    EXPECT_EQ(image[61] | image[62] | image[63], 0);
    EXPECT_EQ(GetI32(image.data() + 64), -1);
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
    EXPECT_EQ(back.db.slots[0], db.slots[0]);
    EXPECT_TRUE(std::memcmp(back.db.slots[1].codes, db.slots[1].codes, 10) == 0 && back.db.slots[1].codes[10] == 0);
    EXPECT_EQ(back.db.slots[2], ZfRecord{});
}

TEST(ZfDraw, PrefersTheFrontAndNeverTheLastTwo) {
    GameRandom rng;
    for (int count : {-7, 0, 1, 2, 3})
        for (int i = 0; i < 100; ++i) ASSERT_EQ(DrawZfIndex(rng, count), 0) << count;
    int draws[50] = {};
    for (int i = 0; i < 2000; ++i) {
        const int r = DrawZfIndex(rng, 50);
        ASSERT_TRUE(r >= 0 && r <= 47) << r;
        ++draws[r];
    }
    // Three nested draws: about 62% land on 0..4 (two would give 34%).
    EXPECT_GT(draws[0] + draws[1] + draws[2] + draws[3] + draws[4], 1000);
    EXPECT_GT(draws[1], 0);
}

TEST(ZfPick, UnusableDatabasesAreReportedAndLegalFormationsDealt) {
    CodeTable table;
    // Missing, empty, or holding a broken formation (a bad code, a flag
    // off the headquarters, a count promising more than the file holds).
    std::vector<uint8_t> one = EncodeZfDatabase(MakeDatabase(1));
    const auto damaged = [&](size_t at, uint8_t v) { std::vector<uint8_t> b = one; b[at] = v; return b; };
    std::vector<uint8_t> promising = one;
    PutI32(promising.data(), 2000);
    promising.resize(4 + 32);
    for (const auto& file : {std::vector<uint8_t>{}, damaged(0, 0), damaged(4 + 3, 13), damaged(4 + 3, 0),
                             damaged(4, 1), promising}) {
        TestGame u;
        if (!file.empty()) WriteBytes(ZfFilePath(u.g()), file);
        PickZfFormations(u.g(), table);
        const bool usable = file.size() > 4 && GetI32(file.data()) > 0;
        const std::string warning = Gb("没有默认的阵法数据库(zffile)！！\n请设置桌面快捷方式的目录属性。        ");
        EXPECT_EQ(u.ui.boxes.size(), usable ? 0u : 1u);
        EXPECT_TRUE(usable || u.ui.boxes[0].text == warning);
        for (int s = 0; s < 4; ++s) {
            EXPECT_TRUE(IsLegalFormation(table.rows[s])) << s;
            EXPECT_EQ(u.g().zfChosenIndex[s], file == promising && u.g().zfChosenIndex[s] == 0 ? 0 : -1);
        }
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
        EXPECT_EQ(Order(after, db), c.order) << c.i1 << "," << c.i3 << " result " << c.result;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(after.slots[i].score, c.after[i]) << i;
        EXPECT_EQ(after.slots[6], ZfRecord{});
        EXPECT_TRUE(t.ui.boxes.empty());
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
    EXPECT_EQ(test::FolderEntries(t.folder), std::vector<std::string>{"zffile"});

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
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text + t.ui.boxes[0].caption, Gb("阵法数据库无法操作，请检查zffile文件。警告"));
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>(64004, 0));
}

bool SameCodes(const ZfRecord& rec, const int8_t* codes) { return std::memcmp(rec.codes, codes, 25) == 0; }

TEST(Study, TakesEverySeatButTheRecordersInNameAndSeatOrderSkippingBadFiles) {
    TestGame t;
    // Written in reverse, so only the name order gives the expected order.
    for (int n = 9; n >= 0; --n) {
        char name[16];
        std::snprintf(name, sizeof name, "r%02d.kbt", n);
        WriteBytes(t.Path(name), EncodeBattleFile(test::DealRecord(100 + n)));
    }
    std::vector<uint8_t> bad = EncodeBattleFile(test::DealRecord(5));
    bad[31 + 2 * 45 + 20 + 6] = 13;  // seat 2, slot 6: the file ends after seat 1
    WriteBytes(t.Path("a.kbt"), bad);
    namespace fs = std::filesystem;
    for (const char* skipped : {"locked.kbt", ".hidden.kbt", "other.kjq"}) WriteBytes(t.Path(skipped), bad);
    fs::permissions(t.Path("locked.kbt"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(t.Path("folder.kbt"));
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 11);
    ASSERT_EQ(study.db->count, 31);
    EXPECT_TRUE(SameCodes(study.db->slots[0], test::DealRecord(5).codes.rows[1]));
    for (int n = 0; n < 10; ++n)
        for (int s = 1; s < 4; ++s) {
            EXPECT_TRUE(SameCodes(study.db->slots[1 + 3 * n + s - 1], test::DealRecord(100 + n).codes.rows[s])) << n << "/" << s;
            EXPECT_EQ(study.db->slots[1 + 3 * n + s - 1].score, 0);
        }
    EXPECT_EQ(study.db->slots[31], ZfRecord{});
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("棋子格式非法，请删除文件---") + Gb(t.Path("a.kbt")));
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
}

TEST(Study, SeatsLeftOutAndAFullDatabase) {
    BattleFile rec = test::DealRecord(3);
    rec.codes.rows[2][0] = kFlag;  // no legal formation has it: passed over silently
    std::vector<uint8_t> bytes = EncodeBattleFile(rec);
    auto db = std::make_unique<ZfDatabase>();
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    ASSERT_EQ(db->count, 2);
    EXPECT_TRUE(SameCodes(db->slots[0], rec.codes.rows[1]));
    EXPECT_TRUE(SameCodes(db->slots[1], rec.codes.rows[3]));
    // Byte 7 leaves out seat 3; a negative byte (-2) leaves out no seat.
    bytes = EncodeBattleFile(test::DealRecord(4));
    for (auto [seatByte, count] : {std::pair{7, 3}, {0xFE, 4}}) {
        bytes[30] = static_cast<uint8_t>(seatByte);
        *db = ZfDatabase{};
        ReadBattleFormations(bytes.data(), bytes.size(), *db);
        EXPECT_EQ(db->count, count);
        EXPECT_TRUE(SameCodes(db->slots[2], test::DealRecord(4).codes.rows[2]));
    }
    db->count = kZfSlots - 1;  // a full database takes nothing more
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    EXPECT_EQ(db->count, kZfSlots);
}

}  // namespace
}  // namespace jq
