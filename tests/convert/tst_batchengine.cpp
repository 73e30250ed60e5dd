#include "convert/batchengine.h"
#include "convert/captions.h"

#include "common/filetypes.h"
#include "imaging/imageman.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <unistd.h>

using convert::BatchEngine;
using convert::FileChoices;
using convert::FileOutcome;
using convert::SizeChoice;

namespace {

// What the page's controls hold; the engine reads it through a choice source
// as a window would.
struct Page {
    Page(QString folder = {}, QStringList entries = {})
        : folder(std::move(folder)), entries(std::move(entries))
    {
    }

    QString folder;
    QStringList entries;
    SizeChoice size = SizeChoice::OneToOne;
    QString customWidth = QStringLiteral("10");
    QString customHeight = QStringLiteral("10");
    QString outext = QStringLiteral("jpg");
    QString destination;

    FileChoices at(qsizetype position) const
    {
        FileChoices c;
        c.folder = folder;
        c.name = position >= 0 && position < entries.size() ? entries[position] : QString();
        c.count = entries.size();
        c.size = size;
        c.customWidth = customWidth;
        c.customHeight = customHeight;
        c.outext = outext;
        c.destination = destination;
        return c;
    }
    BatchEngine::ChoiceSource source() { return [this](qsizetype p) { return at(p); }; }
};

// Flat blocks of few colours, so that every lossless type (RLE's 256-colour
// palette included) gives back the same pixels.
QImage blocks(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x / 8 * 40 + seed * 30) % 256, (y / 8 * 60) % 256,
                                      ((x / 8 + y / 8) * 50 + seed) % 256));
    return image;
}

// Smooth shading with some edges, like a photograph.
QImage photo(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            line[x] = qRgb(int(127 + 120 * std::sin(6 * u + seed)), int(255 * v),
                           int(127 + 120 * std::cos(9 * u * v + seed)));
        }
    }
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 5));
    painter.setBrush(QColor(240, 200, 40));
    painter.drawEllipse(QRect(width / 4, height / 4, width / 3, height / 3));
    return image;
}

bool writePicture(const QString &path, const QImage &image)
{
    imaging::ImageMan imageMan;
    const imaging::Result set = imageMan.setImage(image, path);
    const imaging::Result saved = set ? imageMan.saveImage(path) : set;
    if (!saved)
        qWarning("%s", qPrintable(saved.message()));
    return saved.ok();
}

QImage readPicture(const QString &path)
{
    imaging::ImageMan imageMan;
    const imaging::Result loaded = imageMan.setImageFile(path);
    if (!loaded)
        qWarning("%s", qPrintable(loaded.message()));
    return imageMan.image().convertToFormat(QImage::Format_RGB32);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QStringList messages(const QList<FileOutcome> &outcomes)
{
    QStringList list;
    for (const FileOutcome &o : outcomes)
        list << o.message;
    return list;
}

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private slots:
    void everyFormatAsOutput_data();
    void everyFormatAsOutput();
    void corruptFilesAmongGoodOnes();
    void folderIntoItself_data();
    void folderIntoItself();
    void destinationUnwritable_data();
    void destinationUnwritable();
    void sizeBeyondLimits_data();
    void sizeBeyondLimits();
    void changesApplyToLaterFiles_data();
    void changesApplyToLaterFiles();
    void captionsFollowTheList_data();
    void captionsFollowTheList();
    void laterEntryWinsASharedOutput();
    void emptyRun();
    void oneRunAtATime();
    void singleFileDuringRun();
    void stopLeavesNoHalfWrittenFile_data();
    void stopLeavesNoHalfWrittenFile();
    void reducedJpegDecodingLooksTheSame_data();
    void reducedJpegDecodingLooksTheSame();

private:
    // Runs `count` files of `page` to the end; the failures it reported.
    QList<FileOutcome> run(BatchEngine &engine, Page &page, qsizetype count = -1);
};

