#include "wmf.h"

#include "codecsupport.h"
#include "imaging/formats.h"

#include <QtEndian>

namespace imaging::detail {
namespace {

class LittleEndian
{
public:
    explicit LittleEndian(QByteArray *out) : m_out(out) {}
    void u16(quint32 v)
    {
        const char b[2] = {char(v & 0xFF), char(v >> 8 & 0xFF)};
        m_out->append(b, 2);
    }
    void u32(quint32 v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }

private:
    QByteArray *m_out;
};

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
    LittleEndian le(&out);

    const std::string_view key = format(FileType::Wmf).signatures[0].bytes;
    out.append(key.data(), qsizetype(key.size()));
    le.u16(0);
    le.u16(0);
    le.u16(0);
    le.u16(quint32(width));
    le.u16(quint32(height));
    le.u16(kWmfUnitsPerInch);
    le.u32(0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= qFromLittleEndian<quint16>(out.constData() + i);
    le.u16(checksum);

    le.u16(1);      // in memory, not on disk
    le.u16(9);      // header words
    le.u16(0x0300); // the version with device-independent bitmaps
    le.u32(quint32(metaBytes / 2));
    le.u16(0); // objects
    le.u32(quint32(recordBytes / 2));
    le.u16(0);

    // The window maps our units onto the bounding box one to one.
    le.u32(5);
    le.u16(0x020B); // SETWINDOWORG y, x
    le.u16(0);
    le.u16(0);
    le.u32(5);
    le.u16(0x020C); // SETWINDOWEXT height, width
    le.u16(quint32(height));
    le.u16(quint32(width));

    le.u32(quint32(recordBytes / 2));
    le.u16(kMetaStretchDib);
    le.u32(kSourceCopy);
    le.u16(0); // colours are RGB, not palette indices
    le.u16(quint32(height));
    le.u16(quint32(width));
    le.u16(0);
    le.u16(0);
    le.u16(quint32(height));
    le.u16(quint32(width));
    le.u16(0);
    le.u16(0);

    le.u32(40);
    le.u32(quint32(width));
    le.u32(quint32(height)); // positive: the rows run bottom-up
    le.u16(1);
    le.u16(24);
    le.u32(0); // uncompressed
    le.u32(quint32(stride * height));
    le.u32(3780); // 96 dots per inch in dots per metre
    le.u32(3780);
    le.u32(0);
    le.u32(0);
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

    le.u32(3);
    le.u16(0); // end of file
    return out;
}

} // namespace

QByteArray encodeWmf(const QImage &picture, const Deadline &deadline, QString *reason)
{
    try {
        return encodeMetafile(picture, deadline, reason);
    } catch (const std::bad_alloc &) {
        *reason = QStringLiteral("there is not enough memory to write it");
    } catch (...) {
        *reason = QStringLiteral("the metafile could not be written");
    }
    return {};
}

} // namespace imaging::detail
