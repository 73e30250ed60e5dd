#include "imageman.h"

#include "detect.h"
#include "fileaccess.h"
#include "imaging/helpers/eps.h"
#include "imaging/helpers/wmf.h"
#include "imaging/magick/library.h"
#include "imaging/metadata/metadata.h"
#include "imaging/dxf/dxf.h"
#include "imaging/magick/picture.h"

#include "common/nativename.h"

#include <QFile>
#include <cmath>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace imaging {

using detail::Picture;

namespace {

// A file larger than this is refused before it is read: no picture within
// the size limits needs more, even uncompressed at 16 bits a channel.
constexpr qint64 kMaxFileBytes = qint64(2) << 30;

// Pictures travel between instances through this holder, never through the
// system clipboard. Allocated once and never destroyed, so that it outlives
// the library's own clean-up at exit.
struct Holder {
    std::mutex mutex;
    std::optional<Picture> picture;
};

Holder &holder()
{
    static Holder *h = new Holder;
    return *h;
}

QString sizeText(qint64 width, qint64 height)
{
    return QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
}

// PostScript never reaches the library: our own Ghostscript child draws it,
// and the library only decodes the PNM that comes back.
std::optional<Picture> loadEps(QByteArrayView bytes, const Format &format, const Deadline &deadline,
                               QString *reason)
{
    const std::optional<detail::EpsProgram> eps = detail::readEps(bytes, reason);
    if (!eps)
        return std::nullopt;
    const qint64 width = eps->box.width(), height = eps->box.height();
    if (const QString refusal = detail::sizeRefusal(width, height); !refusal.isEmpty()) {
        *reason = refusal;
        return std::nullopt;
    }
    const std::optional<QByteArray> pnm = detail::renderEps(*eps, deadline, reason);
    if (!pnm)
        return std::nullopt;
    std::optional<Picture> picture = detail::decode(*pnm, {format, "PNM", {}, {}}, deadline, reason);
    if (picture && (qint64(picture->columns()) != width || qint64(picture->rows()) != height)) {
        *reason = QStringLiteral("Ghostscript drew %1 instead of %2")
                      .arg(sizeText(picture->columns(), picture->rows()), sizeText(width, height));
        return std::nullopt;
    }
    return picture;
}

// The file at `path` opened through our own handle, with its leading bytes
// and the type they show; false, with the reason, when it cannot be read, is
// too large or is not a picture of a type we read.
bool openPicture(const QString &path, QFile &file, QByteArray &head, detail::Detected &found, QString *reason)
{
    const int fd = detail::openForReading(path, reason);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *reason = detail::fileReason(file);
        return false;
    }
    if (file.size() > kMaxFileBytes) {
        *reason = QStringLiteral("the file is larger than 2 GB, more than any picture within the limits takes");
        return false;
    }
    head = file.read(detail::kDetectBytes);
    found = detail::detectContent(head);
    if (!found.type) {
        *reason = QStringLiteral("it is %1").arg(found.what);
        return false;
    }
    return true;
}

// Reads the file at `path` through our own handle and decodes it as what its
// content is, so that a name is only ever a name.
std::optional<Picture> load(const QString &path, QSize hint, const Deadline &deadline, QString *reason)
{
    QFile file;
    QByteArray head;
    detail::Detected found;
    if (!openPicture(path, file, head, found, reason))
        return std::nullopt;
    if (deadline.expired()) {
        *reason = deadline.reason();
        return std::nullopt;
    }
    const Format &format = imaging::format(*found.type);
    if (format.reader == Reader::OwnDxf) {
        file.seek(0);
        const QImage drawing = detail::readDxf(file, deadline, reason);
        if (drawing.isNull())
            return std::nullopt;
        return detail::fromQImage(drawing, reason);
    }

    const detail::FileContent content(file);
    if (deadline.expired()) {
        *reason = deadline.reason();
        return std::nullopt;
    }
    if (format.reader == Reader::Ghostscript)
        return loadEps(content.bytes(), format, deadline, reason);
    if (format.reader == Reader::LibraryTool) {
        const int dpi = format.readDensity ? format.readDensity(head) : 0;
        const std::optional<QByteArray> pnm = detail::renderMetafile(content.bytes(), dpi, deadline, reason);
        if (!pnm)
            return std::nullopt;
        return detail::decode(*pnm, {format, "PNM", {}, {}}, deadline, reason);
    }
    const QSize storedHint = detail::storedSize(hint, format.scalesOnLoad ? detail::jpegOrientation(content.bytes()) : 0);
    detail::DecodeRequest request{format, found.decoder, head, {}};
    // A format of one size needs no look at its header first.
    if (format.onlySize.isEmpty()) {
        const std::optional<QSize> size = detail::pingSize(content.bytes(), request, reason);
        if (!size)
            return std::nullopt;
        if (const QString refusal = detail::sizeRefusal(size->width(), size->height()); !refusal.isEmpty()) {
            *reason = refusal;
            return std::nullopt;
        }
        request.sizeHint = detail::reducedDecodeFloor(storedHint, *size);
    }
    std::optional<Picture> picture = detail::decode(content.bytes(), request, deadline, reason);
    if (picture && format.readsOrientation) {
        if (format.type == FileType::Png)
            detail::takePngMetadata(*picture, content.bytes());
        detail::turnUpright(*picture, deadline);
    }
    return picture;
}

} // namespace

