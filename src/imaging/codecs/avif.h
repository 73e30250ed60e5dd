#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QString>

namespace Magick {
class Image;
}

namespace imaging::detail {

// The AV1 encoder's speed (0 slowest to 10 fastest). Measured on nine photos
// at the look of a JPEG at 75, one core each: speed 6 takes 0.51 s a photo
// for 328 kB, 7 takes 0.19 s for 355 kB (8% more), 8 is no faster than 7,
// and 9 takes 0.09 s but 421 kB, more than WebP's 365 kB. A batch tool takes
// the 2.7 times faster 7.
inline constexpr int kAvifSpeed = 7;

// The quantizer (0 best to 63 worst) that the quality scale of 20 to 100
// (higher is better) stands for, as libavif's later quality setting maps it.
int avifQuantizer(int quality);

// The picture as an AVIF file made by libavif over the AV1 encoder, at
// kAvifSpeed on one thread: 4:2:0 at `quality` (20 to 100, higher is
// better), or with `lossless` exact (4:4:4 RGB, quantizer 0). Transparency is
// kept. The colour profile, EXIF and XMP that keepMetadata() left go into
// the container. The encoder cannot be stopped midway: a deadline that
// expires while it runs fails the save once it returns. Empty bytes and a
// reason on failure; throws nothing.
QByteArray encodeAvif(const Magick::Image &picture, int quality, bool lossless, const Deadline &deadline,
                      QString *reason);

} // namespace imaging::detail
