#pragma once

#include "imaging/codecs/aci.h"
#include "imaging/imageman.h"

#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <cstdlib>

// Pictures, bytes and measures shared by the imaging tests.
namespace testpictures {

// A width x height picture whose pixel (x, y) is colour(x, y), painted row
// by row.
template <typename Colour>
QImage painted(int width, int height, Colour colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage picture(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, colour(x, y));
    return picture;
}

// Blocks of 40 different colours: few enough for every palette type to keep
// them exactly, varied enough to show a swapped row or channel.
inline QImage blocks(int width = 126, int height = 179)
{
    return painted(width, height, [](int x, int y) {
        const int k = (x / 9 + 3 * (y / 7)) % 40;
        return qRgb((k % 5) * 60, (k / 5 % 4) * 80, (k / 20) * 200 + 20);
    });
}

// Every pixel its own colour, the same every time for the same seed.
inline QImage noise(int width, int height, quint32 seed = 7)
{
    QRandomGenerator random(seed);
    return painted(width, height, [&](int, int) { return 0xFF000000u | random.bounded(0x1000000u); });
}

// Grey levels only, all 256 of them when the picture is large enough.
inline QImage grey(int width, int height)
{
    return painted(width, height, [](int x, int y) { return qRgb((x * 4 + y) % 256, (x * 4 + y) % 256, (x * 4 + y) % 256); });
}

// The blocks, clear in the left third, half covering in the middle one.
inline QImage translucent(int width, int height)
{
    const QImage opaque = blocks(width, height);
    return painted(width, height, [&](int x, int y) {
        return (opaque.pixel(x, y) & 0xFFFFFFu) | (x < width / 3 ? 0u : x < 2 * width / 3 ? 128u : 255u) << 24;
    }, QImage::Format_ARGB32);
}

// Smooth shading in all three channels with a little grain: tens of
// thousands of colours, as in a photograph.
inline QImage photoLike(int width, int height)
{
    QRandomGenerator random(11);
    return painted(width, height, [&](int x, int y) {
        const int grain = int(random.bounded(7)) - 3;
        const auto level = [grain](double v) { return std::clamp(int(v) + grain, 0, 255); };
        return qRgb(level(255.0 * x / width), level(255.0 * y / height), level(128 + 110 * std::sin((x + 2 * y) / 40.0)));
    });
}

// A colour as it lies on the white ground of a drawing or a metafile.
inline QRgb onWhite(QRgb colour)
{
    const int a = qAlpha(colour);
    const auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
    return qRgb(over(qRed(colour)), over(qGreen(colour)), over(qBlue(colour)));
}

inline QImage onWhite(const QImage &image)
{
    return painted(image.width(), image.height(), [&](int x, int y) { return onWhite(image.pixel(x, y)); });
}

// The picture a drawing keeps: each pixel on white, then the nearest of the
// drawing's 256 colours.
inline QImage reducedToAci(const QImage &image)
{
    return painted(image.width(), image.height(), [&](int x, int y) {
        return imaging::detail::aciColour(imaging::detail::nearestAci(onWhite(image.pixel(x, y))));
    });
}

// The largest, the mean and the mean squared difference of any channel of
// any pixel; a size that differs counts as everything different.
struct Difference {
    int largest = 255;
    double mean = 255;
    double meanSquare = 255 * 255;
    QString text() const { return QStringLiteral("pixels differ by up to %1, %2 on average").arg(largest).arg(mean); }
};

inline Difference difference(const QImage &a, const QImage &b)
{
    Difference d;
    if (a.size() != b.size() || a.isNull())
        return d;
    d.largest = 0;
    qint64 total = 0;
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int channel : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                d.largest = std::max(d.largest, std::abs(channel));
                total += std::abs(channel);
                squares += double(channel) * channel;
            }
        }
    }
    d.mean = double(total) / (3.0 * a.width() * a.height());
    d.meanSquare = squares / (3.0 * a.width() * a.height());
    return d;
}

// Peak signal to noise ratio of `a` against `b` over the three colours, in
// dB; 0 when the sizes differ, 99 when they are equal.
inline double psnr(const QImage &a, const QImage &b)
{
    const double mean = difference(a, b).meanSquare;
    return mean > 0 ? 10 * std::log10(255.0 * 255.0 / mean) : 99;
}

// A file as our reader shows it, in RGB32; one that cannot be read is 0x0.
inline QImage readBack(const QString &path)
{
    imaging::ImageMan imageMan;
    imageMan.setImageFile(path);
    return imageMan.image().convertToFormat(QImage::Format_RGB32);
}

// The colour of each quarter, as the nearest of the four the photos of
// tests/data/orientation show, sampled an eighth of the way in from each
// corner: "red green blue yellow" when upright.
inline QString corners(const QImage &image)
{
    const std::pair<const char *, QRgb> named[] = {
        {"red", qRgb(255, 0, 0)}, {"green", qRgb(0, 255, 0)}, {"blue", qRgb(0, 0, 255)}, {"yellow", qRgb(255, 255, 0)}};
    QStringList seen;
    for (const auto &[fx, fy] : {std::pair{1, 1}, {7, 1}, {1, 7}, {7, 7}}) {
        const QRgb pixel = image.pixel(image.width() * fx / 8, image.height() * fy / 8);
        const auto distance = [pixel](QRgb c) {
            return std::abs(qRed(c) - qRed(pixel)) + std::abs(qGreen(c) - qGreen(pixel)) + std::abs(qBlue(c) - qBlue(pixel));
        };
        seen << QLatin1String(std::min_element(std::begin(named), std::end(named), [&](const auto &a, const auto &b) {
                                  return distance(a.second) < distance(b.second);
                              })->first);
    }
    return seen.join(QLatin1Char(' '));
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The rows of a tab-separated table of cases (tests/data/.../cases.tsv),
// without its comment lines ("#...") and blank lines; empty when the file
// cannot be read.
inline QList<QStringList> tableRows(const QString &path)
{
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            rows << line.split(QLatin1Char('\t'));
    }
    return rows;
}

} // namespace testpictures
