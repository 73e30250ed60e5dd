#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace imaging {
class Deadline;
}

// The group-code tokenizer: a drawing is a sequence of groups, each a code
// and a value, written as pairs of lines (text) or as little-endian numbers
// and zero-ended strings after a sentinel (binary).
namespace imaging::detail::dxf {

// The sentinel that opens a binary drawing.
inline constexpr QByteArrayView kBinarySentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

struct Group {
    int code = 0;
    // Text files give the value as text; binary files give numbers already
    // decoded (`decoded` set) and only strings as text. The text is a view
    // into the reader's buffer, valid until its next call of next().
    QByteArrayView text;
    double number = 0;
    bool decoded = false;
    qint64 where = 0; // line (text) or byte offset (binary), for messages
};

enum class ValueKind { String, Real, Int16, Int32, Int64, Bool, Chunk };

// What a group code's value is.
ValueKind kindOf(int code);

// A value as quoted in a message: short, whatever the file holds.
QString shown(QByteArrayView value);

// Reads groups one at a time from a device, holding only the piece of it in
// hand (some 64 KB, or the longest line, at most kMaxDxfLineBytes), and can
// give the last group back. It stops with an error on damage, past
// kMaxDxfBytes and when the deadline expires.
class GroupReader
{
public:
    GroupReader(QIODevice &device, const Deadline &deadline);

    bool binary() const { return m_binary; }
    // Why reading stopped early; empty at the end of the file.
    const QString &error() const { return m_error; }
    // Where a group lies, as a message says it: "line 12" or "byte 340".
    QString place(const Group &g) const;

    bool next(Group *g);
    // The next call of next() returns the same group again.
    void giveBack() { m_held = true; }

private:
    bool more();
    bool available(qsizetype count);
    bool line(qsizetype *from, qsizetype *size);
    bool nextText(Group *g);
    bool nextBinary(Group *g);
    bool take(qsizetype count, qsizetype *at);
    template <typename T>
    bool little(T *value);
    bool incomplete();

    QIODevice &m_device;
    const Deadline &m_deadline;
    QByteArray m_buffer;
    qsizetype m_pos = 0;     // in m_buffer
    qint64 m_dropped = 0;    // bytes of the file dropped from the buffer's front
    qint64 m_line = 0;
    qint64 m_groups = 0;
    bool m_ended = false;
    bool m_binary = false;
    bool m_wideCodes = false;
    bool m_held = false;
    Group m_last;
    QString m_error;
};

} // namespace imaging::detail::dxf
