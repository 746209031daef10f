#include "formations/zffile.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/text.h"
#include "formations/formation.h"
#include "core/datafiles.h"
#include "core/littleendian.h"

namespace jq {

ZfDecodeResult DecodeZfDatabase(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(kZfFileBytes, 0);
    if (data != nullptr) std::memcpy(image.data(), data, std::min<size_t>(size, kZfFileBytes));
    ZfDecodeResult result;
    const int32_t count = GetI32(image.data());
    if (count <= 0) {
        result.error = ZfError::kNoRecords;
        return result;
    }
    result.db.count = std::min(count, kZfSlots);
    for (int n = 0; n < kZfSlots; ++n) {
        const uint8_t* slot = image.data() + 4 + n * kZfRecordBytes;
        ZfRecord& rec = result.db.slots[n];
        for (int k = 0; k < kPiecesPerSeat; ++k) rec.codes[k] = static_cast<int8_t>(slot[k]);
        rec.score = GetI32(slot + 28);
    }
    return result;
}

ZfDecodeResult DecodeZfDatabase(const std::vector<uint8_t>& bytes) {
    return DecodeZfDatabase(bytes.data(), bytes.size());
}

std::vector<uint8_t> EncodeZfDatabase(const ZfDatabase& db) {
    std::vector<uint8_t> image(kZfFileBytes, 0);
    PutI32(image.data(), db.count);
    for (int n = 0; n < kZfSlots; ++n) {
        uint8_t* slot = image.data() + 4 + n * kZfRecordBytes;
        const ZfRecord& rec = db.slots[n];
        for (int k = 0; k < kPiecesPerSeat; ++k) slot[k] = static_cast<uint8_t>(rec.codes[k]);
        PutI32(slot + 28, rec.score);
    }
    return image;
}

std::string ZfFilePath(const GameState& g) { return InFolder(g.appFolder, kZfFileName); }

ZfDecodeResult ReadZfFile(const std::string& path) {
    const auto bytes = ReadFileBytes(path, kZfFileBytes);
    if (!bytes) {
        ZfDecodeResult missing;
        missing.error = ZfError::kNoFile;
        return missing;
    }
    return DecodeZfDatabase(*bytes);
}

bool WriteZfFile(const std::string& path, const ZfDatabase& db) { return ReplaceFile(path, EncodeZfDatabase(db)); }

int DrawZfIndex(GameRandom& rng, int count) {
    if (count < 1) return 0;
    int r = rng.Next() % count;
    for (int i = 0; i < 2 && r != 0; ++i) r = rng.Next() % r;
    return r;
}

void SortZfRecords(ZfDatabase& db) {
    const int count = std::clamp(db.count, 0, kZfSlots);
    for (int i = 0; i < count - 1; ++i)
        for (int j = i + 1; j < count; ++j)
            if (db.slots[i].score < db.slots[j].score) std::swap(db.slots[i], db.slots[j]);
}

void PickZfFormations(GameState& g, CodeTable& table) {
    const ZfDecodeResult read = ReadZfFile(ZfFilePath(g));
    if (read.error != ZfError::kNone)
        g.ui->ShowStandardBox(Gb("没有默认的阵法数据库(zffile)！！\n请设置桌面快捷方式的目录属性。        "), Gb("警告"));
    for (int s = 0; s < kSeats; ++s) {
        int8_t* row = table.rows[s];
        int chosen = -1;
        if (read.error == ZfError::kNone) {
            const int r = DrawZfIndex(g.mainRandom, read.db.count);
            if (IsLegalFormation(read.db.slots[r].codes)) {
                std::memcpy(row, read.db.slots[r].codes, kPiecesPerSeat);
                chosen = r;
            }
        }
        if (chosen < 0) GenerateFormation(g.mainRandom, row);
        g.zfChosenIndex[s] = chosen;
    }
}

void RateZfFormations(GameState& g, int result) {
    if (result != 0 && result != 1) return;
    const std::string path = ZfFilePath(g);
    ZfDecodeResult read = ReadZfFile(path);
    if (read.error != ZfError::kNone) {
        g.ui->ShowStandardBox(Gb("阵法数据库无法操作，请检查zffile文件。"), Gb("警告"));
        return;
    }
    ZfDatabase& db = read.db;
    for (int s : {1, 3}) {
        const int index = g.zfChosenIndex[s];
        if (index < 0 || index >= db.count) continue;
        int32_t& score = db.slots[index].score;
        if (s == result || s == (result + 2) % kSeats) {
            if (score < INT32_MAX) ++score;
        } else {
            if (score > INT32_MIN) --score;
        }
    }
    SortZfRecords(db);
    WriteZfFile(path, db);
}

}  // namespace jq
