#include "apptest.h"

#include "app/artwork.h"
#include "app/drivelist.h"
#include "app/folderlist.h"
#include "app/picturebox.h"
#include "app/tabcontrol.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

const QString kAllTypes = QStringLiteral(
    "*.jpg;*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps");
const QString kHelpPage = QStringLiteral("http://www.kestrune.example/Plenwick/help.htm");
const QColor kLightGrey(192, 192, 192);

QList<int> tickedBoxes(const Form1 &form)
{
    QList<int> ticked;
    for (int i = 0; i < 12; ++i) {
        if (form.Check1(i)->isChecked())
            ticked.append(i);
    }
    return ticked;
}

} // namespace

using apptest::entries;
using apptest::touch;

class TstForm1 : public QObject, apptest::Fixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAndControlsFollowTheDesign_data();
    void windowAndControlsFollowTheDesign();
    void pagesStartWithTheirInitialStates();
    void keyboardOrderRunsThroughTheLayout();
    void coloursAndPlatesArePainted();

    void startUpRestoresTheFilter_data();
    void startUpRestoresTheFilter();
    void boxClicksBuildApplyAndStore_data();
    void boxClicksBuildApplyAndStore();
    void failedStoreIsReported();

    void batchButtonFollowsTheFileList_data();
    void batchButtonFollowsTheFileList();
    void driveChangeRunsTheWholeChain();
    void vanishedFoldersAreReported_data();
    void vanishedFoldersAreReported();

    void tabControlFollowsTheWindowSize();

    void menusCarryTheirNames();
    void helpAndAboutAnswer_data();
    void helpAndAboutAnswer();
    void exitEndsTheProgram();

private:
    QString storeFile() const;
    void store(const QString &pattern);
    QVariant storedValue() const;
};

void TstForm1::init()
{
    setUp();
    QVERIFY(QDir(m_source).mkdir(QStringLiteral("sub")));
    for (const char *name : {"a.jpg", "b.PNG", "c.tif", "readme.txt"})
        touch(m_source + QLatin1Char('/') + QLatin1String(name));
}

void TstForm1::cleanup()
{
    tearDown();
}

QString TstForm1::storeFile() const
{
    return m_root + QStringLiteral("/config/Kestrune/Kestrune.conf");
}

void TstForm1::store(const QString &pattern)
{
    QSettings settings(storeFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("stashes/filetypes"), pattern);
    settings.sync();
}

QVariant TstForm1::storedValue() const
{
    const QSettings settings(storeFile(), QSettings::IniFormat);
    return settings.value(QStringLiteral("stashes/filetypes"));
}

// A sample of controls from both pages, in twips from their container, with
// the captions the design gives them.
void TstForm1::windowAndControlsFollowTheDesign_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char *name, const char *container, QRect twips,
                        const char *caption = "") {
        QTest::newRow(name) << QString::fromLatin1(container) << twips
                            << QString::fromLatin1(caption);
    };
    row("List2", "window", {1335, 7725, 1590, 1425});
    row("Label1_1", "tab", {4200, 420, 1455, 255}, "SOURCE");
    row("Line1", "tab", {3240, 420, 15, 4020});
    row("Option2_5", "Frame1", {1110, 345, 1095, 255}, "1024x768");
    row("Text1_0", "Frame1", {990, 585, 375, 285}, "10");
    row("Command1", "tab", {1080, 3960, 1695, 255}, "BATCH CONVERT");
    row("Option1_5", "tab", {1560, 3075, 975, 255}, "PNG");
    row("Check1_6", "tab", {4320, 3300, 735, 195}, "DXF");
    row("Picture3", "tab", {4905, 1395, 1890, 2685});
}

