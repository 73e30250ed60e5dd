#include "common/paths.h"
#include "../app/fakes.h"
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

namespace {

const QColor kPlateColours[kPlateCount] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200)};
const QColor kLowerColour(240, 240, 40);

// A plate in its own colour above `split` and yellow from it downwards, so
// that a piece tells which plate and which rows it was cut from.
void writePlate(Plate plate, QSize size, int split = -1)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(kPlateColours[int(plate)]);
    for (int y = std::max(split, 0); split >= 0 && y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixelColor(x, y, kLowerColour);
    const QString path = common::platePath(int(plate));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(picture.save(path, "BMP"));
}

void writePlates(QList<QSize> sizes, int split = -1)
{
    for (Plate plate : kPlates)
        writePlate(plate, sizes[int(plate)], split);
}

CutLineList linesAt(const QList<int> &rows)
{
    CutLineList lines;
    for (int row : rows)
        lines.release(CutLineList::kLeftButton, row);
    return lines;
}

QStringList imageFiles()
{
    return QDir(common::imagesFolder()).entryList(QDir::Files, QDir::Name);
}

QImage readPiece(const QString &name)
{
    QImageReader reader(common::joinPath(common::imagesFolder(), name));
    return reader.read();
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

} // namespace

class TestGenerateRun : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void compressionRate_data();
    void compressionRate();
    void emptyRateChangesNothing();
    void declinedChangesOnlyTheRate();
    void cancelledHeaderLeavesEmptyFolders();
    void piecesAndPage_data();
    void piecesAndPage();
    void piecesHoldTheirRows();
    void qualityChangesOnlyTheBytes();
    void secondRunLeavesNothingOfTheFirst();
    void unusableHeaderIsAskedAgain_data();
    void unusableHeaderIsAskedAgain();
    void missingPlateGivesNoPieces();
    void pieceBelowThePlateIsReported();
    void unwritablePageIsReported();
    void longFailureListIsShortened();

private:
    struct Run {
        fakes::Dialogs dialogs;
        fakes::Clipboard clipboard;
        imaging::ImageMan imageMan1;
        imaging::ImageMan imageMan3;
        GenerateRun generate{dialogs, clipboard, imageMan1, imageMan3};
    };
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
    QTest::newRow("100 stays") << "100" << 100.0;
    QTest::newRow("20 stays") << "20" << 20.0;
    QTest::newRow("75% gives 75") << "75%" << 75.0;
    QTest::newRow("8 0 gives 80, the blank ignored") << "8 0" << 80.0;
    QTest::newRow("a number too large for a double gives 100") << "1e999" << 100.0;
    QTest::newRow("a large negative number gives 20") << "-1e999" << 20.0;
    QTest::newRow("a hexadecimal number") << "&H32" << 50.0;
    QTest::newRow("an exponent") << "6.5e1" << 65.0;
}

void TestGenerateRun::compressionRate()
{
    QFETCH(QString, answer);
    QFETCH(double, rate);
    QCOMPARE(rollover::compressionRate(answer), rate);
}

void TestGenerateRun::emptyRateChangesNothing()
{
    Run run;
    run.imageMan3.setJpegQuality(42);
    run.dialogs.inputAnswers = {QString()};
    QCOMPARE(run.generate.run(CutLineList()), GenerateRun::Outcome::RateCancelled);
    QCOMPARE(run.dialogs.inputs.size(), 1);
    QCOMPARE(run.dialogs.inputs[0].prompt, QStringLiteral("Enter in the compression rate for JPG's"));
    QCOMPARE(run.dialogs.inputs[0].title, QStringLiteral("JPG Compression"));
    QCOMPARE(run.dialogs.inputs[0].defaultText, QStringLiteral("100"));
    QVERIFY(run.dialogs.questions.isEmpty());
    QCOMPARE(run.imageMan3.jpegQuality(), 42);
    QVERIFY(!QFileInfo::exists(common::outputFolder()));
    QCOMPARE(run.clipboard.clears, 0);
    QVERIFY(run.clipboard.texts.isEmpty());
}

