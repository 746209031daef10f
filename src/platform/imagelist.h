// A list of equal-sized pictures, such as the board's background tiles.
#pragma once

#include <QImage>
#include <QSize>
#include <vector>

namespace jq {

class ImageList {
public:
    ImageList(int cellWidth, int cellHeight);

    // Cuts a strip into cells, left to right and then row by row; a part
    // cell at the right or bottom edge is left out.
    static ImageList FromStrip(const QImage& strip, int cellWidth, int cellHeight);

    // Adds a picture as the next cell: its top-left part of the cell size,
    // white where it is smaller. Returns its number.
    int Add(const QImage& picture);

    int Count() const { return static_cast<int>(cells_.size()); }
    QSize CellSize() const { return cellSize_; }

    // Picture n as a bitmap of the cell size; a null image when there is no
    // picture n.
    QImage Bitmap(int n) const;

private:
    QSize cellSize_;
    std::vector<QImage> cells_;
};

}  // namespace jq
