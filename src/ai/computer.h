// The computer player as the turn loop sees it: a worker that waits until it
// is woken for the seat to move, chooses that seat's move and hands it to the
// main thread.
#pragma once

namespace jq {

class ComputerPlayer {
public:
    virtual ~ComputerPlayer() = default;

    // True while the worker waits for work.
    virtual bool IsIdle() const = 0;
    // Wakes the worker to choose and play the move of the seat to move.
    virtual void Resume() = 0;
    // Asks the worker to stop thinking and waits until it is idle again. A
    // move chosen before the stop is never carried out.
    virtual void Stop() = 0;
};

}  // namespace jq
