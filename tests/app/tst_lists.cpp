#include "apptest.h"

#include "app/drivelist.h"
#include "app/folderlist.h"

#include "common/nativename.h"

#include <QSignalSpy>
#include <sys/stat.h>
#include <unistd.h>

using apptest::entries;

// The drive, folder and file lists of the Batch Convert page.
class TestLists : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fileList();
    void folderList();
    void driveListShowsDriveHoldingFolder_data();
    void driveListShowsDriveHoldingFolder();
    void mountedDrivesStartAtRoot();

private:
    QTemporaryDir m_dir;
    QString m_pics;
};

// pics/ holds folders (one named like a picture), a hidden folder and file,
// and files of several types in mixed letter case; and names not in UTF-8, a
// named pipe, links to it, to a folder, to a file and to nothing.
void TestLists::initTestCase()
{
    m_pics = QFileInfo(m_dir.path()).canonicalFilePath() + QStringLiteral("/pics");
    for (const char *folder : {"Beta", "alpha", ".cache", "dir.jpg"})
        QVERIFY(QDir(m_pics).mkpath(QLatin1String(folder)));
    for (const char *name : {"b.jpg", "A.JPG", "c.png", ".hidden.jpg", "notes"})
        apptest::touch(m_pics + QLatin1Char('/') + QLatin1String(name));
    const QByteArray pics = QFile::encodeName(m_pics);
    QVERIFY(mkfifo(pics + "/p.jpg", 0600) == 0 && mkdir(pics + "/f\xfe", 0700) == 0);
    for (const auto &[link, target] : {std::pair{"/l.jpg", "p.jpg"}, {"/r\xff.jpg", "b.jpg"}, {"/gone.jpg", "none"},
                                       {"/linked", "alpha"}, {"/pipe", "p.jpg"}})
        QVERIFY(symlink(target, pics + link) == 0);
}

void TestLists::cleanupTestCase() // what QTemporaryDir cannot name
{
    QVERIFY(unlink(QFile::encodeName(m_pics) + "/r\xff.jpg") == 0 && rmdir(QFile::encodeName(m_pics) + "/f\xfe") == 0);
}

// Plain visible files only (links to them too), sorted without regard to
// case, shown escaped; the rest is left out, and why. Listeners read
// the list when told of a change, so it is reloaded first; a pattern set
// again is applied again, and a folder that cannot be read leaves the list
// empty.
void TestLists::fileList()
{
    app::FileList list;
    QList<int> countsAtPathChange, countsAtPatternChange;
    connect(&list, &app::FileList::pathChanged, this, [&] { countsAtPathChange << list.count(); });
    connect(&list, &app::FileList::patternChanged, this, [&] { countsAtPatternChange << list.count(); });
    list.setPattern(QStringLiteral("*.jpg"));
    QVERIFY(list.setPath(m_pics));
    const QString raw = common::nameFromNative("r\xff.jpg");
    QCOMPARE(entries(&list), (QStringList{"A.JPG", "b.jpg", raw}));
    QCOMPARE(list.item(2)->text(), QStringLiteral("r\\xFF.jpg"));
    QStringList leftOut;
    for (const convert::LeftOut &file : list.leftOut())
        leftOut << file.path.mid(m_pics.size() + 1) + ' ' + file.reason;
    QCOMPARE(leftOut, (QStringList{"gone.jpg is a symbolic link to nothing",
                                   "l.jpg is a symbolic link to a named pipe, not a file",
                                   "p.jpg is a named pipe, not a file"}));
    list.setPattern(QStringLiteral("*.png"));
    apptest::touch(m_pics + QStringLiteral("/z.png"));
    list.setPattern(QStringLiteral("*.png"));
    QCOMPARE(countsAtPatternChange, (QList<int>{0, 1, 2}));

    QVERIFY(!list.setPath(m_pics + QStringLiteral("/gone")));
    QCOMPARE(countsAtPathChange, (QList<int>{3, 0}));
}

