#include <chrono>

#include "core/types.h"

namespace jq {

ClockStamp MonotonicNow() {
    using namespace std::chrono;
    const int64_t ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    ClockStamp stamp;
    stamp.seconds = ms / 1000;
    stamp.millis = static_cast<uint16_t>(ms % 1000);
    return stamp;
}

}  // namespace jq
