#pragma once

#include "traversal.h"

// Gathers a drawing's extents in drawing units: what its lines and points
// reach, and what its filled shapes and texts cover.
namespace imaging::detail::dxf {

class Extents : public Sink
{
public:
    struct Box {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool any = false;
    };

    void lines(const QPolygonF &points, bool closed, QRgb colour) override;
    void fill(const QPolygonF &points, QRgb colour) override;
    void point(QPointF at, QRgb colour) override;
    void text(const TextItem &item, const QTransform &t, QRgb colour) override;

    // False when a shape lies beyond kMaxDxfCoordinate once placed.
    bool sane() const { return m_sane; }
    // Lines are drawn a pixel wide, so they reach half a pixel further.
    bool hasStrokes() const { return m_strokes.any; }
    // All shapes; `any` is false when nothing was drawn.
    Box all() const;

private:
    void add(QPointF p, Box *box);

    Box m_fills, m_strokes;
    bool m_sane = true;
};

} // namespace imaging::detail::dxf
