#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "app/winrec.h"
#include "core/options.h"
#include "core/qipan.h"
#include "core/text.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "play/result_rules.h"
#include "play/turnloop.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QString AssetFolder() { return QStringLiteral(JQ_SOURCE_DIR "/assets/images"); }


void WhenDialogShown(std::function<void(Twr&)> act) { WhenShown<Twr>(std::move(act)); }

void SetName(jq::OptionsRec& rec, const std::string& gb) {
    std::memset(rec.playerNames[0], 0, sizeof rec.playerNames[0]);
    std::memcpy(rec.playerNames[0], gb.data(), gb.size());
}

constexpr const char* kNames[3][4] = {{"lbtotb", "lbwinb", "lblostb", "lbpeaceb"},
                                      {"lbtotm", "lbwinm", "lblostm", "lbpeacem"},
                                      {"lbtota", "lbwina", "lblosta", "lbpeacea"}};

QString LabelText(Twr& d, const char* name) {
    auto* label = d.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

class WinRecordDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        g.appFolder = folder.path().toStdString() + "/";
        for (int level = 0; level < 3; ++level)
            for (int column = 0; column < 4; ++column) g.optionsRecord.winRecord[level][column] = 100 * level + column + 1;
        SetName(g.optionsRecord, jq::Gb("李四"));
    }

    std::string OprecPath() const { return g.appFolder + "oprec"; }

    jq::OptionsRec ReadOprec() const {
        std::ifstream in(OprecPath(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.size(), static_cast<size_t>(jq::kOptionsBytes));
        return jq::DecodeOptions(bytes);
    }

    QTemporaryDir folder;
    jq::GameState g;
};

TEST_F(WinRecordDialogTest, ShowsEveryCounterInItsRowAndColumn) {
    Twr d(g, nullptr, AssetFolder());
    for (int level = 0; level < 3; ++level)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(LabelText(d, kNames[level][column]), QString::number(100 * level + column + 1))
                << kNames[level][column];
    EXPECT_LT(d.counters[0][0]->y(), d.counters[1][0]->y());
    EXPECT_EQ(d.counters[2][1]->y(), d.rowCaptions[2]->y());
    EXPECT_EQ(d.Label1->text(), U("李四"));
}

TEST_F(WinRecordDialogTest, MissingPicturesAndAFullLengthNameAreTolerated) {
    std::memset(g.optionsRecord.playerNames[0], 'A', sizeof g.optionsRecord.playerNames[0]);  // no NUL
    QTemporaryDir empty;
    Twr d(g, nullptr, empty.path());
    EXPECT_TRUE(d.Image1->pixmap().isNull());
    EXPECT_LE(d.Label1->text().size(), jq::kOptionsTextBytes);
    EXPECT_TRUE(d.Label1->text().startsWith(QStringLiteral("AAAA")));
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
    Twr d(g, nullptr, AssetFolder());
    EXPECT_EQ(LabelText(d, "lbpeacea"), QStringLiteral("204"));
}

TEST_F(WinRecordDialogTest, ResetClosesAtOnceAndStoresZeros) {
    bool closedByReset = false;
    QPointer<Twr> seen;
    WhenDialogShown([&](Twr& d) {
        seen = &d;
        jq::test::LeftClick(d.Button1);
        closedByReset = !d.isVisible() && d.result() == QDialog::Accepted;
    });
    ShowWinRecordDialog(nullptr, g, AssetFolder());
    EXPECT_TRUE(closedByReset);
    EXPECT_TRUE(seen.isNull());  // deleted once closed
    for (auto& level : g.optionsRecord.winRecord)
        for (int32_t counter : level) EXPECT_EQ(counter, 0);
    ASSERT_TRUE(std::filesystem::exists(OprecPath()));
    const jq::OptionsRec stored = ReadOprec();
    for (auto& level : stored.winRecord)
        for (int32_t counter : level) EXPECT_EQ(counter, 0);
}

TEST_F(WinRecordDialogTest, CancelKeepsTheCountersAndStillSaves) {
    WhenDialogShown([](Twr& d) { jq::test::LeftClick(d.BitBtn1); });
    ShowWinRecordDialog(nullptr, g, AssetFolder());
    EXPECT_EQ(g.optionsRecord.winRecord[1][2], 103);
    ASSERT_TRUE(std::filesystem::exists(OprecPath()));
    const jq::OptionsRec stored = ReadOprec();
    for (int level = 0; level < 3; ++level)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(stored.winRecord[level][column], 100 * level + column + 1);
}

TEST_F(WinRecordDialogTest, UnwritableFolderKeepsTheResetInMemoryOnly) {
    g.appFolder = folder.path().toStdString() + "/no-such-folder/";
    WhenDialogShown([](Twr& d) { jq::test::LeftClick(d.Button1); });
    ShowWinRecordDialog(nullptr, g, AssetFolder());
    EXPECT_EQ(g.optionsRecord.winRecord[2][0], 0);
    EXPECT_FALSE(std::filesystem::exists(g.appFolder + "oprec"));
}

}  // namespace
