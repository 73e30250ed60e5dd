#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Our PCX and DCX writers. Like the other codecs of our own they work on a
// finished picture and give bytes; ImageMan writes the file and names it in
// messages. A reason is a short phrase without the file name.
namespace imaging::detail {

// The DCX page table: this many 32-bit offsets, the unused ones zero.
inline constexpr int kDcxTableEntries = 1024;

// A version 5 PCX picture, run-length encoded, 8 bits a plane, 96 dots per
// inch. A picture of at most 256 colours is one plane of palette indices
// with the 256-entry palette at the end (a grey one with the grey ramp and
// the header saying grey); any other is three planes, red, green and blue.
// Lines are padded to an even length, except three planes 1 or 3 pixels
// wide. The picture must be opaque (see opaqueInput in codecsupport.h).
// Empty bytes and a reason when the picture is null, translucent or too
// large, memory runs out or the deadline expires. Never throws.
QByteArray encodePcx(const QImage &picture, const Deadline &deadline, QString *reason);

// The picture as the one page of a DCX file, always in three planes: some
// readers take a one-plane page's palette and pixels from the wrong place.
QByteArray encodeDcx(const QImage &picture, const Deadline &deadline, QString *reason);

} // namespace imaging::detail
