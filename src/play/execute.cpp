#include "play/execute.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ai/inference.h"
#include "core/text.h"
#include "play/turnloop.h"
#include "view/selection.h"

namespace jq {

namespace {

void PlacePieceAt(GameState& g, int piece, int x, int y) {
    g.pieces[piece].x = x;
    g.pieces[piece].y = y;
    g.ui->PlacePiece(piece);
}

void WriteStepRecord(GameState& g, const StepRec& rec) {
    if (g.stepCount >= 0 && g.stepCount < kStepSlots) g.stepRecords[g.stepCount] = rec;
}

bool IsMovable(const GameState& g, int piece) {
    const PieceRec& pc = g.pieces[piece];
    if (pc.code == kFlag || pc.code == kMine) return false;
    const int p = PointIndexAt(*g.board, pc.x, pc.y);
    return p >= 0 && g.board->boardPoints[p].kind != kHeadquarters;
}

// Whether the ordinary move may be made in the present position; the path
// found is left in `path`.
bool IsLegalMove(GameState& g, int fromPiece, int toPiece, int x1, int y1, int x2, int y2, PathBuffer& path) {
    const PieceRec& mover = g.pieces[fromPiece];
    if (mover.alive != 1 || mover.x != x1 || mover.y != y1 || !IsMovable(g, fromPiece)) return false;
    const int occupant = PieceAtPoint(x2, y2, g.pieces);
    if (occupant != (IsValidPiece(toPiece) ? toPiece : kNoPiece)) return false;
    return FindMovePath(g.pathWork, fromPiece, x1, y1, x2, y2, path, g.pieces, nullptr) > 0;
}

// Moves the mover along the path square by square, with the arrows, the
// step sound and a short pause on every square but the last.
void AnimatePath(GameState& g, int fromPiece) {
    const PathBuffer& path = g.path;
    const int n = path.length;
    for (int i = 1; i < n; ++i) {
        PlacePieceAt(g, fromPiece, path.x[i], path.y[i]);
        const int j = PointIndexAt(*g.board, path.x[i - 1], path.y[i - 1]);
        if (j < 0)
            g.ui->ShowMessage(Gb("该箭头位置不存在！      "), false);
        else
            g.ui->ShowArrow(i, j, path.dirs[i - 1]);
        if (i != n - 1) {
            PlayGameSound(g, "move.wav");
            g.ui->RepaintNow();
            g.ui->SleepMs(kStepPauseMs);
        }
    }
}

void ApplyOutcome(GameState& g, int fromPiece, int toPiece, int outcome) {
    const bool hasTarget = IsValidPiece(toPiece);
    if (outcome < 0) {
        RemovePiece(g, fromPiece);
        if (g.pieces[fromPiece].code == kCommander) {
            PlayGameSound(g, "showflag.wav");
            g.ui->RevealFlag(fromPiece);
        } else {
            PlayGameSound(g, "beeat.wav");
        }
    } else if (outcome > 0 && hasTarget) {
        if (g.pieces[toPiece].code == kFlag) {
            PlayGameSound(g, "die.wav");
            RemoveWholeSeat(g, SeatOf(toPiece));
        } else {
            PlayGameSound(g, "eat.wav");
        }
        RemovePiece(g, toPiece);
    } else if (outcome > 0) {
        PlayGameSound(g, "move.wav");
    } else {
        const char* sound = "Equal.wav";
        RemovePiece(g, fromPiece);
        if (hasTarget) RemovePiece(g, toPiece);
        if (g.pieces[fromPiece].code == kCommander) {
            sound = "showflag.wav";
            g.ui->RevealFlag(fromPiece);
        }
        if (hasTarget && g.pieces[toPiece].code == kCommander) {
            sound = "showflag.wav";
            g.ui->RevealFlag(toPiece);
        }
        PlayGameSound(g, sound);
    }
}

std::string SeatText(const char* gbFormat, int a) {
    char buf[128];
    std::snprintf(buf, sizeof buf, gbFormat, a);
    return buf;
}

std::string SeatText(const char* gbFormat, int a, int b) {
    char buf[128];
    std::snprintf(buf, sizeof buf, gbFormat, a, b);
    return buf;
}

void SurrenderStep(GameState& g, int seat) {
    WriteStepRecord(g, StepRec{kNoPiece, kNoPiece, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord,
                               kSurrenderCoord, seat});
    AdvanceStepCount(g);
    if (IsValidSeat(seat)) RemoveWholeSeat(g, seat);
    PassTurn(g);
    g.ui->SetStatusText(3, SeatText(Gb("第 %d 方，").c_str(), seat) + Gb("缴械投降XXX"));
    PlayGameSound(g, "die.wav");
}

void TimeoutStep(GameState& g, int seat, int count) {
    WriteStepRecord(g, StepRec{kNoPiece, kNoPiece, kTimeoutCoord, kTimeoutCoord, kTimeoutCoord, kTimeoutCoord,
                               seat});
    AdvanceStepCount(g);
    PassTurn(g);
    if (g.netConnected != 0 && g.battleRunning != 0)
        g.ui->SetStatusText(3, SeatText(Gb("第 %d 方，第 %d 次超时没有走棋").c_str(), seat, count));
    else
        g.ui->SetStatusText(3, SeatText(Gb("第 %d 方，超时没有走棋").c_str(), seat));
    PlayGameSound(g, "nomove.wav");
}

bool MoverAndPointsExist(const GameState& g, int fromPiece, int x1, int y1, int x2, int y2) {
    return IsValidPiece(fromPiece) && PointIndexAt(*g.board, x1, y1) >= 0 && PointIndexAt(*g.board, x2, y2) >= 0;
}

}  // namespace

bool IsExecutableMove(GameState& g, int fromPiece, int toPiece, int x1, int y1, int x2, int y2) {
    PathBuffer path;
    return MoverAndPointsExist(g, fromPiece, x1, y1, x2, y2) && IsLegalMove(g, fromPiece, toPiece, x1, y1, x2, y2, path);
}

void RemovePiece(GameState& g, int piece) {
    g.pieces[piece].alive = 0;
    g.ui->SetPieceVisible(piece, false);
}

// Takes every live piece of `seat` off the board, noting them in the seat's
// row of eliminatedPieces in ascending order.
void RemoveWholeSeat(GameState& g, int seat) {
    int k = 0;
    for (int p = seat * kPiecesPerSeat; p < (seat + 1) * kPiecesPerSeat; ++p) {
        if (g.pieces[p].alive != 1) continue;
        RemovePiece(g, p);
        g.eliminatedPieces[seat][k++] = static_cast<int8_t>(p);
    }
}

std::string IdleStatusText() { return Gb("准备就绪"); }

void PlayGameSound(GameState& g, const std::string& fileName) {
    if (g.optionsRecord.soundOn != 0 && g.clickStepCount == 1) g.ui->PlaySound(fileName, false);
}

void ClearBattleSteps(GameState& g) {
    g.stepCount = 0;
    for (int i = 0; i < kStepSlots; ++i) {
        g.stepRecords[i] = StepRec{0, 0};
        if (i < kMaxSteps) g.stepRecords[i].mover = g.stepRecords[i].target = kNoPiece;
    }
    g.lastStepRecord = StepRec{};
    std::memset(g.eliminatedPieces, -2, sizeof g.eliminatedPieces);
}

void PassTurn(GameState& g) {
    const int dir = g.turnDirection == -1 ? -1 : 1;
    for (int tries = 0; tries < kSeats; ++tries) {
        g.curSeat += dir;
        if (g.curSeat > 3) g.curSeat = 0;
        if (g.curSeat < 0) g.curSeat = 3;
        for (int p = g.curSeat * kPiecesPerSeat; p < (g.curSeat + 1) * kPiecesPerSeat; ++p)
            if (g.pieces[p].alive == 1) return;
    }
}

MoveResult ExecuteMove(GameState& g, int fromPiece, int toPiece, int x1, int y1, int x2, int y2, int outcome) {
    const bool surrender = IsGiveUpMove(x1, y1, x2, y2);
    const bool timeout = IsTimeoutMove(x1, y1, x2, y2);
    GameLogicGuard busy(g);

    // Every call starts alike, a refused move included.
    ClearSelection(g);
    g.ui->HideArrows();
    g.ui->SetTimeRemaining(std::to_string(g.netMoveTime));
    g.lastActivity = g.ui->Now();
    const int seat = g.curSeat;

    if (surrender) {
        g.turnStarted = g.lastActivity;
        SurrenderStep(g, seat);
        return MoveResult::kDone;
    }
    if (timeout) {
        g.turnStarted = g.lastActivity;
        TimeoutStep(g, seat, outcome);
        return MoveResult::kDone;
    }

    g.ui->SetStatusText(3, IdleStatusText());
    if (!MoverAndPointsExist(g, fromPiece, x1, y1, x2, y2)) {
        g.ui->ShowMessage(Gb("非法棋步,没有指定要移动的棋子... "), false);
        return MoveResult::kRefused;
    }
    PathBuffer path;
    if (!IsLegalMove(g, fromPiece, toPiece, x1, y1, x2, y2, path)) return MoveResult::kRefused;
    g.path = path;
    g.turnStarted = g.lastActivity;
    if (g.clickStepCount == 1)
        AnimatePath(g, fromPiece);
    else
        PlacePieceAt(g, fromPiece, x2, y2);

    ApplyOutcome(g, fromPiece, toPiece, outcome);
    PassTurn(g);
    const StepRec rec{fromPiece, toPiece, x1, y1, x2, y2, outcome};
    WriteStepRecord(g, rec);
    g.lastStepRecord = rec;
    UpdateInferenceAfterMove(g, g.lastStepRecord, g.pieces);
    AdvanceStepCount(g);
    return MoveResult::kDone;
}

}  // namespace jq
