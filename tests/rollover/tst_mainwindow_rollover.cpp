#include "apptest.h"
#include "pictures.h"

#include "app/artwork.h"
#include "app/picturebox.h"
#include "common/paths.h"
#include "rollover/pagetext.h"

#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#ifndef KESTRUNE_TEST_SCALE
#define KESTRUNE_TEST_SCALE 1
#endif

namespace {

const QColor kYellow(255, 255, 0);
// Plates 160 x 180 in bands of 60 rows, that another program wrote.
const QString kPlates[3] = {KESTRUNE_TEST_DATA "/rollover/menu-normal.png", KESTRUNE_TEST_DATA "/rollover/menu-highlight.png",
                            KESTRUNE_TEST_DATA "/rollover/menu-selected.png"};

QStringList items(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

} // namespace

// The "Parse Clips" page driven like a user would: buttons clicked, a fake
// file dialog answering, cut lines placed with real mouse events on the back plate.
// The gestures' rules are the cut-line table's (tst_rollover); here the mouse
// reaches them and the window shows their outcome.
class TestMainWindowRollover : public QObject, apptest::Fixture
{
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        m_form.reset();
        tearDown();
    }
    void placeLinesAndGenerate();
    void boxesScrollTogether();
    void startsWithTheWorkingPlates_data();
    void startsWithTheWorkingPlates();
    void keysPlaceAndRemoveLines();

private:
    void openForm();
    // Clicks the plate's load button with `path` as the dialog's answer.
    void pick(int plate, const QString &path);
    // Rows are plate rows; the mouse works in the box's own units, which on a
    // scaled screen hold several rows. The test rows are multiples of the scale.
    int scale() const { return int(m_form->backPlateBox()->devicePixelRatioF()); }
    QPoint at(int row) const { return QPoint(20 / scale(), row / scale()); }
    void press(Qt::MouseButton b, int row) { QTest::mousePress(m_form->backPlateBox(), b, {}, at(row)); }
    void move(int row) { QTest::mouseMove(m_form->backPlateBox(), at(row)); }
    void release(Qt::MouseButton b, int row) { QTest::mouseRelease(m_form->backPlateBox(), b, {}, at(row)); }
    void click(int row) { press(Qt::LeftButton, row); release(Qt::LeftButton, row); }

    std::unique_ptr<app::MainWindow> m_form;
};

void TestMainWindowRollover::pick(int plate, const QString &path)
{
    m_dialogs.fileAnswers = {path};
    QTest::mouseClick(QList<QPushButton *>{m_form->loadNormalButton(), m_form->loadHighlightsButton(), m_form->loadSelectedButton()}[plate], Qt::LeftButton);
    QVERIFY(m_dialogs.fileAnswers.isEmpty());
}

void TestMainWindowRollover::init()
{
    // Nothing left by an earlier run: the window starts from the samples.
    setUp();
    QDir(common::outputFolder()).removeRecursively();
    openForm();
}

void TestMainWindowRollover::openForm()
{
    m_dialogs = {};
    m_form = newForm();
    m_form->pages()->setCurrentIndex(1);
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QCOMPARE(scale(), KESTRUNE_TEST_SCALE);
}

