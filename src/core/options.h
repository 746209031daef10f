// The options record "oprec": the user's settings and counters, stored
// whole as 4260 little-endian bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace jq {

constexpr int kOptionsBytes = 4260;

struct OptionsRec {
    int32_t soundOn = 0;
    char playerNames[4][256] = {};
    int32_t boardBackground = 0;
    int32_t aiLevel = 0;
    int32_t winRecord[3][4] = {};  // per level: total, won, lost, drawn
    int32_t styleAttack = 0;
    int32_t styleCaution = 0;
    int32_t styleDefence = 0;
    int32_t autoPlayInterval = 0;
    int32_t turnDirectionOption = 0;
    int32_t netMinMoveIntervalOption = 0;
    uint8_t reserved[64] = {};
    int32_t netMoveTimeOption = 0;
    int32_t netDeployTimeOption = 0;
    int32_t netDisconnectTimeOption = 0;
    int32_t recordLatestFormations = 0;
    char recentFiles[10][256] = {};
    char lastNetName[256] = {};
    char lastHostAddress[256] = {};
};

}  // namespace jq
