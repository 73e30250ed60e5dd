#include "dxfreader.h"

#include "aci.h"
#include "library.h"
#include "owncodecs.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPolygonF>
#include <QSet>
#include <QTransform>
#include <charconv>
#include <cstring>
#include <cmath>
#include <optional>
#include <vector>

namespace imaging::detail {
namespace {

constexpr QByteArrayView kBinarySentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);
// Some editors put a byte-order mark before a text drawing.
constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF");
constexpr double kPi = 3.14159265358979323846;
// Distinct layer and block names; later ones fall back to layer 0 or to
// nothing, so that names cannot be used to fill the memory.
constexpr size_t kMaxNames = 65536;

// One group: a code and its value. Text files give the value as text;
// binary files give numbers already decoded.
struct Group {
    int code = 0;
    QByteArrayView text;
    double number = 0;
    bool decoded = false;
    qint64 where = 0; // line (text) or byte offset (binary), for messages
};

// A value as quoted in a message: short, whatever the file holds.
QString shown(QByteArrayView value)
{
    return QString::fromLatin1(value.first(std::min<qsizetype>(value.size(), 40)));
}

enum class ValueKind { String, Real, Int16, Int32, Int64, Bool, Chunk };

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

// Reads groups one at a time, never past the end of the bytes, and can give
// one group back.
class GroupReader
{
public:
    explicit GroupReader(QByteArrayView bytes) : m_bytes(bytes)
    {
        if (m_bytes.startsWith(kBinarySentinel)) {
            m_binary = true;
            m_pos = kBinarySentinel.size();
            // Older binary files spend one byte on a group code, newer ones two;
            // the first group is always 0 SECTION.
            m_wideCodes = m_pos + 1 < m_bytes.size() && m_bytes[m_pos + 1] == '\0';
        } else if (m_bytes.startsWith(kUtf8Mark)) {
            m_pos = kUtf8Mark.size();
        }
    }

    bool binary() const { return m_binary; }
    const QString &error() const { return m_error; }

    bool next(Group *g)
    {
        if (m_held) {
            m_held = false;
            *g = m_last;
            return true;
        }
        if (!m_error.isEmpty())
            return false;
        if (!(m_binary ? nextBinary(&m_last) : nextText(&m_last)))
            return false;
        *g = m_last;
        return true;
    }

    void giveBack() { m_held = true; }

private:
    std::optional<QByteArrayView> line()
    {
        if (m_pos >= m_bytes.size())
            return std::nullopt;
        qsizetype end = m_bytes.indexOf('\n', m_pos);
        if (end < 0)
            end = m_bytes.size();
        QByteArrayView text = m_bytes.sliced(m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_line;
        if (text.endsWith('\r'))
            text.chop(1);
        return text;
    }

    bool nextText(Group *g)
    {
        const auto codeLine = line();
        if (!codeLine)
            return false;
        const QByteArrayView code = codeLine->trimmed();
        if (code.isEmpty() && m_pos >= m_bytes.size())
            return false; // a final empty line
        const auto valueLine = line();
        if (!valueLine) {
            m_error = QStringLiteral("line %1: the group code \"%2\" has no value; the drawing is incomplete")
                          .arg(m_line)
                          .arg(shown(code));
            return false;
        }
        int value = 0;
        const auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), value);
        if (ec != std::errc() || end != code.data() + code.size() || value < -5 || value > 1071) {
            m_error = QStringLiteral("line %1: \"%2\" is not a group code")
                          .arg(m_line - 1)
                          .arg(shown(code));
            return false;
        }
        g->code = value;
        g->text = valueLine->trimmed();
        g->decoded = false;
        g->where = m_line;
        return true;
    }

    bool take(qsizetype count, QByteArrayView *out)
    {
        if (count > m_bytes.size() - m_pos) {
            m_error = QStringLiteral("byte %1: the drawing is incomplete").arg(m_pos);
            return false;
        }
        *out = m_bytes.sliced(m_pos, count);
        m_pos += count;
        return true;
    }

    template <typename T>
    bool little(T *value)
    {
        QByteArrayView raw;
        if (!take(sizeof(T), &raw))
            return false;
        T v = 0;
        for (qsizetype i = qsizetype(sizeof(T)) - 1; i >= 0; --i)
            v = T(v << 8 | T(quint8(raw[i])));
        *value = v;
        return true;
    }

    bool nextBinary(Group *g)
    {
        if (m_pos >= m_bytes.size())
            return false;
        g->where = m_pos;
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
        QByteArrayView raw;
        switch (kindOf(g->code)) {
        case ValueKind::String: {
            const qsizetype end = m_bytes.indexOf('\0', m_pos);
            if (end < 0) {
                m_error = QStringLiteral("byte %1: the drawing is incomplete").arg(m_pos);
                return false;
            }
            g->text = m_bytes.sliced(m_pos, end - m_pos);
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
            if (!little(&length) || !take(length, &raw))
                return false;
            g->decoded = false;
            return true;
        }
        }
        return false;
    }

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    qint64 m_line = 0;
    bool m_binary = false;
    bool m_wideCodes = false;
    bool m_held = false;
    Group m_last;
    QString m_error;
};

