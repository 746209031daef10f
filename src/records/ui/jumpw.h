// The go-to-step dialog "跳转点参数设置": a track bar over the steps of the
// record, the current and the last step, OK and Cancel.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

class TJumpPara : public QDialog {
    Q_OBJECT
public:
    // `stepResult` receives the chosen step on OK, -1 on Cancel; it is left
    // as it is when the dialog is closed otherwise.
    TJumpPara(QWidget* owner, int* stepResult, int maxSteps, int current);

    QGroupBox* GroupBox1 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lbCurSelePosition = nullptr;
    QToolButton* SpeedButton2 = nullptr;  // "目前已复盘步数："
    QLabel* lbCurPosition = nullptr;
    QToolButton* SpeedButton1 = nullptr;  // "当前战役总步数："
    QLabel* lbMaxBu = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // "确定"
    QPushButton* BitBtn2 = nullptr;  // "取消"

    // Places the texts of the dialog by their fonts: on the two lines of
    // step counts each count clear of its caption and of the caption after
    // it, and wide enough for its count (the chosen step for any step of the
    // record); the Ctrl click reminder ends before the OK button. The
    // constructor calls it; call it again after changing a font of a text.
    void LayOutTexts();

    void TrackBar1Change();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void reject() override;

private:
    bool PlaceCountsLine(bool keepDesignedPlaces);

    int* stepResult_ = nullptr;
};
