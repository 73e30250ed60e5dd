#include "entities.h"
#include "limits.h"
#include "parser.h"

namespace imaging::detail::dxf {

bool readInsert(Parser &parser, const QByteArray &type, Drawing &into)
{
    Common common;
    InsertItem insert;
    QByteArray name;
    const bool read = parser.readGroups(&common, [&](const Group &g, double v) {
        switch (g.code) {
        case 2: name = g.text.toByteArray(); break;
        case 10: insert.at.rx() = v; break;
        case 20: insert.at.ry() = v; break;
        case 41: insert.scale.rx() = v; break;
        case 42: insert.scale.ry() = v; break;
        case 44: insert.columnSpacing = v; break;
        case 45: insert.rowSpacing = v; break;
        case 50: insert.rotation = v; break;
        case 70: insert.columns = int(std::clamp(v, 1.0, 1e9)); break;
        case 71: insert.rows = int(std::clamp(v, 1.0, 1e9)); break;
        default: break;
        }
        return true;
    });
    if (!read)
        return false;
    if (name.isEmpty())
        return true;
    if (type == "DIMENSION") {
        insert = InsertItem{}; // its picture is a block at the origin
    } else {
        if (!(std::abs(insert.scale.x()) <= 1e6 && std::abs(insert.scale.y()) <= 1e6))
            return parser.fail(QStringLiteral("a block is inserted at an absurd scale"));
        if (qint64(insert.columns) * insert.rows > kMaxDxfDrawnShapes)
            return parser.fail(QStringLiteral("a block is inserted more than %1 times").arg(kMaxDxfDrawnShapes));
        if (!(std::abs(insert.columnSpacing) <= kMaxDxfCoordinate
              && std::abs(insert.rowSpacing) <= kMaxDxfCoordinate))
            return parser.fail(QStringLiteral("the drawing's extents are absurd (a block array spacing)"));
    }
    insert.block = parser.blockFor(name);
    if (insert.block < 0)
        return true;
    Shape shape = common.shape(Shape::Kind::Insert);
    shape.extra = int(into.inserts.size());
    into.inserts.push_back(insert);
    return parser.add(into, shape);
}

} // namespace imaging::detail::dxf