void TestGenerateRun::declinedChangesOnlyTheRate()
{
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("150")};
    run.dialogs.yesNoAnswers = {false};
    QCOMPARE(run.generate.run(CutLineList()), GenerateRun::Outcome::NotConfirmed);
    QCOMPARE(run.imageMan3.jpegQuality(), 100);
    QCOMPARE(run.dialogs.questions.size(), 1);
    QCOMPARE(run.dialogs.questions[0].title, QStringLiteral("Saving File Pieces"));
    QCOMPARE(run.dialogs.questions[0].prompt,
             QStringLiteral("All files will be written to the %1 directory, all existing files in this directory will be deleted. Do you want to proceed?")
                             .arg(QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/parse"))));
    QVERIFY(!QFileInfo::exists(common::outputFolder()));
    QVERIFY(run.dialogs.messages.isEmpty());
}

void TestGenerateRun::cancelledHeaderLeavesEmptyFolders()
{
    const QString out = common::outputFolder();
    QVERIFY(QDir().mkpath(out + QStringLiteral("/keep/deeper")));
    QVERIFY(QDir().mkpath(common::imagesFolder()));
    for (const QString &name : {QStringLiteral("/old.txt"), QStringLiteral("/.hidden"),
                                QStringLiteral("/noextension"), QStringLiteral("/images/TSTa0.jpg"),
                                QStringLiteral("/keep/inner.txt")}) {
        QFile file(out + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("80"), QString()};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(linesAt({10})), GenerateRun::Outcome::HeaderCancelled);
    QCOMPARE(run.dialogs.inputs.size(), 2);
    QCOMPARE(run.dialogs.inputs[1].prompt, QStringLiteral("Enter in the left first three charachters of the file names."));
    QCOMPARE(run.dialogs.inputs[1].title, QStringLiteral("File Name Header"));
    QCOMPARE(run.dialogs.inputs[1].defaultText, QStringLiteral("TST"));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(imageFiles(), QStringList());
    QVERIFY(QFileInfo(common::imagesFolder()).isDir());
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/keep/inner.txt")));
    QVERIFY(QFileInfo(out + QStringLiteral("/keep/deeper")).isDir());
    QCOMPARE(run.clipboard.clears, 0);
    QVERIFY(run.clipboard.texts.isEmpty());
    QVERIFY(run.dialogs.messages.isEmpty());
}

void TestGenerateRun::piecesAndPage_data()
{
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QList<QSize>>("plates");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QList<int>>("heights"); // per plate, per piece, plate after plate

    const QSize menu(126, 179);
    QTest::newRow("no line: each plate whole as piece 0")
        << QList<int>{} << QList<QSize>{menu, menu, menu} << "TST" << QList<int>{179, 179, 179};
    QTest::newRow("one line at 57 on 126 x 179 plates")
        << QList<int>{57} << QList<QSize>{menu, menu, menu} << "TST"
        << QList<int>{58, 121, 58, 121, 58, 121};
    QTest::newRow("lines at 0 and 100")
        << QList<int>{0, 100} << QList<QSize>{menu, menu, menu} << "MENU"
        << QList<int>{1, 100, 78, 1, 100, 78, 1, 100, 78};
    QTest::newRow("plates of different heights, cut at the same rows")
        << QList<int>{57} << QList<QSize>{menu, QSize(126, 90), QSize(126, 300)} << "x"
        << QList<int>{58, 121, 58, 32, 58, 242};
    QTest::newRow("ten lines give pieces 0 to 10")
        << QList<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100} << QList<QSize>{menu, menu, menu} << "TST"
        << QList<int>{11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 78,
                      11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 78,
                      11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 78};
    QTest::newRow("a header with a blank and an ampersand")
        << QList<int>{57} << QList<QSize>{menu, menu, menu} << "a &b"
        << QList<int>{58, 121, 58, 121, 58, 121};
}

void TestGenerateRun::piecesAndPage()
{
    QFETCH(QList<int>, lines);
    QFETCH(QList<QSize>, plates);
    QFETCH(QString, header);
    QFETCH(QList<int>, heights);

    writePlates(plates);
    Run run;
    run.clipboard.setText(QStringLiteral("what the user had"));
    run.clipboard.texts.clear();
    run.dialogs.inputAnswers = {QStringLiteral("90"), header};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(linesAt(lines)), GenerateRun::Outcome::Finished);
    QVERIFY2(run.dialogs.messages.isEmpty(), qPrintable(run.generate.failures().join(u'\n')));

    const int pieces = int(lines.size()) + 1;
    QStringList expectedFiles;
    QList<QSize> backSizes;
    for (Plate plate : kPlates) {
        for (int n = 0; n < pieces; ++n) {
            const QString name = pieceFileName(header, plate, n);
            expectedFiles.append(name);
            const QImage piece = readPiece(name);
            QVERIFY2(!piece.isNull(), qPrintable(name));
            const QSize size(plates[int(plate)].width(), heights[int(plate) * pieces + n]);
            QCOMPARE(piece.size(), size);
            QVERIFY2(near(piece.pixelColor(piece.width() / 2, piece.height() / 2), kPlateColours[int(plate)]),
                     qPrintable(name + QStringLiteral(" is not from its own plate")));
            if (plate == Plate::Back)
                backSizes.append(size);
        }
    }
    expectedFiles.sort();
    QCOMPARE(imageFiles(), expectedFiles);

    const QString page = pageText(header, backSizes);
    // Emptied after the pieces, then given the page.
    QCOMPARE(run.clipboard.clears, 1);
    QCOMPARE(run.clipboard.texts, QStringList{page});
    QCOMPARE(run.clipboard.text, page);
    QCOMPARE(fileBytes(common::pagePath()), page.toUtf8() + "\r\n");
    QCOMPARE(QDir(common::outputFolder()).entryList(QDir::Files), QStringList{"contents.htm"});
    // The page's last size read leaves the last back-plate piece loaded.
    QCOMPARE(run.imageMan1.imageHeight(), backSizes.last().height());
}

