#include "apptest.h"

#include "app/drivelist.h"
#include "app/folderlist.h"
#include "app/layout.h"
#include "app/picturebox.h"
#include "app/qtdialogs.h"
#include "rollover/plateloader.h"
#include "app/tabcontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

const QString kHelpPage = QStringLiteral("http://www.kestrune.example/Plenwick/help.htm");

QList<int> tickedBoxes(const app::MainWindow &form)
{
    QList<int> ticked;
    for (int i = 0; i < 12; ++i)
        if (form.typeBox(i)->isChecked())
            ticked << i;
    return ticked;
}

// What a drop may change, in this order: source folder, file list's folder,
// destination folder, the three plates' sizes, the number of cut lines.
QStringList state(const app::MainWindow &form)
{
    QStringList state{form.sourceFolders()->path(), form.sourceFiles()->path(), form.destinationFolders()->path()};
    for (const app::PictureBox *box : {form.backPlateBox(), form.highlightPlateBox(), form.selectedPlateBox()})
        state.append(QStringLiteral("%1x%2").arg(box->picture().width()).arg(box->picture().height()));
    return state << QString::number(form.cutLineList()->count());
}

} // namespace

using apptest::entries;
using apptest::touch;

// The window as a whole: its layout, start-up, type boxes, lists, size,
// menus, drops and looks. The rules behind them are tested in the core.
class TestMainWindow : public QObject, apptest::Fixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { tearDown(); }
    void layoutIsApplied();
    void tabStopsAndSpokenNames();
    void typeBoxes();
    void drivesAndVanishedFolders();
    void resizeRule_data();
    void resizeRule();
    void menusAnswer();
    void drops_data();
    void drops();
    void disabledButtonAndCustomBoxesStayReadable();
    void plateDialogShowsTheFilterAsItStands();

private:
    QString storeFile() const { return m_root + QStringLiteral("/config/Kestrune/Kestrune.conf"); }
    QString stored() const { return QSettings(storeFile(), QSettings::IniFormat).value("stashes/filetypes").toString(); }
    void store(const QString &pattern) { QSettings(storeFile(), QSettings::IniFormat).setValue("stashes/filetypes", pattern); }
};

void TestMainWindow::init()
{
    setUp();
    QVERIFY(QDir(m_source).mkdir(QStringLiteral("sub")));
    for (const char *name : {"a.jpg", "b.PNG", "c.tif", "readme.txt"})
        touch(m_source + QLatin1Char('/') + QLatin1String(name));
}

