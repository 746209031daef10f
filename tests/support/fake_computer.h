// A computer player under the test's control: woken, it runs `play` (or stays busy when `busyAfterResume` is
// set) and counts wakes and stops.
#pragma once

#include <functional>

#include "ai/computer.h"

namespace jq::test {

class FakeComputer : public ComputerPlayer {
public:
    bool IsIdle() const override { return idle; }
    void Resume() override {
        ++resumes;
        if (busyAfterResume) idle = false;
        if (play) play();
    }
    void Stop() override { ++stops, idle = true; }

    bool idle = true;
    bool busyAfterResume = false;
    int resumes = 0;
    int stops = 0;
    std::function<void()> play;
};

}  // namespace jq::test
