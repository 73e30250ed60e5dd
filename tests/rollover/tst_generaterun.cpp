#include "common/paths.h"
#include "fakes.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/pagetext.h"
#include "rollover/pieces.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTest>

using namespace rollover;
using Outcome = GenerateRun::Outcome;

namespace {

// Each plate has its own colour above the first cut line and another below,
// so a piece tells which plate and which rows it was cut from.
const QColor kUpper[kPlateCount] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200)};
const QColor kLower[kPlateCount] = {QColor(240, 240, 40), QColor(40, 240, 240), QColor(240, 40, 240)};

// Plates 126 pixels wide of the given heights; a height of 0 leaves that plate out.
void writePlates(const QList<int> &heights, int split = -1)
{
    QVERIFY(QDir().mkpath(QFileInfo(common::platePath(0)).absolutePath()));
    for (Plate plate : kPlates) {
        if (heights[int(plate)] == 0)
            continue;
        QImage picture(126, heights[int(plate)], QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixelColor(x, y, split >= 0 && y >= split ? kLower[int(plate)] : kUpper[int(plate)]);
        QVERIFY(picture.save(common::platePath(int(plate)), "BMP"));
    }
}

QStringList imageFiles()
{
    return QDir(common::imagesFolder()).entryList(QDir::Files, QDir::Name);
}

QImage readPiece(const QString &name)
{
    return QImageReader(common::joinPath(common::imagesFolder(), name)).read();
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24
        && std::abs(a.blue() - b.blue()) < 24;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Run {
    fakes::Dialogs dialogs;
    fakes::Clipboard clipboard;
    imaging::ImageMan imageMan1;
    imaging::ImageMan imageMan3;
    GenerateRun generate{dialogs, clipboard, imageMan1, imageMan3};

    Outcome go(const QList<int> &rows, const QStringList &answers = {"100", "TST"},
               const QList<bool> &confirm = {true})
    {
        CutLineList lines;
        for (int row : rows)
            lines.release(CutLineList::kLeftButton, row);
        dialogs.inputAnswers = answers;
        dialogs.yesNoAnswers = confirm;
        return generate.run(lines);
    }
};

} // namespace

class TestGenerateRun : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void compressionRate_data();
    void compressionRate();
    void stopsEarly_data();
    void stopsEarly();
    void piecesPageAndFailures_data();
    void piecesPageAndFailures();
    void qualityChangesOnlyTheBytes();
    void unusableHeaderIsAskedAgain_data();
    void unusableHeaderIsAskedAgain();
};

void TestGenerateRun::init()
{
    QDir(common::outputFolder()).removeRecursively();
    for (Plate plate : kPlates)
        QFile::remove(common::platePath(int(plate)));
    imaging::clearHeldPicture();
}

void TestGenerateRun::compressionRate_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<double>("rate");

    QTest::newRow("150 gives 100") << "150" << 100.0;
    QTest::newRow("5 gives 20") << "5" << 20.0;
    QTest::newRow("abc reads as 0 and gives 20") << "abc" << 20.0;
    QTest::newRow("55.5 stays 55.5") << "55.5" << 55.5;
    QTest::newRow("75% gives 75") << "75%" << 75.0;
    QTest::newRow("a number too large for a double gives 100") << "1e999" << 100.0;
    QTest::newRow("a large negative number gives 20") << "-1e999" << 20.0;
}

void TestGenerateRun::compressionRate()
{
    QFETCH(QString, answer);
    QFETCH(double, rate);
    QCOMPARE(rollover::compressionRate(answer), rate);
}

void TestGenerateRun::stopsEarly_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<bool>>("confirm");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("emptied");

    QTest::newRow("an empty rate changes nothing") << QStringList{""} << QList<bool>{} << Outcome::RateCancelled << 42 << false;
    QTest::newRow("No at the confirmation changes only the rate")
        << QStringList{"150"} << QList<bool>{false} << Outcome::NotConfirmed << 100 << false;
    QTest::newRow("cancel at the header leaves the folders emptied of files, subfolders kept")
        << QStringList{"80", ""} << QList<bool>{true} << Outcome::HeaderCancelled << 80 << true;
}

