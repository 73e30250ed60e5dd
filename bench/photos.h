#pragma once

#include "imaging/imageman.h"

#include <QImage>
#include <QRandomGenerator>
#include <QStringList>
#include <cmath>

// The generated photos every benchmark converts.
namespace bench {

inline QImage photo(int seed, int width = 1600, int height = 1200)
{
    // Smooth shading with grain and edges: close enough to a photograph for
    // the encoders' sake. Written as PNG by our encoder they hold some 13 bits
    // a pixel, where camera photos hold 10 to 16: no easier to compress.
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random{quint32(seed)};
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int grain = int(random.bounded(24));
            line[x] = qRgb((x / 7 + seed * 13 + grain) % 256,
                           int(128 + 100 * std::sin((x + y + seed) / 90.0)) + grain / 2,
                           (y / 5 + grain) % 256);
        }
    }
    return picture;
}

// Writes `count` photos of 1600 x 1200 as JPEG quality 90 into `folder`
// (photo000.jpg on): eight different pictures, each file encoded on its own.
// Their names, or none when one could not be written.
inline QStringList writePhotos(const QString &folder, int count)
{
    QStringList names;
    imaging::ImageMan maker;
    maker.setJpegQuality(90);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("photo%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        if (i < 8 && !maker.setImage(photo(i)))
            return {};
        if (!maker.saveImage(folder + '/' + name))
            return {};
        names << name;
    }
    return names;
}

} // namespace bench
