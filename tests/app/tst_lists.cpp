#include "apptest.h"

#include "app/drivelist.h"
#include "app/folderlist.h"

#include <QSignalSpy>

namespace {

// An item view takes a double-click only after the press that began it.
void doubleClick(QAbstractItemView *view, const QPoint &at)
{
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

using apptest::entries;
using apptest::touch;

class TstLists : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fileListShowsMatchingFiles_data();
    void fileListShowsMatchingFiles();
    void fileListReloadsBeforeItTells();
    void fileListSelectionAndDoubleClick();

    void folderListShowsAndOpensFolders();

    void driveListShowsDriveHoldingFolder_data();
    void driveListShowsDriveHoldingFolder();
    void mountedDrivesStartAtRoot();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
};

void TstLists::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = QDir::cleanPath(QFileInfo(m_dir->path()).canonicalFilePath());
    QDir root(m_root);
    QVERIFY(root.mkpath(QStringLiteral("pics/Beta")));
    QVERIFY(root.mkpath(QStringLiteral("pics/alpha")));
    QVERIFY(root.mkpath(QStringLiteral("pics/.cache")));
    QVERIFY(root.mkpath(QStringLiteral("pics/dir.jpg")));
    for (const char *name : {"b.jpg", "A.JPG", "c.png", "d.Tif", ".hidden.jpg", "notes", "e.jpeg"})
        touch(root.filePath(QStringLiteral("pics/") + QLatin1String(name)));
}

void TstLists::fileListShowsMatchingFiles_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("jpg in any case, no folder, no hidden")
        << "*.jpg" << QStringList{"A.JPG", "b.jpg"};
    QTest::newRow("two types") << "*.jpg;*.tif" << QStringList{"A.JPG", "b.jpg", "d.Tif"};
    QTest::newRow("all files, also without dot")
        << "*.*" << QStringList{"A.JPG", "b.jpg", "c.png", "d.Tif", "e.jpeg", "notes"};
    QTest::newRow("foreign text") << "notes" << QStringList{"notes"};
    QTest::newRow("nothing matches") << "*.eps" << QStringList{};
}

void TstLists::fileListShowsMatchingFiles()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, listed);
    app::FileList list;
    list.setPattern(pattern);
    QVERIFY(list.setPath(m_root + QStringLiteral("/pics")));
    QCOMPARE(entries(&list), listed);
}

// Listeners read the list when told of a change, so it is reloaded first; a
// pattern set again is applied again, and a folder that cannot be read
// leaves the list empty with the reason.
void TstLists::fileListReloadsBeforeItTells()
{
    app::FileList list;
    QList<int> countsAtPathChange;
    QList<int> countsAtPatternChange;
    connect(&list, &app::FileList::pathChanged, this,
            [&] { countsAtPathChange.append(list.count()); });
    connect(&list, &app::FileList::patternChanged, this,
            [&] { countsAtPatternChange.append(list.count()); });
    QVERIFY(list.setPath(m_root + QStringLiteral("/pics")));
    list.setPattern(QStringLiteral("*.png"));
    touch(m_root + QStringLiteral("/pics/z.png"));
    list.setPattern(QStringLiteral("*.png"));
    QCOMPARE(countsAtPatternChange, (QList<int>{1, 2}));

    const QString gone = m_root + QStringLiteral("/gone");
    QVERIFY(!list.setPath(gone));
    QCOMPARE(countsAtPathChange, (QList<int>{6, 0}));
    QCOMPARE(list.path(), gone);
    QCOMPARE(list.errorString(), QStringLiteral("it does not exist"));
    QVERIFY(!list.setPattern(QStringLiteral("*.*")));
    QCOMPARE(list.count(), 0);
}

void TstLists::fileListSelectionAndDoubleClick()
{
    app::FileList list;
    list.resize(200, 200);
    list.setPath(m_root + QStringLiteral("/pics"));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.selectedIndex(), -1);
    QSignalSpy doubleClicks(&list, &app::FileList::entryDoubleClicked);
    const QRect second = list.visualItemRect(list.item(1));
    doubleClick(&list, second.center());
    QCOMPARE(doubleClicks.count(), 1);
    QCOMPARE(list.selectedIndex(), 1);
    QCOMPARE(list.entry(list.selectedIndex()), QStringLiteral("b.jpg"));
    list.setPattern(QStringLiteral("*.jpg"));
    QCOMPARE(list.selectedIndex(), -1);
    QCOMPARE(list.entry(5), QString());
}

