#include "imageman.h"

#include "detect.h"
#include "formats.h"
#include "picture.h"

#include <QFile>

namespace imaging {

namespace {

// Decoding holds the picture at 16 bits a channel, 8 bytes a pixel, and the
// decoder's own buffers beside it.
constexpr qint64 kDecodeBytesPerPixel = 10;

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
    return decoded * kDecodeBytesPerPixel + written * format(output).writeBytesPerPixel;
}

} // namespace imaging
