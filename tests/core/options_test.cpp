#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/options.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/files_support.h"

namespace jq {
namespace {

namespace fs = std::filesystem;
using TempFolder = test::ScratchFolder;
using test::ReadBytes;
using test::WriteBytes;

int32_t I32At(const std::vector<uint8_t>& b, size_t off) {
    return static_cast<int32_t>(b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (uint32_t(b[off + 3]) << 24));
}

OptionsRec SampleRecord() {
    OptionsRec r;
    r.soundOn = 1;
    PutBoundedText(r.playerNames[0], 256, Gb("张三"));
    PutBoundedText(r.playerNames[3], 256, "west");
    r.boardBackground = 7;
    r.aiLevel = 2;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 4; ++k) r.winRecord[l][k] = 100 * l + k + 1;
    r.styleAttack = 3;
    r.styleCaution = 8;
    r.styleDefence = 10;
    r.autoPlayInterval = 45;
    r.turnDirectionOption = -1;
    r.netMinMoveIntervalOption = 0;
    for (int i = 0; i < 64; ++i) r.reserved[i] = static_cast<uint8_t>(0xA0 + i);
    r.netMoveTimeOption = 59;
    r.netDeployTimeOption = 77;
    r.netDisconnectTimeOption = 118;
    r.recordLatestFormations = 1;
    PutBoundedText(r.recentFiles[0], 256, "/home/p/kbtfiles/a.kbt");
    PutBoundedText(r.recentFiles[9], 256, "z.jqh");
    PutBoundedText(r.lastNetName, 256, "lan-name");
    PutBoundedText(r.lastHostAddress, 256, "192.168.0.7");
    return r;
}

TEST(OptionsRecord, FieldsLandAtTheirFileOffsets) {
    const std::vector<uint8_t> b = EncodeOptions(SampleRecord());
    ASSERT_EQ(b.size(), 4260u);
    EXPECT_EQ(I32At(b, 0), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[4])), Gb("张三"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[4 + 3 * 256])), "west");
    EXPECT_EQ(I32At(b, 1028), 7);
    EXPECT_EQ(I32At(b, 1032), 2);
    EXPECT_EQ(I32At(b, 1036), 1);          // level 0, total
    EXPECT_EQ(I32At(b, 1036 + 4 * 5), 102); // level 1, won
    EXPECT_EQ(I32At(b, 1080), 204);        // level 2, drawn
    EXPECT_EQ(I32At(b, 1084), 3);
    EXPECT_EQ(I32At(b, 1088), 8);
    EXPECT_EQ(I32At(b, 1092), 10);
    EXPECT_EQ(I32At(b, 1096), 45);
    EXPECT_EQ(I32At(b, 1100), -1);
    EXPECT_EQ(b[1100], 0xFF);
    EXPECT_EQ(I32At(b, 1104), 0);
    EXPECT_EQ(b[1108], 0xA0);
    EXPECT_EQ(b[1171], 0xA0 + 63);
    EXPECT_EQ(I32At(b, 1172), 59);
    EXPECT_EQ(I32At(b, 1176), 77);
    EXPECT_EQ(I32At(b, 1180), 118);
    EXPECT_EQ(I32At(b, 1184), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1188])), "/home/p/kbtfiles/a.kbt");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1188 + 9 * 256])), "z.jqh");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[3748])), "lan-name");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[4004])), "192.168.0.7");
}

TEST(OptionsRecord, ArbitraryImageSurvivesDecodeAndEncode) {
    // Every byte set, reserved bytes included, and no text field holds a
    // NUL: a record read and written back is byte for byte the same.
    std::vector<uint8_t> image(4260);
    uint32_t x = 12345;
    for (auto& byte : image) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(x >> 16) | 1;
    }
    EXPECT_EQ(EncodeOptions(DecodeOptions(image)), image);
}

TEST(OptionsRecord, ShortAndLongImages) {
    std::vector<uint8_t> full = EncodeOptions(SampleRecord());

    // Cut inside the turn direction: it and everything after read as zero.
    OptionsRec cut = DecodeOptions(full.data(), 1102);
    EXPECT_EQ(cut.autoPlayInterval, 45);
    EXPECT_EQ(cut.turnDirectionOption, 0xFFFF);  // low two bytes of -1 only
    EXPECT_EQ(cut.netMoveTimeOption, 0);
    EXPECT_EQ(cut.reserved[0], 0);
    EXPECT_EQ(RecentFile(cut, 0), "");

    EXPECT_EQ(EncodeOptions(DecodeOptions(nullptr, 0)), std::vector<uint8_t>(4260, 0));

    std::vector<uint8_t> longer = full;
    longer.insert(longer.end(), 500, 0x55);
    EXPECT_EQ(EncodeOptions(DecodeOptions(longer)), full);
}

