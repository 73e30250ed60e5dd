#include "detect.h"

#include "dxf/dxf.h"
#include "formats.h"
#include "pcxwriter.h"
#include "wmfwriter.h"

#include <algorithm>

namespace imaging::detail {
namespace {


quint32 le16(const QByteArray &b, qsizetype at)
{
    return quint8(b[at]) | quint32(quint8(b[at + 1])) << 8;
}

quint32 le32(const QByteArray &b, qsizetype at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

bool startsWithBytes(const QByteArray &head, std::initializer_list<int> bytes)
{
    if (head.size() < qsizetype(bytes.size()))
        return false;
    qsizetype i = 0;
    for (int b : bytes) {
        if (quint8(head[i++]) != b)
            return false;
    }
    return true;
}

// Targa has no signature; its header fields must all be plausible.
bool looksLikeTarga(const QByteArray &h)
{
    if (h.size() < 18)
        return false;
    const int colourMapType = quint8(h[1]);
    const int imageType = quint8(h[2]);
    const int depth = quint8(h[16]);
    const int descriptor = quint8(h[17]);
    const bool typeOk = imageType == 1 || imageType == 2 || imageType == 3
        || imageType == 9 || imageType == 10 || imageType == 11;
    const bool mapped = imageType == 1 || imageType == 9;
    const bool depthOk = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return (colourMapType == 0 || colourMapType == 1) && typeOk && depthOk
        && (mapped == (colourMapType == 1)) && le16(h, 12) > 0 && le16(h, 14) > 0
        && (descriptor & 0xC0) == 0;
}

bool isTextual(const QByteArray &head)
{
    for (char c : head.left(512)) {
        const auto u = quint8(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f')
            return false;
    }
    return true;
}

quint32 be32(const QByteArray &b, qsizetype at)
{
    return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16 | quint32(quint8(b[at + 2])) << 8
        | quint8(b[at + 3]);
}

// An ISO media file's brands say what it holds: AV1 pictures (AVIF) or HEVC
// ones (HEIC), both read through HEIF's container. The leading "ftyp" box
// lists the major brand and then the compatible ones.
std::optional<FileType> heifKind(const QByteArray &head)
{
    if (head.size() < 16 || head.mid(4, 4) != "ftyp")
        return std::nullopt;
    const qsizetype boxEnd = std::min<qsizetype>(be32(head, 0), head.size());
    QList<QByteArray> brands{head.mid(8, 4)};
    for (qsizetype at = 16; at + 4 <= boxEnd; at += 4)
        brands.append(head.mid(at, 4));
    if (brands.contains("avif") || brands.contains("avis"))
        return FileType::Avif;
    for (const char *brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1"})
        if (brands.contains(brand))
            return FileType::Heic;
    return std::nullopt;
}

Detected refused(const char *what)
{
    return Detected{std::nullopt, nullptr, QString::fromLatin1(what)};
}

// The decoder is the format table's unless the content is a variant of the
// type that another decoder reads.
Detected found(FileType type, const char *variantDecoder = nullptr)
{
    return Detected{type, variantDecoder ? variantDecoder : format(type).decoder, {}};
}

} // namespace

Detected detectContent(const QByteArray &head)
{
    if (head.isEmpty())
        return refused("an empty file");
    if (startsWithBytes(head, {0xFF, 0xD8, 0xFF}))
        return found(FileType::Jpg);
    if (startsWithBytes(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return found(FileType::Png);
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4))
        || head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4)))
        return found(FileType::Tif);
    if (head.startsWith("BM") && head.size() >= 34) {
        // Compression 1 and 2 are the run-length encoded Windows bitmaps.
        const quint32 compression = le32(head, 30);
        return found(compression == 1 || compression == 2 ? FileType::Rle : FileType::Bmp);
    }
    if (startsWithBytes(head, {0x52, 0xCC}))
        return found(FileType::Rle, "RLE"); // a Utah raster
    if (head.size() >= 4 && le32(head, 0) == kDcxKey)
        return found(FileType::Dcx);
    // Encoding 0 is an unpacked PCX; the library writes one for a picture
    // that came from a PNG.
    if (head.size() >= 4 && quint8(head[0]) == 0x0A && quint8(head[1]) <= 5
        && quint8(head[1]) != 1 && quint8(head[2]) <= 1)
        return found(FileType::Pcx);
    if (head.size() >= 2055 && head.mid(2048, 7) == "PCD_IPI")
        return found(FileType::Pcd);
    if ((head.size() >= 4 && le32(head, 0) == kPlaceableKey)
        || startsWithBytes(head, {0x01, 0x00, 0x09, 0x00})
        || startsWithBytes(head, {0x02, 0x00, 0x09, 0x00}))
        return found(FileType::Wmf);
    if (startsWithBytes(head, {0xC5, 0xD0, 0xD3, 0xC6}))
        return found(FileType::Eps, nullptr);
    if (head.startsWith("%!")) {
        // Old Macintosh files end their lines with CR alone.
        const QByteArray start = head.left(128);
        const auto end = std::find_if(start.begin(), start.end(), [](char c) { return c == '\r' || c == '\n'; });
        const QByteArray firstLine = start.left(end - start.begin());
        if (firstLine.startsWith("%!PS-Adobe-") && firstLine.contains("EPSF"))
            return found(FileType::Eps, nullptr);
        return refused("a PostScript program, not an EPS picture");
    }
    if (looksLikeDxf(head))
        return found(FileType::Dxf);
    if (head.startsWith("%PDF"))
        return refused("a PDF document");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return found(FileType::Gif);
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return found(FileType::Webp);
    if (const std::optional<FileType> kind = heifKind(head))
        return found(*kind);
    if (head.size() >= 8 && head.mid(4, 4) == "ftyp")
        return refused("a video or another ISO media file, not a picture");
    if (looksLikeTarga(head))
        return found(FileType::Tga);

    const QByteArray lower = head.left(1024).toLower();
    if (lower.contains("<msl") || lower.contains("<image"))
        return refused("an MSL script");
    if (lower.contains("<svg"))
        return refused("an SVG drawing");
    if (lower.contains("viewbox") || lower.contains("graphic-context"))
        return refused("an MVG drawing");
    if (lower.startsWith("<?xml") || lower.startsWith("<"))
        return refused("an XML or HTML document");
    if (isTextual(head))
        return refused("a text file");
    return refused("not a picture of any type this program reads");
}

} // namespace imaging::detail