// The open folder's ancestors from the root down, itself and its subfolders,
// indented by depth. Moving onto an entry opens nothing; Enter and a
// double-click do.
void TestLists::folderList()
{
    app::FolderList list;
    QSignalSpy changes(&list, &app::FolderList::changed);
    QVERIFY(list.setPath(m_pics));
    const int open = int(m_pics.count(QLatin1Char('/'))); // "/" comes first
    QCOMPARE(list.entryPath(0), QDir::rootPath());
    QCOMPARE(list.entryPath(open), m_pics);
    QCOMPARE(list.item(open)->text().trimmed(), QStringLiteral("pics"));
    QStringList after;
    for (int row = open + 1; row < list.count(); ++row)
        after << list.entryPath(row);
    const QString raw = m_pics + common::nameFromNative("/f\xfe");
    QCOMPARE(after, (QStringList{m_pics + "/alpha", m_pics + "/Beta", m_pics + "/dir.jpg", raw, m_pics + "/linked"}));
    QCOMPARE(list.item(open + 4)->text().trimmed(), QStringLiteral("f\\xFE"));
    const auto indent = [&](int row) { return list.item(row)->text().size() - list.item(row)->text().trimmed().size(); };
    QVERIFY(indent(open + 1) > indent(open) && indent(open) > indent(0));

    QVERIFY(list.setPath(raw));
    QCOMPARE(list.entryPath(open + 1), raw);
    QVERIFY(list.setPath(m_pics));
    QVERIFY(!list.setPath(m_pics + QStringLiteral("/b.jpg")));
    QCOMPARE(list.errorString(), QStringLiteral("it is not a folder"));
    QCOMPARE(list.path(), m_pics);

    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setCurrentRow(open + 1);
    QCOMPARE(list.path(), m_pics);
    // The open folder stays marked, whichever entry is highlighted: an open
    // folder's icon (as its ancestors have) and its name in bold.
    const auto icon = [&](int row) { return list.item(row)->icon().pixmap(16).toImage(); };
    QVERIFY(!icon(open).isNull() && icon(open) == icon(0) && icon(open) != icon(open + 1));
    QVERIFY(list.item(open)->font().bold() && !list.item(open - 1)->font().bold() && !list.item(open + 1)->font().bold());
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.path(), m_pics + QStringLiteral("/alpha"));
    QVERIFY(list.item(list.currentRow())->font().bold() && !list.item(open)->font().bold());
    apptest::doubleClick(&list, list.currentRow() - 1); // up again
    QCOMPARE(list.path(), m_pics);
    QCOMPARE(changes.count(), 5);
}

// Only a choice made in the box raises a change; following a folder does not.
void TestLists::driveListShowsDriveHoldingFolder_data()
{
    QTest::addColumn<QStringList>("drives");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("shown");
    const QStringList two{"/", "/mnt/usb"};
    QTest::newRow("root holds everything") << two << "/home/me" << "/";
    QTest::newRow("longest holder wins") << two << "/mnt/usb/pics" << "/mnt/usb";
    QTest::newRow("name prefix is not a holder") << two << "/mnt/usb2/x" << "/";
    QTest::newRow("no holder listed, root added") << QStringList{"/mnt/usb"} << "/home" << "/";
}

void TestLists::driveListShowsDriveHoldingFolder()
{
    QFETCH(QStringList, drives);
    QFETCH(QString, folder);
    QFETCH(QString, shown);
    app::DriveList list;
    QSignalSpy changes(&list, &app::DriveList::changed);
    list.setDrives(drives);
    list.setCurrentIndex(drives.size() - 1);
    list.showDriveOf(folder);
    QCOMPARE(changes.count(), drives.size() > 1 ? 1 : 0);
    QCOMPARE(list.drive(), shown);
    QCOMPARE(list.count(), drives.contains(shown) ? drives.size() : drives.size() + 1);
}

void TestLists::mountedDrivesStartAtRoot()
{
    QStringList drives = app::DriveList::mountedDrives();
    QCOMPARE(drives.value(0), QDir::rootPath());
    QCOMPARE(drives.removeDuplicates(), 0);
    for (const QString &drive : drives)
        QVERIFY2(!drive.startsWith(QStringLiteral("/proc")) && QFileInfo(drive).isDir(), qPrintable(drive));
}

QTEST_MAIN(TestLists)
#include "tst_lists.moc"
