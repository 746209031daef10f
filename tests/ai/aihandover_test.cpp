#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <chrono>
#include <memory>
#include <thread>

#include "ai/aithread.h"
#include "ai/ui/aihandover.h"
#include "ai_support.h"
#include "core/qipan.h"

namespace jq {
namespace {

using namespace std::chrono_literals;

void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "ai_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

class MainThreadUi : public NullUi {
public:
    void SetDiagnosticLabel(int, const std::string&) override { onThread = std::this_thread::get_id(); }
    std::thread::id onThread;
};

std::unique_ptr<GameState> DealtGame(MainThreadUi& ui) {
    auto g = std::make_unique<GameState>();
    g->ui = &ui;
    aitest::ClearTable(g->pieces);
    test::DeployArmy(g->pieces);
    g->curSeat = 2;
    return g;
}

TEST(WindowHandOver, MoveIsCarriedOutWhenTheWindowThreadTakesItsEvents) {
    EnsureApplication();
    MainThreadUi ui;
    auto g = DealtGame(ui);
    QObject window;
    auto worker = CreateWindowComputerPlayer(&window, *g);
    g->computer = worker.get();
    worker->Resume();
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (g->stepCount == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(g->stepCount, 1);
    EXPECT_EQ(ui.onThread, std::this_thread::get_id());
    EXPECT_TRUE(worker->IsIdle());
    worker.reset();
    g->computer = nullptr;
}

TEST(WindowHandOver, CallForAGoneWindowIsDropped) {
    EnsureApplication();
    MainThreadUi ui;
    auto g = DealtGame(ui);
    auto window = std::make_unique<QObject>();
    auto worker = CreateWindowComputerPlayer(window.get(), *g);
    g->computer = worker.get();
    worker->Resume();
    // Wait until the move is on its way, then close the window first.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (worker->LastThinkMs() == 0.0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    window.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(g->stepCount, 0);
    worker->Stop();
    EXPECT_TRUE(worker->IsIdle());
    worker.reset();
    g->computer = nullptr;
}

}  // namespace
}  // namespace jq
