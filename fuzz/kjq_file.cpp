// The ".kjq" formation reader: any bytes give either no formation or 25
// codes in 1..12; a formation read back from its own encoding is the same.
#include <cstdint>
#include <cstdlib>

#include "formations/formationfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto codes = jq::DecodeFormationFile(data, size);
    if (!codes) return 0;
    for (int8_t c : *codes)
        if (!jq::IsValidCode(c)) std::abort();
    const std::vector<uint8_t> again = jq::EncodeFormationFile(*codes);
    if (again.size() != jq::kFormationFileBytes || jq::DecodeFormationFile(again.data(), again.size()) != codes)
        std::abort();
    return 0;
}
