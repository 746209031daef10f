// The ".jqs" grid reader: any bytes give 25 codes in 1..12, and the file is
// accepted exactly when they make one whole army, with those codes.
#include <cstdint>
#include <cstdlib>

#include "army_counts.h"
#include "formations/formationfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const jq::SeatCodes codes = jq::DecodeFormationGrid(data, size);
    for (int8_t c : codes)
        if (!jq::IsValidCode(c)) std::abort();
    const auto accepted = jq::AcceptFormationGrid(data, size);
    if (accepted.has_value() != jq::fuzz::CountsAreOneArmy(codes.data())) std::abort();
    if (accepted && *accepted != codes) std::abort();
    return 0;
}
