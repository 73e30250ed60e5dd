#include "parser.h"

#include "entities.h"
#include "limits.h"

#include <charconv>

namespace imaging::detail::dxf {
namespace {

// Distinct layer and block names; later ones fall back to layer 0 or to
// nothing, so that names cannot be used to fill the memory.
constexpr size_t kMaxNames = 65536;

using EntityReader = bool (*)(Parser &, const QByteArray &, Drawing &);

EntityReader readerFor(const QByteArray &type)
{
    static const QHash<QByteArray, EntityReader> readers{
        {"LINE", readCorners},     {"POINT", readCorners},
        {"SOLID", readCorners},    {"TRACE", readCorners},
        {"3DFACE", readCorners},   {"CIRCLE", readCurve},
        {"ARC", readCurve},        {"ELLIPSE", readCurve},
        {"LWPOLYLINE", readLightweightPolyline},
        {"POLYLINE", readPolyline}, {"VERTEX", readVertex},
        {"TEXT", readText},        {"INSERT", readInsert},
        {"DIMENSION", readInsert}};
    return readers.value(type, nullptr);
}

} // namespace

Parser::Parser(QIODevice &device, const Deadline &deadline)
    : m_in(device, deadline)
{
    layerFor("0");
}

bool Parser::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return false;
}

bool Parser::number(const Group &g, double *out)
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
            return fail(QStringLiteral("%1: \"%2\" is not a number").arg(m_in.place(g), shown(g.text)));
        *out = value;
    }
    if (!std::isfinite(*out))
        return fail(QStringLiteral("%1: a value is not a finite number").arg(m_in.place(g)));
    return true;
}

bool Parser::coordinate(const Group &g, double *out)
{
    if (!number(g, out))
        return false;
    if (std::abs(*out) > kMaxDxfCoordinate)
        return fail(QStringLiteral("the drawing's extents are absurd (a coordinate of %1)").arg(*out));
    return true;
}

bool Parser::size(double value)
{
    if (!(std::abs(value) <= kMaxDxfCoordinate))
        return fail(QStringLiteral("the drawing's extents are absurd (a size of %1)").arg(value));
    return true;
}

int Parser::layerFor(QByteArrayView name)
{
    // Entities mostly come in runs on one layer.
    if (m_lastLayer >= 0 && name == m_lastLayerName)
        return m_lastLayer;
    m_lastLayerName = name.toByteArray();
    m_lastLayer = layerIndex(name);
    return m_lastLayer;
}

int Parser::layerIndex(QByteArrayView name)
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

int Parser::blockFor(QByteArrayView name)
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

bool Parser::holdPoints(qint64 count)
{
    m_pointCount += count;
    if (m_pointCount > kMaxDxfPoints)
        return fail(QStringLiteral("the drawing has more than %1 points").arg(kMaxDxfPoints));
    return true;
}

bool Parser::add(Drawing &into, Shape shape, std::initializer_list<QPointF> points)
{
    shape.first = quint32(into.points.size());
    shape.count = quint32(points.size());
    into.points.insert(into.points.end(), points);
    if (!holdPoints(qint64(points.size())))
        return false;
    into.shapes.push_back(shape);
    return true;
}

bool Parser::skipSection()
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code == 0 && g.text == "ENDSEC")
            return true;
    }
    return false;
}

bool Parser::skipEntity()
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code == 0) {
            m_in.giveBack();
            break;
        }
    }
    return m_in.error().isEmpty() || fail(m_in.error());
}

bool Parser::readRecords(QByteArrayView kind, const std::function<bool(const Group &)> &field,
                         const std::function<bool()> &record)
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code != 0)
            continue;
        if (g.text == "ENDSEC")
            return true;
        if (g.text != kind)
            continue;
        bool more = false;
        while ((more = m_in.next(&g)) && g.code != 0) {
            if (!field(g))
                return false;
        }
        if (!more)
            return false;
        m_in.giveBack();
        if (!record())
            return false;
    }
    return false;
}

bool Parser::parseTables()
{
    QByteArray name;
    Layer layer;
    const auto field = [&](const Group &g) {
        double v = 0;
        if (g.code == 2) {
            name = g.text.toByteArray();
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
        return true;
    };
    return readRecords("LAYER", field, [&] {
        m_layers[size_t(layerFor(std::exchange(name, {})))] = std::exchange(layer, {});
        return true;
    });
}

bool Parser::parseBlocks()
{
    QByteArray name;
    QPointF base;
    const auto field = [&](const Group &g) {
        double v = 0;
        if (g.code == 2) {
            name = g.text.toByteArray();
        } else if (g.code == 10 || g.code == 20) {
            if (!coordinate(g, &v))
                return false;
            (g.code == 10 ? base.rx() : base.ry()) = v;
        }
        return true;
    };
    return readRecords("BLOCK", field, [&] {
        const int index = blockFor(std::exchange(name, {}));
        Drawing block;
        block.base = std::exchange(base, {});
        block.defined = true;
        if (!parseEntities(block, "ENDBLK"))
            return false;
        // A second definition of a name replaces the first.
        if (index >= 0)
            m_blocks[size_t(index)] = std::move(block);
        return true;
    });
}

bool Parser::parseEntities(Drawing &into, QByteArrayView end)
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

bool Parser::readEntity(const Group &start, Drawing &into)
{
    if (++m_entityCount > kMaxDxfEntities)
        return fail(QStringLiteral("the drawing has more than %1 entities").arg(kMaxDxfEntities));
    const QByteArray type = start.text.toByteArray().toUpper();
    if (type != "VERTEX")
        m_openPolyline = -1;
    // Entities we do not draw are passed over unread.
    const EntityReader reader = readerFor(type);
    return reader ? reader(*this, type, into) : skipEntity();
}

bool Parser::parse()
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

} // namespace imaging::detail::dxf
