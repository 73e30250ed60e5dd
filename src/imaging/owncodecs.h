#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The types the imaging library cannot handle itself: DXF both ways and WMF
// writing. They work on finished pictures and bytes; the caller reads and
// writes the files, so the temporary-name-and-rename rule and the messages
// that name the file live in one place (ImageMan). A reason is a short phrase
// without the file name ("the drawing has no entities").
namespace imaging::detail {

// True when the leading bytes of a file are those of a DXF drawing (text or
// binary).
bool looksLikeDxf(const QByteArray &head);

// Renders a DXF drawing; a null image and a reason on failure.
QImage readDxf(const QByteArray &bytes, QString *reason);

// Encodes a picture as a DXF drawing / a placeable Windows metafile; empty
// bytes and a reason on failure.
QByteArray encodeDxf(const QImage &picture, QString *reason);
QByteArray encodeWmf(const QImage &picture, QString *reason);

} // namespace imaging::detail
