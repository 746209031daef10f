// The ".kjq" formation reader: any bytes give either no formation or one
// whole army; bytes that hold one whole army are never refused; a formation
// read back from its own encoding is the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "army_counts.h"
#include "formations/formationfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto codes = jq::DecodeFormationFile(data, size);
    int8_t image[jq::kFormationFileBytes] = {};
    if (size > 0) std::memcpy(image, data, size < sizeof image ? size : sizeof image);
    if (codes.has_value() != jq::fuzz::CountsAreOneArmy(image + 30)) std::abort();
    if (!codes) return 0;
    if (std::memcmp(codes->data(), image + 30, 25) != 0) std::abort();
    const std::vector<uint8_t> again = jq::EncodeFormationFile(*codes);
    if (again.size() != jq::kFormationFileBytes || jq::DecodeFormationFile(again.data(), again.size()) != codes)
        std::abort();
    return 0;
}
