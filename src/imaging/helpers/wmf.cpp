#include "wmf.h"

#include "imaging/codecs/codecsupport.h"
#include "imaging/formats.h"
#include "imaging/magick/library.h"
#include "sandbox.h"
#include "imaging/codecs/wmf.h"


namespace imaging::detail {

std::optional<PlaceableHeader> readPlaceableHeader(QByteArrayView head)
{
    if (head.size() < kPlaceableHeaderBytes || !format(FileType::Wmf).signatures[0].foundIn(head))
        return std::nullopt;
    const auto word = [&](int at) { return qint16(readLe16(head, at)); };
    // The box's corners, left, top, right, bottom, follow the key and a handle.
    return PlaceableHeader{QSize(std::abs(word(10) - word(6)), std::abs(word(12) - word(8))),
                           readLe16(head, 14)};
}

std::optional<QByteArray> renderMetafile(QByteArrayView metafile, int dotsPerInch, const Deadline &deadline,
                                         QString *reason)
{
    // One thread, as for every picture we convert: the batch runs one file
    // per core.
    QList<QByteArray> arguments{"convert", "-limit", "threads", "1",
                                "-limit", "width", QByteArray::number(kMaxSide),
                                "-limit", "height", QByteArray::number(kMaxSide),
                                "-limit", "pixels", QByteArray::number(kMaxPixels)};
    if (dotsPerInch > 0)
        arguments << "-density" << QByteArray::number(dotsPerInch) + 'x' + QByteArray::number(dotsPerInch);
    arguments << "wmf:-" << "-depth" << "8" << "ppm:-";
    // A header of a few dozen bytes, then three bytes a pixel.
    const qsizetype limit = kMaxPixels * 3 + 64;
    // The tool copies its standard input to a file in its private folder
    // before the player reads it.
    const ChildResult drawn = runChild({QStringLiteral("gm"), arguments, metafile, limit, kMetafileMemory, metafile.size() + 4096},
                                       deadline);
    using Outcome = ChildResult::Outcome;
    if (drawn.outcome == Outcome::NotRun && drawn.reason.contains(QLatin1String("not installed"))) {
        *reason = QStringLiteral("metafiles are drawn with the program gm of GraphicsMagick, which is not installed");
        return std::nullopt;
    }
    if (drawn.outcome != Outcome::Finished) {
        *reason = drawn.outcome == Outcome::TooMuch ? sizeRefusal(kMaxSide + 1, kMaxSide + 1) : drawn.reason;
        return std::nullopt;
    }
    if (drawn.errors.contains("limit exceeded")) {
        *reason = QStringLiteral("the picture is larger than %1 on a side or %2 pixels in all")
                      .arg(kMaxSide)
                      .arg(kMaxPixels);
        return std::nullopt;
    }
    if (const QString failed = childFailure(drawn, QStringLiteral("The metafile player"), kMetafileMemory); !failed.isEmpty()) {
        *reason = failed;
        return std::nullopt;
    }
    if (drawn.output.isEmpty()) {
        *reason = QStringLiteral("the metafile player drew nothing");
        return std::nullopt;
    }
    return drawn.output;
}

} // namespace imaging::detail
