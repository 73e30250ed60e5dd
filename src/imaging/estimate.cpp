#include "imageman.h"

#include "detect.h"
#include "formats.h"
#include "picture.h"

#include <QFile>

namespace imaging {

namespace {

// The library holds a picture at 16 bits a channel, 8 bytes a pixel; while
// decoding, its decoders' buffers come beside it (18 bytes a pixel in all,
// measured on a 4000 x 3000 PNG).
constexpr qint64 kPictureBytesPerPixel = 8;
constexpr qint64 kDecodeBytesPerPixel = 18;

} // namespace

qint64 estimatePeakBytes(const QString &path, std::optional<QSize> size, FileType output)
{
    initialize();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(detail::kDetectBytes);
    const detail::Detected found = detail::detectContent(head);
    if (!found.type)
        return 0;
    const Format &source = format(*found.type);
    if (source.reader != Reader::Library)
        return 0;
    QSize own = source.onlySize;
    if (own.isEmpty()) {
        file.seek(0);
        const QByteArray bytes = file.readAll();
        QString reason;
        const auto pinged = detail::pingSize(bytes, {source, found.decoder, head, {}}, &reason);
        if (!pinged)
            return 0;
        own = *pinged;
    }
    const qint64 decoded = qint64(own.width()) * own.height();
    const qint64 written = size ? qint64(size->width()) * size->height() : decoded;
    // A resize makes the new picture beside the old one; writing works beside
    // the picture it writes.
    const qint64 resizing = size ? (decoded + written) * kPictureBytesPerPixel : 0;
    const qint64 writing = written * (kPictureBytesPerPixel + format(output).writeBytesPerPixel);
    return std::max({decoded * kDecodeBytesPerPixel, resizing, writing});
}

} // namespace imaging
