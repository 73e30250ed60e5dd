#include "imageman.h"

#include "detect.h"
#include "dxf/dxf.h"
#include "library.h"
#include "wmfwriter.h"

#include <Magick++.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <mutex>
#include <optional>

namespace imaging {

using common::FileType;

namespace {

// Pictures travel between instances through this holder, never through the
// system clipboard. Allocated once and never destroyed, so that it outlives
// the library's own clean-up at exit.
struct Holder {
    std::mutex mutex;
    std::optional<Magick::Image> picture;
};

Holder &holder()
{
    static Holder *h = new Holder;
    return *h;
}

QString library(const std::exception &e)
{
    // The library prefixes its messages with the program name and repeats the
    // file name; keep the part after the last "): " or ": " that is useful.
    QString text = QString::fromLocal8Bit(e.what());
    const qsizetype colon = text.indexOf(QLatin1String(": "));
    if (text.startsWith(QLatin1String("kestrune")) || text.contains(QLatin1String("Magick")))
        text = text.mid(colon + 2);
    return text.trimmed();
}

QString sizeText(qint64 width, qint64 height)
{
    return QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
}

QString tooLarge(qint64 width, qint64 height)
{
    return QStringLiteral("the picture is %1, more than the limit of %2 on a side or %3 pixels in all")
        .arg(sizeText(width, height))
        .arg(detail::kMaxSide)
        .arg(detail::kMaxPixels);
}

// The %%BoundingBox of an EPS file, in points, rendered at 72 dots per inch.
std::optional<QSize> epsBoundingBox(const QByteArray &head)
{
    const qsizetype at = head.indexOf("%%BoundingBox:");
    if (at < 0)
        return std::nullopt;
    const QList<QByteArray> parts =
        head.mid(at + 14, head.indexOf('\n', at) - at - 14).simplified().split(' ');
    if (parts.size() < 4)
        return std::nullopt;
    bool ok[4];
    const double x1 = parts[0].toDouble(&ok[0]), y1 = parts[1].toDouble(&ok[1]);
    const double x2 = parts[2].toDouble(&ok[2]), y2 = parts[3].toDouble(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3]))
        return std::nullopt;
    const double w = std::ceil(std::abs(x2 - x1)), h = std::ceil(std::abs(y2 - y1));
    if (!(w < 1e9 && h < 1e9))
        return QSize(INT_MAX, INT_MAX);
    return QSize(int(w), int(h));
}

// A placeable metafile states its own units per inch; drawing it at that
// density gives one pixel per unit instead of the library's default scale.
std::optional<int> wmfUnitsPerInch(const QByteArray &head)
{
    if (head.size() < 22 || qFromLittleEndian<quint32>(head.constData()) != 0x9AC6CDD7u)
        return std::nullopt;
    const int inch = qFromLittleEndian<quint16>(head.constData() + 14);
    return inch > 0 ? std::optional<int>(inch) : std::nullopt;
}

void flattenOntoWhite(Magick::Image &picture)
{
    if (!picture.matte())
        return;
    // Not Image(size, colour): that goes through the constant-colour decoder,
    // which is not registered.
    Magick::Image ground = picture;
    ground.matte(false);
    ground.backgroundColor(Magick::Color("white"));
    ground.erase();
    ground.composite(picture, 0, 0, Magick::OverCompositeOp);
    ground.matte(false);
    picture = ground;
}

