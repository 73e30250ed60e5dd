#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Our writer of RLE files: Windows bitmaps with the version-3 header
// (BITMAPINFOHEADER), 8 bits a pixel, RLE8 compression. ImageMan writes the
// file and names it in messages; a reason is a short phrase without the file
// name.
namespace imaging::detail {

inline constexpr int kBitmapFileHeaderBytes = 14;
inline constexpr int kBitmapInfoHeaderBytes = 40;
inline constexpr quint32 kBitmapRle8 = 1;

// The bitmap, rows bottom-up, 96 dots per inch, with a palette of always 256
// entries (readers and writers alike take a shorter palette as a hint to
// fewer bits a pixel, where RLE8 does not apply). The picture must be opaque
// (see opaqueInput in codecsupport.h). A picture of at most 256 colours keeps
// them exactly (a grey one gets the grey ramp); one of more is reduced to 256
// chosen colours, each pixel taking the nearest. Time grows linearly with the
// pixels. Empty bytes and a reason when the picture is null or translucent,
// memory runs out or the deadline expires. Never throws.
QByteArray encodeRle8Bmp(const QImage &picture, const Deadline &deadline, QString *reason);

} // namespace imaging::detail