// Every control is where the design's layout tables put it (typed apart from
// the code's table, in tests/data/layout), in its container, with its caption
// and initial state; the lists open on the current folder, and the tab control
// follows the window's size. (Tab: tabStopsAndSpokenNames.)
void TestMainWindow::layoutIsApplied()
{
    auto form = newForm(false);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->windowTitle(), QStringLiteral("Tarvix Graphics Utilities - http://www.kestrune.example"));
    QCOMPARE(form->centralWidget()->size(), QSize(6975, 5355) / 15);
    QCOMPARE(form->palette().color(QPalette::Window), QColor(192, 192, 192));
    QVERIFY(form->windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(form->pages()->tabText(0) + form->pages()->tabText(1), QStringLiteral("Batch ConvertParse Clips"));
    for (const app::PictureBox *box : {form->backPlateBox(), form->highlightPlateBox(), form->selectedPlateBox()})
        QCOMPARE(box->picture().size(), QSize(126, 179));
    QFile table(QStringLiteral(KESTRUNE_TEST_DATA "/layout/controls.tsv"));
    QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
    int rows = 0;
    for (const QString &line : QString::fromUtf8(table.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList cell = line.split(u'\t');
        if (line.startsWith(u'#') || cell.size() != 8 || !++rows)
            continue;
        auto *widget = form->findChild<QWidget *>(cell[0]);
        QVERIFY2(!widget == (cell[1] == u"none"), qPrintable(cell[0]));
        if (!widget)
            continue;
        QWidget *origin = cell[1] == u"window" ? form->centralWidget()
            : cell[1] == u"frame"              ? form->findChild<QWidget *>("Frame1")
                                               : static_cast<QWidget *>(form->pages());
        const auto px = [&](int i) { return qRound(cell[i].toInt() / 15.0); };
        QRect rect(px(2), px(3), px(4), px(5));
        if (cell[0].startsWith(u"Line"))
            rect = QRect(QPoint(px(2), px(3)), QSize(std::max(1, px(4) - px(2)), std::max(1, px(5) - px(3))));
        if (cell[0] == u"SSTab1") // sized with the window on showing
            rect.setSize(widget->size());
        QCOMPARE(QRect(widget->mapTo(origin, QPoint()), widget->size()), rect);
        const QVariant text = widget->property("text");
        QCOMPARE(text.isValid() ? text.toString() : "-", cell[6]);
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            QCOMPARE(button->isCheckable() ? button->isChecked() : button->isEnabled(), cell[7] == u"on");
    }
    QCOMPARE(rows, 56);
    QCOMPARE(qobject_cast<QListWidget *>(form->findChild<QWidget *>("List1"))->palette().color(QPalette::Text), QColor(128, 128, 128));
    QCOMPARE(form->findChild<QWidget *>("Line1")->palette().color(QPalette::Window), QColor(Qt::white));

    QCOMPARE(form->findChild<QWidget *>("Option2_2"), nullptr); // the layout has no element 2
    QVERIFY(form->sourceFolders()->path() == m_source && form->destinationFolders()->path() == m_source);
    QCOMPARE(entries(form->sourceFiles()), (QStringList{"a.jpg", "b.PNG", "c.tif", "readme.txt"}));
    // The two option groups do not clear each other.
    form->sizeButton(convert::SizeChoice::Size640x480)->click();
    form->formatButton(5)->click();
    QVERIFY(form->formatButton(5)->isChecked() && form->sizeButton(convert::SizeChoice::Size640x480)->isChecked());

    // From the first resize, on showing, the tab control follows the window
    // (resizeRule); no control moves with it.
    for (const QSize size : {QSize(), QSize(700, 600)}) {
        if (size.isValid())
            form->resize(size);
        const QSize outer = form->frameGeometry().size();
        QCOMPARE(form->pages()->size(), QSize(qRound(outer.width() - 100 / 15.0), qRound(outer.height() - 700 / 15.0)));
    }
    QCOMPARE(form->convertButton()->mapTo(form->pages(), QPoint()), QPoint(1080 / 15, 3960 / 15));
}

// Tab stops at the selected button of each option group and otherwise runs in
// the layout's order; the arrow keys move within a group, selecting. A screen
// reader finds a name on every control it reaches, none the same as another's.
void TestMainWindow::tabStopsAndSpokenNames()
{
    auto form = newForm();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QStringList batch{"Command1", "Text1_1", "Text1_0", "Option2_0", "Dir2", "Drive2"};
    for (int i = 11; i >= 0; --i)
        batch << QStringLiteral("Check1_%1").arg(i);
    QCOMPARE(apptest::tabStops(form.get()), batch << "Option1_0" << "File1" << "Dir1" << "Drive1");
    for (auto [button, key] : {std::pair{form->sizeButton(convert::SizeChoice::OneToOne), Qt::Key_Right}, std::pair{form->formatButton(0), Qt::Key_Down}}) {
        button->setFocus();
        QTest::keyClick(button, key);
    }
    batch[3] = "Option2_4"; // "800x600", right of "1 to 1"
    batch[18] = "Option1_1";
    QCOMPARE(apptest::tabStops(form.get()), batch);
    form->pages()->setCurrentIndex(1);
    QCOMPARE(apptest::tabStops(form.get()), QString("Picture1 Command2 List1 Picture2 Command3 Command4 Picture3 Command5").split(' '));

    QSet<QString> layout;
    for (const app::Control &row : app::controls())
        layout << app::objectName(row);
    QHash<QString, QString> names; // of the layout's controls but the lines
    std::function<void(QAccessibleInterface *)> visit = [&](QAccessibleInterface *node) {
        const QString name = node->text(QAccessible::Name), control = node->object() ? node->object()->objectName() : "";
        QVERIFY2(!name.isEmpty() || (node->childCount() && node->role() == QAccessible::Client)
                     || node->role() == QAccessible::LayeredPane || node->state().invisible, qPrintable(control));
        if (!node->state().invisible && layout.contains(control) && !control.startsWith("Line")) {
            names.insert(control, name);
            QVERIFY2(!node->text(QAccessible::Description).isEmpty(), qPrintable(control));
        }
        for (int i = 0; i < node->childCount(); ++i)
            visit(node->child(i));
    };
    for (int page : {1, 0}) {
        form->pages()->setCurrentIndex(page);
        visit(QAccessible::queryAccessibleInterface(form.get()));
    }
    QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), 49); // all but the hidden scratch list, named apart
    QCOMPARE(QStringList({names["Text1_0"], names["Check1_0"], names["Option1_0"], names["Drive1"]}),
             QStringList({"Output width in pixels", "List JPG files", "Convert to JPG", "Source drive"}));
}

