#pragma once

#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <array>
#include <optional>
#include <string_view>

// What we know of each of the twelve types, in one table keyed by the type:
// its name, who reads it and how, who writes it and with which settings, what
// it cannot store, and how close a picture comes back from a round trip
// through it. The window, the conversion rules, loading, saving, content
// detection and the tests all read this table; a new type or a new quirk is
// one row.
namespace imaging {

// The twelve types of the window in their fixed order (the order of the
// table's rows, of the type boxes and the format buttons of the conversion
// page), then the web's types of today: read wherever a source is read,
// written from the command line (WebP, AVIF) or only read (HEIC, GIF).
enum class FileType { Jpg, Tif, Bmp, Rle, Pcx, Png, Dxf, Pcd, Wmf, Tga, Dcx, Eps, Webp, Avif, Heic, Gif };

// The window's types: the first twelve rows.
inline constexpr int kFileTypeCount = 12;
// Every row of the table.
inline constexpr int kAllTypeCount = 16;

// Who decodes a type.
enum class Reader {
    Library,     // the imaging library, with the decoder named in the row
    OwnDxf,      // our DXF renderer
    Ghostscript, // a Ghostscript child process we start, its PNM output read by the library
    // The library's own command-line tool in a child process we start, for
    // decoders that can neither be stopped nor bounded in ours; its PNM
    // output is read by the library.
    LibraryTool,
};

// Who encodes a type.
enum class Writer {
    Library, // the imaging library, with the encoder and settings of the row
    OwnPng,
    OwnPcx,
    OwnDcx,
    OwnRle8, // a 256-colour Windows bitmap with RLE8 compression
    OwnDxf,
    OwnWmf,
    OwnWebp, // libwebp, with the metadata in its container's chunks
    OwnAvif, // libavif over the AV1 encoder, at the speed avif.h names
    None,    // read, never written
};

// How the library's encoder compresses. Deflate is used at its fastest
// level, with the horizontal predictor that the library adds wherever the
// samples have 8 bits or more: on a camera photo of 720 x 477 it
// writes 72% of the raw size in 21 ms, where LZW writes 83% in 15 ms and
// deflate's default level 70% in 65 ms.
enum class Compression { EncoderChoice, FastDeflate };

// The program other than ours that the tests open our files with.
enum class Witness { Pillow, Ghostscript, Libwmf, Ezdxf, Dwebp, Avifdec };

// How far a picture of a few dozen flat colours may differ per channel after
// being written and read back: the largest difference of any pixel and the
// mean. Zero for both is exact.
struct Fidelity {
    int largest = 0;
    double mean = 0;
    // Compared with the picture reduced to the 255 colours of a drawing.
    bool drawingColours = false;
    // How far the mean colour of any picture may move, read by another
    // program: the nearest of a drawing's colours, a Photo CD's colour space.
    double meanShift = 0;
};

// Bytes that mark a file of a type, `offset` bytes from its start. A variant
// of the type that another of the library's decoders reads names it (a Utah
// raster is an RLE file read by "RLE"); null keeps the row's decoder.
struct Signature {
    std::string_view bytes;
    qsizetype offset = 0;
    const char *variantDecoder = nullptr;

    // Whether `head`, a file's leading bytes, holds these bytes in place.
    bool foundIn(QByteArrayView head) const
    {
        return !bytes.empty() && head.size() >= offset + qsizetype(bytes.size())
            && std::string_view(head.data() + offset, bytes.size()) == bytes;
    }
};

// A signature from a string literal, whose zero bytes count ("II*\0").
template <size_t N>
constexpr Signature signature(const char (&bytes)[N], qsizetype offset = 0, const char *variantDecoder = nullptr)
{
    return Signature{std::string_view(bytes, N - 1), offset, variantDecoder};
}

struct Format {
    FileType type;
    const char *caption;   // "JPG": button and box caption, upper case
    const char *extension; // "jpg": lower case, no dot

    Reader reader = Reader::Library;
    // The library's decoder for Reader::Library; the content may pick a
    // variant (a Utah raster is an RLE file read by "RLE").
    const char *decoder = nullptr;
    // When a file holds several pictures, the one we read, and only that one
    // (a Photo CD's third is its 768 x 512 base image, its first a thumbnail).
    int picture = 0;
    // What content detection looks for, and what our writers of the type
    // write at those places; empty entries are unused. A type without any
    // (DXF, TGA) is recognised by its structure instead.
    std::array<Signature, 4> signatures = {};
    // Reader quirks, from the file's leading bytes; null when the decoder
    // gets it right. The dots per inch to draw a vector file at, 0 for the
    // decoder's default; whether the file really stores transparency.
    int (*readDensity)(QByteArrayView head) = nullptr;
    bool (*storesAlpha)(QByteArrayView head) = nullptr;
    bool scalesOnLoad = false; // can decode at a reduced scale for a size hint
    // The file may state that its pixels are stored turned or mirrored (EXIF
    // orientation, a TIFF's own tag); they are turned upright when read.
    bool readsOrientation = false;

