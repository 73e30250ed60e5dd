#include "convert/batchengine.h"
#include "convert/workerthread.h"
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

// Every file of `folder` as "name WxH", the size read back from the file.
QStringList pictures(const QString &folder)
{
    QStringList list;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        const QSize size = readBack(QDir(folder).filePath(name)).size();
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
    FileChoices page{in.path(), {}, 0, SizeChoice::OneToOne, {}, {}, "PNG", out.path()}; // but the entry and count

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
    QList<FileOutcome> run(BatchEngine &engine, BatchEngine::ChoiceSource choices = {})
    {
        QSignalSpy finished(&engine, &BatchEngine::finished);
        const qsizetype count = entries.size();
        if (engine.start(sources(), choices ? choices : source()) && finished.isEmpty() && finished.wait(300000)
            && !engine.isRunning() && finished.at(0).at(1).value<qsizetype>() == count)
            return finished.at(0).at(0).value<QList<FileOutcome>>();
        return {FileOutcome{-1, {}, {}, {}, false, "the run did not start, ended at once, or did not end"}};
    }
};

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private slots:
    // One run in which each file but one fails at another step: each failure
    // names its file and the step, the good file converts, no earlier output
    // is touched. A file that is its own output is neither half written nor
    // given another's picture. How a load or a save fails is imaging's concern.
    void failuresKeepTheEarlierOutputs()
    {
        Folders f;
        QVERIFY(f.add("self.jpg", photoLike(200, 150)));
        for (const char *name : {"huge.png", "wide.png", "gone.png", "good.png"})
            QVERIFY(f.add(name, blocks(16, 16)));
        const QByteArray cut = readAll(f.in.filePath("self.jpg")).left(600);
        writeBytes(f.in.filePath("self.jpg"), cut);
        for (const char *name : {"huge.PNG", "wide.PNG"})
            writeBytes(f.out.filePath(name), name); // earlier outputs
        const QMap<QString, QString> said{{"self.jpg", "Cannot open <in>"}, {"wide.png", "Cannot resize <in>"},
                                          {"huge.png", "Cannot convert <in>: the custom height \"1e12\" is too large"},
                                          {"gone.png", "Cannot save <out>"}};
        BatchEngine engine;
        const QList<FileOutcome> failures = f.run(engine, [&](qsizetype position) {
            FileChoices choices = f.source()(position);
            const bool huge = choices.name == "huge.png", wide = choices.name == "wide.png";
            if (huge || wide)
                choices = {choices.folder, choices.name, choices.count, SizeChoice::Custom,
                           huge ? "10" : "40000", huge ? "1e12" : "10", "PNG", choices.destination};
            if (choices.name == "gone.png")
                choices.destination = f.out.filePath("gone");
            if (choices.name == "self.jpg")
                choices = {choices.folder, choices.name, choices.count, SizeChoice::OneToOne, {}, {}, "jpg", f.in.path()};
            return choices;
        });

        QCOMPARE(failures.size(), said.size());
        for (const FileOutcome &o : failures)
            QVERIFY2(said.contains(o.name)
                         && o.message.startsWith(QString(said[o.name]).replace("<in>", o.source).replace("<out>", o.output)),
                     qPrintable(o.message));
        QCOMPARE(pictures(f.out.path()), QStringList({"good.PNG 16x16", "huge.PNG 0x0", "wide.PNG 0x0"}));
        for (const char *name : {"huge.PNG", "wide.PNG"})
            QCOMPARE(readAll(f.out.filePath(name)), QByteArray(name));
        QCOMPARE(readAll(f.in.filePath("self.jpg")), cut);
    }

    void changesDuringARun_data()
    {
        QTest::addColumn<QStringList>("listAfter");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QString>("failed");
        // The list grows, and a file of another name takes the third place.
        QTest::newRow("the list changes, the run stops after 3")
            << QStringList{"a.png", "b.png", "d.png", "c.png"} << QStringList{"a.PNG 40x30", "b.PNG 40x30", "d.BMP 7x9"}
            << "";
        QTest::newRow("entry dropped out of the list") << QStringList{"a.png"}
            << QStringList{"a.PNG 40x30", "b.PNG 40x30"}
            << "There is no file at position 3 of the list any more: it now holds 1.";
    }
    // Two workers take the first two files at the start; the user's changes
    // (the list, the custom size, BMP), made once the first file is done,
    // apply to every file handed out after them.
    void changesDuringARun()
    {
        QFETCH(QStringList, listAfter);
        QFETCH(QStringList, outputs);
        QFETCH(QString, failed);
        Folders f;
        for (const char *name : {"a.png", "b.png", "c.png", "d.png"})
            QVERIFY(f.add(name, blocks(40, 30)));
        f.entries.resize(3);
        BatchEngine engine({.workers = 2});
        connect(&engine, &BatchEngine::fileFinished, this, [&] {
            f.entries = listAfter;
            f.page = {f.in.path(), {}, 0, SizeChoice::Custom, "7", "9", "BMP", f.out.path()};
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
        Folders f;
        QVERIFY(f.add("a.bmp", blocks(40, 30)) && f.add("a.jpg", photoLike(24, 24)) && f.add("c.png", blocks(16, 8)));
        QVERIFY(photoLike(9, 9).save(f.in.filePath("c.jpg"))); // not listed: replaced as ever
        f.entries = order;
        QVERIFY(QFile::link(f.in.path(), f.out.filePath("same")));
        f.page.destination = destination.isEmpty() ? f.in.path() : f.out.filePath(destination);
        f.page.outext = "jpg";
        BatchEngine engine;
        QSignalSpy shown(&engine, &BatchEngine::captionChanged);
        QSignalSpy finished(&engine, &BatchEngine::finished);
        QSignalSpy single(&engine, &BatchEngine::singleFinished);
        const FileChoices bmp = f.source()(order.indexOf("a.bmp"));
        FileChoices png = f.source()(order.indexOf("c.png")), none = png;
        png.outext = "PCD";
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
        QCOMPARE(readBack(f.in.filePath("a.jpg")).size(), QSize(40, 30));
    }

    void nothingOfARunIsLost_data()
    {
        QTest::addColumn<QStringList>("files"); // the list; "!" marks a file whose conversion fails
        QTest::addColumn<bool>("keep");         // SourceRule::Keep, into the sources' folder through a link
        QTest::addColumn<QStringList>("said");  // per file: "ok", or its reason, IN and OUT standing for the folders
        const QString written = "Cannot convert IN/%1: OUT/a.jpg was already written from IN/%2 in this run.";
        QTest::newRow("three files of one output: the first keeps it") << QStringList{"a.bmp", "a.png", "a.tga", "b.png"}
            << false << QStringList{"ok", written.arg("a.png", "a.bmp"), written.arg("a.tga", "a.bmp"), "ok"};
        QTest::newRow("the first fails: the next one takes the output") << QStringList{"a.bmp!", "a.png", "a.tga"}
            << false << QStringList{"failed", "ok", written.arg("a.tga", "a.png")};
        QTest::newRow("sources kept") << QStringList{"a.jpg", "b.png", "c.jpg"} << true
            << QStringList{"Cannot convert IN/a.jpg: the output OUT/a.jpg would replace its source; use --in-place to allow it.",
                           "ok", "Cannot convert IN/c.jpg: the output OUT/c.jpg would replace its source; use --in-place to allow it."};
    }
    // A run never replaces an output it wrote itself, nor, when told to keep
    // them, its own sources: such a file fails untouched, naming the file it
    // would have replaced. A double-click during the run keeps to the rule.
    void nothingOfARunIsLost()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, keep);
        QFETCH(QStringList, said);
        Folders f;
        for (QString name : files) {
            f.entries << name.remove('!');
            writeBytes(f.in.filePath(name), "-");
        }
        QVERIFY(QFile::link(f.in.path(), f.out.filePath("same")));
        f.page = {f.in.path(), {}, 0, SizeChoice::OneToOne, {}, {}, "jpg", keep ? f.out.filePath("same") : f.out.path()};
        const auto convert = [&](const ConversionJob &job, auto, auto) {
            return FileOutcome{job.position, job.name, job.source, job.output, !files.contains(job.name + '!'), "failed"};
        };
        BatchEngine engine({.workers = 2, .convert = convert, .keepSourcesAdvice = "use --in-place to allow it"});
        QSignalSpy single(&engine, &BatchEngine::singleFinished);
        QStringList outcomes(files.size());
        connect(&engine, &BatchEngine::fileFinished, this, [&](FileOutcome o) {
            outcomes[o.position] = o.converted ? "ok" : o.message.replace(f.in.path(), "IN").replace(f.page.destination, "OUT");
            if (o.position == 0) // the third file, double-clicked
                engine.convertOne(f.source()(2));
        });
        QVERIFY(engine.start(f.sources(), f.source(), keep ? SourceRule::Keep : SourceRule::Replace));
        QTRY_VERIFY_WITH_TIMEOUT(!engine.isRunning() && single.size() == 1, 10000);
        QCOMPARE(outcomes, said);
        if (!keep)
            QCOMPARE(single.at(0).at(0).value<FileOutcome>().message, QString(said[2]).replace("IN", f.in.path()).replace("OUT", f.page.destination)
                                  .replace("in this run", "by the batch run in progress"));
    }

    // Against fake estimates and a budget of 100: the files converting at once
    // never need more together, one over the budget converts alone, and of
    // those sharing an output (d.*) each starts once the one before it in the
    // list has ended: here the first two fail, so each comes to convert.
    void memoryBudgetIsNeverExceeded()
    {
        const QMap<QString, qint64> need{{"a.png", 60}, {"b.png", 30}, {"big.png", 150}, {"c.png", 50},
                                         {"d.bmp", 40}, {"d.png", 10}, {"d.tga", 45}, {"e.png", 90},
                                         {"f.png", 5}, {"g.png", 20}, {"h.png", 45}, {"huge.png", 500}};
        Folders f;
        f.entries = need.keys();
        std::mutex mutex;
        qint64 inUse = 0;
        int converting = 0, mostAtOnce = 0, sharing = 0;
        QStringList faults, sharedOutput;
        const auto estimate = [&](const QString &source, auto, auto) { return need.value(QFileInfo(source).fileName()); };
        const auto convert = [&](const ConversionJob &job, auto, auto) {
            const bool shares = job.name.startsWith("d.");
            {
                std::lock_guard lock(mutex);
                inUse += need.value(job.name);
                mostAtOnce = std::max(mostAtOnce, ++converting);
                if (converting > 1 && inUse > 100)
                    faults << QStringLiteral("%1 over the budget with %2 at once").arg(job.name).arg(converting);
                if (shares)
                    sharedOutput << job.name;
                if (shares && ++sharing > 1)
                    faults << job.name + " beside another file of its output";
            }
            QThread::msleep(20);
            std::lock_guard lock(mutex);
            inUse -= need.value(job.name);
            --converting;
            sharing -= shares;
            return FileOutcome{job.position, job.name, job.source, job.output, job.name != "d.bmp" && job.name != "d.png", {}};
        };
        BatchEngine engine({.workers = 4, .memoryBudget = 100, .estimate = estimate, .convert = convert});
        QSignalSpy done(&engine, &BatchEngine::fileFinished);
        QVERIFY(f.run(engine).size() == 2 && done.size() == f.entries.size());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
        QCOMPARE(sharedOutput, QStringList({"d.bmp", "d.png", "d.tga"}));
        QVERIFY(mostAtOnce > 1);
    }

    void stopEndsWhatIsInHand_data()
    {
        QTest::addColumn<QString>("when"); // the run is stopped; "single": a double-clicked file is
        QTest::addColumn<bool>("deaf");    // a fake conversion that does not listen to the stop
        QTest::addColumn<int>("outcomes");
        QTest::addColumn<QStringList>("mayExist");

        const QStringList inHand{"p0.PNG 800x600", "p1.PNG 800x600"};
        QTest::newRow("right after the start") << "start" << false << 0 << inHand;
        QTest::newRow("when the first file is done") << "outcome" << false << 1 << inHand;
        QTest::newRow("at the start caption, before any file") << "caption" << false << 0 << QStringList{};
        QTest::newRow("while Ghostscript reads an endless EPS") << "ghostscript" << false << 0 << QStringList{};
        QTest::newRow("run, conversion deaf to the stop") << "start" << true << 0 << QStringList{};
        QTest::newRow("double-click, conversion deaf to the stop") << "single" << true << 0 << QStringList{};
    }
    // Closing the window: what is in hand ends within a second, whole or
    // leaving nothing (no half-written or temporary file, no child process),
    // and nothing of it is reported; a conversion deaf to the stop is left to
    // end on its own. The next run goes as usual.
    void stopEndsWhatIsInHand()
    {
        QFETCH(QString, when);
        QFETCH(bool, deaf);
        QFETCH(int, outcomes);
        QFETCH(QStringList, mayExist);
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        Folders f;
        const QImage photo = photoLike(800, 600);
        for (int i = 0; i < 8; ++i)
            QVERIFY(f.add(QStringLiteral("p%1.jpg").arg(i), photo));
        if (when == "ghostscript") {
            f.entries = {"loop.eps"};
            QVERIFY(QFile::copy(KESTRUNE_TEST_DATA "/hostile/eps-loop.eps", f.in.filePath("loop.eps")));
        }
        std::atomic_int begun{0};
        EngineOptions options{.workers = 2};
        if (deaf)
            options.convert = [&](const ConversionJob &job, auto, auto) {
                ++begun;
                QThread::sleep(2);
                return FileOutcome{job.position, job.name, job.source, job.output, false, {}};
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
            // Ghostscript itself, not the short-lived probe of its sandbox, which
            // would make the wait flicker.
            QTRY_VERIFY_WITH_TIMEOUT(descendantProcesses().values().contains("(gs)") || !done.isEmpty(), 60000);
        if (deaf)
            QTRY_COMPARE_WITH_TIMEOUT(begun.load(), when == "single" ? 1 : 2, 10000);
        QElapsedTimer timer;
        timer.start();
        engine.stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(WorkerThread::abandonedRunning(), begun.load());
        QTRY_COMPARE_WITH_TIMEOUT(WorkerThread::abandonedRunning(), 0, 10000);
        QCOMPARE(childProcesses(), QStringList());
        QCOMPARE(QDir(temp.path()).entryList({"kestrune-child-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
        qunsetenv("TMPDIR");
        QCoreApplication::processEvents(); // what was queued for the stopped files is dropped
        QVERIFY(finished.isEmpty() && singles.isEmpty());
        QCOMPARE(done.size(), outcomes);
        for (const QString &picture : pictures(f.out.path()))
            QVERIFY2(mayExist.contains(picture), qPrintable(picture));
        if (deaf)
            return;

        disconnect(closing);
        f.entries = {"p7.jpg"};
        QVERIFY(f.run(engine).isEmpty());
        QVERIFY(QFile::exists(f.out.filePath("p7.PNG")));
    }

    // An interrupted command: each file that ended before it is reported,
    // converted or failed, and so is one whose save was whole by the time it
    // gave up; one that gave up is not.
    void stopReportingEndedCountsWhatEnded()
    {
        Folders f;
        for (const char *name : {"p0.png", "p1.png", "p2.png", "p3.png"})
            QVERIFY(f.add(name, photoLike(8, 8)));
        std::atomic_int begun{0};
        BatchEngine engine({.workers = 4, .estimate = [](auto, auto, auto) { return qint64(1); },
                            .convert = [&](const ConversionJob &job, auto, const imaging::CancelFlag &cancel) {
                                ++begun;
                                while (job.position >= 2 && !cancel.raised())
                                    QThread::msleep(5);
                                return FileOutcome{job.position, job.name, job.source, job.output, job.position % 2 == 0, {}};
                            }});
        QSignalSpy done(&engine, &BatchEngine::fileFinished);
        QVERIFY(engine.start(f.sources(), f.source()));
        QTRY_VERIFY_WITH_TIMEOUT(begun.load() == 4 && done.size() == 2, 60000);
        engine.stopReportingEnded();
        QList<qsizetype> reported;
        for (const QList<QVariant> &signal : done)
            reported << signal.at(0).value<FileOutcome>().position;
        std::sort(reported.begin(), reported.end());
        QCOMPARE(reported, (QList<qsizetype>{0, 1, 2}));
    }
};

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
