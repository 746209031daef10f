// Little-endian fields: every file and packet of the game is read and
// written field by field through these.
#pragma once

#include <cstdint>

namespace jq {

inline int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
inline void PutI32(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
float GetF32(const uint8_t* p);
void PutF32(uint8_t* p, float v);

}  // namespace jq
