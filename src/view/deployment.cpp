#include "view/deployment.h"

#include "core/text.h"
#include "formations/formation.h"

namespace jq {

namespace {
constexpr int kHeadquartersA = 21;
constexpr int kHeadquartersB = 23;
constexpr int kLastRowsFirst = 15;
constexpr int kLastSlot = 24;
constexpr int kBombRuleSteps = 4;
constexpr int kNetOwnDeploymentDone = 23;
}  // namespace

int ValidateDeployment(const GameState& g) {
    // Whatever brought the own formation here (a file, the database, a
    // peer's codes), it has to be one army before its places count.
    int8_t own[kPiecesPerSeat];
    for (int k = 0; k < kPiecesPerSeat; ++k)
        own[k] = static_cast<int8_t>(IsValidCode(g.pieces[k].code) ? g.pieces[k].code : kCodeNone);
    if (!IsWholeArmy(own)) return kArmyNotWhole;
    int result = kDeploymentOk;
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& r = g.pieces[i];
        const int base = 30 * SeatOf(i);
        const int p = PointIndexAt(*g.board, r.x, r.y);
        switch (r.code) {
            case kFlag:
                if (p != base + kHeadquartersA && p != base + kHeadquartersB) result = kFlagOutsideHeadquarters;
                break;
            case kMine:
                if (p < base + kLastRowsFirst || p > base + kLastSlot) result = kMineOutsideLastRows;
                break;
            case kBomb:
                if (g.stepCount < kBombRuleSteps && p < base + kFrontRowEnd) result = kBombInFrontRow;
                break;
            default: break;
        }
    }
    return result;
}

std::string DeploymentRuleText(int rule) {
    switch (rule) {
        case kFlagOutsideHeadquarters: return Gb("军旗要放在大本营里！");
        case kMineOutsideLastRows: return Gb("地雷要放在最后两排！");
        case kBombInFrontRow: return Gb("炸弹不能放第一排！");
        case kArmyNotWhole: return Gb("阵法中的棋子不是完整的一套，请换一个阵法！");
        default: return {};
    }
}

bool SwapDeployedPieces(GameState& g, int a, int b) {
    if (!IsValidPiece(a) || !IsValidPiece(b) || SeatOf(a) != SeatOf(b)) return false;
    g.ui->SwapPiecePictures(a, b);
    std::swap(g.pieces[a].code, g.pieces[b].code);
    return true;
}

bool HostAwaitsComputerDeployments(const GameState& g) {
    if (g.netConnected == 0 || g.isNetHost == 0) return false;
    for (const SeatRec& s : g.seatTable)
        if (s.state == 0 && s.deployed != 2) return true;
    return false;
}

void TakeDeploymentSnapshot(GameState& g) {
    if (g.netConnected != 0) {
        g.netState = kNetOwnDeploymentDone;
        return;
    }
    for (int s = 0; s < kSeats; ++s) g.seatNames[s] = g.ui->SeatLabel(s);
    g.deployedPieces = g.pieces;
}

}  // namespace jq