void TstForm1::windowAndControlsFollowTheDesign()
{
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    auto form = newForm(false);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->windowTitle(),
             QStringLiteral("Tarvix Graphics Utilities - http://www.kestrune.example"));
    QCOMPARE(form->centralWidget()->size(), QSize(6975 / 15, 5355 / 15));
    QVERIFY(form->windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(form->SSTab1()->tabText(0), QStringLiteral("Batch Convert"));
    QCOMPARE(form->SSTab1()->tabText(1), QStringLiteral("Parse Clips"));

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto *widget = form->findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QWidget *origin = container == QLatin1String("tab") ? static_cast<QWidget *>(form->SSTab1())
        : container == QLatin1String("Frame1")          ? form->Frame1()
                                                        : form->centralWidget();
    const QRect expected(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(QRect(widget->mapTo(origin, QPoint()), widget->size()), expected);
    QString shown;
    if (auto *label = qobject_cast<QLabel *>(widget))
        shown = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        shown = button->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        shown = edit->text();
    QCOMPARE(shown, caption);
}

void TstForm1::pagesStartWithTheirInitialStates()
{
    auto form = newForm(false);
    QVERIFY(tickedBoxes(*form).isEmpty());
    QCOMPARE(form->Option1Group()->checkedId(), 0);
    QCOMPARE(form->Option2Group()->checkedId(), 0);
    QCOMPARE(form->Option2(2), nullptr);
    QCOMPARE(form->Text1(0)->text(), QStringLiteral("10"));
    QCOMPARE(form->Text1(1)->text(), QStringLiteral("10"));
    for (QPushButton *button : {form->Command1(), form->Command2(), form->Command3(),
                                form->Command4(), form->Command5()})
        QVERIFY(button->isEnabled());
    QCOMPARE(form->List1()->count(), 0);
    QCOMPARE(form->SSTab1()->currentIndex(), 0);
    QVERIFY(!form->ImageMan1().hasImage());
    QVERIFY(!form->ImageMan3().hasImage());
    // The source and destination open on the current folder.
    QCOMPARE(form->Dir1()->path(), m_source);
    QCOMPARE(form->Dir2()->path(), m_source);
    QCOMPARE(form->File1()->pattern(), QStringLiteral("*.*"));
    QCOMPARE(form->File1()->count(), 4);
    QVERIFY(m_source.startsWith(form->Drive1()->drive()));

    // The two option groups do not clear each other.
    form->Option2(3)->click();
    form->Option1(5)->click();
    QCOMPARE(form->Option1Group()->checkedId(), 5);
    QCOMPARE(form->Option2Group()->checkedId(), 3);
}

void TstForm1::keyboardOrderRunsThroughTheLayout()
{
    QStringList expected{"SSTab1", "Command1", "Frame1", "Text1_1", "Text1_0", "Option2_1",
                         "Option2_0", "Option2_5", "Option2_4", "Option2_3", "Dir2", "Drive2"};
    for (int i = 11; i >= 0; --i)
        expected << QStringLiteral("Check1_%1").arg(i);
    for (int i = 11; i >= 0; --i)
        expected << QStringLiteral("Option1_%1").arg(i);
    expected << "File1" << "Dir1" << "Drive1" << "Label1_1" << "Label1_0" << "Picture1"
             << "Command2" << "List1" << "List2" << "Picture2" << "Command3" << "Command4"
             << "Picture3" << "Command5";

    auto form = newForm(false);
    // Labels and the frame never take the focus, so the chain has no place
    // for them.
    expected.removeIf([&](const QString &name) {
        return form->findChild<QWidget *>(name)->focusPolicy() == Qt::NoFocus;
    });
    QCOMPARE(expected.size(), 47);
    QStringList chain;
    QWidget *widget = form->SSTab1();
    do {
        if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != form->SSTab1());
    QCOMPARE(chain, expected);

    // The Tab key follows the same order.
    form->Form_Load();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    const std::pair<QWidget *, QWidget *> steps[] = {{form->Command1(), form->Text1(1)},
                                                     {form->Text1(1), form->Text1(0)},
                                                     {form->Check1(0), form->Option1(11)},
                                                     {form->File1(), form->Dir1()}};
    for (const auto &[from, to] : steps) {
        from->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), to);
    }
}

