#include "text.h"

#include "entities.h"
#include "parser.h"
#include "traversal.h"

namespace imaging::detail::dxf {

bool readText(Parser &parser, const QByteArray &, Drawing &into)
{
    Common common;
    TextItem text;
    QPointF at, aligned;
    bool seenAligned = false;
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        switch (g.code) {
        case 1: text.text = QString::fromUtf8(g.text.first(std::min<qsizetype>(g.text.size(), 4096))); break;
        case 10: at.rx() = v; break;
        case 20: at.ry() = v; break;
        case 11: aligned.rx() = v; seenAligned = true; break;
        case 21: aligned.ry() = v; seenAligned = true; break;
        case 40:
            text.height = v;
            return parser.size(v);
        case 41: text.widthFactor = v; break;
        case 50: text.rotation = v; break;
        case 72: text.hAlign = int(std::clamp(v, 0.0, 5.0)); break;
        case 73: text.vAlign = int(std::clamp(v, 0.0, 3.0)); break;
        default: break;
        }
        return true;
    });
    if (!read)
        return false;
    // Aligned text hangs from its second point; left-aligned from its first.
    text.anchor = (text.hAlign || text.vAlign) && seenAligned ? aligned : at;
    if (!(text.height > 0) || text.text.isEmpty())
        return true;
    if (!(std::abs(text.widthFactor) > 0.01 && std::abs(text.widthFactor) < 100))
        text.widthFactor = 1;
    Shape shape = common.shape(Shape::Kind::Text);
    shape.extra = int(into.texts.size());
    into.texts.push_back(text);
    return parser.add(into, shape);
}

QPointF baselineStart(const TextItem &item, double width, double height)
{
    QPointF start;
    if (item.hAlign == 1 || item.hAlign == 4)
        start.rx() = -width / 2;
    else if (item.hAlign == 2)
        start.rx() = -width;
    if (item.vAlign == 2)
        start.ry() = -height / 2;
    else if (item.vAlign == 3)
        start.ry() = -height;
    return start;
}

double paintedHeight(const TextItem &item, const QTransform &t)
{
    const double size = item.height * scaleOf(t);
    return size >= 1 && size <= 4096 ? size : 0;
}

QPolygonF textBox(const TextItem &item, const QTransform &t)
{
    const double w = item.height * item.widthFactor * 0.6 * double(item.text.size());
    const double h = item.height;
    const QPointF start = baselineStart(item, w, h);
    QTransform local;
    local.translate(item.anchor.x(), item.anchor.y());
    local.rotate(item.rotation);
    return (local * t).map(QPolygonF(QRectF(start, QSizeF(w, h))));
}

} // namespace imaging::detail::dxf
