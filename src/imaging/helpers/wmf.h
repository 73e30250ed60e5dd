#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <optional>

namespace imaging::detail {

// What the header of a placeable metafile (the layout is in codecs/wmf.h)
// says: the size of its bounding box, in its own units, and how many of
// them make an inch.
struct PlaceableHeader {
    QSize box;
    int unitsPerInch = 0;
};

// The most memory the metafile player's child may map, in bytes: a picture of
// kMaxPixels at the tool's 8 bytes a pixel (1.5 GiB) and room beside it. A
// file it draws counts all of it in its estimated peak (estimate.h).
inline constexpr qint64 kMetafileMemory = qint64(2) << 30;

// The header at the start of `head`; nothing when the bytes do not start
// with a placeable metafile's key or end before its header does.
std::optional<PlaceableHeader> readPlaceableHeader(QByteArrayView head);

// Draws a Windows metafile with the imaging library's own command-line tool
// (gm) in the locked-down child of sandbox.h and returns the picture as raw
// PNM bytes. In our process the library's metafile player could neither be
// stopped nor bounded: ten polygons of 16,000 points keep it busy for minutes.
// `dotsPerInch` 0 leaves the player's default. The child refuses pictures
// beyond our size limits. On failure returns nothing and sets *reason to a
// phrase that can follow "Cannot open FILE: ".
std::optional<QByteArray> renderMetafile(QByteArrayView metafile, int dotsPerInch, const Deadline &deadline,
                                         QString *reason);

} // namespace imaging::detail