QList<FileOutcome> TestBatchEngine::run(BatchEngine &engine, Page &page, qsizetype count)
{
    QSignalSpy finished(&engine, &BatchEngine::finished);
    if (!engine.start(count < 0 ? page.entries.size() : count, page.source())) {
        qWarning("the run did not start");
        return {};
    }
    if (finished.isEmpty() && !finished.wait(300000)) {
        qWarning("the run did not finish");
        return {};
    }
    return finished.at(0).at(0).value<QList<FileOutcome>>();
}

void TestBatchEngine::everyFormatAsOutput_data()
{
    QTest::addColumn<QString>("outext");
    QTest::addColumn<bool>("lossless");

    QTest::newRow("jpg before any format click") << "jpg" << false;
    for (const common::FileTypeInfo &type : common::kFileTypes) {
        const bool lossless = QByteArrayList{"TIF", "BMP", "RLE", "PCX", "PNG", "TGA", "DCX"}.contains(type.caption);
        QTest::newRow(type.caption) << QString::fromLatin1(type.caption) << lossless;
    }
}

void TestBatchEngine::everyFormatAsOutput()
{
    QFETCH(QString, outext);
    QFETCH(bool, lossless);
    QTemporaryDir in, out;
    const QImage flat = blocks(48, 32, 1);
    QVERIFY(writePicture(in.filePath("flat.png"), flat));
    QVERIFY(writePicture(in.filePath("photo.jpg"), photo(64, 40, 2)));

    Page page{in.path(), {"flat.png", "photo.jpg"}};
    page.outext = outext;
    page.destination = out.path();
    BatchEngine engine;
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    const QList<FileOutcome> failures = run(engine, page);
    QVERIFY2(failures.isEmpty(), qPrintable(messages(failures).join('\n')));
    QCOMPARE(done.size(), 2);

    QCOMPARE(filesIn(out.path()), QStringList({"flat." + outext, "photo." + outext}));
    const bool pcd = outext == QLatin1String("PCD");
    const QImage back = readPicture(out.filePath("flat." + outext));
    QCOMPARE(back.size(), pcd ? QSize(768, 512) : flat.size());
    QCOMPARE(readPicture(out.filePath("photo." + outext)).size(), pcd ? QSize(768, 512) : QSize(64, 40));
    if (lossless)
        QCOMPARE(back, flat);
    if (pcd) {
        const FileOutcome outcome = done.at(0).at(0).value<FileOutcome>();
        QVERIFY2(outcome.converted && outcome.message.contains(QLatin1String("768 x 512")),
                 qPrintable(outcome.message));
    }
}

void TestBatchEngine::corruptFilesAmongGoodOnes()
{
    QTemporaryDir in, out;
    QVERIFY(writePicture(in.filePath("a.png"), blocks(40, 40, 1)));
    QVERIFY(writeBytes(in.filePath("b.jpg"), "this is a note, not a picture\n"));
    QVERIFY(writePicture(in.filePath("full.jpg"), photo(200, 150, 3)));
    QVERIFY(writeBytes(in.filePath("c.jpg"), contents(in.filePath("full.jpg")).left(600)));
    QVERIFY(writeBytes(in.filePath("d.bmp"), {}));
    QVERIFY(writePicture(in.filePath("e.bmp"), blocks(30, 50, 2)));
    // An earlier output of a failing file stays as it was.
    QVERIFY(writePicture(out.filePath("b.PNG"), blocks(9, 9, 3)));
    const QByteArray earlier = contents(out.filePath("b.PNG"));

    Page page{in.path(), {"a.png", "b.jpg", "c.jpg", "d.bmp", "e.bmp"}};
    page.outext = QStringLiteral("PNG");
    page.size = SizeChoice::Custom;
    page.customWidth = QStringLiteral("20");
    page.customHeight = QStringLiteral("10");
    page.destination = out.path();
    BatchEngine engine;
    const QList<FileOutcome> failures = run(engine, page);

    QStringList failed;
    for (const FileOutcome &f : failures) {
        failed << f.name;
        QVERIFY2(f.message.contains(QDir::toNativeSeparators(in.filePath(f.name))), qPrintable(f.message));
        QVERIFY(!f.converted);
    }
    failed.sort();
    QCOMPARE(failed, QStringList({"b.jpg", "c.jpg", "d.bmp"}));
    QCOMPARE(filesIn(out.path()), QStringList({"a.PNG", "b.PNG", "e.PNG"}));
    QCOMPARE(contents(out.filePath("b.PNG")), earlier);
    QCOMPARE(readPicture(out.filePath("a.PNG")).size(), QSize(20, 10));
    QCOMPARE(readPicture(out.filePath("e.PNG")).size(), QSize(20, 10));

    const QString message = convert::failureMessage(failures, 5);
    QVERIFY2(message.startsWith(QLatin1String("3 of 5 files could not be converted:")), qPrintable(message));
    for (const char *name : {"b.jpg", "c.jpg", "d.bmp"})
        QVERIFY2(message.contains(QLatin1String(name)), qPrintable(message));
}

