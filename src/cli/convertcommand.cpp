#include "convertcommand.h"

#include "commandline.h"
#include "interrupt.h"
#include "progress.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "imaging/formats.h"
#include "imaging/imageman.h"
#include "convert/batchengine.h"
#include "convert/fileconversion.h"
#include "convert/sourcefiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <cstring>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

const QString kCommand = QStringLiteral("convert");
const QString kKeepSourcesAdvice = QStringLiteral("use --in-place to allow it");

struct Request {
    imaging::FileType type = imaging::FileType::Jpg;
    convert::SizeChoice size = convert::SizeChoice::OneToOne;
    QString width, height; // the custom texts, read by the size rule
    convert::SizeFit fit = convert::SizeFit::Exact;
    std::optional<double> quality;
    QString qualityText;
    QString sizeNote; // how a size too small was raised; empty when it was not
    int jobs = 0;
    QString out; // empty: beside each source
    bool keepMetadata = false;
    bool lossless = false;
    QString pattern = convert::allTypesPattern();
    bool inPlace = false; // a file may replace its own source
    bool json = false;
    bool dryRun = false;
    bool recursive = false;
    QStringList sources; // full paths, in the order given, folders listed
    // For a source found in a subfolder of a folder named, that subfolder
    // relative to the named one ("2024/may"), mirrored under --out.
    QHash<QString, QString> subfolder;
    LeftOutReport leftOut;
};

// The extensions of the types written (`written`), or of all types read.
QString typeList(bool written = true)
{
    QStringList names;
    for (const imaging::Format &info : imaging::kFormats)
        if (!written || imaging::isWritten(info))
            names.append(QLatin1String(info.extension));
    return names.join(QStringLiteral(", "));
}

// The reason the size cannot be used; empty when it can. A size is read as
// the page's custom texts are, so 640x480 is the page's button of that size.
QString readSize(const QString &text, Request &request)
{
    if (text == QLatin1String("own")) {
        request.size = convert::SizeChoice::OneToOne;
        return {};
    }
    static const QRegularExpression custom(QStringLiteral("\\A(\\d+)x(\\d+)\\z"));
    const QRegularExpressionMatch match = custom.match(text);
    if (!match.hasMatch())
        return QStringLiteral("the size \"%1\" is not own or WIDTHxHEIGHT").arg(text);
    request.size = convert::SizeChoice::Custom;
    request.width = match.captured(1);
    request.height = match.captured(2);
    const convert::SizeDecision decision = convert::decideSize(request.size, request.width, request.height);
    if (decision.size && (QString::number(decision.size->width()) != request.width
                          || QString::number(decision.size->height()) != request.height))
        request.sizeNote = QStringLiteral("the size %1 is used as %2x%3: a side is at least 5 pixels")
                               .arg(text)
                               .arg(decision.size->width())
                               .arg(decision.size->height());
    return decision.error;
}

// Folders are listed as the window's file list lists them; files named
// outright are taken whatever their type, and each file once.
void listSources(const QStringList &inputs, Request &request)
{
    QSet<QString> seen;
    const auto add = [&](const QString &path, const QString &subfolder) {
        const QString clean = convert::absolutePath(path);
        if (!seen.contains(clean)) {
            seen.insert(clean);
            request.sources.append(clean);
            if (!subfolder.isEmpty())
                request.subfolder.insert(clean, subfolder);
        }
    };
    for (const QString &input : inputs) {
        if (convert::entryKind(input) == convert::EntryKind::Folder) {
            const convert::SourceListing listing = convert::listSources(input, request.pattern, request.recursive, request.out);
            for (const QString &name : listing.names)
                add(common::joinPath(input, name), name.left(std::max<qsizetype>(name.lastIndexOf(QLatin1Char('/')), 0)));
            for (const convert::LeftOut &file : listing.leftOut)
                request.leftOut.named.append({convert::absolutePath(file.path), file.reason});
            request.leftOut.counts += listing.counts;
        } else {
            add(input, {});
        }
    }
}

