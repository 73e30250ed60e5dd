#include "pictures.h"
#include "rolloverrun.h"
#include "common/paths.h"
#include "rollover/pagetext.h"
#include "rollover/plateloader.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <numeric>
#include <sys/resource.h>

using namespace rollover;
using testrollover::Run;
using L = QList<int>;
using Outcome = GenerateRun::Outcome;

namespace {

// Each plate has its own colour above the first cut line and another below,
// so a piece tells which plate and which rows it was cut from.
const QColor kUpper[kPlateCount] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200)};
const QColor kLower[kPlateCount] = {QColor(240, 240, 40), QColor(40, 240, 240), QColor(240, 40, 240)};

bool near(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) < 24;
}

// Working plates 126 pixels wide of the given heights, the lower colour from
// row `split` on; a height of 0 leaves that plate out, -1 makes it unreadable.
void writePlates(const L &heights, int split)
{
    QVERIFY(QDir().mkpath(QFileInfo(common::platePath(0)).absolutePath()));
    for (Plate plate : kPlates) {
        if (heights[int(plate)] < 0)
            testpictures::writeBytes(common::platePath(int(plate)), "BM and nothing more");
        if (heights[int(plate)] <= 0)
            continue;
        QImage picture(126, heights[int(plate)], QImage::Format_RGB32);
        picture.fill(kUpper[int(plate)]);
        QPainter(&picture).fillRect(0, split, 126, picture.height(), kLower[int(plate)]);
        QVERIFY(picture.save(common::platePath(int(plate)), "BMP"));
    }
}

} // namespace

// The rollover builder's steps that read and write files: loading a plate,
// and "Generate JPGS and Scripts" cutting the plates and writing the page.
class TestRolloverFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void plateLoads();
    void stopsEarly_data();
    void stopsEarly();
    void piecesPageAndFailures_data();
    void piecesPageAndFailures();

private:
    QString writeSource(const QString &name, QSize size, QColor colour);

    QTemporaryDir m_dir;
};

// Written by our own writers, so that a Photo CD source can be made too.
QString TestRolloverFiles::writeSource(const QString &name, QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    imaging::ImageMan writer;
    if (!writer.setImage(picture, name) || !writer.saveImage(m_dir.filePath(name)))
        qWarning("cannot write %s", qPrintable(name));
    return m_dir.filePath(name);
}

void TestRolloverFiles::init()
{
    QVERIFY(m_dir.isValid());
    QDir(common::outputFolder()).removeRecursively();
    const QString plates = QFileInfo(common::platePath(0)).absolutePath();
    QFile::remove(plates);
    QDir(plates).removeRecursively();
    imaging::clearHeldPicture();
}

// A picked plate replaces the one loaded before with its working bitmap, read
// back for showing: a Photo CD picture shows at its base size. A failing step
// leaves nothing to show and names the file.
void TestRolloverFiles::plateLoads()
{
    fakes::Dialogs dialogs;
    imaging::ImageMan plateReader;
    const QString old = writeSource(QStringLiteral("old.bmp"), QSize(20, 30), Qt::red);
    dialogs.fileAnswers = {old, writeSource(QStringLiteral("menu.pcd"), QSize(200, 150), Qt::blue)};
    QCOMPARE(askAndLoadPlate(Plate::Selected, dialogs, plateReader).outcome, PlateLoad::Outcome::Loaded);
    const PlateLoad loaded = askAndLoadPlate(Plate::Selected, dialogs, plateReader);
    QVERIFY2(loaded.outcome == PlateLoad::Outcome::Loaded, qPrintable(loaded.message));
    QCOMPARE(dialogs.fileRequests.last().title, QStringLiteral("Load Image"));
    QVERIFY(dialogs.fileRequests.last().prompt.startsWith("Pictures (*.bmp;*.jpg;*.tif;*.pcd) (*.bmp *.jpg *.tif *.pcd);;All pictures"));
    QCOMPARE(loaded.platePath, common::platePath(2));
    QVERIFY(testpictures::readAll(loaded.platePath).startsWith("BM"));
    QCOMPARE(loaded.picture.size(), QSize(768, 512));
    QCOMPARE(QImage(loaded.platePath).size(), QSize(768, 512));

    // A file where the plates' folder belongs: no permission trick, so this
    // holds also when the tests run as root.
    const QString folder = QFileInfo(common::platePath(0)).absolutePath();
    QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
    dialogs.fileAnswers = {old};
    const PlateLoad blocked = askAndLoadPlate(Plate::Highlight, dialogs, plateReader);
    QCOMPARE(blocked.outcome, PlateLoad::Outcome::Failed);
    QVERIFY(blocked.picture.isNull());
    QVERIFY2(blocked.message.contains(QDir::toNativeSeparators(common::platePath(1))), qPrintable(blocked.message));
}

