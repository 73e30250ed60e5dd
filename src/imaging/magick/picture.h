#pragma once

#include "imaging/deadline.h"
#include "imaging/formats.h"

#include <Magick++.h>

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <optional>

// Pictures as the imaging library holds them (16 bits a channel), and the
// steps between them and files' bytes. Only code in src/imaging sees this.
// A failure gives nothing and a reason in the user's words, without the file
// name; no exception leaves these functions.
namespace imaging::detail {

using Picture = Magick::Image;

// How to decode one file's bytes with the library.
struct DecodeRequest {
    const Format &format;
    const char *decoder; // the format's decoder or the variant detection chose
    QByteArrayView head; // the leading bytes, for the format's quirks
    QSize sizeHint;      // decode at a reduced scale no smaller than this; empty for full
};

// The smallest size a file of `source` pixels may be decoded at on its way
// to `target`, or an empty size for a full decode. The decoder's reduced
// scales drop detail block by block and fold some of it back in as moiré;
// leaving twice the target on each axis keeps that above what the resample
// that follows filters out.
QSize reducedDecodeFloor(QSize target, QSize source);

// The picture's size from its header, without decoding its pixels.
std::optional<QSize> pingSize(QByteArrayView bytes, const DecodeRequest &request, QString *reason);

std::optional<Picture> decode(QByteArrayView bytes, const DecodeRequest &request,
                              const Deadline &deadline, QString *reason);

// The bytes of `picture` written as `format`, with its settings: put on
// white when the type stores no transparency, stretched to the one size the
// type holds, the format's density. `quality` (20 to 100, higher is better;
// 0 for the format's default) governs the types that have one (JPEG, WebP,
// AVIF); `lossless` makes WebP and AVIF exact and changes nothing else. The
// metadata written is what keepMetadata() (metadata/metadata.h) leaves.
QByteArray encode(const Picture &picture, const Format &format, int quality, bool lossless, bool keepAllMetadata,
                  const Deadline &deadline, QString *reason);

// `picture` made exactly `size` (stretched when the aspect differs) by a
// separable Lanczos-3 kernel, with everything but the pixels kept. Gives
// nothing and the reason when the library fails or `deadline` expires.
std::optional<Picture> resample(const Picture &picture, QSize size, const Deadline &deadline, QString *reason);

QImage toQImage(const Picture &picture);
std::optional<Picture> fromQImage(const QImage &image, QString *reason);

} // namespace imaging::detail
