#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QString>

namespace Magick {
class Image;
}

namespace imaging::detail {

// The largest side a WebP file can hold, in pixels.
inline constexpr int kWebpMaxSide = 16383;

// The picture as a WebP file made by libwebp at its default effort (method
// 4): lossy at `quality` (20 to 100, higher is better) or, with `lossless`,
// exact, transparency included. The colour profile, EXIF and XMP that
// keepMetadata() left go into the container's own chunks. The encoder is
// stopped when the deadline expires. Empty bytes and a reason on failure;
// throws nothing.
QByteArray encodeWebp(const Magick::Image &picture, int quality, bool lossless, const Deadline &deadline,
                      QString *reason);

} // namespace imaging::detail
