#pragma once

#include <QByteArray>
#include <QByteArrayView>

// EXIF blocks as a JPEG's APP1 segment holds them: "Exif", two zero bytes and
// a TIFF structure (byte order, directory of tags). Every function also takes
// a block without that prefix, as a PNG's eXIf chunk holds it, and reads only
// within the bytes given: a damaged block reads as one without the tag.
namespace imaging::detail {

inline constexpr QByteArrayView kExifPrefix("Exif\0\0", 6);

// The Orientation tag of the first directory, 1 to 8; 0 when there is none.
int exifOrientation(QByteArrayView exif);

// The Artist and Copyright tags as stored (text, normally ASCII), without
// trailing zero bytes; empty when absent.
struct ExifAuthorship {
    QByteArray artist;
    QByteArray copyright;
};
ExifAuthorship exifAuthorship(QByteArrayView exif);

// A new block, with the prefix, holding only Orientation 1 and the Artist and
// Copyright given (each left out when empty).
QByteArray minimalExif(const ExifAuthorship &authorship);

// The block with Orientation set to 1 (where it is stored) and its second
// directory, the embedded thumbnail, removed: the link to it cut, its bytes
// zeroed and cut off where nothing after them is kept. Everything else stays
// byte for byte. Empty when the block is not a readable TIFF structure.
QByteArray uprightExif(QByteArrayView exif);

// The EXIF block of a JPEG file's first APP1 segment that holds one, with
// the prefix; empty when there is none. Reads the markers up to the image
// data only.
QByteArray jpegExif(QByteArrayView file);

} // namespace imaging::detail
