#include "picture.h"

#include "imaging/codecs/avif.h"
#include "imaging/codecs/pcx.h"
#include "imaging/codecs/png.h"
#include "imaging/codecs/rle.h"
#include "imaging/codecs/webp.h"
#include "imaging/codecs/wmf.h"
#include "imaging/dxf/dxf.h"
#include "imaging/metadata/exif.h"
#include "imaging/metadata/metadata.h"
#include "library.h"
#include "pixelexport.h"

#include <cmath>

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

// The library states resolution per inch or per centimetre; PNG per metre.
PngMetadata pngMetadataOf(const Picture &picture)
{
    PngMetadata m;
    const double x = picture.xResolution(), y = picture.yResolution();
    double perMetre = 0;
    switch (picture.resolutionUnits()) {
    case Magick::PixelsPerInchResolution: perMetre = 100 / 2.54; break;
    case Magick::PixelsPerCentimeterResolution: perMetre = 100; break;
    default: perMetre = 1; m.resolutionInMetres = false; break;
    }
    if (x > 0 && y > 0 && x * perMetre < 0x7FFFFFFF && y * perMetre < 0x7FFFFFFF) {
        m.resolutionX = quint32(std::lround(x * perMetre));
        m.resolutionY = quint32(std::lround(y * perMetre));
    }
    m.gamma = picture.gamma();
    double *c = m.chromaticities.data();
    picture.chromaWhitePoint(&c[0], &c[1]);
    picture.chromaRedPrimary(&c[2], &c[3]);
    picture.chromaGreenPrimary(&c[4], &c[5]);
    picture.chromaBluePrimary(&c[6], &c[7]);
    EmbeddedMetadata embedded = embeddedMetadata(picture);
    m.iccProfile = std::move(embedded.icc);
    m.exif = std::move(embedded.exif);
    m.xmp = std::move(embedded.xmp);
    if (const MagickLib::ImageAttribute *comment = MagickLib::GetImageAttribute(picture.constImage(), "comment"))
        m.comment = QByteArray(comment->value);
    return m;
}

// Our PNG encoder (codecs/png.h) handed the picture's pixels at 8 bits a
// channel whatever depth they were read at, and what the picture carries
// beside them.
QByteArray encodePng(const Picture &picture, const Deadline &deadline, QString *reason)
{
    const std::optional<Pixels8> exported = exportPixels(picture, deadline, reason);
    if (!exported)
        return {};
    const PngPixels pixels{exported->bits.get(), exported->width, exported->height, exported->channels,
                           exported->stride()};
    return encodePng(pixels, pngMetadataOf(picture), deadline, reason);
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
