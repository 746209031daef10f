// Before the toolkit's headers, whose "slots" keyword would clash with the
// database's field of that name.
#include "formations/study.h"

#include "formations/ui/studykjq.h"

#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include <algorithm>

#include "platform/toolkit.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kFuchsia(255, 0, 255);

QFont TextFont(int pixelSize, bool bold = false, bool brush = false) {
    QFont font;
    QStringList families = {QStringLiteral("WenQuanYi Zen Hei")};
    if (brush) families.prepend(QStringLiteral("楷体_GB2312"));
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// Clear pixels between "注意：" and the notes beside it.
constexpr int kRoom = 3;
// No text of the dialog is made smaller than this to fit its place.
constexpr int kSmallestPixels = 8;

int TextWidth(const QLabel& label) { return QFontMetrics(label.font()).horizontalAdvance(label.text()); }

// Makes the label's font a pixel smaller at a time until its text fits its width.
void ShrinkToFit(QLabel& label) {
    QFont font = label.font();
    while (TextWidth(label) > label.width() && font.pixelSize() > kSmallestPixels) {
        font.setPixelSize(font.pixelSize() - 1);
        label.setFont(font);
    }
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  const QColor& color, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(font);
    jq::SetFontColor(*label, color);
    return label;
}

}  // namespace

TStudyKjqs::TStudyKjqs(jq::GameUi& ui, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint |
                         Qt::WindowStaysOnTopHint),
      ui_(ui) {
    setObjectName(QStringLiteral("StudyKjqs"));
    setWindowTitle(QStringLiteral("阵法学习"));
    setFixedSize(kWidth, kHeight);

    // The shadow first, so the title lies on top of it.
    Label2 = MakeLabel(this, "Label2", QStringLiteral("阵法学习"), QRect(18, 6, 160, 40), Qt::black,
                       TextFont(32, true, true));
    Label1 = MakeLabel(this, "Label1", QStringLiteral("阵法学习"), QRect(16, 6, 160, 40), kFuchsia,
                       TextFont(32, true, true));
    const QFont text = TextFont(12);
    // The steps run to the end of the line below them.
    constexpr int kStepWidth = kWidth - 8 - 24;
    Label3 = MakeLabel(this, "Label3", QStringLiteral("1）准备一个装有很多KBT文件的目录。"),
                       QRect(24, 52, kStepWidth, 16), kNavy, text);
    Label4 = MakeLabel(this, "Label4", QStringLiteral("2）在该目录内任意指定一个文件。"), QRect(24, 70, kStepWidth, 16),
                       kNavy, text);
    Label5 = MakeLabel(this, "Label5", QStringLiteral("3）学习完毕，将在该目录内生成一个文件（zffile）。"),
                       QRect(24, 88, kStepWidth, 16), kNavy, text);
    Label6 = MakeLabel(this, "Label6", QStringLiteral("4）请手工将该文件拷入游戏的工作目录（work-folder）内。"),
                       QRect(24, 106, kStepWidth, 16), kNavy, text);
    Label8 = MakeLabel(this, "Label8", QStringLiteral("注意："), QRect(24, 128, 40, 16), Qt::red, text);
    Label7 = MakeLabel(this, "Label7", QStringLiteral("1）阵法不要太多，否则学习过程太慢。"), QRect(64, 128, 280, 16),
                       kNavy, text);
    Label9 = MakeLabel(this, "Label9", QStringLiteral("2）尽量使用高手的阵法。"), QRect(64, 146, 280, 16), kNavy,
                       text);

    LayOutTexts();

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 172, kWidth - 16, 4);

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(90, 188, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("否"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(190, 188, 75, 25);
    // Like a dialog's OK button, the first closes the dialog once its work is done.
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = {QStringLiteral("所有文件 (*)"), QStringLiteral("阵法文件 (*.kbt)")};
    OpenDialog1->setNameFilters(filters);
}

// The designed places suit the dialog's own font. In another font the notes
// move right as far as "注意：" needs, and a text wider than its place, which
// runs to the end of the line, takes a smaller font.
void TStudyKjqs::LayOutTexts() {
    Label8->resize(std::max(Label8->width(), TextWidth(*Label8)), Label8->height());
    const int notesX = std::max(Label7->x(), Label8->x() + TextWidth(*Label8) + kRoom);
    for (QLabel* note : {Label7, Label9}) note->setGeometry(notesX, note->y(), kWidth - 8 - notesX, note->height());
    for (QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) ShrinkToFit(*label);
}

void TStudyKjqs::BitBtn1Click() {
    // The battle records are offered first; the dialog starts in the working folder.
    OpenDialog1->selectNameFilter(OpenDialog1->nameFilters().value(1));
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    jq::StudyChosenFolder(ui_, QFile::encodeName(OpenDialog1->selectedFiles().first()).toStdString());
}
