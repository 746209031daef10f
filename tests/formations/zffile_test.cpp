#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <cstring>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/zffile.h"
#include "records/fileio.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;
using test::WriteBytes;

// A database of `count` legal formations; record n is told apart by its
// seed and carries `scores[n]`.
ZfDatabase MakeDatabase(int count, std::vector<int32_t> scores = {}) {
    ZfDatabase db;
    db.count = count;
    for (int n = 0; n < count && n < kZfSlots; ++n) {
        GameRandom rng;
        rng.Seed(1000 + n);
        GenerateFormation(rng, db.slots[n].codes);
        db.slots[n].score = n < static_cast<int>(scores.size()) ? scores[n] : 0;
    }
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

const std::string kMissingWarning = "没有默认的阵法数据库(zffile)！！\n请设置桌面快捷方式的目录属性。        ";

TEST(ZfFile, ImageRoundTripAndLayout) {
    ZfDatabase db = MakeDatabase(3, {5, -1, 0});
    const std::vector<uint8_t> image = EncodeZfDatabase(db);
    ASSERT_EQ(image.size(), 64004u);
    EXPECT_EQ(GetI32(image.data()), 3);
    // Slot 1: codes at 36, three zero bytes, the score at 64.
    EXPECT_EQ(std::memcmp(image.data() + 36, db.slots[1].codes, 25), 0);
    EXPECT_EQ(image[61] | image[62] | image[63], 0);
    EXPECT_EQ(GetI32(image.data() + 64), -1);
    const ZfDecodeResult back = DecodeZfDatabase(image);
    ASSERT_EQ(back.error, ZfError::kNone);
    EXPECT_EQ(back.db.count, 3);
    EXPECT_EQ(back.db.slots, db.slots);
}

TEST(ZfFile, CountsThatAreNoDatabaseOrTooLarge) {
    std::vector<uint8_t> image = EncodeZfDatabase(MakeDatabase(2));
    for (int32_t count : {0, -1, INT32_MIN}) {
        PutI32(image.data(), count);
        EXPECT_EQ(DecodeZfDatabase(image).error, ZfError::kNoRecords) << count;
    }
    for (int32_t count : {2001, INT32_MAX}) {
        PutI32(image.data(), count);
        const ZfDecodeResult r = DecodeZfDatabase(image);
        ASSERT_EQ(r.error, ZfError::kNone);
        EXPECT_EQ(r.db.count, 2000);
    }
    EXPECT_EQ(DecodeZfDatabase(nullptr, 0).error, ZfError::kNoRecords);
}

TEST(ZfFile, ShortImageReadsAsZero) {
    const ZfDatabase db = MakeDatabase(3);
    std::vector<uint8_t> image = EncodeZfDatabase(db);
    image.resize(4 + 32 + 10);  // slot 1 cut after ten codes
    const ZfDecodeResult r = DecodeZfDatabase(image);
    ASSERT_EQ(r.error, ZfError::kNone);
    EXPECT_EQ(r.db.count, 3);
    EXPECT_EQ(r.db.slots[0], db.slots[0]);
    EXPECT_EQ(std::memcmp(r.db.slots[1].codes, db.slots[1].codes, 10), 0);
    for (int k = 10; k < 25; ++k) EXPECT_EQ(r.db.slots[1].codes[k], 0);
    EXPECT_EQ(r.db.slots[2], ZfRecord{});
}

TEST(ZfDraw, PrefersTheFrontAndNeverTheLastTwo) {
    GameRandom rng;
    for (int count : {1, 2, 3})
        for (int i = 0; i < 200; ++i) EXPECT_EQ(DrawZfIndex(rng, count), 0);
    bool sawOne = false;
    for (int i = 0; i < 500; ++i) {
        const int r = DrawZfIndex(rng, 4);
        EXPECT_TRUE(r == 0 || r == 1) << r;
        sawOne |= r == 1;
    }
    EXPECT_TRUE(sawOne);
    int zeros = 0;
    for (int i = 0; i < 1000; ++i) {
        const int r = DrawZfIndex(rng, 50);
        EXPECT_GE(r, 0);
        EXPECT_LE(r, 47);
        zeros += r == 0;
    }
    EXPECT_GT(zeros, 100);
    EXPECT_EQ(DrawZfIndex(rng, 0), 0);
    EXPECT_EQ(DrawZfIndex(rng, -7), 0);
}

TEST(ZfSort, ExchangeSortOrder) {
    const ZfDatabase original = MakeDatabase(6);
    ZfDatabase raised = original;
    raised.slots[3].score = 1;
    SortZfRecords(raised);
    EXPECT_EQ(Order(raised, original), (std::vector<int>{3, 1, 2, 0, 4, 5}));

    ZfDatabase lowered = original;
    lowered.slots[1].score = -1;
    SortZfRecords(lowered);
    EXPECT_EQ(Order(lowered, original), (std::vector<int>{0, 2, 3, 4, 5, 1}));
}

TEST(ZfPick, SeededDrawsFillTheRowsAndIndexes) {
    TestGame t;
    const ZfDatabase db = MakeDatabase(40);
    ASSERT_TRUE(WriteZfFile(ZfFilePath(t.g()), db));
    t.g().mainRandom.Seed(4242);
    GameRandom expect = t.g().mainRandom;
    CodeTable table;
    PickZfFormations(t.g(), table);
    EXPECT_TRUE(t.ui.boxes.empty());
    for (int s = 0; s < 4; ++s) {
        const int r = DrawZfIndex(expect, 40);
        EXPECT_EQ(t.g().zfChosenIndex[s], r) << s;
        EXPECT_EQ(std::memcmp(table.rows[s], db.slots[r].codes, 25), 0) << s;
        for (int k = 25; k < 30; ++k) EXPECT_EQ(table.rows[s][k], 0);
    }
}

void ExpectGeneratedFormations(const CodeTable& table, const GameState& g) {
    for (int s = 0; s < 4; ++s) {
        EXPECT_TRUE(IsLegalFormation(table.rows[s])) << "seat " << s;
        EXPECT_EQ(g.zfChosenIndex[s], -1) << "seat " << s;
    }
}

TEST(ZfPick, NoUsableDatabaseWarnsAndDealsLegalFormations) {
    for (int32_t count : {999999, 0, -3}) {  // 999999: the file is missing
        TestGame t;
        if (count != 999999) {
            std::vector<uint8_t> image = EncodeZfDatabase(MakeDatabase(5));
            PutI32(image.data(), count);
            WriteBytes(ZfFilePath(t.g()), image);
        }
        CodeTable table;
        PickZfFormations(t.g(), table);
        ASSERT_EQ(t.ui.boxes.size(), 1u) << count;
        EXPECT_EQ(t.ui.boxes[0].text, Gb(kMissingWarning));
        EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
        ExpectGeneratedFormations(table, t.g());
    }
}

TEST(ZfPick, HostileRecordsAreReplaced) {
    TestGame t;
    ZfDatabase db = MakeDatabase(1);
    std::vector<uint8_t> image = EncodeZfDatabase(db);
    struct Damage {
        int slot;
        uint8_t value;
    };
    for (Damage d : {Damage{3, 13}, Damage{3, 0}, Damage{3, 0xFF}, Damage{0, 1}}) {
        std::vector<uint8_t> bad = image;
        bad[4 + d.slot] = d.value;  // slot 0's code byte
        WriteBytes(ZfFilePath(t.g()), bad);
        CodeTable table;
        PickZfFormations(t.g(), table);
        ExpectGeneratedFormations(table, t.g());
    }
    // A short file whose count promises more records than it holds.
    image = EncodeZfDatabase(MakeDatabase(1));
    PutI32(image.data(), 2000);
    image.resize(4 + 32);
    WriteBytes(ZfFilePath(t.g()), image);
    t.g().mainRandom.Seed(5);
    CodeTable table;
    PickZfFormations(t.g(), table);
    for (int s = 0; s < 4; ++s) {
        EXPECT_TRUE(IsLegalFormation(table.rows[s]));
        EXPECT_TRUE(t.g().zfChosenIndex[s] == 0 || t.g().zfChosenIndex[s] == -1);
    }
}

TEST(ZfRate, ResultMovesTheComputersRecords) {
    TestGame t;
    const ZfDatabase db = MakeDatabase(6);
    const std::string path = ZfFilePath(t.g());
    const auto rateAndRead = [&](int i1, int i3, int result) {
        EXPECT_TRUE(WriteZfFile(path, db));
        t.g().zfChosenIndex[0] = 4;
        t.g().zfChosenIndex[1] = i1;
        t.g().zfChosenIndex[2] = 5;
        t.g().zfChosenIndex[3] = i3;
        RateZfFormations(t.g(), result);
        return ReadZfFile(path).db;
    };
    ZfDatabase after = rateAndRead(3, 2, 1);  // seats 1 and 3 won
    EXPECT_EQ(Order(after, db), (std::vector<int>{2, 3, 0, 1, 4, 5}));
    EXPECT_EQ(after.slots[0].score, 1);
    EXPECT_EQ(after.slots[1].score, 1);

    after = rateAndRead(1, 1, 0);  // seats 0 and 2 won; both used slot 1
    EXPECT_EQ(Order(after, db), (std::vector<int>{0, 2, 3, 4, 5, 1}));
    EXPECT_EQ(after.slots[5].score, -2);

    EXPECT_TRUE(WriteZfFile(path, db));
    const std::vector<uint8_t> before = ReadBytes(path);
    t.g().zfChosenIndex[1] = 2;
    RateZfFormations(t.g(), 2);  // a draw rates nothing
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_TRUE(t.ui.boxes.empty());
}

TEST(ZfRate, IndexesOutsideTheRecordsAreNotRated) {
    TestGame t;
    const ZfDatabase db = MakeDatabase(6);
    const std::string path = ZfFilePath(t.g());
    for (int32_t index : {-1, 6, 1999, 2000, INT32_MAX, INT32_MIN}) {
        ASSERT_TRUE(WriteZfFile(path, db));
        t.g().zfChosenIndex[1] = index;
        t.g().zfChosenIndex[3] = index;
        RateZfFormations(t.g(), 0);
        const ZfDecodeResult r = ReadZfFile(path);
        ASSERT_EQ(r.error, ZfError::kNone);
        EXPECT_EQ(r.db.slots, db.slots) << index;
    }
}

TEST(ZfRate, ScoresStopAtTheirLimits) {
    TestGame t;
    ZfDatabase db = MakeDatabase(2, {INT32_MAX, INT32_MIN});
    const std::string path = ZfFilePath(t.g());
    ASSERT_TRUE(WriteZfFile(path, db));
    t.g().zfChosenIndex[1] = 0;
    t.g().zfChosenIndex[3] = 0;
    RateZfFormations(t.g(), 1);
    EXPECT_EQ(ReadZfFile(path).db.slots[0].score, INT32_MAX);
    t.g().zfChosenIndex[1] = 1;
    t.g().zfChosenIndex[3] = 1;
    RateZfFormations(t.g(), 0);
    EXPECT_EQ(ReadZfFile(path).db.slots[1].score, INT32_MIN);
}

TEST(ZfRate, RewritesFullLengthThroughATemporaryFile) {
    TestGame t;
    const std::string path = ZfFilePath(t.g());
    std::vector<uint8_t> image = EncodeZfDatabase(MakeDatabase(3));
    PutI32(image.data(), 5000);
    image.resize(4 + 3 * 32);
    WriteBytes(path, image);
    t.g().zfChosenIndex[1] = 2;
    t.g().zfChosenIndex[3] = 0;
    RateZfFormations(t.g(), 1);
    const std::vector<uint8_t> after = ReadBytes(path);
    ASSERT_EQ(after.size(), 64004u);
    EXPECT_EQ(GetI32(after.data()), 2000);
    EXPECT_EQ(test::FolderEntries(t.folder), std::vector<std::string>{"zffile"});
}

TEST(ZfRate, NoUsableDatabaseIsReported) {
    for (bool present : {false, true}) {
        TestGame t;
        if (present) {
            std::vector<uint8_t> image(64004, 0);  // count 0
            WriteBytes(ZfFilePath(t.g()), image);
        }
        RateZfFormations(t.g(), 0);
        ASSERT_EQ(t.ui.boxes.size(), 1u);
        EXPECT_EQ(t.ui.boxes[0].text, Gb("阵法数据库无法操作，请检查zffile文件。"));
        EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
        if (present) {
            EXPECT_EQ(ReadBytes(ZfFilePath(t.g())), std::vector<uint8_t>(64004, 0));
        }
    }
}

TEST(ZfRate, AFailedWriteKeepsTheOldFile) {
    TestGame t;
    const std::string path = ZfFilePath(t.g());
    ASSERT_TRUE(WriteZfFile(path, MakeDatabase(6)));
    const std::vector<uint8_t> before = ReadBytes(path);
    // No file may grow beyond 1000 bytes: the rewrite fails half-way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    t.g().zfChosenIndex[1] = 3;
    RateZfFormations(t.g(), 1);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(test::FolderEntries(t.folder), std::vector<std::string>{"zffile"});
}

}  // namespace
}  // namespace jq
