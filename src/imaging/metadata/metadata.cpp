#include "metadata.h"

#include "exif.h"
#include "xmp.h"
#include "imaging/magick/library.h"

#include <QtEndian>

namespace imaging::detail {

namespace {

void setProfile(Picture &picture, const char *name, const QByteArray &bytes)
{
    picture.modifyImage();
    if (bytes.isEmpty())
        MagickLib::DeleteImageProfile(picture.image(), name);
    else
        MagickLib::SetImageProfile(picture.image(), name, reinterpret_cast<const unsigned char *>(bytes.constData()),
                                   size_t(bytes.size()));
}

QByteArray attributeOf(const Picture &picture, const char *name)
{
    const MagickLib::ImageAttribute *a = MagickLib::GetImageAttribute(picture.constImage(), name);
    return a && a->value ? QByteArray(a->value) : QByteArray();
}

// The author and copyright as EXIF states them, or else as a TIFF's own tags
// or a PNG's text chunks do (the library reads both into attributes).
ExifAuthorship authorshipOf(const Picture &picture, const QByteArray &exif)
{
    ExifAuthorship found = exifAuthorship(exif);
    if (found.artist.isEmpty())
        found.artist = attributeOf(picture, "artist");
    if (found.artist.isEmpty())
        found.artist = attributeOf(picture, "author");
    if (found.copyright.isEmpty())
        found.copyright = attributeOf(picture, "copyright");
    return found;
}

struct PngChunk {
    QByteArrayView type;
    QByteArrayView data;
};

template<typename Visit>
void forEachPngChunk(QByteArrayView file, Visit visit)
{
    qint64 at = 8;
    while (at + 12 <= file.size()) {
        const qint64 length = qFromBigEndian<quint32>(file.data() + at);
        if (length > file.size() - at - 12)
            return;
        const PngChunk chunk{file.sliced(at + 4, 4), file.sliced(at + 8, length)};
        if (chunk.type == "IEND")
            return;
        visit(chunk);
        at += 12 + length;
    }
}

} // namespace

QByteArray profileBytes(const Picture &picture, const char *name)
{
    size_t length = 0;
    const unsigned char *data = MagickLib::GetImageProfile(picture.constImage(), name, &length);
    return data ? QByteArray(reinterpret_cast<const char *>(data), qsizetype(length)) : QByteArray();
}

int statedOrientation(const Picture &picture)
{
    const int library = int(picture.orientation());
    if (library >= 1 && library <= 8)
        return library;
    return exifOrientation(profileBytes(picture, "EXIF"));
}

int jpegOrientation(QByteArrayView file)
{
    return exifOrientation(jpegExif(file));
}

int fileOrientation(QByteArrayView file, FileType type)
{
    switch (type) {
    case FileType::Jpg:
        return jpegOrientation(file);
    case FileType::Tif:
        // A TIFF file is the structure an EXIF block holds; its first
        // directory is the first page's.
        return exifOrientation(file);
    case FileType::Png: {
        int orientation = 0;
        forEachPngChunk(file, [&](const PngChunk &chunk) {
            if (chunk.type == "eXIf")
                orientation = exifOrientation(chunk.data);
        });
        return orientation;
    }
    default:
        return 0;
    }
}

QSize storedSize(QSize upright, int orientation)
{
    return orientation >= 5 && orientation <= 8 ? upright.transposed() : upright;
}

void takePngMetadata(Picture &picture, QByteArrayView file)
{
    static constexpr QByteArrayView xmpKeyword("XML:com.adobe.xmp\0", 18);
    forEachPngChunk(file, [&](const PngChunk &chunk) {
        if (chunk.type == "eXIf") {
            setProfile(picture, "EXIF", kExifPrefix.toByteArray() + chunk.data.toByteArray());
        } else if (chunk.type == "iTXt" && chunk.data.startsWith(xmpKeyword)) {
            // Keyword, compression flag and method, language and translated
            // keyword (each ending in a zero byte), then the text.
            QByteArrayView rest = chunk.data.sliced(xmpKeyword.size());
            if (rest.size() < 2 || rest[0] != '\0')
                return;
            rest = rest.sliced(2);
            for (int field = 0; field < 2; ++field) {
                const qsizetype end = rest.indexOf('\0');
                if (end < 0)
                    return;
                rest = rest.sliced(end + 1);
            }
            setProfile(picture, "XMP", rest.toByteArray());
        }
    });
}

void turnUpright(Picture &picture, const Deadline &deadline)
{
    const int orientation = statedOrientation(picture);
    if (orientation > 1) {
        MagickLib::ExceptionInfo exception;
        MagickLib::GetExceptionInfo(&exception);
        MagickLib::Image *turned = nullptr;
        {
            const DeadlineScope bounded(deadline);
            turned = MagickLib::AutoOrientImage(picture.constImage(), MagickLib::OrientationType(orientation),
                                                &exception);
        }
        if (!turned) {
            const QByteArray reason(exception.reason ? exception.reason : "the picture could not be turned upright");
            MagickLib::DestroyExceptionInfo(&exception);
            throw std::runtime_error(reason.toStdString());
        }
        MagickLib::DestroyExceptionInfo(&exception);
        picture = Picture(turned);
    }
    picture.orientation(Magick::TopLeftOrientation);
}

void keepMetadata(Picture &picture, const Format &format, bool keepAll)
{
    const QByteArray exif = profileBytes(picture, "EXIF");
    const QByteArray xmp = profileBytes(picture, "XMP");
    const ExifAuthorship author = authorshipOf(picture, exif);
    if (keepAll) {
        if (!exif.isEmpty())
            setProfile(picture, "EXIF", uprightExif(exif));
        if (!xmp.isEmpty())
            setProfile(picture, "XMP", uprightXmp(xmp));
    } else {
        const Magick::Blob icc = picture.iccColorProfile();
        picture.strip();
        if (format.keepsProfile && icc.length() > 0)
            picture.iccColorProfile(icc);
        if (format.keepsAuthorship) {
            if (!author.artist.isEmpty() || !author.copyright.isEmpty())
                setProfile(picture, "EXIF", minimalExif(author));
            setProfile(picture, "XMP", minimalXmp(xmpAuthorship(xmp)));
        }
    }
    // A TIFF states them in tags of its own, which the library writes from
    // these attributes.
    if (format.keepsAuthorship) {
        if (!author.artist.isEmpty() && attributeOf(picture, "artist").isEmpty())
            picture.attribute("artist", author.artist.toStdString());
        if (!author.copyright.isEmpty() && attributeOf(picture, "copyright").isEmpty())
            picture.attribute("copyright", author.copyright.toStdString());
    }
    picture.orientation(Magick::TopLeftOrientation);
}

QByteArray withBitmapProfile(QByteArray bitmap, QByteArrayView profile)
{
    constexpr qint64 kFileHeader = 14, kV5Header = 124;
    constexpr quint32 kEmbedded = 0x4D424544;  // 'MBED'
    constexpr quint32 kPictureIntent = 4;      // perceptual, for photographs
    if (profile.isEmpty() || bitmap.size() < kFileHeader + 40 || !bitmap.startsWith("BM"))
        return bitmap;
    char *h = bitmap.data() + kFileHeader;
    const quint32 headerSize = qFromLittleEndian<quint32>(h);
    const quint32 compression = qFromLittleEndian<quint32>(h + 16);
    if (headerSize != kV5Header) {
        // Bit fields of an older header lie after it, where a version 5
        // header has its own fields; those bitmaps are left as they are.
        if (headerSize > kV5Header || compression > 2 || bitmap.size() < kFileHeader + headerSize)
            return bitmap;
        const qint64 grow = kV5Header - headerSize;
        bitmap.insert(kFileHeader + headerSize, QByteArray(grow, '\0'));
        h = bitmap.data() + kFileHeader;
        qToLittleEndian(quint32(kV5Header), h);
        qToLittleEndian(qFromLittleEndian<quint32>(bitmap.constData() + 10) + quint32(grow), bitmap.data() + 10);
    }
    // The profile follows the pixels; its place counts from the header's start.
    qToLittleEndian(kEmbedded, h + 56);
    qToLittleEndian(kPictureIntent, h + 108);
    qToLittleEndian(quint32(bitmap.size() - kFileHeader), h + 112);
    qToLittleEndian(quint32(profile.size()), h + 116);
    bitmap.append(profile);
    qToLittleEndian(quint32(bitmap.size()), bitmap.data() + 2);
    return bitmap;
}

} // namespace imaging::detail
