#include "workload.h"

#include "limits.h"
#include "text.h"

#include <cmath>

namespace imaging::detail::dxf {
namespace {

QString millions(double pixels)
{
    return QStringLiteral("%1 million").arg(std::floor(pixels / 1e6));
}

} // namespace

Workload::Workload(QSize raster)
    : m_raster(raster)
    , m_maxStrokes(double(maxDxfStrokePixels(qint64(raster.width()) * raster.height())))
    , m_maxFills(double(maxDxfFillPixels(qint64(raster.width()) * raster.height())))
{
}

void Workload::lines(const QPolygonF &points, bool closed, QRgb)
{
    const auto length = [](QPointF a, QPointF b) { return std::hypot(b.x() - a.x(), b.y() - a.y()); };
    double pixels = 1;
    for (qsizetype i = 1; i < points.size(); ++i)
        pixels += length(points[i - 1], points[i]);
    if (closed && points.size() > 2)
        pixels += length(points.last(), points.first());
    addStroke(pixels);
}

void Workload::fill(const QPolygonF &points, QRgb)
{
    addFill(points.boundingRect());
}

void Workload::point(QPointF, QRgb)
{
    addStroke(1);
}

// Laying out and drawing a letter costs about as much as filling 64 pixels
// more than its box, which is what counts for large letters.
void Workload::text(const TextItem &item, const QTransform &t, QRgb)
{
    if (paintedHeight(item, t) > 0)
        addFill(textBox(item, t).boundingRect(), 64.0 * double(item.text.size()));
}

void Workload::addStroke(double pixels)
{
    m_strokes += pixels;
    if (m_strokes > m_maxStrokes)
        refuse(QStringLiteral("the drawing is too much work to draw: its lines add up to more than %1 pixels on a picture of %2 x %3")
                   .arg(millions(m_maxStrokes))
                   .arg(m_raster.width())
                   .arg(m_raster.height()));
}

// Painting a filled shape costs about the pixels of its bounding box that lie
// on the picture, edges included.
void Workload::addFill(const QRectF &box, double extra)
{
    const double x0 = std::max(box.left(), 0.0), x1 = std::min(box.right(), double(m_raster.width()));
    const double y0 = std::max(box.top(), 0.0), y1 = std::min(box.bottom(), double(m_raster.height()));
    if (!(x0 <= x1 && y0 <= y1))
        return;
    m_fills += (x1 - x0 + 1) * (y1 - y0 + 1) + extra;
    if (m_fills > m_maxFills)
        refuse(QStringLiteral("the drawing is too much work to draw: its filled areas add up to more than %1 pixels on a picture of %2 x %3")
                   .arg(millions(m_maxFills))
                   .arg(m_raster.width())
                   .arg(m_raster.height()));
}

} // namespace imaging::detail::dxf
