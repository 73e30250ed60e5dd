#include "../app/fakes.h"
#include "../support/menus.h"
#include "common/paths.h"
#include "convert/batchengine.h"
#include "convert/sourcefiles.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/plateloader.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

// The real program, with no display of any kind to fall back on.
Run kestrune(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KESTRUNE_PROGRAM), arguments);
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QStringList filled(QStringList arguments, const QMap<QString, QString> &places)
{
    for (QString &argument : arguments)
        argument = places.value(argument, argument);
    return arguments;
}

QByteArray bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The same names and the same bytes in both folders, subfolders included.
void compareFolders(const QString &actual, const QString &expected)
{
    const auto names = [](const QString &folder) { return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name); };
    QCOMPARE(names(actual), names(expected));
    QVERIFY(!names(expected).isEmpty());
    for (const QString &name : names(expected)) {
        if (QFileInfo(expected + u'/' + name).isDir())
            compareFolders(actual + u'/' + name, expected + u'/' + name);
        else
            QVERIFY2(bytes(actual + u'/' + name) == bytes(expected + u'/' + name), qPrintable(name));
    }
}

} // namespace

Q_DECLARE_METATYPE(convert::FileChoices)

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void helpAndVersion_data();
    void helpAndVersion();
    void usageErrors_data();
    void usageErrors();
    void convertIsTheEngines_data();
    void convertIsTheEngines();
    void rolloverIsTheWindows_data();
    void rolloverIsTheWindows();

private:
    QTemporaryDir m_dir;
    QMap<QString, QString> m_places;
};

// A source folder as the window lists it: pictures other programs wrote,
// names in both letter cases, a broken file, a hidden one and a text file.
void TestCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString source = m_dir.filePath(QStringLiteral("source"));
    QVERIFY(QDir().mkpath(source) && QDir().mkpath(m_dir.filePath(QStringLiteral("full/kept"))));
    const QString data = QStringLiteral(KESTRUNE_TEST_DATA "/sources/");
    for (const auto &[from, to] : {std::pair{"imagemagick-v5.bmp", "photo.bmp"}, {"pillow-3plane.pcx", "Scan.PCX"},
                                   {"pillow-progressive.jpg", "shot.jpg"}, {"pillow-palette-transparent.png", "logo.png"},
                                   {"pillow.bmp", ".hidden.bmp"}, {"pillow-rle.tga", "notes.txt"}})
        QVERIFY(QFile::copy(data + QLatin1String(from), source + u'/' + QLatin1String(to)));
    QFile broken(source + QStringLiteral("/broken.bmp"));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("this is no picture\n") > 0);
    m_places = {{QStringLiteral("SRC"), source}, {QStringLiteral("FULL"), m_dir.filePath(QStringLiteral("full"))},
                {QStringLiteral("NONE"), m_dir.filePath(QStringLiteral("none"))}};
}

void TestCli::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("shown");
    QTest::newRow("--help names both commands") << QStringList{"--help"} << "kestrune rollover NORMAL";
    QTest::newRow("--version") << QStringList{"--version"} << "kestrune " KESTRUNE_VERSION "\n";
    QTest::newRow("convert --help") << QStringList{"convert", "--help"} << "--type-filter <TYPES>";
    QTest::newRow("rollover --help") << QStringList{"rollover", "--help"} << "--cuts <ROWS>";
}

void TestCli::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, shown);
    const Run run = kestrune(arguments);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(shown), qPrintable(run.out));
    QCOMPARE(run.err, QString());
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, QStringList arguments, const char *reason) {
        QTest::newRow(name) << arguments << QString::fromLatin1(reason);
    };
    row("unknown type", {"convert", "--to", "gif", "--out", "FULL", "SRC"}, "the type \"gif\" is not one of");
    row("bad size", {"convert", "--size", "640", "--out", "FULL", "SRC"}, "the size \"640\" is not own");
    row("size beyond 32 bits", {"convert", "--size", "99999999999x5", "SRC"}, "is too large");
    row("quality not a number", {"convert", "--quality", "high", "SRC"}, "the quality \"high\" is not a number");
    row("no jobs", {"convert", "--jobs", "0", "SRC"}, "the number of jobs \"0\"");
    row("missing value", {"convert", "SRC", "--to"}, "Missing value after '--to'");
    row("unknown option", {"convert", "--colour", "SRC"}, "Unknown option 'colour'");
    row("no output folder", {"convert", "--out", "NONE", "SRC"}, "does not exist");
    row("unknown type in the filter", {"convert", "--type-filter", "jpg,gif", "SRC"}, "\"gif\" in --type-filter");
    row("nothing to convert", {"convert", "--to", "png"}, "no file or folder to convert");
    row("two plates", {"rollover", "a.bmp", "b.bmp", "--cuts", "5", "--out", "NONE"}, "three plates are needed");
    row("no cuts", {"rollover", "a.bmp", "b.bmp", "c.bmp", "--out", "NONE"}, "--cuts is missing");
    row("cut below row 768", {"rollover", "a.bmp", "b.bmp", "c.bmp", "--cuts", "57,769", "--out", "NONE"},
        "the cut line \"769\" is not a row from 0 to 768");
    row("header with a separator", {"rollover", "a.bmp", "b.bmp", "c.bmp", "--cuts", "5", "--header", "a/b", "--out", "NONE"},
        "path separator");
    row("output folder not empty", {"rollover", "a.bmp", "b.bmp", "c.bmp", "--cuts", "5", "--out", "FULL"},
        "is not empty: name a new or empty folder");
}

// Refused with status 2 and the reason before anything is written.
void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const Run run = kestrune(filled(arguments, m_places));
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QCOMPARE(QDir(m_places["FULL"]).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"kept"});
    QVERIFY(!QFileInfo::exists(m_places["NONE"]));
}

