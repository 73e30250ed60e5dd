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
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            image.setPixel(x, y, qRgb(int(127 + 120 * std::sin(6 * u + seed)), int(255 * v),
                                      int(127 + 120 * std::cos(9 * u * v + seed))));
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
    imaging::Result result = imageMan.setImage(image, path);
    if (result)
        result = imageMan.saveImage(path);
    if (!result)
        qWarning("%s", qPrintable(result.message()));
    return result.ok();
}

QImage readPicture(const QString &path)
{
    imaging::ImageMan imageMan;
    if (const imaging::Result loaded = imageMan.setImageFile(path); !loaded)
        qWarning("%s", qPrintable(loaded.message()));
    return imageMan.image().convertToFormat(QImage::Format_RGB32);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QString messages(const QList<FileOutcome> &outcomes)
{
    QStringList list;
    for (const FileOutcome &o : outcomes)
        list << o.message;
    return list.join(QLatin1Char('\n'));
}

// A source folder, an empty destination and the page's controls, which the
// engine reads through a choice source as the window's would be read.
struct Folders {
    QTemporaryDir in, out;
    QStringList entries;
    FileChoices page; // all but the entry and the count

    explicit Folders(const QString &outext, const QString &width = {}, const QString &height = {})
        : page{in.path(), {}, 0, width.isEmpty() ? SizeChoice::OneToOne : SizeChoice::Custom, width, height, outext,
               out.path()}
    {
    }
    bool add(const QString &name, const QImage &image)
    {
        entries << name;
        return writePicture(in.filePath(name), image);
    }
    bool addBytes(const QString &name, const QByteArray &bytes)
    {
        entries << name;
        QFile file(in.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    BatchEngine::ChoiceSource source()
    {
        return [this](qsizetype position) {
            FileChoices choices = page;
            choices.name = entries.value(position);
            choices.count = entries.size();
            return choices;
        };
    }
    // Runs the listed files to the end; the failures reported. Every run ends
    // through the event loop, so that the window can set up after the start.
    QList<FileOutcome> run(BatchEngine &engine)
    {
        QSignalSpy finished(&engine, &BatchEngine::finished);
        const qsizetype count = entries.size();
        if (engine.start(count, source()) && finished.isEmpty() && finished.wait(300000) && !engine.isRunning()
            && finished.at(0).at(1).value<qsizetype>() == count)
            return finished.at(0).at(0).value<QList<FileOutcome>>();
        FileOutcome broken;
        broken.message = QStringLiteral("the run did not start, ended at once, or did not end");
        return {broken};
    }
};

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
    void failuresKeepTheEarlierOutput_data();
    void failuresKeepTheEarlierOutput();
    void changesApplyToLaterFiles_data();
    void changesApplyToLaterFiles();
    void captionsFollowTheList_data();
    void captionsFollowTheList();
    void laterEntryWinsASharedOutput();
    void emptyRun();
    void singleFileDuringRun();
    void stopLeavesNoHalfWrittenFile_data();
    void stopLeavesNoHalfWrittenFile();
    void reducedJpegDecodingLooksTheSame();
};

void TestBatchEngine::everyFormatAsOutput_data()
{
    QTest::addColumn<QString>("outext");
    QTest::addColumn<bool>("lossless");

    QTest::newRow("jpg before any format click") << "jpg" << false;
    for (const common::FileTypeInfo &type : common::kFileTypes)
        QTest::newRow(type.caption) << QString::fromLatin1(type.caption)
                                    << QByteArrayList{"TIF", "BMP", "RLE", "PCX", "PNG", "TGA", "DCX"}.contains(type.caption);
}

void TestBatchEngine::everyFormatAsOutput()
{
    QFETCH(QString, outext);
    QFETCH(bool, lossless);
    Folders f(outext);
    const QImage flat = blocks(48, 32, 1);
    QVERIFY(f.add("flat.png", flat));
    QVERIFY(f.add("photo.jpg", photo(64, 40, 2)));
    BatchEngine engine;
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    const QList<FileOutcome> failures = f.run(engine);
    QVERIFY2(failures.isEmpty(), qPrintable(messages(failures)));
    QCOMPARE(done.size(), 2);

    QCOMPARE(filesIn(f.out.path()), QStringList({"flat." + outext, "photo." + outext}));
    // A PCD is written at its base size, and the user is told so.
    const bool pcd = outext == QLatin1String("PCD");
    const QImage back = readPicture(f.out.filePath("flat." + outext));
    QCOMPARE(back.size(), pcd ? QSize(768, 512) : flat.size());
    QCOMPARE(readPicture(f.out.filePath("photo." + outext)).size(), pcd ? QSize(768, 512) : QSize(64, 40));
    if (lossless)
        QCOMPARE(back, flat);
    const FileOutcome first = done.at(0).at(0).value<FileOutcome>();
    QVERIFY2(first.converted && first.message.contains(QLatin1String("768 x 512")) == pcd, qPrintable(first.message));
}

void TestBatchEngine::corruptFilesAmongGoodOnes()
{
    Folders f("PNG", "20", "10");
    QVERIFY(f.add("a.png", blocks(40, 40, 1)));
    QVERIFY(f.addBytes("b.jpg", "this is a note, not a picture\n"));
    QVERIFY(writePicture(f.in.filePath("full.jpg"), photo(200, 150, 3)));
    QVERIFY(f.addBytes("c.jpg", contents(f.in.filePath("full.jpg")).left(600)));
    QVERIFY(f.addBytes("d.bmp", {}));
    QVERIFY(f.add("e.bmp", blocks(30, 50, 2)));
    // An earlier output of a failing file stays as it was.
    QVERIFY(writePicture(f.out.filePath("b.PNG"), blocks(9, 9, 3)));
    const QByteArray earlier = contents(f.out.filePath("b.PNG"));
    BatchEngine engine;
    const QList<FileOutcome> failures = f.run(engine);

    QStringList failed;
    for (const FileOutcome &o : failures) {
        failed << o.name;
        QVERIFY2(!o.converted && o.message.contains(QDir::toNativeSeparators(f.in.filePath(o.name))),
                 qPrintable(o.message));
    }
    failed.sort();
    QCOMPARE(failed, QStringList({"b.jpg", "c.jpg", "d.bmp"}));
    QCOMPARE(filesIn(f.out.path()), QStringList({"a.PNG", "b.PNG", "e.PNG"}));
    QCOMPARE(contents(f.out.filePath("b.PNG")), earlier);
    QCOMPARE(readPicture(f.out.filePath("a.PNG")).size(), QSize(20, 10));
    QCOMPARE(readPicture(f.out.filePath("e.PNG")).size(), QSize(20, 10));
    const QString message = convert::failureMessage(failures, 5);
    QVERIFY2(message.startsWith(QLatin1String("3 of 5 files could not be converted:")), qPrintable(message));
}

void TestBatchEngine::folderIntoItself_data()
{
    QTest::addColumn<QString>("outext");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("untouched");

    QTest::newRow("jpg writes over its own jpg")
        << "jpg" << QStringList{"a.jpg", "b.jpg", "b.png", "c.jpg"} << QStringList{"b.png", "c.jpg"};
    QTest::newRow("JPG beside a jpg") << "JPG" << QStringList{"a.JPG", "a.jpg", "b.JPG", "b.png", "c.jpg"}
                                      << QStringList{"a.jpg", "b.png", "c.jpg"};
}

void TestBatchEngine::folderIntoItself()
{
    QFETCH(QString, outext);
    QFETCH(QStringList, after);
    QFETCH(QStringList, untouched);
    Folders f(outext, "32", "24");
    f.page.destination = f.in.path();
    QVERIFY(f.add("a.jpg", photo(64, 48, 1)));
    QVERIFY(f.add("b.png", blocks(64, 48, 2)));
    QVERIFY(f.addBytes("c.jpg", QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(300, 'x')));
    QHash<QString, QByteArray> before;
    for (const QString &name : filesIn(f.in.path()))
        before[name] = contents(f.in.filePath(name));
    BatchEngine engine;
    const QList<FileOutcome> failures = f.run(engine);

    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures[0].name, QStringLiteral("c.jpg"));
    QCOMPARE(filesIn(f.in.path()), after);
    for (const QString &name : untouched)
        QVERIFY2(contents(f.in.filePath(name)) == before[name], qPrintable(name));
    QCOMPARE(readPicture(f.in.filePath("a." + outext)).size(), QSize(32, 24));
    QCOMPARE(readPicture(f.in.filePath("b." + outext)).size(), QSize(32, 24));
}

void TestBatchEngine::failuresKeepTheEarlierOutput_data()
{
    QTest::addColumn<QString>("destination"); // in the destination folder; empty for itself
    QTest::addColumn<QString>("width");       // empty for 1 to 1
    QTest::addColumn<QString>("height");
    QTest::addColumn<QStringList>("said"); // in every message, with <in> and <out> the file's paths

    const QStringList save{"Cannot save <out>"};
    QTest::newRow("vanished folder") << "gone" << "" << "" << save;
    QTest::newRow("a file in the way") << "a.TGA" << "" << "" << save;
    QTest::newRow("read-only folder") << "" << "" << "" << save;
    QTest::newRow("wider than the imaging limit") << "" << "40000" << "10" << QStringList{"<in>", "32767 on a side"};
    QTest::newRow("too many pixels in all")
        << "" << "30000" << "30000" << QStringList{"<in>", "200000000 pixels in all"};
    QTest::newRow("beyond a 32-bit integer")
        << "" << "10" << "1e12" << QStringList{"Cannot convert <in>: the custom height \"1e12\" is too large"};
}

void TestBatchEngine::failuresKeepTheEarlierOutput()
{
    QFETCH(QString, destination);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QStringList, said);
    const bool readOnly = QByteArray(QTest::currentDataTag()) == "read-only folder";
    if (readOnly && geteuid() == 0)
        QSKIP("the superuser writes into read-only folders");
    Folders f("TGA", width, height);
    QVERIFY(f.add("a.png", blocks(16, 16, 1)));
    QVERIFY(f.add("b.png", blocks(16, 16, 2)));
    QVERIFY(writePicture(f.out.filePath("a.TGA"), blocks(8, 8, 3)));
    const QByteArray earlier = contents(f.out.filePath("a.TGA"));
    if (!destination.isEmpty())
        f.page.destination = f.out.filePath(destination);
    if (readOnly)
        QVERIFY(QFile::setPermissions(f.out.path(), QFile::ReadOwner | QFile::ExeOwner));
    BatchEngine engine;
    const QList<FileOutcome> failures = f.run(engine);
    QFile::setPermissions(f.out.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(failures.size(), 2);
    for (const FileOutcome &o : failures)
        for (QString part : said) {
            part.replace(QLatin1String("<in>"), QDir::toNativeSeparators(o.source));
            part.replace(QLatin1String("<out>"), QDir::toNativeSeparators(o.output));
            QVERIFY2(o.message.contains(part), qPrintable(o.message));
        }
    QCOMPARE(filesIn(f.out.path()), QStringList{"a.TGA"});
    QCOMPARE(contents(f.out.filePath("a.TGA")), earlier);
}

void TestBatchEngine::changesApplyToLaterFiles_data()
{
    QTest::addColumn<SizeChoice>("sizeBefore");
    QTest::addColumn<QString>("outextBefore");
    QTest::addColumn<SizeChoice>("sizeAfter");
    QTest::addColumn<QString>("outextAfter");
    QTest::addColumn<QSize>("expectedBefore");
    QTest::addColumn<QSize>("expectedAfter");

    QTest::newRow("to custom size and BMP")
        << SizeChoice::OneToOne << "PNG" << SizeChoice::Custom << "BMP" << QSize(40, 30) << QSize(7, 9);
    QTest::newRow("back to 1 to 1")
        << SizeChoice::Size640x480 << "TIF" << SizeChoice::OneToOne << "TIF" << QSize(640, 480) << QSize(40, 30);
}

void TestBatchEngine::changesApplyToLaterFiles()
{
    QFETCH(SizeChoice, sizeBefore);
    QFETCH(QString, outextBefore);
    QFETCH(SizeChoice, sizeAfter);
    QFETCH(QString, outextAfter);
    QFETCH(QSize, expectedBefore);
    QFETCH(QSize, expectedAfter);
    Folders f(outextBefore, "7", "9");
    f.page.size = sizeBefore;
    for (int i = 0; i < 6; ++i)
        QVERIFY(f.add(QStringLiteral("p%1.png").arg(i), blocks(40, 30, i)));

    // Two workers take the first two files at the start; the user's change,
    // made when the first file is done, applies to every file after them.
    BatchEngine engine(2);
    connect(&engine, &BatchEngine::fileFinished, this, [&] {
        f.page.size = sizeAfter;
        f.page.outext = outextAfter;
    });
    const QList<FileOutcome> failures = f.run(engine);
    QVERIFY2(failures.isEmpty(), qPrintable(messages(failures)));

    for (int i = 0; i < 6; ++i) {
        const QString stem = f.out.filePath(QStringLiteral("p%1.").arg(i));
        QCOMPARE(readPicture(stem + (i < 2 ? outextBefore : outextAfter)).size(),
                 i < 2 ? expectedBefore : expectedAfter);
        if (outextBefore != outextAfter)
            QVERIFY(!QFile::exists(stem + (i < 2 ? outextAfter : outextBefore)));
    }
}

void TestBatchEngine::captionsFollowTheList_data()
{
    QTest::addColumn<QStringList>("changedList");
    QTest::addColumn<QString>("lastCaption");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QString>("failed");

    QTest::newRow("list grows, run still stops after 3")
        << QStringList{"a.png", "b.png", "c.png", "d.png", "e.png"} << "Now Processing # 3 of 5"
        << QStringList{"a.jpg", "b.jpg", "c.jpg"} << "";
    QTest::newRow("entry dropped out of the list")
        << QStringList{"a.png"} << "Now Processing # 3 of 1" << QStringList{"a.jpg", "b.jpg"}
        << "There is no file at position 3 of the list any more: it now holds 1.";
    QTest::newRow("entry at the position changes") << QStringList{"a.png", "b.png", "e.png"}
                                                   << "Now Processing # 3 of 3"
                                                   << QStringList{"a.jpg", "b.jpg", "e.jpg"} << "";
}

void TestBatchEngine::captionsFollowTheList()
{
    QFETCH(QStringList, changedList);
    QFETCH(QString, lastCaption);
    QFETCH(QStringList, outputs);
    QFETCH(QString, failed);
    Folders f("jpg");
    for (const char *name : {"a.png", "b.png", "c.png", "d.png", "e.png"})
        QVERIFY(f.add(name, blocks(12, 12, name[0])));
    f.entries = {"a.png", "b.png", "c.png"};

    BatchEngine engine(2);
    connect(&engine, &BatchEngine::fileFinished, this, [&] { f.entries = changedList; });
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    const QList<FileOutcome> failures = f.run(engine);

    QStringList seen;
    for (const QList<QVariant> &args : shown)
        seen << args.at(0).toString();
    QCOMPARE(seen, QStringList({"3 images to convert.", "Now Processing # 1 of 3", "Now Processing # 2 of 3",
                                lastCaption}));
    QCOMPARE(filesIn(f.out.path()), outputs);
    QCOMPARE(messages(failures), failed);
}

void TestBatchEngine::laterEntryWinsASharedOutput()
{
    // a.bmp, a.jpg and a.png all become a.TIF. The first is slow to convert
    // and the last quick; what stays must be the last one's picture, as when
    // the files are converted one after the other.
    Folders f("TIF");
    QVERIFY(f.add("a.bmp", photo(2000, 1500, 1)));
    QVERIFY(f.add("a.jpg", photo(300, 200, 2)));
    QVERIFY(f.add("a.png", blocks(10, 10, 3)));
    QVERIFY(f.add("b.png", blocks(12, 12, 4)));
    BatchEngine engine(3);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QVERIFY(f.run(engine).isEmpty());

    QList<qsizetype> aOrder;
    for (const QList<QVariant> &args : done)
        if (const FileOutcome o = args.at(0).value<FileOutcome>(); o.output == f.out.filePath("a.TIF"))
            aOrder << o.position;
    QCOMPARE(done.size(), 4);
    QCOMPARE(aOrder, QList<qsizetype>({0, 1, 2}));
    QCOMPARE(readPicture(f.out.filePath("a.TIF")), blocks(10, 10, 3));
    QCOMPARE(filesIn(f.out.path()), QStringList({"a.TIF", "b.TIF"}));
}

void TestBatchEngine::emptyRun()
{
    Folders f("jpg");
    BatchEngine engine;
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    // Twice: a finished run leaves the engine ready for the next.
    QVERIFY(f.run(engine).isEmpty());
    QVERIFY(f.run(engine).isEmpty());
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).at(0).toString(), QStringLiteral("0 images to convert."));
}