struct Shape {
    enum class Kind : quint8 { Polyline, Fill, Point, Curve, Text, Insert };
    Kind kind = Kind::Polyline;
    bool closed = false;
    bool mirrored = false; // drawn from below: x runs the other way
    int layer = 0;
    int aci = 256;
    qint32 trueColour = -1;
    quint32 first = 0, count = 0; // points, and bulges where there are any
    int extra = -1;               // curve, text or insert
};

// An elliptic arc: centre + cos t * major + sin t * minor, t from start to end.
struct Curve {
    QPointF centre, major, minor;
    double start = 0, end = 2 * kPi;
};

struct TextItem {
    QString text;
    QPointF anchor;
    double height = 1, rotation = 0, widthFactor = 1;
    int hAlign = 0, vAlign = 0;
};

struct InsertItem {
    int block = -1;
    QPointF at, scale{1, 1};
    double rotation = 0;
    int columns = 1, rows = 1;
    double columnSpacing = 0, rowSpacing = 0;
};

struct Drawing {
    std::vector<Shape> shapes;
    std::vector<QPointF> points;
    std::vector<double> bulges; // shorter than points when the rest are 0
    std::vector<Curve> curves;
    std::vector<TextItem> texts;
    std::vector<InsertItem> inserts;
    QPointF base;
    bool defined = false;
};

struct Layer {
    int aci = kAciForeground;
    qint32 trueColour = -1;
    bool off = false;
};

// What a block's entities on layer 0 and "by block" colour take from the
// insert that places them.
struct Inherited {
    QRgb byBlock = qRgb(0, 0, 0);
    int layer = -1;
};

class Sink
{
public:
    virtual ~Sink() = default;
    // Points are in the sink's coordinates.
    virtual void lines(const QPolygonF &points, bool closed, QRgb colour) = 0;
    virtual void fill(const QPolygonF &points, QRgb colour) = 0;
    virtual void point(QPointF at, QRgb colour) = 0;
    virtual void text(const TextItem &item, const QTransform &toSink, QRgb colour) = 0;
};

double scaleOf(const QTransform &t)
{
    return std::sqrt(std::abs(t.determinant()));
}

// Curves run counterclockwise from start to end, at most a full turn (a full
// turn when the two coincide). Angles are in radians and may be any size.
void normaliseSweep(double *start, double *end)
{
    *start = std::fmod(*start, 2 * kPi);
    *end = std::fmod(*end, 2 * kPi);
    if (*end <= *start)
        *end += 2 * kPi;
    if (*end <= *start)
        *end = *start + 2 * kPi;
}

// Enough segments that a curve of this radius in pixels strays less than a
// quarter pixel from its true course.
int segmentsFor(double radius, double sweep)
{
    const double n = std::ceil(std::abs(sweep) * std::sqrt(std::max(radius, 1.0) / 2));
    return int(std::clamp(n, 4.0, 4096.0));
}

class DxfParser
{
public:
    explicit DxfParser(QByteArrayView bytes) : m_in(bytes)
    {
        layerFor("0");
    }

    bool parse();
    QImage render();
    const QString &error() const { return m_error; }

private:
    bool fail(const QString &reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
        return false;
    }
    bool number(const Group &g, double *out);
    bool coordinate(const Group &g, double *out);
    int layerFor(QByteArrayView name);
    int layerIndex(QByteArrayView name);
    int blockFor(QByteArrayView name);
    bool skipSection();
    bool parseTables();
    bool parseBlocks();
    bool parseEntities(Drawing &into, QByteArrayView end);
    bool readEntity(const Group &start, Drawing &into);
    bool walk(const Drawing &d, const QTransform &t, const Inherited &from, int depth,
              Sink &sink);
    std::optional<QRgb> colourOf(const Shape &s, const Inherited &from, int *layer) const;

    GroupReader m_in;
    QString m_error;
    QHash<QByteArray, int> m_layerIndex;
    QByteArray m_lastLayerName;
    int m_lastLayer = -1;
    std::vector<Layer> m_layers;
    QHash<QByteArray, int> m_blockIndex;
    std::vector<Drawing> m_blocks;
    Drawing m_entities;
    bool m_sawEntities = false;
    qint64 m_entityCount = 0;
    qint64 m_pointCount = 0;
    qint64 m_drawn = 0;
    qint64 m_drawnPoints = 0;
    int m_openPolyline = -1;     // index of a POLYLINE still taking VERTEX entities
};

bool DxfParser::number(const Group &g, double *out)
{
    if (g.decoded) {
        *out = g.number;
    } else {
        QByteArrayView text = g.text;
        if (text.startsWith('+'))
            text = text.sliced(1);
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size() || text.isEmpty())
            return fail(QStringLiteral("%1 %2: \"%3\" is not a number")
                            .arg(m_in.binary() ? QStringLiteral("byte") : QStringLiteral("line"))
                            .arg(g.where)
                            .arg(shown(g.text)));
        *out = value;
    }
    if (!std::isfinite(*out))
        return fail(QStringLiteral("%1 %2: a value is not a finite number")
                        .arg(m_in.binary() ? QStringLiteral("byte") : QStringLiteral("line"))
                        .arg(g.where));
    return true;
}

