#pragma once

#include "traversal.h"

#include <QPainter>
#include <optional>

// Paints shapes, given in pixels, onto a picture without smoothing, so that
// flat colours stay flat. Text needs fonts and so a GUI application; without
// one it is left out.
namespace imaging::detail::dxf {

class Painter : public Sink
{
public:
    // `image` must outlive the painter.
    explicit Painter(QImage *image);

    void lines(const QPolygonF &points, bool closed, QRgb colour) override;
    void fill(const QPolygonF &points, QRgb colour) override;
    void point(QPointF at, QRgb colour) override;
    void text(const TextItem &item, const QTransform &t, QRgb colour) override;

private:
    QPainter m_painter;
    std::optional<QRgb> m_pen;
    bool m_canText = false;
};

} // namespace imaging::detail::dxf
