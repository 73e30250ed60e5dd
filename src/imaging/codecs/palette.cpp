#include "palette.h"

#include "colourreduction.h"

#include <array>

namespace imaging::detail {
namespace {

constexpr QRgb kOpaque = 0xFF000000u;

// The colours met so far, at most 256, found again through a small
// open-addressed table.
class ExactColours
{
public:
    // The index of the opaque `colour`, added when new; -1 once there would
    // be a 257th.
    int indexOf(QRgb colour)
    {
        for (quint32 slot = colourHash(colour, kBits);; slot = (slot + 1) & (kSlots - 1)) {
            if (m_keys[slot] == colour)
                return m_index[slot];
            if (m_keys[slot] == 0) { // no opaque colour is 0
                if (m_palette.size() == 256)
                    return -1;
                m_keys[slot] = colour;
                m_index[slot] = quint8(m_palette.size());
                m_palette.push_back(colour);
                return m_index[slot];
            }
        }
    }
    const QList<QRgb> &palette() const { return m_palette; }

private:
    static constexpr int kBits = 10, kSlots = 1 << kBits;
    std::array<QRgb, kSlots> m_keys{};
    std::array<quint8, kSlots> m_index{};
    QList<QRgb> m_palette;
};

enum class Outcome { Done, TooManyColours, Failed };

Outcome indexExactly(const QImage &picture, Checkpoint &checkpoint, IndexedPicture *out, QString *reason)
{
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    if (indexed.isNull()) {
        *reason = outOfMemory();
        return Outcome::Failed;
    }
    const int width = picture.width(), height = picture.height();
    ExactColours colours;
    bool grey = true;
    for (int y = 0; y < height; ++y) {
        if (!checkpoint.pass(width)) {
            *reason = checkpoint.deadline().reason();
            return Outcome::Failed;
        }
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        uchar *target = indexed.scanLine(y);
        QRgb last = 0;
        int lastIndex = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb colour = line[x] | kOpaque;
            if (colour != last) {
                lastIndex = colours.indexOf(colour);
                if (lastIndex < 0)
                    return Outcome::TooManyColours;
                last = colour;
                grey = grey && qRed(colour) == qGreen(colour) && qGreen(colour) == qBlue(colour);
            }
            target[x] = uchar(lastIndex);
        }
    }
    QList<QRgb> palette = colours.palette();
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
