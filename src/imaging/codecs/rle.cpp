#include "rle.h"

#include "codecsupport.h"
#include "palette.h"

namespace imaging::detail {
namespace {

constexpr int kPaletteEntries = 256;
constexpr int kDotsPerMetre = 3780; // 96 dots per inch
constexpr int kLongestRun = 255;
// Absolute mode needs at least three bytes: a count of 0, 1 or 2 after the
// escape means end of line, end of bitmap or a jump.
constexpr int kShortestAbsolute = 3;

int runAt(const uchar *bytes, int at, int count)
{
    int run = 1;
    while (at + run < count && run < kLongestRun && bytes[at + run] == bytes[at])
        ++run;
    return run;
}

// One row of indices as RLE8: runs of three or more equal bytes encoded,
// the stretches between them in absolute mode (padded to an even length),
// then the end of the line. Returns the end of what was written; `out` holds
// at least 2 * count + 2 bytes.
char *packRow(const uchar *bytes, int count, char *out)
{
    for (int i = 0; i < count;) {
        const int run = runAt(bytes, i, count);
        if (run >= kShortestAbsolute) {
            *out++ = char(run);
            *out++ = char(bytes[i]);
            i += run;
            continue;
        }
        int end = i;
        while (end < count) {
            const int next = runAt(bytes, end, count);
            if (next >= kShortestAbsolute || end - i + next > kLongestRun)
                break;
            end += next;
        }
        const int length = end - i;
        if (length >= kShortestAbsolute) {
            *out++ = 0;
            *out++ = char(length);
            out = std::copy_n(reinterpret_cast<const char *>(bytes) + i, length, out);
            if (length % 2)
                *out++ = 0;
        } else {
            // One or two bytes, as runs of one: an absolute stretch that short
            // cannot be written.
            for (int k = i; k < end; ++k) {
                *out++ = 1;
                *out++ = char(bytes[k]);
            }
        }
        i = end;
    }
    *out++ = 0;
    *out++ = 0;
    return out;
}

QByteArray encodeBitmap(const QImage &picture, const Deadline &deadline, QString *reason)
{
    const QImage flat = opaqueInput(picture, reason);
    if (flat.isNull())
        return {};
    Checkpoint checkpoint(deadline);
    IndexedPicture indexed;
    if (!indexColours(flat, Reduction::Allowed, checkpoint, &indexed, reason))
        return {};
    const QImage &pixels = indexed.image;
    const int width = pixels.width(), height = pixels.height();

    // The sizes are known once the rows are packed; they are filled in then.
    const qint64 offset = kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes + 4 * kPaletteEntries;
    QByteArray out;
    out.append("BM", 2);
    appendLe32(out, 0); // the file's size
    appendLe32(out, 0);
    appendLe32(out, quint32(offset));

    appendLe32(out, kBitmapInfoHeaderBytes);
    appendLe32(out, quint32(width));
    appendLe32(out, quint32(height)); // positive: bottom-up
    appendLe16(out, 1);
    appendLe16(out, 8);
    appendLe32(out, kBitmapRle8);
    appendLe32(out, 0); // the packed rows' size
    appendLe32(out, kDotsPerMetre);
    appendLe32(out, kDotsPerMetre);
    appendLe32(out, kPaletteEntries);
    appendLe32(out, 0); // every colour matters

    const QList<QRgb> palette = pixels.colorTable();
    for (int i = 0; i < kPaletteEntries; ++i) {
        const QRgb colour = i < palette.size() ? palette[i] : 0;
        const char bgrx[4] = {char(qBlue(colour)), char(qGreen(colour)), char(qRed(colour)), 0};
        out.append(bgrx, 4);
    }

    QByteArray row(2 * qsizetype(width) + 2, '\0');
    for (int y = height - 1; y >= 0; --y) {
        if (!checkpoint.pass(width)) {
            *reason = deadline.reason();
            return {};
        }
        const char *end = packRow(pixels.constScanLine(y), width, row.data());
        out.append(row.constData(), end - row.constData());
    }
    out.append(char(0));
    out.append(char(1)); // end of the bitmap

    if (out.size() > qint64(0xFFFFFFFFu)) {
        *reason = QStringLiteral("the picture is too large for a bitmap file");
        return {};
    }
    qToLittleEndian(quint32(out.size()), out.data() + 2);
    qToLittleEndian(quint32(out.size() - offset), out.data() + kBitmapFileHeaderBytes + 20);
    return out;
}

} // namespace

QByteArray encodeRle8Bmp(const QImage &picture, const Deadline &deadline, QString *reason)
{
    return guarded([&] { return encodeBitmap(picture, deadline, reason); }, reason);
}

} // namespace imaging::detail
