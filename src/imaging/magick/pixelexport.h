#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace Magick {
class Image;
}

// What our own encoders (png.h, webp.h, avif.h) take from the library's
// picture: its pixels at 8 bits a channel and the metadata that
// keepMetadata() (metadata/metadata.h) left on it.
namespace imaging::detail {

// Rows of 8-bit samples, R G B or R G B A, top row first, no padding.
struct Pixels8 {
    std::unique_ptr<uchar[]> bits;
    int width = 0;
    int height = 0;
    int channels = 3; // 4 when the picture has transparency
    qsizetype stride() const { return qsizetype(width) * channels; }
};

// The picture's pixels, fetched in bands so that a stop is heard while a
// large picture is copied. Nothing and the reason when the deadline expires,
// memory runs out or the library fails; throws nothing.
std::optional<Pixels8> exportPixels(const Magick::Image &picture, const Deadline &deadline, QString *reason);

// The metadata a container of today's web types holds, each empty when the
// picture has none: the ICC colour profile, the EXIF block starting at its
// TIFF header (no "Exif" prefix), the XMP packet.
struct EmbeddedMetadata {
    QByteArray icc;
    QByteArray exif;
    QByteArray xmp;
};

EmbeddedMetadata embeddedMetadata(const Magick::Image &picture);

} // namespace imaging::detail