void TestGenerateRun::piecesHoldTheirRows()
{
    writePlates({QSize(126, 179), QSize(126, 179), QSize(126, 179)}, 58);
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(linesAt({57})), GenerateRun::Outcome::Finished);
    for (Plate plate : kPlates) {
        const QImage upper = readPiece(pieceFileName(QStringLiteral("TST"), plate, 0));
        const QImage lower = readPiece(pieceFileName(QStringLiteral("TST"), plate, 1));
        QCOMPARE(upper.height(), 58);
        QCOMPARE(lower.height(), 121);
        // The cut line's row belongs to the piece above; the next row starts the one below.
        for (int x : {0, 60, 125}) {
            QVERIFY(near(upper.pixelColor(x, 0), kPlateColours[int(plate)]));
            QVERIFY(near(upper.pixelColor(x, 57), kPlateColours[int(plate)]));
            QVERIFY(near(lower.pixelColor(x, 0), kLowerColour));
            QVERIFY(near(lower.pixelColor(x, 120), kLowerColour));
        }
    }
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
        Run run;
        run.dialogs.inputAnswers = {i == 0 ? QStringLiteral("20") : QStringLiteral("100"), QStringLiteral("TST")};
        run.dialogs.yesNoAnswers = {true};
        QCOMPARE(run.generate.run(linesAt({57})), GenerateRun::Outcome::Finished);
        QCOMPARE(readPiece(QStringLiteral("TSTa1.jpg")).size(), QSize(126, 121));
        bytes[i] = QFileInfo(common::joinPath(common::imagesFolder(), QStringLiteral("TSTa1.jpg"))).size();
    }
    QVERIFY2(bytes[0] * 2 < bytes[1], qPrintable(QStringLiteral("%1 vs %2").arg(bytes[0]).arg(bytes[1])));
}

void TestGenerateRun::secondRunLeavesNothingOfTheFirst()
{
    writePlates({QSize(50, 60), QSize(50, 60), QSize(50, 60)});
    for (const QString &header : {QStringLiteral("ONE"), QStringLiteral("TWO")}) {
        Run run;
        run.dialogs.inputAnswers = {QStringLiteral("100"), header};
        run.dialogs.yesNoAnswers = {true};
        QCOMPARE(run.generate.run(linesAt({20})), GenerateRun::Outcome::Finished);
    }
    QCOMPARE(imageFiles(), (QStringList{"TWOa0.jpg", "TWOa1.jpg", "TWOb0.jpg", "TWOb1.jpg", "TWOc0.jpg", "TWOc1.jpg"}));
}

void TestGenerateRun::unusableHeaderIsAskedAgain_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a path upwards") << "../evil" << "path separator";
    QTest::newRow("an absolute path") << "/tmp/evil" << "path separator";
    QTest::newRow("a character Windows refuses") << "a:b" << "\":\"";
    QTest::newRow("nothing but dots") << ".." << "nothing but dots";
}

void TestGenerateRun::unusableHeaderIsAskedAgain()
{
    QFETCH(QString, header);
    QFETCH(QString, reason);

    writePlates({QSize(40, 40), QSize(40, 40), QSize(40, 40)});
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("100"), header, QStringLiteral("TST")};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(CutLineList()), GenerateRun::Outcome::Finished);
    QStringList titles;
    for (const fakes::Dialogs::Question &input : std::as_const(run.dialogs.inputs))
        titles.append(input.title);
    QCOMPARE(titles, (QStringList{"JPG Compression", "File Name Header", "File Name Header"}));
    QCOMPARE(run.dialogs.messages.size(), 1);
    const fakes::Dialogs::Message &message = run.dialogs.messages.first();
    QCOMPARE(message.title, QStringLiteral("File Name Header"));
    QVERIFY2(message.text.contains(header) && message.text.contains(reason), qPrintable(message.text));
    QCOMPARE(imageFiles(), (QStringList{"TSTa0.jpg", "TSTb0.jpg", "TSTc0.jpg"}));
    QCOMPARE(QDir(common::outputFolder()).entryList(QDir::Files), QStringList{"contents.htm"});
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/evila0.jpg")));
}

