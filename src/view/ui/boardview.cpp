#include "view/ui/boardview.h"

#include <algorithm>

#include <QAbstractButton>
#include <QFrame>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "app/tqsform.h"
#include "core/text.h"
#include "platform/artwork.h"
#include "platform/toolkit.h"
#include "play/execute.h"
#include "view/deployment.h"
#include "view/rotation.h"
#include "view/selection.h"

using jq::ImageControl;
using jq::PointerEvent;

namespace {

constexpr int kUprightSheetW = 4 * jq::kUprightCellW;   // 112
constexpr int kUprightSheetH = 13 * jq::kUprightCellH;  // 286
constexpr int kArrowSheetW = 10 * jq::kArrowCell;

// A picture of the expected size, or a plain stand-in when the file is
// missing or of another size.
QImage LoadSheet(const QDir& dir, const QString& name, int width, int height, QColor standIn) {
    QImage image(dir.filePath(name));
    if (image.isNull() || image.width() != width || image.height() != height) {
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(standIn);
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QString ChooseImagesFolder(const QString& given) {
    if (!given.isEmpty()) return given;
    const QString local = QDir::current().filePath(QStringLiteral("images"));
    if (QFileInfo(local).isDir()) return local;
    return jq::ArtworkFolder();
}

}  // namespace

BoardView::BoardView(jq::GameState& g, QWidget* panQiPan, TqsForm* form, const QString& imagesFolder)
    : g_(g), panel_(panQiPan), form_(form) {
    LoadPictures(ChooseImagesFolder(imagesFolder));
    CreateImages();
    WireFormControls();
    ApplyBoardBackground();
}

BoardView::~BoardView() {
    if (panel_.isNull()) return;  // the images went with the panel
    for (ImageControl* c : pieceImages) c->onMouseDown = c->onMouseMove = nullptr;
    for (ImageControl* c : pathArrowImages) c->onMouseDown = c->onMouseMove = nullptr;
    qipan->onMouseDown = qipan->onMouseMove = nullptr;
}

void BoardView::LoadPictures(const QString& folder) {
    const QDir dir(folder);
    allqzimage0 = LoadSheet(dir, QStringLiteral("allqzimage0.png"), kUprightSheetW, kUprightSheetH, Qt::lightGray);
    allqzimage1 = LoadSheet(dir, QStringLiteral("allqzimage1.png"), kUprightSheetH, kUprightSheetW, Qt::lightGray);
    allqzimage2 = LoadSheet(dir, QStringLiteral("allqzimage2.png"), kUprightSheetW, kUprightSheetH, Qt::lightGray);
    allqzimage3 = LoadSheet(dir, QStringLiteral("allqzimage3.png"), kUprightSheetH, kUprightSheetW, Qt::lightGray);
    alljiantouimage = LoadSheet(dir, QStringLiteral("alljiantouimage.png"), kArrowSheetW, jq::kArrowCell, Qt::white);
    gezi = QImage(dir.filePath(QStringLiteral("gezi.png")));
    if (!gezi.isNull()) gezi = gezi.convertToFormat(QImage::Format_RGB32);
    for (int n = 0; n < kBackgrounds; ++n) {
        QImage tile(dir.filePath(QStringLiteral("bg%1.png").arg(n)));
        if (tile.isNull()) {
            tile = QImage(16, 16, QImage::Format_RGB32);
            tile.fill(QColor(238, 214, 160));
        }
        ImageList1.Add(tile);
    }
}

void BoardView::CreateImages() {
    qipan = new ImageControl(panel_);
    qipan->setGeometry(2, 2, kBoardSize, kBoardSize);
    qipan->onMouseDown = [this](ImageControl& s, const PointerEvent& e) { qipanMouseDown(s, e); };
    qipan->onMouseMove = [this](ImageControl& s, const PointerEvent& e) { qipanMouseMove(s, e); };

    for (int i = 0; i < jq::kPieceCount; ++i) {
        auto* c = new ImageControl(panel_);
        const int seat = jq::SeatOf(i);
        c->resize(jq::PieceImageWidth(seat), jq::PieceImageHeight(seat));
        c->onMouseDown = [this](ImageControl& s, const PointerEvent& e) { PieceMouseDown(s, e); };
        c->onMouseMove = [this](ImageControl& s, const PointerEvent& e) { PieceMouseMove(s, e); };
        pieceImages[i] = c;
    }
    // Created after the pieces, so they lie above them.
    for (int k = 0; k < kArrowImages; ++k) {
        auto* c = new ImageControl(panel_);
        c->resize(jq::kArrowCell, jq::kArrowCell);
        c->SetTransparent(true);
        c->hide();
        c->onMouseDown = [this](ImageControl& s, const PointerEvent& e) { ArrowImageMouseDown(s, e); };
        c->onMouseMove = [this](ImageControl& s, const PointerEvent& e) { ArrowImageMouseMove(s, e); };
        pathArrowImages[k] = c;
    }
}

void BoardView::WireFormControls() {
    if (form_ == nullptr) return;
    Controls& c = controls;
    c.btnChangeQz = form_->btnChangeQz;
    c.btnSaveZf = form_->btnSaveZf;
    c.btnLoadZf = form_->btnLoadZf;
    c.btnOtherKbt = form_->btnOtherKbt;
    c.Shape1 = form_->Shape1;
    c.Shape2 = form_->Shape2;
    c.Label20 = form_->Label20;
    c.btnNextStep = form_->btnNextStep;
    c.btnsavefile = form_->btnsavefile;
    c.btnViewOtherQz = form_->btnViewOtherQz;
    c.rbtDps = form_->rbtDps;
    c.rbtPractice = form_->rbtPractice;
    c.Label1 = form_->Label1;
    c.Label2 = form_->Label2;
    c.Label3 = form_->Label3;
    c.Label4 = form_->Label4;
    c.Timer1 = form_->Timer1;
}

const QImage& BoardView::Sheet(int seat) const {
    switch (seat) {
        case 1: return allqzimage1;
        case 2: return allqzimage2;
        case 3: return allqzimage3;
        default: return allqzimage0;
    }
}

// ---- Drawing --------------------------------------------------------------

void BoardView::ApplyBoardBackground() {
    int& bg = g_.optionsRecord.boardBackground;
    if (bg < 0 || bg >= kBackgrounds) bg = 0;
    qipan->SetBrushPattern(ImageList1.Bitmap(bg));
    qipan->FillRect(QRect(0, 0, 600, 600));
    if (gezi.isNull()) return;
    // The line picture is one pixel smaller than the board: the last row and
    // column keep the pattern.
    QImage board = qipan->Picture();
    const QRgb key = gezi.pixel(5, 5);
    const int w = std::min(board.width(), gezi.width());
    const int h = std::min(board.height(), gezi.height());
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            const QRgb c = gezi.pixel(x, y);
            if (c != key) board.setPixel(x, y, c);
        }
    qipan->SetPicture(board);
}

void BoardView::DrawCell(int piece, const jq::SpriteCell& cell) {
    pieceImages[piece]->CopyRect(QRect(0, 0, cell.width, cell.height), Sheet(cell.sheet),
                                 QRect(cell.left, cell.top, cell.width, cell.height));
}

void BoardView::PlacePieceAt(int piece, int x, int y) {
    if (jq::SetPiecePoint(g_, piece, x, y)) PlacePiece(piece);
}

void BoardView::RedrawPieces() {
    for (int k = 0; k < jq::kPiecesPerSeat; ++k) {
        DrawCell(k, jq::RuleCell(g_, k));
        DrawCell(50 + k, jq::RuleCell(g_, 50 + k));
    }
    for (int k = 0; k < jq::kPiecesPerSeat; ++k) {
        DrawCell(25 + k, jq::RuleCell(g_, 25 + k));
        DrawCell(75 + k, jq::RuleCell(g_, 75 + k));
    }
    RevealFallenCommandersFlags();
}

void BoardView::DrawOwnPieces() {
    for (int k = 0; k < jq::kPiecesPerSeat; ++k) DrawCell(k, jq::PieceCell(g_, k, true));
}

void BoardView::DrawFlag(int piece, bool reveal) {
    const jq::FlagDrawing d = jq::FlagCell(g_, piece, reveal);
    switch (d.turn) {
        case jq::FlagTurn::kDraw: DrawCell(d.piece, d.cell); break;
        case jq::FlagTurn::kNoFlag: g_.ui->ShowMessage(jq::MissingFlagText(), false); break;
        case jq::FlagTurn::kSkip: break;
    }
}

void BoardView::RevealFlag(int piece) { DrawFlag(piece, true); }
void BoardView::ConcealFlag(int piece) { DrawFlag(piece, false); }

void BoardView::RevealFallenCommandersFlags() {
    for (int s = 0; s < jq::kSeats; ++s)
        if (!jq::SeatHasLiveCommander(g_.pieces, s)) RevealFlag(s * jq::kPiecesPerSeat);
}

// ---- Hooks ----------------------------------------------------------------

void BoardView::PlacePiece(int piece) {
    if (!jq::IsValidPiece(piece)) return;
    const jq::PieceRec& r = g_.pieces[piece];
    const int point = jq::PointIndexAt(*g_.board, r.x, r.y);
    if (point < 0) return;  // not a board point: the image stays where it is
    const jq::ImagePlace place = jq::PieceImagePlace(*g_.board, piece, point);
    pieceImages[piece]->move(place.left, place.top);
}

void BoardView::SetPieceVisible(int piece, bool visible) {
    if (jq::IsValidPiece(piece)) pieceImages[piece]->setVisible(visible);
}

bool BoardView::PieceVisible(int piece) const {
    return jq::IsValidPiece(piece) && !pieceImages[piece]->isHidden();
}

void BoardView::SwapPiecePictures(int a, int b) {
    if (!jq::IsValidPiece(a) || !jq::IsValidPiece(b) || jq::SeatOf(a) != jq::SeatOf(b)) return;
    const int seat = jq::SeatOf(a);
    const QRect rect(0, 0, jq::PieceImageWidth(seat), jq::PieceImageHeight(seat));
    const QImage held = pieceImages[a]->Picture().copy(rect);
    pieceImages[a]->CopyRect(rect, *pieceImages[b], rect);
    pieceImages[b]->CopyRect(rect, held, rect);
}

void BoardView::HideArrows() {
    for (ImageControl* c : pathArrowImages) c->hide();
}

void BoardView::ShowArrow(int index, int pointIndex, int direction) {
    if (index < 0 || index >= kArrowImages) return;
    // Without a point or a picture cell the arrow stays hidden.
    if (pointIndex < 0 || pointIndex >= jq::kPointCount || direction < 0 || direction >= 10) return;
    const jq::BoardPoint& p = g_.board->boardPoints[pointIndex];
    ImageControl* c = pathArrowImages[index];
    c->move(p.pixelX - jq::kArrowCell / 2, p.pixelY - jq::kArrowCell / 2);
    c->CopyRect(QRect(0, 0, jq::kArrowCell, jq::kArrowCell), alljiantouimage,
                QRect(jq::kArrowCell * direction, 0, jq::kArrowCell, jq::kArrowCell));
    c->show();
}

void BoardView::RepaintNow() {
    if (!panel_.isNull()) panel_->repaint();
}

QLabel* BoardView::SeatLabelControl(int seat) const {
    switch (seat) {
        case 0: return controls.Label1;
        case 1: return controls.Label2;
        case 2: return controls.Label3;
        case 3: return controls.Label4;
        default: return nullptr;
    }
}

std::string BoardView::SeatLabel(int seat) const {
    const QLabel* l = SeatLabelControl(seat);
    return l != nullptr ? jq::GbFromQt(l->text()) : std::string();
}

void BoardView::SetSeatLabel(int seat, const std::string& gbText) {
    if (QLabel* l = SeatLabelControl(seat)) l->setText(jq::QtFromGb(gbText));
}

// ---- Pointer --------------------------------------------------------------

bool BoardView::PracticeMode() const { return controls.rbtPractice != nullptr && controls.rbtPractice->isChecked(); }

void BoardView::Apply(ImageControl& sender, const jq::InputResult& r) {
    if (r.cursor == jq::CursorShape::kHand) jq::SetPointerShape(sender, jq::PointerShape::HandPoint);
    if (r.cursor == jq::CursorShape::kDefault) jq::SetPointerShape(sender, jq::PointerShape::Default);
    if (r.disableNextStep && controls.btnNextStep != nullptr) controls.btnNextStep->setEnabled(false);
    if (r.disableSaveFile && controls.btnsavefile != nullptr) controls.btnsavefile->setEnabled(false);
    if (r.sendMove && sendMoveQz) sendMoveQz();
}

void BoardView::PieceMouseDown(ImageControl& sender, const PointerEvent&) {
    Apply(sender, jq::PressPiece(g_, sender.x(), sender.y(), PracticeMode()));
}

void BoardView::PieceMouseMove(ImageControl& sender, const PointerEvent&) {
    Apply(sender, jq::HoverPiece(g_, sender.x(), sender.y(), PracticeMode()));
}

void BoardView::qipanMouseDown(ImageControl& sender, const PointerEvent& e) {
    Apply(sender, jq::PressBoard(g_, e.x, e.y, e.modifiers != Qt::NoModifier));
}

void BoardView::qipanMouseMove(ImageControl& sender, const PointerEvent& e) {
    Apply(sender, jq::HoverBoard(g_, e.x, e.y));
}

// The arrows lie on the board: a press or a move on one is one on the board
// picture, at the arrow's place plus the pointer's.
void BoardView::ArrowImageMouseDown(ImageControl& sender, const PointerEvent& e) {
    PointerEvent onBoard = e;
    onBoard.x += sender.x();
    onBoard.y += sender.y();
    qipanMouseDown(sender, onBoard);
}

void BoardView::ArrowImageMouseMove(ImageControl& sender, const PointerEvent& e) {
    PointerEvent onBoard = e;
    onBoard.x += sender.x();
    onBoard.y += sender.y();
    qipanMouseMove(sender, onBoard);
}

// ---- Buttons --------------------------------------------------------------

void BoardView::bRotateClick() { jq::RotateView(g_); }

void BoardView::btnViewOtherQzClick() {
    const std::string caption = jq::ToggleViewOtherFormations(g_);
    if (controls.btnViewOtherQz != nullptr) controls.btnViewOtherQz->setText(jq::QtFromGb(caption));
}

void BoardView::btnChangeQzClick() {
    jq::ClearSelection(g_);
    if (jq::HostAwaitsComputerDeployments(g_)) return;
    const QString done = jq::QtFromGb(jq::Gb("完毕"));
    if (g_.deployPhase == 0) {
        if (controls.btnChangeQz != nullptr) controls.btnChangeQz->setText(done);
        g_.deployPhase = 1;
        return;
    }
    const int rule = jq::ValidateDeployment(g_);
    if (rule != jq::kDeploymentOk) {
        jq::StandardBox(jq::DeploymentRuleText(rule), jq::Gb("错误"), jq::BoxButtons::OkCancel);
        return;
    }
    if (controls.btnChangeQz != nullptr) controls.btnChangeQz->setText(done);
    g_.deployPhase = 0;
    for (QWidget* w : {static_cast<QWidget*>(controls.btnChangeQz), static_cast<QWidget*>(controls.btnSaveZf),
                       static_cast<QWidget*>(controls.btnLoadZf), static_cast<QWidget*>(controls.btnOtherKbt),
                       controls.Shape1, controls.Shape2, controls.Label20})
        if (w != nullptr) w->hide();
    // The deployment is kept before other handlers get their turn.
    jq::TakeDeploymentSnapshot(g_);
    g_.ui->ProcessMessages();
    if (g_.netConnected != 0 && updatePlayButtons) updatePlayButtons();
    jq::PlayGameSound(g_, "ok.wav");
    g_.ui->SleepMs(800);
}

void BoardView::rbtSelectChanged() {
    jq::PlayMode mode = jq::PlayMode::kNeither;
    if (controls.rbtDps != nullptr && controls.rbtDps->isChecked()) {
        mode = jq::PlayMode::kReplay;
    } else if (controls.rbtPractice != nullptr && controls.rbtPractice->isChecked()) {
        mode = jq::PlayMode::kPractice;
    }
    // The turn loop reads the mode from the game.
    g_.practiceMode = mode == jq::PlayMode::kPractice ? 1 : 0;
    if (jq::ApplyPlayMode(g_, mode) && controls.btnNextStep != nullptr) controls.btnNextStep->setEnabled(false);
    if (controls.Timer1 != nullptr && !controls.Timer1->isActive()) controls.Timer1->start();
}
