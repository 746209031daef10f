#include "formations/formationfile.h"

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "formations/formation.h"
#include "records/battlefile.h"
#include "core/datafiles.h"
#include "core/littleendian.h"

namespace jq {
namespace {

// Piece code of foreign codes 1..12.
constexpr int kJqsCodeMap[12] = {5, 6, 7, 8, 9, 10, 11, 12, 1, 4, 2, 3};

void ApplySeatZeroCodes(GameState& g, const SeatCodes& codes) {
    for (int k = 0; k < kPiecesPerSeat; ++k) g.pieces[k].code = codes[k];
    g.ui->RedrawPieces();
}

// Seat 0 takes the codes, or the file is refused with its path and nothing
// changes.
bool ApplyOrRefuse(GameState& g, const std::optional<SeatCodes>& codes, const std::string& path) {
    if (!codes) {
        g.ui->ShowStandardBox(Gb("棋子格式非法，请删除文件---") + Gb(path), Gb("警告"));
        return false;
    }
    ApplySeatZeroCodes(g, *codes);
    return true;
}

}  // namespace

FormationFileKind FormationFileKindOf(std::string_view path) {
    if (path.size() < 4) return FormationFileKind::kOther;
    std::string ext(path.substr(path.size() - 4));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".kjq") return FormationFileKind::kOwn;
    if (ext == ".jqs") return FormationFileKind::kGrid;
    return FormationFileKind::kOther;
}

std::optional<SeatCodes> DecodeFormationFile(const uint8_t* data, size_t size) {
    uint8_t image[kFormationFileBytes] = {};
    if (data != nullptr) std::memcpy(image, data, std::min<size_t>(size, kFormationFileBytes));
    SeatCodes codes{};
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        codes[k] = static_cast<int8_t>(image[kBattleMagicBytes + k]);
        if (!IsValidCode(codes[k])) return std::nullopt;
    }
    if (!IsWholeArmy(codes.data())) return std::nullopt;
    return codes;
}

std::vector<uint8_t> EncodeFormationFile(const SeatCodes& codes) {
    std::vector<uint8_t> out(kBattleMagic.begin(), kBattleMagic.end());
    for (int8_t code : codes) out.push_back(static_cast<uint8_t>(code));
    return out;
}

int JqsPieceCode(int32_t cell) {
    const int foreign = cell % 100;
    return foreign >= 1 && foreign <= 12 ? kJqsCodeMap[foreign - 1] : kFlag;
}

SeatCodes DecodeFormationGrid(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(kJqsFileBytes, 0);
    if (data != nullptr) std::memcpy(image.data(), data, std::min<size_t>(size, kJqsFileBytes));
    const BoardTables& board = Board();
    SeatCodes codes{};
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        const BoardPoint& p = board.boardPoints[30 + k];
        const int i = p.gridX - kGridMin;
        const int j = p.gridY - kGridMin;
        int32_t cell = 0;
        if (i >= 0 && i < kJqsSide && j >= 0 && j < kJqsSide)
            cell = GetI32(image.data() + kJqsHeaderBytes + 4 * (kJqsSide * i + j));
        codes[k] = static_cast<int8_t>(JqsPieceCode(cell));
    }
    return codes;
}

std::optional<SeatCodes> AcceptFormationGrid(const uint8_t* data, size_t size) {
    const SeatCodes codes = DecodeFormationGrid(data, size);
    if (!IsWholeArmy(codes.data())) return std::nullopt;
    return codes;
}

SeatCodes SeatZeroCodes(const GameState& g) {
    SeatCodes codes{};
    for (int k = 0; k < kPiecesPerSeat; ++k) codes[k] = static_cast<int8_t>(static_cast<uint8_t>(g.pieces[k].code));
    return codes;
}

bool LoadFormationFile(GameState& g, const std::string& path) {
    const auto bytes = ReadFileBytes(path, kFormationFileBytes);
    return ApplyOrRefuse(g, bytes ? DecodeFormationFile(bytes->data(), bytes->size()) : std::nullopt, path);
}

bool LoadFormationGrid(GameState& g, const std::string& path) {
    const auto bytes = ReadFileBytes(path, kJqsFileBytes);
    return ApplyOrRefuse(g, bytes ? AcceptFormationGrid(bytes->data(), bytes->size()) : std::nullopt, path);
}

bool LoadFormationByExtension(GameState& g, const std::string& path) {
    switch (FormationFileKindOf(path)) {
        case FormationFileKind::kOwn: return LoadFormationFile(g, path);
        case FormationFileKind::kGrid: return LoadFormationGrid(g, path);
        case FormationFileKind::kOther: break;
    }
    return false;
}

bool SaveFormationFile(GameState& g, const std::string& path) {
    if (ReplaceFile(path, EncodeFormationFile(SeatZeroCodes(g)))) return true;
    g.ui->ShowStandardBox(Gb("保存结果文件不成功！！！"), Gb("警告"));
    return false;
}

}  // namespace jq