void TestGenerateRun::missingPlateGivesNoPieces()
{
    writePlates({QSize(126, 179), QSize(126, 179), QSize(126, 179)});
    QVERIFY(QFile::remove(common::platePath(1)));
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(linesAt({57})), GenerateRun::Outcome::Finished);
    QCOMPARE(imageFiles(), (QStringList{"TSTa0.jpg", "TSTa1.jpg", "TSTc0.jpg", "TSTc1.jpg"}));
    QVERIFY(near(readPiece(QStringLiteral("TSTc0.jpg")).pixelColor(5, 5), kPlateColours[2]));
    QCOMPARE(run.generate.failures().size(), 1);
    QCOMPARE(run.dialogs.messages.size(), 1);
    const QString text = run.dialogs.messages.first().text;
    QVERIFY2(text.contains(QStringLiteral("TSTb0.jpg to TSTb1.jpg"))
                 && text.contains(QDir::toNativeSeparators(common::platePath(1))),
             qPrintable(text));
    QCOMPARE(run.dialogs.messages.first().title, QStringLiteral("Saving File Pieces"));
    // The page still refers to the highlight pieces, as it always does.
    QCOMPARE(run.clipboard.text, pageText(QStringLiteral("TST"), {QSize(126, 58), QSize(126, 121)}));
    QVERIFY(QFileInfo::exists(common::pagePath()));
}

void TestGenerateRun::pieceBelowThePlateIsReported()
{
    writePlates({QSize(126, 179), QSize(126, 179), QSize(126, 179)});
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(linesAt({57, 300})), GenerateRun::Outcome::Finished);
    // Piece 2 lies wholly below the plates: no file at all, rather than the
    // previous piece under its name.
    QCOMPARE(imageFiles(), (QStringList{"TSTa0.jpg", "TSTa1.jpg", "TSTb0.jpg", "TSTb1.jpg", "TSTc0.jpg", "TSTc1.jpg"}));
    QCOMPARE(readPiece(QStringLiteral("TSTa1.jpg")).size(), QSize(126, 121));
    const QStringList failures = run.generate.failures();
    QCOMPARE(failures.size(), 4);
    QVERIFY(failures[0].startsWith(QLatin1String("TSTa2.jpg not written")));
    QVERIFY(failures[1].startsWith(QLatin1String("TSTb2.jpg not written")));
    QVERIFY(failures[2].startsWith(QLatin1String("TSTc2.jpg not written")));
    QVERIFY(failures[3].startsWith(QLatin1String("The page gives TSTa2.jpg no size")));
    QCOMPARE(run.dialogs.messages.size(), 1);
    for (const QString &failure : failures)
        QVERIFY(run.dialogs.messages.first().text.contains(failure));
    QCOMPARE(run.clipboard.text, pageText(QStringLiteral("TST"), {QSize(126, 58), QSize(126, 121), QSize(0, 0)}));
}

void TestGenerateRun::unwritablePageIsReported()
{
    writePlates({QSize(30, 30), QSize(30, 30), QSize(30, 30)});
    QVERIFY(QDir().mkpath(common::pagePath()));   // a folder in the page's way
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(CutLineList()), GenerateRun::Outcome::Finished);
    QCOMPARE(imageFiles(), (QStringList{"TSTa0.jpg", "TSTb0.jpg", "TSTc0.jpg"}));
    QCOMPARE(run.clipboard.text, pageText(QStringLiteral("TST"), {QSize(30, 30)}));
    QCOMPARE(run.generate.failures().size(), 1);
    QVERIFY2(run.generate.failures().first().contains(QDir::toNativeSeparators(common::pagePath())),
             qPrintable(run.generate.failures().first()));
    QCOMPARE(run.dialogs.messages.size(), 1);
    // No temporary file is left beside the page.
    QCOMPARE(QDir(common::outputFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestGenerateRun::longFailureListIsShortened()
{
    writePlates({QSize(20, 10), QSize(20, 10), QSize(20, 10)});
    QList<int> lines;
    for (int row = 100; row < 130; ++row)
        lines.append(row);
    Run run;
    run.dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    run.dialogs.yesNoAnswers = {true};
    QCOMPARE(run.generate.run(linesAt(lines)), GenerateRun::Outcome::Finished);
    // Pieces 1 to 30 of every plate lie below it, and the page cannot size them.
    QCOMPARE(run.generate.failures().size(), 4 * 30);
    QCOMPARE(imageFiles(), (QStringList{"TSTa0.jpg", "TSTb0.jpg", "TSTc0.jpg"}));
    QCOMPARE(run.dialogs.messages.size(), 1);
    const QStringList shown = run.dialogs.messages.first().text.split(u'\n');
    QCOMPARE(shown.size(), 2 + GenerateRun::kMaxListedFailures + 1);
    QCOMPARE(shown.last(), QStringLiteral("... and %1 more.").arg(4 * 30 - GenerateRun::kMaxListedFailures));
}

QTEST_GUILESS_MAIN(TestGenerateRun)
#include "tst_generaterun.moc"
