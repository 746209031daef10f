// Foreign battle records (".jqh") from any bytes, opened and replayed.
#include "record_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return jq::fuzz::ReplayRecord(data, size, ".jqh");
}
