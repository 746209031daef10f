#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/shresult.h"
#include "core/qipan.h"
#include "play/result_rules.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QString AssetFolder() { return QStringLiteral(JQ_SOURCE_DIR "/assets/images"); }

void Click(QWidget* w, QPoint at = QPoint(-1, -1)) {
    if (at.x() < 0) at = QPoint(w->width() / 2, w->height() / 2);
    const QPointF global = w->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

void Tick(TfmShowResult& panel, int times) {
    for (int i = 0; i < times; ++i) panel.Timer1Timer();
}

// A panel whose time the test drives itself, tick by tick.
std::unique_ptr<TfmShowResult> StoppedPanel(int kind, int mode, const jq::GameState* g = nullptr) {
    auto panel = std::make_unique<TfmShowResult>(nullptr, kind, mode, g, AssetFolder());
    panel->Timer1->stop();
    return panel;
}

ResultPanelFrame* VisiblePanel(TfmShowResult& panel) {
    for (ResultPanelFrame* p : {panel.PanelWin, panel.PanelLose, panel.PanelPeace})
        if (!p->isHidden()) return p;
    return nullptr;
}

// Runs `act` once the first visible result panel is up (inside the modal
// wait of whoever showed it).
void WhenPanelShown(std::function<void(TfmShowResult&)> act) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<TfmShowResult*>(w); p != nullptr && p->isVisible() && !p->Closed()) {
                act(*p);
                return;
            }
        }
        QTimer::singleShot(5, *poll);
    };
    QTimer::singleShot(0, *poll);
}

int LiveResultPanels() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (QWidget* w : QApplication::allWidgets())
        if (qobject_cast<TfmShowResult*>(w) != nullptr) ++count;
    return count;
}

TEST(ResultRules, KindsOtherThanWonAndLostShowTheDraw) {
    EXPECT_EQ(jq::ResultPanelFor(0), jq::ResultPanelKind::Won);
    EXPECT_EQ(jq::ResultPanelFor(1), jq::ResultPanelKind::Lost);
    for (int kind : {2, 3, -1, 1000}) EXPECT_EQ(jq::ResultPanelFor(kind), jq::ResultPanelKind::Drawn) << kind;
}