bool DxfParser::coordinate(const Group &g, double *out)
{
    if (!number(g, out))
        return false;
    if (std::abs(*out) > kMaxDxfCoordinate)
        return fail(QStringLiteral("the drawing's extents are absurd (a coordinate of %1)").arg(*out));
    return true;
}

int DxfParser::layerFor(QByteArrayView name)
{
    // Entities mostly come in runs on one layer.
    if (m_lastLayer >= 0 && name == m_lastLayerName)
        return m_lastLayer;
    m_lastLayerName = name.toByteArray();
    m_lastLayer = layerIndex(name);
    return m_lastLayer;
}

int DxfParser::layerIndex(QByteArrayView name)
{
    const QByteArray key = name.toByteArray().toUpper();
    const auto it = m_layerIndex.constFind(key);
    if (it != m_layerIndex.constEnd())
        return *it;
    if (m_layers.size() >= kMaxNames)
        return 0;
    m_layers.push_back(Layer{});
    m_layerIndex.insert(key, int(m_layers.size() - 1));
    return int(m_layers.size() - 1);
}

int DxfParser::blockFor(QByteArrayView name)
{
    const QByteArray key = name.toByteArray().toUpper();
    const auto it = m_blockIndex.constFind(key);
    if (it != m_blockIndex.constEnd())
        return *it;
    if (m_blocks.size() >= kMaxNames)
        return -1;
    m_blocks.emplace_back();
    m_blockIndex.insert(key, int(m_blocks.size() - 1));
    return int(m_blocks.size() - 1);
}

bool DxfParser::skipSection()
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code == 0 && g.text == "ENDSEC")
            return true;
    }
    return false;
}

bool DxfParser::parseTables()
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code != 0)
            continue;
        if (g.text == "ENDSEC")
            return true;
        if (g.text != "LAYER")
            continue;
        QByteArrayView name;
        Layer layer;
        bool more = false;
        while ((more = m_in.next(&g)) && g.code != 0) {
            double v = 0;
            if (g.code == 2) {
                name = g.text;
            } else if (g.code == 62 || g.code == 70 || g.code == 420) {
                if (!number(g, &v))
                    return false;
                if (g.code == 62) {
                    layer.off = v < 0;
                    layer.aci = int(std::clamp(std::abs(v), 0.0, 256.0));
                } else if (g.code == 70) {
                    layer.off = layer.off || (qint64(std::clamp(v, 0.0, 65535.0)) & 1);
                } else {
                    layer.trueColour = qint32(qint64(std::clamp(v, 0.0, 16777215.0)));
                }
            }
        }
        if (!more)
            return false;
        m_in.giveBack();
        m_layers[size_t(layerFor(name))] = layer;
    }
    return false;
}

bool DxfParser::parseBlocks()
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code != 0)
            continue;
        if (g.text == "ENDSEC")
            return true;
        if (g.text != "BLOCK")
            continue;
        QByteArrayView name;
        QPointF base;
        bool more = false;
        while ((more = m_in.next(&g)) && g.code != 0) {
            double v = 0;
            if (g.code == 2) {
                name = g.text;
            } else if (g.code == 10 || g.code == 20) {
                if (!coordinate(g, &v))
                    return false;
                (g.code == 10 ? base.rx() : base.ry()) = v;
            }
        }
        if (!more)
            return false;
        m_in.giveBack();
        const int index = blockFor(name);
        Drawing block;
        block.base = base;
        block.defined = true;
        if (!parseEntities(block, "ENDBLK"))
            return false;
        // A second definition of a name replaces the first.
        if (index >= 0)
            m_blocks[size_t(index)] = std::move(block);
    }
    return false;
}

bool DxfParser::parseEntities(Drawing &into, QByteArrayView end)
{
    m_openPolyline = -1;
    Group g;
    while (m_in.next(&g)) {
        if (g.code != 0)
            continue;
        if (g.text == end || g.text == "ENDSEC") {
            if (g.text != end)
                m_in.giveBack(); // a block without ENDBLK ends with its section
            return true;
        }
        if (!readEntity(g, into))
            return false;
    }
    return false;
}