void TestMainWindowRollover::placeLinesAndGenerate()
{
    app::PictureBox *boxes[] = {m_form->backPlateBox(), m_form->highlightPlateBox(), m_form->selectedPlateBox()};
    for (int plate = 0; plate < 3; ++plate) {
        pick(plate, kPlates[plate]);
        QCOMPARE(boxes[plate]->picture().convertToFormat(QImage::Format_RGB32), QImage(kPlates[plate]).convertToFormat(QImage::Format_RGB32));
    }
    press(Qt::LeftButton, 56);
    move(60);
    QCOMPARE(boxes[0]->drawnRows(), QList<int>{60});
    release(Qt::LeftButton, 56);
    click(120);
    QCOMPARE(items(m_form->sortingList()), (QStringList{"56", "120"}));

    // A press takes a line out of the cut-line list; the sorting list follows at the release.
    press(Qt::LeftButton, 58 - scale());
    QCOMPARE(items(m_form->cutLineList()), QStringList{"120"});
    QCOMPARE(items(m_form->sortingList()), (QStringList{"56", "120"}));
    move(90);
    QCOMPARE(boxes[0]->drawnRows(), (QList<int>{120, 90}));
    m_form->onBackPlateMoved(3, 95); // left and right held: no guide
    QCOMPARE(boxes[0]->drawnRows(), (QList<int>{120, 90}));
    release(Qt::LeftButton, 100);
    for (QListWidget *list : {m_form->cutLineList(), m_form->sortingList()})
        QCOMPARE(items(list), (QStringList{"100", "120"}));
    for (int plate = 0; plate < 3; ++plate) {
        QCOMPARE(boxes[plate]->drawnRows(), (QList<int>{120, 100}));
        const QImage shown = boxes[plate]->grab().toImage();
        QCOMPARE(shown.pixelColor(40, 100), kYellow);
        // One picture pixel per screen pixel: the line is one row, the rows
        // around it and those across a band's edge are the plate's.
        for (int row : {59, 60, 99, 101})
            QCOMPARE(shown.pixelColor(40, row), boxes[plate]->picture().pixelColor(40, row));
    }

    // The right button deletes and adds nothing; dragging with it draws nothing.
    press(Qt::RightButton, 120);
    move(140);
    QCOMPARE(boxes[0]->drawnRows(), (QList<int>{120, 100}));
    release(Qt::RightButton, 140);
    QCOMPARE(items(m_form->cutLineList()), QStringList{"100"});

    // Generating cuts the plates along the lines the window holds.
    m_dialogs.inputAnswers = {QStringLiteral("90"), QStringLiteral("TST")};
    m_dialogs.yesNoAnswers = {true};
    QTest::mouseClick(m_form->generateButton(), Qt::LeftButton);
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messages.value(0).text));
    QCOMPARE(m_clipboard.text, rollover::pageText(QStringLiteral("TST"), {QSize(160, 101), QSize(160, 79)}));

    // A cancelled or failed load keeps the plate shown and the cut lines, and
    // a failure names the file.
    const QImage before = boxes[0]->picture();
    const QString bad = m_dir->filePath(QStringLiteral("bad.bmp"));
    testpictures::writeBytes(bad, "BM but nothing more");
    for (const QString &answer : {QString(), bad}) {
        pick(0, answer);
        QCOMPARE(boxes[0]->picture(), before);
        QCOMPARE(items(m_form->cutLineList()), QStringList{"100"});
    }
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(QDir::toNativeSeparators(bad)), qPrintable(m_dialogs.messages.first().text));

    // New highlight and selected plates keep the cut lines; a new normal plate
    // empties the cut-line list and shows no lines, while the sorting list keeps its items.
    pick(1, kPlates[1]);
    pick(2, kPlates[2]);
    QCOMPARE(items(m_form->cutLineList()), QStringList{"100"});
    pick(0, kPlates[0]);
    QVERIFY(items(m_form->cutLineList()).isEmpty() && boxes[0]->drawnRows().isEmpty());
    QCOMPARE(items(m_form->sortingList()), QStringList{"100"});
    // Lines reach down to the row above the new plate's last (the sample's is higher).
    click(178);
    QCOMPARE(items(m_form->cutLineList()), QStringList{"178"});
}

