#pragma once

#include "drawing.h"

#include <QPolygonF>
#include <QTransform>

// Where a TEXT entity's letters go, for the extents, the work estimate and
// the painter alike.
namespace imaging::detail::dxf {

// The left end of the baseline of a text `width` long and `height` high,
// relative to its anchor, along the text (x) and up from it (y), as its
// alignment places it.
QPointF baselineStart(const TextItem &item, double width, double height);

// The height of the text's capital letters in pixels under `t`, or 0 when
// the text is too small or too large to paint.
double paintedHeight(const TextItem &item, const QTransform &t);

// The box the text fills, with its width guessed from its height (fonts
// differ anyway), mapped by `t`.
QPolygonF textBox(const TextItem &item, const QTransform &t);

} // namespace imaging::detail::dxf
