#include "piecerun.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "common/desktop.h"
#include "imaging/fileaccess.h"
#include "imaging/imageman.h"
#include "modernpage.h"
#include "pagetext.h"

#include <QFileInfo>
#include <QStringEncoder>

namespace rollover {

namespace {

QString piecePath(const RunPlaces &places, const QString &header, Plate plate, int piece)
{
    return common::joinPath(places.imagesFolder, pieceFileName(header, plate, piece));
}

void cutPlates(const RunPlaces &places, const QString &header, const QList<int> &rows,
               imaging::ImageMan &plateReader, imaging::ImageMan &pieceWriter, QStringList &failures)
{
    const int pieceCount = int(rows.size()) + 1;
    for (Plate plate : kPlates) {
        // A plate that cannot be read gives no pieces at all, so that nothing
        // of another plate is saved under its letter.
        if (const imaging::Result read = plateReader.setImageFile(places.plates[int(plate)]); !read) {
            const QString names = pieceCount == 1
                ? pieceFileName(header, plate, 0)
                : QStringLiteral("%1 to %2").arg(pieceFileName(header, plate, 0),
                                                 pieceFileName(header, plate, pieceCount - 1));
            failures.append(QStringLiteral("%1 not written: %2").arg(names, read.message()));
            continue;
        }
        const QList<QRect> rects = pieceRects(rows, QSize(plateReader.imageWidth(), plateReader.imageHeight()));
        for (int n = 0; n < pieceCount; ++n) {
            const QRect &rect = rects[n];
            plateReader.setSelectTop(rect.top());
            plateReader.setSelectLeft(rect.left());
            plateReader.setSelectRight(rect.right());
            plateReader.setSelectBottom(rect.bottom());
            // Paste and save only after a good copy: the holder would still
            // carry the previous piece, which must not appear under this name.
            imaging::Result step = plateReader.copySelection();
            if (step)
                step = pieceWriter.pasteImage();
            if (step)
                step = pieceWriter.saveImage(piecePath(places, header, plate, n));
            if (!step)
                failures.append(QStringLiteral("%1 not written: %2")
                                    .arg(pieceFileName(header, plate, n), step.message()));
        }
    }
}

// `what` names the file in a failure: "The page", "The style sheet". The
// file is written as pictures are: an earlier one is only ever replaced by a
// complete new one, and never through a link.
bool writeFile(const QString &what, const QString &path, const QByteArray &bytes, QStringList &failures)
{
    bool whole = false;
    const QString error = imaging::detail::OutputFile(path).write(bytes, &whole);
    if (error.isEmpty())
        return true;
    failures.append(whole ? error : QStringLiteral("%1 %2 not written: %3.").arg(what, common::shownName(path), error));
    return false;
}

void writePage(const RunPlaces &places, const QString &header, int pieceCount, imaging::ImageMan &plateReader,
               common::Clipboard *clipboard, const PageChoice &page, QStringList &failures)
{
    QList<QSize> sizes;
    sizes.reserve(pieceCount);
    for (int n = 0; n < pieceCount; ++n) {
        // An unreadable piece leaves the instance without a picture: its entry
        // gets the size 0 x 0, and the failure is listed.
        if (const imaging::Result read = plateReader.setImageFile(piecePath(places, header, Plate::Back, n)); !read)
            failures.append(QStringLiteral("The page gives %1 no size: %2")
                                .arg(pieceFileName(header, Plate::Back, n), read.message()));
        sizes.append(QSize(plateReader.imageWidth(), plateReader.imageHeight()));
    }
    if (page.format == PageChoice::Format::Modern) {
        const ModernPage modern = modernPage(header, sizes, page);
        if (clipboard)
            clipboard->setText(modern.html);
        // The style sheet first: a page never links to a missing or older one.
        const QString styleSheet =
            common::joinPath(QFileInfo(places.pagePath).path(), QLatin1String(kStyleSheetName));
        if (!writeFile(QStringLiteral("The style sheet"), styleSheet, modern.css.toUtf8(), failures))
            failures.append(QStringLiteral("The page %1 not written: it needs its style sheet.").arg(common::shownName(places.pagePath)));
        else
            writeFile(QStringLiteral("The page"), places.pagePath, modern.html.toUtf8(), failures);
        return;
    }
    const QString text = pageText(header, sizes, page);
    if (clipboard)
        clipboard->setText(text);

    // The file ends with a line end, as a printed text file does; the
    // clipboard holds the text without one.
    QStringEncoder encoder(QStringConverter::System);
    writeFile(QStringLiteral("The page"), places.pagePath, encoder.encode(text + QStringLiteral("\r\n")), failures);
}

} // namespace

std::optional<PlateFault> plateFault(const std::array<QSize, kPlateCount> &sizes,
                                     const std::array<QString, kPlateCount> &names, const QList<int> &rows)
{
    const auto sizeText = [](QSize size) { return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()); };
    if (sizes[1] != sizes[0] || sizes[2] != sizes[0])
        return PlateFault{PlateFault::Kind::Sizes,
                          QStringLiteral("The three plates must have one size, since their pieces are cut along the "
                                         "same rows: the normal plate %1 is %2 pixels, the highlight plate %3 is %4 "
                                         "and the selected plate %5 is %6.")
                              .arg(names[0], sizeText(sizes[0]), names[1], sizeText(sizes[1]), names[2],
                                   sizeText(sizes[2]))};
    const int height = sizes[0].height();
    for (int row : rows) {
        if (row >= 0 && row <= lastCutRow(height))
            continue;
        const QString inside = lastCutRow(height) < 0
            ? QStringLiteral("no row")
            : QStringLiteral("a row from 0 to %1").arg(lastCutRow(height));
        return PlateFault{PlateFault::Kind::CutLine,
                          QStringLiteral("The cut line at row %1 lies outside the plates, which are %2 rows high "
                                         "(the normal plate %3): a cut line is the last row of the piece above it "
                                         "and must leave one below it, so it is %4.")
                              .arg(row)
                              .arg(height)
                              .arg(names[0], inside)};
    }
    return std::nullopt;
}

std::optional<std::array<QSize, kPlateCount>> readPlateSizes(const RunPlaces &places, imaging::ImageMan &imageMan)
{
    std::array<QSize, kPlateCount> sizes;
    for (Plate plate : kPlates) {
        if (!imageMan.setImageFile(places.plates[int(plate)]))
            return std::nullopt;
        sizes[int(plate)] = QSize(imageMan.imageWidth(), imageMan.imageHeight());
    }
    return sizes;
}

RunPlaces RunPlaces::fixed()
{
    RunPlaces places;
    for (Plate plate : kPlates)
        places.plates[int(plate)] = common::platePath(int(plate));
    places.imagesFolder = common::imagesFolder();
    places.pagePath = common::pagePath();
    return places;
}

QStringList writePiecesAndPage(const RunPlaces &places, const QString &header, const QList<int> &rows,
                               imaging::ImageMan &plateReader, imaging::ImageMan &pieceWriter,
                               common::Clipboard *clipboard, const PageChoice &page)
{
    QStringList failures;
    cutPlates(places, header, rows, plateReader, pieceWriter, failures);
    imaging::clearHeldPicture();
    if (clipboard)
        clipboard->clear();
    writePage(places, header, int(rows.size()) + 1, plateReader, clipboard, page, failures);
    return failures;
}

} // namespace rollover
