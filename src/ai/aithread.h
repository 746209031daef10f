// The computer player's thread and the hand-over of its move to the main
// thread.
//
// The worker waits until it is woken for the seat to move. It then thinks on
// its own copy of what it reads (pieces, seat to move, step count, level,
// style factors, piece values, slot statistics) with its own work areas, so
// nothing it touches is shared with the main thread. Its choice goes to the
// owner's hand-over function together with a token; the owner gets it to
// the main thread (the window queues a call, tests collect it), where
// ExecuteComputerMove carries it out only while the token is current and no
// stop was asked for. Until then the worker counts as busy, so the turn loop
// does not wake it again.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "ai/computer.h"
#include "ai/workspace.h"

namespace jq {

struct GameState;

// Called on the worker thread with the chosen move and its token. It must
// only pass the two on (it may not wait for the main thread, nor call back
// into the worker).
using HandOverFn = std::function<void(MoveCand move, uint64_t token)>;

class AIDominate : public ComputerPlayer {
public:
    // The thread starts at once and waits. Its random generator starts from
    // the fixed start state unless seeded.
    AIDominate(GameState& game, HandOverFn handOver);
    // Stops the search and ends and joins the thread.
    ~AIDominate() override;
    AIDominate(const AIDominate&) = delete;
    AIDominate& operator=(const AIDominate&) = delete;

    // True while neither a search nor its hand-over is under way.
    bool IsIdle() const override;
    // Takes a copy of the game and starts a search for the seat to move.
    // Does nothing unless idle. Above the basic level the move clock starts
    // again now, as that chooser's thinking begins.
    void Resume() override;
    // Asks a running search to stop and waits until the thread is at rest;
    // a move chosen before the stop can no longer be carried out. Needs no
    // message processing. Returns at once when idle.
    void Stop() override;
    // Stop, then end the thread and join it. Later calls do nothing.
    void Shutdown();

    // Seeds the worker's generator (tests and the self-play harness); false,
    // changing nothing, while a search runs.
    bool SetSeed(uint32_t seed);

    // 1 asks the search to stop; read by the search, set and cleared by the
    // main thread.
    std::atomic<int> abortRequested{0};

    // What the main thread learns when a hand-over arrives.
    enum class Arrival {
        kStale,    // not the move of the current search: ignore it
        kAborted,  // a stop was asked for: show, but carry out nothing
        kCurrent,  // carry it out, then call FinishHandOver
    };
    struct HandOverInfo {
        Arrival arrival = Arrival::kStale;
        int32_t moveCount = 0;      // candidates the chooser found
        ClockStamp phaseTimes[3];   // stamps of the thinking phases
        int32_t seat = 0;           // the seat to move and the step count of
        int32_t stepCount = 0;      // the position the move was chosen in
    };
    HandOverInfo ReceiveHandOver(uint64_t token);
    // The hand-over has been carried out (or dropped): the worker is idle.
    void FinishHandOver(uint64_t token);

    // Milliseconds the last finished search took: wall time and the
    // worker's own processor time.
    double LastThinkMs() const;
    double LastThinkCpuMs() const;

private:
    enum class Phase { kIdle, kThinking, kHandOver, kExecuting };

    void Run();

    GameState& game_;
    HandOverFn handOver_;
    std::unique_ptr<AiWorkspace> work_;
    std::unique_ptr<AiSnapshot> job_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Phase phase_ = Phase::kIdle;
    bool workerBusy_ = false;
    bool exit_ = false;
    uint64_t token_ = 0;         // the current search; bumped to void a move
    uint64_t jobToken_ = 0;      // the search last asked for
    uint64_t startedToken_ = 0;  // the search the worker last took up
    int32_t resultCount_ = 0;
    ClockStamp resultTimes_[3];
    int32_t jobSeat_ = 0;
    int32_t jobStepCount_ = 0;
    // The bomb's value as the last search left it: every search goes on
    // from there, as the value is the worker's own.
    bool bombValueKept_ = false;
    float bombValue_ = 0.0f;
    double lastThinkMs_ = 0.0;
    double lastThinkCpuMs_ = 0.0;
    std::thread thread_;
};

// The main thread's end of the hand-over: shows the thinking times, turns a
// choice without candidates into a give-up of the seat to move, drops a
// stale or stopped move (or one chosen in another position, or for a LAN
// battle that has ended since), and otherwise
// carries the move out (or, in a LAN battle, sends it in the mover's own
// view). A move the board refuses becomes the give-up of the seat to move,
// so the battle never waits for a move that cannot be made.
void ExecuteComputerMove(GameState& g, const MoveCand& move, uint64_t token);

// A move turned into the view of the mover's seat (that seat as seat 0): for
// a LAN packet. A give-up or a record without a mover only gets outcome 0.
MoveCand MoveInMoverView(const MoveCand& move);

}  // namespace jq