void TestBatchEngine::singleFileDuringRun()
{
    Folders f("PNG");
    for (int i = 0; i < 4; ++i)
        QVERIFY(f.add(QStringLiteral("p%1.png").arg(i), blocks(100, 80, i)));
    QVERIFY(writePicture(f.out.filePath("p3.TIF"), blocks(5, 5, 0)));
    BatchEngine engine;
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QVERIFY(engine.start(4, f.source()));
    QVERIFY(!engine.start(4, f.source())); // one run at a time
    const qsizetype captionsBefore = shown.size();

    FileChoices choices = f.source()(3);
    choices.outext = QStringLiteral("TIF");
    const FileOutcome outcome = engine.convertOne(choices);
    QVERIFY2(outcome.converted, qPrintable(outcome.message));
    QCOMPARE(outcome.output, f.out.filePath("p3.TIF"));
    QCOMPARE(readPicture(f.out.filePath("p3.TIF")), blocks(100, 80, 3));
    choices.name.clear();
    QCOMPARE(engine.convertOne(choices).message, QStringLiteral("No file is selected in the list."));
    QCOMPARE(shown.size(), captionsBefore);

    QVERIFY(finished.wait(60000));
    QCOMPARE(done.size(), 4);
    QVERIFY(finished.at(0).at(0).value<QList<FileOutcome>>().isEmpty());
    QCOMPARE(filesIn(f.out.path()), QStringList({"p0.PNG", "p1.PNG", "p2.PNG", "p3.PNG", "p3.TIF"}));
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
    Folders f("PNG");
    for (int i = 0; i < 8; ++i)
        QVERIFY(f.add(QStringLiteral("p%1.jpg").arg(i), photo(800, 600, i)));
    BatchEngine engine(2);
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QMetaObject::Connection closing;
    if (when == QLatin1String("outcome"))
        closing = connect(&engine, &BatchEngine::fileFinished, &engine, &BatchEngine::stop);
    if (when == QLatin1String("caption"))
        closing = connect(&engine, &BatchEngine::captionChanged, &engine, &BatchEngine::stop);
    QVERIFY(engine.start(8, f.source()));
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
    for (const QString &name : filesIn(f.out.path())) {
        QVERIFY2(mayExist.contains(name), qPrintable(name));
        QCOMPARE(readPicture(f.out.filePath(name)).size(), QSize(800, 600));
    }

    // The engine takes the next run as usual.
    disconnect(closing);
    f.entries = {"p7.jpg"};
    QVERIFY(f.run(engine).isEmpty());
    QVERIFY(QFile::exists(f.out.filePath("p7.PNG")));
}

void TestBatchEngine::reducedJpegDecodingLooksTheSame()
{
    // Other proportions than the picture's: decoded at half size, then resized.
    const QSize target(300, 500);
    Folders f("PNG", QString::number(target.width()), QString::number(target.height()));
    QVERIFY(f.add("big.jpg", photo(1600, 1200, 4)));
    imaging::ImageMan full;
    QVERIFY(full.setImageFile(f.in.filePath("big.jpg")) && full.resizeImage(target.width(), target.height()));
    const QImage reference = full.image().convertToFormat(QImage::Format_RGB32);
    BatchEngine engine;
    QVERIFY(f.run(engine).isEmpty());

    const QImage converted = readPicture(f.out.filePath("big.PNG"));
    QCOMPARE(converted.size(), target);
    double sum = 0;
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x) {
            const QRgb p = converted.pixel(x, y), q = reference.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    const double meanDifference = sum / (3.0 * target.width() * target.height());
    QVERIFY2(meanDifference < 2.0, qPrintable(QString::number(meanDifference)));
}

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
