#include "library.h"

#include "imaging/formats.h"

#include <Magick++.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QSet>
#include <mutex>
#include <new>
#include <vector>

namespace imaging::detail {

bool sizeAllowed(qint64 width, qint64 height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide
        && width * height <= kMaxPixels;
}

QString sizeRefusal(qint64 width, qint64 height)
{
    if (sizeAllowed(width, height))
        return {};
    const QString size = QStringLiteral("the picture is %1 x %2 pixels").arg(width).arg(height);
    if (width < 1 || height < 1)
        return size + QStringLiteral(", which holds no pixel");
    if (width > kMaxSide || height > kMaxSide)
        return size + QStringLiteral(", more than %1 on a side").arg(kMaxSide);
    return size + QStringLiteral(", more than %1 pixels in all").arg(kMaxPixels);
}

namespace {

thread_local const Deadline *t_deadline = nullptr;

// The decoders our types need, from the format table, and those their
// variants and helpers need: a Utah raster is read by "RLE", and the pictures
// our helper programs draw come back as PNM.
QSet<QByteArray> keptFormats()
{
    QSet<QByteArray> kept{"RLE", "PNM", "PPM", "PGM", "PBM", "BMP2", "BMP3"};
    for (const Format &f : kFormats) {
        for (const char *name : {f.decoder, f.encoder})
            if (name)
                kept.insert(QByteArray(name));
    }
    kept.insert("JPG");
    kept.insert("TIF");
    return kept;
}

void removeOtherFormats()
{
    const QSet<QByteArray> kept = keptFormats();
    MagickLib::ExceptionInfo exception;
    MagickLib::GetExceptionInfo(&exception);
    MagickLib::MagickInfo **all = MagickLib::GetMagickInfoArray(&exception);
    std::vector<QByteArray> unwanted;
    for (MagickLib::MagickInfo **f = all; f && *f; ++f) {
        const QByteArray name((*f)->name);
        if (!kept.contains(name.toUpper()))
            unwanted.push_back(name);
    }
    MagickLib::MagickFree(all);
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

// The library asks this between rows of its long loops; "fail" makes it stop
// early. What it leaves is thrown away by the caller, which sees the expired
// deadline.
MagickPassFail askDeadline(const char *, const MagickLib::magick_int64_t,
                                      const MagickLib::magick_uint64_t,
                                      MagickLib::ExceptionInfo *)
{
    return t_deadline && t_deadline->expired() ? MagickFail : MagickPass;
}

struct Phrase {
    const char *found; // a part of the library's message, any letter case
    const char *plain;
};

// The library's words for the faults users meet, mapped to theirs. The first
// match wins, so the more particular texts come first.
constexpr Phrase kPhrases[] = {
    {"Memory allocation failed", "there is not enough memory for the picture"},
    {"Pixel cache allocation failed", "there is not enough memory for the picture"},
    {"exceeds limit", "the picture is larger than the program's limits"},
    {"-limit", "the picture is larger than the program's limits"},
    {"Unexpected end-of-file", "the file ends early"},
    {"Premature end", "the file ends early"},
    {"Read Exception", "the file ends early or is damaged"},
    {"Insufficient image data", "the file ends early"},
    {"No data returned", "the file ends early or is damaged"}, // the WebP decoder's word for both
    {"end of file", "the file ends early"},
    {"Read error", "the file ends early or is damaged"},
    {"IO error", "the file ends early or is damaged"},
    {"Improper image header", "its header is damaged"},
    {"Negative or zero image size", "its header gives no valid size"},
    {"Not a ", "its header is damaged"},
    {"Corrupt", "the file is damaged"},
    {"Unsupported", "it uses a variant of its type that cannot be read"},
    {"No space left", "no space left on the device"},
};

// The library's own text without its program name, the source file and
// function that raised it, and any temporary path.
QString cleaned(QString text)
{
    static const QRegularExpression program(QStringLiteral("^[^:]*Magick[^:]*: "));
    static const QRegularExpression reporter(QStringLiteral("\\s*reported by \\S+ \\([^)]*\\)"));
    static const QRegularExpression coder(QStringLiteral("\\s*\\((\\w+)\\)\\s*$"));
    static const QRegularExpression temporary(QStringLiteral("\\(?/[^\\s)]*gm[^\\s)]*\\)?"));
    text.remove(program).remove(reporter).remove(coder).remove(temporary);
    return text.trimmed().remove(QRegularExpression(QStringLiteral("[.\\s]+$")));
}

} // namespace

DeadlineScope::DeadlineScope(const Deadline &deadline)
    : m_outer(std::exchange(t_deadline, &deadline))
{
}

DeadlineScope::~DeadlineScope()
{
    t_deadline = m_outer;
}

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
        SetMonitorHandler(askDeadline);
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

QString plainReason(const std::exception &e)
{
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return QStringLiteral("there is not enough memory for the picture");
    return plainReason(QString::fromLocal8Bit(e.what()));
}

QString plainReason(const QString &text)
{
    for (const Phrase &p : kPhrases) {
        if (text.contains(QLatin1String(p.found), Qt::CaseInsensitive))
            return QLatin1String(p.plain);
    }
    const QString own = cleaned(text);
    return own.isEmpty() ? QStringLiteral("the imaging library failed")
                         : QStringLiteral("the imaging library failed (%1)").arg(own);
}

bool warnsOfDamage(const QString &text)
{
    static const QRegularExpression damage(
        QStringLiteral("end-of-file|end of file|insufficient|read error|io error|premature|"
                       "truncat|missing|corrupt|damaged|not enough data|short read"),
        QRegularExpression::CaseInsensitiveOption);
    return text.contains(damage);
}

} // namespace imaging::detail
