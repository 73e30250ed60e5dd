#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

namespace imaging {
class Deadline;
}

// DXF both ways, our own code: the imaging library has neither. They work on
// finished pictures, devices and bytes; the caller opens and writes the files,
// so the temporary-name-and-rename rule and the messages that name the file
// live in one place (ImageMan). A reason is a short phrase without the file
// name ("the drawing has no entities"). No exception leaves these functions.
namespace imaging::detail {

// True when the leading bytes of a file are those of a DXF drawing (text or
// binary).
bool looksLikeDxf(const QByteArray &head);

// Renders the DXF drawing `file` holds from its current position on; it must
// be open for reading and is read in pieces, never whole. A null image and a
// reason on failure: past kMaxDxfBytes, damaged, beyond the limits in
// limits.h, or out of time (the deadline's own reason).
QImage readDxf(QIODevice &file, const Deadline &deadline, QString *reason);

// Encodes the opaque `picture` (see opaqueInput in codecsupport.h) as a DXF
// drawing of filled rectangles, one per run of equal colour, each in the
// nearest of the drawing's colours; empty bytes and a reason on failure.
QByteArray encodeDxf(const QImage &picture, const Deadline &deadline, QString *reason);

} // namespace imaging::detail
