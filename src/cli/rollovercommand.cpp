#include "rollovercommand.h"

#include "commandline.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "imaging/imageman.h"
#include "rollover/cutfinder.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/modernpage.h"
#include "rollover/piecerun.h"
#include "rollover/plateloader.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <optional>

namespace cli {

namespace {

using rollover::Plate;

const QString kCommand = QStringLiteral("rollover");

struct Request {
    QString plates[rollover::kPlateCount];
    bool autoCuts = false;
    QList<int> cuts; // ascending, each once
    QString header = QStringLiteral("TST");
    QString quality = QStringLiteral("100"); // read as the compression prompt reads it
    QString out;
    rollover::PageChoice page;
};

// The cut-line list's own rule: whole rows from 0 to its last row.
std::optional<QList<int>> readCuts(const QString &text, QString *fault)
{
    QList<int> rows;
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int row = item.trimmed().toInt(&ok);
        if (!ok || row < 0 || row > rollover::CutLineList::kLastRow) {
            *fault = QStringLiteral("the cut line \"%1\" is not a row from 0 to %2")
                         .arg(item.trimmed())
                         .arg(rollover::CutLineList::kLastRow);
            return std::nullopt;
        }
        rows.append(row);
    }
    return rollover::CutLineList::normalised(rows);
}

// Why `folder` cannot take the output; empty when it is new or empty. The
// command line never empties a folder: a run into one would mix its pieces
// with files of earlier runs.
QString outputFault(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return {};
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder").arg(common::shownName(folder));
    if (!QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return QStringLiteral("the folder %1 is not empty: name a new or empty folder, the command line "
                              "empties none")
            .arg(common::shownName(folder));
    return {};
}

// The page's own options; their fit with the entries is checked once the cut
// lines are known.
struct PageOptions {
    QCommandLineOption page{QStringLiteral("page"),
                            QStringLiteral("The page to write: classic (DIR/contents.htm, the default) or modern "
                                           "(DIR/index.html and DIR/menu.css)."),
                            QStringLiteral("FORMAT")};
    QCommandLineOption labels{QStringLiteral("labels"),
                              QStringLiteral("The entries' labels, one per entry separated by commas: the pieces' alt "
                                             "texts."),
                              QStringLiteral("TEXTS")};
    QCommandLineOption links{QStringLiteral("links"),
                             QStringLiteral("The entries' link targets, one per entry separated by commas."),
                             QStringLiteral("URLS")};
    QCommandLineOption current{QStringLiteral("current"),
                               QStringLiteral("Modern page: entry N (from 1) is the page's own and shows its selected "
                                              "piece; 0, the default, marks none."),
                               QStringLiteral("N")};
    QCommandLineOption scale{QStringLiteral("scale"),
                             QStringLiteral("Modern page: the plates are drawn at N times the size shown, for "
                                            "high-density screens (default 1)."),
                             QStringLiteral("N")};
};

std::optional<QString> readPageOptions(const QCommandLineParser &parser, const PageOptions &options,
                                       rollover::PageChoice *page)
{
    const QString format = parser.value(options.page);
    if (format == QLatin1String("modern"))
        page->format = rollover::PageChoice::Format::Modern;
    else if (parser.isSet(options.page) && format != QLatin1String("classic"))
        return QStringLiteral("the page \"%1\" is not classic or modern").arg(format);
    if (parser.isSet(options.labels))
        page->labels = parser.value(options.labels).split(QLatin1Char(','));
    if (parser.isSet(options.links))
        page->links = parser.value(options.links).split(QLatin1Char(','));
    for (const auto &[option, number] : {std::pair{&options.current, &page->current}, {&options.scale, &page->scale}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        *number = parser.value(*option).toInt(&ok);
        if (!ok)
            return QStringLiteral("--%1 \"%2\" is not a whole number").arg(option->names().first(), parser.value(*option));
    }
    return std::nullopt;
}

std::optional<Request> parse(const QStringList &arguments, int *status)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Cuts three pictures of one menu (normal, highlighted, selected) into pieces along\n"
        "cut lines and writes them as DIR/images/HEADERa0.jpg ... with the page\n"
        "DIR/contents.htm, as Parse Clips' \"Generate JPGS and Scripts\" does, or with\n"
        "--page modern the page DIR/index.html and its style sheet DIR/menu.css. DIR must\n"
        "be new or empty. The three pictures must have one size. Each cut line belongs to\n"
        "the piece above it."));
    const QCommandLineOption cuts(QStringLiteral("cuts"),
                                  QStringLiteral("Cut lines: plate rows from 0 to 768 separated by commas, each "
                                                 "above the plates' last row, or \"auto\" to find them where the "
                                                 "highlight plate differs from the normal one (printed)."),
                                  QStringLiteral("ROWS"));
    const QCommandLineOption header(QStringLiteral("header"),
                                    QStringLiteral("File name header of the pieces (default TST)."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption quality(QStringLiteral("quality"),
                                     QStringLiteral("JPEG quality, 20 to 100, higher is better (default 100)."),
                                     QStringLiteral("N"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("New or empty folder to write to."),
                                 QStringLiteral("DIR"));
    const PageOptions pageOptions;
    parser.addOptions({cuts, header, quality, out, pageOptions.page, pageOptions.labels, pageOptions.links,
                       pageOptions.current, pageOptions.scale});
    parser.addPositionalArgument(QStringLiteral("NORMAL"), QStringLiteral("Picture of the menu as it normally looks."));
    parser.addPositionalArgument(QStringLiteral("HIGHLIGHT"), QStringLiteral("The menu with its entries highlighted."));
    parser.addPositionalArgument(QStringLiteral("SELECTED"), QStringLiteral("The menu with its entries selected."));
    if (!parseCommand(parser, kCommand, arguments, status))
        return std::nullopt;

    Request request;
    const auto refuse = [&](const QString &reason) {
        *status = usageError(kCommand, reason);
        return std::nullopt;
    };
    const QStringList plates = parser.positionalArguments();
    if (plates.size() != rollover::kPlateCount)
        return refuse(QStringLiteral("three plates are needed (normal, highlight, selected), %1 given").arg(plates.size()));
    for (int i = 0; i < rollover::kPlateCount; ++i)
        request.plates[i] = plates[i];
    if (!parser.isSet(cuts))
        return refuse(QStringLiteral("--cuts is missing: give the cut lines' rows, or auto"));
    if (parser.value(cuts) == QLatin1String("auto")) {
        request.autoCuts = true;
    } else {
        QString fault;
        const std::optional<QList<int>> rows = readCuts(parser.value(cuts), &fault);
        if (!rows)
            return refuse(fault);
        request.cuts = *rows;
    }
    if (parser.isSet(header)) {
        request.header = parser.value(header);
        if (request.header.isEmpty())
            return refuse(QStringLiteral("the file name header is empty"));
        if (const std::optional<QString> fault = rollover::headerFault(request.header))
            return refuse(QStringLiteral("the file name header \"%1\" cannot be used: %2").arg(request.header, *fault));
    }
    if (parser.isSet(quality)) {
        bool ok = false;
        parser.value(quality).toDouble(&ok);
        if (!ok)
            return refuse(QStringLiteral("the quality \"%1\" is not a number").arg(parser.value(quality)));
        request.quality = parser.value(quality);
    }
    if (const std::optional<QString> fault = readPageOptions(parser, pageOptions, &request.page))
        return refuse(*fault);
    if (!request.autoCuts) {
        if (const std::optional<QString> fault = rollover::pageChoiceFault(request.page, request.cuts.size() + 1))
            return refuse(*fault);
    }
    if (!parser.isSet(out))
        return refuse(QStringLiteral("--out is missing: name a new or empty folder"));
    request.out = QFileInfo(parser.value(out)).absoluteFilePath();
    if (const QString fault = outputFault(request.out); !fault.isEmpty())
        return refuse(fault);
    return request;
}

// Messages name the user's files, never the working copies this run made of
// them in a folder of its own.
QString namingUserFiles(QString text, const rollover::RunPlaces &places, const Request &request)
{
    for (Plate plate : rollover::kPlates) {
        const QString working = places.plates[int(plate)], user = request.plates[int(plate)];
        text.replace(common::shownName(working), common::shownName(user));
    }
    return text;
}

QString rowList(const QList<int> &rows)
{
    QStringList texts;
    for (int row : rows)
        texts.append(QString::number(row));
    return texts.isEmpty() ? QStringLiteral("none") : texts.join(QStringLiteral(", "));
}

} // namespace

int runRollover(const QStringList &arguments)
{
    int status = kDone;
    std::optional<Request> request = parse(arguments, &status);
    if (!request)
        return status;
    sayQualityUsed(request->quality, rollover::jpegQuality(request->quality));
    const std::unique_ptr<QGuiApplication> app = commandApplication();

    // The plates go through the window's load steps into working files of
    // this run's own, so the window's working plates stay as they are.
    QTemporaryDir working;
    if (!working.isValid()) {
        printError(QStringLiteral("no folder for the working plates: %1").arg(working.errorString()));
        return kFailed;
    }
    rollover::RunPlaces places;
    imaging::ImageMan plateReader;
    imaging::ImageMan pieceWriter;
    QImage pictures[rollover::kPlateCount];
    for (Plate plate : rollover::kPlates)
        places.plates[int(plate)] = working.filePath(QFileInfo(common::platePath(int(plate))).fileName());
    const auto userNames = [&](QString text) { return namingUserFiles(std::move(text), places, *request); };
    std::array<QSize, rollover::kPlateCount> sizes;
    std::array<QString, rollover::kPlateCount> names;
    for (Plate plate : rollover::kPlates) {
        const rollover::PlateLoad loaded =
            rollover::loadPlateFile(request->plates[int(plate)], places.plates[int(plate)], plateReader);
        if (loaded.outcome != rollover::PlateLoad::Outcome::Loaded) {
            printError(userNames(loaded.message));
            return kFailed;
        }
        pictures[int(plate)] = loaded.picture;
        sizes[int(plate)] = loaded.picture.size();
        names[int(plate)] = common::shownName(request->plates[int(plate)]);
    }

    if (request->autoCuts) {
        const rollover::FoundCuts found =
            rollover::findCuts(pictures[int(Plate::Back)], pictures[int(Plate::Highlight)]);
        if (found.entries.isEmpty()) {
            printError(QStringLiteral("no cut lines found: the highlight plate %1 does not differ from the normal "
                                      "plate %2")
                           .arg(common::shownName(request->plates[1]), common::shownName(request->plates[0])));
            return kFailed;
        }
        QStringList entries;
        for (const rollover::RowSpan &entry : found.entries)
            entries.append(QStringLiteral("%1-%2").arg(entry.first).arg(entry.last));
        printOut(QStringLiteral("Entries at rows %1.").arg(entries.join(QStringLiteral(", "))));
        if (!found.cuts.isEmpty() && found.cuts.last() > rollover::CutLineList::kLastRow) {
            printError(QStringLiteral("the cut line at row %1 lies below row %2, the last a cut line can take")
                           .arg(found.cuts.last())
                           .arg(rollover::CutLineList::kLastRow));
            return kFailed;
        }
        request->cuts = found.cuts;
    }
    // Checked before the output folder is made: a refused run writes nothing.
    // Rows the user gave that miss the plates are a usage error, like rows
    // past the cut-line list's last one.
    if (const std::optional<rollover::PlateFault> fault = rollover::plateFault(sizes, names, request->cuts)) {
        if (fault->kind == rollover::PlateFault::Kind::CutLine && !request->autoCuts)
            return usageError(kCommand, fault->message);
        printError(fault->message);
        return kFailed;
    }
    printOut(QStringLiteral("Cut lines at rows: %1.").arg(rowList(request->cuts)));
    if (const std::optional<QString> fault = rollover::pageChoiceFault(request->page, request->cuts.size() + 1))
        return usageError(kCommand, *fault);

    places.imagesFolder = common::imagesFolder(request->out);
    places.pagePath = request->page.format == rollover::PageChoice::Format::Modern
        ? common::joinPath(request->out, QLatin1String(rollover::kModernPageName))
        : common::pagePath(request->out);
    if (!QDir().mkpath(places.imagesFolder)) {
        printError(QStringLiteral("the folder %1 cannot be created").arg(common::shownName(places.imagesFolder)));
        return kFailed;
    }
    pieceWriter.setJpegQuality(rollover::jpegQuality(request->quality));
    const QStringList failures =
        rollover::writePiecesAndPage(places, request->header, request->cuts, plateReader, pieceWriter, nullptr,
                                     request->page);
    for (const QString &failure : failures)
        printError(userNames(failure));
    if (!failures.isEmpty())
        return kFailed;
    printOut(QStringLiteral("Wrote %1 pieces to %2 and the page %3.")
                 .arg(3 * (request->cuts.size() + 1))
                 .arg(common::shownName(places.imagesFolder), common::shownName(places.pagePath)));
    return kDone;
}

} // namespace cli
