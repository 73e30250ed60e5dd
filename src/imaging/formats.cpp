#include "formats.h"

#include "imaging/codecs/codecsupport.h"
#include "imaging/helpers/wmf.h"


namespace imaging {

namespace detail {

// A placeable metafile states its own units per inch; drawing it at that
// density gives one pixel per unit instead of the library's default scale.
int metafileUnitsPerInch(QByteArrayView head)
{
    const std::optional<PlaceableHeader> header = readPlaceableHeader(head);
    return header ? header->unitsPerInch : 0;
}

// A bitmap stores transparency at 32 bits a pixel, or in bit fields with an
// alpha mask at 16 or 32. The library also reads an alpha channel from a
// 24-bit bitmap whose version 4 or 5 header declares an alpha mask, and fills
// it with whatever the memory held.
bool bitmapStoresAlpha(QByteArrayView head)
{
    if (head.size() < 34)
        return false;
    const quint32 headerSize = readLe32(head, 14);
    const quint16 bits = readLe16(head, 28);
    const quint32 compression = readLe32(head, 30);
    if (bits == 32)
        return true;
    constexpr quint32 kBitFields = 3, kAlphaBitFields = 6;
    const bool fields = compression == kBitFields || compression == kAlphaBitFields;
    // The alpha mask follows the colour masks: in the header from version 3
    // (56 bytes) on, at byte 66 of the file.
    const bool hasMask = headerSize >= 56 && head.size() >= 70
        && readLe32(head, 66) != 0;
    return bits == 16 && fields && hasMask;
}

} // namespace detail

std::optional<FileType> fileTypeFromExtension(QStringView extension)
{
    for (const Format &format : kFormats) {
        if (extension.compare(QLatin1String(format.extension), Qt::CaseInsensitive) == 0)
            return format.type;
    }
    // The container's own name; cameras and phones write both.
    if (extension.compare(QLatin1String("heif"), Qt::CaseInsensitive) == 0)
        return FileType::Heic;
    return std::nullopt;
}

std::optional<FileType> fileTypeFromPath(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return std::nullopt;
    return fileTypeFromExtension(QStringView(name).mid(dot + 1));
}

} // namespace imaging