TEST(ResultRules, ClosingTicksPerMode) {
    struct Row {
        int mode, ticks, netState;
        bool closes;
    };
    const Row rows[] = {
        {0, 439, 0, false}, {0, 440, 0, true},  {0, 1, 20, false},  // a local panel ignores the LAN state
        {2, 439, 0, false}, {2, 440, 0, true},                     // any mode but 1 is a local panel
        {1, 199, 0, false}, {1, 200, 0, true},  {1, 1, 15, false}, {1, 1, 16, true},
        {1, 1, 31, true},   {1, 1, 32, false},  {1, 150, 32, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(jq::ResultPanelClosesAtTick(r.mode, r.ticks, r.netState), r.closes)
            << "mode " << r.mode << " ticks " << r.ticks << " netState " << r.netState;
}

TEST(ResultRules, ClickClosesFromHalfASecond) {
    EXPECT_FALSE(jq::ResultPanelClosesOnClick(0, jq::kResultTickMs));
    EXPECT_FALSE(jq::ResultPanelClosesOnClick(49, jq::kResultTickMs));
    EXPECT_TRUE(jq::ResultPanelClosesOnClick(50, jq::kResultTickMs));
    EXPECT_TRUE(jq::ResultPanelClosesOnClick(1 << 30, 1000));  // no overflow
}

struct PanelTextCase {
    int kind;
    const char* panel;
    const char* first;
    const char* second;
};

class ResultPanelText : public ::testing::TestWithParam<PanelTextCase> {};

TEST_P(ResultPanelText, ShowsOnePanelWithItsTwoLines) {
    const PanelTextCase& c = GetParam();
    auto panel = StoppedPanel(c.kind, 0);
    ResultPanelFrame* shown = VisiblePanel(*panel);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->objectName(), QString::fromLatin1(c.panel));
    int visible = 0;
    for (ResultPanelFrame* p : {panel->PanelWin, panel->PanelLose, panel->PanelPeace}) visible += !p->isHidden();
    EXPECT_EQ(visible, 1);
    auto* first = shown->findChild<QLabel*>(shown->objectName() + QStringLiteral("Line1"));
    auto* second = shown->findChild<QLabel*>(shown->objectName() + QStringLiteral("Line2"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->text(), U(c.first));
    EXPECT_EQ(second->text(), U(c.second));
    EXPECT_LT(first->y(), second->y());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ResultPanelText,
    ::testing::Values(PanelTextCase{0, "PanelWin", "我方获得最后的胜利！", "敌人不堪一击，胜利永远属于我们。"},
                      PanelTextCase{1, "PanelLose", "敌人十分强大，下次再来！", "再接再励，再来一次吧。"},
                      PanelTextCase{2, "PanelPeace", "敌人并非强大，胜利终将属于我们。", "和棋！"},
                      PanelTextCase{7, "PanelPeace", "敌人并非强大，胜利终将属于我们。", "和棋！"},
                      PanelTextCase{-1, "PanelPeace", "敌人并非强大，胜利终将属于我们。", "和棋！"}));

TEST(ResultPanel, WindowDesign) {
    auto panel = StoppedPanel(0, 0);
    EXPECT_EQ(panel->windowTitle(), U("战役结果"));
    EXPECT_EQ(panel->size(), QSize(TfmShowResult::kWidth, TfmShowResult::kHeight));
    EXPECT_FALSE(panel->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(panel->Mode(), 0);
    // The panel fills the window but for its margin.
    panel->show();
    QApplication::processEvents();
    EXPECT_EQ(panel->PanelWin->geometry(),
              QRect(TfmShowResult::kMargin, TfmShowResult::kMargin, TfmShowResult::kWidth - 2 * TfmShowResult::kMargin,
                    TfmShowResult::kHeight - 2 * TfmShowResult::kMargin));
    panel->hide();
}

TEST(ResultPanel, TimerStartsAtTenMilliseconds) {
    TfmShowResult panel(nullptr, 1, 0, nullptr, AssetFolder());
    EXPECT_TRUE(panel.Timer1->isActive());
    EXPECT_EQ(panel.Timer1->interval(), 10);
    EXPECT_EQ(panel.timer1Tag, 0);
}

TEST(ResultPanel, PicturesFromTheFolderAndNoneWhenMissing) {
    auto panel = StoppedPanel(1, 0);
    auto* picture = panel->PanelLose->findChild<QLabel*>(QStringLiteral("PanelLosePicture"));
    auto* title = panel->PanelLose->findChild<QLabel*>(QStringLiteral("PanelLoseTitle"));
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(96, 96));
    EXPECT_EQ(title->pixmap().size(), QSize(93, 31));

    QTemporaryDir empty;
    TfmShowResult bare(nullptr, 1, 0, nullptr, empty.path());
    bare.Timer1->stop();
    auto* none = bare.PanelLose->findChild<QLabel*>(QStringLiteral("PanelLosePicture"));
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(none->pixmap().isNull());
    EXPECT_EQ(bare.PanelLose->findChild<QLabel*>(QStringLiteral("PanelLoseLine1"))->text(),
              U("敌人十分强大，下次再来！"));
}

TEST(ResultPanel, ClickAfterThirtyTicksStaysAfterSixtyCloses) {
    auto panel = StoppedPanel(0, 0);
    Tick(*panel, 30);
    Click(panel->PanelWin);
    EXPECT_FALSE(panel->Closed());
    Tick(*panel, 30);
    Click(panel->PanelWin);
    EXPECT_TRUE(panel->Closed());
}

TEST(ResultPanel, ClickOnTheTextOrPictureCountsAsOnThePanel) {
    auto panel = StoppedPanel(2, 0);
    panel->show();
    Tick(*panel, 50);
    Click(panel->PanelPeace->findChild<QLabel*>(QStringLiteral("PanelPeaceLine2")));
    EXPECT_TRUE(panel->Closed());
    EXPECT_FALSE(panel->isVisible());
}

TEST(ResultPanel, ClickOnTheMarginDoesNothing) {
    auto panel = StoppedPanel(1, 0);
    panel->show();
    Tick(*panel, 100);
    Click(panel.get(), QPoint(1, 1));
    EXPECT_FALSE(panel->Closed());
    panel->hide();
}

TEST(ResultPanel, EscapeDoesNotCloseIt) {
    auto panel = StoppedPanel(0, 0);
    panel->show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(panel.get(), &esc);
    EXPECT_FALSE(panel->Closed());
    EXPECT_TRUE(panel->isVisible());
    panel->hide();
}

TEST(ResultPanel, UntouchedLocalPanelClosesAtTick440) {
    auto panel = StoppedPanel(0, 0);
    Tick(*panel, 439);
    EXPECT_FALSE(panel->Closed());
    Tick(*panel, 1);
    EXPECT_TRUE(panel->Closed());
    // A closed panel does nothing more.
    Tick(*panel, 5);
    EXPECT_EQ(panel->timer1Tag, 440);
    EXPECT_FALSE(panel->Timer1->isActive());
}

TEST(ResultPanel, LanHostPanelClosesAtTick200) {
    jq::GameState g;
    g.netState = 32;
    auto panel = StoppedPanel(0, 1, &g);
    Tick(*panel, 199);
    EXPECT_FALSE(panel->Closed());
    Tick(*panel, 1);
    EXPECT_TRUE(panel->Closed());
}

TEST(ResultPanel, LanHostPanelClosesAtOnceInStates16To31) {
    for (int32_t state : {15, 16, 24, 31, 32}) {
        jq::GameState g;
        g.netState = state;
        auto panel = StoppedPanel(2, 1, &g);
        Tick(*panel, 1);
        EXPECT_EQ(panel->Closed(), state >= 16 && state <= 31) << state;
    }
}

TEST(ResultPanel, LanHostPanelWatchesTheStateAsItChanges) {
    jq::GameState g;
    g.netState = 40;
    auto panel = StoppedPanel(1, 1, &g);
    Tick(*panel, 100);
    EXPECT_FALSE(panel->Closed());
    g.netState = 21;
    Tick(*panel, 1);
    EXPECT_TRUE(panel->Closed());
}

TEST(ShowResultPanel, ModalPanelWaitsAndIsDeletedWhenItCloses) {
    jq::GameState g;
    QWidget owner;
    ASSERT_EQ(LiveResultPanels(), 0);
    QPointer<TfmShowResult> seen;
    bool wasModal = false;
    int ownerTicks = 0;
    QTimer ownerTimer;  // stands for the main timer, which goes on meanwhile
    QObject::connect(&ownerTimer, &QTimer::timeout, [&] { ++ownerTicks; });
    ownerTimer.start(1);
    WhenPanelShown([&](TfmShowResult& p) {
        seen = &p;
        wasModal = p.isModal();
        p.Timer1->stop();
        // Let the owner's timer run a little while the panel waits.
        QTimer::singleShot(20, &p, [&p] {
            Tick(p, 60);
            Click(p.PanelLose);
        });
    });
    ShowResultPanel(&owner, g, 1, false, AssetFolder());
    ownerTimer.stop();
    EXPECT_TRUE(wasModal);
    EXPECT_GT(ownerTicks, 0);
    EXPECT_TRUE(seen.isNull());
    EXPECT_EQ(LiveResultPanels(), 0);
}

TEST(ShowResultPanel, ModalPanelClosesByItsOwnTimer) {
    jq::GameState g;
    QPointer<TfmShowResult> seen;
    WhenPanelShown([&](TfmShowResult& p) {
        seen = &p;
        EXPECT_EQ(p.Mode(), 0);
        EXPECT_FALSE(p.PanelPeace->isHidden());
        p.timer1Tag = 430;  // the last ten ticks run on the real timer
    });
    ShowResultPanel(nullptr, g, 2, false, AssetFolder());
    EXPECT_TRUE(seen.isNull());
    EXPECT_EQ(LiveResultPanels(), 0);
}

TEST(ShowResultPanel, LanHostPanelReturnsAtOnceAndGoesAwayWhenClosed) {
    jq::GameState g;
    g.netState = 40;
    QWidget owner;
    ShowResultPanel(&owner, g, 0, true, AssetFolder());
    QList<TfmShowResult*> panels = owner.findChildren<TfmShowResult*>();
    ASSERT_EQ(panels.size(), 1);
    QPointer<TfmShowResult> panel = panels.front();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(panel->isModal());
    EXPECT_EQ(panel->Mode(), 1);
    EXPECT_FALSE(panel->PanelWin->isHidden());

    // The next battle's waiting room closes it on the real timer.
    g.netState = 16;
    QElapsedTimer clock;
    clock.start();
    while (!panel.isNull() && !panel->Closed() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_TRUE(panel.isNull() || (panel->Closed() && !panel->isVisible()));
    EXPECT_EQ(LiveResultPanels(), 0);
    EXPECT_TRUE(panel.isNull());
}

TEST(ShowResultPanel, EveryBattleEndLeavesNoPanelBehind) {
    jq::GameState g;
    for (int battle = 0; battle < 3; ++battle) {
        WhenPanelShown([](TfmShowResult& p) {
            p.Timer1->stop();
            Tick(p, jq::kResultCloseTicks);
        });
        ShowResultPanel(nullptr, g, battle, false, AssetFolder());
    }
    g.netState = 20;
    for (int battle = 0; battle < 3; ++battle) ShowResultPanel(nullptr, g, battle, true, AssetFolder());
    QElapsedTimer clock;
    clock.start();
    while (LiveResultPanels() > 0 && clock.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(LiveResultPanels(), 0);
}

}  // namespace
