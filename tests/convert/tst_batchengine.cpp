#include "convert/batchengine.h"
#include "convert/captions.h"
#include "convert/workerthread.h"

#include "common/filetypes.h"
#include "imaging/imageman.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <mutex>
#include <unistd.h>

using convert::BatchEngine;
using convert::ConversionJob;
using convert::EngineOptions;
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

// Smooth shading with an edged disc, like a photograph.
QImage photo(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(int(127 + 120 * std::sin(6.0 * x / width + seed)), 255 * y / height,
                                      int(127 + 120 * std::cos(9.0 * x * y / width / height + seed))));
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

// Every file of `folder` as "name WxH", the size read back from the file.
QStringList pictures(const QString &folder)
{
    QStringList list;
    for (const QString &name : filesIn(folder)) {
        const QSize size = readPicture(QDir(folder).filePath(name)).size();
        list << QStringLiteral("%1 %2x%3").arg(name).arg(size.width()).arg(size.height());
    }
    return list;
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
    QStringList sources() const
    {
        QStringList paths;
        for (const QString &name : entries)
            paths << in.filePath(name);
        return paths;
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
        if (engine.start(sources(), source()) && finished.isEmpty() && finished.wait(300000) && !engine.isRunning()
            && finished.at(0).at(1).value<qsizetype>() == count)
            return finished.at(0).at(0).value<QList<FileOutcome>>();
        const QString broken = QStringLiteral("the run did not start, ended at once, or did not end");
        return {FileOutcome{-1, {}, {}, {}, false, broken}};
    }
};

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private slots:
    void everyFormatAsOutput_data();
    void everyFormatAsOutput();
    void corruptFilesAmongGoodOnes_data();
    void corruptFilesAmongGoodOnes();
    void failuresKeepTheEarlierOutput_data();
    void failuresKeepTheEarlierOutput();
    void changesDuringARun_data();
    void changesDuringARun();
    void laterEntryWinsASharedOutput();
    void emptyRun();
    void singleFileDuringRun();
    void runNeverReplacesItsOwnEntries_data();
    void runNeverReplacesItsOwnEntries();
    void memoryBudgetIsNeverExceeded();
    void stopIsOverWithinASecond_data();
    void stopIsOverWithinASecond();
    void stopLeavesNoHalfWrittenFile_data();
    void stopLeavesNoHalfWrittenFile();
    void reducedJpegDecodingLooksTheSame();
};

void TestBatchEngine::everyFormatAsOutput_data()
{
    QTest::addColumn<QString>("outext");
    QTest::addColumn<bool>("lossless");

    const QByteArrayList lossless{"TIF", "BMP", "RLE", "PCX", "PNG", "TGA", "DCX"};
    QTest::newRow("jpg before any format click") << "jpg" << false;
    for (const common::FileTypeInfo &type : common::kFileTypes)
        QTest::newRow(type.caption) << QString::fromLatin1(type.caption) << lossless.contains(type.caption);
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

    // A PCD is written at its base size, and the user is told so.
    const bool pcd = outext == QLatin1String("PCD");
    QCOMPARE(pictures(f.out.path()), QStringList({"flat." + outext + (pcd ? " 768x512" : " 48x32"),
                                                  "photo." + outext + (pcd ? " 768x512" : " 64x40")}));
    if (lossless)
        QCOMPARE(readPicture(f.out.filePath("flat." + outext)), flat);
    const FileOutcome first = done.at(0).at(0).value<FileOutcome>();
    QVERIFY2(first.converted && first.message.contains(QLatin1String("768 x 512")) == pcd, qPrintable(first.message));
}

void TestBatchEngine::corruptFilesAmongGoodOnes_data()
{
    QTest::addColumn<QString>("outext");
    QTest::addColumn<bool>("intoItself");
    QTest::addColumn<QStringList>("after"); // in the destination

    QTest::newRow("to another folder that holds an output of a failing file")
        << "PNG" << false << QStringList{"a.PNG", "b.PNG", "d.PNG"};
    QTest::newRow("into itself, jpg writes over its own jpg")
        << "jpg" << true << QStringList{"a.jpg", "b.jpg", "b.png", "c.jpg", "d.jpg", "e.jpg", "f.bmp"};
    QTest::newRow("into itself, JPG beside a jpg")
        << "JPG" << true << QStringList{"a.JPG", "a.jpg", "b.JPG", "b.png", "c.jpg", "d.jpg", "e.jpg", "f.bmp"};
}

