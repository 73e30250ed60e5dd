#include "estimate.h"

#include "detect.h"
#include "fileaccess.h"
#include "formats.h"
#include "imageman.h"
#include "imaging/codecs/codecsupport.h"
#include "imaging/helpers/eps.h"
#include "imaging/helpers/wmf.h"
#include "imaging/magick/library.h"
#include "imaging/magick/picture.h"
#include "imaging/metadata/metadata.h"

#include <QFile>

namespace imaging {

namespace {

// The library holds a picture at 16 bits a channel, 8 bytes a pixel; while
// decoding, its decoders' buffers come beside it (18 bytes a pixel in all,
// measured on a 4000 x 3000 PNG).
constexpr qint64 kPictureBytesPerPixel = 8;
constexpr qint64 kDecodeBytesPerPixel = 18;
// A helper program draws into its own memory and hands the picture over as
// PNM, three bytes a pixel.
constexpr qint64 kHelperBytesPerPixel = 8;
// What a drawing's raster is taken to be: its size is only known once it is
// read.
constexpr QSize kTypicalDrawing(1024, 1024);

// The size of the picture in a file, from its header alone where it can be.
std::optional<QSize> sizeOf(QByteArrayView bytes, const QByteArray &head, const detail::Detected &found)
{
    const Format &source = format(*found.type);
    if (!source.onlySize.isEmpty())
        return source.onlySize;
    switch (source.reader) {
    case Reader::Library: {
        QString reason;
        const std::optional<QSize> frame = detail::pingSize(bytes, {source, found.decoder, head, {}}, &reason);
        // A GIF's frame is placed on its screen, whose size the header gives.
        if (frame && source.type == FileType::Gif && head.size() >= 10)
            return frame->expandedTo(QSize(detail::readLe16(head, 6), detail::readLe16(head, 8)));
        return frame;
    }
    case Reader::Ghostscript: {
        QString reason;
        const auto eps = detail::readEps(bytes, &reason);
        if (!eps || !detail::sizeAllowed(eps->box.width(), eps->box.height()))
            return std::nullopt;
        return QSize(int(eps->box.width()), int(eps->box.height()));
    }
    case Reader::LibraryTool:
        // A placeable metafile's bounding box, drawn at its own units per inch.
        if (const std::optional<detail::PlaceableHeader> header = detail::readPlaceableHeader(head))
            return header->box;
        return kTypicalDrawing;
    case Reader::OwnDxf:
        return kTypicalDrawing;
    }
    return std::nullopt;
}

// A file's header, read through our own handle: its type and the size it
// stores, from its header alone where it can be; no type when the file
// cannot be read or its content is not a picture we read.
struct Header {
    QFile file;
    std::optional<detail::FileContent> content;
    QByteArrayView bytes;
    std::optional<FileType> type;
    std::optional<QSize> own;

    explicit Header(const QString &path)
    {
        initialize();
        QString unread;
        const int fd = detail::openForReading(path, &unread);
        if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return;
        const QByteArray head = file.read(detail::kDetectBytes);
        const detail::Detected found = detail::detectContent(head);
        if (!found.type)
            return;
        type = found.type;
        content.emplace(file);
        bytes = content->bytes();
        own = sizeOf(bytes, head, found);
    }
};

} // namespace

std::optional<QSize> seenSize(const QString &path)
{
    const Header header(path);
    // Only the library's own header tells the size its decoder gives; what a
    // helper or our drawing reader makes is known once it is drawn.
    if (!header.own || format(*header.type).reader != Reader::Library)
        return std::nullopt;
    const Format &source = format(*header.type);
    const int orientation = source.readsOrientation ? detail::fileOrientation(header.bytes, source.type) : 0;
    return detail::storedSize(*header.own, orientation);
}

qint64 estimatePeakBytes(const QString &path, std::optional<QSize> size, FileType output)
{
    const Header header(path);
    if (!header.own)
        return 0;
    const qint64 decoded = qint64(header.own->width()) * header.own->height();
    const Reader reader = format(*header.type).reader;
    // A helper program may take all the memory it is allowed, whatever it
    // draws, while its picture comes to us beside it.
    const qint64 helperCap = reader == Reader::Ghostscript ? detail::kGhostscriptMemory
        : reader == Reader::LibraryTool                    ? detail::kMetafileMemory
                                                           : 0;
    const qint64 decoding = decoded * (kDecodeBytesPerPixel + (helperCap > 0 ? kHelperBytesPerPixel : 0)) + helperCap;
    const qint64 written = size ? qint64(size->width()) * size->height() : decoded;
    // A resize makes the new picture beside the old one; writing works beside
    // the picture it writes.
    const qint64 resizing = size ? (decoded + written) * kPictureBytesPerPixel : 0;
    const qint64 writing = written * (kPictureBytesPerPixel + format(output).writeBytesPerPixel);
    return std::max({decoding, resizing, writing});
}

} // namespace imaging
