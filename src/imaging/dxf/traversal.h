#pragma once

#include "drawing.h"

#include <QPolygonF>
#include <QRgb>
#include <QTransform>
#include <optional>

namespace imaging {
class Deadline;
}

// Walks a drawing's shapes with its blocks inserted, each in its colour, and
// hands them to a sink: the extents, the work estimate and the painter are
// sinks.
namespace imaging::detail::dxf {

class Sink
{
public:
    virtual ~Sink() = default;
    // Points are in the sink's coordinates; colours are opaque.
    virtual void lines(const QPolygonF &points, bool closed, QRgb colour) = 0;
    virtual void fill(const QPolygonF &points, QRgb colour) = 0;
    virtual void point(QPointF at, QRgb colour) = 0;
    virtual void text(const TextItem &item, const QTransform &toSink, QRgb colour) = 0;

    // Why the sink wants the walk to end; empty while it goes on.
    const QString &refusal() const { return m_refusal; }

protected:
    void refuse(const QString &reason)
    {
        if (m_refusal.isEmpty())
            m_refusal = reason;
    }

private:
    QString m_refusal;
};

// The scale a transform applies to lengths, for one that keeps angles.
double scaleOf(const QTransform &t);

class Traversal
{
public:
    // Blocks and layers as the parser read them; they must outlive the walk.
    Traversal(const std::vector<Drawing> &blocks, const std::vector<Layer> &layers,
              const Deadline &deadline);

    // Hands every visible shape of `drawing` to the sink, mapped by `toSink`;
    // false and error() when a limit, the sink or the deadline ends it.
    bool walk(const Drawing &drawing, const QTransform &toSink, Sink &sink);
    const QString &error() const { return m_error; }

private:
    // What a block's entities on layer 0 and "by block" colour take from the
    // insert that places them.
    struct Inherited {
        QRgb byBlock = qRgb(0, 0, 0);
        int layer = -1;
    };

    bool fail(const QString &reason);
    bool walk(const Drawing &d, const QTransform &t, const Inherited &from, int depth, Sink &sink);
    std::optional<QRgb> colourOf(const Shape &s, const Inherited &from, int *layer) const;
    bool drawPoints(int count);
    bool polyline(const Drawing &d, const Shape &s, const QTransform &t, QPolygonF *polygon);
    bool curve(const Curve &c, const QTransform &t, QPolygonF *polygon);
    bool insert(const InsertItem &in, const QTransform &t, const Inherited &inner, int depth,
                Sink &sink);

    const std::vector<Drawing> &m_blocks;
    const std::vector<Layer> &m_layers;
    const Deadline &m_deadline;
    QString m_error;
    qint64 m_drawn = 0;
    qint64 m_drawnPoints = 0;
};

} // namespace imaging::detail::dxf
