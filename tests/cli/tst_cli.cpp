#include "../support/menus.h"
#include "../support/pictures.h"
#include "../support/program.h"
#include "../support/rolloverrun.h"
#include "common/nativename.h"
#include "common/paths.h"
#include "convert/batchengine.h"
#include "convert/sourcefiles.h"
#include "imaging/imageman.h"
#include "rollover/plateloader.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every file under `root`, subfolders included, with a digest of its bytes.
QStringList contents(const QString &root)
{
    QStringList files;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        files << QDir(root).relativeFilePath(path) + QCryptographicHash::hash(testpictures::readAll(path), QCryptographicHash::Sha1).toHex();
    }
    files.sort();
    return files;
}

// The program run with `arguments` as the system's bytes, which only a shell
// can hand over: QProcess would lose the bytes that are not UTF-8.
testprogram::Run runWithBytes(const QStringList &arguments)
{
    QString script = "exec \"$0\"";
    for (const QString &argument : arguments) {
        QString format;
        for (const char byte : common::nativeName(argument))
            format += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
        script += " \"$(printf '" + format + "')\"";
    }
    return testprogram::run("/bin/sh", {"-c", script, KESTRUNE_PROGRAM});
}

} // namespace

Q_DECLARE_METATYPE(convert::FileChoices)

// The real program, run with no display of any kind.
class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QString> m_places;

