#include "platform/imagecontrol.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace jq {

namespace {

PointerEvent ToPointerEvent(const QMouseEvent& event, Qt::MouseButton button) {
    PointerEvent pe;
    const QPoint pos = event.position().toPoint();
    pe.x = pos.x();
    pe.y = pos.y();
    pe.button = button;
    pe.buttons = event.buttons();
    pe.modifiers = event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    return pe;
}

}  // namespace

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    if (parent != nullptr) {
        show();  // a control is visible unless hidden, also when added late
    }
}

namespace {
constexpr QImage::Format kSurfaceFormat = QImage::Format_ARGB32_Premultiplied;
}  // namespace

void ImageControl::SetPicture(const QImage& picture) {
    picture_ = picture.isNull() ? QImage() : picture.convertToFormat(kSurfaceFormat);
    Changed();
}

QImage& ImageControl::Surface() {
    if (picture_.isNull() && width() > 0 && height() > 0) {
        picture_ = QImage(width(), height(), kSurfaceFormat);
        picture_.fill(Qt::white);
    }
    return picture_;
}

void ImageControl::Changed() {
    keyedStale_ = true;
    if (!repaintQueued_) {
        repaintQueued_ = true;
        update();
    }
}

void ImageControl::CopyRect(const QRect& destRect, const QImage& source, const QRect& sourceRect) {
    QImage& surface = Surface();
    if (surface.isNull() || source.isNull() || destRect.isEmpty() || sourceRect.isEmpty()) {
        return;
    }
    {
        QPainter painter(&surface);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(destRect, source, sourceRect);
    }
    Changed();
}

void ImageControl::CopyRect(const QRect& destRect, const ImageControl& source, const QRect& sourceRect) {
    if (&source == this) {
        const QImage copy = picture_;  // overlapping copy within one picture
        CopyRect(destRect, copy, sourceRect);
        return;
    }
    CopyRect(destRect, source.picture_, sourceRect);
}

void ImageControl::SetBrushPattern(const QImage& pattern) {
    pattern_ = pattern.isNull() ? QImage() : pattern.convertToFormat(kSurfaceFormat);
}

void ImageControl::SetBrushColor(const QColor& color) {
    brushColor_ = color;
}

void ImageControl::FillRect(const QRect& rect) {
    QImage& surface = Surface();
    if (surface.isNull() || rect.isEmpty()) {
        return;
    }
    {
        QPainter painter(&surface);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setBrushOrigin(0, 0);
        if (pattern_.isNull()) {
            painter.fillRect(rect, brushColor_);
        } else {
            painter.fillRect(rect, QBrush(pattern_));
        }
    }
    Changed();
}

QRgb ImageControl::Pixel(int x, int y) const {
    if (!picture_.valid(x, y)) {
        return kNoPixel;
    }
    return picture_.pixel(x, y);
}

void ImageControl::SetPixel(int x, int y, QRgb color) {
    QImage& surface = Surface();
    if (!surface.valid(x, y)) {
        return;
    }
    surface.setPixel(x, y, color | 0xFF000000u);
    Changed();
}

void ImageControl::SetTransparent(bool on) {
    if (transparent_ != on) {
        transparent_ = on;
        Changed();
    }
}

void ImageControl::paintEvent(QPaintEvent* event) {
    repaintQueued_ = false;
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect area = event->rect();
    if (!transparent_) {
        painter.drawImage(area, picture_, area);
        return;
    }
    if (keyedStale_) {
        keyed_ = picture_;
        keyed_.detach();
        const QRgb key = reinterpret_cast<const QRgb*>(picture_.constScanLine(picture_.height() - 1))[0];
        for (int y = 0; y < keyed_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(keyed_.scanLine(y));
            for (int x = 0; x < keyed_.width(); ++x) {
                if (line[x] == key) {
                    line[x] = 0;
                }
            }
        }
        keyedStale_ = false;
    }
    painter.drawImage(area, keyed_, area);
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    clickArmed_ = event->button() == Qt::LeftButton;
    if (onMouseDown) {
        onMouseDown(*this, ToPointerEvent(*event, event->button()));
    }
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) {
        onMouseMove(*this, ToPointerEvent(*event, Qt::NoButton));
    }
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = clickArmed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    clickArmed_ = false;
    if (click && onClick) {
        onClick(*this);
    }
}

}  // namespace jq
