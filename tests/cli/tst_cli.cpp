#include "fakes.h"
#include "../support/menus.h"
#include "../support/pictures.h"
#include "../support/program.h"
#include "common/nativename.h"
#include "common/paths.h"
#include "convert/batchengine.h"
#include "convert/sourcefiles.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/plateloader.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every file under `root`, subfolders included, with a digest of its bytes.
QStringList contents(const QString &root)
{
    QStringList files;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        files << QDir(root).relativeFilePath(file.fileName()) + (file.open(QIODevice::ReadOnly)
            ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex() : "(unreadable)");
    }
    files.sort();
    return files;
}

bool writeNative(const QByteArray &path, const QByteArray &bytes)
{
    FILE *file = std::fopen(path.constData(), "wb");
    const bool written = file && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file) == size_t(bytes.size());
    return file && std::fclose(file) == 0 && written;
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
                                       {"pillow-rle.tga", "notes.txt"}, {"../hostile/cases.tsv", "broken.bmp"}})
            QVERIFY(QFile::copy(data + from, source + '/' + to));
        m_places = {{"SRC", source}, {"FULL", m_dir.filePath("full")}, {"NONE", m_dir.filePath("none")}};
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
        row("unknown type", {"convert", "--to", "gif", "--out", "FULL", "SRC"}, 2, "the type \"gif\" is not one of");
        row("bad size", {"convert", "--size", "640", "--out", "FULL", "SRC"}, 2, "the size \"640\" is not own");
        row("no output folder", {"convert", "--out", "NONE", "SRC"}, 2, "does not exist");
        row("nothing to convert", {"convert", "--to", "png"}, 2, "no file or folder to convert");
        row("cut below row 768", {"rollover", "a", "b", "c", "--cuts", "57,769", "--out", "NONE"}, 2, "\"769\" is not a row");
        row("header with a separator", {"rollover", "a", "b", "c", "--cuts", "5", "--header", "a/b", "--out", "NONE"}, 2, "separator");
        row("output folder not empty", {"rollover", "a", "b", "c", "--cuts", "5", "--out", "FULL"}, 2, "is not empty");
    }
    // Help and usage errors write nothing, and a usage error says why.
    void exitsAndSays()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        for (QString &argument : arguments)
            argument = m_places.value(argument, argument);
        const testprogram::Run run = testprogram::run(KESTRUNE_PROGRAM, arguments);
        QCOMPARE(run.status, status);
        QVERIFY2((status ? run.err : run.out).contains(said) && (status || run.err.isEmpty()), qPrintable(run.out + run.err));
        QCOMPARE(QDir(m_places["FULL"]).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"kept"});
        QVERIFY(!QFileInfo::exists(m_places["NONE"]));
    }

    void runsLoseNothing_data()
    {
        QTest::addColumn<QStringList>("files");     // name=fixture of sources/, =| a named pipe, =>target a link, =/ a folder
        QTest::addColumn<QStringList>("arguments"); // DIR and OUT stand for the run's folders
        QTest::addColumn<int>("status");            // -1: any
        QTest::addColumn<QStringList>("said");      // each on the standard output or error
        QTest::addColumn<QString>("first");         // the first file afterwards: "kept", "replaced" or ""
        QTest::addColumn<QStringList>("outputs");   // OUT's files, names shown
        const QString raw = common::nameFromNative("bad\xff\xfe" "bytes.png");
        const QString written = "Cannot convert DIR/a.%1: OUT/a.jpg was already written from DIR/a.bmp in this run.";
        QTest::newRow("outputs of one run never replace each other")
            << QStringList{"a.bmp=imagemagick-v5.bmp", "a.png=pillow-palette-transparent.png", "a.tga=pillow-rle.tga"}
            << QStringList{"--out", "OUT", "DIR"} << 1
            << QStringList{written.arg("png"), written.arg("tga"), "1 converted, 2 failed.\n"} << "kept" << QStringList{"a.jpg"};
        QTest::newRow("a source is kept without --in-place") << QStringList{"shot.jpg=pillow-progressive.jpg", "b.bmp=pillow.bmp"}
            << QStringList{"--size", "40x30", "DIR"} << 1
            << QStringList{"Cannot convert DIR/shot.jpg: the output DIR/shot.jpg would replace its source; use --in-place to allow it.",
                           "1 converted, 1 failed.\n"} << "kept" << QStringList{};
        QTest::newRow("--in-place replaces it") << QStringList{"shot.jpg=pillow-progressive.jpg"}
            << QStringList{"--in-place", "--size", "40x30", "DIR"} << 0 << QStringList{"1 converted, 0 failed.\n"}
            << "replaced" << QStringList{};
        QTest::newRow("a name not UTF-8 is listed, a named pipe and a link to one are left out") // the first is no picture
            << QStringList{raw + "=../hostile/cases.tsv", "fifo.png=|", "link.png=>fifo.png", raw + ".out=/"}
            << QStringList{"--out", "DIR/" + raw + ".out", "DIR"}
            << 1 << QStringList{"0 converted, 1 failed. 2 files were left out: DIR/fifo.png is a named pipe, not a file; "
                                "DIR/link.png is a symbolic link to a named pipe, not a file.\n"}
            << "" << QStringList{};
        QTest::newRow("end to end: a name not UTF-8 named outright") << QStringList{raw + "=pillow.bmp"}
            << QStringList{"--to", "bmp", "--out", "OUT", "DIR/" + raw} << 0 << QStringList{"1 converted, 0 failed.\n"}
            << "" << QStringList{"bad\\xFF\\xFEbytes.bmp"};
    }
    // A run replaces neither an output it wrote nor a source unless told to;
    // names are taken as the system's bytes, and what a folder holds that is
    // not a file is left out, and said.
    void runsLoseNothing()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, said);
        QFETCH(QString, first);
        QFETCH(QStringList, outputs);
        QTemporaryDir dir;
        const QString in = dir.filePath("in"), out = dir.filePath("out");
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        const auto removeRawNames = qScopeGuard([&] { // which QTemporaryDir cannot name
            QList<convert::FolderEntry> entries;
            QString error;
            for (const QString &folder : {in, out})
                for (convert::listFolder(folder, &entries, &error); const convert::FolderEntry &entry : entries)
                    unlink(common::nativeName(folder + '/' + entry.name).constData()),
                        rmdir(common::nativeName(folder + '/' + entry.name).constData());
        });
        for (const QString &file : files) {
            const QString name = file.section('=', 0, 0), what = file.section('=', 1);
            const QByteArray path = common::nativeName(in + '/' + name);
            if (what == "|")
                QVERIFY(mkfifo(path.constData(), 0600) == 0);
            else if (what == "/")
                QVERIFY(mkdir(path.constData(), 0700) == 0);
            else if (what.startsWith('>'))
                QVERIFY(symlink(what.mid(1).toUtf8().constData(), path.constData()) == 0);
            else
                QVERIFY(writeNative(path, testpictures::readAll(KESTRUNE_TEST_DATA "/sources/" + what)));
        }
        const QString firstFile = in + '/' + files[0].section('=', 0, 0);
        const QByteArray before = first.isEmpty() ? QByteArray() : testpictures::readAll(firstFile);
        for (QString &argument : arguments)
            argument.replace("DIR", in).replace("OUT", out);
        const testprogram::Run run = runWithBytes(QStringList{"convert"} + arguments);
        if (status >= 0)
            QCOMPARE(run.status, status);
        for (QString text : said)
            QVERIFY2((run.out + run.err).contains(text.replace("DIR", in).replace("OUT", out)), qPrintable(run.out + run.err));
        if (!first.isEmpty())
            QCOMPARE(testpictures::readAll(firstFile) == before, first == "kept");
        QStringList shown;
        for (const QString &name : convert::matchingFiles(out, "*.*"))
            shown << common::shownName(name);
        QCOMPARE(shown, outputs);
    }

    void convertIsTheEngines_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<convert::FileChoices>("choices"); // the window's controls for the same run
        QTest::addColumn<double>("quality");               // 0: the instance's own
        QTest::addColumn<QString>("pattern");
        using S = convert::SizeChoice;
        const QString all = convert::defaultTypePattern();
        QTest::newRow("PNG at 800x600, all types") << QStringList{"--to", "PNG", "--size", "800x600"}
            << convert::FileChoices{{}, {}, 0, S::Size800x600, {}, {}, "png", {}} << 0.0 << all;
        QTest::newRow("JPEG at quality 30, own size, bmp and pcx only")
            << QStringList{"--quality", "30", "--type-filter", "bmp,PCX", "--jobs", "1"}
            << convert::FileChoices{{}, {}, 0, S::OneToOne, {}, {}, "jpg", {}} << 30.0 << "*.bmp;*.pcx";
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
        QVERIFY2(run.out.contains(QStringLiteral("%1 converted, 1 failed.").arg(names.size() - 1)), qPrintable(run.out));
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

        imaging::ImageMan imageMan1, imageMan3;
        QImage loaded[rollover::kPlateCount];
        for (rollover::Plate plate : rollover::kPlates) {
            const rollover::PlateLoad load = rollover::loadPlate(plate, plates[int(plate)], imageMan1);
            QVERIFY2(load.outcome == rollover::PlateLoad::Outcome::Loaded, qPrintable(load.message));
            loaded[int(plate)] = load.picture;
        }
        const QList<int> rows = cuts == "auto" ? rollover::findCuts(loaded[0], loaded[1]).cuts : QList<int>{57, 110};
        rollover::CutLineList lines;
        for (int row : rows)
            lines.release(rollover::CutLineList::kLeftButton, row);
        fakes::Dialogs dialogs;
        dialogs.inputAnswers = {"80", "nav"};
        dialogs.yesNoAnswers = {true};
        fakes::Clipboard clipboard;
        rollover::GenerateRun generate(dialogs, clipboard, imageMan1, imageMan3);
        QCOMPARE(generate.run(lines), rollover::GenerateRun::Outcome::Finished);
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
