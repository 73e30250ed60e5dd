#include "extents.h"

#include "limits.h"
#include "text.h"

namespace imaging::detail::dxf {

void Extents::lines(const QPolygonF &points, bool, QRgb)
{
    for (const QPointF &p : points)
        add(p, &m_strokes);
}

void Extents::fill(const QPolygonF &points, QRgb)
{
    for (const QPointF &p : points)
        add(p, &m_fills);
}

void Extents::point(QPointF at, QRgb)
{
    add(at, &m_strokes);
}

void Extents::text(const TextItem &item, const QTransform &t, QRgb)
{
    for (const QPointF &corner : textBox(item, t))
        add(corner, &m_fills);
}

Extents::Box Extents::all() const
{
    if (!m_strokes.any)
        return m_fills;
    if (!m_fills.any)
        return m_strokes;
    return Box{std::min(m_fills.x0, m_strokes.x0), std::min(m_fills.y0, m_strokes.y0),
               std::max(m_fills.x1, m_strokes.x1), std::max(m_fills.y1, m_strokes.y1), true};
}

void Extents::add(QPointF p, Box *box)
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

} // namespace imaging::detail::dxf