// Start-up ticks the boxes for the stored pattern and applies it once, the
// box handler silent. Every click then builds, applies and stores the
// pattern, even one the store held before, and the button follows the list;
// the next start brings the choice back. A store that cannot be written is
// named in a warning.
void TestMainWindow::typeBoxes()
{
    store(QStringLiteral("*.jpg;*.png"));
    auto form = newForm(false);
    form->move(form->x(), 40);
    QSignalSpy patterns(form->sourceFiles(), &app::FileList::patternChanged);
    form->start();
    QCOMPARE(tickedBoxes(*form), (QList<int>{0, 5}));
    QCOMPARE(patterns.count(), 1);
    QCOMPARE(entries(form->sourceFiles()), (QStringList{"a.jpg", "b.PNG"}));
    QVERIFY(form->isVisible() && form->pos().y() == 0 && form->outext() == "jpg");

    store(QStringLiteral("changed elsewhere"));
    for (int index : {5, 5})
        QTest::mouseClick(form->typeBox(index), Qt::LeftButton);
    QCOMPARE(stored(), QStringLiteral("*.jpg;*.png"));
    for (int index : {0, 5, 3})
        QTest::mouseClick(form->typeBox(index), Qt::LeftButton);
    QVERIFY(form->sourceFiles()->pattern() == "*.rle" && form->sourceFiles()->count() == 0 && !form->convertButton()->isEnabled());
    for (int index : {2, 0})
        QTest::mouseClick(form->typeBox(index), Qt::LeftButton);
    QCOMPARE(patterns.count(), 8);
    QCOMPARE(form->typePattern(), QStringLiteral("*.jpg;*.bmp;*.rle"));
    QCOMPARE(stored(), form->typePattern());
    QCOMPARE(entries(form->sourceFiles()), QStringList{"a.jpg"});
    QVERIFY(form->convertButton()->isEnabled() && m_dialogs.messages.isEmpty());
    QCOMPARE(tickedBoxes(*newForm()), (QList<int>{0, 2, 3}));

    const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
    touch(blocker);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
    form->typeBox(5)->click();
    QCOMPARE(form->sourceFiles()->pattern(), QStringLiteral("*.jpg;*.bmp;*.rle;*.png"));
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(m_dialogs.messages.first().text.contains(blocker + QStringLiteral("/Kestrune/Kestrune.conf")));
    QCOMPARE(m_dialogs.messages.first().icon, common::Dialogs::Icon::Warning);
}

