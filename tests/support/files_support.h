// A recording surrounding and a scratch folder for the tests of the data
// files and the battle set-up.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/qipan.h"

namespace jq::filetest {

class RecordingUi : public GameUi {
public:
    int ShowMessage(const std::string& text, bool withCancel) override {
        messages.push_back(text);
        if (answers.empty()) return 1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowStandardBox(const std::string& text, const std::string& caption) override {
        boxes.push_back({text, caption});
    }
    void PlaySound(const std::string&, bool) override {}
    ClockStamp Now() override { return {}; }
    void SleepMs(int) override {}
    void ProcessMessages() override {}

    void PlacePiece(int piece) override { ++placed; }
    void SetPieceVisible(int piece, bool visible) override {
        if (piece >= 0 && piece < 100) visible_[piece] = visible;
    }
    void RedrawPieces() override { ++redraws; }
    void HideArrows() override { ++arrowHides; }
    void SetStatusText(int panel, const std::string& text) override {
        if (panel >= 0 && panel < 4) status[panel] = text;
    }
    void SetSeatLabel(int seat, const std::string& text) override {
        if (seat >= 0 && seat < 4) labels[seat] = text;
    }
    std::string SeatLabel(int seat) override { return seat >= 0 && seat < 4 ? labels[seat] : std::string(); }
    void SetMainTimerEnabled(bool on) override { timerOn = on; }
    void SetSaveEnabled(bool on) override { saveEnabled = on; }
    void SetGiveUpAndPeaceEnabled(bool on) override { giveUpEnabled = on; }
    void SetNextStepEnabled(bool on) override { nextStep = on; }
    bool NextStepEnabled() override { return nextStep; }
    void DrawOwnPieces() override { ++ownRedraws; }
    void SetDeploymentControlsVisible(bool visible) override { deploymentControls = visible; }
    void SetRotateEnabled(bool on) override { rotateEnabled = on; }
    void SetPrevStepEnabled(bool on) override { prevStepEnabled = on; }
    void SetViewOtherButton(bool enabled, const std::string& caption) override {
        viewOtherEnabled = enabled;
        viewOtherCaption = caption;
    }
    void SelectPlayMode(bool practice) override { playModes.push_back(practice); }
    void ShowStartupTitle() override { ++titleResets; }

    bool Visible(int piece) const { return visible_[piece]; }

    std::vector<std::string> messages;
    std::deque<int> answers;
    struct Box {
        std::string text, caption;
    };
    std::vector<Box> boxes;
    int placed = 0;
    int redraws = 0;
    int arrowHides = 0;
    int ownRedraws = 0;
    int titleResets = 0;
    std::string status[4];
    std::string labels[4];
    bool timerOn = false;
    bool saveEnabled = false;
    bool giveUpEnabled = false;
    bool nextStep = false;
    bool deploymentControls = false;
    bool rotateEnabled = true;
    bool prevStepEnabled = true;
    bool viewOtherEnabled = true;
    std::string viewOtherCaption;
    std::vector<bool> playModes;

private:
    std::array<bool, 100> visible_{};
};

// A game with a recording surrounding, its working folder a scratch folder.
struct TestGame {
    TestGame() : game(std::make_unique<GameState>()) {
        char pattern[] = "/tmp/jqfilesXXXXXX";
        const char* made = ::mkdtemp(pattern);
        folder = made != nullptr ? made : "/tmp";
        game->appFolder = folder + "/";
        game->ui = &ui;
    }
    ~TestGame() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    TestGame(const TestGame&) = delete;
    TestGame& operator=(const TestGame&) = delete;

    GameState& g() { return *game; }
    std::string Path(const std::string& name) const { return folder + "/" + name; }

    RecordingUi ui;
    std::unique_ptr<GameState> game;
    std::string folder;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Names in a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace jq::filetest
