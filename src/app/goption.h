// The options dialog "游戏设置": edits the settings part of the options record.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

namespace jq {
struct GameState;
}

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

// A 49 x 49 thumbnail of one board background: the tile repeated from the
// top-left corner, with a one-pixel outline (red when marked, else black).
class BackgroundThumb : public QWidget {
    Q_OBJECT
public:
    BackgroundThumb(const QPixmap& tile, QWidget* parent = nullptr);
    void SetMarked(bool marked);
    bool IsMarked() const { return marked_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap tile_;
    bool marked_ = false;
    bool pressed_ = false;
};

class Twoption : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBackgroundCount = 10;
    static constexpr int kNameBytes = 21;  // longest name, in GB2312 bytes
    using Tiles = std::array<QPixmap, kBackgroundCount>;

    // Fills the controls from g.optionsRecord. The dialog writes the record
    // directly: a thumbnail click at once, everything else on OK.
    Twoption(jq::GameState& g, const Tiles& tiles, QWidget* parent = nullptr);

    // Loads "bg0.png" .. "bg9.png" from a folder (empty: the artwork folder);
    // a missing picture stays null and its thumbnail shows a plain fill.
    static Tiles LoadBackgroundTiles(const QString& folder);

    // Outlines the thumbnail of `index` (0..9) in red and the others in black;
    // an index outside 0..9 leaves all of them black.
    void MarkBackground(int index);

private slots:
    void BitBtn1Click();
    void ImageClick(int index);

private:
    void BuildControls(const Tiles& tiles);
    void FormCreate();
    void LimitName(QLineEdit* edit);

    jq::GameState& g_;
    QTabWidget* pageControl_ = nullptr;
    std::array<QLineEdit*, 4> edits_{};
    QCheckBox* checkBox1_ = nullptr;
    std::array<BackgroundThumb*, kBackgroundCount> thumbs_{};
    std::array<QRadioButton*, 3> levelButtons_{};
    QCheckBox* cbStudyKbt_ = nullptr;
    QSlider* tbsf1_ = nullptr;
    QSlider* tbsf2_ = nullptr;
    QSlider* tbsf3_ = nullptr;
    QSlider* tbAutoStep_ = nullptr;
    QRadioButton* radioButton4_ = nullptr;
    QRadioButton* radioButton5_ = nullptr;
    QSlider* tbMoveShortTime_ = nullptr;
    QSlider* tbMoveThinkTime_ = nullptr;
    QSlider* tbGetReadyTime_ = nullptr;
    QSlider* tbCutLinkTime_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
    QPushButton* bitBtn2_ = nullptr;
};

// The "游戏设置" command: shows the options dialog modally. After OK it lets
// the screen settle, calls `applyBoardBackground` when the background index
// differs from its value before the dialog, shows the level in status panel
// 1, recomputes the style coefficients and saves the record. Returns true
// for OK. Background pictures come from `imageFolder`, or from the artwork
// folder when it is empty (see Twoption::LoadBackgroundTiles).
bool RunOptionsDialog(QWidget* parent, jq::GameState& g, const std::function<void()>& applyBoardBackground,
                      const QString& imageFolder = QString());