void TestRolloverFiles::stopsEarly_data()
{
    QTest::addColumn<L>("plates"); // heights as writePlates() takes them; one cut line at row 10
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<bool>>("confirm");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("emptied");
    QTest::addColumn<QString>("refusal"); // how the one message begins

    const L plates{30, 30, 30};
    QTest::newRow("an empty rate changes nothing") << plates << QStringList{""} << QList<bool>{} << Outcome::RateCancelled << 42 << false << "";
    QTest::newRow("No at the confirmation changes only the rate, brought into 20 to 100")
        << plates << QStringList{"150"} << QList<bool>{false} << Outcome::NotConfirmed << 100 << false << "";
    QTest::newRow("cancel at the header leaves the folders emptied of files, subfolders kept")
        << plates << QStringList{"75%", ""} << QList<bool>{true} << Outcome::HeaderCancelled << 75 << true << "";
    // Asked again rather than writing outside the images folder.
    QTest::newRow("a header with a path is refused and asked for again")
        << plates << QStringList{"90", "/tmp/evil", ""} << QList<bool>{true} << Outcome::HeaderCancelled << 90 << true
        << "The file name header \"/tmp/evil\" cannot be used: it holds the path separator \"/\"";
    // Refused before anything is asked, deleted or written.
    const QStringList go{"90", "TST"};
    QTest::newRow("no working plates yet") << L{0, 0, -1} << go << QList<bool>{true} << Outcome::PlatesRefused << 42 << false << "Load the three plates first.";
    QTest::newRow("a taller highlight plate") << L{30, 40, 30} << go << QList<bool>{true} << Outcome::PlatesRefused << 42 << false
        << QStringLiteral("The three plates must have one size, since their pieces are cut along the same rows: the normal plate %1 is 126 x 30 pixels, "
                          "the highlight plate %2 is 126 x 40").arg(QDir::toNativeSeparators(common::platePath(0)), QDir::toNativeSeparators(common::platePath(1)));
    QTest::newRow("the cut line on the plates' last row") << L{11, 11, 11} << go << QList<bool>{true} << Outcome::PlatesRefused << 42 << false
        << "The cut line at row 10 lies outside the plates, which are 11 rows high";
}