void TstForm1::coloursAndPlatesArePainted()
{
    auto form = newForm(false);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->palette().color(QPalette::Window), kLightGrey);
    QCOMPARE(form->List1()->palette().color(QPalette::Text), QColor(128, 128, 128));
    QVERIFY(form->List2()->visibleRegion().isEmpty());

    // What is really painted: the lines, the empty ground and the plates.
    const QImage batch = form->SSTab1()->grab().toImage();
    QCOMPARE(batch.pixelColor(3240 / 15, 2000 / 15), QColor(Qt::white));
    QCOMPARE(batch.pixelColor(6000 / 15, 4200 / 15), kLightGrey);
    form->SSTab1()->setCurrentIndex(1);
    const QImage parse = form->SSTab1()->grab().toImage();
    QCOMPARE(parse.pixelColor(2415 / 15, 2500 / 15), QColor(Qt::black));
    QCOMPARE(parse.pixelColor(2415 / 15, 1500 / 15), kLightGrey);
    app::PictureBox *boxes[] = {form->Picture1(), form->Picture2(), form->Picture3()};
    for (int plate = 0; plate < 3; ++plate) {
        QCOMPARE(boxes[plate]->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 app::samplePlate(plate).convertToFormat(QImage::Format_RGB32));
    }
}

void TstForm1::startUpRestoresTheFilter_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("nothing stored") << QVariant() << kAllTypes
                                    << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}
                                    << QStringList{"a.jpg", "b.PNG", "c.tif"};
    QTest::newRow("*.*") << QVariant("*.*") << "*.*" << QList<int>{}
                         << QStringList{"a.jpg", "b.PNG", "c.tif", "readme.txt"};
    QTest::newRow("only JPG and PNG") << QVariant("*.jpg;*.png") << "*.jpg;*.png"
                                      << QList<int>{0, 5} << QStringList{"a.jpg", "b.PNG"};
    QTest::newRow("capitals only") << QVariant("*.JPG;*.TIF") << "*.JPG;*.TIF" << QList<int>{}
                                   << QStringList{"a.jpg", "c.tif"};
    QTest::newRow("foreign text") << QVariant("readme.txt") << "readme.txt" << QList<int>{}
                                  << QStringList{"readme.txt"};
    QTest::newRow("foreign text naming types") << QVariant("epsilon tiff") << "epsilon tiff"
                                               << QList<int>{1, 11} << QStringList{};
    QTest::newRow("empty text") << QVariant("") << "" << QList<int>{} << QStringList{};
}

void TstForm1::startUpRestoresTheFilter()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, pattern);
    QFETCH(QList<int>, ticked);
    QFETCH(QStringList, listed);
    if (stored.isValid())
        store(stored.toString());

    auto form = newForm(false);
    form->move(form->x(), 40);
    // The box handler stays silent while start-up ticks the boxes: the
    // pattern is applied once and nothing is stored.
    QSignalSpy patterns(form->File1(), &app::FileList::patternChanged);
    QList<bool> restoringAtTicks;
    for (int i = 0; i < 12; ++i) {
        connect(form->Check1(i), &QCheckBox::toggled, this,
                [&] { restoringAtTicks.append(form->restoring()); });
    }
    form->Form_Load();
    QCOMPARE(restoringAtTicks, QList<bool>(ticked.size(), true));
    QCOMPARE(patterns.count(), 1);
    QVERIFY(form->isVisible());
    QCOMPARE(form->pos().y(), 0);
    QCOMPARE(form->typepattern(), pattern);
    QCOMPARE(tickedBoxes(*form), ticked);
    QCOMPARE(form->File1()->pattern(), pattern);
    QCOMPARE(entries(form->File1()), listed);
    QCOMPARE(form->Command1()->isEnabled(), !listed.isEmpty());
    QVERIFY(!form->restoring());
    QCOMPARE(form->outext(), QStringLiteral("jpg"));
    // Start-up only reads the store.
    QCOMPARE(storedValue(), stored);
    QCOMPARE(QFile::exists(storeFile()), stored.isValid());
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TstForm1::boxClicksBuildApplyAndStore_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("JPG and BMP") << "*.*" << QList<int>{2, 0} << "*.jpg;*.bmp"
                                 << QStringList{"a.jpg"};
    QTest::newRow("PNG, capital file") << "*.*" << QList<int>{5} << "*.png" << QStringList{"b.PNG"};
    QTest::newRow("ticked and unticked") << "*.*" << QList<int>{1, 1} << "*.*"
                                         << QStringList{"a.jpg", "b.PNG", "c.tif", "readme.txt"};
    QTest::newRow("all twelve") << "*.*" << QList<int>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}
                                << kAllTypes << QStringList{"a.jpg", "b.PNG", "c.tif"};
    QTest::newRow("nothing listed") << "*.*" << QList<int>{3} << "*.rle" << QStringList{};
    QTest::newRow("same ticks again") << "*.jpg;*.png" << QList<int>{5, 5} << "*.jpg;*.png"
                                      << QStringList{"a.jpg", "b.PNG"};
}

