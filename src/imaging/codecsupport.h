#pragma once

#include "deadline.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <QtGlobal>
#include <new>

// What our own codecs share: a deadline asked every so often, a guard that
// keeps every exception inside, and little-endian header fields.
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

// Runs `encode` (returning bytes, empty on failure with `*reason` set) and
// turns any exception into empty bytes and a reason.
template <typename Encode>
auto guarded(Encode encode, QString *reason) -> decltype(encode())
{
    try {
        return encode();
    } catch (const std::bad_alloc &) {
        *reason = outOfMemory();
    } catch (...) {
        *reason = QStringLiteral("the picture could not be encoded");
    }
    return {};
}

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

} // namespace imaging::detail
