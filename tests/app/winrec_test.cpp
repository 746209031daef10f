#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/winrec.h"
#include "core/options.h"
#include "core/text.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "support/files_support.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"

namespace {

QString AssetFolder() { return QStringLiteral(JQ_SOURCE_DIR "/assets/images"); }

std::vector<int> Counters(const jq::OptionsRec& rec) {
    return std::vector<int>(&rec.winRecord[0][0], &rec.winRecord[0][0] + 12);
}

class WinRecordDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.appFolder = folder.Folder();
        for (int level = 0; level < 3; ++level)
            for (int column = 0; column < 4; ++column) g.optionsRecord.winRecord[level][column] = 100 * level + column + 1;
        const std::string name = jq::Gb("李四");
        std::memcpy(g.optionsRecord.playerNames[0], name.data(), name.size());
    }
    jq::test::ScratchFolder folder;
    jq::GameState g;
};

// Every counter in its row and column; missing pictures and a name that
// fills its field without a NUL are tolerated.
TEST_F(WinRecordDialogTest, ShowsEveryCounterInItsRowAndColumn) {
    Twr d(g, nullptr, AssetFolder());
    for (int level = 0; level < 3; ++level)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(d.counters[level][column]->text(), QString::number(100 * level + column + 1));
    EXPECT_EQ(d.Label1->text(), QString::fromUtf8("李四"));
    std::memset(g.optionsRecord.playerNames[0], 'A', sizeof g.optionsRecord.playerNames[0]);
    QTemporaryDir empty;
    Twr bare(g, nullptr, empty.path());
    EXPECT_TRUE(bare.Image1->pixmap().isNull());
    EXPECT_TRUE(bare.Label1->text().startsWith("AAAA") && bare.Label1->text().size() <= jq::kOptionsTextBytes);
}

// A level just past the last (or before the first) has no row: a battle
// ended there counts nowhere, and the table reads nothing beyond its end.
TEST_F(WinRecordDialogTest, LevelOutsideTheTableCountsAndReadsNothing) {
    for (int level : {3, -1}) {
        const jq::OptionsRec before = g.optionsRecord;
        g.optionsRecord.aiLevel = level;
        for (int result : {jq::kBattleWon, jq::kBattleLost, jq::kBattleDraw}) jq::CountBattleResult(g, result);
        g.optionsRecord.aiLevel = before.aiLevel;
        EXPECT_EQ(std::memcmp(&g.optionsRecord, &before, sizeof before), 0) << level;
        for (int column : {0, 3}) EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, level, column), 0) << level;
    }
    g.optionsRecord.styleAttack = 77;  // the field after the table
    EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, 2, 4), 0);
    EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, 2, -1), 0);
    EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, 2, 3), 204);
}

// "重新计分" closes the dialog at once, which is then deleted and the zeros
// saved; where the folder cannot be written they stay in memory.
TEST_F(WinRecordDialogTest, ResetClosesAtOnceAndStoresZeros) {
    QPointer<Twr> seen;
    bool closedByReset = false;
    WhenShown<Twr>([&](Twr& d) {
        seen = &d;
        jq::test::LeftClick(d.Button1);
        closedByReset = !d.isVisible() && d.result() == QDialog::Accepted;
    });
    ShowWinRecordDialog(nullptr, g, AssetFolder());
    EXPECT_TRUE(closedByReset && seen.isNull());
    EXPECT_EQ(Counters(g.optionsRecord), std::vector<int>(12, 0));
    EXPECT_EQ(Counters(jq::DecodeOptions(folder.Read("oprec"))), std::vector<int>(12, 0));

    g.optionsRecord.winRecord[2][0] = 5;
    g.appFolder = folder.Path("no-such-folder/");
    WhenShown<Twr>([](Twr& d) { jq::test::LeftClick(d.Button1); });
    ShowWinRecordDialog(nullptr, g, AssetFolder());
    EXPECT_EQ(g.optionsRecord.winRecord[2][0], 0);
    EXPECT_FALSE(std::filesystem::exists(g.appFolder + "oprec"));
}

}  // namespace