void TstForm1::boxClicksBuildApplyAndStore()
{
    QFETCH(QString, stored);
    QFETCH(QList<int>, clicks);
    QFETCH(QString, pattern);
    QFETCH(QStringList, listed);
    store(stored);
    auto form = newForm();
    // Every click stores its pattern, even one the store already holds.
    store(QStringLiteral("changed elsewhere"));
    QSignalSpy patterns(form->File1(), &app::FileList::patternChanged);
    for (int index : clicks)
        QTest::mouseClick(form->Check1(index), Qt::LeftButton);
    QCOMPARE(patterns.count(), clicks.size());
    QCOMPARE(form->typepattern(), pattern);
    QCOMPARE(form->File1()->pattern(), pattern);
    QCOMPARE(entries(form->File1()), listed);
    QCOMPARE(form->Command1()->isEnabled(), !listed.isEmpty());
    QCOMPARE(storedValue().toString(), pattern);

    // The next start brings the choice back.
    auto next = newForm();
    QCOMPARE(entries(next->File1()), listed);
}

void TstForm1::failedStoreIsReported()
{
    auto form = newForm();
    const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
    touch(blocker);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, blocker);
    form->Check1(0)->click();
    QCOMPARE(form->typepattern(), QStringLiteral(
        "*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps"));
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(m_dialogs.messages.first().text.contains(blocker + QStringLiteral("/Kestrune/Kestrune.conf")));
    QCOMPARE(m_dialogs.messages.first().icon, common::Dialogs::Icon::Warning);
}

void TstForm1::batchButtonFollowsTheFileList_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("enabledInFolder");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<bool>("enabledAfterClicks");
    QTest::newRow("empty folder") << QStringList{} << "*.*" << false << QList<int>{0} << false;
    QTest::newRow("no matching file, then ticked")
        << QStringList{"x.png"} << "*.jpg" << false << QList<int>{5} << true;
    QTest::newRow("matching file, then unticked all")
        << QStringList{"x.bmp"} << "*.bmp" << true << QList<int>{2} << true;
    QTest::newRow("matching file, then other type")
        << QStringList{"x.bmp"} << "*.*" << true << QList<int>{11} << false;
    QTest::newRow("only a subfolder") << QStringList{"inner/"} << "*.*" << false << QList<int>{}
                                      << false;
    QTest::newRow("only a hidden file") << QStringList{".x.jpg"} << "*.*" << false
                                        << QList<int>{0} << false;
}

void TstForm1::batchButtonFollowsTheFileList()
{
    QFETCH(QStringList, files);
    QFETCH(QString, stored);
    QFETCH(bool, enabledInFolder);
    QFETCH(QList<int>, clicks);
    QFETCH(bool, enabledAfterClicks);
    const QString folder = m_dir->filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(folder));
    for (const QString &file : files) {
        if (file.endsWith(QLatin1Char('/')))
            QVERIFY(QDir(folder).mkdir(file.chopped(1)));
        else
            touch(folder + QLatin1Char('/') + file);
    }
    store(stored);
    auto form = newForm();
    QVERIFY(form->Dir1()->setPath(folder));
    QCOMPARE(form->File1()->path(), QFileInfo(folder).absoluteFilePath());
    QCOMPARE(form->Command1()->isEnabled(), enabledInFolder);
    for (int index : clicks)
        form->Check1(index)->click();
    QCOMPARE(form->Command1()->isEnabled(), enabledAfterClicks);
    QVERIFY(form->Dir1()->setPath(m_source));
    QCOMPARE(form->Command1()->isEnabled(), form->File1()->count() > 0);
}

