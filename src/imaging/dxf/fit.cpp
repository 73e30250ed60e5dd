#include "fit.h"

#include "limits.h"

#include <cmath>

namespace imaging::detail::dxf {

std::optional<Raster> fitToPixels(const Extents &extents, QString *reason)
{
    if (!extents.sane()) {
        *reason = QStringLiteral("the drawing's extents are absurd (blocks are placed too far out)");
        return std::nullopt;
    }
    const Extents::Box box = extents.all();
    if (!box.any) {
        *reason = QStringLiteral("the drawing has no entities to draw");
        return std::nullopt;
    }
    // A line one unit wide reaches half a unit past its ends.
    const double pad = extents.hasStrokes() ? 1 : 0;
    const double w = box.x1 - box.x0, h = box.y1 - box.y0;
    double scale = 1;
    if (!(w + pad >= 1 && h + pad >= 1 && w + pad <= kDxfMaxSide && h + pad <= kDxfMaxSide)) {
        const double longer = std::max(w, h);
        scale = longer > 0 ? (kDxfScaledSide - pad) / longer : 1;
    }
    const auto side = [&](double extent) {
        return int(std::clamp(std::ceil(extent * scale + pad - 1e-9), 1.0, double(kDxfMaxSide)));
    };
    return Raster{QSize(side(w), side(h)),
                  QTransform(scale, 0, 0, -scale, -box.x0 * scale + pad / 2, box.y1 * scale + pad / 2)};
}

} // namespace imaging::detail::dxf
