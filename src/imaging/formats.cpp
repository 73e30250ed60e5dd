#include "formats.h"

#include <QtEndian>

namespace imaging {

namespace {

// Players resample a metafile's bitmap even at its own size, blurring edges;
// upside down or with red and blue swapped is off by 70 and more.
constexpr Fidelity kResampled{255, 12.0, false, 2.0};

// A placeable metafile states its own units per inch; drawing it at that
// density gives one pixel per unit instead of the library's default scale.
int metafileUnitsPerInch(QByteArrayView head)
{
    if (head.size() < 22 || qFromLittleEndian<quint32>(head.data()) != 0x9AC6CDD7u)
        return 0;
    return qFromLittleEndian<quint16>(head.data() + 14);
}

// A bitmap stores transparency at 32 bits a pixel, or in bit fields with an
// alpha mask at 16 or 32. The library also reads an alpha channel from a
// 24-bit bitmap whose version 4 or 5 header declares an alpha mask, and fills
// it with whatever the memory held.
bool bitmapStoresAlpha(QByteArrayView head)
{
    if (head.size() < 34)
        return false;
    const quint32 headerSize = qFromLittleEndian<quint32>(head.data() + 14);
    const quint16 bits = qFromLittleEndian<quint16>(head.data() + 28);
    const quint32 compression = qFromLittleEndian<quint32>(head.data() + 30);
    if (bits == 32)
        return true;
    constexpr quint32 kBitFields = 3, kAlphaBitFields = 6;
    const bool fields = compression == kBitFields || compression == kAlphaBitFields;
    // The alpha mask follows the colour masks: in the header from version 3
    // (56 bytes) on, at byte 66 of the file.
    const bool hasMask = headerSize >= 56 && head.size() >= 70
        && qFromLittleEndian<quint32>(head.data() + 66) != 0;
    return bits == 16 && fields && hasMask;
}

} // namespace

const std::array<Format, common::kFileTypeCount> &formats()
{
    using T = FileType;
    using W = Writer;
    static const std::array<Format, common::kFileTypeCount> table{{
        {.type = T::Jpg, .decoder = "JPEG", .scalesOnLoad = true,
         .encoder = "JPEG", .opaque = true, .fidelity = {255, 16.0, false, 2.0}},
        // Transparency is stored as unassociated alpha, the kind readers
        // show; "unspecified" extra samples are ignored by most of them.
        {.type = T::Tif, .decoder = "TIFF",
         .encoder = "TIFF", .defines = "tiff:alpha=unassociated"},
        {.type = T::Bmp, .decoder = "BMP", .storesAlpha = bitmapStoresAlpha,
         .encoder = "BMP"},
        {.type = T::Rle, .decoder = "BMP", .storesAlpha = bitmapStoresAlpha,
         .writer = W::OwnRle8, .opaque = true, .writeBytesPerPixel = 10},
        {.type = T::Pcx, .decoder = "PCX",
         .writer = W::OwnPcx, .opaque = true, .writeBytesPerPixel = 13},
        {.type = T::Png, .decoder = "PNG",
         .writer = W::OwnPng},
        // A drawing of a grainy picture holds a rectangle for nearly every
        // pixel, some 200 bytes of text each.
        {.type = T::Dxf, .reader = Reader::OwnDxf,
         .writer = W::OwnDxf, .opaque = true, .writeBytesPerPixel = 200, .fidelity = {0, 0, true, 32.0},
         .witness = Witness::Ezdxf},
        // The third picture of a Photo CD is its 768 x 512 base image.
        {.type = T::Pcd, .decoder = "PCD", .picture = 3,
         .encoder = "PCD", .opaque = true, .onlySize = {768, 512},
         .fidelity = {255, 12.0, false, 14.0}},
        {.type = T::Wmf, .reader = Reader::LibraryTool, .readDensity = metafileUnitsPerInch,
         .writer = W::OwnWmf, .writeBytesPerPixel = 13, .fidelity = kResampled,
         .witness = Witness::Libwmf},
        {.type = T::Tga, .decoder = "TGA",
         .encoder = "TGA"},
        {.type = T::Dcx, .decoder = "DCX",
         .writer = W::OwnDcx, .opaque = true, .writeBytesPerPixel = 12},
        // One pixel is one point, so the size the user chose is the size
        // every reader and printer sees.
        {.type = T::Eps, .reader = Reader::Ghostscript,
         .encoder = "EPS", .density = 72, .opaque = true, .writeBytesPerPixel = 14, .fidelity = {2, 0.5, false, 1.0},
         .witness = Witness::Ghostscript},
    }};
    return table;
}

const Format &format(FileType type)
{
    return formats()[static_cast<size_t>(type)];
}

} // namespace imaging
