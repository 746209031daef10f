// The formation database "zffile": the decoded records, and the set-up of a
// battle drawing its formations from the file.
#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "scratch_folder.h"
#include "formations/formation.h"
#include "formations/zffile.h"

using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto game = [] {
        auto g = std::make_unique<jq::GameState>();
        g->appFolder = fuzz::ScratchFolder("zffile");
        return g;
    }();
    jq::GameState& g = *game;

    const jq::ZfDecodeResult read = jq::DecodeZfDatabase(data, size);
    if (read.error == jq::ZfError::kNone) {
        const jq::ZfDatabase& db = read.db;
        Require(db.count >= 1 && db.count <= jq::kZfSlots);
        for (int n = 0; n < db.count; ++n) (void)jq::IsLegalFormation(db.slots[n].codes);
        const jq::ZfDecodeResult again = jq::DecodeZfDatabase(jq::EncodeZfDatabase(db));
        Require(again.error == jq::ZfError::kNone && again.db.count == db.count && again.db.slots == db.slots);

        // Sorting keeps the records and puts the best first (checked on small
        // databases: the sort takes time quadratic in the count).
    }
    if (read.error == jq::ZfError::kNone && read.db.count <= 64) {
        const jq::ZfDatabase& db = read.db;
        jq::ZfDatabase sorted = db;
        jq::SortZfRecords(sorted);
        for (int n = 0; n + 1 < db.count; ++n) Require(sorted.slots[n].score >= sorted.slots[n + 1].score);
        Require(std::is_permutation(sorted.slots.begin(), sorted.slots.begin() + db.count, db.slots.begin()));
    }

    // Whatever the file holds, every seat gets a legal formation.
    {
        std::ofstream out(jq::ZfFilePath(g), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    g.mainRandom.Seed(static_cast<uint32_t>(size));
    jq::CodeTable table;
    jq::PickZfFormations(g, table);
    for (int s = 0; s < jq::kSeats; ++s) {
        Require(jq::IsLegalFormation(table.rows[s]));
        Require(g.zfChosenIndex[s] < (read.error == jq::ZfError::kNone ? read.db.count : 0));
    }
    return 0;
}
