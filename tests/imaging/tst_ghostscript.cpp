#include "imaging/imageman.h"
#include "imaging/helpers/sandbox.h"
#include "processes.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using imaging::ImageMan;
using testpictures::childProcesses;
using testpictures::readAll;

const QString kHostile = QStringLiteral(KESTRUNE_TEST_DATA "/hostile/");

// What the hostile manifest cannot say about EPS: what the Ghostscript child
// sees and leaves behind (files, folders, processes), under bubblewrap and
// without it. (Which box it draws is tested with ImageMan's other readers.)
// Each test runs with TMPDIR set to a new folder, checked after it.
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
        QTRY_VERIFY_WITH_TIMEOUT(testpictures::descendantProcesses().values().contains("(gs)"), 10000);
        const QList<pid_t> started = testpictures::descendantProcesses().keys();
        const QDeadlineTimer second(1000);
        cancel.raise();
        worker.join();
        QVERIFY2(!second.hasExpired(), "took longer than a second");
        QVERIFY2(result.message().contains("the conversion was stopped"), qPrintable(result.message()));
        // Not one of them is left, not even dead and uncollected.
        for (const pid_t pid : started)
            QVERIFY2(::kill(pid, 0) != 0 && errno == ESRCH, qPrintable(QStringLiteral("%1 is left").arg(pid)));
    }

    void helperSeesNoFileOfOurs()
    {
        // Whether this machine lets bwrap make namespaces at all, asked of
        // bwrap directly: our own probe must agree.
        QString why;
        if (!testpictures::runTool(QStringLiteral("bwrap"), {"--unshare-all", "--ro-bind", "/", "/", "/usr/bin/true"}, &why))
            QSKIP(qPrintable("bubblewrap does not work here: " + why));
        QCOMPARE(imaging::detail::bubblewrapProblem(), QString());
        QTemporaryFile inTmp(QStringLiteral("/tmp/kestrune-planted-XXXXXX")),
            inHome(QDir::home().filePath(QStringLiteral("kestrune-planted-XXXXXX")));
        QVERIFY(inTmp.open() && inHome.open());
        const QByteArray home = QFile::encodeName(QDir::homePath());
        const QByteArray script = "ls -A /tmp /tmp/work; for f in " + QFile::encodeName(inTmp.fileName()) + ' '
            + QFile::encodeName(inHome.fileName()) + "; do test -e $f && echo sees $f; done; "
            "echo x >" + home + "/written && echo wrote in home; echo x >/usr/written && echo wrote in /usr; "
            "echo x >/tmp/work/mine && echo wrote its own; echo pid $$";
        const auto ran = imaging::detail::runChild({QStringLiteral("sh"), {"-c", script}, {}, 4096, qint64(256) << 20, 4096},
                                                   imaging::Deadline(std::chrono::seconds(20)));
        QCOMPARE(ran.errors.count("\n"), 2); // the two refused writes
        QCOMPARE(ran.output, "/tmp:\nwork\n\n/tmp/work:\nwrote its own\npid 2\n");
        QVERIFY(!QFile::exists(QDir::home().filePath(QStringLiteral("written"))));
    }

    void missingGhostscriptIsNamed()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_temp->path()));
        const imaging::Result loaded = ImageMan().setImageFile(kHostile + "eps-cr-only.eps");
        qputenv("PATH", path);
        QVERIFY2(!loaded && loaded.message().contains("its program gs is not installed"), qPrintable(loaded.message()));
    }

    void withoutBubblewrapTheOldSandboxDraws_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bwrap missing") << false << "bwrap is not installed";
        // As bwrap says where unprivileged namespaces are turned off.
        QTest::newRow("namespaces refused") << true << "bwrap: No permissions to create new namespace";
    }

    void withoutBubblewrapTheOldSandboxDraws()
    {
        QFETCH(bool, installed);
        QFETCH(QString, reason);
        // Before the PATH: gs alone, or a bwrap that fails as the real one would.
        const QTemporaryDir bin(QDir::home().filePath(QStringLiteral("bin-XXXXXX")));
        if (installed) {
            testpictures::writeBytes(bin.filePath("bwrap"), "#!/bin/sh\necho '" + reason.toUtf8() + "' >&2\nexit 1\n");
            QVERIFY(QFile::setPermissions(bin.filePath("bwrap"), QFile::ReadOwner | QFile::ExeOwner));
        } else {
            QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("gs")), bin.filePath("gs")));
        }
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", QFile::encodeName(bin.path()) + (installed ? ':' + path : QByteArray()));
        // The old sandbox's folders of killed processes are removed; no
        // process id reaches 99999999, the kernel's limit is 2^22.
        const QDir temp(m_temp->path());
        const QString dead = QStringLiteral("kestrune-child-99999999-x"), alive = QStringLiteral("kestrune-child-%1-y").arg(::getpid());
        QVERIFY(temp.mkdir(dead) && temp.mkdir(alive));
        testpictures::writeBytes(temp.filePath(dead + "/gs_file"), "left behind");
        // Said once, however many files follow.
        QTest::ignoreMessage(QtWarningMsg, qPrintable("helper programs run without bubblewrap: " + reason));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("bubblewrap")));
        for (int i = 0; i < 2; ++i) {
            const imaging::Result loaded = ImageMan().setImageFile(kHostile + "eps-cr-only.eps");
            QVERIFY2(loaded, qPrintable(loaded.message()));
        }
        QCOMPARE(temp.entryList({QStringLiteral("kestrune-child-*")}, QDir::Dirs), QStringList{alive});
        QVERIFY(temp.rmdir(alive));
    }
};

QTEST_GUILESS_MAIN(TestGhostscript)
#include "tst_ghostscript.moc"