void TestBatchEngine::folderIntoItself_data()
{
    QTest::addColumn<QString>("outext");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("untouched");

    QTest::newRow("jpg writes over its own jpg")
        << "jpg" << QStringList{"a.jpg", "b.jpg", "b.png", "c.jpg"} << QStringList{"b.png", "c.jpg"};
    QTest::newRow("JPG beside a jpg")
        << "JPG" << QStringList{"a.JPG", "a.jpg", "b.JPG", "b.png", "c.jpg"}
        << QStringList{"a.jpg", "b.png", "c.jpg"};
}

void TestBatchEngine::folderIntoItself()
{
    QFETCH(QString, outext);
    QFETCH(QStringList, after);
    QFETCH(QStringList, untouched);
    QTemporaryDir in;
    QVERIFY(writePicture(in.filePath("a.jpg"), photo(64, 48, 1)));
    QVERIFY(writePicture(in.filePath("b.png"), blocks(64, 48, 2)));
    QVERIFY(writeBytes(in.filePath("c.jpg"), QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(300, 'x')));
    QHash<QString, QByteArray> before;
    for (const QString &name : filesIn(in.path()))
        before[name] = contents(in.filePath(name));

    Page page{in.path(), {"a.jpg", "b.png", "c.jpg"}};
    page.outext = outext;
    page.size = SizeChoice::Custom;
    page.customWidth = QStringLiteral("32");
    page.customHeight = QStringLiteral("24");
    page.destination = in.path();
    BatchEngine engine;
    const QList<FileOutcome> failures = run(engine, page);

    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures[0].name, QStringLiteral("c.jpg"));
    QCOMPARE(filesIn(in.path()), after);
    for (const QString &name : untouched)
        QVERIFY2(contents(in.filePath(name)) == before[name], qPrintable(name));
    QCOMPARE(readPicture(in.filePath("a." + outext)).size(), QSize(32, 24));
    QCOMPARE(readPicture(in.filePath("b." + outext)).size(), QSize(32, 24));
}

void TestBatchEngine::destinationUnwritable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("vanished folder") << "vanished";
    QTest::newRow("a file, not a folder") << "file";
    QTest::newRow("read-only folder") << "read-only";
}

