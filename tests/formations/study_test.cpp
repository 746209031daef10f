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

bool SameCodes(const ZfRecord& rec, const int8_t* codes) { return std::memcmp(rec.codes, codes, 25) == 0; }

TEST(Study, TakesEverySeatButTheRecordersInNameAndSeatOrderSkippingBadFiles) {
    TestGame t;
    // Written in reverse, so only the name order gives the expected order.
    for (int n = 9; n >= 0; --n) {
        char name[16];
        std::snprintf(name, sizeof name, "r%02d.kbt", n);
        WriteBytes(t.Path(name), EncodeBattleFile(MakeRecord(100 + n)));
    }
    std::vector<uint8_t> bad = EncodeBattleFile(MakeRecord(5));
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
    EXPECT_TRUE(SameCodes(study.db->slots[0], MakeRecord(5).codes.rows[1]));
    for (int n = 0; n < 10; ++n)
        for (int s = 1; s < 4; ++s) {
            EXPECT_TRUE(SameCodes(study.db->slots[1 + 3 * n + s - 1], MakeRecord(100 + n).codes.rows[s])) << n << "/" << s;
            EXPECT_EQ(study.db->slots[1 + 3 * n + s - 1].score, 0);
        }
    EXPECT_EQ(study.db->slots[31], ZfRecord{});
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("棋子格式非法，请删除文件---") + Gb(t.Path("a.kbt")));
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
}

TEST(Study, StopsAtTheFirstFileThatTakesTheCountAbove980) {
    TestGame t;
    const std::vector<uint8_t> bytes = EncodeBattleFile(MakeRecord(7));
    for (int n = 0; n < 400; ++n) WriteBytes(t.Path("r" + std::to_string(1000 + n) + ".kbt"), bytes);
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 327);
    EXPECT_EQ(study.db->count, 981);
    // An empty folder gives an empty database that the picker refuses.
    TestGame empty;
    const StudyResult none = StudyBattleFormations(empty.ui, empty.folder);
    EXPECT_EQ(none.files + none.db->count, 0);
    ASSERT_TRUE(WriteZfFile(empty.Path("zffile"), *none.db));
    EXPECT_EQ(ReadZfFile(empty.Path("zffile")).error, ZfError::kNoRecords);
}

TEST(Study, SeatsLeftOutShortAndHostileRecords) {
    BattleFile rec = MakeRecord(3);
    rec.codes.rows[2][0] = kFlag;  // no legal formation has it: passed over silently
    std::vector<uint8_t> bytes = EncodeBattleFile(rec);
    auto db = std::make_unique<ZfDatabase>();
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    ASSERT_EQ(db->count, 2);
    EXPECT_TRUE(SameCodes(db->slots[0], rec.codes.rows[1]));
    EXPECT_TRUE(SameCodes(db->slots[1], rec.codes.rows[3]));
    // Byte 7 leaves out seat 3; a negative byte (-2) leaves out no seat.
    rec = MakeRecord(4);
    bytes = EncodeBattleFile(rec);
    for (auto [seatByte, count] : {std::pair{7, 3}, {0xFE, 4}}) {
        bytes[30] = static_cast<uint8_t>(seatByte);
        *db = ZfDatabase{};
        ReadBattleFormations(bytes.data(), bytes.size(), *db);
        EXPECT_EQ(db->count, count);
        EXPECT_TRUE(SameCodes(db->slots[2], rec.codes.rows[2]));
    }
    // Cut inside seat 3: seats 1 and 2 stay collected; a bare head gives none.
    *db = ZfDatabase{};
    bytes[30] = 20;
    EXPECT_EQ(ReadBattleFormations(bytes.data(), 31, *db), StudyReadResult::kBadCode);
    EXPECT_EQ(ReadBattleFormations(bytes.data(), 31 + 3 * 45 + 30, *db), StudyReadResult::kBadCode);
    EXPECT_EQ(db->count, 2);
    // A negative code byte is outside 1..12 as well.
    bytes[31 + 45 + 20 + 24] = 0xF5;
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kBadCode);
    EXPECT_EQ(db->count, 2);
    // A full database takes nothing more and stays within its slots.
    bytes = EncodeBattleFile(MakeRecord(9));
    db->count = kZfSlots - 1;
    EXPECT_EQ(ReadBattleFormations(bytes.data(), bytes.size(), *db), StudyReadResult::kRead);
    EXPECT_EQ(db->count, kZfSlots);
}

}  // namespace
}  // namespace jq
