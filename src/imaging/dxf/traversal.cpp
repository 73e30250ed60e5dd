#include "traversal.h"

#include "imaging/deadline.h"
#include "limits.h"

#include <cmath>

namespace imaging::detail::dxf {
namespace {

// The deadline is asked once per this many shapes.
constexpr qint64 kShapesPerCheck = 256;

// Enough segments that a curve of this radius in pixels strays less than a
// quarter pixel from its true course.
int segmentsFor(double radius, double sweep)
{
    const double n = std::ceil(std::abs(sweep) * std::sqrt(std::max(radius, 1.0) / 2));
    return int(std::clamp(n, 4.0, 4096.0));
}

} // namespace

double scaleOf(const QTransform &t)
{
    return std::sqrt(std::abs(t.determinant()));
}

Traversal::Traversal(const std::vector<Drawing> &blocks, const std::vector<Layer> &layers,
                     const Deadline &deadline)
    : m_blocks(blocks)
    , m_layers(layers)
    , m_deadline(deadline)
{
}

bool Traversal::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return false;
}

bool Traversal::walk(const Drawing &drawing, const QTransform &toSink, Sink &sink)
{
    return walk(drawing, toSink, Inherited{}, 0, sink);
}

std::optional<QRgb> Traversal::colourOf(const Shape &s, const Inherited &from, int *layer) const
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

bool Traversal::drawPoints(int count)
{
    m_drawnPoints += count;
    if (m_drawnPoints > kMaxDxfDrawnPoints)
        return fail(QStringLiteral("the drawing has more than %1 points to draw").arg(kMaxDxfDrawnPoints));
    return true;
}

// The corners, with each bulged edge an arc: the bulge is the tangent of a
// quarter of the arc's angle, positive counterclockwise.
bool Traversal::polyline(const Drawing &d, const Shape &s, const QTransform &t, QPolygonF *polygon)
{
    const double scale = scaleOf(t);
    for (quint32 i = 0; i < s.count; ++i) {
        const quint32 at = s.first + i;
        const QPointF a = d.points[at];
        *polygon << t.map(a);
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
        const QPointF centre = (a + z) / 2 + QPointF(-chord.y(), chord.x()) * ((1 - bulge * bulge) / (4 * bulge));
        const double r = std::hypot(a.x() - centre.x(), a.y() - centre.y());
        const double from0 = std::atan2(a.y() - centre.y(), a.x() - centre.x());
        const double sweep = 4 * std::atan(bulge);
        const int n = segmentsFor(r * scale, sweep);
        if (!drawPoints(n))
            return false;
        for (int k = 1; k < n; ++k) {
            const double angle = from0 + sweep * k / n;
            *polygon << t.map(centre + QPointF(std::cos(angle), std::sin(angle)) * r);
        }
    }
    m_drawnPoints += s.count;
    return true;
}

bool Traversal::curve(const Curve &c, const QTransform &t, QPolygonF *polygon)
{
    const double radius = std::max(std::hypot(c.major.x(), c.major.y()), std::hypot(c.minor.x(), c.minor.y()));
    const double sweep = std::min(c.end - c.start, 2 * kPi);
    const int n = segmentsFor(radius * scaleOf(t), sweep);
    if (!drawPoints(n))
        return false;
    for (int k = 0; k <= n; ++k) {
        const double angle = c.start + sweep * k / n;
        *polygon << t.map(c.centre + c.major * std::cos(angle) + c.minor * std::sin(angle));
    }
    return true;
}

bool Traversal::insert(const InsertItem &in, const QTransform &t, const Inherited &inner, int depth,
                       Sink &sink)
{
    const Drawing &block = m_blocks[size_t(in.block)];
    if (!block.defined || block.shapes.empty())
        return true;
    if (depth >= kMaxDxfBlockDepth)
        return fail(QStringLiteral("blocks are nested more than %1 deep (or insert themselves)").arg(kMaxDxfBlockDepth));
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
    return true;
}

bool Traversal::walk(const Drawing &d, const QTransform &parent, const Inherited &from, int depth,
                     Sink &sink)
{
    static const QTransform mirror(-1, 0, 0, 1, 0, 0);
    QPolygonF polygon;
    for (const Shape &s : d.shapes) {
        if (++m_drawn > kMaxDxfDrawnShapes)
            return fail(QStringLiteral("the drawing has more than %1 shapes once its blocks are inserted")
                            .arg(kMaxDxfDrawnShapes));
        if (m_drawn % kShapesPerCheck == 0 && m_deadline.expired())
            return fail(m_deadline.reason());
        int layer = 0;
        const std::optional<QRgb> colour = colourOf(s, from, &layer);
        if (!colour)
            continue;
        const QTransform t = s.mirrored ? mirror * parent : parent;
        polygon.clear();
        bool ok = true;
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
            ok = polyline(d, s, t, &polygon);
            if (ok && !polygon.isEmpty())
                sink.lines(polygon, s.closed, *colour);
            break;
        case Shape::Kind::Curve:
            ok = curve(d.curves[size_t(s.extra)], t, &polygon);
            if (ok)
                sink.lines(polygon, false, *colour);
            break;
        case Shape::Kind::Text:
            sink.text(d.texts[size_t(s.extra)], t, *colour);
            break;
        case Shape::Kind::Insert:
            ok = insert(d.inserts[size_t(s.extra)], t, Inherited{*colour, layer}, depth, sink);
            break;
        }
        if (!ok)
            return false;
        if (!sink.refusal().isEmpty())
            return fail(sink.refusal());
    }
    return true;
}

} // namespace imaging::detail::dxf
