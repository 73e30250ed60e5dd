#include "imaging/imageman.h"
#include "processes.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <thread>
#include <unistd.h>

using imaging::ImageMan;
using testpictures::childProcesses;
using testpictures::readAll;

namespace {

const QString kHostile = QStringLiteral(KESTRUNE_TEST_DATA "/hostile/");

} // namespace

// What the hostile manifest cannot say about EPS: what the Ghostscript child
// leaves behind (files, folders, processes). (Which box it draws is tested
// with ImageMan's other readers.) Each test runs with TMPDIR set to a new
// folder, checked after it.
class TestGhostscript : public QObject
{
    Q_OBJECT

    QString m_base;
    std::unique_ptr<QTemporaryDir> m_temp;

private slots:
    void initTestCase() { m_base = QDir::tempPath(); }

    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>(m_base + QStringLiteral("/tst_ghostscript-XXXXXX"));
        QVERIFY(m_temp->isValid());
        qputenv("TMPDIR", QFile::encodeName(m_temp->path()));
    }

    void cleanup()
    {
        QCOMPARE(childProcesses(), QStringList());
        QCOMPARE(QDir(m_temp->path()).entryList({QStringLiteral("kestrune-child-*")}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }

    void attacksOnTheTemporaryFolderReachNothing_data()
    {
        QTest::addColumn<QString>("file");
        // Each tries its own temporary folder, the folder above it and /tmp,
        // and blackens the page for every attempt that gets through.
        QTest::newRow("reads and draws a planted file") << "eps-reads-temp.eps";
        QTest::newRow("writes a new file") << "eps-writes-temp.eps";
        QTest::newRow("deletes a planted file") << "eps-deletes-temp.eps";
        QTest::newRow("lists the folder with filenameforall") << "eps-lists-temp.eps";
    }

    void attacksOnTheTemporaryFolderReachNothing()
    {
        QFETCH(QString, file);
        const QDir temp(m_temp->path());
        const QStringList planted{QStringLiteral("kestrune-planted.txt"), QStringLiteral("kestrune-victim.txt")};
        for (const QString &name : planted)
            testpictures::writeBytes(temp.filePath(name), "PLANTED SECRET " + name.toUtf8());
        ImageMan man;
        if (man.setImageFile(kHostile + file)) {
            QImage white(man.image().size(), QImage::Format_RGB32);
            white.fill(Qt::white);
            const testpictures::Difference d = testpictures::difference(man.image(), white);
            QVERIFY2(d.largest == 0, qPrintable(d.text()));
        }
        QCOMPARE(temp.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), planted);
        for (const QString &name : planted)
            QCOMPARE(readAll(temp.filePath(name)), "PLANTED SECRET " + name.toUtf8());
    }

    void stopEndsTheChildWithinASecond()
    {
        ImageMan man;
        imaging::CancelFlag cancel;
        man.setCancelFlag(cancel);
        imaging::Result result = imaging::Result::success();
        std::thread worker([&] { result = man.setImageFile(kHostile + "eps-loop.eps"); });
        const auto stop = qScopeGuard([&] {
            cancel.raise();
            if (worker.joinable())
                worker.join();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!childProcesses().isEmpty(), 10000);
        const QDeadlineTimer second(1000);
        cancel.raise();
        worker.join();
        QVERIFY2(!second.hasExpired(), "took longer than a second");
        QVERIFY2(result.message().contains("the conversion was stopped"), qPrintable(result.message()));
    }

    void missingGhostscriptIsNamed()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_temp->path()));
        const imaging::Result loaded = ImageMan().setImageFile(kHostile + "eps-cr-only.eps");
        qputenv("PATH", path);
        QVERIFY2(!loaded && loaded.message().contains("its program gs is not installed"), qPrintable(loaded.message()));
    }

    void foldersOfKilledProcessesAreRemoved()
    {
        // No process id reaches 99999999: the kernel's limit is 2^22.
        const QDir temp(m_temp->path());
        const QString dead = QStringLiteral("kestrune-child-99999999-x"), alive = QStringLiteral("kestrune-child-%1-y").arg(::getpid());
        QVERIFY(temp.mkdir(dead) && temp.mkdir(alive));
        testpictures::writeBytes(temp.filePath(dead + "/gs_file"), "left behind");
        QVERIFY(ImageMan().setImageFile(kHostile + "eps-cr-only.eps"));
        QCOMPARE(temp.entryList({QStringLiteral("kestrune-child-*")}, QDir::Dirs), QStringList{alive});
        QVERIFY(temp.rmdir(alive));
    }
};

QTEST_GUILESS_MAIN(TestGhostscript)
#include "tst_ghostscript.moc"