void TstLists::folderListShowsAndOpensFolders()
{
    app::FolderList list;
    QSignalSpy changes(&list, &app::FolderList::changed);
    const QString pics = m_root + QStringLiteral("/pics");
    QVERIFY(list.setPath(pics));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(list.path(), pics);

    const QStringList parts = pics.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const int open = static_cast<int>(parts.size()); // "/" comes first
    QCOMPARE(list.entryPath(0), QDir::rootPath());
    QCOMPARE(list.entryPath(open), pics);
    QCOMPARE(list.currentRow(), open);
    QCOMPARE(list.item(open)->text().trimmed(), QStringLiteral("pics"));
    QStringList after;
    for (int row = open + 1; row < list.count(); ++row)
        after.append(list.entryPath(row));
    QCOMPARE(after, (QStringList{pics + "/alpha", pics + "/Beta", pics + "/dir.jpg"}));
    // Deeper entries are indented further.
    const auto indent = [&](int row) {
        const QString text = list.item(row)->text();
        return text.size() - text.trimmed().size();
    };
    QVERIFY(indent(open + 1) > indent(open));
    QVERIFY(indent(open) > indent(0));

    QVERIFY(!list.setPath(pics + QStringLiteral("/b.jpg")));
    QCOMPARE(list.errorString(), QStringLiteral("it is not a folder"));
    QCOMPARE(list.path(), pics);

    // Moving onto an entry opens nothing; Enter and a double-click do.
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setCurrentRow(open + 1);
    QCOMPARE(list.path(), pics);
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.path(), pics + QStringLiteral("/alpha"));
    // Up again: the open folder's parent is the entry above it.
    list.scrollToItem(list.item(list.currentRow() - 1));
    doubleClick(&list, list.visualItemRect(list.item(list.currentRow() - 1)).center());
    QCOMPARE(list.path(), pics);
    QCOMPARE(changes.count(), 3);
}

// Only a choice made in the box raises a change; following a folder does not.
void TstLists::driveListShowsDriveHoldingFolder_data()
{
    QTest::addColumn<QStringList>("drives");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("shown");
    const QStringList two{"/", "/mnt/usb"};
    QTest::newRow("root holds everything") << two << "/home/me" << "/";
    QTest::newRow("longest holder wins") << two << "/mnt/usb/pics" << "/mnt/usb";
    QTest::newRow("the drive itself") << two << "/mnt/usb" << "/mnt/usb";
    QTest::newRow("name prefix is not a holder") << two << "/mnt/usb2/x" << "/";
    QTest::newRow("no holder listed, root added") << QStringList{"/mnt/usb"} << "/home" << "/";
}

void TstLists::driveListShowsDriveHoldingFolder()
{
    QFETCH(QStringList, drives);
    QFETCH(QString, folder);
    QFETCH(QString, shown);
    app::DriveList list;
    QSignalSpy changes(&list, &app::DriveList::changed);
    list.setDrives(drives);
    QCOMPARE(changes.count(), 0);
    list.setCurrentIndex(drives.size() - 1);
    QCOMPARE(changes.count(), drives.size() > 1 ? 1 : 0);
    list.showDriveOf(folder);
    QCOMPARE(changes.count(), drives.size() > 1 ? 1 : 0);
    QCOMPARE(list.drive(), shown);
    QCOMPARE(list.count(), drives.contains(shown) ? drives.size() : drives.size() + 1);
}

void TstLists::mountedDrivesStartAtRoot()
{
    QStringList drives = app::DriveList::mountedDrives();
    QVERIFY(!drives.isEmpty());
    QCOMPARE(drives.first(), QDir::rootPath());
    QCOMPARE(drives.removeDuplicates(), 0);
    for (const QString &drive : drives) {
        QVERIFY2(!drive.startsWith(QStringLiteral("/proc")), qPrintable(drive));
        QVERIFY2(QFileInfo(drive).isDir(), qPrintable(drive));
    }
}

QTEST_MAIN(TstLists)
#include "tst_lists.moc"
