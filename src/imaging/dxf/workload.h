#pragma once

#include "traversal.h"

#include <QSize>

// Sums what painting a drawing will cost before a pixel is painted, and
// refuses the drawing once the sums pass the caps in limits.h: a few bytes of
// blocks inserted in an array can ask for days of painting.
namespace imaging::detail::dxf {

class Workload : public Sink
{
public:
    // Shapes come in pixels of a picture of `raster` size.
    explicit Workload(QSize raster);

    void lines(const QPolygonF &points, bool closed, QRgb colour) override;
    void fill(const QPolygonF &points, QRgb colour) override;
    void point(QPointF at, QRgb colour) override;
    void text(const TextItem &item, const QTransform &t, QRgb colour) override;

private:
    void addStroke(double pixels);
    void addFill(const QRectF &box, double extra = 0);

    QSize m_raster;
    double m_strokes = 0, m_fills = 0;
    double m_maxStrokes, m_maxFills;
};

} // namespace imaging::detail::dxf