// A drive change reaches the folder list, the file list and the button
// before it returns; a drive that cannot be read is named in a warning and
// changes nothing. So is a folder that vanishes: a subfolder when it is opened
// (nothing changes), the listed folder when it is listed again (its files go,
// and with them the button).
void TestMainWindow::drivesAndVanishedFolders()
{
    auto form = newForm();
    const QString sub = m_source + QStringLiteral("/sub");
    const QString empty = m_dir->filePath(QStringLiteral("emptydrive"));
    const QString missing = m_dir->filePath(QStringLiteral("nomedium"));
    QVERIFY(QDir().mkpath(empty));
    form->sourceDrives()->setDrives({QDir::rootPath(), empty, m_source, missing});
    form->sourceDrives()->setCurrentIndex(1);
    QVERIFY(form->sourceFiles()->path() == empty && !form->convertButton()->isEnabled());
    form->sourceDrives()->setCurrentIndex(2);
    QVERIFY(form->convertButton()->isEnabled());
    form->sourceDrives()->setCurrentIndex(3);
    QVERIFY(form->sourceDrives()->drive() == m_source && form->sourceFiles()->path() == m_source);
    // Opening a subfolder in the source folders reaches the file list too.
    form->sourceFolders()->openEntry(form->sourceFolders()->currentRow() + 1);
    QCOMPARE(form->sourceFiles()->path(), sub);
    QVERIFY(!form->convertButton()->isEnabled());

    // The destination drive moves only its own folder list.
    form->destinationDrives()->setDrives({m_source, empty, missing});
    form->destinationDrives()->setCurrentIndex(1);
    QVERIFY(form->destinationFolders()->path() == empty && form->sourceFolders()->path() == sub);
    form->destinationDrives()->setCurrentIndex(2);
    QVERIFY(form->destinationDrives()->drive() == empty && form->destinationFolders()->path() == empty);
    const QString unreadable = QStringLiteral("The drive %1 cannot be read: it does not exist.").arg(missing);
    QCOMPARE(m_dialogs.messages.size(), 2);
    for (const auto &message : std::as_const(m_dialogs.messages))
        QVERIFY(message.text == unreadable && message.title == "Kestrune" && message.icon == common::Dialogs::Icon::Warning);

    m_dialogs.messages.clear();
    QVERIFY(form->sourceFolders()->setPath(m_source) && QDir(sub).removeRecursively());
    form->sourceFolders()->openEntry(form->sourceFolders()->currentRow() + 1);
    QVERIFY(form->sourceFolders()->path() == m_source && form->sourceFiles()->path() == m_source && form->convertButton()->isEnabled());
    QVERIFY(QDir().mkpath(sub));
    touch(sub + QStringLiteral("/x.jpg"));
    QVERIFY(form->sourceFolders()->setPath(sub) && form->convertButton()->isEnabled());
    QVERIFY(QDir(sub).removeRecursively());
    form->onSourceFolderChanged();
    QVERIFY(form->sourceFiles()->path() == sub && form->sourceFiles()->count() == 0 && !form->convertButton()->isEnabled());
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_dialogs.messages[0].text, QStringLiteral("The folder %1 cannot be opened: it does not exist.").arg(sub));
    QCOMPARE(m_dialogs.messages[1].text, QStringLiteral("The files of the folder %1 cannot be listed: it does not exist.").arg(sub));
}

void TestMainWindow::resizeRule_data()
{
    QTest::addColumn<QSizeF>("outer");
    QTest::addColumn<QSizeF>("wanted"); // from 6915 x 5340
    QTest::newRow("6000 x 5000") << QSizeF(6000, 5000) << QSizeF(5900, 4300);
    QTest::newRow("exactly 5 leaves both") << QSizeF(5, 5) << QSizeF(6915, 5340);
    QTest::newRow("width 100 would be zero") << QSizeF(100, 5000) << QSizeF(6915, 4300);
    QTest::newRow("height 700 would be zero") << QSizeF(6000, 700) << QSizeF(5900, 5340);
    QTest::newRow("height 701 gives 1") << QSizeF(6000, 701) << QSizeF(5900, 1);
    QTest::newRow("fractional twips kept") << QSizeF(6000.5, 5000.25) << QSizeF(5900.5, 4300.25);
}

