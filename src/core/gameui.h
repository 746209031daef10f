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
    // The same box for a failure that may come up in the middle of other
    // work (a battle's end, an open dialog): it waits until no game logic is
    // under way and no other box or dialog is open, so it never opens inside
    // another one and never holds up a battle. A box already waiting is not
    // added twice. By default it is shown at once.
    virtual void ShowStandardBoxWhenFree(const std::string& gbText, const std::string& gbCaption) {
        ShowStandardBox(gbText, gbCaption);
    }

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
    // Whether a piece's image is shown now (the view turn passes it on).
    virtual bool PieceVisible(int piece) { return false; }
    // Exchanges the pictures of two pieces' images (a deployment swap).
    virtual void SwapPiecePictures(int a, int b) {}
    // Shows the flag of that piece's seat with its usual face again.
    virtual void ConcealFlag(int piece) {}
    // The seat name labels on the board, seat 0 bottom, 1 right, 2 top,
    // 3 left (GB2312).
    virtual std::string SeatLabel(int seat) { return {}; }
    virtual void SetSeatLabel(int seat, const std::string& gbText) {}
    // The turn loop: the main timer, the side-panel controls it switches,
    // the turn light and the end-of-battle panel.
    virtual void SetMainTimerEnabled(bool on) {}
    virtual void SetSaveEnabled(bool on) {}            // save button and menu item
    virtual void SetGiveUpAndPeaceEnabled(bool on) {}
    virtual void SetNextStepEnabled(bool on) {}
    virtual void SetChatVisible(bool visible) {}
    // The turn light beside `seat` (-1 hides it); `frame` 0..5 draws that
    // frame of the animation, -1 keeps the picture.
    virtual void ShowTurnLight(int seat, int frame) {}
    // The result panel: 0 won, 1 lost, 2 draw. Modeless returns at once;
    // otherwise the call returns when the panel has closed.
    virtual void ShowBattleResult(int result, bool modeless) {}
    // The win/loss record in the options record has changed.
    virtual void WinRecordChanged() {}
    // Closes the main window (the program ends).
    virtual void CloseMainWindow() {}
    // Battle set-up and records.
    // Whether the next-step command is enabled (a loaded record is being
    // replayed): the record writer then saves the record's moves.
    virtual bool NextStepEnabled() { return false; }
    // Redraws seat 0's 25 pictures face up from their codes.
    virtual void DrawOwnPieces() {}
    // The deployment box on the board: "完毕", "保存阵法", "调出阵法",
    // "其它阵法", its two frames and "请布阵".
    virtual void SetDeploymentControlsVisible(bool visible) {}
    virtual void SetRotateEnabled(bool on) {}          // "旋转视角"
    virtual void SetPrevStepEnabled(bool on) {}        // "上一步"
    // The "看别人棋" button: enabled state and caption (GB2312).
    virtual void SetViewOtherButton(bool enabled, const std::string& gbCaption) {}
    // Selects "下棋" (practice) or "复盘" on the window. The model has set
    // practiceMode and computerSeat already.
    virtual void SelectPlayMode(bool practice) {}
    // The main window's title as at start-up.
    virtual void ShowStartupTitle() {}
    // The main window's title while a battle record is open: its path (the
    // file system's bytes).
    virtual void ShowRecordTitle(const std::string& path) {}
    // The computer player's hidden diagnostic labels lbmsg1..lbmsg5
    // (`index` 1..5): thinking times and formation indexes.
    virtual void SetDiagnosticLabel(int index, const std::string& text) {}
    // Waits `ms` while the window stays live (its events are handled). The
    // caller checks its conditions again afterwards. By default a plain
    // sleep.
    virtual void WaitKeepingWindowLive(int ms) { SleepMs(ms); }
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
