#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QString>
#include <array>

// Our PNG encoder: 8 bits a channel, the smallest colour type that holds the
// picture exactly (grey, grey with alpha, a palette of up to 256 colours with
// their transparency, RGB, RGBA), rows filtered and deflated in one zlib
// stream. It knows nothing of the imaging library; ImageMan hands it pixels.
namespace imaging::detail {

// The pixels to write, borrowed for the call. Rows run top-down, `stride`
// bytes apart; each pixel is R, G, B (channels 3) or R, G, B, A (channels 4,
// A not premultiplied, 255 opaque).
struct PngPixels {
    const uchar *bits = nullptr;
    qint64 width = 0;
    qint64 height = 0;
    int channels = 3;
    qint64 stride = 0;
};

// What a PNG carries beside the pixels, for the chunks that change how a
// viewer shows the picture. Zero or empty means the source had none, and the
// chunk is left out.
struct PngMetadata {
    // pHYs: pixels per metre, or only the shape of a pixel when
    // `resolutionInMetres` is false (the source gave no unit).
    quint32 resolutionX = 0;
    quint32 resolutionY = 0;
    bool resolutionInMetres = true;
    // gAMA: the encoding exponent as stored by the source, 0.45455 for 1/2.2.
    double gamma = 0;
    // cHRM: the x and y chromaticities of white, red, green and blue, in
    // the chunk's order; all zero for none.
    std::array<double, 8> chromaticities{};
    // iCCP: the ICC profile's bytes as they are (compressed here).
    QByteArray iccProfile;
    // eXIf: an EXIF block, a TIFF structure (without JPEG's "Exif" prefix).
    QByteArray exif;
    // iTXt "XML:com.adobe.xmp": an XMP packet, UTF-8.
    QByteArray xmp;
    // iTXt "Comment": UTF-8 text.
    QByteArray comment;
};

// The row filter used for every row after the first, as a PNG filter type,
// and the level of ISA-L's deflate (0 to 3): chosen by measuring natural
// photos, reported by the benchmark.
inline constexpr int kPngRowFilter = 2; // Up
inline constexpr int kPngDeflateLevel = 3;

// The whole PNG file, or empty bytes and a reason ("there is not enough
// memory for the picture", the deadline's reason) when it cannot be made.
// Asks `deadline` every band of rows (a millisecond or two of work) while it
// analyses, filters and compresses. Throws nothing.
QByteArray encodePng(const PngPixels &pixels, const PngMetadata &metadata,
                     const Deadline &deadline, QString *reason);

} // namespace imaging::detail
