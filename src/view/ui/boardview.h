// The board on screen: the board picture, the 100 piece images and the 30
// path arrows on the board panel, and the pointer handlers that turn presses
// into selections, exchanges and moves.
#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>

#include "core/qipan.h"
#include "platform/imagecontrol.h"
#include "platform/imagelist.h"
#include "view/face.h"
#include "view/input.h"

class QAbstractButton;
class QLabel;
class QTimer;
class QWidget;
class TqsForm;

class BoardView {
public:
    static constexpr int kBoardSize = 525;     // the board picture, at (2, 2) in the panel
    static constexpr int kArrowImages = 30;
    static constexpr int kBackgrounds = 10;

    // Builds the board picture, the piece and arrow images on `panQiPan` and
    // loads the pictures from `imagesFolder` (empty: "images" in the working
    // folder, else the program's artwork). Missing pictures get plain
    // stand-ins. Draws the chosen background.
    BoardView(jq::GameState& g, QWidget* panQiPan, TqsForm* form, const QString& imagesFolder = QString());
    ~BoardView();
    BoardView(const BoardView&) = delete;
    BoardView& operator=(const BoardView&) = delete;

    // The window's controls that the board reaches; null where the window
    // has none.
    struct Controls {
        QAbstractButton* btnChangeQz = nullptr;  // "完毕"
        QAbstractButton* btnSaveZf = nullptr;
        QAbstractButton* btnLoadZf = nullptr;
        QAbstractButton* btnOtherKbt = nullptr;
        QWidget* Shape1 = nullptr;
        QWidget* Shape2 = nullptr;
        QWidget* Label20 = nullptr;              // "请布阵"
        QAbstractButton* btnNextStep = nullptr;
        QAbstractButton* btnsavefile = nullptr;
        QAbstractButton* btnViewOtherQz = nullptr;
        QAbstractButton* rbtDps = nullptr;
        QAbstractButton* rbtPractice = nullptr;
        QLabel* Label1 = nullptr;                // seat 0, bottom
        QLabel* Label2 = nullptr;                // seat 1, right
        QLabel* Label3 = nullptr;                // seat 2, top
        QLabel* Label4 = nullptr;                // seat 3, left
        QTimer* Timer1 = nullptr;
    };
    Controls controls;

    // LAN battle: sends netMoveRecord to the host as "MoveQz". Set by the
    // LAN battle; until then a move made in a LAN battle goes nowhere.
    std::function<void()> sendMoveQz;
    // LAN battle: the play buttons once the own deployment is finished.
    std::function<void()> updatePlayButtons;

    // Pictures.
    jq::ImageControl* qipan = nullptr;
    QImage gezi;
    QImage allqzimage0, allqzimage1, allqzimage2, allqzimage3;
    QImage alljiantouimage;
    jq::ImageList ImageList1{16, 16};
    jq::ImageControl* pieceImages[jq::kPieceCount] = {};
    jq::ImageControl* pathArrowImages[kArrowImages] = {};

    const QImage& Sheet(int seat) const;

    // Drawing.
    void ApplyBoardBackground();
    void PlacePieceAt(int piece, int x, int y);
    void RedrawPieces();
    void DrawOwnPieces();
    void RevealFlag(int piece);
    void ConcealFlag(int piece);
    void RevealFallenCommandersFlags();

    // What the game asks of the board (the window forwards these).
    void PlacePiece(int piece);
    void SetPieceVisible(int piece, bool visible);
    bool PieceVisible(int piece) const;
    void SwapPiecePictures(int a, int b);
    void HideArrows();
    void ShowArrow(int index, int pointIndex, int direction);
    void RepaintNow();
    std::string SeatLabel(int seat) const;
    void SetSeatLabel(int seat, const std::string& gbText);

    // Pointer handlers.
    void qipanMouseDown(jq::ImageControl& sender, const jq::PointerEvent& e);
    void qipanMouseMove(jq::ImageControl& sender, const jq::PointerEvent& e);
    void PieceMouseDown(jq::ImageControl& sender, const jq::PointerEvent& e);
    void PieceMouseMove(jq::ImageControl& sender, const jq::PointerEvent& e);
    void ArrowImageMouseDown(jq::ImageControl& sender, const jq::PointerEvent& e);
    void ArrowImageMouseMove(jq::ImageControl& sender, const jq::PointerEvent& e);

    // Buttons.
    void bRotateClick();
    void btnChangeQzClick();
    void btnViewOtherQzClick();
    void rbtSelectChanged();

    // Takes the controls from the window.
    void WireFormControls();

private:
    void LoadPictures(const QString& folder);
    void CreateImages();
    void DrawCell(int piece, const jq::SpriteCell& cell);
    void DrawFlag(int piece, bool reveal);
    QLabel* SeatLabelControl(int seat) const;
    bool PracticeMode() const;
    void Apply(jq::ImageControl& sender, const jq::InputResult& r);

    jq::GameState& g_;
    QPointer<QWidget> panel_;
    TqsForm* form_ = nullptr;
};
