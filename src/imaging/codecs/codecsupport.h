#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>
#include <QtEndian>
#include <QtGlobal>
#include <new>

// What our own codecs share: a deadline asked every so often, the check of
// the pictures our writers are handed, a guard that keeps every exception
// inside, the hash of colour tables, and little-endian fields written and
// read. The exact palette indexer is in palette.h, file reading and writing
// in fileaccess.h.
namespace imaging::detail {

// Asks a deadline once every so much work, so that a tight loop over pixels
// or bytes pays for the clock rarely yet still stops within a millisecond or
// so. Work is counted in whatever unit the loop handles (pixels, bytes).
class Checkpoint
{
public:
    explicit Checkpoint(const Deadline &deadline) : m_deadline(deadline) {}

    // Counts `work` more units done; false once the deadline has expired. The
    // first call always asks, so a stopped conversion does not even start.
    bool pass(qint64 work = 1)
    {
        m_owed -= work;
        if (m_owed > 0)
            return true;
        m_owed = kUnitsBetweenChecks;
        return !m_deadline.expired();
    }

    const Deadline &deadline() const { return m_deadline; }

private:
    static constexpr qint64 kUnitsBetweenChecks = 1 << 16;
    const Deadline &m_deadline;
    qint64 m_owed = 0;
};

inline QString outOfMemory()
{
    return QStringLiteral("there is not enough memory for the picture");
}

// Our writers (PCX, DCX, RLE, DXF, WMF) store no transparency, and lay
// nothing over white themselves: encode() does that once for every type the
// format table marks opaque, before a writer sees the picture. The picture
// as RGB32, or a null image and a reason when it is null or memory runs out.
// A picture that still holds transparency is a caller's mistake; it is
// refused rather than written with the colours hidden under its clear parts.
inline QImage opaqueInput(const QImage &picture, QString *reason)
{
    Q_ASSERT_X(!picture.hasAlphaChannel(), "opaqueInput", "the picture was not laid over white");
    if (picture.isNull()) {
        *reason = QStringLiteral("there is no picture to write");
        return {};
    }
    if (picture.hasAlphaChannel()) {
        *reason = QStringLiteral("the picture still holds transparency");
        return {};
    }
    QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull())
        *reason = outOfMemory();
    return rgb;
}

// Runs `work` (returning bytes or a picture, empty on failure with `*reason`
// set) and turns any exception into an empty result and a reason: the one
// wording for memory running out, `failure` for anything else. Every writer
// and reader of our own runs behind it, so that no exception leaves them.
template <typename Work>
auto guarded(Work work, QString *reason, const QString &failure = QStringLiteral("the picture could not be encoded"))
    -> decltype(work())
{
    try {
        return work();
    } catch (const std::bad_alloc &) {
        *reason = outOfMemory();
    } catch (...) {
        *reason = failure;
    }
    return {};
}

// A colour's slot in a table of 2^bits slots.
inline quint32 colourHash(quint32 colour, int bits)
{
    return (colour * 2654435761u) >> (32 - bits);
}

// Little-endian fields, the byte order of every binary format we write and of
// the headers we read.
inline void appendLe16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

inline void appendLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// The field at `at`; the caller checks that `bytes` hold it.
inline quint16 readLe16(QByteArrayView bytes, qsizetype at)
{
    Q_ASSERT(at >= 0 && at + 2 <= bytes.size());
    return qFromLittleEndian<quint16>(bytes.data() + at);
}

inline quint32 readLe32(QByteArrayView bytes, qsizetype at)
{
    Q_ASSERT(at >= 0 && at + 4 <= bytes.size());
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

} // namespace imaging::detail
