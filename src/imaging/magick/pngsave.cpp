#include "pngsave.h"
#include "imaging/codecs/png.h"
#include "imaging/metadata/exif.h"
#include "imaging/metadata/metadata.h"

#include <Magick++.h>

#include <cmath>
#include <memory>

namespace imaging::detail {
namespace {

// The library states resolution per inch or per centimetre; PNG per metre.
PngMetadata metadataOf(const Magick::Image &picture)
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
    const Magick::Blob profile = picture.iccColorProfile();
    m.iccProfile = QByteArray(static_cast<const char *>(profile.data()), qsizetype(profile.length()));
    m.exif = profileBytes(picture, "EXIF");
    if (m.exif.startsWith(kExifPrefix))
        m.exif.remove(0, kExifPrefix.size());
    m.xmp = profileBytes(picture, "XMP");
    if (const MagickLib::ImageAttribute *comment = MagickLib::GetImageAttribute(picture.constImage(), "comment"))
        m.comment = QByteArray(comment->value);
    return m;
}

} // namespace

QByteArray encodePng(const Magick::Image &source, const Deadline &deadline, QString *reason)
{
    try {
        Magick::Image picture = source; // shares the pixels; write() wants no const
        PngPixels pixels;
        pixels.width = picture.columns();
        pixels.height = picture.rows();
        pixels.channels = picture.matte() ? 4 : 3;
        pixels.stride = pixels.width * pixels.channels;
        const auto bits = std::make_unique_for_overwrite<uchar[]>(size_t(pixels.stride * pixels.height));
        // Fetched in bands, so that a stop is heard while a large picture is copied.
        const char *map = pixels.channels == 4 ? "RGBA" : "RGB";
        for (qint64 y = 0; y < pixels.height; y += 256) {
            if (deadline.expired()) {
                *reason = deadline.reason();
                return {};
            }
            const qint64 rows = std::min<qint64>(256, pixels.height - y);
            picture.write(0, int(y), unsigned(pixels.width), unsigned(rows), map, Magick::CharPixel,
                          bits.get() + y * pixels.stride);
        }
        pixels.bits = bits.get();
        return encodePng(pixels, metadataOf(picture), deadline, reason);
    } catch (const std::bad_alloc &) {
        *reason = QStringLiteral("there is not enough memory for the picture");
    } catch (const std::exception &e) {
        *reason = QStringLiteral("its pixels could not be read (%1)").arg(QString::fromLocal8Bit(e.what()));
    }
    return {};
}

} // namespace imaging::detail
