#include "app/goption.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <memory>

#include "core/options.h"
#include "core/qipan.h"
#include "core/text.h"
#include "platform/artwork.h"

namespace {

const QColor kCream(255, 251, 240);
const QColor kMissingTile(200, 200, 200);
constexpr int kThumbSize = 49;

QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

QString FromGb(const std::string& gb) { return QString::fromStdString(jq::Utf8FromGb(gb)); }

std::string ToGb(const QString& text) { return jq::Gb(text.toStdString()); }

QLabel* Note(const char* text, QWidget* parent) {
    auto* label = new QLabel(Ui(text), parent);
    label->setWordWrap(true);
    return label;
}

QSlider* MakeSlider(const char* name, int max, int tick, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(0, max);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(tick);
    return slider;
}

// A tab page: its group box (or frame) on top, the note below.
QWidget* MakePage(QWidget* body, const char* note) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    body->setParent(page);
    layout->addWidget(body);
    layout->addWidget(Note(note, page));
    layout->addStretch(1);
    return page;
}

// The text of a name field after the editor's limit: whole characters only.
QString CutToGbBytes(QString text, size_t maxBytes) {
    while (!text.isEmpty() && ToGb(text).size() > maxBytes) {
        text.chop(text.size() >= 2 && text.at(text.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------

BackgroundThumb::BackgroundThumb(const QPixmap& tile, QWidget* parent) : QWidget(parent), tile_(tile) {
    setFixedSize(kThumbSize, kThumbSize);
    setCursor(Qt::PointingHandCursor);
}

void BackgroundThumb::SetMarked(bool marked) {
    marked_ = marked;
    update();
}

void BackgroundThumb::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (tile_.isNull()) {
        p.fillRect(rect(), kMissingTile);
    } else {
        p.fillRect(rect(), QBrush(tile_));
    }
    p.setPen(QPen(marked_ ? QColor(255, 0, 0) : QColor(0, 0, 0), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, width() - 1, height() - 1);
}

void BackgroundThumb::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
}

void BackgroundThumb::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

// ---------------------------------------------------------------------------

Twoption::Twoption(jq::GameState& g, const Tiles& tiles, QWidget* parent) : QDialog(parent), g_(g) {
    setObjectName(QStringLiteral("woption"));
    setWindowTitle(Ui("游戏设置"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(426, 285);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kCream);
    setPalette(pal);
    setAutoFillBackground(true);

    BuildControls(tiles);
    FormCreate();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

Twoption::Tiles Twoption::LoadBackgroundTiles(const QString& folder) {
    Tiles tiles;
    const QDir dir(folder.isEmpty() ? jq::ArtworkFolder() : folder);
    for (int i = 0; i < kBackgroundCount; ++i) {
        const QString path = dir.filePath(QStringLiteral("bg%1.png").arg(i));
        if (QFileInfo::exists(path)) tiles[i].load(path);
    }
    return tiles;
}

void Twoption::BuildControls(const Tiles& tiles) {
    pageControl_ = new QTabWidget(this);
    pageControl_->setObjectName(QStringLiteral("PageControl1"));

    // 棋手
    {
        auto* group = new QGroupBox(Ui("棋手姓名"));
        auto* grid = new QGridLayout(group);
        const char* labels[4] = {"位置1：", "位置2：", "位置3：", "位置4："};
        for (int i = 0; i < 4; ++i) {
            grid->addWidget(new QLabel(Ui(labels[i]), group), i, 0);
            auto* edit = new QLineEdit(group);
            edit->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
            edit->setMaxLength(kNameBytes);
            connect(edit, &QLineEdit::textEdited, this, [this, edit] { LimitName(edit); });
            grid->addWidget(edit, i, 1);
            edits_[i] = edit;
        }
        pageControl_->addTab(MakePage(group, "各棋手的姓名（限10字）。"), Ui("棋手"));
    }

    // 音效
    {
        auto* group = new QGroupBox(Ui("音效"));
        auto* layout = new QVBoxLayout(group);
        checkBox1_ = new QCheckBox(Ui("打开音效"), group);
        checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
        layout->addWidget(checkBox1_);
        pageControl_->addTab(MakePage(group, "下棋的时候发出各种声音。"), Ui("音效"));
    }

    // 棋盘
    {
        auto* frame = new QFrame;
        frame->setFrameShape(QFrame::Box);
        auto* grid = new QGridLayout(frame);
        for (int i = 0; i < kBackgroundCount; ++i) {
            auto* thumb = new BackgroundThumb(tiles[i], frame);
            thumb->setObjectName(QStringLiteral("Image%1").arg(i + 1));
            connect(thumb, &BackgroundThumb::clicked, this, [this, i] { ImageClick(i); });
            grid->addWidget(thumb, i / 5, i % 5);
            thumbs_[i] = thumb;
        }
        pageControl_->addTab(MakePage(frame, "棋盘背景帖图。"), Ui("棋盘"));
    }

    // 级别
    {
        auto* group = new QGroupBox(Ui("游戏级别"));
        auto* layout = new QVBoxLayout(group);
        auto* buttons = new QButtonGroup(group);
        const char* names[3] = {"初级", "中级", "高级"};
        for (int i = 0; i < 3; ++i) {
            auto* radio = new QRadioButton(Ui(names[i]), group);
            radio->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
            buttons->addButton(radio, i);
            layout->addWidget(radio);
            levelButtons_[i] = radio;
        }
        cbStudyKbt_ = new QCheckBox(Ui("记录最新的阵法"), group);
        cbStudyKbt_->setObjectName(QStringLiteral("cbStudyKbt"));
        layout->addWidget(cbStudyKbt_);
        QWidget* page = MakePage(group, "如果你经常下输，不防将级别设低一级。");
        static_cast<QVBoxLayout*>(page->layout())->insertWidget(2, Note("级别设低后，下棋的速度会相应加快。", page));
        pageControl_->addTab(page, Ui("级别"));
    }

    // 棋风
    {
        auto* group = new QGroupBox(Ui("棋风"));
        auto* grid = new QGridLayout(group);
        tbsf1_ = MakeSlider("tbsf1", jq::kStyleSliderMax, 1, group);
        tbsf2_ = MakeSlider("tbsf2", jq::kStyleSliderMax, 1, group);
        tbsf3_ = MakeSlider("tbsf3", jq::kStyleSliderMax, 1, group);
        grid->addWidget(new QLabel(Ui("强攻系数（sf1）"), group), 0, 0);
        grid->addWidget(tbsf1_, 0, 1);
        grid->addWidget(new QLabel(Ui("小心程度（sf2）"), group), 1, 0);
        grid->addWidget(tbsf2_, 1, 1);
        grid->addWidget(new QLabel(Ui("防守重要（sf3）"), group), 2, 0);
        grid->addWidget(tbsf3_, 2, 1);
        pageControl_->addTab(MakePage(group, "下棋的风格。"), Ui("棋风"));
    }

    // 演播
    {
        auto* group = new QGroupBox(Ui("自动演播时间间隔"));
        auto* grid = new QGridLayout(group);
        tbAutoStep_ = MakeSlider("tbAutoStep", jq::kAutoPlayIntervalMax, 5, group);
        tbAutoStep_->setPageStep(12);
        grid->addWidget(new QLabel(Ui("每两步之间间隔的秒数："), group), 0, 0, 1, 2);
        grid->addWidget(tbAutoStep_, 1, 0);
        grid->addWidget(new QLabel(Ui("(6秒)"), group), 1, 1);
        pageControl_->addTab(MakePage(group, "用于自动演播，最长6秒。"), Ui("演播"));
    }

    // 网战
    {
        auto* group = new QGroupBox(Ui("局域网战参数"));
        auto* grid = new QGridLayout(group);
        grid->addWidget(new QLabel(Ui("行棋方向:"), group), 0, 0);
        auto* directions = new QButtonGroup(group);
        auto* directionRow = new QHBoxLayout;
        radioButton4_ = new QRadioButton(Ui("逆时针"), group);
        radioButton4_->setObjectName(QStringLiteral("RadioButton4"));
        radioButton5_ = new QRadioButton(Ui("顺时针"), group);
        radioButton5_->setObjectName(QStringLiteral("RadioButton5"));
        directions->addButton(radioButton4_);
        directions->addButton(radioButton5_);
        directionRow->addWidget(radioButton4_);
        directionRow->addWidget(radioButton5_);
        directionRow->addStretch(1);
        grid->addLayout(directionRow, 0, 1, 1, 2);

        tbMoveShortTime_ = MakeSlider("tbMoveShortTime", jq::kNetMinMoveIntervalMax, 1, group);
        tbMoveThinkTime_ = MakeSlider("tbMoveThinkTime", jq::kNetMoveTimeMax, 6, group);
        tbGetReadyTime_ = MakeSlider("tbGetReadyTime", jq::kNetDeployTimeMax, 8, group);
        tbCutLinkTime_ = MakeSlider("tbCutLinkTime", jq::kNetDisconnectTimeMax, 12, group);
        struct Row {
            const char* label;
            QSlider* slider;
            const char* end;
        };
        const Row rows[4] = {{"两步棋最短间隔:", tbMoveShortTime_, "(10秒)"},
                             {"每步棋思考时长:", tbMoveThinkTime_, "(60秒)"},
                             {"允许布阵时长:", tbGetReadyTime_, "(80秒)"},
                             {"判定断线时长:", tbCutLinkTime_, "(120秒)"}};
        for (int i = 0; i < 4; ++i) {
            grid->addWidget(new QLabel(Ui(rows[i].label), group), i + 1, 0);
            grid->addWidget(rows[i].slider, i + 1, 1);
            grid->addWidget(new QLabel(Ui(rows[i].end), group), i + 1, 2);
        }
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        group->setParent(page);
        layout->addWidget(group);
        layout->addStretch(1);
        pageControl_->addTab(page, Ui("网战"));
    }

    bitBtn1_ = new QPushButton(Ui("确定"), this);
    bitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    bitBtn1_->setDefault(true);
    bitBtn2_ = new QPushButton(Ui("取消"), this);
    bitBtn2_->setObjectName(QStringLiteral("BitBtn2"));
    connect(bitBtn1_, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
    connect(bitBtn2_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bitBtn1_);
    buttons->addWidget(bitBtn2_);
    auto* main = new QVBoxLayout(this);
    main->addWidget(pageControl_, 1);
    main->addLayout(buttons);
    pageControl_->setCurrentIndex(0);
}

void Twoption::FormCreate() {
    jq::OptionsRec& o = g_.optionsRecord;
    checkBox1_->setChecked(o.soundOn != 0);
    for (int i = 0; i < 4; ++i) edits_[i]->setText(FromGb(jq::PlayerName(o, i)));

    const int level = (o.aiLevel >= 0 && o.aiLevel <= 2) ? o.aiLevel : 1;
    levelButtons_[level]->setChecked(true);

    // A slider holds no position outside its range: out-of-range values show
    // at the nearest end.
    tbsf1_->setValue(o.styleAttack);
    tbsf2_->setValue(o.styleCaution);
    tbsf3_->setValue(o.styleDefence);
    tbAutoStep_->setValue(o.autoPlayInterval);

    (o.turnDirectionOption == 1 ? radioButton4_ : radioButton5_)->setChecked(true);

    tbMoveShortTime_->setValue(o.netMinMoveIntervalOption);
    tbMoveThinkTime_->setValue(o.netMoveTimeOption);
    tbGetReadyTime_->setValue(o.netDeployTimeOption);
    tbCutLinkTime_->setValue(o.netDisconnectTimeOption);

    cbStudyKbt_->setChecked(o.recordLatestFormations != 0);

    if (o.boardBackground < 0 || o.boardBackground >= kBackgroundCount) o.boardBackground = 0;
    MarkBackground(o.boardBackground);
}

void Twoption::MarkBackground(int index) {
    for (int i = 0; i < kBackgroundCount; ++i) thumbs_[i]->SetMarked(i == index);
}

void Twoption::ImageClick(int index) {
    g_.optionsRecord.boardBackground = index;
    MarkBackground(index);
}

void Twoption::LimitName(QLineEdit* edit) {
    const QString cut = CutToGbBytes(edit->text(), kNameBytes);
    if (cut != edit->text()) edit->setText(cut);
}

void Twoption::BitBtn1Click() {
    jq::OptionsRec& o = g_.optionsRecord;
    o.soundOn = checkBox1_->isChecked() ? 1 : 0;

    // Each name is written with its terminating NUL; the bytes after it are
    // left as they were.
    for (int i = 0; i < 4; ++i) {
        const std::string gb = ToGb(edits_[i]->text());
        const size_t n = std::min(gb.size(), sizeof o.playerNames[i] - 1);
        std::memcpy(o.playerNames[i], gb.data(), n);
        o.playerNames[i][n] = '\0';
    }

    o.aiLevel = levelButtons_[0]->isChecked() ? 0 : levelButtons_[2]->isChecked() ? 2 : 1;
    o.styleAttack = tbsf1_->value();
    o.styleCaution = tbsf2_->value();
    o.styleDefence = tbsf3_->value();
    o.autoPlayInterval = tbAutoStep_->value();
    o.turnDirectionOption = radioButton4_->isChecked() ? 1 : -1;
    o.netMinMoveIntervalOption = tbMoveShortTime_->value();
    o.netMoveTimeOption = tbMoveThinkTime_->value();
    o.netDeployTimeOption = tbGetReadyTime_->value();
    o.netDisconnectTimeOption = tbCutLinkTime_->value();
    o.recordLatestFormations = cbStudyKbt_->isChecked() ? 1 : 0;
}

// ---------------------------------------------------------------------------

bool RunOptionsDialog(QWidget* parent, jq::GameState& g, const std::function<void()>& applyBoardBackground,
                      const QString& imageFolder) {
    const int32_t backgroundBefore = g.optionsRecord.boardBackground;
    auto dialog = std::make_unique<Twoption>(g, Twoption::LoadBackgroundTiles(imageFolder), parent);
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (ok) {
        QCoreApplication::processEvents();
        if (g.optionsRecord.boardBackground != backgroundBefore && applyBoardBackground) applyBoardBackground();
        QCoreApplication::processEvents();
        jq::FinishOptionsDialog(g);
    }
    return ok;
}
