// Battle records and formation databases dealt from seeds.
#pragma once

#include <cstdint>

#include "formations/formation.h"
#include "formations/zffile.h"
#include "records/battlefile.h"

namespace jq::test {

// A battle record whose four seats hold legal formations dealt from `seed`.
inline BattleFile DealRecord(uint32_t seed) {
    BattleFile file;
    GameRandom rng;
    rng.Seed(seed);
    for (int s = 0; s < kSeats; ++s) GenerateFormation(rng, file.codes.rows[s]);
    return file;
}

// A formation database of `count` legal formations, record n dealt from seed `first` + n.
inline ZfDatabase DealDatabase(int count, uint32_t first = 1000) {
    ZfDatabase db;
    db.count = count;
    for (int n = 0; n < count && n < kZfSlots; ++n) {
        GameRandom rng;
        rng.Seed(first + n);
        GenerateFormation(rng, db.slots[n].codes);
    }
    return db;
}

}  // namespace jq::test
