#include "core/littleendian.h"

#include <cstring>

namespace jq {
float GetF32(const uint8_t* p) {
    const uint32_t u = static_cast<uint32_t>(GetI32(p));
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

void PutF32(uint8_t* p, float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    PutI32(p, static_cast<int32_t>(u));
}

}  // namespace jq
