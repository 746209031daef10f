#include "records/replay.h"

#include <algorithm>
#include <cstring>

#include "core/combat.h"
#include "core/options.h"
#include "core/text.h"
#include "formations/piecestats.h"
#include "play/execute.h"
#include "play/turnloop.h"
#include "records/battlefile.h"
#include "records/jqhfile.h"
#include "view/face.h"
#include "view/input.h"
#include "view/rotation.h"
#include "view/selection.h"

namespace jq {
namespace {

constexpr int kNotFound = 100;

bool IsSurrender(const MoveRec& m) { return IsGiveUpMove(m.fromX, m.fromY, m.toX, m.toY); }
bool IsSurrender(const StepRec& r) { return IsSurrender(MoveRec{r.fromX, r.fromY, r.toX, r.toY}); }

bool OnBoard(const GameState& g, int x, int y) { return PointIndexAt(*g.board, x, y) >= 0; }

// The first piece (alive or not) whose point is (x, y); 100 when none.
int PieceStandingOn(const GameState& g, int x, int y) {
    for (int k = 0; k < kPieceCount; ++k)
        if (g.pieces[k].x == x && g.pieces[k].y == y) return k;
    return kNotFound;
}

bool SeatHasLivePiece(const GameState& g, int seat) {
    for (int p = seat * kPiecesPerSeat; p < (seat + 1) * kPiecesPerSeat; ++p)
        if (g.pieces[p].alive == 1) return true;
    return false;
}

int WrapSeat(int s) { return s > 3 ? 0 : (s < 0 ? 3 : s); }

void Revive(GameState& g, int piece) {
    g.pieces[piece].alive = 1;
    g.ui->SetPieceVisible(piece, true);
}

// Brings back the pieces a seat lost with its removal; `conceal` puts a
// revealed flag back face down for a commander among them.
void ReviveSeatRow(GameState& g, int seat, bool conceal) {
    if (!IsValidSeat(seat)) return;
    for (const int8_t e : g.eliminatedPieces[seat]) {
        if (!IsValidPiece(e)) continue;
        Revive(g, e);
        if (conceal && g.pieces[e].code == kCommander) g.ui->ConcealFlag(e);
    }
}

void ShowStepCount(GameState& g) {
    g.ui->SetStatusText(2, Gb("当前已走：") + std::to_string(g.stepCount) + Gb(" 步"));
}

void RevealFallenCommandersFlags(GameState& g) {
    for (int s = 0; s < kSeats; ++s)
        if (!SeatHasLiveCommander(g.pieces, s)) g.ui->RevealFlag(s * kPiecesPerSeat);
}

// The step a record entry makes in the present position. Stepping forward,
// stepping back and going to a step all take an entry through here, so they
// agree on every position. An ordinary entry names the live piece on its
// from-point, what stands on its to-point and the combat outcome. An entry
// that cannot be carried out (a point off the board, no live piece on the
// from-point, a move the rules refuse, such as a mine or flag moving) is a
// refused step: no mover and no target, the seat to move as its outcome,
// and the turn passes without a move. The special steps keep their
// coordinates with the seat to move as the outcome.
StepRec ResolveRecordStep(GameState& g, const MoveRec& h) {
    StepRec r{kNoPiece, kNoPiece, h.fromX, h.fromY, h.toX, h.toY, g.curSeat};
    if (IsSpecialMove(h)) return r;
    const int mover = OnBoard(g, h.fromX, h.fromY) ? PieceAtPoint(h.fromX, h.fromY, g.pieces) : kNoPiece;
    const int target = OnBoard(g, h.toX, h.toY) ? PieceAtPoint(h.toX, h.toY, g.pieces) : kNoPiece;
    if (!IsExecutableMove(g, mover, target, h.fromX, h.fromY, h.toX, h.toY)) return r;
    r.mover = mover;
    r.target = target;
    r.outcome = MoveOutcome(g.pieces, mover, target);
    return r;
}

// The seat whose piece makes a step has the turn. In a sound record that
// is the seat to move already; after a refused step a damaged record may
// go on with another seat's piece, and the turn follows the record, so
// that stepping back finds the seat of every step it undoes.
void GiveTurnToMover(GameState& g, const StepRec& r) {
    if (IsValidPiece(r.mover)) g.curSeat = SeatOf(r.mover);
}

bool IsRefusedStep(const StepRec& r) {
    return !IsValidPiece(r.mover) && !IsSpecialMove(MoveRec{r.fromX, r.fromY, r.toX, r.toY});
}

// A refused step as a played one would be: the selection and arrows gone,
// the step written and counted, the turn passed.
void PassRefusedStep(GameState& g, const MoveRec& h) {
    ClearSelection(g);
    g.ui->HideArrows();
    if (g.stepCount >= 0 && g.stepCount < kStepSlots)
        g.stepRecords[g.stepCount] = StepRec{kNoPiece, kNoPiece, h.fromX, h.fromY, h.toX, h.toY, g.curSeat};
    AdvanceStepCount(g);
    PassTurn(g);
}

// Carries out a resolved step: a move or special step through ExecuteMove,
// a refused step by passing the turn.
void CarryOutStep(GameState& g, const StepRec& r) {
    const MoveRec h{r.fromX, r.fromY, r.toX, r.toY};
    g.move = h;
    GiveTurnToMover(g, r);
    if (!IsRefusedStep(r) &&
        ExecuteMove(g, r.mover, r.target, h.fromX, h.fromY, h.toX, h.toY, r.outcome) == MoveResult::kDone)
        return;
    PassRefusedStep(g, h);
}

}  // namespace

RecordKind RecordKindOf(const std::string& path) {
    if (path.size() < 4) return RecordKind::kUnsupported;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".kbt") return RecordKind::kBattle;
    if (ext == ".jqh") return RecordKind::kForeign;
    if (ext == ".jqs" || ext == ".kjq") return RecordKind::kFormation;
    return RecordKind::kUnsupported;
}