struct ImageMan::Private {
    std::optional<Picture> picture;
    QString file;
    std::optional<int> quality; // none: each type's default
    bool lossless = false;
    bool keepMetadata = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    QSize sizeHint;
    std::chrono::milliseconds timeLimit = kFileTimeLimit;
    CancelFlag cancel;

    Deadline deadline() const { return Deadline(timeLimit, cancel); }
    QString shownFile() const { return common::shownName(file); }
};

ImageMan::ImageMan()
    : d(std::make_unique<Private>())
{
    initialize();
}

ImageMan::~ImageMan() = default;

void initialize()
{
    detail::initializeLibrary();
}

void clearHeldPicture()
{
    std::lock_guard lock(holder().mutex);
    holder().picture.reset();
}

void ImageMan::setSizeHint(int width, int height)
{
    d->sizeHint = QSize(width, height);
}

Result ImageMan::setImageFile(const QString &path)
{
    const QSize hint = std::exchange(d->sizeHint, QSize());
    d->picture.reset();
    d->file = path;
    d->left = d->top = d->right = d->bottom = 0;
    QString reason;
    try {
        d->picture = load(path, hint, d->deadline(), &reason);
    } catch (const std::exception &e) {
        reason = detail::plainReason(e);
    }
    if (!d->picture)
        return Result::failure(QStringLiteral("Cannot open %1: %2.").arg(d->shownFile(), reason));
    return Result::success();
}

Result ImageMan::checkImageFile(const QString &path)
{
    QFile file;
    QByteArray head;
    detail::Detected found;
    if (QString reason; !openPicture(path, file, head, found, &reason))
        return Result::failure(QStringLiteral("Cannot open %1: %2.").arg(common::shownName(path), reason));
    return Result::success();
}

bool ImageMan::hasImage() const
{
    return d->picture.has_value();
}

Result ImageMan::resizeImage(qint64 width, qint64 height)
{
    if (!d->picture)
        return Result::failure(QStringLiteral("Cannot resize: there is no picture (%1 could not be opened).")
                                   .arg(d->shownFile()));
    if (!detail::sizeAllowed(width, height))
        return Result::failure(QStringLiteral("Cannot resize %1 to %2: the size must be between 1 and %3 on a side and at most %4 pixels in all.")
                                   .arg(d->shownFile(), sizeText(width, height))
                                   .arg(detail::kMaxSide)
                                   .arg(detail::kMaxPixels));
    if (width == imageWidth() && height == imageHeight())
        return Result::success();
    const Deadline deadline = d->deadline();
    QString reason;
    try {
        std::optional<Picture> resized = detail::resample(*d->picture, QSize(int(width), int(height)), deadline, &reason);
        if (resized) {
            d->picture = std::move(resized);
            return Result::success();
        }
    } catch (const std::exception &e) {
        reason = deadline.expired() ? deadline.reason() : detail::plainReason(e);
    }
    return Result::failure(QStringLiteral("Cannot resize %1: %2.").arg(d->shownFile(), reason));
}

Result ImageMan::saveImage(const QString &path)
{
    const QString shown = common::shownName(path);
    auto failure = [&](const QString &reason) {
        return Result::failure(QStringLiteral("Cannot save %1: %2.").arg(shown, reason));
    };
    if (!d->picture)
        return failure(QStringLiteral("there is no picture to save (%1 could not be opened)").arg(d->shownFile()));
    const std::optional<FileType> type = fileTypeFromPath(path);
    if (!type)
        return failure(QStringLiteral("the extension names none of the picture types"));
    if (!isWritten(imaging::format(*type)))
        return failure(QStringLiteral("%1 pictures are read, not written").arg(QLatin1String(imaging::format(*type).caption)));
    detail::OutputFile output(path);
    bool whole = false;
    if (const QString refused = output.refusal(&whole); !refused.isEmpty())
        return whole ? Result::failure(refused) : failure(refused);

    const Format &format = imaging::format(*type);
    QString reason;
    const QByteArray bytes = detail::encode(*d->picture, format, d->quality.value_or(0), d->lossless,
                                            d->keepMetadata, d->deadline(), &reason);
    if (bytes.isEmpty())
        return failure(reason);
    if (const QString written = output.write(bytes, &whole); !written.isEmpty())
        return whole ? Result::failure(written) : failure(written);

    const QSize size(imageWidth(), imageHeight());
    if (!format.onlySize.isEmpty() && size != format.onlySize && size != format.onlySize.transposed())
        return Result::success(QStringLiteral("%1 was written at the %2 base size of %3 x %4 pixels.")
                                   .arg(shown, QLatin1String(format.caption))
                                   .arg(format.onlySize.width())
                                   .arg(format.onlySize.height()));
    return Result::success();
}