void TestMainWindowRollover::boxesScrollTogether()
{
    // A back plate taller than its box, a different colour on every row.
    const int tall = 700;
    const QImage plate = testpictures::painted(126, tall, [](int, int y) { return qRgb(y % 256, 90, y / 256 * 100); });
    QVERIFY(plate.save(m_dir->filePath(QStringLiteral("tall.png"))));
    pick(0, m_dir->filePath(QStringLiteral("tall.png")));
    pick(1, kPlates[1]);
    app::PictureBox *boxes[] = {m_form->backPlateBox(), m_form->highlightPlateBox(), m_form->selectedPlateBox()};
    // Every row is reachable, in all three boxes alike.
    for (app::PictureBox *box : boxes)
        QCOMPARE(box->lastTopRow(), tall - boxes[0]->height() * scale());

    auto *bar = boxes[0]->findChild<QScrollBar *>(QStringLiteral("scrollBar"));
    QVERIFY(bar && bar->isVisible());

    // The wheel on the normal plate scrolls all three; a click then marks the
    // plate row under the pointer, drawn where it is shown.
    QWheelEvent wheel(QPointF(at(30)), boxes[0]->mapToGlobal(QPointF(at(30))), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(boxes[0], &wheel);
    const int top = boxes[0]->topRow();
    QVERIFY(top > 0);
    for (app::PictureBox *box : boxes)
        QCOMPARE(box->topRow(), top);
    QCOMPARE(boxes[2]->grab().toImage().pixelColor(10, 0), boxes[2]->picture().pixelColor(10, top));
    const int row = 2 * scale();
    click(row);
    QCOMPARE(items(m_form->cutLineList()), QStringList{QString::number(top + row)});
    QCOMPARE(boxes[1]->grab().toImage().pixelColor(40, row), kYellow);
    QCOMPARE(boxes[0]->grab().toImage().pixelColor(40, row + 1), boxes[0]->picture().pixelColor(40, top + row + 1));
}

void TestMainWindowRollover::startsWithTheWorkingPlates_data()
{
    QTest::addColumn<QList<int>>("plates"); // per plate: 1 left by an earlier run, 0 none, -1 unreadable
    QTest::newRow("first start: the samples, and Generate asks for the plates") << QList<int>{0, 0, 0};
    QTest::newRow("earlier plates are shown and cut, lines below them dropped") << QList<int>{1, 1, 1};
    QTest::newRow("an unreadable selected plate: its sample, and Generate asks for the plates") << QList<int>{1, 1, -1};
}

// What the boxes show at start-up is what Generate cuts; with nothing to cut
// it says so and changes nothing.
void TestMainWindowRollover::startsWithTheWorkingPlates()
{
    QFETCH(QList<int>, plates);
    QVERIFY(QDir().mkpath(QFileInfo(common::platePath(0)).absolutePath()));
    for (int plate = 0; plate < 3; ++plate)
        QVERIFY(plates[plate] <= 0 || QImage(kPlates[plate]).save(common::platePath(plate), "BMP"));
    if (plates[2] < 0)
        testpictures::writeBytes(common::platePath(2), "BM and nothing more");
    openForm();
    app::PictureBox *boxes[] = {m_form->backPlateBox(), m_form->highlightPlateBox(), m_form->selectedPlateBox()};
    for (int plate = 0; plate < 3; ++plate) {
        const QImage shown = (plates[plate] > 0 ? QImage(kPlates[plate]) : app::samplePlate(plate)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(boxes[plate]->picture().convertToFormat(QImage::Format_RGB32), shown);
        QCOMPARE(boxes[plate]->grab().toImage().pixelColor(40, 130), shown.pixelColor(40, 130));
    }
    click(176);
    click(plates[0] > 0 ? 180 : 178); // on or below the back plate's last row
    QCOMPARE(items(m_form->cutLineList()), QStringList{"176"});

    m_dialogs.inputAnswers = {QStringLiteral("90"), QStringLiteral("TST")};
    m_dialogs.yesNoAnswers = {true};
    QTest::mouseClick(m_form->generateButton(), Qt::LeftButton);
    const bool cut = !plates.contains(0) && !plates.contains(-1);
    QCOMPARE(m_dialogs.messages.value(0).text, cut ? QString() : QStringLiteral("Load the three plates first."));
    QCOMPARE(m_clipboard.text, cut ? rollover::pageText(QStringLiteral("TST"), {QSize(160, 177), QSize(160, 3)}) : QString());
    QCOMPARE(QFileInfo::exists(common::outputFolder()), cut);
}

// With the normal plate focused, Up and Down move a dashed guide line, Enter
// places a cut line there and Delete removes the one under it (the rules are
// the cut-line table's, tst_rollover).
void TestMainWindowRollover::keysPlaceAndRemoveLines()
{
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    app::PictureBox *box = m_form->backPlateBox();
    box->setFocus();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Return, Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter})
        QTest::keyClick(box, key);
    QCOMPARE(items(m_form->sortingList()), (QStringList{"2", "4"}));
    QTest::keyClick(box, Qt::Key_Up);
    QTest::keyClick(box, Qt::Key_Delete);
    QVERIFY(box->guideRow() == 3 && items(m_form->cutLineList()) == QStringList{"4"});
    QCOMPARE(m_form->selectedPlateBox()->drawnRows(), QList<int>{4});
    QCOMPARE(box->grab().toImage().pixelColor(1, 3), kYellow);
    m_form->loadNormalButton()->setFocus();
    QCOMPARE(box->grab().toImage().pixelColor(1, 3), box->picture().pixelColor(1, 3));
}

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", QByteArray::number(KESTRUNE_TEST_SCALE));
    QApplication app(argc, argv);
    TestMainWindowRollover test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow_rollover.moc"