bool RefuseUnsupportedRecord(GameState& g, const std::string& path) {
    switch (RecordKindOf(path)) {
        case RecordKind::kFormation:
            g.ui->ShowMessage(Gb("这是阵法文件，别在这儿打开。") + std::string(13, ' '), false);
            return true;
        case RecordKind::kUnsupported:
            g.ui->ShowMessage(Gb("文件格式或类型不支持!!!!请自觉带好扩展名.") + std::string(13, ' '), false);
            return true;
        default:
            return false;
    }
}

OpenResult OpenBattleRecord(GameState& g, const std::string& path) {
    // The extension comes first, then the whole file is read and checked:
    // a file that does not open as a record changes nothing.
    if (RefuseUnsupportedRecord(g, path)) return OpenResult::kRefused;
    const bool own = RecordKindOf(path) == RecordKind::kBattle;
    BattleFile file;
    JqhDecodeResult foreign;
    const BattleFileError error = own ? LoadBattleFile(path, file) : LoadJqhFile(path, foreign);
    if (error != BattleFileError::kNone) {
        GameLogicGuard busy(g);  // an automatic replay does not step on behind the box
        ReportUnopenedRecord(g, path, error);
        return OpenResult::kUnreadable;
    }

    GameLogicGuard busy(g);
    g.ui->ShowRecordTitle(path);
    g.battleRunning = 0;
    g.autoPlay = 0;
    for (MoveRec& m : g.moveHistory) m = MoveRec{};
    StopAIThread(g);
    ClearSelection(g);
    if (own) {
        LayOutBattleFile(g, file);
        const size_t n = std::min<size_t>(file.moves.size(), kMaxSteps);
        std::copy(file.moves.begin(), file.moves.begin() + static_cast<std::ptrdiff_t>(n), g.moveHistory);
    } else {
        LayOutJqhFile(g, foreign, file);
    }

    g.ui->SetStatusText(1, Gb("级别：复盘"));
    DetectReplayDirection(g);
    ClearBattleSteps(g);
    ShowStepCount(g);
    g.ui->SetRotateEnabled(true);
    g.ui->SetSaveEnabled(true);
    if (g.deployPhase != 0) {
        g.deployPhase = 0;
        g.ui->SetDeploymentControlsVisible(false);
    }
    g.ui->SetPrevStepEnabled(true);
    g.ui->SetNextStepEnabled(true);
    g.ui->SetViewOtherButton(true, ViewOtherCaption(g));
    g.ui->SetGiveUpAndPeaceEnabled(false);
    g.practiceMode = 0;
    ApplyPlayMode(g, PlayMode::kReplay);
    g.ui->SelectPlayMode(false);
    g.ui->SetMainTimerEnabled(true);
    return OpenResult::kOpened;
}

OpenResult OpenBattleFile(GameState& g, const std::string& path) {
    const OpenResult r = OpenBattleRecord(g, path);
    if (r == OpenResult::kOpened) LoadPieceStats(g);
    return r;
}

