#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QString>

namespace Magick {
class Image;
}

namespace imaging::detail {

// The library's picture as a PNG file made by our encoder (codecs/png.h): its
// pixels at 8 bits a channel whatever depth it was read at, its resolution,
// chromaticities, gamma and ICC profile, and the EXIF, XMP and comment it
// holds (what keepMetadata() in metadata/metadata.h left). Empty bytes and a
// reason on failure; throws nothing.
QByteArray encodePng(const Magick::Image &picture, const Deadline &deadline, QString *reason);

} // namespace imaging::detail