bool DxfParser::readEntity(const Group &start, Drawing &into)
{
    if (++m_entityCount > kMaxDxfEntities)
        return fail(QStringLiteral("the drawing has more than %1 entities").arg(kMaxDxfEntities));
    const QByteArray type = start.text.toByteArray().toUpper();
    if (type != "VERTEX")
        m_openPolyline = -1;
    static const QSet<QByteArray> drawn{"LINE", "POINT", "SOLID", "TRACE", "3DFACE", "CIRCLE",
                                        "ARC", "ELLIPSE", "LWPOLYLINE", "POLYLINE", "VERTEX",
                                        "TEXT", "INSERT", "DIMENSION"};
    if (!drawn.contains(type)) {
        // Entities we do not draw are passed over unread.
        Group skipped;
        while (m_in.next(&skipped)) {
            if (skipped.code == 0) {
                m_in.giveBack();
                break;
            }
        }
        return m_in.error().isEmpty() || fail(m_in.error());
    }
    const bool lightweight = type == "LWPOLYLINE";
    const bool bulged = lightweight || type == "VERTEX";

    Shape shape;
    shape.layer = 0;
    QPointF p[4];
    bool seen[4] = {};
    double radius = 0, ratio = 1, startAngle = 0, endAngle = 360;
    bool seenStart = false, seenEnd = false;
    double extrusion = 1, flags = 0, bulge = 0;
    TextItem text;
    InsertItem insert;
    QByteArrayView blockName;
    std::vector<QPointF> vertices;
    std::vector<double> bulges;
    bool anyBulge = false;

    Group group;
    while (m_in.next(&group)) {
        if (group.code == 0) {
            m_in.giveBack();
            break;
        }
        const int c = group.code;
        double v = 0;
        if (c == 8) {
            shape.layer = layerFor(group.text);
            continue;
        }
        if (c == 1) {
            text.text = QString::fromUtf8(group.text.first(std::min<qsizetype>(group.text.size(), 4096)));
            continue;
        }
        if (c == 2) {
            blockName = group.text;
            continue;
        }
        if (kindOf(c) == ValueKind::String || kindOf(c) == ValueKind::Chunk)
            continue;
        if ((c >= 10 && c <= 13) || (c >= 20 && c <= 23)) {
            if (!coordinate(group, &v))
                return false;
        } else if (!number(group, &v)) {
            return false;
        }
        switch (c) {
        case 10:
            if (lightweight) {
                if (++m_pointCount > kMaxDxfPoints)
                    return fail(QStringLiteral("the drawing has more than %1 points").arg(kMaxDxfPoints));
                vertices.emplace_back(v, 0);
                bulges.push_back(0);
                break;
            }
            [[fallthrough]];
        case 11:
        case 12:
        case 13:
            p[c - 10].rx() = v;
            seen[c - 10] = true;
            break;
        case 20:
            if (lightweight) {
                if (!vertices.empty())
                    vertices.back().ry() = v;
                break;
            }
            [[fallthrough]];
        case 21:
        case 22:
        case 23:
            p[c - 20].ry() = v;
            seen[c - 20] = true;
            break;
        case 40:
            if (!(std::abs(v) <= kMaxDxfCoordinate))
                return fail(QStringLiteral("the drawing's extents are absurd (a size of %1)").arg(v));
            radius = v;
            text.height = v;
            break;
        case 41:
            insert.scale.rx() = v;
            text.widthFactor = v;
            startAngle = v;
            seenStart = true;
            break;
        case 42:
            if (bulged) {
                bulge = v;
                if (!bulges.empty())
                    bulges.back() = v;
                anyBulge = anyBulge || v != 0;
            } else {
                insert.scale.ry() = v;
                endAngle = v;
                seenEnd = true;
            }
            break;
        case 44:
            insert.columnSpacing = v;
            break;
        case 45:
            insert.rowSpacing = v;
            break;
        case 50:
            startAngle = v;
            text.rotation = v;
            insert.rotation = v;
            break;
        case 51:
            endAngle = v;
            break;
        case 62:
            shape.aci = int(std::clamp(std::abs(v), 0.0, 256.0));
            break;
        case 70:
            flags = v;
            insert.columns = int(std::clamp(v, 1.0, 1e9));
            break;
        case 71:
            insert.rows = int(std::clamp(v, 1.0, 1e9));
            break;
        case 72:
            text.hAlign = int(std::clamp(v, 0.0, 5.0));
            break;
        case 73:
            text.vAlign = int(std::clamp(v, 0.0, 3.0));
            break;
        case 230:
            extrusion = v;
            break;
        case 420:
            shape.trueColour = qint32(qint64(std::clamp(v, 0.0, 16777215.0)));
            break;
        default:
            break;
        }
    }
    if (!m_in.error().isEmpty())
        return fail(m_in.error());
    shape.mirrored = extrusion < 0;
    if (type == "ELLIPSE") {
        ratio = radius; // the minor axis as a fraction of the major
        if (!seenStart)
            startAngle = 0;
        if (!seenEnd)
            endAngle = 2 * kPi;
    }
    const int flagBits = int(std::clamp(flags, 0.0, 65535.0));

    auto addPoints = [&](std::initializer_list<QPointF> list) {
        shape.first = quint32(into.points.size());
        shape.count = quint32(list.size());
        into.points.insert(into.points.end(), list);
        m_pointCount += qint64(list.size());
    };

    if (type == "LINE") {
        shape.kind = Shape::Kind::Polyline;
        shape.mirrored = false;
        addPoints({p[0], p[1]});
    } else if (type == "POINT") {
        shape.kind = Shape::Kind::Point;
        shape.mirrored = false;
        addPoints({p[0]});
    } else if (type == "SOLID" || type == "TRACE") {
        shape.kind = Shape::Kind::Fill;
        addPoints({p[0], p[1], seen[3] ? p[3] : p[2], p[2]});
    } else if (type == "3DFACE") {
        shape.kind = Shape::Kind::Polyline;
        shape.closed = true;
        shape.mirrored = false;
        addPoints({p[0], p[1], p[2], seen[3] ? p[3] : p[2]});
    } else if (type == "CIRCLE" || type == "ARC") {
        if (radius <= 0)
            return true;
        Curve curve{p[0], QPointF(radius, 0), QPointF(0, radius), 0, 2 * kPi};
        if (type == "ARC") {
            curve.start = startAngle * kPi / 180;
            curve.end = endAngle * kPi / 180;
            normaliseSweep(&curve.start, &curve.end);
        }
        shape.kind = Shape::Kind::Curve;
        shape.extra = int(into.curves.size());
        into.curves.push_back(curve);
    } else if (type == "ELLIPSE") {
        const QPointF major = p[1];
        if (major.isNull() || !(ratio > 0 && ratio <= 1.0 + 1e-9))
            return true;
        // The minor axis is the major turned a quarter about the extrusion.
        const double side = shape.mirrored ? -1 : 1;
        Curve curve{p[0], major, QPointF(-major.y(), major.x()) * ratio * side, startAngle, endAngle};
        normaliseSweep(&curve.start, &curve.end);
        shape.mirrored = false;
        shape.kind = Shape::Kind::Curve;
        shape.extra = int(into.curves.size());
        into.curves.push_back(curve);
    } else if (type == "LWPOLYLINE") {
        shape.kind = Shape::Kind::Polyline;
        shape.closed = flagBits & 1;
        shape.first = quint32(into.points.size());
        shape.count = quint32(vertices.size());
        into.points.insert(into.points.end(), vertices.begin(), vertices.end());
        if (anyBulge) {
            into.bulges.resize(shape.first, 0.0);
            into.bulges.insert(into.bulges.end(), bulges.begin(), bulges.end());
        }
    } else if (type == "POLYLINE") {
        // Meshes and face lists are drawn by their vertices' outline.
        shape.kind = Shape::Kind::Polyline;
        shape.closed = flagBits & 1;
        if (flagBits & 8)
            shape.mirrored = false; // a 3D polyline lies in world coordinates
        shape.first = quint32(into.points.size());
        shape.count = 0;
        into.shapes.push_back(shape);
        m_openPolyline = int(into.shapes.size() - 1);
        return true;
    } else if (type == "VERTEX") {
        // Spline frame points and the face records of a face list are no
        // corners.
        const bool faceRecord = (flagBits & 128) && !(flagBits & 64);
        if (m_openPolyline < 0 || (flagBits & 16) || faceRecord)
            return true;
        Shape &open = into.shapes[size_t(m_openPolyline)];
        if (++m_pointCount > kMaxDxfPoints)
            return fail(QStringLiteral("the drawing has more than %1 points").arg(kMaxDxfPoints));
        into.points.push_back(p[0]);
        if (bulge != 0) {
            into.bulges.resize(into.points.size() - 1, 0.0);
            into.bulges.push_back(bulge);
        }
        ++open.count;
        return true;
    } else if (type == "TEXT") {
        text.anchor = (text.hAlign || text.vAlign) && seen[1] ? p[1] : p[0];
        if (!(text.height > 0) || text.text.isEmpty())
            return true;
        if (!(std::abs(text.widthFactor) > 0.01 && std::abs(text.widthFactor) < 100))
            text.widthFactor = 1;
        shape.kind = Shape::Kind::Text;
        shape.extra = int(into.texts.size());
        into.texts.push_back(text);
    } else if (type == "INSERT" || type == "DIMENSION") {
        if (blockName.isEmpty())
            return true;
        if (type == "DIMENSION") {
            insert = InsertItem{}; // its picture is a block at the origin
        } else {
            insert.at = p[0];
            if (!(std::abs(insert.scale.x()) <= 1e6 && std::abs(insert.scale.y()) <= 1e6))
                return fail(QStringLiteral("a block is inserted at an absurd scale"));
            if (qint64(insert.columns) * insert.rows > kMaxDxfDrawnShapes)
                return fail(QStringLiteral("a block is inserted more than %1 times").arg(kMaxDxfDrawnShapes));
            if (!(std::abs(insert.columnSpacing) <= kMaxDxfCoordinate
                  && std::abs(insert.rowSpacing) <= kMaxDxfCoordinate))
                return fail(QStringLiteral("the drawing's extents are absurd (a block array spacing)"));
        }
        insert.block = blockFor(blockName);
        if (insert.block < 0)
            return true;
        shape.kind = Shape::Kind::Insert;
        shape.extra = int(into.inserts.size());
        into.inserts.push_back(insert);
    } else {
        return true; // other entities are not drawn
    }
    if (m_pointCount > kMaxDxfPoints)
        return fail(QStringLiteral("the drawing has more than %1 points").arg(kMaxDxfPoints));
    into.shapes.push_back(shape);
    return true;
}