void TestRolloverFiles::stopsEarly()
{
    QFETCH(L, plates);
    QFETCH(QStringList, answers);
    QFETCH(QList<bool>, confirm);
    QFETCH(Outcome, outcome);
    QFETCH(int, quality);
    QFETCH(bool, emptied);
    QFETCH(QString, refusal);
    const bool refused = outcome == Outcome::PlatesRefused;

    writePlates(plates, 5);

    const QString out = common::outputFolder();
    QVERIFY(QDir().mkpath(out + QStringLiteral("/keep/deeper")) && QDir().mkpath(common::imagesFolder()));
    const QStringList files{"/old.txt", "/.hidden", "/noextension", "/images/TSTa0.jpg", "/keep/inner.txt"};
    for (const QString &name : files)
        testpictures::writeBytes(out + name, "x");
    Run run;
    run.pieceWriter.setJpegQuality(42);
    QCOMPARE(run.go({10}, answers, confirm), outcome);
    QCOMPARE(run.pieceWriter.jpegQuality(), quality);

    QStringList asked;
    for (const fakes::Dialogs::Question &input : std::as_const(run.dialogs.inputs) + run.dialogs.questions)
        asked.append(input.title + u'|' + input.prompt + u'|' + input.defaultText);
    const QString header = QStringLiteral("File Name Header|Enter in the left first three charachters of the file names.|TST");
    QStringList expected = QStringList{"JPG Compression|Enter in the compression rate for JPG's|100", header, header}.first(refused ? 0 : answers.size());
    if (!confirm.isEmpty() && !refused)
        expected.append(QStringLiteral("Saving File Pieces|All files will be written to the %1 directory, all existing files in this directory will be deleted. Do you want to proceed?|")
                            .arg(QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/parse"))));
    QCOMPARE(asked, expected);
    for (const QString &name : files)
        QCOMPARE(QFileInfo::exists(out + name), !emptied || name.startsWith(QLatin1String("/keep/")));
    QVERIFY(QFileInfo(out + QStringLiteral("/keep/deeper")).isDir() && QFileInfo(common::imagesFolder()).isDir());
    QVERIFY(run.clipboard.clears == 0 && run.clipboard.texts.isEmpty());
    QCOMPARE(run.dialogs.messages.size(), refusal.isEmpty() ? 0 : 1);
    QCOMPARE(run.dialogs.messages.value(0).title,
             refusal.isEmpty() ? QString() : QString::fromLatin1(refused ? "Saving File Pieces" : "File Name Header"));
    QVERIFY2(refusal.isEmpty() || run.dialogs.messages.value(0).text.startsWith(refusal), qPrintable(run.dialogs.messages.value(0).text));
}

void TestRolloverFiles::piecesPageAndFailures_data()
{
    QTest::addColumn<L>("lines");
    QTest::addColumn<int>("plateHeight");
    QTest::addColumn<QString>("header");
    QTest::addColumn<L>("heights");          // per plate, per piece; 0: not written
    QTest::addColumn<QString>("blocked");    // what stands where the page or the images folder belongs, or a size limit
    QTest::addColumn<QStringList>("named");  // each in the failures and in the one message
    QTest::addColumn<int>("failureCount");

    QTest::newRow("plates cut at the same rows, header with blank and ampersand")
        << L{57} << 179 << "a &b" << L{58, 121, 58, 121, 58, 121} << "" << QStringList() << 0;
    QTest::newRow("lines on the top row and above the last: pieces of one row")
        << L{0, 177} << 179 << "TST" << L{1, 177, 1, 1, 177, 1, 1, 177, 1} << "" << QStringList() << 0;
    QTest::newRow("no line, a folder in the page's way: reported, no temporary file left")
        << L{} << 30 << "TST" << L{30, 30, 30} << "page" << QStringList{QDir::toNativeSeparators(common::pagePath())} << 1;
    // No file may grow past 16 bytes, as on a full disk: no page is left cut short.
    QTest::newRow("no line, files limited to 16 bytes: reported, nothing written")
        << L{} << 30 << "TST" << L{0, 0, 0} << "size limit" << QStringList{"TSTa0.jpg", QDir::toNativeSeparators(common::pagePath())} << 5;
    L lines(30);
    std::iota(lines.begin(), lines.end(), 100);
    // The file is emptied away with the output folder's files, so no folder is there to take the pieces.
    QTest::newRow("thirty lines, a file where the images folder belongs: one message, its list shortened")
        << lines << 200 << "TST" << L(3 * 31, 0) << "images" << QStringList{"TSTa1.jpg", QDir::toNativeSeparators(common::imagesFolder())} << 1 + 4 * 31;
}

void TestRolloverFiles::piecesPageAndFailures()
{
    QFETCH(L, lines);
    QFETCH(int, plateHeight);
    QFETCH(QString, header);
    QFETCH(L, heights);
    QFETCH(QString, blocked);
    QFETCH(QStringList, named);
    QFETCH(int, failureCount);
    const bool pageBlocked = blocked == u"page" || blocked == u"size limit";

    writePlates(L(3, plateHeight), lines.value(0, 1000) + 1);
    // A first run under another header: nothing of it may survive the second.
    QCOMPARE(Run().go({20, 25}, {"100", "OLD"}), Outcome::Finished);
    if (blocked == u"page")
        QVERIFY(QFile::remove(common::pagePath()) && QDir().mkpath(common::pagePath()));
    if (blocked == u"images")
        QVERIFY(QDir(common::imagesFolder()).removeRecursively() && QFile(common::imagesFolder()).open(QIODevice::WriteOnly));
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    if (blocked == u"size limit") {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = unlimited;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    Run run;
    const Outcome outcome = run.go(lines, {"90", header});
    setrlimit(RLIMIT_FSIZE, &unlimited);
    QCOMPARE(outcome, Outcome::Finished);

    const int pieces = int(lines.size()) + 1;
    QStringList expectedFiles;
    QList<QSize> backSizes;
    for (Plate plate : kPlates) {
        for (int n = 0; n < pieces; ++n) {
            const QSize size(heights[int(plate) * pieces + n] ? 126 : 0, heights[int(plate) * pieces + n]);
            if (plate == Plate::Back)
                backSizes.append(size);
            if (size.isEmpty())
                continue;
            const QString name = pieceFileName(header, plate, n);
            expectedFiles.append(name);
            const QImage piece = QImageReader(common::joinPath(common::imagesFolder(), name)).read();
            QCOMPARE(piece.size(), size);
            // The cut line's row belongs to the piece above; the next row starts the one below.
            const QColor top = piece.pixelColor(piece.width() / 2, 0);
            const QColor bottom = piece.pixelColor(piece.width() / 2, piece.height() - 1);
            QVERIFY2(near(top, n == 0 ? kUpper[int(plate)] : kLower[int(plate)]), qPrintable(name));
            QVERIFY2(near(bottom, n == 0 && pieces > 1 ? kUpper[int(plate)] : top), qPrintable(name));
        }
    }
    expectedFiles.sort();
    QCOMPARE(QDir(common::imagesFolder()).entryList(QDir::Files, QDir::Name), expectedFiles);

    // Emptied after the pieces, then given the page; the file ends its last line.
    const QString page = pageText(header, backSizes);
    QCOMPARE(run.clipboard.clears, 1);
    QCOMPARE(run.clipboard.texts, QStringList{page});
    QCOMPARE(testpictures::readAll(common::pagePath()), pageBlocked ? QByteArray() : page.toUtf8() + "\r\n");
    QCOMPARE(QDir(common::outputFolder()).entryList(QDir::Files | QDir::Hidden), pageBlocked ? QStringList() : QStringList{"contents.htm"});

    // One closing message lists what failed, shortened when it is long.
    const QStringList failures = run.generate.failures();
    QCOMPARE(failures.size(), failureCount);
    for (const QString &part : named)
        QVERIFY2(failures.join(u'\n').contains(part), qPrintable(failures.join(u'\n')));
    const qsizetype listed = std::min<qsizetype>(failureCount, GenerateRun::kMaxListedFailures);
    QString said = QStringLiteral("Not everything could be written:\n\n") + failures.first(listed).join(u'\n');
    if (failureCount > listed)
        said += QStringLiteral("\n... and %1 more.").arg(failureCount - listed);
    QCOMPARE(run.dialogs.messages.size(), failureCount ? 1 : 0);
    QCOMPARE(run.dialogs.messages.value(0).title, failureCount ? QStringLiteral("Saving File Pieces") : QString());
    QCOMPARE(run.dialogs.messages.value(0).text, failureCount ? said : QString());
}

QTEST_GUILESS_MAIN(TestRolloverFiles)
#include "tst_rolloverfiles.moc"
