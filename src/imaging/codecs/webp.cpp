#include "webp.h"

#include "codecsupport.h"
#include "imaging/magick/pixelexport.h"

#include <Magick++.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>

namespace imaging::detail {

namespace {

// libwebp asks between its passes; a zero stops it with a user-abort error.
int stillWanted(int, const WebPPicture *picture)
{
    return static_cast<const Deadline *>(picture->user_data)->expired() ? 0 : 1;
}

QString encoderReason(WebPEncodingError error, const Deadline &deadline)
{
    switch (error) {
    case VP8_ENC_ERROR_USER_ABORT:
        return deadline.reason();
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
        return outOfMemory();
    case VP8_ENC_ERROR_BAD_DIMENSION:
        return QStringLiteral("a WebP picture is at most %1 pixels on a side").arg(kWebpMaxSide);
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW:
    case VP8_ENC_ERROR_FILE_TOO_BIG:
        return QStringLiteral("the picture is too large for a WebP file at this quality");
    default:
        return QStringLiteral("libwebp could not encode it (error %1)").arg(int(error));
    }
}

// The bare bitstream wrapped with the metadata chunks; readers find the
// profile, EXIF and XMP only in an extended container.
QByteArray withMetadata(const QByteArray &bare, const EmbeddedMetadata &metadata, QString *reason)
{
    if (metadata.icc.isEmpty() && metadata.exif.isEmpty() && metadata.xmp.isEmpty())
        return bare;
    const std::unique_ptr<WebPMux, decltype(&WebPMuxDelete)> mux(WebPMuxNew(), WebPMuxDelete);
    const auto data = [](const QByteArray &bytes) {
        return WebPData{reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
    };
    const WebPData image = data(bare);
    bool ok = mux && WebPMuxSetImage(mux.get(), &image, 0) == WEBP_MUX_OK;
    for (const auto &[fourcc, bytes] : {std::pair{"ICCP", &metadata.icc}, std::pair{"EXIF", &metadata.exif},
                                        std::pair{"XMP ", &metadata.xmp}}) {
        const WebPData chunk = data(*bytes);
        if (ok && !bytes->isEmpty())
            ok = WebPMuxSetChunk(mux.get(), fourcc, &chunk, 0) == WEBP_MUX_OK;
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    if (ok)
        ok = WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK;
    if (!ok) {
        *reason = QStringLiteral("its metadata could not be put into the WebP container");
        return {};
    }
    QByteArray whole(reinterpret_cast<const char *>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    return whole;
}

} // namespace

QByteArray encodeWebp(const Magick::Image &picture, int quality, bool lossless, const Deadline &deadline,
                      QString *reason)
{
    return guarded([&]() -> QByteArray {
        if (picture.columns() > unsigned(kWebpMaxSide) || picture.rows() > unsigned(kWebpMaxSide)) {
            *reason = encoderReason(VP8_ENC_ERROR_BAD_DIMENSION, deadline);
            return {};
        }
        const std::optional<Pixels8> pixels = exportPixels(picture, deadline, reason);
        if (!pixels)
            return {};
        WebPConfig config;
        if (!WebPConfigInit(&config)) {
            *reason = QStringLiteral("the libwebp found differs from the one the program was built with");
            return {};
        }
        config.quality = float(quality);
        config.method = 4;
        // Level 6 is cwebp's own lossless default: method 4 at effort 75.
        if (lossless && !WebPConfigLosslessPreset(&config, 6))
            return {};
        config.thread_level = 0; // the batch already keeps every core busy

        WebPPicture input;
        if (!WebPPictureInit(&input))
            return {};
        const std::unique_ptr<WebPPicture, decltype(&WebPPictureFree)> owned(&input, WebPPictureFree);
        input.use_argb = lossless ? 1 : 0;
        input.width = pixels->width;
        input.height = pixels->height;
        const bool imported = pixels->channels == 4
            ? WebPPictureImportRGBA(&input, pixels->bits.get(), int(pixels->stride()))
            : WebPPictureImportRGB(&input, pixels->bits.get(), int(pixels->stride()));
        if (!imported) {
            *reason = outOfMemory();
            return {};
        }
        WebPMemoryWriter written;
        WebPMemoryWriterInit(&written);
        const std::unique_ptr<WebPMemoryWriter, decltype(&WebPMemoryWriterClear)> writtenOwned(&written,
                                                                                              WebPMemoryWriterClear);
        input.writer = WebPMemoryWrite;
        input.custom_ptr = &written;
        input.progress_hook = stillWanted;
        input.user_data = const_cast<Deadline *>(&deadline);
        if (!WebPEncode(&config, &input)) {
            *reason = encoderReason(input.error_code, deadline);
            return {};
        }
        const QByteArray bare(reinterpret_cast<const char *>(written.mem), qsizetype(written.size));
        return withMetadata(bare, embeddedMetadata(picture), reason);
    }, reason);
}

} // namespace imaging::detail
