#include "platform/imagelist.h"

#include <QPainter>
#include <algorithm>

namespace jq {

ImageList::ImageList(int cellWidth, int cellHeight)
    : cellSize_(std::max(cellWidth, 0), std::max(cellHeight, 0)) {}

ImageList ImageList::FromStrip(const QImage& strip, int cellWidth, int cellHeight) {
    ImageList list(cellWidth, cellHeight);
    if (strip.isNull() || list.cellSize_.isEmpty()) {
        return list;
    }
    const int columns = strip.width() / cellWidth;
    const int rows = strip.height() / cellHeight;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            list.cells_.push_back(strip.copy(c * cellWidth, r * cellHeight, cellWidth, cellHeight)
                                      .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
    }
    return list;
}

int ImageList::Add(const QImage& picture) {
    QImage cell(cellSize_, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::white);
    if (!picture.isNull() && !cell.isNull()) {
        QPainter painter(&cell);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, picture);
    }
    cells_.push_back(cell);
    return Count() - 1;
}

QImage ImageList::Bitmap(int n) const {
    if (n < 0 || n >= Count()) {
        return QImage();
    }
    return cells_[static_cast<size_t>(n)];
}

}  // namespace jq
