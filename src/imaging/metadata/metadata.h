#pragma once

#include "imaging/deadline.h"
#include "imaging/formats.h"
#include "imaging/magick/picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

// What a picture carries beside its pixels, from the file it was read from
// to the file it is written to: which way up it is meant to be seen, its
// colour profile, who made it and who owns it, and the rest (camera, place,
// dates, thumbnail, comments), which a file made for the web leaves out.
namespace imaging::detail {

// The picture's profile named `name` ("EXIF", "XMP", "IPTC"), as the library
// keeps it; empty when it has none.
QByteArray profileBytes(const Picture &picture, const char *name);

// The orientation the picture's file states (EXIF numbering: 1 upright, 6
// turned a quarter clockwise to be seen, 5 to 8 stored with rows and columns
// exchanged); 0 when it states none.
int statedOrientation(const Picture &picture);

// The orientation a JPEG file's EXIF states, from its bytes, before it is
// decoded; 0 for any other file and when it states none.
int jpegOrientation(QByteArrayView file);

// The orientation the bytes of a whole file of `type` state where we read
// one (JPEG and PNG EXIF, the TIFF tag), before it is decoded; 0 when they
// state none.
int fileOrientation(QByteArrayView file, FileType type);

// `upright` (a size as the picture is seen) as the file stores it: with
// width and height exchanged for orientations 5 to 8. Empty stays empty.
QSize storedSize(QSize upright, int orientation);

// Reads what the library leaves unread in a PNG file, its eXIf chunk and its
// XMP packet (an uncompressed iTXt chunk), onto the picture as its EXIF and
// XMP profiles.
void takePngMetadata(Picture &picture, QByteArrayView file);

// Turns and mirrors the pixels as the stated orientation says, so that they
// are stored as they are seen, and records orientation 1. Throws the
// library's exception when it fails.
void turnUpright(Picture &picture, const Deadline &deadline);

// Leaves on `picture` only the metadata that a file of `format` is to carry,
// for the writers to write whatever they find. By default: the colour
// profile (where the type carries one) and the author and copyright (EXIF
// Artist and Copyright, XMP dc:creator and dc:rights, where the type carries
// them), in a new EXIF block and XMP packet of those fields alone. With
// `keepAll` everything the source had except its EXIF thumbnail. Either way
// the orientation is 1. Throws the library's exception when it fails.
void keepMetadata(Picture &picture, const Format &format, bool keepAll);

// A Windows bitmap with `profile` embedded in its version 5 header. Bitmaps
// with an older header are given a version 5 one when their pixels allow
// (uncompressed or run-length, no bit fields); otherwise, and when there is
// no profile, the bytes come back as they were.
QByteArray withBitmapProfile(QByteArray bitmap, QByteArrayView profile);

} // namespace imaging::detail
