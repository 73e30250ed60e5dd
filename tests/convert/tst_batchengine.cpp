#include "convert/batchengine.h"
#include "convert/workerthread.h"
#include "imaging/imageman.h"
#include "processes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <mutex>

using namespace convert;
using namespace testpictures;

namespace {

QImage readPicture(const QString &path)
{
    imaging::ImageMan imageMan;
    if (const imaging::Result loaded = imageMan.setImageFile(path); !loaded)
        qWarning("%s", qPrintable(loaded.message()));
    return imageMan.image().convertToFormat(QImage::Format_RGB32);
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

// A source folder, an empty destination and the page's controls, which the
// engine reads through a choice source as the window's would be read. Qt's
// own writers write the sources.
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
        return image.save(in.filePath(name));
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
        return {FileOutcome{-1, {}, {}, {}, false, "the run did not start, ended at once, or did not end"}};
    }
};

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private slots:
    void failuresKeepTheEarlierOutput_data()
    {
        QTest::addColumn<QString>("destination"); // in the destination folder; <in> for the source folder itself
        QTest::addColumn<QString>("width");       // empty for 1 to 1
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("cutShort"); // a.jpg is cut short
        QTest::addColumn<QStringList>("said"); // in every message, with <in> and <out> the file's paths
        QTest::addColumn<QStringList>("after"); // in the destination folder, or the source folder for <in>

        const QStringList save{"Cannot save <out>"}, none{"a.png"};
        QTest::newRow("vanished folder") << "gone" << "" << "" << false << save << none;
        QTest::newRow("a file in the way") << "a.png" << "" << "" << false << save << none;
        QTest::newRow("read-only folder") << "" << "" << "" << false << save << none;
        QTest::newRow("wider than the imaging limit")
            << "" << "40000" << "10" << false << QStringList{"<in>", "32767 on a side"} << none;
        QTest::newRow("beyond a 32-bit integer") << "" << "10" << "1e12" << false
            << QStringList{"Cannot convert <in>: the custom height \"1e12\" is too large"} << none;
        QTest::newRow("a file cut short among good ones")
            << "" << "" << "" << true << QStringList{"<in>"} << QStringList{"a.png", "b.png"};
        // The failing file is its own output: it is neither half written nor
        // given another's picture.
        QTest::newRow("cut short, into itself")
            << "<in>" << "" << "" << true << QStringList{"<in>"} << QStringList{"a.jpg", "b.jpg", "b.png"};
    }
    void failuresKeepTheEarlierOutput()
    {
        QFETCH(QString, destination);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, cutShort);
        QFETCH(QStringList, said);
        QFETCH(QStringList, after);
        const bool readOnly = QByteArray(QTest::currentDataTag()) == "read-only folder";
        if (readOnly && geteuid() == 0)
            QSKIP("the superuser writes into read-only folders");
        Folders f("png", width, height);
        QVERIFY(f.add("a.jpg", photoLike(200, 150)) && f.add("b.png", blocks(16, 16)));
        if (cutShort)
            writeBytes(f.in.filePath("a.jpg"), readAll(f.in.filePath("a.jpg")).left(600));
        QVERIFY(blocks(8, 8).save(f.out.filePath("a.png"))); // an earlier output
        const bool intoItself = destination == "<in>";
        if (!destination.isEmpty())
            f.page.destination = intoItself ? f.in.path() : f.out.filePath(destination);
        f.page.outext = intoItself ? "jpg" : "png";
        const QString folder = intoItself ? f.in.path() : f.out.path(), aOutput = folder + (intoItself ? "/a.jpg" : "/a.png");
        const QByteArray earlier = readAll(aOutput);
        if (readOnly)
            QVERIFY(QFile::setPermissions(f.out.path(), QFile::ReadOwner | QFile::ExeOwner));
        BatchEngine engine;
        const QList<FileOutcome> failures = f.run(engine);
        QFile::setPermissions(f.out.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(failures.size(), cutShort ? 1 : 2);
        for (const FileOutcome &o : failures)
            for (QString part : said)
                QVERIFY2(o.message.contains(part.replace("<in>", o.source).replace("<out>", o.output)),
                         qPrintable(o.message));
        QCOMPARE(filesIn(folder), after);
        QCOMPARE(readAll(aOutput), earlier);
    }

    void changesDuringARun_data()
    {
        QTest::addColumn<QStringList>("listAfter");
        QTest::addColumn<SizeChoice>("sizeAfter");
        QTest::addColumn<QString>("outextAfter");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QString>("failed");

        const QStringList abc{"a.png", "b.png", "c.png"};
        const SizeChoice one = SizeChoice::OneToOne;
        QTest::newRow("to custom size and BMP")
            << abc << SizeChoice::Custom << "BMP" << QStringList{"a.PNG 40x30", "b.PNG 40x30", "c.BMP 7x9"} << "";
        QTest::newRow("list grows, run still stops after 3") << QStringList{"a.png", "b.png", "c.png", "d.png"}
            << one << "PNG" << QStringList{"a.PNG 40x30", "b.PNG 40x30", "c.PNG 40x30"} << "";
        QTest::newRow("entry dropped out of the list")
            << QStringList{"a.png"} << one << "PNG" << QStringList{"a.PNG 40x30", "b.PNG 40x30"}
            << "There is no file at position 3 of the list any more: it now holds 1.";
        QTest::newRow("entry at the position changes") << QStringList{"a.png", "b.png", "d.png"} << one << "PNG"
            << QStringList{"a.PNG 40x30", "b.PNG 40x30", "d.PNG 40x30"} << "";
    }
    // Two workers take the first two files at the start; the user's change,
    // made once the first file is done, applies to every file handed out after.
    void changesDuringARun()
    {
        QFETCH(QStringList, listAfter);
        QFETCH(SizeChoice, sizeAfter);
        QFETCH(QString, outextAfter);
        QFETCH(QStringList, outputs);
        QFETCH(QString, failed);
        Folders f("PNG", "7", "9");
        f.page.size = SizeChoice::OneToOne;
        for (const char *name : {"a.png", "b.png", "c.png", "d.png"})
            QVERIFY(f.add(name, blocks(40, 30)));
        f.entries.resize(3);
        BatchEngine engine({.workers = 2});
        connect(&engine, &BatchEngine::fileFinished, this, [&] {
            f.entries = listAfter;
            f.page.size = sizeAfter;
            f.page.outext = outextAfter;
        });
        QSignalSpy shown(&engine, &BatchEngine::captionChanged);
        const QList<FileOutcome> failures = f.run(engine);

        QStringList seen;
        for (const QList<QVariant> &arguments : shown)
            seen << arguments.at(0).toString();
        QCOMPARE(seen, QStringList({"3 images to convert.", "Now Processing # 1 of 3", "Now Processing # 2 of 3",
                                    QStringLiteral("Now Processing # 3 of %1").arg(listAfter.size())}));
        QCOMPARE(pictures(f.out.path()), outputs);
        QCOMPARE(failures.size(), failed.isEmpty() ? 0 : 1);
        QCOMPARE(failures.value(0).message, failed);
        f.entries.clear(); // the engine is ready for the next run, which ends through the event loop however short
        QVERIFY(f.run(engine).isEmpty());
    }

    void doubleClicksDuringARun_data()
    {
        QTest::addColumn<QStringList>("order"); // the list as the run finds it
        QTest::addColumn<QString>("destination"); // the source folder by another name; empty for its own

        QTest::newRow("bmp before jpg") << QStringList{"a.bmp", "a.jpg", "c.png"} << "";
        QTest::newRow("jpg before bmp") << QStringList{"a.jpg", "a.bmp", "c.png"} << "";
        QTest::newRow("through a link and a dot") << QStringList{"c.png", "a.bmp", "a.jpg"} << "same/.";
    }
    // Neither a run's file nor a double-clicked one replaces another file of
    // the running run; a double-click that replaces none converts beside the
    // run, here to a type of one size, which the user is told of.
    void doubleClicksDuringARun()
    {
        QFETCH(QStringList, order);
        QFETCH(QString, destination);
        Folders f("jpg");
        QVERIFY(f.add("a.bmp", blocks(40, 30)) && f.add("a.jpg", photoLike(24, 24)) && f.add("c.png", blocks(16, 8)));
        QVERIFY(photoLike(9, 9).save(f.in.filePath("c.jpg"))); // not listed: replaced as ever
        f.entries = order;
        QVERIFY(QFile::link(f.in.path(), f.out.filePath("same")));
        f.page.destination = destination.isEmpty() ? f.in.path() : f.out.filePath(destination);
        BatchEngine engine;
        QSignalSpy shown(&engine, &BatchEngine::captionChanged);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        QSignalSpy single(&engine, &BatchEngine::singleFinished);
        const FileChoices bmp = f.source()(order.indexOf("a.bmp"));
        FileChoices png = f.source()(order.indexOf("c.png")), none = png;
        png.outext = QStringLiteral("PCD");
        none.name.clear();
        QVERIFY(engine.start(f.sources(), f.source()));
        QVERIFY(!engine.start(f.sources(), f.source())); // one run at a time
        const qsizetype captions = shown.size();
        for (const FileChoices &choices : {bmp, png, none})
            engine.convertOne(choices);
        QCOMPARE(shown.size(), captions);
        QVERIFY(finished.wait(60000));
        QTRY_COMPARE_WITH_TIMEOUT(single.size(), 3, 60000);

        const QString reason = QStringLiteral("Cannot convert %1: %2 is %3 and would be replaced.")
                                   .arg(f.in.filePath("a.bmp"), f.page.destination + "/a.jpg");
        const QList<FileOutcome> failures = finished.at(0).at(0).value<QList<FileOutcome>>();
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures[0].message, reason.arg("another file of this run"));
        QStringList said;
        for (const QList<QVariant> &arguments : single)
            said << arguments.at(0).value<FileOutcome>().message;
        said.sort();
        QVERIFY2(said.size() == 3 && said.takeFirst().contains("768 x 512"), qPrintable(said.join('\n')));
        QCOMPARE(said, QStringList({reason.arg("a file of the batch run in progress"), "No file is selected in the list."}));
        QCOMPARE(pictures(f.in.path()).filter(QRegularExpression("^(a.jpg|c.jpg|c.PCD) ")),
                 QStringList({"a.jpg 24x24", "c.PCD 768x512", "c.jpg 16x8"}));
        engine.convertOne(bmp); // outside a run a double-click replaces what it must
        QVERIFY(single.wait(60000));
        QCOMPARE(readPicture(f.in.filePath("a.jpg")).size(), QSize(40, 30));
    }

    // Fake estimates against a budget of 100, as the fake conversions see
    // them: the files converting at once never need more together, one over
    // the budget converts alone, and of those sharing an output (d.*) each
    // starts once the one before it in the list has ended, so the last one's
    // picture stays.
    void memoryBudgetIsNeverExceeded()
    {
        const QMap<QString, qint64> need{{"a.png", 60}, {"b.png", 30}, {"big.png", 150}, {"c.png", 50},
                                         {"d.bmp", 40}, {"d.png", 10}, {"d.tga", 45}, {"e.png", 90},
                                         {"f.png", 5}, {"g.png", 20}, {"h.png", 45}, {"huge.png", 500}};
        Folders f("PNG");
        f.entries = need.keys();
        std::mutex mutex;
        qint64 inUse = 0;
        int converting = 0, mostAtOnce = 0, sharing = 0;
        QStringList faults, sharedOutput;
        const auto estimate = [&](const QString &source, auto, auto) { return need.value(QFileInfo(source).fileName()); };
        const auto convert = [&](const ConversionJob &job, auto, auto) {
            {
                std::lock_guard lock(mutex);
                inUse += need.value(job.name);
                mostAtOnce = std::max(mostAtOnce, ++converting);
                if (converting > 1 && inUse > 100)
                    faults << QStringLiteral("%1 over the budget with %2 at once").arg(job.name).arg(converting);
                if (job.name.startsWith(QLatin1String("d."))) {
                    sharedOutput << job.name;
                    if (++sharing > 1)
                        faults << job.name + " beside another file of its output";
                }
            }
            QThread::msleep(20);
            std::lock_guard lock(mutex);
            inUse -= need.value(job.name);
            --converting;
            sharing -= job.name.startsWith(QLatin1String("d."));
            return FileOutcome{job.position, job.name, job.source, job.output, true, {}};
        };
        BatchEngine engine({.workers = 4, .memoryBudget = 100, .estimate = estimate, .convert = convert});
        QSignalSpy done(&engine, &BatchEngine::fileFinished);
        QVERIFY(f.run(engine).isEmpty() && done.size() == f.entries.size());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
        QCOMPARE(sharedOutput, QStringList({"d.bmp", "d.png", "d.tga"}));
        QVERIFY(mostAtOnce > 1);
    }

    void stopEndsWhatIsInHand_data()
    {
        QTest::addColumn<QString>("when"); // the run is stopped; "single": a double-clicked file is
        QTest::addColumn<int>("fake");     // 0: real conversions; a fake that 1: gives up once stopped, 2: goes on
        QTest::addColumn<int>("outcomes");
        QTest::addColumn<QStringList>("mayExist");

        const QStringList inHand{"p0.PNG 800x600", "p1.PNG 800x600"};
        QTest::newRow("run, conversion gives up") << "start" << 1 << 0 << QStringList{};
        QTest::newRow("run, conversion goes on") << "start" << 2 << 0 << QStringList{};
        QTest::newRow("double-click, conversion gives up") << "single" << 1 << 0 << QStringList{};
        QTest::newRow("double-click, conversion goes on") << "single" << 2 << 0 << QStringList{};
        QTest::newRow("right after the start") << "start" << 0 << 0 << inHand;
        QTest::newRow("when the first file is done") << "outcome" << 0 << 1 << inHand;
        QTest::newRow("at the start caption, before any file") << "caption" << 0 << 0 << QStringList{};
        QTest::newRow("while Ghostscript reads an endless EPS") << "ghostscript" << 0 << 0 << QStringList{};
    }
    // Closing the window: what is in hand ends within a second, whole or
    // leaving nothing (no half-written or temporary file, no child process),
    // and nothing of it is reported; a conversion deaf to the stop is left to
    // end on its own. The next run goes as usual: a JPEG decoded at a reduced
    // scale for its new size of other proportions looks as when decoded whole.
    void stopEndsWhatIsInHand()
    {
        QFETCH(QString, when);
        QFETCH(int, fake);
        QFETCH(int, outcomes);
        QFETCH(QStringList, mayExist);
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        Folders f("PNG");
        const QImage photo = photoLike(800, 600);
        for (int i = 0; i < 8; ++i)
            QVERIFY(f.add(QStringLiteral("p%1.jpg").arg(i), photo));
        if (when == "ghostscript") {
            f.entries = {"loop.eps"};
            QVERIFY(QFile::copy(KESTRUNE_TEST_DATA "/hostile/eps-loop.eps", f.in.filePath("loop.eps")));
        }
        std::atomic_int begun{0};
        std::atomic<qint64> limitSeen{0};
        std::atomic_bool stopped{false};
        EngineOptions options{.workers = 2, .timeLimit = std::chrono::minutes(10)};
        if (fake)
            options.convert = [&](const ConversionJob &job, std::chrono::milliseconds limit, imaging::CancelFlag cancel) {
                if (stopped)
                    return convertFile(job, limit, cancel);
                ++begun;
                limitSeen = limit.count();
                const imaging::Deadline deadline(limit, cancel), ignored(std::chrono::seconds(2));
                while (!(fake == 1 ? deadline : ignored).expired())
                    QThread::msleep(5);
                return FileOutcome{job.position, job.name, job.source, job.output, false, deadline.reason()};
            };
        BatchEngine engine(options);
        QSignalSpy done(&engine, &BatchEngine::fileFinished);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        QSignalSpy singles(&engine, &BatchEngine::singleFinished);
        QMetaObject::Connection closing;
        if (when == "outcome")
            closing = connect(&engine, &BatchEngine::fileFinished, &engine, &BatchEngine::stop);
        if (when == "caption")
            closing = connect(&engine, &BatchEngine::captionChanged, &engine, &BatchEngine::stop);
        if (when == "single")
            engine.convertOne(f.source()(0));
        else
            QVERIFY(engine.start(f.sources(), f.source()));
        if (when == "outcome")
            QVERIFY(done.wait(120000));
        if (when == "ghostscript")
            QTRY_VERIFY_WITH_TIMEOUT(!childProcesses().isEmpty() || !done.isEmpty(), 10000);
        if (fake)
            QTRY_COMPARE_WITH_TIMEOUT(begun.load(), when == "single" ? 1 : 2, 10000);
        QElapsedTimer timer;
        timer.start();
        engine.stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        stopped = true;
        QVERIFY(!engine.isRunning());
        QCOMPARE(limitSeen.load(), fake ? 600000 : 0);
        QCOMPARE(WorkerThread::abandonedRunning(), fake == 2 ? begun.load() : 0);
        QTRY_COMPARE_WITH_TIMEOUT(WorkerThread::abandonedRunning(), 0, 10000);
        QCOMPARE(childProcesses(), QStringList());
        QCOMPARE(QDir(temp.path()).entryList({"kestrune-child-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(finished.isEmpty() && singles.isEmpty());
        QCOMPARE(done.size(), outcomes);
        for (const QString &picture : pictures(f.out.path()))
            QVERIFY2(mayExist.contains(picture), qPrintable(picture));

        disconnect(closing);
        f.entries.clear();
        f.page = {f.in.path(), {}, 0, SizeChoice::Custom, "300", "500", "PNG", f.out.path()};
        QVERIFY(f.add("big.jpg", photoLike(1600, 1200)) && f.run(engine).isEmpty());
        imaging::ImageMan whole;
        QVERIFY(whole.setImageFile(f.in.filePath("big.jpg")) && whole.resizeImage(300, 500));
        const Difference d = difference(readPicture(f.out.filePath("big.PNG")), whole.image());
        QVERIFY2(d.mean < 2.0, qPrintable(d.text()));
        qunsetenv("TMPDIR");
    }
};

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
