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

    // The board on screen. The model changes the piece table first, then
    // tells the view what to show. Defaults do nothing.
    virtual void PlacePiece(int piece) {}                 // image to the piece's point
    virtual void SetPieceVisible(int piece, bool visible) {}
    virtual void RevealFlag(int piece) {}                 // show the flag of that piece's seat
    virtual void RedrawPieces() {}                        // every piece by the face rule
    virtual void HideArrows() {}
    virtual void ShowArrow(int index, int pointIndex, int direction) {}
    virtual void RepaintNow() {}
    // Panel 1..3 of the status bar.
    virtual void SetStatusText(int panel, const std::string& gbText) {}
    // The move clock label.
    virtual void SetTimeRemaining(const std::string& text) {}
    // (Append further hooks here, each with a default that does nothing.)
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
