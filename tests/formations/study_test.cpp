#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/battlefile.h"
#include "support/dealt.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::TestGame;
using test::WriteBytes;

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

TEST(Study, StopsAtTheFirstFileThatTakesTheCountAbove980) {
    TestGame t;
    BattleFile first = test::DealRecord(7);
    first.codes.rows[3][0] = kFlag;  // two formations, then three a file: 980 after 327 files
    WriteBytes(t.Path("r0999.kbt"), EncodeBattleFile(first));
    const std::vector<uint8_t> bytes = EncodeBattleFile(test::DealRecord(7));
    for (int n = 0; n < 400; ++n) WriteBytes(t.Path("r" + std::to_string(1000 + n) + ".kbt"), bytes);
    const StudyResult study = StudyBattleFormations(t.ui, t.folder);
    EXPECT_EQ(study.files, 328);
    EXPECT_EQ(study.db->count, 983);
    // An empty folder gives an empty database that the picker refuses.
    TestGame empty;
    const StudyResult none = StudyBattleFormations(empty.ui, empty.folder);
    EXPECT_EQ(none.files + none.db->count, 0);
    ASSERT_TRUE(WriteZfFile(empty.Path("zffile"), *none.db));
    EXPECT_EQ(ReadZfFile(empty.Path("zffile")).error, ZfError::kNoRecords);
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