TEST(OptionsRecord, TextsWithoutTerminatorStayInTheirField) {
    std::vector<uint8_t> image(4260, 0);
    std::memset(&image[4], 'A', 256);         // name of seat 0 fills its field
    std::memset(&image[4 + 256], 'B', 256);   // seat 1 as well
    std::memset(&image[4004], 'H', 256);      // last field of the record
    OptionsRec r = DecodeOptions(image);
    EXPECT_EQ(PlayerName(r, 0), std::string(256, 'A'));
    EXPECT_EQ(PlayerName(r, 1), std::string(256, 'B'));
    EXPECT_EQ(LastHostAddress(r), std::string(256, 'H'));
    EXPECT_EQ(PlayerName(r, 4), "");
    EXPECT_EQ(RecentFile(r, -1), "");
}

TEST(OptionsRecord, NeverSavedRecordHoldsTheNaturalDefaults) {
    const OptionsRec d = DefaultOptions();
    EXPECT_EQ(d.turnDirectionOption, 1);
    EXPECT_EQ(d.netMinMoveIntervalOption, 1);
    EXPECT_EQ(d.netMoveTimeOption, 30);
    EXPECT_EQ(d.netDeployTimeOption, 40);
    EXPECT_EQ(d.netDisconnectTimeOption, 60);
    EXPECT_EQ(d.soundOn, 0);
    EXPECT_EQ(d.aiLevel, 0);
    EXPECT_EQ(d.boardBackground, 0);
    EXPECT_EQ(d.styleAttack, 5);
    EXPECT_EQ(d.styleDefence, 5);
    EXPECT_EQ(PlayerName(d, 0), "");

    GameState g;
    EXPECT_EQ(g.optionsRecord.turnDirectionOption, 1);
    EXPECT_EQ(g.optionsRecord.netMoveTimeOption, 30);
}

TEST(OptionsRecord, SanitiserMendsEveryRunningValue) {
    struct Row {
        int32_t in[5];   // direction, min interval, move, deploy, disconnect
        int32_t out[5];
    };
    const Row rows[] = {
        {{1, 0, 30, 40, 60}, {1, 0, 30, 40, 60}},        // 0 interval means no pause
        {{-1, 10, 60, 80, 120}, {-1, 10, 60, 80, 120}},  // slider ends kept
        {{0, -1, 0, 0, 0}, {1, 1, 30, 40, 60}},
        {{2, -100, -5, -1, -2147483647 - 1}, {1, 1, 30, 40, 60}},
        {{-2, 5, 1, 1, 1}, {1, 5, 1, 1, 1}},
        {{7, 2147483647, 61, 81, 121}, {1, 10, 60, 80, 120}},
    };
    for (const Row& row : rows) {
        GameState g;
        g.optionsRecord.turnDirectionOption = row.in[0];
        g.optionsRecord.netMinMoveIntervalOption = row.in[1];
        g.optionsRecord.netMoveTimeOption = row.in[2];
        g.optionsRecord.netDeployTimeOption = row.in[3];
        g.optionsRecord.netDisconnectTimeOption = row.in[4];
        CopyBattleOptions(g);
        EXPECT_EQ(g.turnDirection, row.out[0]) << row.in[0];
        EXPECT_EQ(g.netMinMoveInterval, row.out[1]) << row.in[1];
        EXPECT_EQ(g.netMoveTime, row.out[2]) << row.in[2];
        EXPECT_EQ(g.netDeployTime, row.out[3]) << row.in[3];
        EXPECT_EQ(g.netDisconnectTime, row.out[4]) << row.in[4];
        // The record itself is not touched.
        EXPECT_EQ(g.optionsRecord.turnDirectionOption, row.in[0]);
    }
}

