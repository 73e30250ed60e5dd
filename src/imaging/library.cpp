#include "library.h"

#include <Magick++.h>

#include <QByteArray>
#include <QSet>
#include <mutex>
#include <vector>

namespace imaging::detail {

bool sizeAllowed(qint64 width, qint64 height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide
        && width * height <= kMaxPixels;
}

namespace {

// The decoders our types need, and EPS for its encoder. PNM stays because our
// Ghostscript child hands its rendering of an EPS back as PNM, DIB because a
// metafile's bitmaps are decoded as DIB.
const QSet<QByteArray> &keptFormats()
{
    static const QSet<QByteArray> kept{
        "JPEG", "JPG", "TIFF", "TIF", "BMP", "BMP2", "BMP3", "RLE", "PCX", "DCX",
        "PNG", "PCD", "WMF", "TGA", "EPS",
        "PNM", "PPM", "PGM", "PBM", "DIB"};
    return kept;
}

void removeOtherFormats()
{
    MagickLib::ExceptionInfo exception;
    MagickLib::GetExceptionInfo(&exception);
    MagickLib::MagickInfo **formats = MagickLib::GetMagickInfoArray(&exception);
    std::vector<QByteArray> unwanted;
    for (MagickLib::MagickInfo **f = formats; f && *f; ++f) {
        const QByteArray name((*f)->name);
        if (!keptFormats().contains(name.toUpper()))
            unwanted.push_back(name);
    }
    MagickLib::MagickFree(formats);
    MagickLib::DestroyExceptionInfo(&exception);
    for (const QByteArray &name : unwanted)
        MagickLib::UnregisterMagickInfo(name.constData());
}

// The library would hand PostScript to Ghostscript itself, with its own
// temporary files and no limits; we keep only its EPS encoder. Without a
// decoder and a content test nothing can be read as EPS through it.
void removePostScriptDecoder()
{
    MagickLib::ExceptionInfo exception;
    MagickLib::GetExceptionInfo(&exception);
    if (const MagickLib::MagickInfo *info = MagickLib::GetMagickInfo("EPS", &exception)) {
        auto *entry = const_cast<MagickLib::MagickInfo *>(info);
        entry->decoder = nullptr;
        entry->magick = nullptr;
    }
    MagickLib::DestroyExceptionInfo(&exception);
}

// Warnings that matter reach us as exceptions; the library's own handler
// would also print every one of them on standard error.
void ignoreWarning(const MagickLib::ExceptionType, const char *, const char *)
{
}

} // namespace

void initializeLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        using namespace MagickLib;
        SetMagickResourceLimit(WidthResource, kMaxSide);
        SetMagickResourceLimit(HeightResource, kMaxSide);
        SetMagickResourceLimit(PixelsResource, kMaxPixels);
        SetMagickResourceLimit(MemoryResource, qint64(4) << 30);
        SetMagickResourceLimit(MapResource, qint64(4) << 30);
        SetMagickResourceLimit(DiskResource, qint64(8) << 30);
        SetMagickResourceLimit(ThreadsResource, 1);
        SetWarningHandler(ignoreWarning);
        removeOtherFormats();
        removePostScriptDecoder();
    });
}

bool libraryDecodes(const char *format)
{
    initializeLibrary();
    MagickLib::ExceptionInfo exception;
    MagickLib::GetExceptionInfo(&exception);
    const MagickLib::MagickInfo *info = MagickLib::GetMagickInfo(format, &exception);
    MagickLib::DestroyExceptionInfo(&exception);
    return info && info->decoder && QByteArray(info->name).compare(format, Qt::CaseInsensitive) == 0;
}

const char *encoderFor(common::FileType type)
{
    using common::FileType;
    switch (type) {
    case FileType::Jpg: return "JPEG";
    case FileType::Tif: return "TIFF";
    case FileType::Bmp: return "BMP";
    case FileType::Rle: return "BMP3";
    case FileType::Pcx: return "PCX";
    case FileType::Png: return "PNG";
    case FileType::Pcd: return "PCD";
    case FileType::Tga: return "TGA";
    case FileType::Dcx: return "DCX";
    case FileType::Eps: return "EPS";
    case FileType::Dxf:
    case FileType::Wmf: return nullptr;
    }
    return nullptr;
}

} // namespace imaging::detail
