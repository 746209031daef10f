// The surroundings of a game in the tests: every call the model makes on its window, sounds, boxes, clock and
// waits is recorded, questions are answered from a queue, and hooks let a test act at a given moment.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/gameui.h"
#include "core/types.h"

namespace jq::test {

class RecordingUi : public GameUi {
public:
    // Boxes. Questions take their answers from `answers`, then OK.
    int ShowMessage(const std::string& text, bool) override {
        messages.push_back(text);
        if (onMessage) onMessage();
        const int a = answers.empty() ? 1 : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    void ShowStandardBox(const std::string& text, const std::string& caption) override { boxes.push_back({text, caption}); }

    // Sounds, clock and waits; `events` keeps sounds, sleeps and flag reveals in their order.
    void PlaySound(const std::string& name, bool) override { sounds.push_back(name), events.push_back("sound:" + name); }
    ClockStamp Now() override { return clock; }
    void SleepMs(int ms) override {
        sleeps.push_back(ms), slept += ms;
        events.push_back("sleep:" + std::to_string(ms));
    }
    void ProcessMessages() override { ++pumps, onPump ? onPump() : void(); }
    void WaitKeepingWindowLive(int ms) override { SleepMs(ms), duringLiveWait ? duringLiveWait() : void(); }

    // The board.
    void PlacePiece(int piece) override { placed.push_back(piece); }
    void SetPieceVisible(int piece, bool v) override {
        shown.push_back({piece, v});
        if (piece >= 0 && piece < kPieceCount) visible[piece] = v;
    }
    bool PieceVisible(int piece) override { return piece >= 0 && piece < kPieceCount && visible[piece]; }
    void RevealFlag(int piece) override { events.push_back("reveal:" + std::to_string(piece)); }
    void RedrawPieces() override { ++redraws; }
    void HideArrows() override { arrows.clear(); }
    void ShowArrow(int index, int point, int dir) override { arrows.push_back({index, point, dir}); }
    void SwapPiecePictures(int a, int b) override { swaps.push_back({a, b}); }
    void DrawOwnPieces() override {}
    std::string SeatLabel(int seat) override { return seat >= 0 && seat < kSeats ? labels[seat] : std::string(); }
    void SetSeatLabel(int seat, const std::string& text) override {
        if (seat >= 0 && seat < kSeats) labels[seat] = text;
    }

    // Status bar, clock label, controls and panels.
    void SetStatusText(int panel, const std::string& text) override {
        if (panel >= 0 && panel < 4) status[panel] = text;
    }
    void SetTimeRemaining(const std::string& text) override { timeRemaining = text; }
    void SetMainTimerEnabled(bool on) override { timerOn = on; }
    void SetSaveEnabled(bool on) override { saveEnabled = on; }
    void SetGiveUpAndPeaceEnabled(bool on) override { giveUpEnabled = on; }
    void SetNextStepEnabled(bool on) override { nextStep = on; }
    bool NextStepEnabled() override { return nextStep; }
    void ShowTurnLight(int, int) override {}
    void ShowBattleResult(int result, bool modeless) override {
        results.push_back(result), modelessResults.push_back(modeless);
        if (duringResult) duringResult();
    }
    void WinRecordChanged() override { ++winRecordChanges; }
    void CloseMainWindow() override { closed = true; }
    void SetDeploymentControlsVisible(bool v) override { deploymentControls = v; }
    void SetRotateEnabled(bool) override {}
    void SetPrevStepEnabled(bool) override {}
    void SetViewOtherButton(bool enabled, const std::string& caption) override {
        viewOtherEnabled = enabled, viewOtherCaption = caption;
    }
    void SelectPlayMode(bool) override {}
    void SetDiagnosticLabel(int index, const std::string& text) override {
        if (index >= 0 && index < 6) diagnostics[index] = text;
    }

    // Every piece image shown, every seat label set to "seatN".
    void ShowEverything() {
        for (bool& v : visible) v = true;
        for (int s = 0; s < kSeats; ++s) labels[s] = "seat" + std::to_string(s);
    }

    struct Box { std::string text, caption; };
    struct Shown {
        int piece;
        bool visible;
        friend bool operator==(const Shown&, const Shown&) = default;
    };
    struct Arrow { int index, point, dir; };
    struct Swap {
        int a, b;
        friend bool operator==(const Swap&, const Swap&) = default;
    };

    std::vector<std::string> messages, sounds, events;
    std::deque<int> answers;
    std::function<void()> onMessage, onPump, duringLiveWait, duringResult;
    std::vector<Box> boxes;
    ClockStamp clock;
    std::vector<int> sleeps, placed, results;
    std::vector<bool> modelessResults;  // per result: shown without waiting for it
    int slept = 0, pumps = 0, redraws = 0, winRecordChanges = 0;
    std::vector<Shown> shown;
    bool visible[kPieceCount] = {};
    std::vector<Arrow> arrows;
    std::vector<Swap> swaps;
    std::string labels[kSeats], status[4], diagnostics[6], timeRemaining, viewOtherCaption;
    bool timerOn = false, saveEnabled = false, giveUpEnabled = false, nextStep = false, closed = false;
    bool deploymentControls = false, viewOtherEnabled = true;
};

}  // namespace jq::test