TEST(OptionsRecord, StyleCoefficientsAtLoadAndAfterTheDialog) {
    struct Row {
        int s1, s2, s3;
        double load[3];
        double dialog[3];
    };
    const Row rows[] = {
        {5, 5, 5, {0.618, 0.7, 0.382}, {0.618, 0.8, 0.382}},
        {10, 10, 10, {1.0, 1.0, 0.0}, {0.809, 0.9, 0.191}},
        {0, 0, 0, {0.236, 0.4, 0.764}, {0.427, 0.7, 0.573}},
        {99, -7, 11, {1.0, 0.4, 0.0}, {0.809, 0.7, 0.191}},  // damaged values count as the slider's end
    };
    for (const Row& row : rows) {
        GameState g;
        g.optionsRecord.styleAttack = row.s1;
        g.optionsRecord.styleCaution = row.s2;
        g.optionsRecord.styleDefence = row.s3;
        SetStartupStyleCoefficients(g);
        EXPECT_NEAR(g.styleCoefAttack, row.load[0], 1e-9) << row.s1;
        EXPECT_NEAR(g.styleCoefCaution, row.load[1], 1e-9) << row.s2;
        EXPECT_NEAR(g.styleCoefDefence, row.load[2], 1e-9) << row.s3;
        SetDialogStyleCoefficients(g);
        EXPECT_NEAR(g.styleCoefAttack, row.dialog[0], 1e-9) << row.s1;
        EXPECT_NEAR(g.styleCoefCaution, row.dialog[1], 1e-9) << row.s2;
        EXPECT_NEAR(g.styleCoefDefence, row.dialog[2], 1e-9) << row.s3;
    }
}

TEST(OptionsFile, MissingFileGivesDefaultsAndNeutralCoefficients) {
    TempFolder dir;
    GameState g;
    g.appFolder = dir.Folder();
    g.optionsRecord.soundOn = 1;  // whatever was there is replaced
    g.styleCoefCaution = 5.0;
    g.turnDirection = 0;
    LoadOptionsAtStartup(g);
    EXPECT_EQ(EncodeOptions(g.optionsRecord), EncodeOptions(DefaultOptions()));
    EXPECT_DOUBLE_EQ(g.styleCoefAttack, 0.618);
    EXPECT_DOUBLE_EQ(g.styleCoefCaution, 0.8);
    EXPECT_DOUBLE_EQ(g.styleCoefDefence, 0.382);
    EXPECT_EQ(g.turnDirection, 1);
    EXPECT_EQ(g.netMinMoveInterval, 1);
    EXPECT_EQ(g.netMoveTime, 30);
    EXPECT_EQ(g.netDeployTime, 40);
    EXPECT_EQ(g.netDisconnectTime, 60);

    // A folder in the file's place counts as missing.
    fs::create_directory(dir.Path("oprec"));
    LoadOptionsAtStartup(g);
    EXPECT_EQ(g.optionsRecord.turnDirectionOption, 1);
    EXPECT_EQ(g.turnDirection, 1);
}

TEST(OptionsFile, ShortAndLongFilesAtStartup) {
    TempFolder dir;
    std::vector<uint8_t> full = EncodeOptions(SampleRecord());

    // Stops before the LAN times: the record keeps zeros, the running
    // copies are mended.
    WriteBytes(dir.Path("oprec"), std::vector<uint8_t>(full.begin(), full.begin() + 1100));
    GameState g;
    g.appFolder = dir.Folder();
    LoadOptionsAtStartup(g);
    EXPECT_EQ(g.optionsRecord.aiLevel, 2);
    EXPECT_EQ(g.optionsRecord.styleCaution, 8);
    EXPECT_EQ(g.optionsRecord.turnDirectionOption, 0);
    EXPECT_EQ(g.optionsRecord.netMoveTimeOption, 0);
    EXPECT_EQ(g.turnDirection, 1);
    EXPECT_EQ(g.netMinMoveInterval, 0);  // no pause is a legal setting
    EXPECT_EQ(g.netMoveTime, 30);
    EXPECT_EQ(g.netDeployTime, 40);
    EXPECT_EQ(g.netDisconnectTime, 60);
    EXPECT_NEAR(g.styleCoefAttack, 0.618 - 2 * 0.2 * 0.382, 1e-9);

    WriteBytes(dir.Path("oprec"), {});
    LoadOptionsAtStartup(g);
    EXPECT_EQ(EncodeOptions(g.optionsRecord), std::vector<uint8_t>(4260, 0));
    EXPECT_NEAR(g.styleCoefCaution, 0.4, 1e-9);  // sliders read as 0
    EXPECT_EQ(g.turnDirection, 1);

    std::vector<uint8_t> longer = full;
    longer.insert(longer.end(), 1000, 0xEE);
    WriteBytes(dir.Path("oprec"), longer);
    LoadOptionsAtStartup(g);
    EXPECT_EQ(EncodeOptions(g.optionsRecord), full);
    EXPECT_EQ(g.turnDirection, -1);
    EXPECT_EQ(g.netMinMoveInterval, 0);
    EXPECT_EQ(g.netMoveTime, 59);
    EXPECT_EQ(g.netDeployTime, 77);
    EXPECT_EQ(g.netDisconnectTime, 118);
}

