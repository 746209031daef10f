// A picture control with a retained bitmap: whatever is drawn into it stays
// until the next drawing, and the widget shows it as it stands.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>

namespace jq {

// One pointer event on a control, in the control's own pixels.
struct PointerEvent {
    int x = 0;
    int y = 0;
    Qt::MouseButton button = Qt::NoButton;      // the button pressed (mouse down)
    Qt::MouseButtons buttons = Qt::NoButton;    // buttons held
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;  // Shift, Ctrl, Alt held
};

class ImageControl : public QWidget {
    Q_OBJECT
public:
    // Read outside the picture (the same as a fully see-through black pixel).
    static constexpr QRgb kNoPixel = 0;

    // Created visible (shown with its parent), with an empty picture.
    explicit ImageControl(QWidget* parent = nullptr);

    // The picture as it stands; null until something is drawn or set.
    const QImage& Picture() const { return picture_; }
    // Replaces the picture. See-through parts of a picture with an alpha
    // channel let what lies below show.
    void SetPicture(const QImage& picture);

    // Copies `sourceRect` of `source` onto `destRect` of this picture,
    // replacing what was there (equal sizes copy pixel for pixel; other
    // sizes are scaled).
    void CopyRect(const QRect& destRect, const QImage& source, const QRect& sourceRect);
    void CopyRect(const QRect& destRect, const ImageControl& source, const QRect& sourceRect);

    // The fill: a pattern bitmap tiled from the picture's top-left corner,
    // or, without a pattern, the plain brush colour (white at first).
    void SetBrushPattern(const QImage& pattern);
    void SetBrushColor(const QColor& color);
    void FillRect(const QRect& rect);

    // Single pixels as ARGB; reads outside the picture give kNoPixel. Writes
    // are opaque colours; outside the picture they are ignored.
    QRgb Pixel(int x, int y) const;
    void SetPixel(int x, int y, QRgb color);

    // Transparent: every pixel of the colour of the picture's bottom-left
    // pixel is left out, and what lies below shows through.
    void SetTransparent(bool on);
    bool Transparent() const { return transparent_; }

    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    // Pointer handlers; each receives the control that raised the event.
    std::function<void(ImageControl&, const PointerEvent&)> onMouseDown;
    std::function<void(ImageControl&, const PointerEvent&)> onMouseMove;
    // A left-button press and release on the control, after its mouse down.
    std::function<void(ImageControl&)> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The picture to draw on; created at the control's size, white, when
    // there is none yet.
    QImage& Surface();
    void Changed();

    QImage picture_;
    QImage pattern_;
    QColor brushColor_ = Qt::white;
    bool transparent_ = false;
    QImage keyed_;          // the picture with its key colour left out
    bool keyedStale_ = true;
    bool repaintQueued_ = false;
    bool clickArmed_ = false;
    int tag_ = 0;
};

}  // namespace jq
