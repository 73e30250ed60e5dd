#pragma once

#include <QImage>
#include <QRandomGenerator>
#include <cmath>

// The generated 1600 x 1200 photos every benchmark converts.
namespace bench {

inline QImage photo(int seed)
{
    // Smooth shading with grain and edges: close enough to a photograph for
    // the encoders' sake.
    QImage picture(1600, 1200, QImage::Format_RGB32);
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

} // namespace bench