void TestBatchEngine::destinationUnwritable()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("read-only") && geteuid() == 0)
        QSKIP("the superuser writes into read-only folders");
    QTemporaryDir in, out;
    QVERIFY(writePicture(in.filePath("a.png"), blocks(16, 16, 1)));
    QVERIFY(writePicture(in.filePath("b.png"), blocks(16, 16, 2)));
    QVERIFY(writePicture(out.filePath("a.BMP"), blocks(8, 8, 3)));
    const QByteArray earlier = contents(out.filePath("a.BMP"));

    QString destination = out.filePath("gone");
    if (kind == QLatin1String("file"))
        destination = out.filePath("a.BMP");
    if (kind == QLatin1String("read-only")) {
        destination = out.path();
        QVERIFY(QFile::setPermissions(out.path(), QFile::ReadOwner | QFile::ExeOwner));
    }
    Page page{in.path(), {"a.png", "b.png"}};
    page.outext = QStringLiteral("BMP");
    page.destination = destination;
    BatchEngine engine;
    const QList<FileOutcome> failures = run(engine, page);
    QFile::setPermissions(out.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(failures.size(), 2);
    for (const FileOutcome &f : failures)
        QVERIFY2(f.message.startsWith(QLatin1String("Cannot save ") + QDir::toNativeSeparators(f.output)),
                 qPrintable(f.message));
    QCOMPARE(filesIn(out.path()), QStringList{"a.BMP"});
    QCOMPARE(contents(out.filePath("a.BMP")), earlier);
}

void TestBatchEngine::sizeBeyondLimits_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("reason");

    QTest::newRow("wider than the imaging limit") << "40000" << "10" << "32767 on a side";
    QTest::newRow("too many pixels in all") << "30000" << "30000" << "200000000 pixels in all";
    QTest::newRow("beyond a 32-bit integer") << "10" << "1e12" << "the custom height \"1e12\" is too large";
}

void TestBatchEngine::sizeBeyondLimits()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, reason);
    QTemporaryDir in, out;
    QVERIFY(writePicture(in.filePath("a.png"), blocks(16, 16, 1)));
    QVERIFY(writePicture(out.filePath("a.TGA"), blocks(8, 8, 3)));
    const QByteArray earlier = contents(out.filePath("a.TGA"));

    Page page{in.path(), {"a.png"}};
    page.outext = QStringLiteral("TGA");
    page.size = SizeChoice::Custom;
    page.customWidth = width;
    page.customHeight = height;
    page.destination = out.path();
    BatchEngine engine;
    const QList<FileOutcome> failures = run(engine, page);

    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures[0].message.contains(reason), qPrintable(failures[0].message));
    QVERIFY2(failures[0].message.contains(QDir::toNativeSeparators(in.filePath("a.png"))),
             qPrintable(failures[0].message));
    QCOMPARE(filesIn(out.path()), QStringList{"a.TGA"});
    QCOMPARE(contents(out.filePath("a.TGA")), earlier);
}

void TestBatchEngine::changesApplyToLaterFiles_data()
{
    QTest::addColumn<int>("sizeBefore");
    QTest::addColumn<QString>("outextBefore");
    QTest::addColumn<int>("sizeAfter");
    QTest::addColumn<QString>("outextAfter");
    QTest::addColumn<QSize>("expectedBefore");
    QTest::addColumn<QSize>("expectedAfter");

    QTest::newRow("to custom size and BMP")
        << int(SizeChoice::OneToOne) << "PNG" << int(SizeChoice::Custom) << "BMP" << QSize(40, 30) << QSize(7, 9);
    QTest::newRow("back to 1 to 1")
        << int(SizeChoice::Size640x480) << "TIF" << int(SizeChoice::OneToOne) << "TIF" << QSize(640, 480) << QSize(40, 30);
}

