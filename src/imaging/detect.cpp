#include "detect.h"

#include "formats.h"
#include "imaging/codecs/codecsupport.h"
#include "imaging/dxf/dxf.h"

#include <algorithm>

namespace imaging::detail {
namespace {

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
        && (mapped == (colourMapType == 1)) && readLe16(h, 12) > 0 && readLe16(h, 14) > 0
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

// An ISO media file's brands say what it holds (a list, not bytes in fixed
// places, so they are not signatures of the format table): AV1 pictures (AVIF) or HEVC
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

// Whether `head` starts with the lines of a PostScript program that says it
// is an EPS picture (old Macintosh files end their lines with CR alone).
bool declaresEps(const QByteArray &head)
{
    const QByteArray start = head.left(128);
    const auto end = std::find_if(start.begin(), start.end(), [](char c) { return c == '\r' || c == '\n'; });
    return start.left(end - start.begin()).contains("EPSF");
}

// The type whose signature `head` holds, checked further where a signature
// alone says too little; nothing when none fits.
std::optional<Detected> bySignature(const QByteArray &head)
{
    for (const Format &format : kFormats) {
        for (const Signature &signature : format.signatures) {
            if (!signature.foundIn(head))
                continue;
            switch (format.type) {
            case FileType::Bmp:
                // Compression 1 and 2 are the run-length encoded Windows bitmaps.
                if (head.size() < 34)
                    continue;
                if (const quint32 compression = readLe32(head, 30); compression == 1 || compression == 2)
                    return found(FileType::Rle);
                break;
            case FileType::Pcx:
                // Encoding 0 is an unpacked PCX; the library writes one for a
                // picture that came from a PNG.
                if (head.size() < 4 || quint8(head[1]) > 5 || quint8(head[1]) == 1 || quint8(head[2]) > 1)
                    continue;
                break;
            case FileType::Eps:
                if (signature.bytes.starts_with('%') && !declaresEps(head))
                    continue;
                break;
            case FileType::Webp:
                // The form's name, after a RIFF header that other forms share.
                if (!head.startsWith("RIFF"))
                    continue;
                break;
            default:
                break;
            }
            return found(format.type, signature.variantDecoder);
        }
    }
    return std::nullopt;
}

} // namespace

Detected detectContent(const QByteArray &head)
{
    if (head.isEmpty())
        return refused("an empty file");
    if (const std::optional<Detected> known = bySignature(head))
        return *known;
    if (head.startsWith("%!"))
        return refused("a PostScript program, not an EPS picture");
    if (looksLikeDxf(head))
        return found(FileType::Dxf);
    if (head.startsWith("%PDF"))
        return refused("a PDF document");
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