bool DxfParser::parse()
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code != 0)
            continue;
        if (g.text == "EOF")
            break;
        if (g.text != "SECTION")
            continue;
        if (!m_in.next(&g))
            break;
        const QByteArray name = g.text.toByteArray().toUpper();
        bool closed;
        if (name == "TABLES") {
            closed = parseTables();
        } else if (name == "BLOCKS") {
            closed = parseBlocks();
        } else if (name == "ENTITIES") {
            m_sawEntities = true;
            closed = parseEntities(m_entities, "ENDSEC");
        } else {
            closed = skipSection();
        }
        if (!m_error.isEmpty())
            return false;
        if (!m_in.error().isEmpty())
            return fail(m_in.error());
        if (!closed)
            return fail(QStringLiteral("the drawing is incomplete: it ends inside its %1 section")
                            .arg(QString::fromLatin1(name.left(40))));
    }
    if (!m_in.error().isEmpty())
        return fail(m_in.error());
    if (!m_sawEntities)
        return fail(QStringLiteral("it has no ENTITIES section, so it is not a DXF drawing"));
    return true;
}

std::optional<QRgb> DxfParser::colourOf(const Shape &s, const Inherited &from, int *layer) const
{
    int index = s.layer;
    if (index == 0 && from.layer >= 0)
        index = from.layer;
    *layer = index;
    const Layer &l = m_layers[size_t(index)];
    if (l.off)
        return std::nullopt;
    if (s.trueColour >= 0)
        return QRgb(s.trueColour) | 0xFF000000u;
    if (s.aci == 0)
        return from.byBlock;
    if (s.aci >= kAciFirst && s.aci <= kAciLast)
        return aciColour(s.aci);
    if (l.trueColour >= 0)
        return QRgb(l.trueColour) | 0xFF000000u;
    return aciColour(l.aci);
}

