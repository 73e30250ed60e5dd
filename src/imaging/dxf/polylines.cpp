#include "entities.h"
#include "parser.h"

namespace imaging::detail::dxf {
namespace {

int flagBits(double flags)
{
    return int(std::clamp(flags, 0.0, 65535.0));
}

} // namespace

bool readLightweightPolyline(Parser &parser, const QByteArray &, Drawing &into)
{
    Common common;
    std::vector<QPointF> vertices;
    std::vector<double> bulges;
    bool anyBulge = false;
    double flags = 0;
    // Each vertex starts with its x; its y and its bulge follow.
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        if (g.code == 10) {
            if (!parser.holdPoints(1))
                return false;
            vertices.emplace_back(v, 0);
            bulges.push_back(0);
        } else if (g.code == 20 && !vertices.empty()) {
            vertices.back().ry() = v;
        } else if (g.code == 42 && !bulges.empty()) {
            bulges.back() = v;
            anyBulge = anyBulge || v != 0;
        } else if (g.code == 70) {
            flags = v;
        }
        return true;
    });
    if (!read)
        return false;
    Shape shape = common.shape(Shape::Kind::Polyline);
    shape.closed = flagBits(flags) & 1;
    shape.first = quint32(into.points.size());
    shape.count = quint32(vertices.size());
    into.points.insert(into.points.end(), vertices.begin(), vertices.end());
    if (anyBulge) {
        into.bulges.resize(shape.first, 0.0);
        into.bulges.insert(into.bulges.end(), bulges.begin(), bulges.end());
    }
    into.shapes.push_back(shape);
    return true;
}

bool readPolyline(Parser &parser, const QByteArray &, Drawing &into)
{
    Common common;
    double flags = 0;
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        if (g.code == 70)
            flags = v;
        return true;
    });
    if (!read)
        return false;
    // Meshes and face lists are drawn by their vertices' outline.
    Shape shape = common.shape(Shape::Kind::Polyline);
    shape.closed = flagBits(flags) & 1;
    if (flagBits(flags) & 8)
        shape.mirrored = false; // a 3D polyline lies in world coordinates
    shape.first = quint32(into.points.size());
    shape.count = 0;
    into.shapes.push_back(shape);
    parser.setOpenPolyline(int(into.shapes.size() - 1));
    return true;
}

bool readVertex(Parser &parser, const QByteArray &, Drawing &into)
{
    Common common;
    QPointF at;
    double bulge = 0, flags = 0;
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        if (g.code == 10)
            at.rx() = v;
        else if (g.code == 20)
            at.ry() = v;
        else if (g.code == 42)
            bulge = v;
        else if (g.code == 70)
            flags = v;
        return true;
    });
    if (!read)
        return false;
    // Spline frame points and the face records of a face list are no
    // corners.
    const int bits = flagBits(flags);
    const bool faceRecord = (bits & 128) && !(bits & 64);
    if (parser.openPolyline() < 0 || (bits & 16) || faceRecord)
        return true;
    if (!parser.holdPoints(1))
        return false;
    into.points.push_back(at);
    if (bulge != 0) {
        into.bulges.resize(into.points.size() - 1, 0.0);
        into.bulges.push_back(bulge);
    }
    ++into.shapes[size_t(parser.openPolyline())].count;
    return true;
}

} // namespace imaging::detail::dxf
