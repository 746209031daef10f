#include "records/ui/jumpw.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <algorithm>

namespace {

QFont DialogFont(int pixelSize) {
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(pixelSize);
    return font;
}

// Clear pixels between the end of one text of a line and the start of the
// next.
constexpr int kRoom = 3;
// Pixels kept clear inside the frame of the group box.
constexpr int kBoxMargin = 4;
// The captions of the counts line, centred in their buttons.
constexpr int kCaptionPixels = 11;
// No text of the dialog is made smaller than this to fit its place.
constexpr int kSmallestPixels = 8;

// Width that holds any count from 0 to `largest` in `font`.
int CountWidth(const QFont& font, int largest) {
    const QFontMetrics fm(font);
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, fm.horizontalAdvance(QLatin1Char(c)));
    return digit * static_cast<int>(QString::number(std::max(largest, 0)).size());
}

// Height of a one-line label in `font`, at least `designed`.
int LineHeight(const QFont& font, int designed) { return std::max(designed, QFontMetrics(font).height()); }

}  // namespace

TJumpPara::TJumpPara(QWidget* owner, int* stepResult, int maxSteps, int current)
    : QDialog(owner), stepResult_(stepResult) {
    setWindowTitle(QStringLiteral("跳转点参数设置"));
    setFont(DialogFont(12));
    setFixedSize(328, 208);
    QPalette cream = palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    setPalette(cream);
    setAutoFillBackground(true);

    GroupBox1 = new QGroupBox(QStringLiteral("请选择跳转的位置（步数）"), this);
    GroupBox1->setGeometry(18, 12, 293, 143);
    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox1);
    TrackBar1->setGeometry(10, 24, 269, 21);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setSingleStep(1);
    Label1 = new QLabel(QStringLiteral("当前选择跳转的位置："), GroupBox1);
    Label1->move(18, 58);
    lbCurSelePosition = new QLabel(QStringLiteral("0"), GroupBox1);
    SpeedButton2 = new QToolButton(GroupBox1);
    SpeedButton2->setText(QStringLiteral("目前已复盘步数："));
    SpeedButton2->setAutoRaise(true);
    lbCurPosition = new QLabel(QStringLiteral("0"), GroupBox1);
    SpeedButton1 = new QToolButton(GroupBox1);
    SpeedButton1->setText(QStringLiteral("当前战役总步数："));
    SpeedButton1->setAutoRaise(true);
    lbMaxBu = new QLabel(QStringLiteral("0"), GroupBox1);
    // A pixel less for the captions of the counts line leaves room on both
    // sides of them in their buttons.
    for (QToolButton* b : {SpeedButton2, SpeedButton1}) b->setFont(DialogFont(kCaptionPixels));
    Label6 = new QLabel(QStringLiteral("Ctrl  + MouseClick"), this);
    Label6->move(20, 168);
    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setGeometry(126, 168, 85, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn2->setGeometry(216, 168, 85, 25);

    TrackBar1->setMinimum(0);
    TrackBar1->setMaximum(maxSteps);
    TrackBar1->setPageStep(maxSteps / 10);
    TrackBar1->setValue(current);
    lbCurSelePosition->setText(QString::number(current));
    lbCurPosition->setText(QString::number(current));
    lbMaxBu->setText(QString::number(maxSteps));
    LayOutTexts();

    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

// The designed places suit the dialog's own font; in a font with wider
// glyphs (a fallback font's digits are often full width) a text is moved
// right as far as the text before it needs. When the counts line then runs
// out of its box, its texts are packed from its start instead, and when
// even that does not fit, its captions take a smaller font.
void TJumpPara::LayOutTexts() {
    Label1->adjustSize();
    const int captionEnd = Label1->x() + QFontMetrics(Label1->font()).horizontalAdvance(Label1->text());
    const int chosenWidth = CountWidth(lbCurSelePosition->font(), TrackBar1->maximum());
    const int chosenHeight = LineHeight(lbCurSelePosition->font(), Label1->height());
    // On the line of its caption: both are centred on the same middle.
    lbCurSelePosition->setGeometry(std::max(136, captionEnd + kRoom), Label1->y() + (Label1->height() - chosenHeight) / 2,
                                   std::max(60, chosenWidth), chosenHeight);

    // The reminder of the Ctrl click ends before the OK button: in a smaller
    // font when it must, and on two lines when even that is too wide.
    const int room = BitBtn1->x() - kRoom - Label6->x();
    const int ownPixels = Label6->font().pixelSize();  // -1 for a font sized in points
    for (int pixels = ownPixels > 0 ? ownPixels : QFontInfo(Label6->font()).pixelSize(); pixels > kSmallestPixels;
         --pixels) {
        if (QFontMetrics(Label6->font()).horizontalAdvance(Label6->text()) <= room) break;
        QFont f = Label6->font();
        f.setPixelSize(pixels - 1);
        Label6->setFont(f);
    }
    Label6->setWordWrap(QFontMetrics(Label6->font()).horizontalAdvance(Label6->text()) > room);
    if (Label6->wordWrap())
        Label6->setGeometry(Label6->x(), Label6->y(), room, Label6->heightForWidth(room));
    else
        Label6->adjustSize();

    for (int pixels = kCaptionPixels; pixels >= kSmallestPixels; --pixels) {
        if (pixels != kCaptionPixels) {
            for (QToolButton* b : {SpeedButton2, SpeedButton1}) {
                QFont f = b->font();
                f.setPixelSize(pixels);
                b->setFont(f);
            }
        }
        if (PlaceCountsLine(true) || PlaceCountsLine(false)) return;
    }
}

// Lays out "caption count caption count" from the left, each text at its
// designed place or further right, or each right after the text before;
// false when the last count runs past the group box.
bool TJumpPara::PlaceCountsLine(bool keepDesignedPlaces) {
    struct Pair {
        QToolButton* caption;
        int captionX;
        QLabel* count;
        int countX, countWidth;
    };
    const Pair pairs[2] = {{SpeedButton2, 16, lbCurPosition, 116, 22}, {SpeedButton1, 138, lbMaxBu, 236, 40}};
    constexpr int kTop = 80, kHeight = 22, kCaptionWidth = 97, kCaptionPadding = 4;
    int reach = 16 - kRoom;  // where the text before ends
    for (const Pair& p : pairs) {
        const int text = QFontMetrics(p.caption->font()).horizontalAdvance(p.caption->text());
        const int width = std::max(kCaptionWidth, text + 2 * kCaptionPadding);
        const int inset = (width - text) / 2;  // the caption is drawn centred
        const int x = std::max(keepDesignedPlaces ? p.captionX : 0, reach + kRoom - inset);
        p.caption->setGeometry(x, kTop, width, kHeight);
        reach = x + width - inset;  // rounded up when the halves differ

        const int digits = QFontMetrics(p.count->font()).horizontalAdvance(p.count->text());
        const int height = LineHeight(p.count->font(), kHeight);  // centred on the captions' middle
        const int countX = std::max(keepDesignedPlaces ? p.countX : 0, reach + kRoom);
        p.count->setGeometry(countX, kTop + (kHeight - height) / 2,
                             std::max(keepDesignedPlaces ? p.countWidth : 0, digits), height);
        reach = countX + digits;
    }
    return reach <= GroupBox1->width() - kBoxMargin;
}

void TJumpPara::TrackBar1Change() { lbCurSelePosition->setText(QString::number(TrackBar1->value())); }

void TJumpPara::SpeedButton1Click() { TrackBar1->setValue(lbMaxBu->text().toInt()); }

void TJumpPara::SpeedButton2Click() { TrackBar1->setValue(lbCurPosition->text().toInt()); }

void TJumpPara::BitBtn1Click() {
    if (stepResult_ != nullptr) *stepResult_ = TrackBar1->value();
    accept();
}

void TJumpPara::BitBtn2Click() {
    if (stepResult_ != nullptr) *stepResult_ = -1;
    QDialog::reject();
}

// Esc is the Cancel button.
void TJumpPara::reject() { BitBtn2Click(); }
