#include "picture.h"

#include "avif.h"
#include "library.h"
#include "metadata/metadata.h"
#include "dxf/dxf.h"
#include "pcxwriter.h"
#include "pngsave.h"
#include "rlewriter.h"
#include "webp.h"
#include "wmfwriter.h"

namespace imaging::detail {

namespace {

// The one place where transparency is laid over white, for every type the
// format table marks opaque: the library's encoders and ours get the same
// colours, and ours never see a translucent picture.
void flattenOntoWhite(Picture &picture)
{
    if (!picture.matte())
        return;
    // Not Image(size, colour): that goes through the constant-colour decoder,
    // which is not registered.
    Picture ground = picture;
    ground.matte(false);
    ground.backgroundColor(Magick::Color("white"));
    ground.erase();
    ground.composite(picture, 0, 0, Magick::OverCompositeOp);
    ground.matte(false);
    picture = ground;
}

// The format holds one size only. Left to itself the library would put a
// smaller picture unscaled on a grey frame, so the picture is stretched to
// it; an upright picture is stored turned, at the upright size.
void stretchTo(Picture &picture, QSize landscape)
{
    const bool upright = picture.rows() > picture.columns();
    const QSize size = upright ? landscape.transposed() : landscape;
    if (int(picture.columns()) == size.width() && int(picture.rows()) == size.height())
        return;
    Magick::Geometry geometry(unsigned(size.width()), unsigned(size.height()));
    geometry.aspect(true);
    picture.resize(geometry);
}

void applyDefines(Picture &picture, const char *defines)
{
    for (const QByteArray &define : QByteArray(defines).split(';')) {
        const qsizetype colon = define.indexOf(':'), equals = define.indexOf('=');
        if (colon > 0 && equals > colon)
            picture.defineValue(define.left(colon).toStdString(),
                                define.mid(colon + 1, equals - colon - 1).toStdString(),
                                define.mid(equals + 1).toStdString());
    }
}

QByteArray fromBlob(const Magick::Blob &blob)
{
    return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
}

QByteArray encodeWithLibrary(Picture &picture, const Format &format, int jpegQuality)
{
    applyDefines(picture, format.defines);
    if (format.density > 0) {
        picture.resolutionUnits(Magick::PixelsPerInchResolution);
        picture.density(Magick::Geometry(unsigned(format.density), unsigned(format.density)));
    }
    if (format.type == FileType::Jpg)
        picture.quality(unsigned(jpegQuality));
    if (format.compression == Compression::FastDeflate) {
        picture.compressType(Magick::ZipCompression);
        picture.quality(10); // the library's deflate level is a tenth of it
    }
    Magick::Blob blob;
    picture.write(&blob, format.encoder);
    return fromBlob(blob);
}

} // namespace

QByteArray encode(const Picture &picture, const Format &format, int quality, bool lossless, bool keepAllMetadata,
                  const Deadline &deadline, QString *reason)
{
    if (quality <= 0)
        quality = format.defaultQuality;
    QByteArray bytes;
    try {
        const DeadlineScope bounded(deadline);
        Picture copy = picture;
        keepMetadata(copy, format, keepAllMetadata);
        if (format.opaque)
            flattenOntoWhite(copy);
        if (!format.onlySize.isEmpty())
            stretchTo(copy, format.onlySize);
        switch (format.writer) {
        case Writer::Library:
            bytes = encodeWithLibrary(copy, format, quality);
            break;
        case Writer::OwnDxf:
            bytes = encodeDxf(toQImage(copy), deadline, reason);
            break;
        case Writer::OwnWmf:
            bytes = encodeWmf(toQImage(copy), deadline, reason);
            break;
        case Writer::OwnPcx:
            bytes = encodePcx(toQImage(copy), deadline, reason);
            break;
        case Writer::OwnDcx:
            bytes = encodeDcx(toQImage(copy), deadline, reason);
            break;
        case Writer::OwnRle8:
            bytes = encodeRle8Bmp(toQImage(copy), deadline, reason);
            break;
        case Writer::OwnPng:
            bytes = encodePng(copy, deadline, reason);
            break;
        case Writer::OwnWebp:
            bytes = encodeWebp(copy, quality, lossless, deadline, reason);
            break;
        case Writer::OwnAvif:
            bytes = encodeAvif(copy, quality, lossless, deadline, reason);
            break;
        case Writer::None:
            *reason = QStringLiteral("%1 pictures are read, not written").arg(QLatin1String(format.caption));
            break;
        }
        // Whoever wrote a bitmap, its header has room for the profile.
        if (format.keepsProfile)
            bytes = withBitmapProfile(bytes, fromBlob(copy.iccColorProfile()));
    } catch (const std::exception &e) {
        *reason = plainReason(e);
        bytes.clear();
    }
    if (deadline.expired()) {
        *reason = deadline.reason();
        return {};
    }
    if (bytes.isEmpty() && reason->isEmpty())
        *reason = QStringLiteral("the picture could not be encoded");
    return bytes;
}

} // namespace imaging::detail