private slots:
    // A source folder as the window lists it: pictures other programs wrote,
    // names in both letter cases, a broken file, a hidden one and a text file.
    void initTestCase()
    {
        const QString source = m_dir.filePath("source");
        QVERIFY(QDir().mkpath(source) && QDir().mkpath(m_dir.filePath("full/kept")));
        const QString data = KESTRUNE_TEST_DATA "/sources/";
        for (const auto &[from, to] : {std::pair{"imagemagick-v5.bmp", "photo.bmp"}, {"pillow-3plane.pcx", "Scan.PCX"},
                                       {"pillow-progressive.jpg", "shot.jpg"}, {"pillow.bmp", ".hidden.bmp"},
                                       {"pillow-rle.tga", "notes.txt"}, {"../hostile/cases.tsv", "broken.bmp"},
                                       {"../metadata/everything.jpg", "tagged.jpg"}, {"cwebp-lossy.webp", "still.webp"},
                                       {"imagemagick-2frames.gif", "moving.gif"}})
            QVERIFY(QFile::copy(data + from, source + '/' + to));
        m_places = {{"SRC", source}, {"FULL", m_dir.filePath("full")}, {"NONE", m_dir.filePath("none")},
                    {"PLATE", KESTRUNE_TEST_DATA "/rollover/menu-normal.png"}, {"WIDE", m_dir.filePath("wide.png")}};
        QImage wide(161, 180, QImage::Format_RGB32); // one column wider than PLATE
        wide.fill(Qt::darkCyan);
        QVERIFY(wide.save(m_places["WIDE"]));
    }

    void exitsAndSays_data()
    {
        QTest::addColumn<QStringList>("arguments"); // SRC, FULL and NONE stand for the fixture's folders
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // on the standard output for 0, the standard error otherwise
        const auto row = [](const char *name, QStringList arguments, int status, const char *said) {
            QTest::newRow(name) << arguments << status << QString::fromLatin1(said);
        };
        row("--help names both commands", {"--help"}, 0, "kestrune rollover NORMAL");
        row("--version", {"--version"}, 0, "kestrune " KESTRUNE_VERSION "\n");
        row("one word for quality: convert", {"convert", "--help"}, 0, "JPEG quality, 20 to 100, higher is better");
        row("one word for quality: rollover", {"rollover", "--help"}, 0, "JPEG quality, 20 to 100, higher is better");
        row("unknown type", {"convert", "--to", "xcf", "--out", "FULL", "SRC"}, 2, "the type \"xcf\" is not one of");
        row("a type read, not written", {"convert", "--to", "gif", "--out", "FULL", "SRC"}, 2, "eps, webp, avif (it is read, not written)");
        row("--lossless for JPEG", {"convert", "--lossless", "--out", "FULL", "SRC"}, 2, "--lossless is for --to webp or avif");
        row("--type-filter names the types read", {"convert", "--type-filter", "png,xcf", "SRC"}, 2,
            "is not one of jpg, tif, bmp, rle, pcx, png, dxf, pcd, wmf, tga, dcx, eps, webp, avif, heic, gif");
        row("bad size; --out not made", {"convert", "--size", "640", "--out", "NONE/web", "SRC"}, 2, "the size \"640\" is not own");
        row("unknown command", {"conver", "SRC"}, 2, "\"conver\" is not a command\nDid you mean \"kestrune convert\"?");
        row("nothing to convert", {"convert", "--to", "png"}, 2, "no file or folder to convert");
        row("cut below row 768", {"rollover", "a", "b", "c", "--cuts", "57,769", "--out", "NONE"}, 2, "\"769\" is not a row");
        // Rows 0 and 768 pass as rows; only these plates are too short for 768.
        row("cuts at rows 0 and 768", {"rollover", "PLATE", "PLATE", "PLATE", "--cuts", "0,768", "--out", "NONE"}, 2,
            "row 768 lies outside the plates");
        row("header with a separator", {"rollover", "a", "b", "c", "--cuts", "5", "--header", "a/b", "--out", "NONE"}, 2, "separator");
        row("output folder not empty", {"rollover", "a", "b", "c", "--cuts", "5", "--out", "FULL"}, 2, "is not empty");
        row("cut above the plates", {"rollover", "a", "b", "c", "--cuts=-5", "--out", "NONE"}, 2, "\"-5\" is not a row");
        // Named as the user gave them, not as this run's working copies.
        row("plates of different sizes", {"rollover", "PLATE", "WIDE", "PLATE", "--cuts", "5", "--out", "NONE"}, 1,
            "the normal plate PLATE is 160 x 180 pixels, the highlight plate WIDE is 161 x 180 and the selected plate PLATE");
        row("cut on the plates' last row", {"rollover", "PLATE", "PLATE", "PLATE", "--cuts", "57,179", "--out", "NONE"}, 2,
            "row 179 lies outside the plates, which are 180 rows high (the normal plate PLATE)");
        row("one label for two entries", {"rollover", "a", "b", "c", "--cuts", "5", "--labels", "Home", "--out", "NONE"}, 2, "the number of labels (1) is not the number of entries (2)");
        row("current entry on the classic page", {"rollover", "a", "b", "c", "--cuts", "5", "--current", "1", "--out", "NONE"}, 2, "no place for a current entry");
        row("current entry beyond the menu", {"rollover", "a", "b", "c", "--cuts", "5", "--page", "modern", "--current", "3", "--out", "NONE"}, 2, "entry 3 is not one");
    }
    // Help and usage errors write nothing, and a usage error says why.
    void exitsAndSays()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        for (QString &argument : arguments)
            argument = m_places.value(argument, argument);
        for (const QString &place : m_places.keys())
            said.replace(place, m_places[place]);
        const testprogram::Run run = testprogram::run(KESTRUNE_PROGRAM, arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(!run.err.contains("backplate.bmp") && !run.err.contains("highlight.bmp"), qPrintable(run.err));
        QVERIFY2((status ? run.err : run.out).contains(said) && (status || run.err.isEmpty()), qPrintable(run.out + run.err));
        QCOMPARE(QDir(m_places["FULL"]).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"kept"});
        QVERIFY(!QFileInfo::exists(m_places["NONE"]));
    }

    void runsLoseNothing_data()
    {
        QTest::addColumn<QStringList>("arguments"); // DIR: see below; RAW: a name of bytes that are not UTF-8
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("said"); // each on the standard output or error
        QTest::addColumn<bool>("replaced");    // shot.jpg
        QTest::newRow("a clash and a source kept; a pipe and a link to it left out")
            << QStringList{"--type-filter", "bmp,png,jpg", "DIR"} << 1
            << QStringList{"Cannot convert DIR/a.png: DIR/a.jpg was already written from DIR/a.bmp in this run.",
                           "Cannot convert DIR/shot.jpg: the output DIR/shot.jpg would replace its source; use --in-place to allow it.",
                           "1 converted, 2 failed, 4 left out: 2 of other types, 2 not files. DIR/fifo.png is a named pipe, "
                           "not a file; DIR/link.png is a symbolic link to a named pipe, not a file.\n"} << false;
        QTest::newRow("--in-place, a quality raised") << QStringList{"--in-place", "--quality", "5", "--type-filter", "jpg", "DIR"} << 0
            << QStringList{"kestrune: the quality 5 is used as 20: JPEG quality is a whole number from 20 to 100\n", "1 converted, 0 failed, 6 left out: 6 of other types.\n"} << true;
        QTest::newRow("--dry-run: the same run foretold, nothing written")
            << QStringList{"--dry-run", "--type-filter", "bmp,png,jpg", "DIR"} << 1
            << QStringList{"Cannot convert DIR/a.png: DIR/a.jpg was already written from DIR/a.bmp in this run.",
                           "Cannot convert DIR/shot.jpg: the output DIR/shot.jpg would replace its source; use --in-place to allow it.",
                           "DIR/a.bmp -> DIR/a.jpg (64x48, new)\n", "Dry run: 1 would be converted, 2 would fail, 4 left out: "
                           "2 of other types, 2 not files; nothing was written. DIR/fifo.png"} << false;
        QTest::newRow("--dry-run: a file that is no picture foreseen") << QStringList{"--dry-run", "--type-filter", "pcx", "DIR"} << 1
            << QStringList{"kestrune: Cannot open DIR/text.pcx: it is a text file.\n", "DIR/text.pcx -> DIR/text.jpg (would fail)\n",
                           "Dry run: 0 would be converted, 1 would fail"} << false;
        QTest::newRow("a file that is no picture") << QStringList{"--type-filter", "pcx", "DIR"} << 1
            << QStringList{"kestrune: Cannot open DIR/text.pcx: it is a text file.\n", "0 converted, 1 failed"} << false;
        QTest::newRow("--dry-run --in-place") << QStringList{"--dry-run", "--in-place", "--type-filter", "jpg", "DIR"} << 0
            << QStringList{"DIR/shot.jpg -> DIR/shot.jpg (64x48, replaces its source)\n"} << false;
        QTest::newRow("--json: the same run, a line a file and the totals")
            << QStringList{"--json", "--type-filter", "bmp,png,jpg", "DIR"} << 1
            << QStringList{"{\"source\":\"DIR/a.png\",\"output\":\"DIR/a.jpg\",\"status\":\"failed\",\"reason\":\"Cannot convert DIR/a.png: DIR/a.jpg was already written from DIR/a.bmp in this run.\",\"bytes\":0,",
                           "\n{\"converted\":1,\"failed\":2,\"left out\":4,\"other types\":2,\"hidden\":0,\"subfolders\":0,"
                           "\"links to folders\":0,\"not files\":2,\"unreadable folders\":0,\"output folders\":0,\"milliseconds\":"} << false;
        QTest::newRow("end to end: names not UTF-8 listed and named, --out made") << QStringList{"--type-filter", "tga", "--out", "RAW.out/web", "DIR"}
            << 0 << QStringList{"1 converted, 0 failed, 6 left out: 6 of other types.\n"} << false;
    }
    // A run replaces neither an output it wrote nor a source unless told to;
    // names are the system's bytes; what a folder holds that is not a file is
    // left out, and said; each thing is said once, and only by the program.
    void runsLoseNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, said);
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const auto remove = qScopeGuard([&] { QProcess::execute("rm", {"-rf", dir.path()}); }); // RAW too
        const QString raw = dir.filePath(common::nameFromNative("bad\xff\xfe"));
        for (const auto &[from, to] : {std::pair{"imagemagick-v5.bmp", "a.bmp"}, {"pillow-palette-transparent.png", "a.png"},
                                       {"pillow-progressive.jpg", "shot.jpg"}, {"pillow-rle.tga", "raw.tga"}})
            QVERIFY(QFile::copy(KESTRUNE_TEST_DATA "/sources/" + QString(from), dir.filePath(to)));
        testpictures::writeBytes(dir.filePath("text.pcx"), "not a picture\n");
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath("fifo.png")), 0600) == 0
                && symlink("fifo.png", QFile::encodeName(dir.filePath("link.png"))) == 0
                && rename(QFile::encodeName(dir.filePath("raw.tga")), common::nativeName(raw + ".tga")) == 0);
        const QByteArray shot = testpictures::readAll(dir.filePath("shot.jpg"));
        for (QString &argument : arguments)
            argument.replace("RAW", raw).replace("DIR", dir.path());
        const testprogram::Run run = runWithBytes(QStringList{"convert"} + arguments);
        QCOMPARE(run.status, status);
        for (QString text : said)
            QVERIFY2((run.out + run.err).count(text.replace("DIR", dir.path())) == 1, qPrintable(run.out + run.err));
        for (const QString &line : run.err.split('\n', Qt::SkipEmptyParts)) // the program's own, none of Qt's
            QVERIFY2(line.startsWith("kestrune: "), qPrintable(line));
        for (const QString &line : arguments.contains("--json") ? run.out.split('\n', Qt::SkipEmptyParts) : QStringList()) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            QVERIFY2(object.size() == 8 || object.size() == 11, qPrintable(line));
            QCOMPARE(object["bytes"].toInteger(), QFileInfo(object["output"].toString()).size() * (object["status"] == "converted"));
        }
        QCOMPARE(testpictures::readAll(dir.filePath("shot.jpg")) != shot, replaced);
        QCOMPARE(QFile::exists(dir.filePath("a.jpg")), !arguments.contains("--dry-run") && arguments.contains("bmp,png,jpg"));
    }

    void convertIsTheEngines_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<convert::FileChoices>("choices"); // the window's controls for the same run
        QTest::addColumn<double>("quality");               // 0: the instance's own
        QTest::addColumn<QString>("pattern");
        using S = convert::SizeChoice;
        const QString all = convert::allTypesPattern();
        QTest::newRow("PNG at 800x600, all types") << QStringList{"--to", "PNG", "--size", "800x600"}
            << convert::FileChoices{{}, {}, 0, S::Size800x600, {}, {}, "png", {}} << 0.0 << all;
        QTest::newRow("JPEG at quality 30, own size, bmp and pcx only")
            << QStringList{"--quality", "30", "--type-filter", "bmp,PCX", "--jobs", "1"}
            << convert::FileChoices{{}, {}, 0, S::OneToOne, {}, {}, "jpg", {}} << 30.0 << "*.bmp;*.pcx";
        QTest::newRow("JPEG keeping all metadata, bmp and jpg only")
            << QStringList{"--keep-metadata", "--type-filter", "bmp,jpg"}
            << convert::FileChoices{{}, {}, 0, S::OneToOne, {}, {}, "jpg", {}, true} << 0.0 << "*.bmp;*.jpg";
        QTest::newRow("lossless WebP from bmp, webp and gif")
            << QStringList{"--to", "webp", "--lossless", "--type-filter", "webp,gif,bmp"}
            << convert::FileChoices{{}, {}, 0, S::OneToOne, {}, {}, "webp", {}, false, convert::SizeFit::Exact, true} << 0.0 << "*.bmp;*.webp;*.gif";
        QTest::newRow("AVIF at quality 50 and 640x480 from bmp and webp")
            << QStringList{"--to", "avif", "--quality", "50", "--size", "640x480", "--type-filter", "bmp,webp"}
            << convert::FileChoices{{}, {}, 0, S::Size640x480, {}, {}, "avif", {}} << 50.0 << "*.bmp;*.webp";
    }
    // The command's files are the engine's, byte for byte, when the engine is
    // given what the window's controls would say; a broken file fails alone.
    void convertIsTheEngines()
    {
        QFETCH(QStringList, options);
        QFETCH(convert::FileChoices, choices);
        QFETCH(double, quality);
        QFETCH(QString, pattern);
        QTemporaryDir out;
        QVERIFY(QDir().mkpath(out.filePath("cli")) && QDir().mkpath(out.filePath("engine")));
        const QString source = m_places["SRC"];
        const testprogram::Run run = testprogram::run(KESTRUNE_PROGRAM, QStringList{"convert"} + options
                                                                            + QStringList{"--out", out.filePath("cli"), source});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(source + "/broken.bmp"), qPrintable(run.err));

        const QStringList names = convert::matchingFiles(source, pattern);
        QStringList paths;
        for (const QString &name : names)
            paths << source + '/' + name;
        // The quality is set on the imaging instance itself, not through the option the command sets.
        convert::BatchEngine engine({.convert = [quality](const convert::ConversionJob &job, auto, auto) {
            imaging::ImageMan imageMan;
            if (quality > 0)
                imageMan.setJpegQuality(quality);
            return convert::convertFile(imageMan, job);
        }});
        QSignalSpy finished(&engine, &convert::BatchEngine::finished);
        choices.folder = source;
        choices.count = names.size();
        choices.destination = out.filePath("engine");
        engine.start(paths, [&](qsizetype position) {
            choices.name = names[position];
            return choices;
        });
        QVERIFY(finished.wait(240000));
        QCOMPARE(contents(out.filePath("cli")), contents(out.filePath("engine")));
        QVERIFY2(run.out.contains(QStringLiteral("%1 converted, 1 failed, ").arg(names.size() - 1)), qPrintable(run.out));
    }

    void fitsAndMirrors_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("written"); // each output below --out and its size, read back
        QTest::addColumn<QString>("leftOut"); // by the dry run, before anything is written
        QTest::addColumn<QString>("outName"); // --out beside the pictures' folder, or inside it through the link "alias"
        const QString flat = "6 left out: 1 of another type, 2 hidden, 1 subfolder, 1 link to a folder, 1 not a file";
        QTest::newRow("--fit: landscape and portrait") << QStringList{"--size", "80x80", "--fit"} << QStringList{"tall.png 45x80", "wide.png 80x45"} << flat << "out";
        QTest::newRow("--fit keeps smaller pictures") << QStringList{"--size", "320x320", "--fit"} << QStringList{"tall.png 90x160", "wide.png 160x90"} << flat << "out";
        QTest::newRow("--fit --enlarge") << QStringList{"--size", "320x200", "--fit", "--enlarge"} << QStringList{"tall.png 113x200", "wide.png 320x180"} << flat << "out";
        QTest::newRow("without --fit the size is exact") << QStringList{"--size", "80x80"} << QStringList{"tall.png 80x80", "wide.png 80x80"} << flat << "out";
        QTest::newRow("--recursive mirrors subfolders; a half rounds up")
            << QStringList{"--recursive", "--size", "40x40", "--fit"}
            << QStringList{"sub/deep/small.png 20x10", "sub/o6.png 40x20", "tall.png 23x40", "wide.png 40x23"}
            << "5 left out: 1 of another type, 2 hidden, 1 link to a folder, 1 not a file" << "out";
        QTest::newRow("--recursive never enters its own --out, spelt otherwise")
            << QStringList{"--recursive", "--size", "40x40", "--fit"}
            << QStringList{"sub/deep/small.png 20x10", "sub/o6.png 40x20", "tall.png 23x40", "wide.png 40x23"}
            << "5 left out: 1 of another type, 2 hidden, 1 link to a folder, 1 not a file" << "alias/web";
    }
    // The dry run foretells each output and its size as the real run writes
    // them, and the JSON lines report them, the same on a second run; what
    // folders hold beside is counted, the first run's output folder too.
    void fitsAndMirrors()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, written);
        QFETCH(QString, leftOut);
        QFETCH(QString, outName);
        QTemporaryDir dir;
        const QString in = dir.filePath("in"), out = dir.filePath(outName);
        QVERIFY(QDir().mkpath(in + "/sub/deep") && QDir().mkpath(in + "/.hid"));
        QImage picture(160, 90, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(in + "/wide.png") && picture.transformed(QTransform().rotate(90)).save(in + "/tall.png")
                && picture.scaled(20, 10).save(in + "/sub/deep/small.bmp") && picture.save(in + "/.hidden.png")
                && QFile::copy(KESTRUNE_TEST_DATA "/orientation/orientation-6.jpg", in + "/sub/o6.jpg")
                && QFile::copy(KESTRUNE_TEST_DATA "/sources/pillow.bmp", in + "/notes.txt"));
        QVERIFY(mkfifo(QFile::encodeName(in + "/fifo.png"), 0600) == 0 && symlink("sub", QFile::encodeName(in + "/link")) == 0
                && symlink("in", QFile::encodeName(dir.filePath("alias"))) == 0);
        const QStringList arguments = QStringList{"convert", "--to", "png", "--out", out} + options + QStringList{in};

        const testprogram::Run dry = testprogram::run(KESTRUNE_PROGRAM, arguments + QStringList{"--dry-run"});
        QCOMPARE(dry.status, 0);
        QVERIFY2(dry.out.contains(", " + leftOut + "; nothing was written. " + in + "/fifo.png is a named pipe"), qPrintable(dry.out));
        QVERIFY(!QFileInfo::exists(out));
        QStringList foretold, reported, found;
        const QRegularExpression planned(" -> " + out + "/(.+) \\((\\d+x\\d+), new\\)$");
        for (const QString &line : dry.out.split('\n'))
            if (const QRegularExpressionMatch match = planned.match(line); match.hasMatch())
                foretold << match.captured(1) + ' ' + match.captured(2);

        for (const int second : {0, 1}) {
            const testprogram::Run run = testprogram::run(KESTRUNE_PROGRAM, arguments + QStringList{"--json"});
            QCOMPARE(run.status, 0);
            reported.clear();
            const int ownOutput = second && outName != "out";
            for (const QString &line : run.out.split('\n', Qt::SkipEmptyParts)) {
                const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
                if (object.contains("output")) {
                    reported << QDir(out).relativeFilePath(object["output"].toString())
                                    + QStringLiteral(" %1x%2").arg(object["width"].toInt()).arg(object["height"].toInt());
                } else {
                    QCOMPARE(object["left out"].toInt(), leftOut.section(' ', 0, 0).toInt() + ownOutput);
                    QCOMPARE(object["output folders"].toInt(), ownOutput);
                }
            }
            reported.sort();
            QCOMPARE(reported, written);
        }
        for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            const QSize size = QImageReader(path).size();
            found << QDir(out).relativeFilePath(path) + QStringLiteral(" %1x%2").arg(size.width()).arg(size.height());
        }
        for (QStringList *list : {&foretold, &found})
            list->sort();
        QCOMPARE(found, written);
        QCOMPARE(foretold, written);
    }

    void rolloverIsTheWindows_data()
    {
        QTest::addColumn<QString>("cuts");
        QTest::newRow("cut lines given out of order") << "110,57";
        QTest::newRow("cut lines found from the plates") << "auto";
    }
    // The same pieces and page as the window's "Generate JPGS and Scripts"
    // with the same plates (loaded as the window loads them), cut lines,
    // header and quality; the window's working plates are left as they are.
    void rolloverIsTheWindows()
    {
        QFETCH(QString, cuts);
        QTemporaryDir dir;
        const testmenus::Menu menu = testmenus::menu(4, testmenus::Look::Box, true, true, 11);
        const QStringList plates{dir.filePath("normal.bmp"), dir.filePath("highlight.jpg"), dir.filePath("selected.jpg")};
        QVERIFY(menu.normal.save(plates[0]) && menu.highlight.save(plates[1]) && menu.selected.save(plates[2]));

        testrollover::Run generate;
        QImage loaded[rollover::kPlateCount];
        for (rollover::Plate plate : rollover::kPlates) {
            const rollover::PlateLoad load = rollover::loadPlate(plate, plates[int(plate)], generate.plateReader);
            QVERIFY2(load.outcome == rollover::PlateLoad::Outcome::Loaded, qPrintable(load.message));
            loaded[int(plate)] = load.picture;
        }
        const QList<int> rows = cuts == "auto" ? rollover::findCuts(loaded[0], loaded[1]).cuts : QList<int>{57, 110};
        QCOMPARE(generate.go(rows, {"80", "nav"}), rollover::GenerateRun::Outcome::Finished);
        const QDateTime plateWritten = QFileInfo(common::platePath(0)).lastModified();

        const testprogram::Run run = testprogram::run(KESTRUNE_PROGRAM, {"rollover", plates[0], plates[1], plates[2], "--cuts",
                                                                         cuts, "--header", "nav", "--quality", "80",
                                                                         "--out", dir.filePath("menu")});
        QCOMPARE(run.status, 0);
        const QStringList written = contents(common::outputFolder()); // three plates' pieces and the page
        QCOMPARE(written.size(), 3 * (rows.size() + 1) + 1);
        QCOMPARE(contents(dir.filePath("menu")), written);
        QCOMPARE(QFileInfo(common::platePath(0)).lastModified(), plateWritten);
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
