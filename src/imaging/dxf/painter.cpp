#include "painter.h"

#include "text.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>

namespace imaging::detail::dxf {

Painter::Painter(QImage *image)
    : m_painter(image)
{
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_canText = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

void Painter::lines(const QPolygonF &points, bool closed, QRgb colour)
{
    // Changing the pen costs more than drawing a short line.
    if (m_pen != colour) {
        m_painter.setPen(QPen(QColor(colour), 0));
        m_pen = colour;
    }
    if (closed)
        m_painter.drawPolygon(points);
    else
        m_painter.drawPolyline(points);
}

void Painter::fill(const QPolygonF &points, QRgb colour)
{
    // Our own drawings are all upright rectangles; fill those directly. Four
    // corners of the box are that rectangle only when they go round it: taken
    // in another order they are a bow-tie, and a corner twice is a triangle.
    if (points.size() == 4) {
        const QRectF box = points.boundingRect();
        const auto opposite = [](QPointF a, QPointF b) { return a.x() != b.x() && a.y() != b.y(); };
        bool upright = opposite(points[0], points[2]) && opposite(points[1], points[3])
            && points[1] != points[0] && points[1] != points[2];
        for (const QPointF &p : points)
            upright = upright && (p.x() == box.left() || p.x() == box.right())
                && (p.y() == box.top() || p.y() == box.bottom());
        if (upright) {
            m_painter.fillRect(box, QColor(colour));
            return;
        }
    }
    m_painter.setPen(Qt::NoPen);
    m_pen.reset();
    m_painter.setBrush(QColor(colour));
    m_painter.drawPolygon(points);
    m_painter.setBrush(Qt::NoBrush);
}

void Painter::point(QPointF at, QRgb colour)
{
    // The pixel the point lies in, whatever the painter's rounding.
    m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), QColor(colour));
}

void Painter::text(const TextItem &item, const QTransform &t, QRgb colour)
{
    if (!m_canText)
        return;
    const double size = paintedHeight(item, t);
    if (size == 0)
        return;
    QFont font;
    // A font's capital letters are about seven tenths of its pixel size.
    font.setPixelSize(std::max(1, int(std::lround(size / 0.7))));
    const QPointF start = baselineStart(item, QFontMetricsF(font).horizontalAdvance(item.text), size);
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
    m_painter.drawText(QPointF(start.x(), -start.y()), item.text);
    m_painter.restore();
}

} // namespace imaging::detail::dxf
