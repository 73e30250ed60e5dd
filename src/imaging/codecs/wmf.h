#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace imaging {
class Deadline;
}

// WMF writing, our own code: the library reads metafiles but does not write
// them. Below, the layout of the placeable metafiles we write; the reader of
// placeable headers (helpers/wmf.h) and the tests go by it.
namespace imaging::detail {

// Encodes the opaque `picture` (see opaqueInput in codecsupport.h) as a
// placeable Windows metafile holding it as one 24-bit bitmap; empty bytes and
// a reason (a short phrase without the file name) on failure. No exception
// leaves it.
QByteArray encodeWmf(const QImage &picture, const Deadline &deadline, QString *reason);

inline constexpr int kPlaceableHeaderBytes = 22;
inline constexpr int kMetaHeaderBytes = 18;
// Units per inch of the bounding box: one unit per pixel at the 96 dots per
// inch a viewer assumes for the screen.
inline constexpr int kWmfUnitsPerInch = 96;
inline constexpr quint16 kMetaStretchDib = 0x0F43;
inline constexpr quint32 kSourceCopy = 0x00CC0020u;

} // namespace imaging::detail
