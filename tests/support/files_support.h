// A scratch folder with byte I/O, and a game whose working folder is one.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/qipan.h"
#include "support/recording_ui.h"

namespace jq::test {

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

// A fresh folder under /tmp, removed with everything in it (write protection included) when the object goes.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/jqtestXXXXXX";
        const char* made = ::mkdtemp(pattern);
        path_ = made != nullptr ? made : "/tmp/jqtest-unmade";
    }
    ~ScratchFolder() {
        std::error_code ec;
        namespace fs = std::filesystem;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder with a trailing slash, as the game keeps its working folder.
    std::string Folder() const { return path_ + "/"; }
    const std::string& Plain() const { return path_; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const { WriteBytes(Path(name), bytes); }
    std::vector<uint8_t> Read(const std::string& name) const { return ReadBytes(Path(name)); }

private:
    std::string path_;
};

// A game with a recording surrounding, its working folder a scratch folder.
struct TestGame {
    TestGame() : game(std::make_unique<GameState>()) {
        game->appFolder = dir.Folder();
        game->ui = &ui;
    }
    TestGame(const TestGame&) = delete;
    TestGame& operator=(const TestGame&) = delete;

    GameState& g() { return *game; }
    std::string Path(const std::string& name) const { return dir.Path(name); }

    ScratchFolder dir;
    RecordingUi ui;
    std::unique_ptr<GameState> game;
    const std::string folder = dir.Plain();
};

}  // namespace jq::test