    Writer writer = Writer::Library;
    const char *encoder = nullptr; // the library's encoder for Writer::Library
    const char *defines = "";      // its settings, "key=value" separated by ";"
    // The quality written when none is asked for, on the type's own scale
    // of 20 to 100 (higher is better); 0 for a type without one. Those of
    // WebP and AVIF give the look of a JPEG at 75 in the fewest bytes: the
    // lowest at which neither the mean nor the worst luma SSIM of nine
    // photos falls below the JPEG's (0.951 and 0.894), where the JPEGs took
    // 521 kB, WebP 365 kB and AVIF 355 kB.
    int defaultQuality = 0;
    int density = 0;               // dots per inch written; 0 keeps the picture's own
    // The library's encoder compresses as it chooses (for a TIFF the source's
    // own compression, JPEG's for a JPEG source), or losslessly with deflate.
    Compression compression = Compression::EncoderChoice;
    // What of a source's metadata a file of the type carries. Types without
    // a place for a colour profile, or for author and copyright, say false
    // (PCX, DXF, PCD, WMF, TGA, DCX and our EPS have room for neither);
    // everything else a source holds is left out by default (metadata.h).
    bool keepsProfile = false;
    bool keepsAuthorship = false;
    // Stores no transparency: the picture is laid over white before it is
    // encoded, and our own writers of such a type are only handed opaque
    // pictures.
    bool opaque = false;
    QSize onlySize = QSize(); // the one size the type holds (landscape); empty for any

