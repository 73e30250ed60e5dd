#pragma once

#include <QByteArray>

// One reader per family of entities. Each reads the rest of one entity's
// groups (its type, upper case, was the last group read) and appends what it
// draws to `into`; an entity that draws nothing is read and left out. False
// once the parser has recorded a failure.
namespace imaging::detail::dxf {

class Parser;
struct Drawing;

// LINE, POINT, SOLID, TRACE and 3DFACE: shapes given by up to four corners.
bool readCorners(Parser &parser, const QByteArray &type, Drawing &into);
// CIRCLE, ARC and ELLIPSE.
bool readCurve(Parser &parser, const QByteArray &type, Drawing &into);
// LWPOLYLINE holds its vertices; POLYLINE is followed by VERTEX entities.
bool readLightweightPolyline(Parser &parser, const QByteArray &type, Drawing &into);
bool readPolyline(Parser &parser, const QByteArray &type, Drawing &into);
bool readVertex(Parser &parser, const QByteArray &type, Drawing &into);
// TEXT.
bool readText(Parser &parser, const QByteArray &type, Drawing &into);
// INSERT places a block; a DIMENSION's picture is a block at the origin.
bool readInsert(Parser &parser, const QByteArray &type, Drawing &into);

} // namespace imaging::detail::dxf