bool DxfParser::walk(const Drawing &d, const QTransform &parent, const Inherited &from,
                     int depth, Sink &sink)
{
    static const QTransform mirror(-1, 0, 0, 1, 0, 0);
    QPolygonF polygon;
    for (const Shape &s : d.shapes) {
        if (++m_drawn > kMaxDxfDrawnShapes)
            return fail(QStringLiteral("the drawing has more than %1 shapes once its blocks are inserted")
                            .arg(kMaxDxfDrawnShapes));
        int layer = 0;
        const std::optional<QRgb> colour = colourOf(s, from, &layer);
        if (!colour)
            continue;
        const QTransform t = s.mirrored ? mirror * parent : parent;
        const double scale = scaleOf(t);
        polygon.clear();
        switch (s.kind) {
        case Shape::Kind::Point:
            sink.point(t.map(d.points[s.first]), *colour);
            break;
        case Shape::Kind::Fill:
            for (quint32 i = 0; i < s.count; ++i)
                polygon << t.map(d.points[s.first + i]);
            sink.fill(polygon, *colour);
            break;
        case Shape::Kind::Polyline:
            for (quint32 i = 0; i < s.count; ++i) {
                const quint32 at = s.first + i;
                const QPointF a = d.points[at];
                polygon << t.map(a);
                const double b = at < d.bulges.size() ? d.bulges[at] : 0.0;
                const bool last = i + 1 == s.count;
                if (b == 0 || !std::isfinite(b) || (last && !s.closed))
                    continue;
                const QPointF z = d.points[last ? s.first : at + 1];
                const double bulge = std::clamp(b, -1e6, 1e6);
                const QPointF chord = z - a;
                const double length = std::hypot(chord.x(), chord.y());
                if (length == 0 || std::abs(bulge) < 1e-9)
                    continue;
                const QPointF centre = (a + z) / 2
                    + QPointF(-chord.y(), chord.x()) * ((1 - bulge * bulge) / (4 * bulge));
                const double r = std::hypot(a.x() - centre.x(), a.y() - centre.y());
                const double from0 = std::atan2(a.y() - centre.y(), a.x() - centre.x());
                const double sweep = 4 * std::atan(bulge);
                const int n = segmentsFor(r * scale, sweep);
                m_drawnPoints += n;
                if (m_drawnPoints > kMaxDxfDrawnPoints)
                    return fail(QStringLiteral("the drawing has more than %1 points to draw").arg(kMaxDxfDrawnPoints));
                for (int k = 1; k < n; ++k) {
                    const double angle = from0 + sweep * k / n;
                    polygon << t.map(centre + QPointF(std::cos(angle), std::sin(angle)) * r);
                }
            }
            m_drawnPoints += s.count;
            if (!polygon.isEmpty())
                sink.lines(polygon, s.closed, *colour);
            break;
        case Shape::Kind::Curve: {
            const Curve &c = d.curves[size_t(s.extra)];
            const double radius = std::max(std::hypot(c.major.x(), c.major.y()),
                                           std::hypot(c.minor.x(), c.minor.y()));
            const double sweep = std::min(c.end - c.start, 2 * kPi);
            const int n = segmentsFor(radius * scale, sweep);
            m_drawnPoints += n;
            if (m_drawnPoints > kMaxDxfDrawnPoints)
                return fail(QStringLiteral("the drawing has more than %1 points to draw").arg(kMaxDxfDrawnPoints));
            for (int k = 0; k <= n; ++k) {
                const double angle = c.start + sweep * k / n;
                polygon << t.map(c.centre + c.major * std::cos(angle) + c.minor * std::sin(angle));
            }
            sink.lines(polygon, false, *colour);
            break;
        }
        case Shape::Kind::Text:
            sink.text(d.texts[size_t(s.extra)], t, *colour);
            break;
        case Shape::Kind::Insert: {
            const InsertItem &in = d.inserts[size_t(s.extra)];
            const Drawing &block = m_blocks[size_t(in.block)];
            if (!block.defined || block.shapes.empty())
                break;
            if (depth >= kMaxDxfBlockDepth)
                return fail(QStringLiteral("blocks are nested more than %1 deep (or insert themselves)")
                                .arg(kMaxDxfBlockDepth));
            const Inherited inner{*colour, layer};
            for (int row = 0; row < in.rows; ++row) {
                for (int column = 0; column < in.columns; ++column) {
                    QTransform place;
                    place.translate(in.at.x(), in.at.y());
                    place.rotate(in.rotation);
                    place.translate(column * in.columnSpacing, row * in.rowSpacing);
                    place.scale(in.scale.x(), in.scale.y());
                    place.translate(-block.base.x(), -block.base.y());
                    if (!walk(block, place * t, inner, depth + 1, sink))
                        return false;
                }
            }
            break;
        }
        }
    }
    return true;
}