    // Memory that writing takes beside the picture itself, in bytes per pixel
    // written, measured on a 4000 x 3000 noise picture; the batch run plans
    // with it.
    int writeBytesPerPixel = 8;
    Fidelity fidelity = {};
    Witness witness = Witness::Pillow;
};

namespace detail {
// The reader quirks the table names, from a file's leading bytes.
int metafileUnitsPerInch(QByteArrayView head);
bool bitmapStoresAlpha(QByteArrayView head);
// Players resample a metafile's bitmap even at its own size, blurring edges;
// upside down or with red and blue swapped is off by 70 and more.
inline constexpr Fidelity kResampled{255, 12.0, false, 2.0};
} // namespace detail

inline constexpr std::array<Format, kAllTypeCount> kFormats{{
    {.type = FileType::Jpg, .caption = "JPG", .extension = "jpg", .decoder = "JPEG",
     .signatures = {signature("\xFF\xD8\xFF")}, .scalesOnLoad = true, .readsOrientation = true,
     .encoder = "JPEG", .defaultQuality = 75, .keepsProfile = true, .keepsAuthorship = true,
     .opaque = true, .fidelity = {255, 16.0, false, 2.0}},
    // Transparency is stored as unassociated alpha, the kind readers show;
    // "unspecified" extra samples are ignored by most of them. Always
    // lossless, whatever the source's compression.
    {.type = FileType::Tif, .caption = "TIF", .extension = "tif", .decoder = "TIFF",
     .signatures = {signature("II*\0"), signature("MM\0*"), signature("II+\0"), signature("MM\0+")},
     .readsOrientation = true, .encoder = "TIFF", .defines = "tiff:alpha=unassociated",
     .compression = Compression::FastDeflate, .keepsProfile = true, .keepsAuthorship = true},
    // The colour profile is embedded in the version 5 header.
    {.type = FileType::Bmp, .caption = "BMP", .extension = "bmp", .decoder = "BMP", .signatures = {signature("BM")},
     .storesAlpha = detail::bitmapStoresAlpha, .encoder = "BMP", .keepsProfile = true},
    {.type = FileType::Rle, .caption = "RLE", .extension = "rle", .decoder = "BMP",
     .signatures = {signature("\x52\xCC", 0, "RLE")},
     .storesAlpha = detail::bitmapStoresAlpha, .writer = Writer::OwnRle8, .keepsProfile = true, .opaque = true,
     .writeBytesPerPixel = 10},
    {.type = FileType::Pcx, .caption = "PCX", .extension = "pcx", .decoder = "PCX", .signatures = {signature("\x0A")},
     .writer = Writer::OwnPcx, .opaque = true, .writeBytesPerPixel = 13},
    {.type = FileType::Png, .caption = "PNG", .extension = "png", .decoder = "PNG",
     .signatures = {signature("\x89PNG\r\n\x1a\n")}, .readsOrientation = true,
     .writer = Writer::OwnPng, .keepsProfile = true, .keepsAuthorship = true},
    // A drawing of a grainy picture holds a rectangle for nearly every pixel,
    // some 200 bytes of text each.
    {.type = FileType::Dxf, .caption = "DXF", .extension = "dxf", .reader = Reader::OwnDxf,
     .writer = Writer::OwnDxf, .opaque = true, .writeBytesPerPixel = 200, .fidelity = {0, 0, true, 32.0},
     .witness = Witness::Ezdxf},
    // The third picture of a Photo CD is its 768 x 512 base image. Its colour
    // space moves white and the colours next to it most.
    {.type = FileType::Pcd, .caption = "PCD", .extension = "pcd", .decoder = "PCD", .picture = 3,
     .signatures = {signature("PCD_IPI", 2048)},
     .encoder = "PCD", .opaque = true, .onlySize = {768, 512}, .fidelity = {255, 14.0, false, 14.0}},
    // The metafile holds the picture as one 24-bit bitmap. The placeable
    // header's key, which ours start with, is the first signature.
    {.type = FileType::Wmf, .caption = "WMF", .extension = "wmf", .reader = Reader::LibraryTool,
     .signatures = {signature("\xD7\xCD\xC6\x9A"), signature("\x01\x00\x09\x00"), signature("\x02\x00\x09\x00")},
     .readDensity = detail::metafileUnitsPerInch, .writer = Writer::OwnWmf, .opaque = true,
     .writeBytesPerPixel = 13, .fidelity = detail::kResampled, .witness = Witness::Libwmf},
    {.type = FileType::Tga, .caption = "TGA", .extension = "tga", .decoder = "TGA",
     .encoder = "TGA"},
    {.type = FileType::Dcx, .caption = "DCX", .extension = "dcx", .decoder = "DCX",
     .signatures = {signature("\xB1\x68\xDE\x3A")},
     .writer = Writer::OwnDcx, .opaque = true, .writeBytesPerPixel = 12},
    // One pixel is one point, so the size the user chose is the size every
    // reader and printer sees.
    {.type = FileType::Eps, .caption = "EPS", .extension = "eps", .reader = Reader::Ghostscript,
     .signatures = {signature("\xC5\xD0\xD3\xC6"), signature("%!PS-Adobe-")},
     .encoder = "EPS", .density = 72, .opaque = true, .writeBytesPerPixel = 14, .fidelity = {2, 0.5, false, 1.0},
     .witness = Witness::Ghostscript},
    // Lossy at the default quality, exact with lossless set. The orientation
    // is in the EXIF chunk. Writing takes 21 bytes a pixel lossy, 40 lossless.
    {.type = FileType::Webp, .caption = "WEBP", .extension = "webp", .decoder = "WEBP",
     .signatures = {signature("WEBP", 8)}, .readsOrientation = true,
     .writer = Writer::OwnWebp, .defaultQuality = 74, .keepsProfile = true, .keepsAuthorship = true,
     .writeBytesPerPixel = 40, .fidelity = {255, 8.0, false, 2.0}, .witness = Witness::Dwebp},
    // The decoder turns a picture as its irot and imir boxes say, which is
    // what HEIF readers go by; an EXIF orientation in the file is not applied
    // again.
    {.type = FileType::Avif, .caption = "AVIF", .extension = "avif", .decoder = "AVIF",
     .writer = Writer::OwnAvif, .defaultQuality = 60, .keepsProfile = true, .keepsAuthorship = true,
     .writeBytesPerPixel = 24, .fidelity = {255, 6.0, false, 2.0}, .witness = Witness::Avifdec},
    {.type = FileType::Heic, .caption = "HEIC", .extension = "heic", .decoder = "HEIC", .writer = Writer::None},
    // The first frame only.
    {.type = FileType::Gif, .caption = "GIF", .extension = "gif", .decoder = "GIF",
     .signatures = {signature("GIF87a"), signature("GIF89a")}, .writer = Writer::None},
}};

constexpr const Format &format(FileType type)
{
    return kFormats[static_cast<size_t>(type)];
}

static_assert([] {
    for (int i = 0; i < kFileTypeCount; ++i)
        if (kFormats[size_t(i)].type != FileType(i))
            return false;
    return true;
}(), "the rows of the format table follow the order of FileType");

constexpr bool isWritten(const Format &format)
{
    return format.writer != Writer::None;
}

// The type whose extension (no dot) is `extension`, in any letter case
// ("heif" is HEIC's too); nothing when there is no such type.
std::optional<FileType> fileTypeFromExtension(QStringView extension);
// The type whose extension is the text after the last dot of the file name
// in `path`; nothing when there is none.
std::optional<FileType> fileTypeFromPath(const QString &path);

} // namespace imaging
