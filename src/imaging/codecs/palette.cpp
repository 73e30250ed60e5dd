#include "palette.h"

#include "colourreduction.h"

#include <array>

namespace imaging::detail {
namespace {

constexpr QRgb kOpaque = 0xFF000000u;

enum class Outcome { Done, TooManyColours, Failed };

Outcome indexExactly(const QImage &picture, Checkpoint &checkpoint, IndexedPicture *out, QString *reason)
{
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    if (indexed.isNull()) {
        *reason = outOfMemory();
        return Outcome::Failed;
    }
    const int width = picture.width(), height = picture.height();
    ExactPalette colours;
    for (int y = 0; y < height; ++y) {
        if (!checkpoint.pass(width)) {
            *reason = checkpoint.deadline().reason();
            return Outcome::Failed;
        }
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        uchar *target = indexed.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb colour = line[x] | kOpaque;
            const int index = colours.indexOf(colour);
            if (index < 0)
                return Outcome::TooManyColours;
            target[x] = uchar(index);
        }
    }
    QList<QRgb> palette(colours.colours().begin(), colours.colours().end());
    const bool grey = std::all_of(palette.cbegin(), palette.cend(),
                                  [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
    if (grey) {
        // Readers take a palette that is the plain ramp for a grey picture.
        std::array<uchar, 256> level{};
        for (qsizetype i = 0; i < palette.size(); ++i)
            level[size_t(i)] = uchar(qRed(palette[i]));
        for (int y = 0; y < height; ++y) {
            if (!checkpoint.pass(width)) {
                *reason = checkpoint.deadline().reason();
                return Outcome::Failed;
            }
            uchar *line = indexed.scanLine(y);
            for (int x = 0; x < width; ++x)
                line[x] = level[line[x]];
        }
        palette.clear();
        for (int i = 0; i < 256; ++i)
            palette.push_back(qRgb(i, i, i));
    }
    indexed.setColorTable(palette);
    *out = IndexedPicture{indexed, grey, true};
    return Outcome::Done;
}

} // namespace

bool indexColours(const QImage &picture, Reduction reduction, Checkpoint &checkpoint,
                  IndexedPicture *out, QString *reason)
{
    Q_ASSERT(picture.format() == QImage::Format_RGB32);
    *out = {};
    const Outcome exact = indexExactly(picture, checkpoint, out, reason);
    if (exact != Outcome::TooManyColours)
        return exact == Outcome::Done;
    if (reduction == Reduction::ExactOnly)
        return true;

    QImage indexed(picture.size(), QImage::Format_Indexed8);
    if (indexed.isNull()) {
        *reason = outOfMemory();
        return false;
    }
    if (!reduceColours(picture, checkpoint, &indexed)) {
        *reason = checkpoint.deadline().reason();
        return false;
    }
    *out = IndexedPicture{indexed, false, false};
    return true;
}

} // namespace imaging::detail