void TestMainWindow::resizeRule()
{
    QFETCH(QSizeF, outer);
    QFETCH(QSizeF, wanted);
    QCOMPARE(app::tabSizeForWindow(outer, QSizeF(6915, 5340)), wanted);
}

// The help page, with a warning when no browser starts, the About box, and
// Exit, which ends the program even while another window stays open.
void TestMainWindow::menusAnswer()
{
    auto form = newForm();
    const auto item = [&](const char *name) { return form->findChild<QAction *>(QLatin1String(name)); };
    item("ffff")->trigger();
    m_opener.succeed = false;
    item("ffff")->trigger();
    item("about")->trigger();
    QCOMPARE(m_opener.opened, (QList<QUrl>{QUrl(kHelpPage), QUrl(kHelpPage)}));
    QCOMPARE(m_dialogs.messages.size(), 2);
    const auto &noBrowser = m_dialogs.messages[0], &about = m_dialogs.messages[1];
    QVERIFY(noBrowser.text.contains(kHelpPage) && noBrowser.icon == common::Dialogs::Icon::Warning);
    QCOMPARE(about.text, QStringLiteral("Kestrune, copyright 2026 Tarvix Graphics. All rights reserved."));
    QVERIFY(about.icon == common::Dialogs::Icon::Information && about.title == "Kestrune");

    QWidget other;
    other.show();
    QTimer::singleShot(0, item("exit"), &QAction::trigger);
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [] { QCoreApplication::exit(1); });
    guard.start(30000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!form->isVisible() && m_dialogs.messages.size() == 2 && m_dialogs.questions.isEmpty());
}

void TestMainWindow::drops_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("items"); // under the fixture's folder, or a web address
    QTest::addColumn<QList<int>>("changed"); // the entries of state() the drop changes
    QTest::newRow("folder on Dir1 opens the source") << "Dir1" << QStringList{"drop"} << QList<int>{0, 1};
    QTest::newRow("folder on File1 opens the source") << "File1" << QStringList{"drop"} << QList<int>{0, 1};
    QTest::newRow("folder on Dir2 opens the destination") << "Dir2" << QStringList{"drop"} << QList<int>{2};
    QTest::newRow("picture on Picture1 loads the normal plate, no cut lines")
        << "Picture1" << QStringList{"drop/plate.BMP"} << QList<int>{3, 6};
    QTest::newRow("picture on Picture2 loads the highlight plate") << "Picture2" << QStringList{"drop/plate.BMP"} << QList<int>{4};
    QTest::newRow("picture on Dir1 is refused") << "Dir1" << QStringList{"drop/plate.BMP"} << QList<int>{};
    QTest::newRow("TGA on Picture3 loads the selected plate, as All pictures offers it")
        << "Picture3" << QStringList{"drop/plate.tga"} << QList<int>{5};
    QTest::newRow("WebP on Picture3 loads the selected plate") << "Picture3" << QStringList{"drop/plate.webp"} << QList<int>{5};
    QTest::newRow("XCF on Picture3 is refused, as no plate can be read from it") << "Picture3" << QStringList{"drop/plate.xcf"} << QList<int>{};
    QTest::newRow("two folders on Dir2 are refused") << "Dir2" << QStringList{"drop", "source"} << QList<int>{};
    QTest::newRow("web address on File1 is refused") << "File1" << QStringList{"http://www.kestrune.example/"} << QList<int>{};
}

