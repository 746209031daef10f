// The win/loss record dialog "棋战成绩": the counters of every level of the
// computer player, and "重新计分" to start them again.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QFrame;
class QLabel;
class QPushButton;

namespace jq {
struct GameState;
}

class Twr : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 358;
    static constexpr int kHeight = 238;
    static constexpr int kLevels = 3;
    static constexpr int kColumns = 4;  // total, won, lost, drawn

    // Reads and, on "重新计分", clears g.optionsRecord.winRecord. Pictures
    // come from `imageFolder`, or from the artwork folder when it is empty;
    // missing ones are left out.
    explicit Twr(jq::GameState& g, QWidget* parent = nullptr, const QString& imageFolder = QString());

    QFrame* Bevel1 = nullptr;
    QLabel* Image1 = nullptr;  // icon
    QLabel* Image2 = nullptr;  // title picture
    QLabel* Label1 = nullptr;  // the player's name
    QLabel* Label2 = nullptr;  // the same, one pixel to the right, as its shadow
    QFrame* Panel1 = nullptr;  // the table
    QFrame* HeaderControl1 = nullptr;
    std::array<QLabel*, kLevels> rowCaptions{};
    // [level][column]: lbtotb lbwinb lblostb lbpeaceb, then ..m, then ..a.
    std::array<std::array<QLabel*, kColumns>, kLevels> counters{};
    QPushButton* Button1 = nullptr;  // "重新计分"
    QPushButton* BitBtn1 = nullptr;  // "取消"

    void FormCreate();
    void Button1Click();

private:
    void BuildControls(const QString& imageFolder);

    jq::GameState& g_;
};

// The "棋战成绩" command: shows the record dialog modally, deletes it when it
// closes, then saves the options record, whichever button closed it.
void ShowWinRecordDialog(QWidget* parent, jq::GameState& g, const QString& imageFolder = QString());
