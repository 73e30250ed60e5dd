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
    if (head.startsWith("GIF8"))
        return refused("a GIF picture, which is not one of the twelve types");
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return refused("a WebP picture, which is not one of the twelve types");
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
    return refused("not a picture of any of the twelve types");
}

} // namespace imaging::detail
