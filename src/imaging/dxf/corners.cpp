#include "entities.h"
#include "parser.h"

namespace imaging::detail::dxf {

bool readCorners(Parser &parser, const QByteArray &type, Drawing &into)
{
    Common common;
    QPointF p[4];
    bool seen[4] = {};
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        if (g.code >= 10 && g.code <= 13) {
            p[g.code - 10].rx() = v;
            seen[g.code - 10] = true;
        } else if (g.code >= 20 && g.code <= 23) {
            p[g.code - 20].ry() = v;
            seen[g.code - 20] = true;
        }
        return true;
    });
    if (!read)
        return false;
    // Lines, points and faces lie in world coordinates; solids and traces in
    // their own plane, which may be seen from below.
    if (type == "LINE") {
        Shape line = common.shape(Shape::Kind::Polyline);
        line.mirrored = false;
        return parser.add(into, line, {p[0], p[1]});
    }
    if (type == "POINT") {
        Shape point = common.shape(Shape::Kind::Point);
        point.mirrored = false;
        return parser.add(into, point, {p[0]});
    }
    if (type == "3DFACE") {
        Shape face = common.shape(Shape::Kind::Polyline);
        face.closed = true;
        face.mirrored = false;
        return parser.add(into, face, {p[0], p[1], p[2], seen[3] ? p[3] : p[2]});
    }
    // The third and fourth corners of a SOLID cross over: 1, 2, 4, 3 go round.
    return parser.add(into, common.shape(Shape::Kind::Fill), {p[0], p[1], seen[3] ? p[3] : p[2], p[2]});
}

} // namespace imaging::detail::dxf
