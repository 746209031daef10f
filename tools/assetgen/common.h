// Shared helpers of the asset generator: fonts, colours, pixel clean-up and
// file output. Everything here is deterministic: the same build of the
// generator writes the same bytes every time.
#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace assetgen {

// Font family used for every Chinese text of the artwork.
inline const char* kCjkFamily = "WenQuanYi Zen Hei";

// Loads the CJK font from its installed file when fontconfig has not
// registered it under the expected family name.
inline bool EnsureCjkFont() {
    if (QFontDatabase::families().contains(QString::fromUtf8(kCjkFamily))) return true;
    const char* files[] = {"/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
                           "/usr/share/fonts/wqy-zenhei/wqy-zenhei.ttc"};
    for (const char* f : files) {
        if (QFile::exists(f) && QFontDatabase::addApplicationFont(f) >= 0) break;
    }
    return QFontDatabase::families().contains(QString::fromUtf8(kCjkFamily));
}

inline QFont CjkFont(int pixelSize, bool bold = false) {
    QFont f(QString::fromUtf8(kCjkFamily));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

inline QColor Mix(const QColor& a, const QColor& b, double t) {
    auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(m(a.red(), b.red()), m(a.green(), b.green()), m(a.blue(), b.blue()));
}

// Small linear congruential generator, so noise never depends on the
// platform's random functions.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform in [0, 1).
    double Unit() { return (Next() >> 8) / 16777216.0; }
    // Uniform in [-1, 1).
    double Signed() { return Unit() * 2.0 - 1.0; }

private:
    uint32_t state_;
};

// A fresh transparent picture to draw on.
inline QImage Canvas(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// Turns an anti-aliased drawing on a transparent canvas into an opaque
// 24-bit picture whose see-through parts carry one key colour: pixels at
// least half covered keep their own colour, the others become the key.
// No pixel mixes with the key, so no coloured fringe appears on the board.
inline QImage KeyedFromAlpha(const QImage& drawn, QRgb key) {
    QImage src = drawn.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB888);
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            QRgb p = src.pixel(x, y);
            if (qAlpha(p) < 128) {
                out.setPixel(x, y, key);
            } else {
                QRgb c = qRgb(qRed(p), qGreen(p), qBlue(p));
                if (c == key) c = qRgb(qRed(p), qGreen(p), qBlue(p) ^ 1);
                out.setPixel(x, y, c);
            }
        }
    }
    return out;
}

// Maps every pixel to the nearest palette entry and returns an indexed
// picture with exactly that palette.
inline QImage Quantize(const QImage& src, const std::vector<QRgb>& palette) {
    QImage in = src.convertToFormat(QImage::Format_RGB32);
    QImage out(in.size(), QImage::Format_Indexed8);
    out.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    for (int y = 0; y < in.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < in.width(); ++x) {
            QRgb p = in.pixel(x, y);
            int best = 0;
            long bestD = -1;
            for (size_t i = 0; i < palette.size(); ++i) {
                long dr = qRed(p) - qRed(palette[i]);
                long dg = qGreen(p) - qGreen(palette[i]);
                long db = qBlue(p) - qBlue(palette[i]);
                long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
                if (bestD < 0 || d < bestD) {
                    bestD = d;
                    best = static_cast<int>(i);
                }
            }
            line[x] = static_cast<uchar>(best);
        }
    }
    return out;
}

// Output folder handling and a record of what was written.
class Writer {
public:
    explicit Writer(QString root) : root_(std::move(root)) {}

    bool SaveImage(const QString& relPath, const QImage& img) {
        QString path = Prepare(relPath);
        QImage toSave = img;
        toSave.setText(QString(), QString());  // no text chunks
        if (!toSave.save(path, "PNG", 9)) return Fail(path);
        return Done(path);
    }

    bool SaveBytes(const QString& relPath, const QByteArray& bytes) {
        QString path = Prepare(relPath);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return Fail(path);
        if (f.write(bytes) != bytes.size()) return Fail(path);
        f.close();
        return Done(path);
    }

    int failures() const { return failures_; }
    int written() const { return written_; }

private:
    QString Prepare(const QString& relPath) {
        QString path = root_ + "/" + relPath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        return path;
    }
    bool Fail(const QString& path) {
        std::fprintf(stderr, "make_assets: cannot write %s\n", path.toLocal8Bit().constData());
        ++failures_;
        return false;
    }
    bool Done(const QString& path) {
        std::printf("wrote %s\n", path.toLocal8Bit().constData());
        ++written_;
        return true;
    }

    QString root_;
    int failures_ = 0;
    int written_ = 0;
};

}  // namespace assetgen
