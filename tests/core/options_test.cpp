#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>

#include "core/options.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/files_support.h"

namespace jq {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

int32_t I32At(const std::vector<uint8_t>& b, size_t off) {
    return static_cast<int32_t>(b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (uint32_t(b[off + 3]) << 24));
}
std::string TextAt(const std::vector<uint8_t>& b, size_t off) { return reinterpret_cast<const char*>(&b[off]); }
// Direction, pause, move, deployment and disconnection times of the battle.
std::vector<int32_t> Running(const GameState& g) {
    return {g.turnDirection, g.netMinMoveInterval, g.netMoveTime, g.netDeployTime, g.netDisconnectTime};
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
    r.styleAttack = 3, r.styleCaution = 8, r.styleDefence = 10, r.autoPlayInterval = 45;
    r.turnDirectionOption = -1, r.netMinMoveIntervalOption = 0;
    for (int i = 0; i < 64; ++i) r.reserved[i] = static_cast<uint8_t>(0xA0 + i);
    r.netMoveTimeOption = 59, r.netDeployTimeOption = 77, r.netDisconnectTimeOption = 118;
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
    const std::pair<size_t, int32_t> ints[] = {
        {0, 1},      {1028, 7},   {1032, 2},   {1036, 1},  {1056, 102}, {1080, 204}, {1084, 3},  {1088, 8},
        {1092, 10},  {1096, 45},  {1100, -1},  {1104, 0},  {1172, 59},  {1176, 77},  {1180, 118}, {1184, 1},
    };
    for (const auto& [offset, value] : ints) EXPECT_EQ(I32At(b, offset), value) << "offset " << offset;
    EXPECT_EQ(b[1108] + b[1171], 0xA0 + 0xA0 + 63);
    const std::pair<size_t, std::string> texts[] = {{4, Gb("张三")},     {4 + 3 * 256, "west"},  {1188, "/home/p/kbtfiles/a.kbt"},
                                                    {1188 + 9 * 256, "z.jqh"}, {3748, "lan-name"}, {4004, "192.168.0.7"}};
    for (const auto& [offset, text] : texts) EXPECT_EQ(TextAt(b, offset), text) << "offset " << offset;
}

TEST(OptionsRecord, AnyImageSurvivesDecodeAndEncode) {
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

TEST(OptionsRecord, ShortLongAndUnterminatedImages) {
    const std::vector<uint8_t> full = EncodeOptions(SampleRecord());
    // Cut inside the turn direction: it and everything after read as zero.
    const OptionsRec cut = DecodeOptions(full.data(), 1102);
    EXPECT_EQ(std::tuple(cut.autoPlayInterval, cut.turnDirectionOption, cut.netMoveTimeOption), std::tuple(45, 0xFFFF, 0));
    EXPECT_EQ(RecentFile(cut, 0), "");
    EXPECT_EQ(EncodeOptions(DecodeOptions(nullptr, 0)), std::vector<uint8_t>(4260, 0));
    std::vector<uint8_t> longer = full;
    longer.insert(longer.end(), 500, 0x55);
    EXPECT_EQ(EncodeOptions(DecodeOptions(longer)), full);

    // Texts that fill their fields stay in them.
    std::vector<uint8_t> image(4260, 0);
    std::memset(&image[4], 'A', 512);  // names of seats 0 and 1
    std::memset(&image[4004], 'H', 256);
    const OptionsRec r = DecodeOptions(image);
    EXPECT_TRUE(PlayerName(r, 0) == std::string(256, 'A') && PlayerName(r, 1) == std::string(256, 'A'));
    EXPECT_EQ(LastHostAddress(r), std::string(256, 'H'));
    EXPECT_EQ(PlayerName(r, 4) + RecentFile(r, -1) + RecentFile(r, 10), "");
}

TEST(OptionsRecord, RunningValuesAreMendedAndTheRecordIsNot) {
    struct Row {
        int32_t in[5];  // direction, min interval, move, deploy, disconnect
        int32_t out[5];
    };
    const Row rows[] = {{{1, 0, 30, 40, 60}, {1, 0, 30, 40, 60}},  // 0 interval means no pause
                        {{-1, 10, 60, 80, 120}, {-1, 10, 60, 80, 120}},  {{0, -1, 0, 0, 0}, {1, 1, 30, 40, 60}},
                        {{2, -100, -5, -1, INT32_MIN}, {1, 1, 30, 40, 60}}, {{-2, 5, 1, 1, 1}, {1, 5, 1, 1, 1}},
                        {{7, INT32_MAX, 61, 81, 121}, {1, 10, 60, 80, 120}}};
    for (const Row& row : rows) {
        GameState g;
        OptionsRec& o = g.optionsRecord;
        std::tie(o.turnDirectionOption, o.netMinMoveIntervalOption, o.netMoveTimeOption, o.netDeployTimeOption,
                 o.netDisconnectTimeOption) = std::tuple(row.in[0], row.in[1], row.in[2], row.in[3], row.in[4]);
        CopyBattleOptions(g);
        EXPECT_EQ(Running(g), std::vector<int32_t>(row.out, row.out + 5)) << row.in[0] << "," << row.in[1];
        EXPECT_EQ(o.turnDirectionOption, row.in[0]);
    }
}

TEST(OptionsFile, MissingShortAndLongFilesAtStartup) {
    ScratchFolder dir;
    GameState g;
    g.appFolder = dir.Folder();
    g.optionsRecord.soundOn = 1;  // whatever was there is replaced
    for (bool folderInItsPlace : {false, true}) {
        if (folderInItsPlace) fs::create_directory(dir.Path("oprec"));
        g.turnDirection = 0;
        LoadOptionsAtStartup(g);
        EXPECT_EQ(EncodeOptions(g.optionsRecord), EncodeOptions(DefaultOptions()));
        EXPECT_EQ(Running(g), (std::vector<int32_t>{1, 1, 30, 40, 60}));
    }
    fs::remove(dir.Path("oprec"));

    // Stops before the LAN times: the record keeps zeros, the running copies are mended.
    const std::vector<uint8_t> full = EncodeOptions(SampleRecord());
    WriteBytes(dir.Path("oprec"), std::vector<uint8_t>(full.begin(), full.begin() + 1100));
    LoadOptionsAtStartup(g);
    EXPECT_EQ(std::pair(g.optionsRecord.styleCaution, g.optionsRecord.netMoveTimeOption), std::pair(8, 0));
    EXPECT_EQ(Running(g), (std::vector<int32_t>{1, 0, 30, 40, 60}));
    EXPECT_LT(g.styleCoefAttack, 0.618);  // the attack slider at 3 of 10

    std::vector<uint8_t> longer = full;
    longer.insert(longer.end(), 1000, 0xEE);
    WriteBytes(dir.Path("oprec"), longer);
    LoadOptionsAtStartup(g);
    EXPECT_EQ(EncodeOptions(g.optionsRecord), full);
    EXPECT_EQ(Running(g), (std::vector<int32_t>{-1, 0, 59, 77, 118}));
}

TEST(OptionsFile, SavingReplacesTheWholeFileOrLeavesItAsItWas) {
    ScratchFolder dir;
    WriteBytes(dir.Path("oprec"), std::vector<uint8_t>(5000, 0x33));
    fs::permissions(dir.Path("oprec"), fs::perms::owner_read | fs::perms::owner_write);
    test::RecordingUi ui;
    GameState g;
    g.ui = &ui;
    g.appFolder = dir.Folder();
    g.optionsRecord = SampleRecord();
    FinishOptionsDialog(g);  // shows the level, takes the sliders and saves
    EXPECT_NEAR(g.styleCoefCaution, 0.86, 1e-9);
    const std::vector<uint8_t> saved = EncodeOptions(SampleRecord());
    EXPECT_EQ(ReadBytes(dir.Path("oprec")), saved);
    EXPECT_EQ(fs::status(dir.Path("oprec")).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(test::FolderEntries(dir.Plain()), std::vector<std::string>{"oprec"});
    for (auto [level, text] : {std::pair{0, "级别：初级"}, {1, "级别：中级"}, {2, "级别：高级"}, {7, "级别：高级"}}) {
        g.optionsRecord.aiLevel = level;
        FinishOptionsDialog(g);
        EXPECT_EQ(ui.status[1], Gb(text)) << level;
    }
    // Read-only, then writable but with the temporary file's name taken, then
    // no folder at all: nothing is written, memory keeps the new settings.
    WriteBytes(dir.Path("oprec"), saved);
    fs::permissions(dir.Path("oprec"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(SaveOptions(g));
    EXPECT_FALSE(fs::exists(dir.Path("oprec.tmp")));
    fs::permissions(dir.Path("oprec"), fs::perms::owner_write, fs::perm_options::add);
    fs::create_directory(dir.Path("oprec.tmp"));
    EXPECT_FALSE(SaveOptions(g));
    EXPECT_TRUE(ReadBytes(dir.Path("oprec")) == saved && g.optionsRecord.aiLevel == 7);
    g.appFolder = dir.Path("no-such-folder") + "/";
    EXPECT_FALSE(SaveOptions(g));
}

}  // namespace
}  // namespace jq
