#pragma once

#include "extents.h"

#include <QSize>
#include <QTransform>
#include <optional>

// How large a picture a drawing becomes, and where its units fall on it.
namespace imaging::detail::dxf {

struct Raster {
    QSize size;            // pixels, at most kDxfMaxSide on a side
    QTransform toPixels;   // drawing units (y up) to pixels (y down)
};

// One pixel per unit when the drawing fits kDxfMaxSide that way, otherwise
// scaled so that its longer side has kDxfScaledSide pixels. None, and a
// reason, when nothing is drawn or the extents are absurd.
std::optional<Raster> fitToPixels(const Extents &extents, QString *reason);

} // namespace imaging::detail::dxf
