#pragma once

#include <QImage>
#include <QPainter>
#include <cstdlib>

// Test pictures shared by the imaging tests.
namespace testpictures {

// Blocks of 40 different colours: few enough for every palette type to keep
// them exactly, varied enough to show a swapped row or channel.
inline QImage blocks(int width = 126, int height = 179)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int k = (x / 9 + 3 * (y / 7)) % 40;
            picture.setPixel(x, y, qRgb((k % 5) * 60, (k / 5 % 4) * 80, (k / 20) * 200 + 20));
        }
    }
    return picture;
}

// The largest difference of any channel of any pixel; -1 for different sizes.
inline int maxDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return worst;
}

// The mean difference over all channels of all pixels; -1 for different sizes.
inline double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace testpictures
