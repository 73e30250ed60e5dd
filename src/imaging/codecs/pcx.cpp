#include "pcx.h"

#include "codecsupport.h"
#include "palette.h"
#include "imaging/formats.h"

namespace imaging::detail {
namespace {

constexpr int kHeaderBytes = 128;
constexpr int kPaletteMarker = 0x0C;
constexpr int kDotsPerInch = 96;
// The run count lives in the low six bits of a byte whose top two are set;
// a lone byte with both top bits set must therefore go as a run of one.
constexpr int kLongestRun = 63;
constexpr uchar kRunFlag = 0xC0;

// One plane of one row, `count` bytes (the even padding included), packed
// onto `out`; returns the end. Runs never cross a plane, which some readers
// need.
char *packPlane(const uchar *bytes, int count, char *out)
{
    for (int i = 0; i < count;) {
        const uchar value = bytes[i];
        int run = 1;
        while (i + run < count && run < kLongestRun && bytes[i + run] == value)
            ++run;
        if (run > 1 || value >= kRunFlag)
            *out++ = char(kRunFlag | run);
        *out++ = char(value);
        i += run;
    }
    return out;
}

void header(QByteArray &out, int width, int height, int planes, int bytesPerLine, bool grey)
{
    const qsizetype start = out.size();
    out.append(char(0x0A)); // maker
    out.append(char(5));    // version 3.0, with a palette at the end
    out.append(char(1));    // run-length encoded
    out.append(char(8));    // bits a plane
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, quint16(width - 1));
    appendLe16(out, quint16(height - 1));
    appendLe16(out, kDotsPerInch);
    appendLe16(out, kDotsPerInch);
    out.append(48, '\0'); // the 16-colour palette, unused at 8 bits
    out.append('\0');
    out.append(char(planes));
    appendLe16(out, quint16(bytesPerLine));
    appendLe16(out, grey ? 2 : 1);
    out.append(kHeaderBytes - (out.size() - start), '\0');
}

enum class Planes { OneWhenItFits, Three };

// Appends the PCX picture to `out`; false with a reason on failure.
bool encodePage(const QImage &picture, Planes planeChoice, const Deadline &deadline, QString *reason,
                QByteArray *out)
{
    const QImage flat = opaqueInput(picture, reason);
    if (flat.isNull())
        return false;
    const int width = flat.width(), height = flat.height();
    // The window's corners and the bytes a line are 16-bit numbers, and a
    // line's bytes must be even.
    if (width > 65534 || height > 65536) {
        *reason = QStringLiteral("a PCX picture holds at most 65534 x 65536 pixels");
        return false;
    }
    Checkpoint checkpoint(deadline);
    IndexedPicture indexed;
    if (planeChoice == Planes::OneWhenItFits
        && !indexColours(flat, Reduction::ExactOnly, checkpoint, &indexed, reason))
        return false;
    const bool onePlane = !indexed.image.isNull();
    const int planes = onePlane ? 1 : 3;
    // A line's bytes are even, as the format asks, except for three planes
    // 1 or 3 pixels wide: there Pillow (9.4 and later) takes the padding for
    // pixels, while every reader we know follows the header's odd count.
    const bool pillowMisreadsPadding = planes == 3 && (width == 1 || width == 3);
    const int bytesPerLine = pillowMisreadsPadding ? width : (width + 1) / 2 * 2;

    header(*out, width, height, planes, bytesPerLine, indexed.grey);
    QByteArray plane(qsizetype(bytesPerLine) * planes, '\0');
    QByteArray packed(plane.size() * 2, '\0');
    auto *bytes = reinterpret_cast<uchar *>(plane.data());
    for (int y = 0; y < height; ++y) {
        if (!checkpoint.pass(qint64(bytesPerLine) * planes)) {
            *reason = deadline.reason();
            return false;
        }
        if (onePlane) {
            std::copy_n(indexed.image.constScanLine(y), width, bytes);
        } else {
            const auto *line = reinterpret_cast<const QRgb *>(flat.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                bytes[x] = uchar(qRed(line[x]));
                bytes[bytesPerLine + x] = uchar(qGreen(line[x]));
                bytes[2 * bytesPerLine + x] = uchar(qBlue(line[x]));
            }
        }
        char *end = packed.data();
        for (int p = 0; p < planes; ++p)
            end = packPlane(bytes + qsizetype(p) * bytesPerLine, bytesPerLine, end);
        out->append(packed.constData(), end - packed.constData());
    }
    if (onePlane) {
        out->append(char(kPaletteMarker));
        const QList<QRgb> palette = indexed.image.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb colour = i < palette.size() ? palette[i] : 0;
            const char rgb[3] = {char(qRed(colour)), char(qGreen(colour)), char(qBlue(colour))};
            out->append(rgb, 3);
        }
    }
    return true;
}

} // namespace

QByteArray encodePcx(const QImage &picture, const Deadline &deadline, QString *reason)
{
    return guarded([&] {
        QByteArray out;
        return encodePage(picture, Planes::OneWhenItFits, deadline, reason, &out) ? out : QByteArray();
    }, reason);
}

QByteArray encodeDcx(const QImage &picture, const Deadline &deadline, QString *reason)
{
    return guarded([&] {
        // Pillow as Debian 12 ships it (9.4) reads a one-plane page's pixels
        // from byte 128 of the file rather than of the page.
        QByteArray out;
        const std::string_view key = format(FileType::Dcx).signatures[0].bytes;
        out.append(key.data(), qsizetype(key.size()));
        appendLe32(out, quint32(4 * (1 + kDcxTableEntries)));
        out.append(4 * (kDcxTableEntries - 1), '\0');
        return encodePage(picture, Planes::Three, deadline, reason, &out) ? out : QByteArray();
    }, reason);
}

} // namespace imaging::detail
