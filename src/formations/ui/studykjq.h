// The formation-study dialog "阵法学习": the player picks any file in a
// folder of battle records, and the formation database "zffile" is built
// from those records and written into the same folder.
#pragma once

#include <QDialog>

class QFileDialog;
class QFrame;
class QLabel;
class QPushButton;

namespace jq {
class GameUi;
}

class TStudyKjqs : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 356;
    static constexpr int kHeight = 227;

    // Boxes go through `ui` (the main window).
    explicit TStudyKjqs(jq::GameUi& ui, QWidget* owner = nullptr);

    QLabel* Label1 = nullptr;  // the title
    QLabel* Label2 = nullptr;  // its shadow
    QLabel* Label3 = nullptr;  // steps 1..4
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;  // "注意："
    QLabel* Label7 = nullptr;  // notes 1, 2
    QLabel* Label9 = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // "确定": study, then close
    QPushButton* BitBtn2 = nullptr;  // "否": close
    QFileDialog* OpenDialog1 = nullptr;

    // Asks for a file, studies its folder and reports.
    void BitBtn1Click();

private:
    // Fits every text into the dialog in the font it is shown in.
    void LayOutTexts();

    jq::GameUi& ui_;
};
