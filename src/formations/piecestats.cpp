#include "formations/piecestats.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "core/text.h"
#include "records/battlefile.h"
#include "core/datafiles.h"
#include "core/littleendian.h"

namespace jq {

static_assert(sizeof(PieceStatTables::slotTable) == kStatSlotBytes);
static_assert(sizeof(PieceStatTables::linkTable) == kStatLinkBytes);
static_assert(sizeof(GameState::slotCorrelation) == kStatLinkBytes);

namespace {

constexpr float kMaxPercent = 100.0f;

float* Values(PieceStatTables& t, int index) {
    return index < kStatSlotBytes / 4 ? &t.slotTable[0][0] + index : &t.linkTable[0][0][0][0] + (index - kStatSlotBytes / 4);
}

const float* Values(const PieceStatTables& t, int index) {
    return Values(const_cast<PieceStatTables&>(t), index);
}

// A run of 12 counts to percentages when its sum is above 0.1.
void ToPercent(float* run) {
    double sum = 0.0;
    for (int c = 0; c < 12; ++c) sum += run[c];
    if (!(sum > 0.1)) return;
    for (int c = 0; c < 12; ++c) run[c] = static_cast<float>(run[c] * 100.0 / sum);
}

void ApplyDeploymentZeroRules(PieceTable& table) {
    for (int i = 0; i < kPieceCount; ++i) {
        const int slot = i % kPiecesPerSeat;
        for (auto& row : table[i].beliefs) {
            if (slot < 5) row[kBomb - 1] = 0.0f;
            if (slot != 21 && slot != 23) row[kFlag - 1] = 0.0f;
            if (slot < 15) row[kMine - 1] = 0.0f;
        }
    }
}

}  // namespace

StatError DecodePieceStats(const uint8_t* data, size_t size, PieceStatTables& out) {
    out = PieceStatTables{};
    const size_t n = data == nullptr ? 0 : std::min<size_t>(size, kStatFileBytes);
    const int values = static_cast<int>(n / 4);
    for (int i = 0; i < values; ++i) {
        const float v = GetF32(data + 4 * i);
        if (!std::isfinite(v) || v < 0.0f || v > kMaxPercent) {
            out = PieceStatTables{};
            return StatError::kBadValue;
        }
        *Values(out, i) = v;
    }
    return StatError::kNone;
}

std::vector<uint8_t> EncodePieceStats(const PieceStatTables& tables) {
    std::vector<uint8_t> image(kStatFileBytes);
    for (int i = 0; i < kStatFileBytes / 4; ++i) PutF32(image.data() + 4 * i, *Values(tables, i));
    return image;
}

std::string PieceStatsPath(const GameState& g) { return InFolder(g.appFolder, kStatFileName); }

void LoadPieceStats(GameState& g) {
    auto tables = std::make_unique<PieceStatTables>();
    StatError error = StatError::kNoFile;
    if (const auto bytes = ReadFileBytes(PieceStatsPath(g), kStatFileBytes))
        error = DecodePieceStats(bytes->data(), bytes->size(), *tables);

    if (error != StatError::kNone) {
        g.ui->ShowMessage(Gb("采用默认子力分布！！     "), false);
        for (PieceRec& piece : g.pieces)
            for (auto& row : piece.beliefs) std::memcpy(row, kStatDefaultRow, sizeof row);
    } else {
        std::memcpy(g.slotCorrelation, tables->linkTable, sizeof g.slotCorrelation);
        for (int i = 0; i < kPieceCount; ++i)
            for (auto& row : g.pieces[i].beliefs) std::memcpy(row, tables->slotTable[i % kPiecesPerSeat], sizeof row);
    }
    ApplyDeploymentZeroRules(g.pieces);
    BalancePieceStats(g.pieces);
}

void ScalePieceStatColumns(PieceTable& table) {
    for (int o = 0; o < kSeats; ++o) {
        for (int k = 0; k < 12; ++k) {
            float sums[kSeats];
            for (int s = 0; s < kSeats; ++s) {
                float sum = 0.0f;
                for (int slot = 0; slot < kPiecesPerSeat; ++slot) sum += table[s * kPiecesPerSeat + slot].beliefs[o][k];
                if (sum == 0.0f) return;
                sums[s] = sum;
            }
            for (int s = 0; s < kSeats; ++s)
                for (int slot = 0; slot < kPiecesPerSeat; ++slot) {
                    float& w = table[s * kPiecesPerSeat + slot].beliefs[o][k];
                    w = w * kStatColumnTargets[k] / sums[s];
                }
        }
    }
}

void NormalisePieceStatRows(PieceTable& table) {
    for (PieceRec& piece : table) {
        for (auto& row : piece.beliefs) {
            float sum = 0.0f;
            for (float& w : row) {
                if (!(w > 0.0001f) || !std::isfinite(w)) w = 0.0f;
                sum += w;
            }
            if (sum < 1e-9f) sum = 100.0f;
            for (float& w : row)
                if (w != 0.0f) w = w * 100.0f / sum;
        }
    }
}

void BalancePieceStats(PieceTable& table) {
    for (int pass = 0; pass < 20; ++pass) {
        ScalePieceStatColumns(table);
        NormalisePieceStatRows(table);
    }
}

AccumulateResult AccumulateFormationStats(const uint8_t* data, size_t size, PieceStatTables& counts) {
    const BattleHead head = DecodeBattleHead(data, size);
    const int excluded = ExcludedSeat(head);
    const auto& links = Board().deploySlotLinks;
    for (int s = 0; s < kSeats; ++s) {
        const int8_t* codes = head.codes[s];
        if (s == excluded || codes[0] == kFlag) continue;
        for (int p = 0; p < kPiecesPerSeat; ++p)
            if (!IsValidCode(codes[p])) return AccumulateResult::kBadCode;
        for (int p = 0; p < kPiecesPerSeat; ++p) {
            const int c = codes[p];
            counts.slotTable[p][c - 1] += 1.0f;
            for (int j = 0; j < 3; ++j) {
                const int linked = links[p][j];
                if (linked < 0) continue;
                counts.linkTable[p][c - 1][j][codes[linked] - 1] += 1.0f;
            }
        }
    }
    return AccumulateResult::kCounted;
}

void AccumulateFormationStats(GameState& g, const std::string& path, PieceStatTables& counts) {
    const auto bytes = ReadFileBytes(path, kBattleHeadBytes);
    if (!bytes) return;
    if (AccumulateFormationStats(bytes->data(), bytes->size(), counts) == AccumulateResult::kBadCode)
        g.ui->ShowStandardBox(Gb("棋子格式非法，请删除文件---") + Gb(path), Gb("警告"));
}

void ConvertStatCountsToPercent(PieceStatTables& counts) {
    const auto& links = Board().deploySlotLinks;
    for (int p = 0; p < kPiecesPerSeat; ++p) {
        ToPercent(counts.slotTable[p]);
        for (int k = 0; k < 12; ++k)
            for (int j = 0; j < 3; ++j)
                if (links[p][j] >= 0) ToPercent(counts.linkTable[p][k][j]);
    }
}

bool BuildPieceStatsFile(GameState& g) {
    auto counts = std::make_unique<PieceStatTables>();
    int files = 0;
    for (const std::string& path : ListBattleRecordFiles(InFolder(g.appFolder, kBattleRecordFolder))) {
        ++files;
        AccumulateFormationStats(g, path, *counts);
    }
    ConvertStatCountsToPercent(*counts);
    if (!ReplaceFile(PieceStatsPath(g), EncodePieceStats(*counts))) {
        g.ui->ShowStandardBox(Gb("保存结果文件不成功！！！"), Gb("警告"));
        return false;
    }
    g.ui->ShowStandardBox(Gb("成功分析") + std::to_string(files) + Gb("个文件！"), Gb("确认"));
    return true;
}

}  // namespace jq
