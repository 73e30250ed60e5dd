#include "wmf.h"

#include "codecsupport.h"
#include "imaging/formats.h"

namespace imaging::detail {
namespace {

QByteArray encodeMetafile(const QImage &picture, const Deadline &deadline, QString *reason)
{
    const QImage flat = opaqueInput(picture, reason);
    if (flat.isNull())
        return {};
    const qint64 width = flat.width(), height = flat.height();
    // The bounding box and the bitmap's sizes are signed 16-bit numbers.
    if (width > 32767 || height > 32767) {
        *reason = QStringLiteral("a metafile holds at most 32767 pixels on a side");
        return {};
    }
    const qint64 stride = (width * 3 + 3) / 4 * 4;
    const qint64 dibBytes = 40 + stride * height;
    const qint64 recordBytes = 6 + 4 + 2 + 8 * 2 + dibBytes;
    const qint64 metaBytes = kMetaHeaderBytes + 10 + 10 + recordBytes + 6;
    if (metaBytes / 2 > qint64(0xFFFFFFFFu) || recordBytes % 2 != 0) {
        *reason = QStringLiteral("the picture is too large for a metafile");
        return {};
    }

    QByteArray out;
    out.reserve(kPlaceableHeaderBytes + metaBytes);

    const std::string_view key = format(FileType::Wmf).signatures[0].bytes;
    out.append(key.data(), qsizetype(key.size()));
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, quint16(width));
    appendLe16(out, quint16(height));
    appendLe16(out, kWmfUnitsPerInch);
    appendLe32(out, 0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= readLe16(out, i);
    appendLe16(out, checksum);

    appendLe16(out, 1);      // in memory, not on disk
    appendLe16(out, 9);      // header words
    appendLe16(out, 0x0300); // the version with device-independent bitmaps
    appendLe32(out, quint32(metaBytes / 2));
    appendLe16(out, 0); // objects
    appendLe32(out, quint32(recordBytes / 2));
    appendLe16(out, 0);

    // The window maps our units onto the bounding box one to one.
    appendLe32(out, 5);
    appendLe16(out, 0x020B); // SETWINDOWORG y, x
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe32(out, 5);
    appendLe16(out, 0x020C); // SETWINDOWEXT height, width
    appendLe16(out, quint16(height));
    appendLe16(out, quint16(width));

    appendLe32(out, quint32(recordBytes / 2));
    appendLe16(out, kMetaStretchDib);
    appendLe32(out, kSourceCopy);
    appendLe16(out, 0); // colours are RGB, not palette indices
    appendLe16(out, quint16(height));
    appendLe16(out, quint16(width));
    appendLe16(out, 0);
    appendLe16(out, 0);
    appendLe16(out, quint16(height));
    appendLe16(out, quint16(width));
    appendLe16(out, 0);
    appendLe16(out, 0);

    appendLe32(out, 40);
    appendLe32(out, quint32(width));
    appendLe32(out, quint32(height)); // positive: the rows run bottom-up
    appendLe16(out, 1);
    appendLe16(out, 24);
    appendLe32(out, 0); // uncompressed
    appendLe32(out, quint32(stride * height));
    appendLe32(out, 3780); // 96 dots per inch in dots per metre
    appendLe32(out, 3780);
    appendLe32(out, 0);
    appendLe32(out, 0);
    QByteArray row(stride, '\0');
    for (qint64 y = height - 1; y >= 0; --y) {
        if (deadline.expired()) {
            *reason = deadline.reason();
            return {};
        }
        const auto *line = reinterpret_cast<const QRgb *>(flat.constScanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            row[x * 3] = char(qBlue(line[x]));
            row[x * 3 + 1] = char(qGreen(line[x]));
            row[x * 3 + 2] = char(qRed(line[x]));
        }
        out += row;
    }

    appendLe32(out, 3);
    appendLe16(out, 0); // end of file
    return out;
}

} // namespace

QByteArray encodeWmf(const QImage &picture, const Deadline &deadline, QString *reason)
{
    return guarded([&] { return encodeMetafile(picture, deadline, reason); }, reason);
}

} // namespace imaging::detail