void TestCli::convertIsTheEngines_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<convert::FileChoices>("choices"); // the window's controls for the same run
    QTest::addColumn<double>("quality");               // 0: the instance's own
    QTest::addColumn<QString>("pattern");
    using S = convert::SizeChoice;
    const QString all = convert::defaultTypePattern();
    QTest::newRow("PNG at 800x600, all types")
        << QStringList{"--to", "PNG", "--size", "800x600"} << convert::FileChoices{{}, {}, 0, S::Size800x600, {}, {}, "png", {}} << 0.0 << all;
    QTest::newRow("JPEG at quality 30, own size, bmp and pcx only")
        << QStringList{"--quality", "30", "--type-filter", "bmp,PCX", "--jobs", "1"}
        << convert::FileChoices{{}, {}, 0, S::OneToOne, {}, {}, "jpg", {}} << 30.0 << "*.bmp;*.pcx";
    QTest::newRow("TGA at 3x40 raised to the least custom size")
        << QStringList{"--to", "tga", "--size", "3x40"} << convert::FileChoices{{}, {}, 0, S::Custom, "3", "40", "tga", {}} << 0.0 << all;
}

// The command's files are the engine's, byte for byte, when the engine is
// given what the window's controls would say; a broken file fails alone.
void TestCli::convertIsTheEngines()
{
    QFETCH(QStringList, options);
    QFETCH(convert::FileChoices, choices);
    QFETCH(double, quality);
    QFETCH(QString, pattern);
    QTemporaryDir out;
    QVERIFY(out.isValid() && QDir().mkpath(out.filePath("cli")) && QDir().mkpath(out.filePath("engine")));
    const QString source = m_places["SRC"];

    const Run run = kestrune(QStringList{"convert"} + options + QStringList{"--out", out.filePath("cli"), source});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QDir::toNativeSeparators(source + "/broken.bmp")), qPrintable(run.err));

    const QStringList names = convert::matchingFiles(source, pattern);
    QStringList paths;
    for (const QString &name : names)
        paths.append(source + u'/' + name);
    convert::EngineOptions engineOptions;
    if (quality > 0)
        engineOptions.convert = [quality](const convert::ConversionJob &job, auto, const imaging::CancelFlag &) {
            imaging::ImageMan imageMan;
            imageMan.setJpegQuality(quality);
            return convert::convertFile(imageMan, job);
        };
    convert::BatchEngine engine(engineOptions);
    QSignalSpy finished(&engine, &convert::BatchEngine::finished);
    choices.folder = source;
    choices.count = names.size();
    choices.destination = out.filePath("engine");
    engine.start(paths, [&](qsizetype position) {
        choices.name = names[position];
        return choices;
    });
    QVERIFY(finished.wait(240000));
    compareFolders(out.filePath("cli"), out.filePath("engine"));
    QVERIFY2(run.out.contains(QStringLiteral("%1 converted, 1 failed.").arg(names.size() - 1)), qPrintable(run.out));
}

void TestCli::rolloverIsTheWindows_data()
{
    QTest::addColumn<QString>("cuts");
    QTest::newRow("cut lines given out of order") << "110,57";
    QTest::newRow("cut lines found from the plates") << "auto";
}

// The same pieces and page as the window's "Generate JPGS and Scripts" with
// the same plates (loaded as the window loads them), cut lines, header and
// quality; the window's working plates are left as they are.
void TestCli::rolloverIsTheWindows()
{
    QFETCH(QString, cuts);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const testmenus::Menu menu = testmenus::menu(4, testmenus::Look::Box, true, true, 11);
    const QStringList plates{dir.filePath("normal.bmp"), dir.filePath("highlight.jpg"), dir.filePath("selected.jpg")};
    QVERIFY(menu.normal.save(plates[0]) && menu.highlight.save(plates[1]) && menu.selected.save(plates[2]));

    QDir(common::outputFolder()).removeRecursively();
    imaging::ImageMan imageMan1, imageMan3;
    QImage loaded[rollover::kPlateCount];
    for (rollover::Plate plate : rollover::kPlates) {
        const rollover::PlateLoad load = rollover::loadPlate(plate, plates[int(plate)], imageMan1);
        QVERIFY2(load.outcome == rollover::PlateLoad::Outcome::Loaded, qPrintable(load.message));
        loaded[int(plate)] = load.picture;
    }
    QList<int> rows{57, 110};
    if (cuts == "auto")
        rows = rollover::findCuts(loaded[0], loaded[1]).cuts;
    rollover::CutLineList lines;
    for (int row : rows)
        lines.release(rollover::CutLineList::kLeftButton, row);
    fakes::Dialogs dialogs;
    dialogs.inputAnswers = {"80", "nav"};
    dialogs.yesNoAnswers = {true};
    fakes::Clipboard clipboard;
    rollover::GenerateRun generate(dialogs, clipboard, imageMan1, imageMan3);
    QCOMPARE(generate.run(lines), rollover::GenerateRun::Outcome::Finished);
    const QByteArray workingPlate = bytes(common::platePath(0));

    const Run run = kestrune({"rollover", plates[0], plates[1], plates[2], "--cuts", cuts, "--header", "nav",
                              "--quality", "80", "--out", dir.filePath("menu")});
    QCOMPARE(run.status, 0);
    QStringList texts;
    for (int row : rows)
        texts.append(QString::number(row));
    QVERIFY2(run.out.contains("Cut lines at rows: " + texts.join(", ") + "."), qPrintable(run.out));
    compareFolders(dir.filePath("menu"), common::outputFolder());
    QCOMPARE(bytes(common::platePath(0)), workingPlate);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
