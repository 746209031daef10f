// The end-of-battle result panel "战役结果": a picture and two lines for a
// won, lost or drawn battle. It closes by itself after a while, or on a click
// once half a second has passed.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QString>
#include <functional>

class QLabel;
class QTimer;

namespace jq {
struct GameState;
}

// One of the three panels: a frame that reports a left click anywhere on it
// (its pictures and texts pass their clicks on to it).
class ResultPanelFrame : public QFrame {
    Q_OBJECT
public:
    explicit ResultPanelFrame(QWidget* parent = nullptr);
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

class TfmShowResult : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 356;
    static constexpr int kHeight = 261;
    static constexpr int kMargin = 4;

    // `kind`: 0 won, 1 lost, anything else drawn (seen from seats 0 and 2).
    // `mode` 1 is a LAN host's panel, which also closes as soon as the LAN
    // state of `game` lies in 16..31. Pictures come from `imageFolder`, or
    // from the artwork folder when it is empty; missing ones are left out.
    // The timer starts at once.
    TfmShowResult(QWidget* owner, int kind, int mode, const jq::GameState* game = nullptr,
                  const QString& imageFolder = QString());

    int Mode() const { return mode_; }
    // Whether the panel has closed (it does nothing more afterwards).
    bool Closed() const { return closed_; }

    QTimer* Timer1 = nullptr;  // 10 ms
    int timer1Tag = 0;         // ticks counted since the panel was made
    ResultPanelFrame* PanelWin = nullptr;
    ResultPanelFrame* PanelLose = nullptr;
    ResultPanelFrame* PanelPeace = nullptr;

    // One tick of Timer1; tests may call it with the timer stopped.
    void Timer1Timer();
    void PanelWinClick();
    void PanelLoseClick();
    void PanelPeaceClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    ResultPanelFrame* BuildPanel(const QString& name, int kind, const QString& imageFolder);
    void PanelClick();
    void ClosePanel();

    int mode_ = 0;
    const jq::GameState* game_ = nullptr;
    bool closed_ = false;
};

// Shows the result panel for `result` (0 won, 1 lost, 2 drawn). Modeless
// (a LAN host's panel): returns at once. Otherwise the call returns when the
// panel has closed; other events, the main timer's ticks included, are
// handled meanwhile. Either way the panel is deleted once it has closed.
void ShowResultPanel(QWidget* parent, const jq::GameState& g, int result, bool modeless,
                     const QString& imageFolder = QString());