void TestBatchEngine::changesApplyToLaterFiles()
{
    QFETCH(int, sizeBefore);
    QFETCH(QString, outextBefore);
    QFETCH(int, sizeAfter);
    QFETCH(QString, outextAfter);
    QFETCH(QSize, expectedBefore);
    QFETCH(QSize, expectedAfter);
    QTemporaryDir in, out;
    Page page{in.path(), {}};
    for (int i = 0; i < 6; ++i) {
        page.entries << QStringLiteral("p%1.png").arg(i);
        QVERIFY(writePicture(in.filePath(page.entries.last()), blocks(40, 30, i)));
    }
    page.size = SizeChoice(sizeBefore);
    page.outext = outextBefore;
    page.customWidth = QStringLiteral("7");
    page.customHeight = QStringLiteral("9");
    page.destination = out.path();

    // Two workers take the first two files at the start; the user's change,
    // made when the first file is done, applies to every file after them.
    BatchEngine engine(2);
    connect(&engine, &BatchEngine::fileFinished, this, [&] {
        page.size = SizeChoice(sizeAfter);
        page.outext = outextAfter;
    });
    const QList<FileOutcome> failures = run(engine, page);
    QVERIFY2(failures.isEmpty(), qPrintable(messages(failures).join('\n')));

    for (int i = 0; i < 6; ++i) {
        const QString stem = out.filePath(QStringLiteral("p%1.").arg(i));
        const QString outext = i < 2 ? outextBefore : outextAfter;
        QCOMPARE(readPicture(stem + outext).size(), i < 2 ? expectedBefore : expectedAfter);
        if (outextBefore != outextAfter)
            QVERIFY(!QFile::exists(stem + (i < 2 ? outextAfter : outextBefore)));
    }
}

void TestBatchEngine::captionsFollowTheList_data()
{
    QTest::addColumn<QStringList>("changedList");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QStringList>("failedMessages");

    QTest::newRow("list grows, run still stops after 3")
        << QStringList{"a.png", "b.png", "c.png", "d.png", "e.png"}
        << QStringList{"3 images to convert.", "Now Processing # 1 of 3", "Now Processing # 2 of 3",
                       "Now Processing # 3 of 5"}
        << QStringList{"a.jpg", "b.jpg", "c.jpg"} << QStringList{};
    QTest::newRow("list shrinks below the position")
        << QStringList{"a.png"}
        << QStringList{"3 images to convert.", "Now Processing # 1 of 3", "Now Processing # 2 of 3",
                       "Now Processing # 3 of 1"}
        << QStringList{"a.jpg", "b.jpg"}
        << QStringList{"There is no file at position 3 of the list any more: it now holds 1."};
    QTest::newRow("entry at the position changes")
        << QStringList{"a.png", "b.png", "e.png"}
        << QStringList{"3 images to convert.", "Now Processing # 1 of 3", "Now Processing # 2 of 3",
                       "Now Processing # 3 of 3"}
        << QStringList{"a.jpg", "b.jpg", "e.jpg"} << QStringList{};
}

void TestBatchEngine::captionsFollowTheList()
{
    QFETCH(QStringList, changedList);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, outputs);
    QFETCH(QStringList, failedMessages);
    QTemporaryDir in, out;
    for (const char *name : {"a.png", "b.png", "c.png", "d.png", "e.png"})
        QVERIFY(writePicture(in.filePath(name), blocks(12, 12, name[0])));
    Page page{in.path(), {"a.png", "b.png", "c.png"}};
    page.destination = out.path();

    BatchEngine engine(2);
    connect(&engine, &BatchEngine::fileFinished, this, [&] { page.entries = changedList; });
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    const QList<FileOutcome> failures = run(engine, page);

    QStringList seen;
    for (const QList<QVariant> &args : shown)
        seen << args.at(0).toString();
    QCOMPARE(seen, captions);
    QCOMPARE(filesIn(out.path()), outputs);
    QCOMPARE(messages(failures), failedMessages);
}

