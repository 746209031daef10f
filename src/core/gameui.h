// What the game model needs from its surroundings: the screen, sounds,
// message boxes, the clock and waiting. The Qt window implements it; tests
// use a fake. Every call is made on the main thread.
#pragma once

#include <string>

#include "core/types.h"

namespace jq {

class GameUi {
public:
    virtual ~GameUi() = default;

    // The program's own modal box: "确定" and, when asked, "取消".
    // Text is GB2312. Returns 1 for OK, 2 for Cancel.
    virtual int ShowMessage(const std::string& gbText, bool withCancel) = 0;

    // The standard box with a caption such as "错误", "警告", "确认" (GB2312).
    virtual void ShowStandardBox(const std::string& gbText, const std::string& gbCaption) = 0;

    // Plays a wave file of the working folder; `sync` waits for its end.
    virtual void PlaySound(const std::string& fileName, bool sync) = 0;

    virtual ClockStamp Now() = 0;
    virtual void SleepMs(int ms) = 0;
    virtual void ProcessMessages() = 0;
};

// A surrounding that shows nothing and answers every question with OK.
class NullUi : public GameUi {
public:
    int ShowMessage(const std::string&, bool) override { return 1; }
    void ShowStandardBox(const std::string&, const std::string&) override {}
    void PlaySound(const std::string&, bool) override {}
    ClockStamp Now() override { return {}; }
    void SleepMs(int) override {}
    void ProcessMessages() override {}
};

}  // namespace jq