// Gathers the extents in drawing units.
class BoundsSink : public Sink
{
public:
    void lines(const QPolygonF &points, bool, QRgb) override
    {
        for (const QPointF &p : points)
            add(p, &m_strokes);
    }
    void fill(const QPolygonF &points, QRgb) override
    {
        for (const QPointF &p : points)
            add(p, &m_fills);
    }
    void point(QPointF at, QRgb) override { add(at, &m_strokes); }
    void text(const TextItem &item, const QTransform &t, QRgb) override
    {
        // The text's box, estimated from its height: fonts differ anyway.
        const double w = item.height * item.widthFactor * 0.6 * double(item.text.size());
        const double h = item.height;
        double x0 = 0, y0 = 0;
        if (item.hAlign == 1 || item.hAlign == 4)
            x0 = -w / 2;
        else if (item.hAlign == 2)
            x0 = -w;
        if (item.vAlign == 2)
            y0 = -h / 2;
        else if (item.vAlign == 3)
            y0 = -h;
        QTransform local;
        local.translate(item.anchor.x(), item.anchor.y());
        local.rotate(item.rotation);
        for (const QPointF corner : {QPointF(x0, y0), QPointF(x0 + w, y0), QPointF(x0, y0 + h),
                                     QPointF(x0 + w, y0 + h)})
            add((local * t).map(corner), &m_fills);
    }

    struct Box {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool any = false;
    };
    bool sane() const { return m_sane; }
    bool hasStrokes() const { return m_strokes.any; }
    Box all() const
    {
        if (!m_strokes.any)
            return m_fills;
        if (!m_fills.any)
            return m_strokes;
        return Box{std::min(m_fills.x0, m_strokes.x0), std::min(m_fills.y0, m_strokes.y0),
                   std::max(m_fills.x1, m_strokes.x1), std::max(m_fills.y1, m_strokes.y1), true};
    }

private:
    void add(QPointF p, Box *box)
    {
        if (!(std::abs(p.x()) <= kMaxDxfCoordinate && std::abs(p.y()) <= kMaxDxfCoordinate)) {
            m_sane = false;
            return;
        }
        if (!box->any) {
            *box = Box{p.x(), p.y(), p.x(), p.y(), true};
            return;
        }
        box->x0 = std::min(box->x0, p.x());
        box->y0 = std::min(box->y0, p.y());
        box->x1 = std::max(box->x1, p.x());
        box->y1 = std::max(box->y1, p.y());
    }
    Box m_fills, m_strokes;
    bool m_sane = true;
};