void TestBatchEngine::laterEntryWinsASharedOutput()
{
    // a.bmp, a.jpg and a.png all become a.TIF. The first is slow to convert
    // and the last quick; what stays must be the last one's picture, as when
    // the files are converted one after the other.
    QTemporaryDir in, out;
    QVERIFY(writePicture(in.filePath("a.bmp"), photo(2000, 1500, 1)));
    QVERIFY(writePicture(in.filePath("a.jpg"), photo(300, 200, 2)));
    QVERIFY(writePicture(in.filePath("a.png"), blocks(10, 10, 3)));
    QVERIFY(writePicture(in.filePath("b.png"), blocks(12, 12, 4)));
    Page page{in.path(), {"a.bmp", "a.jpg", "a.png", "b.png"}};
    page.outext = QStringLiteral("TIF");
    page.destination = out.path();
    BatchEngine engine(3);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QVERIFY(run(engine, page).isEmpty());

    QCOMPARE(done.size(), 4);
    QList<qsizetype> aOrder;
    for (const QList<QVariant> &args : done) {
        const FileOutcome outcome = args.at(0).value<FileOutcome>();
        if (outcome.output == out.filePath("a.TIF"))
            aOrder << outcome.position;
    }
    QCOMPARE(aOrder, QList<qsizetype>({0, 1, 2}));
    QCOMPARE(readPicture(out.filePath("a.TIF")), blocks(10, 10, 3));
    QCOMPARE(filesIn(out.path()), QStringList({"a.TIF", "b.TIF"}));
}

void TestBatchEngine::emptyRun()
{
    Page page;
    BatchEngine engine;
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QVERIFY(engine.start(0, page.source()));
    // The end comes from the event loop, so the window can set up first.
    QVERIFY(finished.isEmpty());
    QVERIFY(finished.wait(60000));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).at(0).toString(), QStringLiteral("0 images to convert."));
    QVERIFY(done.isEmpty());
    QVERIFY(finished.at(0).at(0).value<QList<FileOutcome>>().isEmpty());
    QCOMPARE(finished.at(0).at(1).value<qsizetype>(), qsizetype(0));
    QVERIFY(!engine.isRunning());
}

void TestBatchEngine::oneRunAtATime()
{
    QTemporaryDir in, out;
    QVERIFY(writePicture(in.filePath("a.png"), blocks(12, 12, 1)));
    Page page{in.path(), {"a.png"}};
    page.destination = out.path();
    BatchEngine engine;
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QVERIFY(engine.start(1, page.source()));
    QVERIFY(engine.isRunning());
    QVERIFY(!engine.start(1, page.source()));
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.size(), 1);
    QVERIFY(!engine.isRunning());
    QVERIFY(engine.start(1, page.source()));
    QVERIFY(finished.wait(60000));
    QCOMPARE(filesIn(out.path()), QStringList{"a.jpg"});
}

void TestBatchEngine::singleFileDuringRun()
{
    QTemporaryDir in, out;
    Page page{in.path(), {}};
    for (int i = 0; i < 4; ++i) {
        page.entries << QStringLiteral("p%1.png").arg(i);
        QVERIFY(writePicture(in.filePath(page.entries.last()), blocks(100, 80, i)));
    }
    page.outext = QStringLiteral("PNG");
    page.destination = out.path();
    QVERIFY(writePicture(out.filePath("p3.TIF"), blocks(5, 5, 0)));

    BatchEngine engine;
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QVERIFY(engine.start(4, page.source()));
    const qsizetype captionsBefore = shown.size();

    Page single = page;
    single.outext = QStringLiteral("TIF");
    FileChoices choices = single.at(3);
    const FileOutcome outcome = engine.convertOne(choices);
    QVERIFY2(outcome.converted, qPrintable(outcome.message));
    QCOMPARE(outcome.output, out.filePath("p3.TIF"));
    QCOMPARE(readPicture(out.filePath("p3.TIF")), blocks(100, 80, 3));
    QCOMPARE(shown.size(), captionsBefore);

    choices.name.clear();
    const FileOutcome none = engine.convertOne(choices);
    QVERIFY(!none.converted);
    QCOMPARE(none.message, QStringLiteral("No file is selected in the list."));

    QVERIFY(finished.wait(60000));
    QCOMPARE(done.size(), 4);
    QVERIFY(finished.at(0).at(0).value<QList<FileOutcome>>().isEmpty());
    QCOMPARE(filesIn(out.path()), QStringList({"p0.PNG", "p1.PNG", "p2.PNG", "p3.PNG", "p3.TIF"}));
}