void DetectReplayDirection(GameState& g) {
    int i0 = -1;
    for (int i = 0; i < kMaxSteps && i0 < 0; ++i)
        if (!IsSpecialMove(g.moveHistory[i])) i0 = i;
    int i1 = -1;
    if (i0 >= 0)
        for (int i = i0 + 1; i < kMaxSteps && i1 < 0; ++i)
            if (!IsSpecialMove(g.moveHistory[i]) && (i - i0) % 4 != 0) i1 = i;
    const int mover0 = i0 < 0 ? kNotFound : PieceStandingOn(g, g.moveHistory[i0].fromX, g.moveHistory[i0].fromY);
    const int mover1 = i1 < 0 ? kNotFound : PieceStandingOn(g, g.moveHistory[i1].fromX, g.moveHistory[i1].fromY);
    if (mover0 == kNotFound || mover1 == kNotFound) {
        g.ui->ShowMessage(Gb("有效棋步少于两步,无法确定行棋方向,该战役无法演播!") + std::string(10, ' '), false);
        return;
    }
    g.selectedPiece = kNoPiece;
    g.netMinMoveInterval = g.optionsRecord.netMinMoveIntervalOption;
    const int seat0 = SeatOf(mover0);
    const int seat1 = SeatOf(mover1);
    g.turnDirection = (i1 - i0 + seat0) % kSeats == seat1 ? 1 : -1;
    SanitizeRunningOptions(g);
    g.curSeat = seat0;
    for (int i = 0; i < i0; ++i) g.curSeat = WrapSeat(g.curSeat - g.turnDirection);
}

int RecordLength(const GameState& g) {
    int n = 0;
    while (n < kMaxSteps && !HasZeroCoordinate(g.moveHistory[n])) ++n;
    return n;
}

void NextStepMouseDown(GameState& g, bool ctrl, bool shift, bool alt) {
    g.clickStepCount = 1;
    if (ctrl) g.clickStepCount = 10;
    if (shift) g.clickStepCount = 20;
    if (ctrl && shift) g.clickStepCount = 100;
    g.autoPlay = alt ? 1 : 0;
}

void PrevStepMouseDown(GameState& g, bool ctrl, bool shift) {
    g.clickStepCount = (ctrl || shift) ? 2 : 1;
    g.autoPlay = 0;
}

void ReplayNextSteps(GameState& g) {
    ClearSelection(g);
    const int count = g.clickStepCount;
    bool refused = false;
    for (int rep = 0; rep < count; ++rep) {
        if (g.stepCount < 0 || g.stepCount >= kMaxSteps) break;
        const MoveRec h = g.moveHistory[g.stepCount];
        if (HasZeroCoordinate(h)) break;  // the end of the record
        const StepRec r = ResolveRecordStep(g, h);
        refused = refused || IsRefusedStep(r);
        CarryOutStep(g, r);
    }
    g.clickStepCount = 1;
    if (refused) {
        // One box for the command, however many refused steps it passed;
        // automatic replay ends first, so the timer does not step on
        // behind the box.
        g.autoPlay = 0;
        g.ui->ShowMessage(Gb("非法棋步,没有指定要移动的棋子... "), false);
    }
}

void ReplayStepBack(GameState& g) {
    if (g.clickStepCount != 1) {
        // Back to the start: the file is read again. The mode is spent, so
        // the next click on the board toggles automatic replay again.
        g.clickStepCount = 1;
        OpenBattleFile(g, g.battleFileName);
        return;
    }
    ClearSelection(g);
    if (g.stepCount < 1) return;
    const int dir = g.turnDirection == -1 ? -1 : 1;
    for (int undone = 0; undone < 2;) {
        --g.stepCount;
        if (g.stepCount < 0) {
            g.ui->HideArrows();
            AdvanceStepCount(g);
            return;
        }
        if (g.stepCount >= kStepSlots) g.stepCount = kStepSlots - 1;
        const StepRec r = g.stepRecords[g.stepCount];
        if (IsValidPiece(r.mover)) {
            PlacePieceAt(g, r.mover, r.fromX, r.fromY);
            Revive(g, r.mover);
            if (g.pieces[r.mover].code == kCommander) g.ui->ConcealFlag(r.mover);
        }
        if (IsValidPiece(r.target)) {
            Revive(g, r.target);
            if (g.pieces[r.target].code == kCommander) g.ui->ConcealFlag(r.target);
            // The pieces of a captured seat stood where they were taken off.
            if (g.pieces[r.target].code == kFlag) ReviveSeatRow(g, SeatOf(r.target), false);
        }
        if (IsSurrender(r)) ReviveSeatRow(g, r.outcome, true);
        // The seat that made the step moves again: a step without a mover
        // (special or refused) holds that seat as its outcome. Stepping the
        // turn back would land on a seat the step had taken out (the turn
        // skipped it).
        if (!IsValidPiece(r.mover) && IsValidSeat(r.outcome)) {
            g.curSeat = r.outcome;
        } else if (IsValidPiece(r.mover)) {
            g.curSeat = SeatOf(r.mover);
        } else {
            for (int tries = 0; tries < kSeats; ++tries) {
                g.curSeat = WrapSeat(g.curSeat - dir);
                if (SeatHasLivePiece(g, g.curSeat)) break;
            }
        }
        if (++undone == 2) {
            // Shown again as it was taken; a refused step passes silently
            // (its box came when it was first met).
            CarryOutStep(g, r);
            g.clickStepCount = 1;
        }
    }
}

