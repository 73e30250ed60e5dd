#include "entities.h"
#include "parser.h"

namespace imaging::detail::dxf {
namespace {

// Curves run counterclockwise from start to end, at most a full turn (a full
// turn when the two coincide). Angles are in radians and may be any size.
void normaliseSweep(double *start, double *end)
{
    *start = std::fmod(*start, 2 * kPi);
    *end = std::fmod(*end, 2 * kPi);
    if (*end <= *start)
        *end += 2 * kPi;
    if (*end <= *start)
        *end = *start + 2 * kPi;
}

bool addCurve(Parser &parser, Drawing &into, Shape shape, const Curve &curve)
{
    shape.extra = int(into.curves.size());
    into.curves.push_back(curve);
    return parser.add(into, shape);
}

} // namespace

bool readCurve(Parser &parser, const QByteArray &type, Drawing &into)
{
    Common common;
    QPointF centre, major;
    double size = 0; // a circle's radius, an ellipse's minor axis over its major
    // An arc's angles are degrees (50, 51); an ellipse's are parameters in
    // radians (41, 42).
    double degrees[2] = {0, 360};
    double parameters[2] = {0, 2 * kPi};
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        switch (g.code) {
        case 10: centre.rx() = v; break;
        case 20: centre.ry() = v; break;
        case 11: major.rx() = v; break;
        case 21: major.ry() = v; break;
        case 40:
            size = v;
            return parser.size(v);
        case 41: parameters[0] = v; break;
        case 42: parameters[1] = v; break;
        case 50: degrees[0] = v; break;
        case 51: degrees[1] = v; break;
        default: break;
        }
        return true;
    });
    if (!read)
        return false;
    Shape shape = common.shape(Shape::Kind::Curve);
    if (type == "ELLIPSE") {
        const double ratio = size;
        if (major.isNull() || !(ratio > 0 && ratio <= 1.0 + 1e-9))
            return true;
        // The minor axis is the major turned a quarter about the extrusion.
        const double side = shape.mirrored ? -1 : 1;
        Curve curve{centre, major, QPointF(-major.y(), major.x()) * ratio * side, parameters[0],
                    parameters[1]};
        normaliseSweep(&curve.start, &curve.end);
        shape.mirrored = false;
        return addCurve(parser, into, shape, curve);
    }
    const double radius = size;
    if (radius <= 0)
        return true;
    Curve curve{centre, QPointF(radius, 0), QPointF(0, radius), 0, 2 * kPi};
    if (type == "ARC") {
        curve.start = degrees[0] * kPi / 180;
        curve.end = degrees[1] * kPi / 180;
        normaliseSweep(&curve.start, &curve.end);
    }
    return addCurve(parser, into, shape, curve);
}

} // namespace imaging::detail::dxf