void TestBatchEngine::stopLeavesNoHalfWrittenFile_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<int>("outcomes");
    QTest::addColumn<QStringList>("mayExist");

    QTest::newRow("right after the start") << "start" << 0 << QStringList{"p0.PNG", "p1.PNG"};
    QTest::newRow("when the first file is done") << "outcome" << 1 << QStringList{"p0.PNG", "p1.PNG"};
    QTest::newRow("at the start caption, before any file") << "caption" << 0 << QStringList{};
}

void TestBatchEngine::stopLeavesNoHalfWrittenFile()
{
    QFETCH(QString, when);
    QFETCH(int, outcomes);
    QFETCH(QStringList, mayExist);
    QTemporaryDir in, out;
    Page page{in.path(), {}};
    for (int i = 0; i < 8; ++i) {
        page.entries << QStringLiteral("p%1.jpg").arg(i);
        QVERIFY(writePicture(in.filePath(page.entries.last()), photo(800, 600, i)));
    }
    page.outext = QStringLiteral("PNG");
    page.destination = out.path();

    BatchEngine engine(2);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QMetaObject::Connection closing;
    if (when == QLatin1String("outcome"))
        closing = connect(&engine, &BatchEngine::fileFinished, &engine, &BatchEngine::stop);
    if (when == QLatin1String("caption"))
        closing = connect(&engine, &BatchEngine::captionChanged, &engine, &BatchEngine::stop);
    QVERIFY(engine.start(8, page.source()));
    if (when == QLatin1String("start"))
        engine.stop();
    if (when == QLatin1String("outcome"))
        QVERIFY(done.wait(120000));
    QVERIFY(!engine.isRunning());
    // Whatever was still queued for the stopped run is dropped.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(finished.isEmpty());
    QCOMPARE(done.size(), outcomes);

    // Only whole pictures, only of the files in hand: no temporary files.
    for (const QString &name : filesIn(out.path())) {
        QVERIFY2(mayExist.contains(name), qPrintable(name));
        QCOMPARE(readPicture(out.filePath(name)).size(), QSize(800, 600));
    }

    // The engine takes the next run as usual.
    disconnect(closing);
    page.entries = {"p7.jpg"};
    QVERIFY(engine.start(1, page.source()));
    QVERIFY(finished.wait(120000));
    QVERIFY(QFile::exists(out.filePath("p7.PNG")));
}

void TestBatchEngine::reducedJpegDecodingLooksTheSame_data()
{
    QTest::addColumn<QSize>("target");
    QTest::newRow("half, 800x600") << QSize(800, 600);
    QTest::newRow("640x480") << QSize(640, 480);
    QTest::newRow("custom, other proportions") << QSize(300, 500);
}

void TestBatchEngine::reducedJpegDecodingLooksTheSame()
{
    QFETCH(QSize, target);
    QTemporaryDir in, out;
    QVERIFY(writePicture(in.filePath("big.jpg"), photo(1600, 1200, 4)));

    imaging::ImageMan full;
    QVERIFY(full.setImageFile(in.filePath("big.jpg")));
    QVERIFY(full.resizeImage(target.width(), target.height()));
    const QImage reference = full.image().convertToFormat(QImage::Format_RGB32);

    Page page{in.path(), {"big.jpg"}};
    page.size = SizeChoice::Custom;
    page.customWidth = QString::number(target.width());
    page.customHeight = QString::number(target.height());
    page.outext = QStringLiteral("PNG");
    page.destination = out.path();
    BatchEngine engine;
    QVERIFY(run(engine, page).isEmpty());

    const QImage converted = readPicture(out.filePath("big.PNG"));
    QCOMPARE(converted.size(), target);
    const double difference = meanDifference(converted, reference);
    QVERIFY2(difference < 2.0, qPrintable(QString::number(difference)));
}

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