// A drive that cannot be read is named in a warning and changes nothing.
void TstForm1::driveChangeRunsTheWholeChain()
{
    auto form = newForm();
    const QString empty = m_dir->filePath(QStringLiteral("emptydrive"));
    const QString missing = m_dir->filePath(QStringLiteral("nomedium"));
    QVERIFY(QDir().mkpath(empty));
    form->Drive1()->setDrives({QDir::rootPath(), empty, m_source, missing});
    form->Drive1()->showDriveOf(m_source);
    QList<QString> pathsWhenFileListChanged;
    connect(form->File1(), &app::FileList::pathChanged, this,
            [&] { pathsWhenFileListChanged.append(form->Dir1()->path()); });
    form->Drive1()->setCurrentIndex(1);
    // Everything happened inside the drive change.
    QCOMPARE(pathsWhenFileListChanged, QList<QString>{empty});
    QCOMPARE(form->File1()->path(), empty);
    QVERIFY(!form->Command1()->isEnabled());

    form->Drive1()->setCurrentIndex(2);
    QCOMPARE(form->File1()->path(), m_source);
    QVERIFY(form->Command1()->isEnabled());
    form->Drive1()->setCurrentIndex(3);
    QCOMPARE(form->Drive1()->drive(), m_source);
    QCOMPARE(form->File1()->path(), m_source);
    QCOMPARE(form->File1()->count(), 3);
    QVERIFY(form->Command1()->isEnabled());
    // Opening a subfolder in Dir1 reaches the file list too.
    form->Dir1()->openEntry(form->Dir1()->currentRow() + 1);
    QCOMPARE(form->File1()->path(), m_source + QStringLiteral("/sub"));
    QVERIFY(!form->Command1()->isEnabled());

    // The destination drive moves only its own folder list.
    form->Drive2()->setDrives({m_source, empty, missing});
    form->Drive2()->showDriveOf(m_source);
    form->Drive2()->setCurrentIndex(1);
    QCOMPARE(form->Dir2()->path(), empty);
    QCOMPARE(form->Dir1()->path(), m_source + QStringLiteral("/sub"));
    form->Drive2()->setCurrentIndex(2);
    QCOMPARE(form->Drive2()->drive(), empty);
    QCOMPARE(form->Dir2()->path(), empty);

    const QString unreadable = QStringLiteral("The drive %1 cannot be read: it does not exist.");
    QCOMPARE(m_dialogs.messages.size(), 2);
    for (const auto &message : std::as_const(m_dialogs.messages)) {
        QCOMPARE(message.text, unreadable.arg(missing));
        QCOMPARE(message.title, QStringLiteral("Kestrune"));
        QCOMPARE(message.icon, common::Dialogs::Icon::Warning);
    }
}

void TstForm1::vanishedFoldersAreReported_data()
{
    QTest::addColumn<bool>("listedFolder"); // else a subfolder about to be opened
    QTest::addColumn<QString>("message");
    QTest::newRow("listed folder") << true
        << "The files of the folder %1/sub cannot be listed: it does not exist.";
    QTest::newRow("subfolder") << false << "The folder %1/sub cannot be opened: it does not exist.";
}

void TstForm1::vanishedFoldersAreReported()
{
    QFETCH(bool, listedFolder);
    QFETCH(QString, message);
    const QString sub = m_source + QStringLiteral("/sub");
    touch(sub + QStringLiteral("/x.jpg"));
    auto form = newForm();
    if (listedFolder) {
        QVERIFY(form->Dir1()->setPath(sub));
        QVERIFY(form->Command1()->isEnabled());
    }
    const int subRow = form->Dir1()->currentRow() + 1;
    QVERIFY(QDir(sub).removeRecursively());
    if (listedFolder)
        form->Dir1_Change();
    else
        form->Dir1()->openEntry(subRow);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, message.arg(m_source));
    QCOMPARE(form->Dir1()->path(), listedFolder ? sub : m_source);
    QCOMPARE(form->File1()->path(), listedFolder ? sub : m_source);
    QCOMPARE(form->File1()->count(), listedFolder ? 0 : 3);
    QCOMPARE(form->Command1()->isEnabled(), !listedFolder);
}

