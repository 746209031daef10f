#include "records/battlefile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/datafiles.h"
#include "core/text.h"
#include "formations/formation.h"

namespace jq {
bool IsSpecialMove(const MoveRec& m) { return IsGiveUpMove(m) || IsTimeoutMove(m); }

bool HasZeroCoordinate(const MoveRec& m) { return m.fromX == 0 || m.fromY == 0 || m.toX == 0 || m.toY == 0; }

MoveRec NormaliseRecordMove(const MoveRec& m) {
    if (IsSpecialMove(m) || HasZeroCoordinate(m)) return m;
    const BoardTables& board = Board();
    const bool from = PointIndexAt(board, m.fromX, m.fromY) >= 0;
    if (from && PointIndexAt(board, m.toX, m.toY) >= 0) return m;
    // A from-point on the board still tells whose step it was.
    if (from) return MoveRec{m.fromX, m.fromY, kOffBoardMove.toX, kOffBoardMove.toY};
    return kOffBoardMove;
}

bool IsRecordSeat(const int8_t codes[kPiecesPerSeat], bool recordHasMoves) {
    if (!recordHasMoves && std::all_of(codes, codes + kPiecesPerSeat, [](int8_t c) { return c == kCodeNone; }))
        return true;
    return IsWholeArmy(codes);
}

BattleHead DecodeBattleHead(const uint8_t* data, size_t size) {
    uint8_t image[kBattleHeadBytes] = {};
    if (data != nullptr) std::memcpy(image, data, std::min<size_t>(size, kBattleHeadBytes));
    BattleHead head;
    head.seatByte = image[kBattleMagicBytes];
    for (int s = 0; s < kSeats; ++s) {
        const uint8_t* rec = image + 31 + s * kBattleSeatBytes;
        std::memcpy(head.names[s], rec, kBattleNameBytes);
        for (int k = 0; k < kPiecesPerSeat; ++k) head.codes[s][k] = static_cast<int8_t>(rec[kBattleNameBytes + k]);
    }
    return head;
}

int ExcludedSeat(const BattleHead& head) { return static_cast<int8_t>(head.seatByte) % kSeats; }

std::vector<uint8_t> EncodeBattleFile(const BattleFile& file) {
    std::vector<uint8_t> out;
    out.reserve(kBattleFileMaxBytes);
    out.insert(out.end(), kBattleMagic.begin(), kBattleMagic.end());
    out.push_back(kBattleSeatByte);
    for (int s = 0; s < kSeats; ++s) {
        uint8_t rec[kBattleSeatBytes] = {};
        std::memset(rec, ' ', kBattleNameBytes);
        const std::string name = NameRow(file.names, s);
        std::memcpy(rec, name.data(), std::min<size_t>(name.size(), kBattleNameBytes));
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            const int code = file.codes.rows[s][k];
            if (!IsValidCode(code)) break;
            rec[kBattleNameBytes + k] = static_cast<uint8_t>(code);
        }
        out.insert(out.end(), rec, rec + kBattleSeatBytes);
    }
    const size_t moves = std::min<size_t>(file.moves.size(), kMaxSteps);
    for (size_t i = 0; i < moves; ++i) {
        const MoveRec& m = file.moves[i];
        for (int32_t v : {m.fromX, m.fromY, m.toX, m.toY}) out.push_back(static_cast<uint8_t>(v & 0xFF));
    }
    return out;
}

BattleDecodeResult DecodeBattleFile(const uint8_t* data, size_t size) {
    BattleDecodeResult result;
    if (data == nullptr || size < static_cast<size_t>(kBattleHeadBytes)) {
        result.error = BattleFileError::kTooShort;
        return result;
    }
    const BattleHead head = DecodeBattleHead(data, size);
    BattleFile& file = result.file;
    file.seat = head.seatByte % kSeats;
    for (int s = 0; s < kSeats; ++s) {
        size_t n = 0;
        while (n < kBattleNameBytes && head.names[s][n] != '\0') ++n;
        std::memcpy(file.names.rows[s], head.names[s], n);
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            const int code = head.codes[s][k];
            if (code == 0) break;
            file.codes.rows[s][k] = static_cast<int8_t>(IsValidCode(code) ? code : kCodeNone);
        }
    }
    const size_t records = std::min<size_t>((size - kBattleHeadBytes) / kBattleMoveBytes, kMaxSteps);
    file.moves.reserve(records);
    for (size_t i = 0; i < records; ++i) {
        const uint8_t* rec = data + kBattleHeadBytes + i * kBattleMoveBytes;
        const MoveRec m{rec[0], rec[1], rec[2], rec[3]};
        if (HasZeroCoordinate(m)) break;
        file.moves.push_back(NormaliseRecordMove(m));
    }
    return result;
}

