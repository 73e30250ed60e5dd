#include "pixelexport.h"

#include "imaging/codecs/codecsupport.h"
#include "imaging/metadata/exif.h"
#include "imaging/metadata/metadata.h"

#include <Magick++.h>

namespace imaging::detail {

std::optional<Pixels8> exportPixels(const Magick::Image &source, const Deadline &deadline, QString *reason)
{
    try {
        Magick::Image picture = source; // shares the pixels; write() wants no const
        Pixels8 pixels;
        pixels.width = int(picture.columns());
        pixels.height = int(picture.rows());
        pixels.channels = picture.matte() ? 4 : 3;
        pixels.bits = std::make_unique_for_overwrite<uchar[]>(size_t(pixels.stride()) * size_t(pixels.height));
        const char *map = pixels.channels == 4 ? "RGBA" : "RGB";
        for (int y = 0; y < pixels.height; y += 256) {
            if (deadline.expired()) {
                *reason = deadline.reason();
                return std::nullopt;
            }
            const int rows = std::min(256, pixels.height - y);
            picture.write(0, y, unsigned(pixels.width), unsigned(rows), map, Magick::CharPixel,
                          pixels.bits.get() + qsizetype(y) * pixels.stride());
        }
        return pixels;
    } catch (const std::bad_alloc &) {
        *reason = outOfMemory();
    } catch (const std::exception &e) {
        *reason = QStringLiteral("its pixels could not be read (%1)").arg(QString::fromLocal8Bit(e.what()));
    }
    return std::nullopt;
}

EmbeddedMetadata embeddedMetadata(const Magick::Image &picture)
{
    EmbeddedMetadata m;
    const Magick::Blob icc = picture.iccColorProfile();
    m.icc = QByteArray(static_cast<const char *>(icc.data()), qsizetype(icc.length()));
    // The library keeps a JPEG's APP1 prefix on the block; these containers
    // start it at the TIFF header.
    m.exif = profileBytes(picture, "EXIF");
    if (m.exif.startsWith(kExifPrefix))
        m.exif.remove(0, kExifPrefix.size());
    m.xmp = profileBytes(picture, "XMP");
    return m;
}

} // namespace imaging::detail
