#include "fakes.h"
#include "../support/menus.h"
#include "../support/program.h"
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
#include <QTest>

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
                                       {"../metadata/everything.jpg", "tagged.jpg"}})
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
        QTest::newRow("JPEG keeping all metadata, bmp and jpg only")
            << QStringList{"--keep-metadata", "--type-filter", "bmp,jpg"}
            << convert::FileChoices{{}, {}, 0, S::OneToOne, {}, {}, "jpg", {}, true} << 0.0 << "*.bmp;*.jpg";
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
