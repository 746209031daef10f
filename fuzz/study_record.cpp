// The formation study's reader of one battle record: at most four
// formations per file (three when the seat byte names a seat), each 25
// codes in 1..12 with a score of 0, appended after what the database held,
// never beyond its 2000 slots.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "formations/study.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto db = std::make_unique<jq::ZfDatabase>();
    db->count = static_cast<int32_t>(size % 7 == 0 ? jq::kZfSlots - 1 : size % 5);
    const int before = db->count;
    jq::ReadBattleFormations(data, size, *db);
    const int most = (size > 30 && static_cast<int8_t>(data[30]) < 0) ? 4 : 3;
    if (db->count < before || db->count > before + most || db->count > jq::kZfSlots) std::abort();
    for (int n = before; n < db->count; ++n) {
        if (db->slots[n].score != 0) std::abort();
        for (int8_t c : db->slots[n].codes)
            if (!jq::IsValidCode(c)) std::abort();
    }
    return 0;
}