TEST(OptionsFile, SavedFileReadsBackIdentically) {
    TempFolder dir;
    GameState g;
    g.appFolder = dir.Folder();
    g.optionsRecord = SampleRecord();
    ASSERT_TRUE(SaveOptions(g));
    EXPECT_EQ(ReadBytes(dir.Path("oprec")), EncodeOptions(SampleRecord()));
    EXPECT_FALSE(fs::exists(dir.Path("oprec.tmp")));

    GameState h;
    h.appFolder = dir.Folder();
    LoadOptionsAtStartup(h);
    EXPECT_EQ(EncodeOptions(h.optionsRecord), EncodeOptions(SampleRecord()));

    // Saving again replaces the whole file.
    h.optionsRecord.winRecord[1][0] = 999;
    ASSERT_TRUE(SaveOptions(h));
    EXPECT_EQ(I32At(ReadBytes(dir.Path("oprec")), 1036 + 16), 999);
    EXPECT_EQ(ReadBytes(dir.Path("oprec")).size(), 4260u);
}

TEST(OptionsFile, ReadOnlyFileKeepsItsContents) {
    TempFolder dir;
    const std::vector<uint8_t> old = EncodeOptions(SampleRecord());
    WriteBytes(dir.Path("oprec"), old);
    fs::permissions(dir.Path("oprec"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    GameState g;
    g.appFolder = dir.Folder();
    g.optionsRecord.soundOn = 0;
    g.optionsRecord.aiLevel = 1;
    EXPECT_FALSE(SaveOptions(g));
    EXPECT_EQ(ReadBytes(dir.Path("oprec")), old);
    EXPECT_EQ(g.optionsRecord.aiLevel, 1);  // memory keeps the new settings
    EXPECT_FALSE(fs::exists(dir.Path("oprec.tmp")));
}

TEST(OptionsFile, FailedTemporaryWriteLeavesTheOldFile) {
    TempFolder dir;
    const std::vector<uint8_t> old = EncodeOptions(SampleRecord());
    WriteBytes(dir.Path("oprec"), old);
    fs::create_directory(dir.Path("oprec.tmp"));  // the temporary file cannot be created

    GameState g;
    g.appFolder = dir.Folder();
    EXPECT_FALSE(SaveOptions(g));
    EXPECT_EQ(ReadBytes(dir.Path("oprec")), old);

    GameState nowhere;
    nowhere.appFolder = dir.Path("no-such-folder") + "/";
    EXPECT_FALSE(SaveOptions(nowhere));
}

TEST(OptionsFile, SavedFileKeepsItsPermissions) {
    TempFolder dir;
    WriteBytes(dir.Path("oprec"), std::vector<uint8_t>(4260, 0));
    fs::permissions(dir.Path("oprec"), fs::perms::owner_read | fs::perms::owner_write);
    GameState g;
    g.appFolder = dir.Folder();
    ASSERT_TRUE(SaveOptions(g));
    EXPECT_EQ(fs::status(dir.Path("oprec")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(OptionsFile, FinishingTheDialogShowsTheLevelAndSaves) {
    TempFolder dir;
    test::RecordingUi ui;
    GameState g;
    g.ui = &ui;
    g.appFolder = dir.Folder();
    g.optionsRecord.aiLevel = 7;
    g.optionsRecord.styleAttack = 0;
    g.optionsRecord.styleCaution = 5;
    g.optionsRecord.styleDefence = 10;
    FinishOptionsDialog(g);
    EXPECT_EQ(ui.status[1], Gb("级别：高级"));
    EXPECT_NEAR(g.styleCoefAttack, 0.427, 1e-9);
    EXPECT_NEAR(g.styleCoefCaution, 0.8, 1e-9);
    EXPECT_NEAR(g.styleCoefDefence, 0.191, 1e-9);
    EXPECT_EQ(ReadBytes(dir.Path("oprec")), EncodeOptions(g.optionsRecord));

    EXPECT_EQ(LevelStatusText(0), Gb("级别：初级"));
    EXPECT_EQ(LevelStatusText(1), Gb("级别：中级"));
    EXPECT_EQ(LevelStatusText(2), Gb("级别：高级"));
}

}  // namespace
}  // namespace jq
