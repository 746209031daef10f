#include "app/shresult.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/winrec.h"
#include "core/options.h"
#include "core/text.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"

namespace {

QString AssetFolder() { return QStringLiteral(JQ_SOURCE_DIR "/assets/images"); }

void Tick(TfmShowResult& panel, int times) {
    for (int i = 0; i < times; ++i) panel.Timer1Timer();
}

// One panel per kind (any kind but won and lost is a draw), and when it
// closes untouched, by its mode and the LAN state of the game; a closed
// panel does nothing more. A click closes it from half a second on.
TEST(ResultPanel, KindAndClosingTicksPerModeAndLanState) {
    const struct {
        int kind, mode, netState, ticks;
        bool closed;
    } rows[] = {
        {0, 0, 0, 439, false},  {1, 0, 0, 440, true},  {2, 0, 20, 1, false},  // a local panel: any LAN state
        {7, 2, 0, 439, false},  {-1, 2, 0, 445, true},  // any mode but 1 is a local panel
        {0, 1, 32, 199, false}, {1, 1, 32, 200, true}, {2, 1, 15, 1, false},   {2, 1, 16, 1, true},
        {2, 1, 31, 1, true},    {2, 1, 32, 1, false},  {2, 1, 40, 150, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "kind " << r.kind << " mode " << r.mode << " state "
                                          << r.netState << " ticks " << r.ticks);
        jq::GameState g;
        g.netState = r.netState;
        TfmShowResult panel(nullptr, r.kind, r.mode, &g, AssetFolder());
        panel.Timer1->stop();
        const int shown = r.kind == 0 || r.kind == 1 ? r.kind : 2;
        EXPECT_EQ((std::array{panel.PanelWin->isHidden(), panel.PanelLose->isHidden(),
                              panel.PanelPeace->isHidden()}),
                  (std::array{shown != 0, shown != 1, shown != 2}));
        Tick(panel, r.ticks);
        EXPECT_EQ(panel.Closed(), r.closed);
        if (r.closed) { EXPECT_EQ(panel.timer1Tag, std::min(r.ticks, r.mode == 1 ? 200 : 440)); }
        if (r.mode == 1 && !r.closed) {  // the host's panel watches the state as it changes
            g.netState = 21;
            Tick(panel, 1);
            EXPECT_TRUE(panel.Closed());
        }
    }
    EXPECT_FALSE(jq::ResultPanelClosesOnClick(49, 10));
    EXPECT_TRUE(jq::ResultPanelClosesOnClick(50, 10));
    EXPECT_TRUE(jq::ResultPanelClosesOnClick(1 << 30, 1000));  // no overflow
}

// A LAN host's panel returns at once and goes away when the next battle's waiting room closes it.
TEST(ShowResultPanel, LanHostPanelReturnsAtOnceAndGoesAwayWhenClosed) {
    jq::GameState g;
    QWidget owner;
    g.netState = 40;
    ShowResultPanel(&owner, g, 0, true, AssetFolder());
    ASSERT_EQ(owner.findChildren<TfmShowResult*>().size(), 1);
    QPointer<TfmShowResult> panel = owner.findChildren<TfmShowResult*>().front();
    EXPECT_TRUE(panel->isVisible() && !panel->isModal());
    EXPECT_EQ(panel->Mode(), 1);
    g.netState = 16;  // on the real timer
    EXPECT_TRUE(jq::test::WaitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return panel.isNull();
        },
        2000));
}

std::vector<int> Counters(const jq::OptionsRec& rec) {
    return std::vector<int>(&rec.winRecord[0][0], &rec.winRecord[0][0] + 12);
}

class WinRecordDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.appFolder = folder.Folder();
        for (int level = 0; level < 3; ++level)
            for (int column = 0; column < 4; ++column)
                g.optionsRecord.winRecord[level][column] = 100 * level + column + 1;
        const std::string name = jq::Gb("李四");
        std::memcpy(g.optionsRecord.playerNames[0], name.data(), name.size());
    }
    jq::test::ScratchFolder folder;
    jq::GameState g;
};

// Missing pictures and a name that fills its field without a NUL are tolerated.
TEST_F(WinRecordDialogTest, MissingPicturesAndAFullLengthNameAreTolerated) {
    std::memset(g.optionsRecord.playerNames[0], 'A', sizeof g.optionsRecord.playerNames[0]);
    QTemporaryDir empty;
    Twr bare(g, nullptr, empty.path());
    EXPECT_TRUE(bare.Image1->pixmap().isNull());
    EXPECT_TRUE(bare.Label1->text().startsWith("AAAA") &&
                bare.Label1->text().size() <= jq::kOptionsTextBytes);
}

// A level just past the last (or before the first) has no row: a battle
// ended there counts nowhere, and the table reads nothing beyond its end.
TEST_F(WinRecordDialogTest, LevelOutsideTheTableCountsAndReadsNothing) {
    for (int level : {3, -1}) {
        const jq::OptionsRec before = g.optionsRecord;
        g.optionsRecord.aiLevel = level;
        for (int result : {jq::kBattleWon, jq::kBattleLost, jq::kBattleDraw})
            jq::CountBattleResult(g, result);
        g.optionsRecord.aiLevel = before.aiLevel;
        EXPECT_EQ(std::memcmp(&g.optionsRecord, &before, sizeof before), 0) << level;
        for (int column : {0, 3}) EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, level, column), 0) << level;
    }
    g.optionsRecord.styleAttack = 77;  // the field after the table
    EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, 2, 4), 0);
    EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, 2, -1), 0);
    EXPECT_EQ(jq::WinRecordCounter(g.optionsRecord, 2, 3), 204);
}

// Every counter shows in its row and column; "重新计分" closes the dialog at once, which is then
// deleted and the zeros saved; where the folder cannot be written they stay in memory.
TEST_F(WinRecordDialogTest, ResetClosesAtOnceAndStoresZeros) {
    for (const std::string& at : {folder.Folder(), folder.Path("no-such-folder/")}) {
        g.appFolder = at;
        g.optionsRecord.winRecord[2][0] = 5;
        QPointer<Twr> seen;
        bool closedByReset = false;
        WhenShown<Twr>([&](Twr& d) {
            for (int k = 0; k < 12; ++k)
                EXPECT_EQ(d.counters[k / 4][k % 4]->text(),
                          QString::number(g.optionsRecord.winRecord[k / 4][k % 4]));
            EXPECT_EQ(d.Label1->text(), QString::fromUtf8("李四"));
            seen = &d;
            jq::test::LeftClick(d.Button1);
            closedByReset = !d.isVisible() && d.result() == QDialog::Accepted;
        });
        ShowWinRecordDialog(nullptr, g, AssetFolder());
        EXPECT_TRUE(closedByReset && seen.isNull());
        EXPECT_EQ(Counters(g.optionsRecord), std::vector<int>(12, 0));
    }
    EXPECT_EQ(Counters(jq::DecodeOptions(folder.Read("oprec"))), std::vector<int>(12, 0));
    EXPECT_FALSE(std::filesystem::exists(folder.Path("no-such-folder/oprec")));
}

}  // namespace