void TestBatchEngine::corruptFilesAmongGoodOnes()
{
    QFETCH(QString, outext);
    QFETCH(bool, intoItself);
    QFETCH(QStringList, after);
    Folders f(outext, "32", "24");
    const QString destination = intoItself ? f.in.path() : f.out.path();
    f.page.destination = destination;
    QVERIFY(f.add("a.jpg", photo(64, 48, 1)));
    QVERIFY(f.add("b.png", blocks(64, 48, 2)));
    QVERIFY(f.addBytes("c.jpg", QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(300, 'x')));
    QVERIFY(f.addBytes("d.jpg", "this is a note, not a picture\n"));
    QVERIFY(writePicture(f.in.filePath("e.jpg"), photo(200, 150, 3)));
    QVERIFY(f.addBytes("e.jpg", contents(f.in.filePath("e.jpg")).left(600)));
    QVERIFY(f.addBytes("f.bmp", {}));
    if (!intoItself)
        QVERIFY(writePicture(f.out.filePath("d.PNG"), blocks(9, 9, 3)));
    QHash<QString, QByteArray> before;
    for (const QString &name : filesIn(destination))
        before[name] = contents(QDir(destination).filePath(name));
    BatchEngine engine;
    const QList<FileOutcome> failures = f.run(engine);

    QStringList failed;
    for (const FileOutcome &o : failures) {
        failed << o.name;
        QVERIFY2(!o.converted && o.message.contains(QDir::toNativeSeparators(f.in.filePath(o.name))),
                 qPrintable(o.message));
    }
    failed.sort();
    QCOMPARE(failed, QStringList({"c.jpg", "d.jpg", "e.jpg", "f.bmp"}));
    const QString message = convert::failureMessage(failures, 6);
    QVERIFY2(message.startsWith(QLatin1String("4 of 6 files could not be converted:")), qPrintable(message));
    QCOMPARE(filesIn(destination), after);
    for (const QString &name : before.keys())
        if (name != "a." + outext)
            QVERIFY2(contents(QDir(destination).filePath(name)) == before[name], qPrintable(name));
    QCOMPARE(readPicture(QDir(destination).filePath("a." + outext)).size(), QSize(32, 24));
    QCOMPARE(readPicture(QDir(destination).filePath("b." + outext)).size(), QSize(32, 24));
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

void TestBatchEngine::changesDuringARun_data()
{
    QTest::addColumn<SizeChoice>("sizeBefore");
    QTest::addColumn<QString>("outextBefore");
    QTest::addColumn<QStringList>("listAfter");
    QTest::addColumn<SizeChoice>("sizeAfter");
    QTest::addColumn<QString>("outextAfter");
    QTest::addColumn<QString>("lastCaption");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QString>("failed");

    const QStringList abc{"a.png", "b.png", "c.png"};
    const SizeChoice one = SizeChoice::OneToOne;
    QTest::newRow("to custom size and BMP") << one << "PNG" << abc << SizeChoice::Custom << "BMP"
        << "Now Processing # 3 of 3" << QStringList{"a.PNG 40x30", "b.PNG 40x30", "c.BMP 7x9"} << "";
    QTest::newRow("back to 1 to 1") << SizeChoice::Size640x480 << "TIF" << abc << one << "TIF"
        << "Now Processing # 3 of 3" << QStringList{"a.TIF 640x480", "b.TIF 640x480", "c.TIF 40x30"} << "";
    QTest::newRow("list grows, run still stops after 3")
        << one << "PNG" << QStringList{"a.png", "b.png", "c.png", "d.png", "e.png"} << one << "PNG"
        << "Now Processing # 3 of 5" << QStringList{"a.PNG 40x30", "b.PNG 40x30", "c.PNG 40x30"} << "";
    QTest::newRow("entry dropped out of the list") << one << "PNG" << QStringList{"a.png"} << one << "PNG"
        << "Now Processing # 3 of 1" << QStringList{"a.PNG 40x30", "b.PNG 40x30"}
        << "There is no file at position 3 of the list any more: it now holds 1.";
    QTest::newRow("entry at the position changes") << one << "PNG" << QStringList{"a.png", "b.png", "e.png"}
        << one << "PNG" << "Now Processing # 3 of 3" << QStringList{"a.PNG 40x30", "b.PNG 40x30", "e.PNG 40x30"} << "";
}

void TestBatchEngine::changesDuringARun()
{
    QFETCH(SizeChoice, sizeBefore);
    QFETCH(QString, outextBefore);
    QFETCH(QStringList, listAfter);
    QFETCH(SizeChoice, sizeAfter);
    QFETCH(QString, outextAfter);
    QFETCH(QString, lastCaption);
    QFETCH(QStringList, outputs);
    QFETCH(QString, failed);
    Folders f(outextBefore, "7", "9");
    f.page.size = sizeBefore;
    for (const char *name : {"a.png", "b.png", "c.png", "d.png", "e.png"})
        QVERIFY(f.add(name, blocks(40, 30, name[0])));
    f.entries.resize(3);

    // Two workers take the first two files at the start; the user's change,
    // made when the first file is done, applies to every file after them.
    BatchEngine engine({.workers = 2});
    connect(&engine, &BatchEngine::fileFinished, this, [&] {
        f.entries = listAfter;
        f.page.size = sizeAfter;
        f.page.outext = outextAfter;
    });
    QSignalSpy shown(&engine, &BatchEngine::captionChanged);
    const QList<FileOutcome> failures = f.run(engine);

    QStringList seen;
    for (const QList<QVariant> &args : shown)
        seen << args.at(0).toString();
    QCOMPARE(seen, QStringList({"3 images to convert.", "Now Processing # 1 of 3", "Now Processing # 2 of 3",
                                lastCaption}));
    QCOMPARE(pictures(f.out.path()), outputs);
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
    BatchEngine engine({.workers = 3});
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QVERIFY(f.run(engine).isEmpty());

    QList<qsizetype> aOrder;
    for (const QList<QVariant> &args : done)
        if (const FileOutcome o = args.at(0).value<FileOutcome>(); o.output == f.out.filePath("a.TIF"))
            aOrder << o.position;
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
    QSignalSpy single(&engine, &BatchEngine::singleFinished);
    QVERIFY(engine.start(f.sources(), f.source()));
    QVERIFY(!engine.start(f.sources(), f.source())); // one run at a time
    const qsizetype captionsBefore = shown.size();

    FileChoices choices = f.source()(3);
    choices.outext = QStringLiteral("TIF");
    engine.convertOne(choices);
    choices.name.clear();
    engine.convertOne(choices);
    QCOMPARE(shown.size(), captionsBefore);
    QTRY_COMPARE_WITH_TIMEOUT(single.size(), 2, 60000);
    QCOMPARE(single.at(0).at(0).value<FileOutcome>().message, QStringLiteral("No file is selected in the list."));
    const FileOutcome outcome = single.at(1).at(0).value<FileOutcome>();
    QVERIFY2(outcome.converted, qPrintable(outcome.message));
    QCOMPARE(outcome.output, f.out.filePath("p3.TIF"));
    QCOMPARE(readPicture(f.out.filePath("p3.TIF")), blocks(100, 80, 3));

    QVERIFY(finished.size() == 1 || finished.wait(60000));
    QCOMPARE(done.size(), 4);
    QVERIFY(finished.at(0).at(0).value<QList<FileOutcome>>().isEmpty());
    QCOMPARE(filesIn(f.out.path()), QStringList({"p0.PNG", "p1.PNG", "p2.PNG", "p3.PNG", "p3.TIF"}));
}

void TestBatchEngine::runNeverReplacesItsOwnEntries_data()
{
    QTest::addColumn<QStringList>("order"); // the list as the run finds it
    QTest::addColumn<QString>("destination"); // the source folder by another name; empty for its own

    QTest::newRow("bmp before jpg") << QStringList{"a.bmp", "a.jpg", "c.png"} << "";
    QTest::newRow("jpg before bmp") << QStringList{"a.jpg", "a.bmp", "c.png"} << "";
    QTest::newRow("through a link and a dot") << QStringList{"c.png", "a.bmp", "a.jpg"} << "same/.";
}

void TestBatchEngine::runNeverReplacesItsOwnEntries()
{
    QFETCH(QStringList, order);
    QFETCH(QString, destination);
    Folders f("jpg");
    QVERIFY(writePicture(f.in.filePath("a.bmp"), blocks(40, 30, 1)));
    QVERIFY(writePicture(f.in.filePath("a.jpg"), photo(24, 24, 2)));
    QVERIFY(writePicture(f.in.filePath("c.png"), blocks(16, 8, 3)));
    QVERIFY(writePicture(f.in.filePath("c.jpg"), photo(9, 9, 4))); // not listed: replaced as ever
    f.entries = order;
    f.page.destination = f.in.path();
    if (!destination.isEmpty()) {
        QVERIFY(QFile::link(f.in.path(), f.out.filePath("same")));
        f.page.destination = f.out.filePath(destination);
    }
    BatchEngine engine;
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QSignalSpy single(&engine, &BatchEngine::singleFinished);
    const FileChoices bmp = f.source()(order.indexOf("a.bmp"));
    QVERIFY(engine.start(f.sources(), f.source()));
    engine.convertOne(bmp); // a double-click during the run
    QVERIFY(finished.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(single.size(), 1, 60000);

    const QString reason = QStringLiteral("Cannot convert %1: %2 is %3 and would be replaced.")
                               .arg(QDir::toNativeSeparators(f.in.filePath("a.bmp")),
                                    QDir::toNativeSeparators(f.page.destination + "/a.jpg"));
    QCOMPARE(messages(finished.at(0).at(0).value<QList<FileOutcome>>()), reason.arg("another file of this run"));
    QCOMPARE(single.at(0).at(0).value<FileOutcome>().message, reason.arg("a file of the batch run in progress"));
    QCOMPARE(readPicture(f.in.filePath("a.jpg")).size(), QSize(24, 24));
    QCOMPARE(readPicture(f.in.filePath("c.jpg")).size(), QSize(16, 8));
    engine.convertOne(bmp); // outside a run a double-click replaces what it must
    QVERIFY(single.wait(60000));
    QCOMPARE(readPicture(f.in.filePath("a.jpg")).size(), QSize(40, 30));
}

// Fake estimates against a budget of 100, as the fake conversions see them:
// the files converting at once never need more together, one over the budget
// converts alone, and every file ends, those sharing an output in list order.
void TestBatchEngine::memoryBudgetIsNeverExceeded()
{
    const QHash<QString, qint64> need{{"a.png", 60}, {"d.png", 10}, {"b.png", 30}, {"big.png", 150},
                                      {"c.png", 50}, {"d.bmp", 40}, {"huge.png", 500}, {"e.png", 90},
                                      {"f.png", 5}, {"d.tga", 45}, {"g.png", 20}, {"h.png", 45}};
    Folders f("PNG");
    f.entries = {"a.png", "d.png", "b.png", "big.png", "c.png", "d.bmp", "huge.png", "e.png", "f.png", "d.tga",
                 "g.png", "h.png"};
    std::mutex mutex;
    qint64 inUse = 0;
    int converting = 0, mostAtOnce = 0;
    QStringList overBudget, sharedOutput;
    const auto estimate = [&](const QString &source, auto, auto) { return need.value(QFileInfo(source).fileName()); };
    const auto convert = [&](const ConversionJob &job, auto, auto) {
        {
            std::lock_guard lock(mutex);
            inUse += need.value(job.name);
            mostAtOnce = std::max(mostAtOnce, ++converting);
            if (converting > 1 && inUse > 100)
                overBudget << QStringLiteral("%1 with %2 at once").arg(job.name).arg(converting);
            if (job.name.startsWith(QLatin1String("d.")))
                sharedOutput << job.name;
        }
        QThread::msleep(20);
        std::lock_guard lock(mutex);
        inUse -= need.value(job.name);
        --converting;
        return FileOutcome{job.position, job.name, job.source, job.output, true, {}};
    };
    BatchEngine engine({.workers = 4, .memoryBudget = 100, .estimate = estimate, .convert = convert});
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QVERIFY(f.run(engine).isEmpty());

    QVERIFY2(overBudget.isEmpty(), qPrintable(overBudget.join(", ")));
    QCOMPARE(done.size(), f.entries.size());
    QCOMPARE(sharedOutput, QStringList({"d.png", "d.bmp", "d.tga"}));
    QVERIFY(mostAtOnce > 1);
}

void TestBatchEngine::stopIsOverWithinASecond_data()
{
    QTest::addColumn<bool>("listens"); // the conversion gives up once stopped
    QTest::addColumn<bool>("single");  // a double-clicked file rather than a run's

    QTest::newRow("run, conversion gives up") << true << false;
    QTest::newRow("run, conversion goes on") << false << false;
    QTest::newRow("double-click, conversion gives up") << true << true;
    QTest::newRow("double-click, conversion goes on") << false << true;
}

void TestBatchEngine::stopIsOverWithinASecond()
{
    QFETCH(bool, listens);
    QFETCH(bool, single);
    std::atomic_int begun{0};
    std::atomic<qint64> limitSeen{0};
    const auto slow = [&](const ConversionJob &job, std::chrono::milliseconds limit, imaging::CancelFlag cancel) {
        ++begun;
        limitSeen = limit.count();
        const imaging::Deadline deadline(limit, cancel);
        QElapsedTimer timer;
        timer.start();
        while (listens ? !deadline.expired() : timer.elapsed() < 2000)
            QThread::msleep(5);
        return FileOutcome{job.position, job.name, job.source, job.output, false, deadline.reason()};
    };
    Folders f("PNG");
    f.entries = {"a.png", "b.png", "c.png"};
    BatchEngine engine({.workers = 2, .timeLimit = std::chrono::minutes(10), .convert = slow});
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QSignalSpy singles(&engine, &BatchEngine::singleFinished);
    if (single)
        engine.convertOne(f.source()(0));
    else
        QVERIFY(engine.start(f.sources(), f.source()));
    QTRY_COMPARE_WITH_TIMEOUT(begun.load(), single ? 1 : 2, 10000);
    QElapsedTimer timer;
    timer.start();
    engine.stop();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(limitSeen.load(), 600000);
    // A conversion that listens is over; one that does not ends on its own,
    // and nothing of it is reported.
    QCOMPARE(convert::WorkerThread::abandonedRunning(), listens ? 0 : begun.load());
    QTRY_COMPARE_WITH_TIMEOUT(convert::WorkerThread::abandonedRunning(), 0, 10000);
    QCoreApplication::processEvents();
    QVERIFY(done.isEmpty() && finished.isEmpty() && singles.isEmpty());
}

void TestBatchEngine::stopLeavesNoHalfWrittenFile_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<int>("outcomes");
    QTest::addColumn<QStringList>("mayExist");

    const QStringList inHand{"p0.PNG 800x600", "p1.PNG 800x600"};
    QTest::newRow("right after the start") << "start" << 0 << inHand;
    QTest::newRow("when the first file is done") << "outcome" << 1 << inHand;
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
    BatchEngine engine({.workers = 2});
    QSignalSpy done(&engine, &BatchEngine::fileFinished);
    QSignalSpy finished(&engine, &BatchEngine::finished);
    QMetaObject::Connection closing;
    if (when == QLatin1String("outcome"))
        closing = connect(&engine, &BatchEngine::fileFinished, &engine, &BatchEngine::stop);
    if (when == QLatin1String("caption"))
        closing = connect(&engine, &BatchEngine::captionChanged, &engine, &BatchEngine::stop);
    QVERIFY(engine.start(f.sources(), f.source()));
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
    for (const QString &picture : pictures(f.out.path()))
        QVERIFY2(mayExist.contains(picture), qPrintable(picture));

    disconnect(closing);
    f.entries = {"p7.jpg"};
    QVERIFY(f.run(engine).isEmpty()); // the next run goes as usual
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