std::optional<double> decimal(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

struct ImageMan::Private {
    std::optional<Magick::Image> picture;
    QString file;
    int quality = 75;
    double left = 0, top = 0, right = 0, bottom = 0;
    QSize sizeHint;
    std::chrono::milliseconds timeLimit = kFileTimeLimit;
    CancelFlag cancel;

    Result loadFailure(const QString &path, const QString &reason)
    {
        picture.reset();
        return Result::failure(QStringLiteral("Cannot open %1: %2.").arg(QDir::toNativeSeparators(path), reason));
    }

    Result decode(const QString &path, const detail::Detected &found, const QByteArray &head);
    // Encodes the picture with the library; only for the types it writes.
    std::optional<QByteArray> encode(FileType type, QString *reason) const;
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

    const QFileInfo info(path);
    if (!info.exists())
        return d->loadFailure(path, QStringLiteral("the file does not exist"));
    if (info.isDir())
        return d->loadFailure(path, QStringLiteral("it is a folder, not a picture file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return d->loadFailure(path, file.errorString().toLower());
    const QByteArray head = file.read(detail::kDetectBytes);
    const detail::Detected found = detail::detectContent(head);
    if (!found.type)
        return d->loadFailure(path, QStringLiteral("it is %1").arg(found.what));

    if (*found.type == FileType::Dxf) {
        file.seek(0);
        QString reason;
        const QImage drawing = detail::readDxf(file, Deadline(d->timeLimit, d->cancel), &reason);
        if (drawing.isNull())
            return d->loadFailure(path, reason);
        return setImage(drawing, path);
    }
    file.close();
    d->sizeHint = hint;
    const Result result = d->decode(path, found, head);
    d->sizeHint = QSize();
    return result;
}

Result ImageMan::Private::decode(const QString &path, const detail::Detected &found,
                                 const QByteArray &head)
{
    const std::string source = std::string(found.decoder) + ':' + QFile::encodeName(path).toStdString();
    try {
        const bool postScript = *found.type == FileType::Eps;
        if (postScript) {
            const std::optional<QSize> box = epsBoundingBox(head);
            if (box && !detail::sizeAllowed(box->width(), box->height()))
                return loadFailure(path, tooLarge(box->width(), box->height()));
        } else if (*found.type != FileType::Pcd) {
            Magick::Image probe;
            if (const auto inch = wmfUnitsPerInch(head))
                probe.density(Magick::Geometry(*inch, *inch));
            probe.ping(source);
            if (!detail::sizeAllowed(probe.columns(), probe.rows()))
                return loadFailure(path, tooLarge(probe.columns(), probe.rows()));
        }

        Magick::Image decoded;
        if (const auto inch = wmfUnitsPerInch(head))
            decoded.density(Magick::Geometry(*inch, *inch));
        if (*found.type == FileType::Pcd) {
            // Left alone the decoder returns the thumbnail; the third image
            // of a PCD is its 768 x 512 base image.
            decoded.subImage(3);
            decoded.subRange(1);
        }
        if (*found.type == FileType::Jpg && sizeHint.isValid())
            decoded.size(Magick::Geometry(unsigned(sizeHint.width()), unsigned(sizeHint.height())));
        try {
            decoded.read(source);
        } catch (const Magick::WarningCorruptImage &e) {
            return loadFailure(path, QStringLiteral("the file is damaged or incomplete (%1)").arg(library(e)));
        } catch (const Magick::Warning &) {
            // Other warnings (an unknown tag, an odd profile) leave a good picture.
        }
        if (decoded.columns() == 0 || decoded.rows() == 0)
            return loadFailure(path, QStringLiteral("no picture could be decoded from it"));
        if (!detail::sizeAllowed(decoded.columns(), decoded.rows()))
            return loadFailure(path, tooLarge(decoded.columns(), decoded.rows()));
        if (decoded.colorSpace() != Magick::RGBColorspace)
            decoded.colorSpace(Magick::RGBColorspace);
        decoded.page(Magick::Geometry(0, 0, 0, 0));
        picture = decoded;
        return Result::success();
    } catch (const std::exception &e) {
        return loadFailure(path, library(e));
    } catch (...) {
        return loadFailure(path, QStringLiteral("the imaging library failed"));
    }
}

QString ImageMan::imageFile() const
{
    return d->file;
}

bool ImageMan::hasImage() const
{
    return d->picture.has_value();
}

Result ImageMan::resizeImage(qint64 width, qint64 height)
{
    if (!d->picture)
        return Result::failure(QStringLiteral("Cannot resize: there is no picture (%1 could not be opened).")
                                   .arg(QDir::toNativeSeparators(d->file)));
    if (!detail::sizeAllowed(width, height))
        return Result::failure(QStringLiteral("Cannot resize %1 to %2: the size must be between 1 and %3 on a side and at most %4 pixels in all.")
                                   .arg(QDir::toNativeSeparators(d->file), sizeText(width, height))
                                   .arg(detail::kMaxSide)
                                   .arg(detail::kMaxPixels));
    try {
        Magick::Geometry size{unsigned(width), unsigned(height)};
        size.aspect(true);
        d->picture->resize(size);
        return Result::success();
    } catch (const std::exception &e) {
        return Result::failure(QStringLiteral("Cannot resize %1: %2.").arg(QDir::toNativeSeparators(d->file), library(e)));
    }
}

std::optional<QByteArray> ImageMan::Private::encode(FileType type, QString *reason) const
{
    Q_ASSERT(detail::encoderFor(type));
    Magick::Image copy = *picture;
    if (type == FileType::Jpg || type == FileType::Pcd || type == FileType::Eps
        || type == FileType::Rle)
        flattenOntoWhite(copy);
    if (type == FileType::Jpg)
        copy.quality(unsigned(quality));
    // The library's PNG default (zlib level 7) takes about four times as long
    // as level 1 for files some 10 to 15% smaller; a batch of photos is worth
    // the speed. Adaptive row filtering (the 5) stays.
    if (type == FileType::Png)
        copy.quality(15);
    if (type == FileType::Pcd) {
        // The format holds one size only. Left to itself the encoder would
        // put a smaller picture unscaled on a grey frame, so the picture is
        // stretched to the base size; an upright one is stored turned.
        const bool upright = copy.rows() > copy.columns();
        Magick::Geometry base{upright ? 512u : 768u, upright ? 768u : 512u};
        base.aspect(true);
        if (copy.columns() != base.width() || copy.rows() != base.height())
            copy.resize(base);
    }
    if (type == FileType::Rle) {
        // RLE8 needs a palette of at most 256 colours.
        copy.quantizeColors(256);
        copy.quantize();
        copy.classType(Magick::PseudoClass);
        // With 16 colours or fewer the encoder would pick 4 or 1 bits and
        // write no compression; a full palette keeps it at RLE8.
        if (copy.colorMapSize() < 256)
            copy.colorMapSize(256);
        copy.compressType(Magick::RLECompression);
    }
    Magick::Blob blob;
    copy.write(&blob, detail::encoderFor(type));
    if (blob.length() == 0) {
        *reason = QStringLiteral("the imaging library wrote nothing");
        return std::nullopt;
    }
    return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
}

Result ImageMan::saveImage(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    auto failure = [&](const QString &reason) {
        return Result::failure(QStringLiteral("Cannot save %1: %2.").arg(shown, reason));
    };
    if (!d->picture)
        return failure(QStringLiteral("there is no picture to save (%1 could not be opened)")
                           .arg(QDir::toNativeSeparators(d->file)));
    const std::optional<FileType> type = common::fileTypeFromPath(path);
    if (!type)
        return failure(QStringLiteral("the extension names none of the twelve picture types"));
    const QFileInfo target(path);
    if (target.isDir())
        return failure(QStringLiteral("a folder of that name is in the way"));
    if (!target.absoluteDir().exists())
        return failure(QStringLiteral("the folder %1 does not exist")
                           .arg(QDir::toNativeSeparators(target.absolutePath())));

    QByteArray bytes;
    QString reason;
    try {
        const Deadline deadline(d->timeLimit, d->cancel);
        if (*type == FileType::Dxf)
            bytes = detail::encodeDxf(image(), deadline, &reason);
        else if (*type == FileType::Wmf)
            bytes = detail::encodeWmf(image(), deadline, &reason);
        else if (auto encoded = d->encode(*type, &reason))
            bytes = *encoded;
    } catch (const std::exception &e) {
        reason = library(e);
    }
    if (bytes.isEmpty())
        return failure(reason.isEmpty() ? QStringLiteral("the picture could not be encoded") : reason);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString().toLower());
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString().toLower();
        file.cancelWriting();
        return failure(error);
    }
    if (!file.commit())
        return failure(file.errorString().toLower());

    if (*type == FileType::Pcd
        && (d->picture->columns() != 768 || d->picture->rows() != 512))
        return Result::success(QStringLiteral("%1 was written at the PCD base size of 768 x 512 pixels.").arg(shown));
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

qint64 estimatePeakBytes(const QString &path, std::optional<QSize> size, common::FileType output)
{
    initialize();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(detail::kDetectBytes);
    const detail::Detected found = detail::detectContent(head);
    if (!found.type || !found.decoder || *found.type == FileType::Eps)
        return 0;
    qint64 width = 0, height = 0;
    try {
        Magick::Image probe;
        probe.ping(std::string(found.decoder) + ':' + QFile::encodeName(path).toStdString());
        width = probe.columns();
        height = probe.rows();
    } catch (...) {
        return 0;
    }
    // The library keeps 16 bits a channel: 8 bytes a pixel, plus the
    // decoder's own buffers; the encoders copy the picture once more.
    const qint64 decoded = width * height * 10;
    const qint64 written = size ? qint64(size->width()) * size->height() : width * height;
    const qint64 perPixel = output == FileType::Wmf || output == FileType::Dxf ? 20 : 12;
    return decoded + written * perPixel;
}

void ImageMan::setSaveOption(int)
{
}

void ImageMan::setJpegQuality(double quality)
{
    if (std::isnan(quality))
        return;
    d->quality = int(std::nearbyint(std::clamp(quality, 20.0, 100.0)));
}

int ImageMan::jpegQuality() const
{
    return d->quality;
}

void ImageMan::setSelectLeft(double x) { d->left = x; }
void ImageMan::setSelectTop(double y) { d->top = y; }
void ImageMan::setSelectRight(double x) { d->right = x; }
void ImageMan::setSelectBottom(double y) { d->bottom = y; }

// Selection edges may come as texts; a text that is no number leaves the
// edge as it was.
static Result setEdge(double &edge, const char *name, const QString &text)
{
    const auto value = decimal(text);
    if (!value)
        return Result::failure(QStringLiteral("The %1 edge of the selection, \"%2\", is not a number.")
                                   .arg(QLatin1String(name), text));
    edge = *value;
    return Result::success();
}

Result ImageMan::setSelectLeft(const QString &x) { return setEdge(d->left, "left", x); }
Result ImageMan::setSelectTop(const QString &y) { return setEdge(d->top, "top", y); }
Result ImageMan::setSelectRight(const QString &x) { return setEdge(d->right, "right", x); }
Result ImageMan::setSelectBottom(const QString &y) { return setEdge(d->bottom, "bottom", y); }

Result ImageMan::copySelection()
{
    const QString shown = QDir::toNativeSeparators(d->file);
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
        Magick::Image piece = *d->picture;
        piece.crop(Magick::Geometry(unsigned(x1 - x0 + 1), unsigned(y1 - y0 + 1), x0, y0));
        // The crop keeps the offset within the old picture; a piece starts at 0, 0.
        piece.page(Magick::Geometry(0, 0, 0, 0));
        std::lock_guard lock(holder().mutex);
        holder().picture = piece;
        return Result::success();
    } catch (const std::exception &e) {
        return Result::failure(QStringLiteral("Cannot copy from %1: %2.").arg(shown, library(e)));
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
    if (!d->picture)
        return {};
    try {
        const int width = imageWidth(), height = imageHeight();
        QImage out(width, height, QImage::Format_ARGB32);
        if (out.isNull())
            return {};
        // ARGB32 is stored as B, G, R, A bytes on little-endian machines.
        const char *map = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "BGRA" : "ARGB";
        d->picture->write(0, 0, width, height, map, Magick::CharPixel, out.bits());
        return d->picture->matte() ? out : out.convertToFormat(QImage::Format_RGB32);
    } catch (const std::exception &) {
        return {};
    }
}

Result ImageMan::setImage(const QImage &picture, const QString &name)
{
    d->picture.reset();
    d->file = name.isEmpty() ? QStringLiteral("the picture") : name;
    if (picture.isNull())
        return Result::failure(QStringLiteral("Cannot use %1: it is empty.").arg(d->file));
    if (!detail::sizeAllowed(picture.width(), picture.height()))
        return Result::failure(QStringLiteral("Cannot use %1: %2.")
                                   .arg(d->file, tooLarge(picture.width(), picture.height())));
    try {
        const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
        const char *map = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "BGRA" : "ARGB";
        Magick::Image converted(unsigned(argb.width()), unsigned(argb.height()), map,
                                Magick::CharPixel, argb.constBits());
        converted.matte(picture.hasAlphaChannel());
        d->picture = converted;
        return Result::success();
    } catch (const std::exception &e) {
        return Result::failure(QStringLiteral("Cannot use %1: %2.").arg(d->file, library(e)));
    }
}

} // namespace imaging
