// Our own PNG encoder and colour reduction beside the imaging library's own,
// on the generated 1600 x 1200 photos every benchmark converts, one thread
// each: the PNG's encoding time and size (both are lossless), and the colour
// reduction's time and error (RMS over the channels, and PSNR) with no
// dithering on either side. The figures at the top of codecs/png.cpp and
// codecs/colourreduction.cpp come from here. A benchmark, not a test.

#include "photos.h"

#include "imaging/codecs/colourreduction.h"
#include "imaging/codecs/png.h"
#include "imaging/deadline.h"
#include "imaging/imageman.h"

#include <Magick++.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <cmath>

namespace {

struct Tally {
    double seconds = 0;
    double bytes = 0;
    double squaredError = 0;
    double samples = 0;

    double rms() const { return std::sqrt(squaredError / samples); }
    double psnr() const { return 10 * std::log10(255.0 * 255.0 / (squaredError / samples)); }
};

double secondsOf(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// The squared differences of every channel of `reduced` from `photo`.
void addError(const QImage &photo, const QImage &reduced, Tally *tally)
{
    const QImage a = photo.convertToFormat(QImage::Format_RGB32);
    const QImage b = reduced.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double dr = qRed(p[x]) - qRed(q[x]), dg = qGreen(p[x]) - qGreen(q[x]),
                         db = qBlue(p[x]) - qBlue(q[x]);
            tally->squaredError += dr * dr + dg * dg + db * db;
        }
    }
    tally->samples += 3.0 * a.width() * a.height();
}

Magick::Image libraryPicture(const QImage &rgb)
{
    Magick::Image picture(unsigned(rgb.width()), unsigned(rgb.height()), "RGB", Magick::CharPixel, rgb.constBits());
    picture.depth(8);
    return picture;
}

// The library's PNG writer at `quality`: its tens are the deflate level, its
// units the row filter (5 adaptive, as libpng chooses per row).
void libraryPng(const QImage &rgb, unsigned quality, Tally *tally)
{
    Magick::Image picture = libraryPicture(rgb);
    picture.quality(quality);
    Magick::Blob blob;
    QElapsedTimer timer;
    timer.start();
    picture.write(&blob, "PNG");
    tally->seconds += secondsOf(timer);
    tally->bytes += double(blob.length());
}

void ourPng(const QImage &rgb, Tally *tally)
{
    const imaging::detail::PngPixels pixels{rgb.constBits(), rgb.width(), rgb.height(), 3, rgb.bytesPerLine()};
    QString reason;
    QElapsedTimer timer;
    timer.start();
    const QByteArray png = imaging::detail::encodePng(pixels, {}, imaging::Deadline(), &reason);
    tally->seconds += secondsOf(timer);
    tally->bytes += double(png.size());
}

// `treeDepth` 0 lets the library choose (8 levels for 256 colours); fewer
// levels classify faster and more coarsely.
void libraryQuantize(const QImage &rgb, unsigned treeDepth, Tally *tally)
{
    Magick::Image picture = libraryPicture(rgb);
    picture.quantizeColors(256);
    picture.quantizeTreeDepth(treeDepth);
    picture.quantizeDither(false);
    QElapsedTimer timer;
    timer.start();
    picture.quantize();
    tally->seconds += secondsOf(timer);
    QImage back(rgb.size(), QImage::Format_RGB888);
    for (int y = 0; y < back.height(); ++y)
        picture.write(0, y, unsigned(back.width()), 1, "RGB", Magick::CharPixel, back.scanLine(y));
    addError(rgb, back, tally);
}

void ourQuantize(const QImage &rgb, Tally *tally)
{
    const QImage picture = rgb.convertToFormat(QImage::Format_RGB32);
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    const imaging::Deadline deadline;
    imaging::detail::Checkpoint checkpoint(deadline);
    QElapsedTimer timer;
    timer.start();
    imaging::detail::reduceColours(picture, checkpoint, &indexed);
    tally->seconds += secondsOf(timer);
    addError(rgb, indexed, tally);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 8;
    imaging::initialize();

    Tally ours, libraryFast, libraryDefault, ourReduction, libraryReduction, libraryCoarse;
    for (int i = 0; i < count; ++i) {
        const QImage rgb = bench::photo(i).convertToFormat(QImage::Format_RGB888);
        ourPng(rgb, &ours);
        libraryPng(rgb, 15, &libraryFast);
        libraryPng(rgb, 75, &libraryDefault);
        ourQuantize(rgb, &ourReduction);
        libraryQuantize(rgb, 0, &libraryReduction);
        libraryQuantize(rgb, 5, &libraryCoarse);
    }
    const double raw = double(count) * 1600 * 1200 * 3;
    const auto png = [&](const char *name, const Tally &t) {
        out << QStringLiteral("  %1 %2 ms a photo, %3% of the raw size\n")
                   .arg(QLatin1String(name), -34)
                   .arg(1000 * t.seconds / count, 6, 'f', 1)
                   .arg(100 * t.bytes / raw, 5, 'f', 1);
    };
    const auto reduction = [&](const char *name, const Tally &t) {
        out << QStringLiteral("  %1 %2 ms a photo, RMS error %3, PSNR %4 dB\n")
                   .arg(QLatin1String(name), -34)
                   .arg(1000 * t.seconds / count, 6, 'f', 1)
                   .arg(t.rms(), 5, 'f', 2)
                   .arg(t.psnr(), 5, 'f', 2);
    };
    out << count << " photos of 1600 x 1200, one thread\n";
    out << "PNG, lossless both ways:\n";
    png("ours (Up filter, ISA-L level 3)", ours);
    png("library, quality 15 (level 1)", libraryFast);
    png("library, quality 75 (its default)", libraryDefault);
    out << "256 colours, no dithering:\n";
    reduction("ours (median cut, refined)", ourReduction);
    reduction("library's quantize", libraryReduction);
    reduction("library's quantize, tree depth 5", libraryCoarse);
    return 0;
}
