#include "groups.h"

#include "dxf.h"
#include "imaging/deadline.h"
#include "limits.h"

#include <QIODevice>
#include <charconv>
#include <cstring>

namespace imaging::detail {
namespace dxf {
namespace {

// Some editors put a byte-order mark before a text drawing.
constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF");
// How much is read from the device at once; the buffer drops what it has
// passed once it holds this much behind it.
constexpr qsizetype kChunk = 64 * 1024;
// The deadline is asked once per this many groups.
constexpr qint64 kGroupsPerCheck = 4096;

} // namespace

ValueKind kindOf(int code)
{
    const auto in = [code](int a, int b) { return code >= a && code <= b; };
    if (in(10, 59) || in(110, 149) || in(210, 239) || in(460, 469) || in(1010, 1059))
        return ValueKind::Real;
    if (in(60, 79) || in(170, 179) || in(270, 289) || in(370, 389) || in(400, 409)
        || in(1060, 1070))
        return ValueKind::Int16;
    if (in(90, 99) || in(420, 429) || in(440, 459) || code == 1071)
        return ValueKind::Int32;
    if (in(160, 169))
        return ValueKind::Int64;
    if (in(290, 299))
        return ValueKind::Bool;
    if (in(310, 319) || code == 1004)
        return ValueKind::Chunk;
    return ValueKind::String;
}

QString shown(QByteArrayView value)
{
    return QString::fromLatin1(value.first(std::min<qsizetype>(value.size(), 40)));
}

GroupReader::GroupReader(QIODevice &device, const Deadline &deadline)
    : m_device(device)
    , m_deadline(deadline)
{
    // The sentinel and the first group code after it.
    available(kBinarySentinel.size() + 2);
    const QByteArrayView start(m_buffer);
    if (start.startsWith(kBinarySentinel)) {
        m_binary = true;
        m_pos = kBinarySentinel.size();
        // Older binary files spend one byte on a group code, newer ones two;
        // the first group is always 0 SECTION.
        m_wideCodes = m_pos + 1 < m_buffer.size() && m_buffer[m_pos + 1] == '\0';
    } else if (start.startsWith(kUtf8Mark)) {
        m_pos = kUtf8Mark.size();
    }
}

QString GroupReader::place(const Group &g) const
{
    return QStringLiteral("%1 %2").arg(m_binary ? QStringLiteral("byte") : QStringLiteral("line")).arg(g.where);
}

bool GroupReader::next(Group *g)
{
    if (m_held) {
        m_held = false;
        *g = m_last;
        return true;
    }
    if (!m_error.isEmpty())
        return false;
    if (++m_groups % kGroupsPerCheck == 0 && m_deadline.expired()) {
        m_error = m_deadline.reason();
        return false;
    }
    // Only here, between groups, does the buffer move: a group's text stays
    // put until the next group is read.
    if (m_pos > kChunk) {
        m_buffer.remove(0, m_pos);
        m_dropped += m_pos;
        m_pos = 0;
    }
    if (!(m_binary ? nextBinary(&m_last) : nextText(&m_last)))
        return false;
    *g = m_last;
    return true;
}

// Appends the next piece of the file to the buffer; false at its end, on a
// read error or past the size limit.
bool GroupReader::more()
{
    if (m_ended)
        return false;
    const qint64 total = m_dropped + m_buffer.size();
    if (total > kMaxDxfBytes) {
        m_ended = true;
        m_error = QStringLiteral("the drawing is larger than %1 MB").arg(kMaxDxfBytes >> 20);
        return false;
    }
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + kChunk);
    const qint64 got = m_device.read(m_buffer.data() + had, kChunk);
    m_buffer.resize(had + qsizetype(std::max<qint64>(got, 0)));
    if (got < 0)
        m_error = QStringLiteral("the file could not be read (%1)").arg(m_device.errorString());
    m_ended = got <= 0;
    return got > 0;
}

bool GroupReader::available(qsizetype count)
{
    while (m_buffer.size() - m_pos < count) {
        if (!more())
            return false;
    }
    return true;
}

// The next line, as a place in the buffer without its line end; false at the
// end of the file or on an error.
bool GroupReader::line(qsizetype *from, qsizetype *size)
{
    qsizetype end = -1;
    for (qsizetype searched = m_pos; (end = m_buffer.indexOf('\n', searched)) < 0;) {
        searched = m_buffer.size();
        if (searched - m_pos > kMaxDxfLineBytes || !more())
            break;
    }
    if (!m_error.isEmpty() || m_pos >= m_buffer.size())
        return false;
    if (end < 0)
        end = m_buffer.size();
    if (end - m_pos > kMaxDxfLineBytes) {
        m_error = QStringLiteral("line %1 is longer than %2 MB; the file is not a DXF drawing")
                      .arg(m_line + 1)
                      .arg(kMaxDxfLineBytes >> 20);
        return false;
    }
    *from = m_pos;
    *size = end - m_pos;
    m_pos = end + 1;
    ++m_line;
    if (*size > 0 && m_buffer[*from + *size - 1] == '\r')
        --*size;
    return true;
}

bool GroupReader::nextText(Group *g)
{
    qsizetype codeAt = 0, codeSize = 0, valueAt = 0, valueSize = 0;
    if (!line(&codeAt, &codeSize))
        return false;
    const bool valueFollows = line(&valueAt, &valueSize);
    // Only now, with both lines read, is the buffer where it stays.
    const QByteArrayView code = QByteArrayView(m_buffer).sliced(codeAt, codeSize).trimmed();
    if (!valueFollows) {
        if (!m_error.isEmpty() || code.isEmpty())
            return false; // a final empty line
        m_error = QStringLiteral("line %1: the group code \"%2\" has no value; the drawing is incomplete")
                      .arg(m_line)
                      .arg(shown(code));
        return false;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), value);
    if (ec != std::errc() || end != code.data() + code.size() || value < -5 || value > 1071) {
        m_error = QStringLiteral("line %1: \"%2\" is not a group code").arg(m_line - 1).arg(shown(code));
        return false;
    }
    g->code = value;
    g->text = QByteArrayView(m_buffer).sliced(valueAt, valueSize).trimmed();
    g->decoded = false;
    g->where = m_line;
    return true;
}