void ImageMan::setTimeLimit(std::chrono::milliseconds limit)
{
    d->timeLimit = limit;
}

void ImageMan::setCancelFlag(CancelFlag cancel)
{
    d->cancel = std::move(cancel);
}

void ImageMan::setJpegQuality(double quality)
{
    if (std::isnan(quality))
        return;
    d->quality = usableJpegQuality(quality);
}

int ImageMan::usableJpegQuality(double quality)
{
    return int(std::nearbyint(std::clamp(quality, 20.0, 100.0)));
}

int ImageMan::jpegQuality() const
{
    return d->quality.value_or(format(FileType::Jpg).defaultQuality);
}

void ImageMan::setLossless(bool lossless)
{
    d->lossless = lossless;
}

void ImageMan::setKeepMetadata(bool keep)
{
    d->keepMetadata = keep;
}

void ImageMan::setSelectLeft(double x) { d->left = x; }
void ImageMan::setSelectTop(double y) { d->top = y; }
void ImageMan::setSelectRight(double x) { d->right = x; }
void ImageMan::setSelectBottom(double y) { d->bottom = y; }

Result ImageMan::copySelection()
{
    const QString shown = d->shownFile();
    if (!d->picture)
        return Result::failure(QStringLiteral("Cannot copy from %1: there is no picture.").arg(shown));
    const auto edge = [](double v) -> qint64 {
        // Far-off edges are clipped anyway; keep the conversion defined.
        return qint64(std::nearbyint(std::clamp(v, -1e12, 1e12)));
    };
    if (std::isnan(d->left) || std::isnan(d->top) || std::isnan(d->right) || std::isnan(d->bottom))
        return Result::failure(QStringLiteral("Cannot copy from %1: the selection is not a number.").arg(shown));
    const qint64 width = d->picture->columns(), height = d->picture->rows();
    const qint64 x0 = std::max<qint64>(edge(d->left), 0);
    const qint64 y0 = std::max<qint64>(edge(d->top), 0);
    const qint64 x1 = std::min<qint64>(edge(d->right), width - 1);
    const qint64 y1 = std::min<qint64>(edge(d->bottom), height - 1);
    if (x0 > x1 || y0 > y1)
        return Result::failure(QStringLiteral("Cannot copy from %1: the selection (%2, %3) to (%4, %5) holds no pixel of the %6 picture.")
                                   .arg(shown)
                                   .arg(d->left).arg(d->top).arg(d->right).arg(d->bottom)
                                   .arg(sizeText(width, height)));
    try {
        Picture piece = *d->picture;
        piece.crop(Magick::Geometry(unsigned(x1 - x0 + 1), unsigned(y1 - y0 + 1), x0, y0));
        // The crop keeps the offset within the old picture; a piece starts at 0, 0.
        piece.page(Magick::Geometry(0, 0, 0, 0));
        std::lock_guard lock(holder().mutex);
        holder().picture = piece;
        return Result::success();
    } catch (const std::exception &e) {
        return Result::failure(QStringLiteral("Cannot copy from %1: %2.").arg(shown, detail::plainReason(e)));
    }
}

Result ImageMan::pasteImage()
{
    std::lock_guard lock(holder().mutex);
    if (!holder().picture) {
        d->picture.reset();
        return Result::failure(QStringLiteral("Cannot paste: no picture has been copied."));
    }
    d->picture = *holder().picture;
    d->file = QStringLiteral("the pasted picture");
    return Result::success();
}

int ImageMan::imageWidth() const
{
    return d->picture ? int(d->picture->columns()) : 0;
}

int ImageMan::imageHeight() const
{
    return d->picture ? int(d->picture->rows()) : 0;
}

QImage ImageMan::image() const
{
    return d->picture ? detail::toQImage(*d->picture) : QImage();
}

Result ImageMan::setImage(const QImage &picture, const QString &name)
{
    d->picture.reset();
    d->file = name.isEmpty() ? QStringLiteral("the picture") : name;
    if (picture.isNull())
        return Result::failure(QStringLiteral("Cannot use %1: it is empty.").arg(d->file));
    if (const QString refusal = detail::sizeRefusal(picture.width(), picture.height()); !refusal.isEmpty())
        return Result::failure(QStringLiteral("Cannot use %1: %2.").arg(d->file, refusal));
    QString reason;
    d->picture = detail::fromQImage(picture, &reason);
    if (!d->picture)
        return Result::failure(QStringLiteral("Cannot use %1: %2.").arg(d->file, reason));
    return Result::success();
}

} // namespace imaging