void TestGenerateRun::stopsEarly()
{
    QFETCH(QStringList, answers);
    QFETCH(QList<bool>, confirm);
    QFETCH(Outcome, outcome);
    QFETCH(int, quality);
    QFETCH(bool, emptied);

    const QString out = common::outputFolder();
    QVERIFY(QDir().mkpath(out + QStringLiteral("/keep/deeper")));
    QVERIFY(QDir().mkpath(common::imagesFolder()));
    const QStringList files{"/old.txt", "/.hidden", "/noextension", "/images/TSTa0.jpg", "/keep/inner.txt"};
    for (const QString &name : files) {
        QFile file(out + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    Run run;
    run.imageMan3.setJpegQuality(42);
    QCOMPARE(run.go({10}, answers, confirm), outcome);
    QCOMPARE(run.imageMan3.jpegQuality(), quality);

    QStringList asked;
    for (const fakes::Dialogs::Question &input : std::as_const(run.dialogs.inputs))
        asked.append(input.title + u'|' + input.prompt + u'|' + input.defaultText);
    QCOMPARE(asked, QStringList({"JPG Compression|Enter in the compression rate for JPG's|100",
                                 "File Name Header|Enter in the left first three charachters of the file names.|TST"})
                        .first(answers.size()));
    QCOMPARE(run.dialogs.questions.size(), confirm.size());
    if (!confirm.isEmpty()) {
        QCOMPARE(run.dialogs.questions[0].title, QStringLiteral("Saving File Pieces"));
        QCOMPARE(run.dialogs.questions[0].prompt,
                 QStringLiteral("All files will be written to the %1 directory, all existing files in this directory will be deleted. Do you want to proceed?")
                     .arg(QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/parse"))));
    }
    for (const QString &name : files)
        QCOMPARE(QFileInfo::exists(out + name), !emptied || name.startsWith(QLatin1String("/keep/")));
    QVERIFY(QFileInfo(out + QStringLiteral("/keep/deeper")).isDir());
    QVERIFY(QFileInfo(common::imagesFolder()).isDir());
    QCOMPARE(run.clipboard.clears, 0);
    QVERIFY(run.clipboard.texts.isEmpty());
    QVERIFY(run.dialogs.messages.isEmpty());
}

void TestGenerateRun::piecesPageAndFailures_data()
{
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QList<int>>("plates");   // heights; 0: the plate cannot be loaded
    QTest::addColumn<QString>("header");
    QTest::addColumn<QList<int>>("heights");  // per plate, per piece; 0: not written
    QTest::addColumn<bool>("pageBlocked");
    QTest::addColumn<QStringList>("named");   // each in the failures and in the one message
    QTest::addColumn<int>("failureCount");

    using L = QList<int>;
    const L menu{179, 179, 179};
    QTest::newRow("no line: each plate whole as piece 0") << L{} << menu << "TST" << L{179, 179, 179} << false
                                                           << QStringList() << 0;
    QTest::newRow("one line at 57 on 126 x 179 plates") << L{57} << menu << "TST" << L{58, 121, 58, 121, 58, 121}
                                                         << false << QStringList() << 0;
    QTest::newRow("lines at 0 and 100") << L{0, 100} << menu << "MENU" << L{1, 100, 78, 1, 100, 78, 1, 100, 78}
                                        << false << QStringList() << 0;
    QTest::newRow("plates of different heights cut at the same rows, header with blank and ampersand")
        << L{57} << L{179, 90, 300} << "a &b" << L{58, 121, 58, 32, 58, 242} << false << QStringList() << 0;
    // The page still refers to the highlight pieces, as it always does.
    QTest::newRow("an unloadable highlight plate: its pieces skipped, the others cut")
        << L{57} << L{179, 0, 179} << "TST" << L{58, 121, 0, 0, 58, 121} << false
        << QStringList{"TSTb0.jpg to TSTb1.jpg", QDir::toNativeSeparators(common::platePath(1))} << 1;
    // No file at all rather than the previous piece under the failed one's name.
    QTest::newRow("a piece wholly below the plates is never the previous piece")
        << L{57, 300} << menu << "TST" << L{58, 121, 0, 58, 121, 0, 58, 121, 0} << false
        << QStringList{"TSTa2.jpg not written", "TSTb2.jpg not written", "TSTc2.jpg not written",
                       "The page gives TSTa2.jpg no size"} << 4;
    QTest::newRow("a folder in the page's way: reported, no temporary file left")
        << L{} << L{30, 30, 30} << "TST" << L{30, 30, 30} << true
        << QStringList{QDir::toNativeSeparators(common::pagePath())} << 1;
    L below, heights;
    for (int row = 100; row < 130; ++row)
        below.append(row);
    for (int plate = 0; plate < kPlateCount; ++plate)
        heights << 10 << L(30, 0);
    QTest::newRow("thirty pieces below the plates: one message, its list shortened")
        << below << L{10, 10, 10} << "TST" << heights << false << QStringList{"TSTa1.jpg not written"} << 4 * 30;
}

void TestGenerateRun::piecesPageAndFailures()
{
    QFETCH(QList<int>, lines);
    QFETCH(QList<int>, plates);
    QFETCH(QString, header);
    QFETCH(QList<int>, heights);
    QFETCH(bool, pageBlocked);
    QFETCH(QStringList, named);
    QFETCH(int, failureCount);

    writePlates(plates, lines.isEmpty() ? -1 : lines.first() + 1);
    // A first run under another header: nothing of it may survive the second.
    QCOMPARE(Run().go({20, 40}, {"100", "OLD"}), Outcome::Finished);
    if (pageBlocked)
        QVERIFY(QFile::remove(common::pagePath()) && QDir().mkpath(common::pagePath()));
    Run run;
    run.clipboard.setText(QStringLiteral("what the user had"));
    run.clipboard.texts.clear();
    QCOMPARE(run.go(lines, {"90", header}), Outcome::Finished);

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
            const QImage piece = readPiece(name);
            QCOMPARE(piece.size(), size);
            // The cut line's row belongs to the piece above; the next row starts the one below.
            const QColor top = piece.pixelColor(piece.width() / 2, 0);
            const QColor bottom = piece.pixelColor(piece.width() / 2, piece.height() - 1);
            QVERIFY2(near(top, n == 0 ? kUpper[int(plate)] : kLower[int(plate)]), qPrintable(name));
            QVERIFY2(near(bottom, n == 0 && pieces > 1 ? kUpper[int(plate)] : top), qPrintable(name));
        }
    }
    expectedFiles.sort();
    QCOMPARE(imageFiles(), expectedFiles);

    // Emptied after the pieces, then given the page; the file ends its last line.
    const QString page = pageText(header, backSizes);
    QCOMPARE(run.clipboard.clears, 1);
    QCOMPARE(run.clipboard.texts, QStringList{page});
    QCOMPARE(fileBytes(common::pagePath()), pageBlocked ? QByteArray() : page.toUtf8() + "\r\n");
    QCOMPARE(QDir(common::outputFolder()).entryList(QDir::Files | QDir::Hidden),
             pageBlocked ? QStringList() : QStringList{"contents.htm"});

    const QStringList failures = run.generate.failures();
    QCOMPARE(failures.size(), failureCount);
    QCOMPARE(run.dialogs.messages.size(), failureCount ? 1 : 0);
    if (!failureCount)
        return;
    const fakes::Dialogs::Message &message = run.dialogs.messages.first();
    QCOMPARE(message.title, QStringLiteral("Saving File Pieces"));
    for (const QString &part : named)
        QVERIFY2(message.text.contains(part) && failures.join(u'\n').contains(part), qPrintable(message.text));
    const QStringList shown = message.text.split(u'\n');
    if (failureCount > GenerateRun::kMaxListedFailures) {
        QCOMPARE(shown.size(), 2 + GenerateRun::kMaxListedFailures + 1);
        QCOMPARE(shown.last(), QStringLiteral("... and %1 more.").arg(failureCount - GenerateRun::kMaxListedFailures));
    }
    for (const QString &failure : failures.first(std::min<qsizetype>(failures.size(), GenerateRun::kMaxListedFailures)))
        QVERIFY(shown.contains(failure));
}

void TestGenerateRun::qualityChangesOnlyTheBytes()
{
    QImage noise(126, 179, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random.generate() | 0xff000000u);
    QVERIFY(QDir().mkpath(QFileInfo(common::platePath(0)).absolutePath()));
    for (Plate plate : kPlates)
        QVERIFY(noise.save(common::platePath(int(plate)), "BMP"));

    qint64 bytes[2] = {};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(Run().go({57}, {i == 0 ? "20" : "100", "TST"}), Outcome::Finished);
        QCOMPARE(readPiece(QStringLiteral("TSTa1.jpg")).size(), QSize(126, 121));
        bytes[i] = QFileInfo(common::joinPath(common::imagesFolder(), QStringLiteral("TSTa1.jpg"))).size();
    }
    QVERIFY2(bytes[0] * 2 < bytes[1], qPrintable(QStringLiteral("%1 vs %2").arg(bytes[0]).arg(bytes[1])));
}

void TestGenerateRun::unusableHeaderIsAskedAgain_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a path upwards") << "../evil" << "path separator";
    QTest::newRow("an absolute path") << "/tmp/evil" << "path separator";
    QTest::newRow("a character Windows refuses") << "a:b" << "\":\"";
}

void TestGenerateRun::unusableHeaderIsAskedAgain()
{
    QFETCH(QString, header);
    QFETCH(QString, reason);

    writePlates({40, 40, 40});
    Run run;
    QCOMPARE(run.go({}, {"100", header, "TST"}), Outcome::Finished);
    QCOMPARE(run.dialogs.inputs.size(), 3);
    QCOMPARE(run.dialogs.messages.size(), 1);
    const fakes::Dialogs::Message &message = run.dialogs.messages.first();
    QCOMPARE(message.title, QStringLiteral("File Name Header"));
    QVERIFY2(message.text.contains(header) && message.text.contains(reason), qPrintable(message.text));
    QCOMPARE(imageFiles(), (QStringList{"TSTa0.jpg", "TSTb0.jpg", "TSTc0.jpg"}));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/evila0.jpg")));
}

QTEST_GUILESS_MAIN(TestGenerateRun)
#include "tst_generaterun.moc"