bool GroupReader::incomplete()
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("byte %1: the drawing is incomplete").arg(m_dropped + m_pos);
    return false;
}

bool GroupReader::take(qsizetype count, qsizetype *at)
{
    if (!available(count))
        return incomplete();
    *at = m_pos;
    m_pos += count;
    return true;
}

template <typename T>
bool GroupReader::little(T *value)
{
    qsizetype at = 0;
    if (!take(sizeof(T), &at))
        return false;
    T v = 0;
    for (qsizetype i = qsizetype(sizeof(T)) - 1; i >= 0; --i)
        v = T(v << 8 | T(quint8(m_buffer[at + i])));
    *value = v;
    return true;
}

bool GroupReader::nextBinary(Group *g)
{
    if (!available(1))
        return false;
    g->where = m_dropped + m_pos;
    g->decoded = true;
    g->text = {};
    g->number = 0;
    if (m_wideCodes) {
        quint16 code = 0;
        if (!little(&code))
            return false;
        g->code = qint16(code);
    } else {
        quint8 code = 0;
        if (!little(&code))
            return false;
        g->code = code;
        if (code == 255) {
            quint16 wide = 0;
            if (!little(&wide))
                return false;
            g->code = qint16(wide);
        }
    }
    switch (kindOf(g->code)) {
    case ValueKind::String: {
        qsizetype end = -1;
        for (qsizetype searched = m_pos; (end = m_buffer.indexOf('\0', searched)) < 0;) {
            searched = m_buffer.size();
            if (searched - m_pos > kMaxDxfLineBytes || !more())
                return incomplete();
        }
        if (end - m_pos > kMaxDxfLineBytes) {
            m_error = QStringLiteral("byte %1: a value is longer than %2 MB; the file is not a DXF drawing")
                          .arg(m_dropped + m_pos)
                          .arg(kMaxDxfLineBytes >> 20);
            return false;
        }
        g->text = QByteArrayView(m_buffer).sliced(m_pos, end - m_pos);
        m_pos = end + 1;
        g->decoded = false;
        return true;
    }
    case ValueKind::Real: {
        quint64 bits = 0;
        if (!little(&bits))
            return false;
        double d;
        static_assert(sizeof d == sizeof bits);
        std::memcpy(&d, &bits, sizeof d);
        g->number = d;
        return true;
    }
    case ValueKind::Int16: {
        quint16 v = 0;
        if (!little(&v))
            return false;
        g->number = qint16(v);
        return true;
    }
    case ValueKind::Int32: {
        quint32 v = 0;
        if (!little(&v))
            return false;
        g->number = qint32(v);
        return true;
    }
    case ValueKind::Int64: {
        quint64 v = 0;
        if (!little(&v))
            return false;
        g->number = double(qint64(v));
        return true;
    }
    case ValueKind::Bool: {
        quint8 v = 0;
        if (!little(&v))
            return false;
        g->number = v;
        return true;
    }
    case ValueKind::Chunk: {
        quint8 length = 0;
        qsizetype at = 0;
        if (!little(&length) || !take(length, &at))
            return false;
        g->decoded = false;
        return true;
    }
    }
    return false;
}

} // namespace dxf

bool looksLikeDxf(const QByteArray &head)
{
    if (QByteArrayView(head).startsWith(dxf::kBinarySentinel))
        return true;
    // A text drawing opens with group code 0 and SECTION, or with a comment.
    const QByteArray simplified =
        (head.startsWith(dxf::kUtf8Mark) ? head.mid(dxf::kUtf8Mark.size()) : head).left(256).simplified();
    return simplified.startsWith("0 SECTION") || simplified.startsWith("999 ");
}

} // namespace imaging::detail