BattleDecodeResult DecodeBattleFile(const std::vector<uint8_t>& bytes) {
    return DecodeBattleFile(bytes.data(), bytes.size());
}

BattleFile BattleFileFromGame(const GameState& g, bool loadedRecordMoves) {
    BattleFile file;
    for (int s = 0; s < kSeats; ++s) {
        // The file keeps 20 bytes of a name; the row holds them all.
        const std::string& name = g.seatNames[s];
        const size_t n = std::min(name.size(), static_cast<size_t>(kBattleNameBytes));
        std::memcpy(file.names.rows[s], name.data(), n);
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            const int code = g.deployedPieces[s * kPiecesPerSeat + k].code;
            if (!IsValidCode(code)) break;
            file.codes.rows[s][k] = static_cast<int8_t>(code);
        }
    }
    if (loadedRecordMoves) {
        for (int i = 0; i < kMaxSteps; ++i) {
            const MoveRec& m = g.moveHistory[i];
            if ((m.fromX & 0xFF) == 0 && (m.fromY & 0xFF) == 0 && (m.toX & 0xFF) == 0 && (m.toY & 0xFF) == 0) break;
            file.moves.push_back(m);
        }
    } else {
        const int steps = std::clamp(g.stepCount, 0, kMaxSteps);
        for (int i = 0; i < steps; ++i) {
            const StepRec& s = g.stepRecords[i];
            file.moves.push_back(MoveRec{s.fromX, s.fromY, s.toX, s.toY});
        }
    }
    return file;
}

bool SaveBattleFile(GameState& g, const std::string& path) {
    const BattleFile file = BattleFileFromGame(g, g.ui->NextStepEnabled());
    if (ReplaceFile(path, EncodeBattleFile(file))) return true;
    g.ui->ShowStandardBox(Gb("保存结果文件不成功！！！"), Gb("警告"));
    return false;
}

BattleFileError LoadBattleFile(const std::string& path, BattleFile& out) {
    out = BattleFile{};
    const auto bytes = ReadFileBytes(path, kBattleFileMaxBytes);
    if (!bytes) return BattleFileError::kCannotOpen;
    BattleDecodeResult decoded = DecodeBattleFile(*bytes);
    if (decoded.error != BattleFileError::kNone) return decoded.error;
    // The seats as the file holds them: the decoder reads a code outside
    // 1..12 as the end of the seat's codes, which would hide the damage.
    const BattleHead head = DecodeBattleHead(bytes->data(), bytes->size());
    for (const auto& seat : head.codes)
        if (!IsRecordSeat(seat, !decoded.file.moves.empty())) return BattleFileError::kNoArmy;
    out = std::move(decoded.file);
    return BattleFileError::kNone;
}

void ReportUnopenedRecord(GameState& g, const std::string& path, BattleFileError error) {
    if (error == BattleFileError::kNoArmy) {
        g.ui->ShowStandardBox(Gb("棋子格式非法，请删除文件---") + Gb(path), Gb("警告"));
    } else {
        g.ui->ShowMessage(Gb("文件无法打开！          "), false);
    }
}

void LayOutBattleFile(GameState& g, const BattleFile& file) {
    LayoutBattle(g, file.seat, file.codes, file.names);
    // A save during the replay writes the deployments and names of this record.
    g.deployedPieces = g.pieces;
    for (int s = 0; s < kSeats; ++s) g.seatNames[s] = TrimLabelText(NameRow(file.names, (s + file.seat) % kSeats));
}

BattleFileError ReadBattleFile(GameState& g, const std::string& path, BattleFile& out) {
    const BattleFileError error = LoadBattleFile(path, out);
    if (error != BattleFileError::kNone) {
        ReportUnopenedRecord(g, path, error);
        return error;
    }
    LayOutBattleFile(g, out);
    return BattleFileError::kNone;
}

std::vector<std::string> ListBattleRecordFiles(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 4 || name[0] == '.') continue;
        std::string ext = name.substr(name.size() - 4);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; });
        if (ext != ".kbt") continue;
        std::error_code statError;
        const fs::file_status st = it->status(statError);
        if (statError || !fs::is_regular_file(st)) continue;
        if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) paths.push_back(InFolder(folder, name));
    return paths;
}

}  // namespace jq