class PaintSink : public Sink
{
public:
    explicit PaintSink(QImage *image) : m_painter(image)
    {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_canText = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    }
    void lines(const QPolygonF &points, bool closed, QRgb colour) override
    {
        m_painter.setPen(QPen(QColor(colour), 0));
        if (closed)
            m_painter.drawPolygon(points);
        else
            m_painter.drawPolyline(points);
    }
    void fill(const QPolygonF &points, QRgb colour) override
    {
        // Our own drawings are all upright rectangles; fill those directly.
        if (points.size() == 4) {
            const QRectF box = points.boundingRect();
            bool upright = true;
            for (const QPointF &p : points)
                upright = upright && (p.x() == box.left() || p.x() == box.right())
                    && (p.y() == box.top() || p.y() == box.bottom());
            if (upright && box.width() > 0 && box.height() > 0) {
                m_painter.fillRect(box, QColor(colour));
                return;
            }
        }
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(QColor(colour));
        m_painter.drawPolygon(points);
        m_painter.setBrush(Qt::NoBrush);
    }
    void point(QPointF at, QRgb colour) override
    {
        // The pixel the point lies in, whatever the painter's rounding.
        m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), QColor(colour));
    }
    void text(const TextItem &item, const QTransform &t, QRgb colour) override
    {
        // Fonts need the GUI application; without one text is left out.
        if (!m_canText)
            return;
        const double size = item.height * scaleOf(t);
        if (!(size >= 1 && size <= 4096))
            return;
        QFont font;
        // A font's capital letters are about seven tenths of its pixel size.
        font.setPixelSize(std::max(1, int(std::lround(size / 0.7))));
        const QFontMetricsF metrics(font);
        const double w = metrics.horizontalAdvance(item.text);
        double dx = 0, dy = 0;
        if (item.hAlign == 1 || item.hAlign == 4)
            dx = -w / 2;
        else if (item.hAlign == 2)
            dx = -w;
        if (item.vAlign == 2)
            dy = size / 2;
        else if (item.vAlign == 3)
            dy = size;
        m_painter.save();
        const QPointF at = t.map(item.anchor);
        m_painter.translate(at);
        // The page's y axis points down, the drawing's up.
        const QPointF ahead = t.map(item.anchor + QPointF(std::cos(item.rotation * kPi / 180),
                                                          std::sin(item.rotation * kPi / 180)));
        m_painter.rotate(std::atan2(ahead.y() - at.y(), ahead.x() - at.x()) * 180 / kPi);
        m_painter.scale(item.widthFactor, 1);
        m_painter.setFont(font);
        m_painter.setPen(QColor(colour));
        m_painter.drawText(QPointF(dx, dy), item.text);
        m_painter.restore();
    }

private:
    QPainter m_painter;
    bool m_canText = false;
};

QImage DxfParser::render()
{
    BoundsSink bounds;
    if (!walk(m_entities, QTransform(), Inherited{}, 0, bounds))
        return {};
    if (!bounds.sane()) {
        fail(QStringLiteral("the drawing's extents are absurd (blocks are placed too far out)"));
        return {};
    }
    const BoundsSink::Box box = bounds.all();
    if (!box.any) {
        fail(QStringLiteral("the drawing has no entities to draw"));
        return {};
    }
    // A line one unit wide reaches half a unit past its ends.
    const double pad = bounds.hasStrokes() ? 1 : 0;
    const double w = box.x1 - box.x0, h = box.y1 - box.y0;
    double scale = 1;
    if (!(w + pad >= 1 && h + pad >= 1 && w + pad <= kMaxSide && h + pad <= kMaxSide
          && std::ceil(w + pad - 1e-9) * std::ceil(h + pad - 1e-9) <= double(kMaxPixels))) {
        const double longer = std::max(w, h);
        scale = longer > 0 ? (kDxfScaledSide - pad) / longer : 1;
    }
    const int width = int(std::clamp(std::ceil(w * scale + pad - 1e-9), 1.0, double(kMaxSide)));
    const int height = int(std::clamp(std::ceil(h * scale + pad - 1e-9), 1.0, double(kMaxSide)));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        fail(QStringLiteral("there is not enough memory to draw it at %1 x %2 pixels").arg(width).arg(height));
        return {};
    }
    image.fill(Qt::white);
    const QTransform toPixels(scale, 0, 0, -scale, -box.x0 * scale + pad / 2,
                              box.y1 * scale + pad / 2);
    m_drawn = 0;
    m_drawnPoints = 0;
    {
        PaintSink paint(&image);
        if (!walk(m_entities, toPixels, Inherited{}, 0, paint))
            return {};
    }
    return image;
}

} // namespace

bool looksLikeDxf(const QByteArray &head)
{
    if (QByteArrayView(head).startsWith(kBinarySentinel))
        return true;
    // A text drawing opens with group code 0 and SECTION, or with a comment.
    const QByteArray simplified =
        (head.startsWith(kUtf8Mark) ? head.mid(kUtf8Mark.size()) : head).left(256).simplified();
    return simplified.startsWith("0 SECTION") || simplified.startsWith("999 ");
}

QImage readDxf(const QByteArray &bytes, QString *reason)
{
    DxfParser parser(bytes);
    QImage image;
    if (parser.parse())
        image = parser.render();
    if (image.isNull())
        *reason = parser.error().isEmpty() ? QStringLiteral("the drawing could not be read")
                                           : parser.error();
    return image;
}

} // namespace imaging::detail
