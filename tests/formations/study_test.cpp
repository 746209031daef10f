#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/battlefile.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::RecordingUi;
using test::TestGame;
using test::WriteBytes;

// A battle record whose four seats hold formations dealt from `seed`.
BattleFile MakeRecord(uint32_t seed) {
    BattleFile file;
    GameRandom rng;
    rng.Seed(seed);
    for (int s = 0; s < 4; ++s) GenerateFormation(rng, file.codes.rows[s]);
    return file;
}

std::string RecordName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "r%04d.kbt", n);
    return name;
}

bool SameCodes(const ZfRecord& rec, const int8_t* codes) { return std::memcmp(rec.codes, codes, 25) == 0; }

TEST(Study, TakesEverySeatButSeatZeroInNameAndSeatOrder) {
    TestGame t;
    // Written in reverse, so only the name order gives the expected order.
    for (int n = 9; n >= 0; --n) WriteBytes(t.Path(RecordName(n)), EncodeBattleFile(MakeRecord(100 + n)));
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 10);
    ASSERT_EQ(study.db->count, 30);
    for (int n = 0; n < 10; ++n) {
        const BattleFile rec = MakeRecord(100 + n);
        for (int s = 1; s < 4; ++s) {
            const ZfRecord& got = study.db->slots[3 * n + s - 1];
            EXPECT_TRUE(SameCodes(got, rec.codes.rows[s])) << n << " seat " << s;
            EXPECT_EQ(got.score, 0);
        }
    }
    EXPECT_EQ(study.db->slots[30], ZfRecord{});
    EXPECT_TRUE(t.ui.boxes.empty());
}

TEST(Study, StopsAtTheFirstFileThatTakesTheCountAbove980) {
    TestGame t;
    const std::vector<uint8_t> bytes = EncodeBattleFile(MakeRecord(7));
    for (int n = 0; n < 400; ++n) WriteBytes(t.Path(RecordName(n)), bytes);
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 327);
    EXPECT_EQ(study.db->count, 981);
    EXPECT_EQ(study.db->slots[981], ZfRecord{});
}

TEST(Study, SeatsLeftOutByTheSeatByteOrByAFlagOnSlotZero) {
    BattleFile rec = MakeRecord(3);
    rec.codes.rows[2][0] = kFlag;  // no legal formation has it, and it is passed over silently
    std::vector<uint8_t> bytes = EncodeBattleFile(rec);
    auto db = std::make_unique<ZfDatabase>();
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    ASSERT_EQ(db->count, 2);
    EXPECT_TRUE(SameCodes(db->slots[0], rec.codes.rows[1]));
    EXPECT_TRUE(SameCodes(db->slots[1], rec.codes.rows[3]));

    // Byte 7 leaves out seat 3; a negative byte (-2) leaves out no seat.
    rec = MakeRecord(4);
    bytes = EncodeBattleFile(rec);
    bytes[30] = 7;
    *db = ZfDatabase{};
    ReadBattleFormations(bytes.data(), bytes.size(), *db);
    ASSERT_EQ(db->count, 3);
    EXPECT_TRUE(SameCodes(db->slots[0], rec.codes.rows[0]));
    EXPECT_TRUE(SameCodes(db->slots[2], rec.codes.rows[2]));
    bytes[30] = 0xFE;
    *db = ZfDatabase{};
    ReadBattleFormations(bytes.data(), bytes.size(), *db);
    EXPECT_EQ(db->count, 4);
}

TEST(Study, ABadCodeEndsTheFileWithAWarningAndTheScanGoesOn) {
    TestGame t;
    std::vector<uint8_t> bad = EncodeBattleFile(MakeRecord(5));
    bad[31 + 2 * 45 + 20 + 6] = 13;  // seat 2, slot 6
    WriteBytes(t.Path("a.kbt"), bad);
    WriteBytes(t.Path("b.kbt"), EncodeBattleFile(MakeRecord(6)));
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 2);
    ASSERT_EQ(study.db->count, 4);  // seat 1 of a.kbt, seats 1..3 of b.kbt
    EXPECT_TRUE(SameCodes(study.db->slots[0], MakeRecord(5).codes.rows[1]));
    EXPECT_TRUE(SameCodes(study.db->slots[1], MakeRecord(6).codes.rows[1]));
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("棋子格式非法，请删除文件---") + Gb(t.Path("a.kbt")));
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
}

TEST(Study, ShortAndHostileRecords) {
    auto db = std::make_unique<ZfDatabase>();
    // A bare head of 31 bytes: seat 1's codes read as zero and are refused.
    std::vector<uint8_t> bytes = EncodeBattleFile(MakeRecord(8));
    EXPECT_EQ(ReadBattleFormations(bytes.data(), 31, *db), StudyReadResult::kBadCode);
    EXPECT_EQ(db->count, 0);
    // Cut inside seat 3: seats 1 and 2 stay collected.
    EXPECT_EQ(ReadBattleFormations(bytes.data(), 31 + 3 * 45 + 30, *db), StudyReadResult::kBadCode);
    EXPECT_EQ(db->count, 2);
    // A negative code byte is outside 1..12 as well.
    bytes[31 + 45 + 20 + 24] = 0xF5;
    *db = ZfDatabase{};
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kBadCode);
    EXPECT_EQ(db->count, 0);
    // A database that is full takes nothing more and stays within its slots.
    bytes = EncodeBattleFile(MakeRecord(9));
    db->count = kZfSlots - 1;
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    EXPECT_EQ(db->count, kZfSlots);
}

TEST(Study, ReadsOnlyWritableRegularKbtFiles) {
    TestGame t;
    namespace fs = std::filesystem;
    const std::vector<uint8_t> bytes = EncodeBattleFile(MakeRecord(11));
    WriteBytes(t.Path("locked.kbt"), bytes);
    fs::permissions(t.Path("locked.kbt"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    WriteBytes(t.Path(".hidden.kbt"), bytes);
    WriteBytes(t.Path("other.kjq"), bytes);
    fs::create_directory(t.Path("folder.kbt"));
    WriteBytes(t.Path("UPPER.KBT"), bytes);
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 1);
    EXPECT_EQ(study.db->count, 3);
}

TEST(Study, AnEmptyFolderGivesAnEmptyDatabaseThatThePickerRefuses) {
    TestGame t;
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 0);
    EXPECT_EQ(study.db->count, 0);
    ASSERT_TRUE(WriteZfFile(t.Path("zffile"), *study.db));
    EXPECT_EQ(test::ReadBytes(t.Path("zffile")).size(), static_cast<size_t>(kZfFileBytes));
    EXPECT_EQ(ReadZfFile(t.Path("zffile")).error, ZfError::kNoRecords);
}

}  // namespace
}  // namespace jq
