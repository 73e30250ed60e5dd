#include "avif.h"

#include "codecsupport.h"
#include "imaging/magick/pixelexport.h"

#include <avif/avif.h>

#include <memory>

namespace imaging::detail {

namespace {

QString encoderReason(avifResult result)
{
    if (result == AVIF_RESULT_OUT_OF_MEMORY)
        return outOfMemory();
    if (result == AVIF_RESULT_NO_CODEC_AVAILABLE)
        return QStringLiteral("libavif was built without an AV1 encoder");
    return QStringLiteral("libavif could not encode it (%1)").arg(QLatin1String(avifResultToString(result)));
}

const uint8_t *bytesOf(const QByteArray &data)
{
    return reinterpret_cast<const uint8_t *>(data.constData());
}

} // namespace

int avifQuantizer(int quality)
{
    const int q = std::clamp(quality, 0, 100);
    return ((100 - q) * AVIF_QUANTIZER_WORST_QUALITY + 50) / 100;
}

QByteArray encodeAvif(const Magick::Image &picture, int quality, bool lossless, const Deadline &deadline,
                      QString *reason)
{
    return guarded([&]() -> QByteArray {
        const std::optional<Pixels8> pixels = exportPixels(picture, deadline, reason);
        if (!pixels)
            return {};
        const std::unique_ptr<avifImage, decltype(&avifImageDestroy)> image(
            avifImageCreate(uint32_t(pixels->width), uint32_t(pixels->height), 8,
                            lossless ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420),
            avifImageDestroy);
        if (!image) {
            *reason = outOfMemory();
            return {};
        }
        const EmbeddedMetadata metadata = embeddedMetadata(picture);
        // Without a profile the pixels are sRGB, and say so; with one the
        // profile says it.
        image->colorPrimaries = metadata.icc.isEmpty() ? AVIF_COLOR_PRIMARIES_BT709 : AVIF_COLOR_PRIMARIES_UNSPECIFIED;
        image->transferCharacteristics = metadata.icc.isEmpty() ? AVIF_TRANSFER_CHARACTERISTICS_SRGB
                                                                : AVIF_TRANSFER_CHARACTERISTICS_UNSPECIFIED;
        // Lossless keeps R, G and B as they are; YCbCr would round them.
        image->matrixCoefficients = lossless ? AVIF_MATRIX_COEFFICIENTS_IDENTITY : AVIF_MATRIX_COEFFICIENTS_BT601;
        image->yuvRange = AVIF_RANGE_FULL;
        if (!metadata.icc.isEmpty())
            avifImageSetProfileICC(image.get(), bytesOf(metadata.icc), size_t(metadata.icc.size()));
        if (!metadata.exif.isEmpty())
            avifImageSetMetadataExif(image.get(), bytesOf(metadata.exif), size_t(metadata.exif.size()));
        if (!metadata.xmp.isEmpty())
            avifImageSetMetadataXMP(image.get(), bytesOf(metadata.xmp), size_t(metadata.xmp.size()));

        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image.get());
        rgb.format = pixels->channels == 4 ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
        rgb.depth = 8;
        rgb.pixels = pixels->bits.get();
        rgb.rowBytes = uint32_t(pixels->stride());
        if (const avifResult converted = avifImageRGBToYUV(image.get(), &rgb); converted != AVIF_RESULT_OK) {
            *reason = encoderReason(converted);
            return {};
        }
        if (deadline.expired()) {
            *reason = deadline.reason();
            return {};
        }

        const std::unique_ptr<avifEncoder, decltype(&avifEncoderDestroy)> encoder(avifEncoderCreate(),
                                                                                  avifEncoderDestroy);
        if (!encoder) {
            *reason = outOfMemory();
            return {};
        }
        encoder->maxThreads = 1; // the batch already keeps every core busy
        encoder->speed = kAvifSpeed;
        const int quantizer = lossless ? AVIF_QUANTIZER_LOSSLESS : avifQuantizer(quality);
        encoder->minQuantizer = encoder->maxQuantizer = quantizer;
        encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = quantizer;
        avifRWData output = AVIF_DATA_EMPTY;
        const avifResult written = avifEncoderWrite(encoder.get(), image.get(), &output);
        const std::unique_ptr<avifRWData, decltype(&avifRWDataFree)> owned(&output, avifRWDataFree);
        if (written != AVIF_RESULT_OK) {
            *reason = encoderReason(written);
            return {};
        }
        if (deadline.expired()) {
            *reason = deadline.reason();
            return {};
        }
        return QByteArray(reinterpret_cast<const char *>(output.data), qsizetype(output.size));
    }, reason);
}

} // namespace imaging::detail
