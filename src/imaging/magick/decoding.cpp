#include "picture.h"

#include "library.h"

#include <cstring>
#include <vector>

namespace imaging::detail {

namespace {

using namespace MagickLib;

// One library call's settings and outcome, released however the call ends.
class Call
{
public:
    explicit Call(const DecodeRequest &request)
        : m_info(CloneImageInfo(nullptr))
    {
        GetExceptionInfo(&m_exception);
        // "NAME:" names the decoder outright, so the library never guesses
        // the type from the content or from a file name.
        std::snprintf(m_info->filename, MaxTextExtent, "%s:", request.decoder);
        std::snprintf(m_info->magick, MaxTextExtent, "%s", request.decoder);
        m_info->subimage = static_cast<unsigned long>(request.format.picture);
        m_info->subrange = 1;
        if (request.format.readDensity) {
            if (const int dpi = request.format.readDensity(request.head); dpi > 0) {
                const QByteArray density = QByteArray::number(dpi) + 'x' + QByteArray::number(dpi);
                CloneString(&m_info->density, density.constData());
            }
        }
        if (request.format.scalesOnLoad && request.sizeHint.isValid()) {
            const QByteArray size = QByteArray::number(request.sizeHint.width()) + 'x'
                + QByteArray::number(request.sizeHint.height());
            CloneString(&m_info->size, size.constData());
        }
    }
    ~Call()
    {
        DestroyImageInfo(m_info);
        DestroyExceptionInfo(&m_exception);
    }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

    ImageInfo *info() { return m_info; }
    ExceptionInfo *exception() { return &m_exception; }

    bool failed() const { return m_exception.severity >= ErrorException; }
    bool warned() const
    {
        return m_exception.severity >= WarningException && m_exception.severity < ErrorException;
    }
    // A warning that part of the picture is missing or made up.
    bool damaged() const
    {
        return warned() && (m_exception.severity == CorruptImageWarning || warnsOfDamage(text()));
    }
    QString text() const
    {
        QString text = QString::fromLocal8Bit(m_exception.reason ? m_exception.reason : "");
        if (m_exception.description && *m_exception.description)
            text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(m_exception.description));
        return text;
    }

private:
    ImageInfo *m_info;
    ExceptionInfo m_exception;
};

// Keeps the first picture of a list and frees the rest.
Image *firstOnly(Image *list)
{
    if (list && list->next) {
        Image *rest = list->next;
        list->next = nullptr;
        rest->previous = nullptr;
        DestroyImageList(rest);
    }
    return list;
}

} // namespace

QSize reducedDecodeFloor(QSize target, QSize source)
{
    if (target.isEmpty())
        return {};
    const QSize floor(int(std::min<qint64>(qint64(target.width()) * 2, INT_MAX)),
                      int(std::min<qint64>(qint64(target.height()) * 2, INT_MAX)));
    // Asked for more than half the file's size, the decoder scales up.
    if (floor.width() * 2 > source.width() || floor.height() * 2 > source.height())
        return {};
    return floor;
}

std::optional<QSize> pingSize(QByteArrayView bytes, const DecodeRequest &request, QString *reason)
{
    try {
        Call call(request);
        Image *pinged = firstOnly(PingBlob(call.info(), bytes.data(), bytes.size(), call.exception()));
        if (!pinged) {
            *reason = call.failed() || call.warned() ? plainReason(call.text())
                                                     : QStringLiteral("its header could not be read");
            return std::nullopt;
        }
        const QSize size(int(std::min<qint64>(pinged->columns, INT_MAX)),
                         int(std::min<qint64>(pinged->rows, INT_MAX)));
        DestroyImageList(pinged);
        return size;
    } catch (const std::exception &e) {
        *reason = plainReason(e);
        return std::nullopt;
    }
}