void StopAutoReplay(GameState& g) { g.autoPlay = 0; }

void GotoReplayStart(GameState& g) {
    NameTable names;
    CodeTable codes;
    for (int s = 0; s < kSeats; ++s) {
        PutNameRow(names, s, g.ui->SeatLabel(s));
        for (int k = 0; k < kPiecesPerSeat; ++k)
            codes.rows[s][k] = static_cast<int8_t>(g.pieces[s * kPiecesPerSeat + k].code & 0xFF);
    }
    LayoutBattle(g, 0, codes, names);
    std::memset(g.eliminatedPieces, -2, sizeof g.eliminatedPieces);
    g.stepCount = 0;
    ShowStepCount(g);
    DetectReplayDirection(g);
}

int ReplayToStep(GameState& g, int n) {
    int i = 0;
    for (; i < n && i < kMaxSteps; ++i) {
        const MoveRec h = g.moveHistory[i];
        if (HasZeroCoordinate(h)) {
            g.stepRecords[i] = StepRec{kNoPiece, kNoPiece, h.fromX, h.fromY, h.toX, h.toY, 1};
            break;
        }
        const StepRec e = ResolveRecordStep(g, h);
        g.stepRecords[i] = e;
        GiveTurnToMover(g, e);
        if (IsSurrender(h)) {
            if (IsValidSeat(g.curSeat)) RemoveWholeSeat(g, g.curSeat);
        } else if (IsValidPiece(e.mover)) {
            g.pieces[e.mover].x = h.toX;
            g.pieces[e.mover].y = h.toY;
            if (IsValidPiece(e.target)) {
                // The outcome applied as ExecuteMove applies it.
                if (e.outcome < 0) {
                    RemovePiece(g, e.mover);
                } else if (e.outcome > 0) {
                    if (g.pieces[e.target].code == kFlag) RemoveWholeSeat(g, SeatOf(e.target));
                    RemovePiece(g, e.target);
                } else {
                    RemovePiece(g, e.mover);
                    RemovePiece(g, e.target);
                }
            }
        }
        PassTurn(g);
    }
    g.stepCount = i;
    ShowStepCount(g);
    RevealFallenCommandersFlags(g);
    for (int k = 0; k < kPieceCount; ++k) g.ui->PlacePiece(k);
    return g.stepCount;
}

bool ReplayBoardClick(GameState& g) {
    if (g.battleRunning != 0 || g.replayFileName == "NONE" || IsValidPiece(g.selectedPiece)) return false;
    const bool gotoStep = g.clickStepCount != 1;
    if (!gotoStep) g.autoPlay = g.autoPlay == 0 ? 1 : 0;
    g.clickStepCount = 1;
    return gotoStep;
}

ReplayMenuState ReplayMenu(const GameState& g) {
    ReplayMenuState m;
    if (g.battleRunning != 0 || g.replayFileName == "NONE") return m;
    m.gotoEnabled = true;
    m.changeCaptions = true;
    if (g.autoPlay == 0) {
        m.autoPlayEnabled = true;
        m.autoPlayCaption = "自动演播(单击棋盘)";
        m.playStopCaption = "停止演播";
    } else {
        m.playStopEnabled = true;
        m.autoPlayCaption = "自动演播";
        m.playStopCaption = "停止演播(单击棋盘)";
    }
    return m;
}

}  // namespace jq
