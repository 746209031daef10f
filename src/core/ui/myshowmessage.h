// The game's own message box: a borderless modal box with "确定" and, for a
// question, "取消".
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace jq {
class ImageControl;
}

class TfmwMyShowMessage : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TfmwMyShowMessage(QWidget* owner = nullptr);
    ~TfmwMyShowMessage() override;

    QPushButton* BitBtn1;        // "确定", the default button
    QLabel* StaticText1;         // the message
    QFrame* Bevel1;              // frame around the whole box
    jq::ImageControl* Image1;    // document icon
    jq::ImageControl* Image2;    // title picture, transparent
    QFrame* Bevel2;              // frame around pictures and text
    QPushButton* BitBtn2;        // "取消", hidden unless asked for

    // Tests: when set, it runs with every box once the box is up, inside its
    // modal loop, and may read it and press a button.
    inline static std::function<void(TfmwMyShowMessage&)> shownHook;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
};

namespace jq {

// Shows `gbText` (GB2312, line breaks and blanks as they stand) in a fresh
// box and waits for a button: 1 for "确定", 2 for "取消". Any `withCancel`
// other than 0 shows "取消". Off the main thread the notice is handed to the
// main thread and the call returns at once: 1 for a notice, 2 (a refusal)
// for a question.
int MyShowMessage(const std::string& gbText, int withCancel);

}  // namespace jq