void TestMainWindow::drops()
{
    QFETCH(QString, control);
    QFETCH(QStringList, items);
    QFETCH(QList<int>, changed);
    const QString drop = m_root + QStringLiteral("/drop");
    QVERIFY(QDir().mkpath(drop));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/pillow.bmp"), drop + QStringLiteral("/plate.BMP")));
    for (const char *name : {"/plate.tga", "/plate.xcf"})
        QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/pillow-rle.tga"), drop + QLatin1String(name)));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUNE_TEST_DATA "/sources/cwebp-lossy.webp"), drop + QStringLiteral("/plate.webp")));
    auto form = newForm();
    form->onBackPlatePressed(1, 57); // a cut line
    form->onBackPlateReleased(1, 57);
    const QStringList before = state(*form);

    QWidget *target = form->findChild<QWidget *>(control);
    if (auto *list = qobject_cast<QListWidget *>(target))
        target = list->viewport();
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &item : items)
        urls << (item.startsWith("http") ? QUrl(item) : QUrl::fromLocalFile(m_root + u'/' + item));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), !changed.isEmpty());
    QDropEvent release(QPointF(4, 4), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &release);
    // Taken as a copy, so the file manager never deletes what was dropped.
    QVERIFY(changed.isEmpty() || release.dropAction() == Qt::CopyAction);

    const QSize plate = QImage(drop + QStringLiteral("/plate.BMP")).size();
    const QString size = QStringLiteral("%1x%2").arg(plate.width()).arg(plate.height());
    QStringList expected = before, changes{drop, drop, drop, size, size, size, "0"}; // each entry, when changed
    for (int i : changed)
        expected[i] = changes[i];
    QCOMPARE(state(*form), expected);
    QVERIFY(m_dialogs.messages.isEmpty());
}

// The frame shows the window's ground; the scratch list shows nowhere, even
// in a tall window. "BATCH CONVERT" is disabled over an empty folder: its caption must differ
// from an enabled one and still stand out from the grey ground. A line edit
// scrolls a text that does not fit: then the cursor's travel from before the
// first character to past the last is shorter than the text.
void TestMainWindow::disabledButtonAndCustomBoxesStayReadable()
{
    auto form = newForm();
    const QImage frame = form->sizeFrame()->grab().toImage();
    QCOMPARE(frame.pixelColor(140, 50), app::kLightGrey);
    form->resize(700, 900);
    QVERIFY(!form->sortingList()->isVisible());
    QVERIFY(form->sourceFolders()->setPath(m_source + QStringLiteral("/sub")) && !form->convertButton()->isEnabled());
    const QPalette colours = form->convertButton()->palette();
    const QColor ink = colours.color(QPalette::Disabled, QPalette::ButtonText);
    QVERIFY(ink != colours.color(QPalette::Active, QPalette::ButtonText));
    QVERIFY(std::abs(qGray(ink.rgb()) - qGray(colours.color(QPalette::Disabled, QPalette::Button).rgb())) >= 48);
    for (QLineEdit *box : {form->customWidthBox(), form->customHeightBox()}) {
        box->setText(QStringLiteral("1920"));
        const auto cursorX = [box](bool atEnd) {
            atEnd ? box->end(false) : box->home(false);
            box->grab();
            return box->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
        };
        const int home = cursorX(false);
        QCOMPARE(cursorX(true) - home, box->fontMetrics().horizontalAdvance(QStringLiteral("1920")));
    }
}

// The desktop's own file dialog shows the plate filter's description alone,
// not followed by Qt's list of its patterns, and offers every type we read
// as a second choice.
void TestMainWindow::plateDialogShowsTheFilterAsItStands()
{
    QString shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            if (const auto *filter = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                shown = filter->itemText(0) + u'|' + filter->itemText(1);
            dialog->reject();
        }
    });
    poll.start(5);
    app::QtDialogs dialogs;
    QCOMPARE(dialogs.openFile(QStringLiteral("Load Image"), rollover::plateDialogFilter()), QString());
    QCOMPARE(shown, QStringLiteral("Pictures (*.bmp;*.jpg;*.tif;*.pcd)|"
                                   "All pictures (*.jpg;*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps;*.webp;*.avif;*.heic;*.gif)"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
