// A recording surrounding for the turn tests, and position helpers.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ai/computer.h"
#include "core/qipan.h"

namespace jq::testing {

class FakeUi : public GameUi {
public:
    int ShowMessage(const std::string& text, bool withCancel) override {
        messages.push_back(text);
        if (onMessage) onMessage();
        if (answers.empty()) return 1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowStandardBox(const std::string& text, const std::string& caption) override {
        standardBoxes.push_back(caption + "|" + text);
    }
    void PlaySound(const std::string& name, bool) override { events.push_back("sound:" + name); }
    ClockStamp Now() override { return clock; }
    void SleepMs(int ms) override {
        sleeps.push_back(ms);
        events.push_back("sleep:" + std::to_string(ms));
    }
    void ProcessMessages() override { ++pumps; }
    // The pause before a computer move: what the window did meanwhile.
    std::function<void()> duringLiveWait;
    void WaitKeepingWindowLive(int ms) override {
        SleepMs(ms);
        if (duringLiveWait) duringLiveWait();
    }

    void PlacePiece(int piece) override { placed.push_back(piece); }
    void SetPieceVisible(int piece, bool visible) override {
        if (piece >= 0 && piece < 100) visibility[piece] = visible ? 1 : 0;
    }
    void RevealFlag(int piece) override { events.push_back("reveal:" + std::to_string(piece)); }
    void HideArrows() override { arrows.clear(); }
    void ShowArrow(int index, int point, int dir) override { arrows.push_back({index, point, dir}); }
    void SetStatusText(int panel, const std::string& text) override {
        if (panel >= 0 && panel < 4) status[panel] = text;
    }
    void SetTimeRemaining(const std::string& text) override { timeRemaining = text; }
    void SetMainTimerEnabled(bool on) override { timerOn = on; }
    void SetGiveUpAndPeaceEnabled(bool on) override { giveUpEnabled = on; }
    void SetNextStepEnabled(bool on) override { nextStepEnabled = on; }
    void ShowTurnLight(int seat, int frame) override {
        lightSeat = seat;
        if (frame >= 0) frames.push_back(frame);
    }
    void ShowBattleResult(int result, bool modeless) override {
        results.push_back(result);
        if (duringResult) duringResult();
    }
    void WinRecordChanged() override { ++winRecordChanges; }
    void SetViewOtherButton(bool enabled, const std::string& caption) override {
        viewOtherEnabled = enabled;
        viewOtherCaption = caption;
    }
    void CloseMainWindow() override { closed = true; }

    struct Arrow {
        int index, point, dir;
    };

    std::vector<std::string> messages;
    std::deque<int> answers;
    std::function<void()> onMessage;
    std::vector<std::string> standardBoxes;
    std::vector<std::string> events;  // sounds, sleeps, flag reveals in order
    std::vector<int> sleeps;
    int pumps = 0;
    ClockStamp clock;
    std::vector<int> placed;
    int visibility[100] = {};
    std::vector<Arrow> arrows;
    std::string status[4];
    std::string timeRemaining;
    bool timerOn = true;
    bool giveUpEnabled = false;
    bool nextStepEnabled = true;
    int lightSeat = -2;
    std::vector<int> frames;
    std::vector<int> results;
    std::function<void()> duringResult;
    int winRecordChanges = 0;
    bool viewOtherEnabled = true;
    std::string viewOtherCaption;
    bool closed = false;

    std::vector<std::string> Sounds() const {
        std::vector<std::string> s;
        for (const auto& e : events)
            if (e.rfind("sound:", 0) == 0) s.push_back(e.substr(6));
        return s;
    }
};

// A computer player that plays at once when woken, through `play`.
class FakeComputer : public ComputerPlayer {
public:
    bool IsIdle() const override { return idle; }
    void Resume() override {
        ++resumes;
        if (play) play();
    }
    void Stop() override {
        ++stops;
        idle = true;
    }
    bool idle = true;
    int resumes = 0;
    int stops = 0;
    std::function<void()> play;
};

// The deployment every seat gets here: slot -> piece code.
inline constexpr int kTestFormation[kPiecesPerSeat] = {
    12, 10, 6, 11, 12,  // front row
    9, 8, 9,            // 5..7
    3, 7, 7, 3,         // 8..11
    5, 4, 8,            // 12..14
    10, 11, 12, 10, 11, // 15..19
    2, 1, 2, 6, 2,      // 20..24: mines, the flag in a headquarters
};

// Every piece off the board (alive 0, nowhere).
inline void ClearBoard(GameState& g) {
    for (auto& p : g.pieces) p = PieceRec{};
}

// Puts piece `index` with `code` alive on (x, y).
inline void Put(GameState& g, int index, int code, int x, int y) {
    PieceRec& p = g.pieces[index];
    p.code = code;
    p.x = p.startX = x;
    p.y = p.startY = y;
    p.alive = 1;
}

// All four seats deployed with kTestFormation, a battle under way with
// seat `first` to move.
inline void LayOutBattle(GameState& g, int first = 0) {
    const BoardTables& b = *g.board;
    for (int s = 0; s < kSeats; ++s)
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            const BoardPoint& pt = b.boardPoints[s * 30 + k];
            Put(g, s * kPiecesPerSeat + k, kTestFormation[k], pt.gridX, pt.gridY);
        }
    for (auto& row : g.eliminatedPieces)
        for (auto& e : row) e = kNoPiece;
    for (auto& r : g.stepRecords) r = StepRec{};
    g.deployedPieces = g.pieces;
    g.stepCount = 0;
    g.curSeat = first;
    g.selectedPiece = kNoPiece;
    g.battleRunning = 1;
    g.deployPhase = 0;
}

// The point of seat `seat`'s slot `slot`.
inline GridPoint SlotPoint(const GameState& g, int seat, int slot) {
    const BoardPoint& p = g.board->boardPoints[seat * 30 + slot];
    return {p.gridX, p.gridY};
}

}  // namespace jq::testing
