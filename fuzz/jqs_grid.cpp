// The ".jqs" grid reader: any bytes give 25 codes in 1..12.
#include <cstdint>
#include <cstdlib>

#include "formations/formationfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int8_t c : jq::DecodeFormationGrid(data, size))
        if (!jq::IsValidCode(c)) std::abort();
    return 0;
}
