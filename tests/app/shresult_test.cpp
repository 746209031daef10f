#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <array>
#include <memory>

#include "app/shresult.h"
#include "play/result_rules.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"

namespace {

QString AssetFolder() { return QStringLiteral(JQ_SOURCE_DIR "/assets/images"); }

void Tick(TfmShowResult& panel, int times) {
    for (int i = 0; i < times; ++i) panel.Timer1Timer();
}

// A panel whose time the test drives itself, tick by tick.
std::unique_ptr<TfmShowResult> StoppedPanel(int kind, int mode, const jq::GameState* g = nullptr) {
    auto panel = std::make_unique<TfmShowResult>(nullptr, kind, mode, g, AssetFolder());
    panel->Timer1->stop();
    return panel;
}

int LiveResultPanels() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (QWidget* w : QApplication::allWidgets())
        if (qobject_cast<TfmShowResult*>(w) != nullptr) ++count;
    return count;
}

// One panel per kind (any kind but won and lost is a draw), and when it
// closes untouched, by its mode and the LAN state of the game.
TEST(ResultPanel, KindAndClosingTicksPerModeAndLanState) {
    const struct {
        int kind, mode, netState, ticks;
        bool closed;
    } rows[] = {
        {0, 0, 0, 439, false},  {1, 0, 0, 440, true},   {2, 0, 20, 1, false},  // a local panel ignores the LAN state
        {7, 2, 0, 439, false},  {-1, 2, 0, 440, true},                         // any mode but 1 is a local panel
        {0, 1, 32, 199, false}, {1, 1, 32, 200, true},  {2, 1, 15, 1, false}, {2, 1, 16, 1, true},
        {2, 1, 31, 1, true},    {2, 1, 32, 1, false},   {2, 1, 40, 150, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "kind " << r.kind << " mode " << r.mode << " state " << r.netState
                                          << " ticks " << r.ticks);
        jq::GameState g;
        g.netState = r.netState;
        auto panel = StoppedPanel(r.kind, r.mode, &g);
        const int shown = r.kind == 0 || r.kind == 1 ? r.kind : 2;
        EXPECT_EQ((std::array{panel->PanelWin->isHidden(), panel->PanelLose->isHidden(), panel->PanelPeace->isHidden()}),
                  (std::array{shown != 0, shown != 1, shown != 2}));
        Tick(*panel, r.ticks);
        EXPECT_EQ(panel->Closed(), r.closed);
        if (r.mode == 1 && !r.closed) {  // the host's panel watches the state as it changes
            g.netState = 21;
            Tick(*panel, 1);
            EXPECT_TRUE(panel->Closed());
        }
    }
    // A closed panel does nothing more.
    auto panel = StoppedPanel(0, 0);
    Tick(*panel, 445);
    EXPECT_EQ(panel->timer1Tag, 440);
    EXPECT_FALSE(panel->Timer1->isActive());
}

// A click closes the panel from half a second on, also on its text; the
// margin and Esc do not.
TEST(ResultPanel, ClickClosesFromHalfASecond) {
    EXPECT_TRUE(jq::ResultPanelClosesOnClick(1 << 30, 1000));  // no overflow
    auto panel = StoppedPanel(2, 0);
    panel->show();
    Tick(*panel, 49);
    jq::test::LeftClick(panel->PanelPeace);
    EXPECT_FALSE(panel->Closed());
    Tick(*panel, 1);
    jq::test::LeftClick(panel.get(), QPoint(1, 1));
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(panel.get(), &esc);
    EXPECT_TRUE(panel->isVisible());
    jq::test::LeftClick(panel->PanelPeace->findChild<QLabel*>(QStringLiteral("PanelPeaceLine2")));
    EXPECT_FALSE(panel->isVisible());
}

TEST(ShowResultPanel, ModalPanelWaitsAndIsDeletedWhenItCloses) {
    jq::GameState g;
    QWidget owner;
    QPointer<TfmShowResult> seen;
    bool wasModal = false;
    int ownerTicks = 0;
    QTimer ownerTimer;  // stands for the main timer, which goes on meanwhile
    QObject::connect(&ownerTimer, &QTimer::timeout, [&] { ++ownerTicks; });
    ownerTimer.start(1);
    WhenShown<TfmShowResult>([&](TfmShowResult& p) {
        seen = &p;
        wasModal = p.isModal();
        p.Timer1->stop();
        // Let the owner's timer run a little while the panel waits.
        QTimer::singleShot(20, &p, [&p] {
            Tick(p, 60);
            jq::test::LeftClick(p.PanelLose);
        });
    });
    ShowResultPanel(&owner, g, 1, false, AssetFolder());
    ownerTimer.stop();
    EXPECT_TRUE(wasModal);
    EXPECT_GT(ownerTicks, 0);
    EXPECT_TRUE(seen.isNull());
}

TEST(ShowResultPanel, LanHostPanelReturnsAtOnceAndGoesAwayWhenClosed) {
    jq::GameState g;
    g.netState = 40;
    QWidget owner;
    ShowResultPanel(&owner, g, 0, true, AssetFolder());
    ASSERT_EQ(owner.findChildren<TfmShowResult*>().size(), 1);
    QPointer<TfmShowResult> panel = owner.findChildren<TfmShowResult*>().front();
    EXPECT_TRUE(panel->isVisible() && !panel->isModal());
    EXPECT_EQ(panel->Mode(), 1);

    g.netState = 16;  // the next battle's waiting room closes it on the real timer
    EXPECT_TRUE(jq::test::WaitFor([&] { return LiveResultPanels() == 0; }, 2000));
}

}  // namespace