namespace {

// A GIF's first frame may cover only part of its screen, at an offset, as
// browsers show it: the frame is put in its place on the screen, the rest
// left transparent. A frame reaching past the screen widens it.
bool placeOnItsScreen(Picture &frame, QString *reason)
{
    const Magick::Geometry page = frame.page();
    const qint64 x = std::max<qint64>(0, page.xOff()), y = std::max<qint64>(0, page.yOff());
    const qint64 width = std::max<qint64>(page.width(), x + frame.columns());
    const qint64 height = std::max<qint64>(page.height(), y + frame.rows());
    if (width == qint64(frame.columns()) && height == qint64(frame.rows()))
        return true;
    if (const QString refusal = sizeRefusal(width, height); !refusal.isEmpty()) {
        *reason = refusal;
        return false;
    }
    // From transparent pixels of our own: the library's colour canvas is a
    // coder that its policy here turns off.
    const std::vector<uchar> clear(size_t(width * height * 4), 0);
    Picture screen(unsigned(width), unsigned(height), "RGBA", Magick::CharPixel, clear.data());
    screen.matte(true);
    frame.page(Magick::Geometry(0, 0, 0, 0));
    screen.composite(frame, int(x), int(y), Magick::CopyCompositeOp);
    frame = screen;
    return true;
}

} // namespace

std::optional<Picture> decode(QByteArrayView bytes, const DecodeRequest &request,
                              const Deadline &deadline, QString *reason)
{
    try {
        Call call(request);
        Image *decoded = nullptr;
        {
            const DeadlineScope bounded(deadline);
            decoded = firstOnly(BlobToImage(call.info(), bytes.data(), bytes.size(), call.exception()));
        }
        // Taken over at once, so that every way out frees it.
        std::optional<Picture> picture;
        if (decoded)
            picture.emplace(decoded);
        if (deadline.expired()) {
            *reason = deadline.reason();
            return std::nullopt;
        }
        if (call.failed() || call.damaged()) {
            *reason = plainReason(call.text());
            return std::nullopt;
        }
        if (!picture || picture->columns() == 0 || picture->rows() == 0) {
            *reason = QStringLiteral("no picture could be decoded from it");
            return std::nullopt;
        }
        if (const QString refusal = sizeRefusal(picture->columns(), picture->rows()); !refusal.isEmpty()) {
            *reason = refusal;
            return std::nullopt;
        }
        if (request.format.type == FileType::Gif && !placeOnItsScreen(*picture, reason))
            return std::nullopt;
        if (picture->colorSpace() != Magick::RGBColorspace)
            picture->colorSpace(Magick::RGBColorspace);
        // A PNG's page offset would follow the picture into every piece cut
        // from it and into every file written from it.
        picture->page(Magick::Geometry(0, 0, 0, 0));
        if (request.format.storesAlpha && !request.format.storesAlpha(request.head))
            picture->matte(false);
        return picture;
    } catch (const std::exception &e) {
        *reason = deadline.expired() ? deadline.reason() : plainReason(e);
        return std::nullopt;
    }
}

QImage toQImage(const Picture &picture)
{
    try {
        const int width = int(picture.columns()), height = int(picture.rows());
        QImage out(width, height, QImage::Format_ARGB32);
        if (out.isNull())
            return {};
        // ARGB32 is stored as B, G, R, A bytes on little-endian machines.
        const char *map = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "BGRA" : "ARGB";
        // Export is declared non-const; a copy shares the pixels.
        Picture shared = picture;
        shared.write(0, 0, width, height, map, Magick::CharPixel, out.bits());
        return picture.matte() ? out : out.convertToFormat(QImage::Format_RGB32);
    } catch (const std::exception &) {
        return {};
    }
}

std::optional<Picture> fromQImage(const QImage &image, QString *reason)
{
    try {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull()) {
            *reason = plainReason(std::bad_alloc());
            return std::nullopt;
        }
        const char *map = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "BGRA" : "ARGB";
        Picture picture(unsigned(argb.width()), unsigned(argb.height()), map, Magick::CharPixel,
                        argb.constBits());
        picture.matte(image.hasAlphaChannel());
        return picture;
    } catch (const std::exception &e) {
        *reason = plainReason(e);
        return std::nullopt;
    }
}

} // namespace imaging::detail
