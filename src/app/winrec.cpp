#include "app/winrec.h"

#include <QDir>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "core/options.h"
#include "core/qipan.h"
#include "platform/artwork.h"
#include "platform/toolkit.h"
#include "play/result_rules.h"

namespace {

const QColor kCream(255, 251, 240);
const QColor kNavy(0, 0, 128);
const QColor kSilver(192, 192, 192);

// The table's columns: the level's name, 85 pixels, and four counters of 75
// each. That is wider than the dialog: the table spans the dialog inside its
// bevel and the last column shows only the part that fits.
constexpr int kTableX = 2;
constexpr int kTableY = 54;
constexpr int kLevelColumnWidth = 85;
constexpr int kCounterColumnWidth = 75;
constexpr int kTableWidth = Twr::kWidth - 2 * kTableX;

int ColumnX(int column) { return column == 0 ? 0 : kLevelColumnWidth + (column - 1) * kCounterColumnWidth; }

// The part of a column that lies inside the table.
int VisibleWidth(int column) {
    const int width = column == 0 ? kLevelColumnWidth : kCounterColumnWidth;
    return std::min(width, kTableWidth - ColumnX(column));
}
constexpr int kHeaderHeight = 22;
constexpr int kRowHeight = 30;

constexpr const char* kHeaderTexts[5] = {"级别", "累计", "胜利", "失败", "和棋"};
constexpr const char* kRowTexts[3] = {"初 级", "中 级", "高 级"};
constexpr const char* kCounterNames[3][4] = {{"lbtotb", "lbwinb", "lblostb", "lbpeaceb"},
                                             {"lbtotm", "lbwinm", "lblostm", "lbpeacem"},
                                             {"lbtota", "lbwina", "lblosta", "lbpeacea"}};

QPixmap Picture(const QString& folder, const QString& name) {
    const QImage image = folder.isEmpty() ? jq::LoadArtwork(name) : QImage(QDir(folder).filePath(name));
    return QPixmap::fromImage(image);
}

QFont UiFont(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void SetTextColor(QWidget* w, const QColor& color) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, color);
    w->setPalette(palette);
}

}  // namespace

Twr::Twr(jq::GameState& g, QWidget* parent, const QString& imageFolder)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), g_(g) {
    setObjectName(QStringLiteral("wr"));
    setWindowTitle(QStringLiteral("棋战成绩"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kCream);
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    BuildControls(imageFolder);
    FormCreate();
}

void Twr::BuildControls(const QString& imageFolder) {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Panel);
    Bevel1->setFrameShadow(QFrame::Raised);
    Bevel1->setLineWidth(2);
    Bevel1->setGeometry(0, 0, kWidth, kHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Picture(imageFolder, QStringLiteral("winrec_icon.png")));
    Image1->setGeometry(14, 10, 32, 32);

    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(Picture(imageFolder, QStringLiteral("winrec_title.png")));
    Image2->setGeometry(52, 11, 93, 31);

    // The shadow first, so the name itself lies on top of it.
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(UiFont(16, true));
    SetTextColor(Label2, kSilver);
    Label2->setGeometry(171, 14, 170, 24);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(UiFont(16, true));
    SetTextColor(Label1, kNavy);
    Label1->setGeometry(170, 14, 170, 24);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(kTableX, kTableY, kTableWidth, kHeaderHeight + kLevels * kRowHeight + 6);

    HeaderControl1 = new QFrame(Panel1);
    HeaderControl1->setObjectName(QStringLiteral("HeaderControl1"));
    HeaderControl1->setGeometry(0, 0, kTableWidth, kHeaderHeight);
    for (int i = 0; i < 5; ++i) {
        auto* section = new QLabel(QString::fromUtf8(kHeaderTexts[i]), HeaderControl1);
        section->setFrameShape(QFrame::Panel);
        section->setFrameShadow(QFrame::Raised);
        section->setAlignment(Qt::AlignCenter);
        section->setFont(UiFont(13));
        section->setGeometry(ColumnX(i), 0, VisibleWidth(i), kHeaderHeight);
    }

    for (int level = 0; level < kLevels; ++level) {
        const int y = kHeaderHeight + 3 + level * kRowHeight;
        rowCaptions[level] = new QLabel(QString::fromUtf8(kRowTexts[level]), Panel1);
        rowCaptions[level]->setAlignment(Qt::AlignCenter);
        rowCaptions[level]->setFont(UiFont(14, true));
        SetTextColor(rowCaptions[level], kNavy);
        rowCaptions[level]->setGeometry(0, y, kLevelColumnWidth, kRowHeight);
        for (int column = 0; column < kColumns; ++column) {
            auto* label = new QLabel(Panel1);
            label->setObjectName(QString::fromLatin1(kCounterNames[level][column]));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setFont(UiFont(14));
            label->setGeometry(ColumnX(column + 1), y, VisibleWidth(column + 1) - 8, kRowHeight);
            counters[level][column] = label;
        }
    }

    Button1 = new QPushButton(QStringLiteral("重新计分"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(88, 192, 84, 28);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &Twr::Button1Click);

    BitBtn1 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(186, 192, 84, 28);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void Twr::FormCreate() {
    const QString name = jq::QtFromGb(jq::PlayerName(g_.optionsRecord, 0));
    Label1->setText(name);
    Label2->setText(name);
    for (int level = 0; level < kLevels; ++level)
        for (int column = 0; column < kColumns; ++column)
            counters[level][column]->setText(
                QString::number(jq::WinRecordCounter(g_.optionsRecord, level, column)));
}

void Twr::Button1Click() {
    jq::ResetWinRecord(g_.optionsRecord);
    accept();
}

void ShowWinRecordDialog(QWidget* parent, jq::GameState& g, const QString& imageFolder) {
    QPointer<Twr> dialog = new Twr(g, parent, imageFolder);
    dialog->exec();
    delete dialog.data();
    jq::SaveOptions(g);
}
