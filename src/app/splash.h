// The splash window: the program's picture, shown while the program starts
// and again as the About window.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QTimer;

namespace jq {
class ImageControl;
}

class TSplashForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = 402;
    static constexpr int kPictureHeight = 252;
    static constexpr int kStartupShowMs = 4000;

    // Borderless, centred on the screen, exactly the size of its picture.
    explicit TSplashForm(QWidget* owner = nullptr);

    jq::ImageControl* Image1 = nullptr;  // the picture; a click closes the window
    QTimer* Timer1 = nullptr;            // 4 s, off unless start-up turns it on
    std::array<QLabel*, 4> labels{};     // Label1 .. Label4, never shown

    void Image1Click();
    void Timer1Timer();

private:
    void FormCreate();
};

// The picture of the splash window: "splash.png" of the pictures folder,
// or a drawn stand-in of the same size when it is missing.
QImage SplashPicture();
