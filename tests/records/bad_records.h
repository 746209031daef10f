// Files that no battle could have written, each made from a sound record,
// and the one box the game answers each with.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/littleendian.h"
#include "records/replay_support.h"

namespace jq::badrecords {

struct BadRecord {
    std::string name;       // also the file's name, with its extension
    std::vector<uint8_t> bytes;
    bool warnsOfPieces;     // the warning naming the path, else "文件无法打开！"
};

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// The code byte of `seat`, `slot` in a ".kbt" image.
inline uint8_t& KbtCode(std::vector<uint8_t>& image, int seat, int slot) {
    return image[static_cast<size_t>(31 + 45 * seat + 20 + slot)];
}

// The first slot of `seat` holding `code`.
inline int SlotOf(std::vector<uint8_t>& image, int seat, int code) {
    for (int k = 0; k < kPiecesPerSeat; ++k)
        if (KbtCode(image, seat, k) == code) return k;
    return 0;
}

// `kbt` and `jqh` are sound records of the same battle.
inline std::vector<BadRecord> Table(const std::vector<uint8_t>& kbt, const std::vector<uint8_t>& jqh) {
    std::vector<BadRecord> t;
    auto kbtWith = [&](const char* name, auto change) {
        std::vector<uint8_t> image = kbt;
        change(image);
        t.push_back({name, image, true});
    };
    t.push_back({"random-700.kbt", RandomBytes(700, 1), true});
    t.push_back({"truncated-head.kbt", std::vector<uint8_t>(kbt.begin(), kbt.begin() + 100), false});
    kbtWith("code-0-last-slot.kbt", [](std::vector<uint8_t>& i) { KbtCode(i, 1, 24) = 0; });
    kbtWith("code-0-first-slot.kbt", [](std::vector<uint8_t>& i) { KbtCode(i, 0, 0) = 0; });
    kbtWith("code-13.kbt", [](std::vector<uint8_t>& i) { KbtCode(i, 2, 7) = 13; });
    kbtWith("two-commanders.kbt", [](std::vector<uint8_t>& i) { KbtCode(i, 3, SlotOf(i, 3, kDivision)) = kCommander; });
    kbtWith("no-flag.kbt", [](std::vector<uint8_t>& i) { KbtCode(i, 1, SlotOf(i, 1, kFlag)) = kEngineer; });
    // Moves on a board with no pieces, or with one seat empty.
    kbtWith("no-pieces-but-moves.kbt", [](std::vector<uint8_t>& i) {
        for (int s = 0; s < kSeats; ++s)
            for (int k = 0; k < kPiecesPerSeat; ++k) KbtCode(i, s, k) = 0;
    });
    kbtWith("seat-2-empty-but-moves.kbt", [](std::vector<uint8_t>& i) {
        for (int k = 0; k < kPiecesPerSeat; ++k) KbtCode(i, 2, k) = 0;
    });
    t.push_back({"random-5368.jqh", RandomBytes(5368, 2), true});
    t.push_back({"zeros.jqh", std::vector<uint8_t>(5368, 0), true});  // every cell a flag
    t.push_back({"cut-before-the-cells.jqh", std::vector<uint8_t>(jqh.begin(), jqh.begin() + 4300), true});
    // A division's cell (foreign 2) turned into a commander's (foreign 10).
    std::vector<uint8_t> twoCommanders = jqh;
    for (size_t at = 4212; at + 4 <= twoCommanders.size(); at += 4)
        if (GetI32(twoCommanders.data() + at) % 100 == 2) {
            PutI32(twoCommanders.data() + at, GetI32(twoCommanders.data() + at) + 8);
            break;
        }
    t.push_back({"two-commanders.jqh", twoCommanders, true});
    return t;
}

// The box the game shows for `bad` at `path`, in UTF-8: a standard box as
// "caption|text", the game's own box as its text.
inline std::string ExpectedBox(const BadRecord& bad, const std::string& path) {
    return bad.warnsOfPieces ? "警告|棋子格式非法，请删除文件---" + path : "文件无法打开！          ";
}

}  // namespace jq::badrecords