std::optional<Request> parse(const QStringList &arguments, int *status)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts pictures, and the pictures of folders, as the Batch Convert page does: each\n"
        "output is named after its source with the new type's extension, and replaces an\n"
        "earlier file only with a complete new one, never one the run wrote itself; a\n"
        "source only with --in-place. Folders give their regular, visible files of the\n"
        "chosen types, sorted by name, and the summary counts the others by reason;\n"
        "files named outright are taken whatever their type. A size is exact, the\n"
        "picture stretched to it, unless --fit is given."));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Output type: %1 (default jpg).").arg(typeList()),
                                QStringLiteral("TYPE"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("own (default) or WIDTHxHEIGHT in pixels, such as 640x480; a "
                                                 "side of less than 5 pixels becomes 5. The size is exact, the "
                                                 "picture stretched to it, unless --fit is given."),
                                  QStringLiteral("SIZE"));
    const QCommandLineOption fit(QStringLiteral("fit"),
                                 QStringLiteral("Keep each picture's proportions within the --size box: the side "
                                                "that reaches it first meets it, the other is rounded to the "
                                                "nearest pixel (at least 1). A smaller picture keeps its size "
                                                "unless --enlarge is given."));
    const QCommandLineOption enlarge(QStringLiteral("enlarge"),
                                     QStringLiteral("With --fit, make smaller pictures larger too, up to the box. "
                                                    "Without --fit it is refused: an exact size enlarges already."));
    const QCommandLineOption recursive(QStringLiteral("recursive"),
                                       QStringLiteral("Take the files of subfolders too, at any depth, and mirror "
                                                      "the subfolders under --out, made as needed. Hidden folders, "
                                                      "links to folders and the --out folder are not entered. Without it, "
                                                      "subfolders are left out."));
    const QCommandLineOption quality(QStringLiteral("quality"),
                                     QStringLiteral("JPEG quality, 20 to 100, higher is better (default 75). WebP and AVIF "
                                                    "take it on their own scales (default 74 and 60, which look as good as "
                                                    "JPEG's 75 in fewer bytes)."),
                                     QStringLiteral("N"));
    const QCommandLineOption lossless(QStringLiteral("lossless"),
                                      QStringLiteral("Write WebP or AVIF exactly, without loss (and larger)."));
    const QCommandLineOption jobs(QStringLiteral("jobs"),
                                  QStringLiteral("Files converted at once (default: one per processor core)."),
                                  QStringLiteral("N"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Folder to write to, made with its parents when missing (default: each source's own)."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption filter(QStringLiteral("type-filter"),
                                    QStringLiteral("Types listed from folders, of %1 (default: all).").arg(typeList(false)),
                                    QStringLiteral("TYPES"));
    const QCommandLineOption inPlace(QStringLiteral("in-place"),
                                     QStringLiteral("Let a file whose output is its own source (jpg to jpg without "
                                                    "--out) replace it; without this such a file fails."));
    const QCommandLineOption keep(QStringLiteral("keep-metadata"),
                                  QStringLiteral("Keep all the sources' metadata (place, camera, dates, comments, "
                                                 "IPTC, XMP) but the EXIF thumbnail. By default only the colour "
                                                 "profile and the author and copyright fields are kept."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object a line for each file (source, output, status, "
                                                 "reason, bytes, width, height, milliseconds) and a last one with the totals and the left-out counts, and "
                                                 "nothing else, on the standard output."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Write nothing; say for each file what it would be written to, at "
                                                   "what size, and whether that is a new file, replaces one, or replaces its source, "
                                                   "and why a file would fail. The exit status is the run's."));
    parser.addOptions({to, size, fit, enlarge, quality, lossless, jobs, out, filter, recursive, inPlace, keep, json, dryRun});
    parser.addPositionalArgument(QStringLiteral("FILE_OR_FOLDER"), QStringLiteral("Pictures and folders to convert."),
                                 QStringLiteral("FILE_OR_FOLDER..."));
    if (!parseCommand(parser, kCommand, arguments, status))
        return std::nullopt;

    Request request;
    const auto refuse = [&](const QString &reason) {
        *status = usageError(kCommand, reason);
        return std::nullopt;
    };
    if (parser.isSet(to)) {
        const std::optional<imaging::FileType> type = imaging::fileTypeFromExtension(parser.value(to));
        if (!type || !imaging::isWritten(imaging::format(*type)))
            return refuse(QStringLiteral("the type \"%1\" is not one of %2%3")
                              .arg(parser.value(to), typeList(),
                                   type ? QStringLiteral(" (it is read, not written)") : QString()));
        request.type = *type;
    }
    if (parser.isSet(size)) {
        if (const QString fault = readSize(parser.value(size), request); !fault.isEmpty())
            return refuse(fault);
    }
    if (parser.isSet(quality)) {
        bool ok = false;
        request.quality = parser.value(quality).toDouble(&ok);
        request.qualityText = parser.value(quality);
        if (!ok || !std::isfinite(*request.quality))
            return refuse(QStringLiteral("the quality \"%1\" is not a number").arg(parser.value(quality)));
    }
    if (parser.isSet(jobs)) {
        bool ok = false;
        request.jobs = parser.value(jobs).toInt(&ok);
        if (!ok || request.jobs < 1 || request.jobs > 256)
            return refuse(QStringLiteral("the number of jobs \"%1\" is not a whole number from 1 to 256")
                              .arg(parser.value(jobs)));
    }
    if (parser.isSet(out))
        request.out = convert::absolutePath(parser.value(out));
    if (parser.isSet(lossless)) {
        if (request.type != imaging::FileType::Webp && request.type != imaging::FileType::Avif)
            return refuse(QStringLiteral("--lossless is for --to webp or avif; the other types are always "
                                         "lossless or never"));
        request.lossless = true;
    }
    if (parser.isSet(filter)) {
        QList<imaging::FileType> types;
        for (const QString &name : parser.value(filter).split(QLatin1Char(','))) {
            const std::optional<imaging::FileType> type = imaging::fileTypeFromExtension(name.trimmed());
            if (!type)
                return refuse(QStringLiteral("the type \"%1\" in --type-filter is not one of %2")
                                  .arg(name, typeList(false)));
            types.append(*type);
        }
        request.pattern = convert::typesPattern(types);
    }
    if (parser.isSet(enlarge) && !parser.isSet(fit))
        return refuse(QStringLiteral("--enlarge needs --fit: without it a size is exact and enlarges already"));
    if (parser.isSet(fit)) {
        if (request.size == convert::SizeChoice::OneToOne)
            return refuse(QStringLiteral("--fit needs a --size WIDTHxHEIGHT to fit the pictures in"));
        request.fit = parser.isSet(enlarge) ? convert::SizeFit::InsideEnlarging : convert::SizeFit::Inside;
    }
    request.recursive = parser.isSet(recursive);
    request.inPlace = parser.isSet(inPlace);
    request.keepMetadata = parser.isSet(keep);
    request.json = parser.isSet(json);
    request.dryRun = parser.isSet(dryRun);
    if (request.dryRun && request.json)
        return refuse(QStringLiteral("--dry-run and --json cannot be given together"));
    if (parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("no file or folder to convert is named"));
    listSources(parser.positionalArguments(), request);
    return request;
}

// Makes `folder` and the folders above it that are missing, as mkdir -p
// does; the reason it could not, or empty.
QString makeFolders(const QString &folder)
{
    for (qsizetype slash = folder.indexOf(QLatin1Char('/'), 1); ; slash = folder.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString part = slash < 0 ? folder : folder.left(slash);
        if (::mkdir(common::nativeName(part).constData(), 0777) != 0 && errno != EEXIST)
            return QStringLiteral("the output folder %1 cannot be created: %2")
                .arg(common::shownName(part), QString::fromLocal8Bit(std::strerror(errno)));
        if (slash < 0)
            break;
    }
    if (convert::entryKind(folder) != convert::EntryKind::Folder)
        return QStringLiteral("the output folder %1 is not a folder").arg(common::shownName(folder));
    return {};
}

convert::FileChoices choicesFor(const Request &request, const QString &source)
{
    // Sources are absolute and clean, so the last separator parts folder and name.
    const qsizetype slash = source.lastIndexOf(QLatin1Char('/'));
    convert::FileChoices choices;
    choices.folder = slash > 0 ? source.left(slash) : QStringLiteral("/");
    choices.name = source.mid(slash + 1);
    choices.count = request.sources.size();
    choices.size = request.size;
    choices.customWidth = request.width;
    choices.customHeight = request.height;
    choices.fit = request.fit;
    choices.outext = QLatin1String(imaging::format(request.type).extension);
    const QString subfolder = request.subfolder.value(source);
    choices.destination = request.out.isEmpty() ? choices.folder
        : subfolder.isEmpty()                   ? request.out
                                                : common::joinPath(request.out, subfolder);
    choices.keepMetadata = request.keepMetadata;
    choices.lossless = request.lossless;
    return choices;
}

// "800x450", or for a size known only once the picture is drawn what it
// depends on: "own size", "within 800x600".
QString sizeText(const convert::ConversionJob &plan)
{
    if (const std::optional<QSize> size = convert::plannedSize(plan))
        return QStringLiteral("%1x%2").arg(size->width()).arg(size->height());
    if (!plan.size)
        return QStringLiteral("own size");
    return QString::fromLatin1(plan.fit == convert::SizeFit::Exact ? "%1x%2" : "within %1x%2")
        .arg(plan.size->width())
        .arg(plan.size->height());
}

// What the run would do, as the engine plans it; only the pictures' first
// bytes are read, so a file that is no picture is foreseen to fail, one
// damaged further in is not.
int dryRun(const Request &request)
{
    const auto choices = [&](qsizetype position) { return choicesFor(request, request.sources[position]); };
    const QList<convert::ConversionJob> plans = convert::BatchEngine({.keepSourcesAdvice = kKeepSourcesAdvice})
        .plan(request.sources, choices, request.inPlace ? convert::SourceRule::Replace : convert::SourceRule::Keep);
    const QStringList replacingSources = convert::replacedSources(plans);
    qsizetype failing = 0;
    for (convert::ConversionJob plan : plans) {
        if (plan.refusal.isEmpty())
            if (const imaging::Result readable = imaging::ImageMan::checkImageFile(plan.source); !readable)
                plan.refusal = readable.message();
        QString what;
        if (!plan.refusal.isEmpty()) {
            ++failing;
            printError(plan.refusal);
            what = QStringLiteral("would fail");
        } else if (replacingSources.contains(plan.source)) {
            what = QStringLiteral("replaces its source");
        } else {
            struct stat status;
            const bool taken = ::lstat(common::nativeName(plan.output).constData(), &status) == 0;
            what = taken ? QStringLiteral("replaces a file") : QStringLiteral("new");
        }
        if (plan.refusal.isEmpty())
            what = sizeText(plan) + QStringLiteral(", ") + what;
        printOut(QStringLiteral("%1 -> %2 (%3)")
                     .arg(common::shownName(plan.source), common::shownName(plan.output), what));
    }
    printOut(totalsText(QStringLiteral("Dry run: %1 would be converted, %2 would fail")
                            .arg(plans.size() - failing)
                            .arg(failing),
                        request.leftOut, QStringLiteral("; nothing was written.")));
    return failing ? kFailed : kDone;
}

} // namespace

int runConvert(const QStringList &arguments)
{
    int status = kDone;
    const std::optional<Request> request = parse(arguments, &status);
    if (!request)
        return status;
    if (request->quality)
        sayQualityUsed(request->qualityText, *request->quality);
    if (!request->sizeNote.isEmpty())
        printError(request->sizeNote);
    if (request->sources.isEmpty() && request->json) {
        Progress(0, false, request->leftOut, true).end();
        return kDone;
    }
    if (request->sources.isEmpty()) {
        printOut(totalsText(QStringLiteral("No files to convert"), request->leftOut));
        return kDone;
    }
    if (request->dryRun)
        return dryRun(*request);
    if (!request->out.isEmpty()) {
        // The mirrored subfolders too, before any file is handed out.
        QStringList folders{request->out};
        for (const QString &subfolder : request->subfolder)
            folders.append(common::joinPath(request->out, subfolder));
        folders.removeDuplicates();
        for (const QString &folder : std::as_const(folders)) {
            if (const QString fault = makeFolders(folder); !fault.isEmpty()) {
                printError(fault);
                return kFailed;
            }
        }
    }
    const std::unique_ptr<QGuiApplication> app = commandApplication();

    convert::EngineOptions options;
    options.workers = request->jobs;
    options.jpegQuality = request->quality;
    options.keepSourcesAdvice = kKeepSourcesAdvice;
    convert::BatchEngine engine(std::move(options));
#ifdef Q_OS_UNIX
    const bool terminal = isatty(request->json ? STDERR_FILENO : STDOUT_FILENO);
#else
    const bool terminal = false;
#endif
    Progress progress(request->sources.size(), terminal, request->leftOut, request->json);
    QObject::connect(&engine, &convert::BatchEngine::fileFinished, &engine,
                     [&progress](const convert::FileOutcome &outcome) { progress.finished(outcome); });
    QObject::connect(&engine, &convert::BatchEngine::finished, &engine,
                     [&progress](const QList<convert::FileOutcome> &failures, qsizetype) {
                         progress.end();
                         QCoreApplication::exit(failures.isEmpty() ? kDone : kFailed);
                     });
    // Each file's save is whole or nothing, so an interrupted run leaves no
    // partial file: the files in hand are stopped and the totals shown.
    onInterrupt(&engine, [&engine, &progress] {
        engine.stopReportingEnded();
        progress.end();
        printError(QStringLiteral("stopped."));
        QCoreApplication::exit(kInterrupted);
    });
    engine.start(request->sources, [&](qsizetype position) {
        const QString &source = request->sources[position];
        progress.handedOut(source);
        return choicesFor(*request, source);
    }, request->inPlace ? convert::SourceRule::Replace : convert::SourceRule::Keep);
    return QCoreApplication::exec();
}

} // namespace cli