// The rule itself, with its <=5 and non-positive cases, is checked on
// tabSizeForWindow; here the window really applies it.
void TstForm1::tabControlFollowsTheWindowSize()
{
    auto form = newForm();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const auto expected = [&] {
        const QSize outer = form->frameGeometry().size();
        return QSize(qRound((outer.width() * 15 - 100) / 15.0),
                     qRound((outer.height() * 15 - 700) / 15.0));
    };
    // The first resize, on showing, already replaced the design size.
    QCOMPARE(form->SSTab1()->size(), expected());
    form->resize(700, 600);
    QCOMPARE(form->SSTab1()->size(), expected());
    // No control moves with it.
    QCOMPARE(form->Command1()->mapTo(form->SSTab1(), QPoint()), QPoint(1080 / 15, 3960 / 15));
    form->resize(400, 333);
    const QSize before = form->SSTab1()->size();
    QCOMPARE(before, expected());

    // 40 pixels are 600 twips: more than 5, but 600 - 700 is no valid height.
    form->resize(400, 40);
    QVERIFY2(form->frameGeometry().height() * 15 <= 700,
             "the window did not get as low as the case needs");
    QCOMPARE(form->SSTab1()->size(), before);
}

void TstForm1::menusCarryTheirNames()
{
    auto form = newForm(false);
    QStringList shown;
    for (QAction *menu : form->menuBar()->actions()) {
        shown << menu->text() + QLatin1Char('=') + menu->menu()->objectName();
        for (QAction *item : menu->menu()->actions())
            shown << item->text() + QLatin1Char('=') + item->objectName();
    }
    QCOMPARE(shown, (QStringList{"&File=filex", "E&xit=exit", "&Help=helzp",
                                 "&Help Web Page=ffff", "&About=about"}));
}

void TstForm1::helpAndAboutAnswer_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("browser");
    QTest::addColumn<QStringList>("message"); // what the one message holds, if any
    QTest::addColumn<common::Dialogs::Icon>("icon");
    QTest::newRow("help, browser opens") << "ffff" << true << QStringList{}
                                         << common::Dialogs::Icon::None;
    QTest::newRow("help, no browser") << "ffff" << false << QStringList{kHelpPage}
                                      << common::Dialogs::Icon::Warning;
    QTest::newRow("about") << "about" << true << QStringList{"2026", "All rights reserved"}
                           << common::Dialogs::Icon::Information;
}

void TstForm1::helpAndAboutAnswer()
{
    QFETCH(QString, item);
    QFETCH(bool, browser);
    QFETCH(QStringList, message);
    QFETCH(common::Dialogs::Icon, icon);
    auto form = newForm();
    m_opener.succeed = browser;
    auto *action = form->findChild<QAction *>(item);
    QVERIFY(action);
    action->trigger();
    QCOMPARE(m_opener.opened.size(), item == QLatin1String("ffff") ? 1 : 0);
    QCOMPARE(m_opener.opened.value(0, QUrl(kHelpPage)), QUrl(kHelpPage));
    QCOMPARE(m_dialogs.messages.size(), message.isEmpty() ? 0 : 1);
    for (const QString &part : message)
        QVERIFY(m_dialogs.messages.first().text.contains(part));
    if (!message.isEmpty()) {
        QCOMPARE(m_dialogs.messages.first().icon, icon);
        QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Kestrune"));
        QVERIFY(!m_dialogs.messages.first().text.contains(QLatin1Char('\n')));
    }
    QVERIFY(form->isVisible());
}

void TstForm1::exitEndsTheProgram()
{
    auto form = newForm();
    // Another window stays open, so only an explicit end stops the loop.
    QWidget other;
    other.show();
    auto *exit = form->findChild<QAction *>(QStringLiteral("exit"));
    QVERIFY(exit);
    QTimer::singleShot(0, exit, &QAction::trigger);
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [] { QCoreApplication::exit(1); });
    guard.start(30000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!form->isVisible());
    QVERIFY(m_dialogs.questions.isEmpty() && m_dialogs.messages.isEmpty());
}

QTEST_MAIN(TstForm1)
#include "tst_form1.moc"
