#include "fakes.h"

#include "app/form1.h"
#include "app/picturebox.h"
#include "app/tabcontrol.h"
#include "common/paths.h"
#include "imaging/imageman.h"
#include "rollover/pagetext.h"

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifndef KESTRUNE_TEST_SCALE
#define KESTRUNE_TEST_SCALE 1
#endif

namespace {

const QColor kYellow(255, 255, 0);
const QColor kColours[3] = {QColor(200, 30, 30), QColor(30, 160, 30), QColor(30, 30, 200)};

QStringList items(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

// Rows 0 to 9 of every 20 are darker, so a shown row tells where it came from.
QImage plateImage(QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        const QColor row = (y % 20) < 10 ? colour.darker(200) : colour;
        for (int x = 0; x < size.width(); ++x)
            picture.setPixelColor(x, y, row);
    }
    return picture;
}

} // namespace

// The "Parse Clips" page driven like a user would: buttons clicked, a fake
// file dialog answering, cut lines placed with real mouse events on Picture1.
class TestForm1Rollover : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_form.reset(); }
    void refusedLoadChangesNothing();
    void mousePlacesMovesAndDeletesLines();
    void yellowLinesAndNinePieces();
    void boxesScrollTogether();

private:
    QString writeSource(const QString &name, QSize size, QColor colour);
    void load(QPushButton *button, const QString &path);
    // Rows are plate rows; the mouse works in the box's own units, which on a
    // scaled screen hold several rows. The test rows are multiples of the scale.
    int scale() const { return int(m_form->Picture1()->devicePixelRatioF()); }
    QPoint at(int row) const { return QPoint(20 / scale(), row / scale()); }
    void press(Qt::MouseButton b, int row) { QTest::mousePress(m_form->Picture1(), b, {}, at(row)); }
    void move(int row) { QTest::mouseMove(m_form->Picture1(), at(row)); }
    void release(Qt::MouseButton b, int row) { QTest::mouseRelease(m_form->Picture1(), b, {}, at(row)); }
    void click(int row) { press(Qt::LeftButton, row); release(Qt::LeftButton, row); }
    void loadAll(QSize size);

    QTemporaryDir m_dir;
    fakes::Dialogs m_dialogs;
    fakes::Clipboard m_clipboard;
    fakes::UrlOpener m_opener;
    std::unique_ptr<Form1> m_form;
};

QString TestForm1Rollover::writeSource(const QString &name, QSize size, QColor colour)
{
    const QString path = m_dir.filePath(name);
    if (!plateImage(size, colour).save(path))
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

void TestForm1Rollover::load(QPushButton *button, const QString &path)
{
    m_dialogs.fileAnswers = {path};
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(m_dialogs.fileAnswers.isEmpty());
}

void TestForm1Rollover::loadAll(QSize size)
{
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), size, kColours[0]));
    load(m_form->Command3(), writeSource(QStringLiteral("h.BMP"), size, kColours[1]));
    load(m_form->Command4(), writeSource(QStringLiteral("s.jpg"), size, kColours[2]));
}

void TestForm1Rollover::init()
{
    QVERIFY(m_dir.isValid());
    QDir(common::outputFolder()).removeRecursively();
    for (int plate = 0; plate < 3; ++plate)
        QFile::remove(common::platePath(plate));
    m_dialogs = fakes::Dialogs();
    m_clipboard = fakes::Clipboard();
    m_form = std::make_unique<Form1>(m_dialogs, m_clipboard, m_opener);
    m_form->Form_Load();
    m_form->SSTab1()->setCurrentIndex(1);
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QVERIFY(m_form->Picture1()->isVisible());
    QCOMPARE(scale(), KESTRUNE_TEST_SCALE);
}

void TestForm1Rollover::refusedLoadChangesNothing()
{
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), QSize(50, 60), kColours[0]));
    click(20);
    const QImage before = m_form->Picture1()->picture();
    const QString bad = m_dir.filePath(QStringLiteral("bad.bmp"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("BM but nothing more") > 0);
    file.close();
    for (const QString &answer : {QString(), bad}) {   // cancelled, then unreadable
        load(m_form->Command2(), answer);
        QCOMPARE(m_form->Picture1()->picture(), before);
        QCOMPARE(items(m_form->List1()), QStringList{"20"});
    }
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(QDir::toNativeSeparators(bad)),
             qPrintable(m_dialogs.messages.first().text));
}

void TestForm1Rollover::mousePlacesMovesAndDeletesLines()
{
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), QSize(126, 179), kColours[0]));
    app::PictureBox *box = m_form->Picture1();

    press(Qt::LeftButton, 56);
    move(60);
    QCOMPARE(box->drawnRows(), QList<int>{60});
    release(Qt::LeftButton, 56);
    QCOMPARE(items(m_form->List1()), QStringList{"56"});

    click(120);
    // A press next to a line takes it up; the guide line follows the drag.
    press(Qt::LeftButton, 58 - scale());
    QCOMPARE(items(m_form->List1()), QStringList{"120"});
    move(90);
    QCOMPARE(box->drawnRows(), (QList<int>{120, 90}));
    release(Qt::LeftButton, 100);
    QCOMPARE(items(m_form->List1()), (QStringList{"100", "120"}));
    for (app::PictureBox *plate : {m_form->Picture1(), m_form->Picture2(), m_form->Picture3()})
        QCOMPARE(plate->drawnRows(), (QList<int>{120, 100}));

    // The right button deletes; a drag with it draws nothing.
    press(Qt::RightButton, 120);
    move(140);
    QCOMPARE(box->drawnRows(), (QList<int>{120, 100}));
    release(Qt::RightButton, 140);
    QCOMPARE(items(m_form->List2()), QStringList{"100"});

    // A release below the box is drawn once and not kept.
    press(Qt::LeftButton, 150);
    release(Qt::LeftButton, 800);
    QCOMPARE(items(m_form->List1()), QStringList{"100"});
    QCOMPARE(box->drawnRows(), (QList<int>{100, 800}));

    // New highlight and selected plates keep the cut lines; a new normal plate does not.
    load(m_form->Command3(), writeSource(QStringLiteral("h.png"), QSize(126, 179), kColours[1]));
    load(m_form->Command4(), writeSource(QStringLiteral("s.png"), QSize(126, 179), kColours[2]));
    QCOMPARE(items(m_form->List1()), QStringList{"100"});
    load(m_form->Command2(), writeSource(QStringLiteral("n2.png"), QSize(126, 179), kColours[0]));
    QVERIFY(items(m_form->List1()).isEmpty());
    QVERIFY(box->drawnRows().isEmpty());
    QCOMPARE(items(m_form->List2()), QStringList{"100"});
}

void TestForm1Rollover::yellowLinesAndNinePieces()
{
    loadAll(QSize(126, 179));
    click(56);
    press(Qt::LeftButton, 120);
    move(110);
    release(Qt::LeftButton, 100);
    QCOMPARE(items(m_form->List1()), (QStringList{"56", "100"}));
    QVERIFY(m_dialogs.messages.isEmpty());
    app::PictureBox *boxes[] = {m_form->Picture1(), m_form->Picture2(), m_form->Picture3()};
    for (int plate = 0; plate < 3; ++plate) {
        app::PictureBox *box = boxes[plate];
        QVERIFY(QFileInfo::exists(common::platePath(plate)));
        QCOMPARE(box->picture().size(), QSize(126, 179));
        QVERIFY(std::abs(box->picture().pixelColor(60, 15).red() - kColours[plate].red()) < 8);
        const QImage shown = box->grab().toImage();
        QCOMPARE(shown.pixelColor(40, 56), kYellow);
        QCOMPARE(shown.pixelColor(100, 100), kYellow);
        // One picture pixel per screen pixel: the rows around the line are the plate's.
        for (int row : {5, 55, 57})
            QCOMPARE(shown.pixelColor(40, row), box->picture().pixelColor(40, row));
    }

    m_dialogs.inputAnswers = {QStringLiteral("90"), QStringLiteral("TST")};
    m_dialogs.yesNoAnswers = {true};
    QTest::mouseClick(m_form->Command5(), Qt::LeftButton);
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messages.value(0).text));
    const int heights[] = {57, 44, 78};
    QStringList nine;
    for (const char letter : {'a', 'b', 'c'}) {
        for (int n = 0; n < 3; ++n) {
            nine.append(QStringLiteral("TST%1%2.jpg").arg(QLatin1Char(letter)).arg(n));
            QCOMPARE(QImageReader(common::joinPath(common::imagesFolder(), nine.last())).size(), QSize(126, heights[n]));
        }
    }
    QCOMPARE(QDir(common::imagesFolder()).entryList(QDir::Files, QDir::Name), nine);
    QCOMPARE(m_clipboard.text, rollover::pageText(QStringLiteral("TST"), {QSize(126, 57), QSize(126, 44), QSize(126, 78)}));
}

void TestForm1Rollover::boxesScrollTogether()
{
    const int tall = 700;
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), QSize(126, tall), kColours[0]));
    load(m_form->Command3(), writeSource(QStringLiteral("h.png"), QSize(126, 179), kColours[1]));
    app::PictureBox *boxes[] = {m_form->Picture1(), m_form->Picture2(), m_form->Picture3()};
    const int visible = boxes[0]->height() * scale();
    for (app::PictureBox *box : boxes)
        QCOMPARE(box->lastTopRow(), tall - visible);
    auto *bar = boxes[0]->findChild<QScrollBar *>(QStringLiteral("scrollBar"));
    QVERIFY(bar && bar->isVisible());

    // The wheel on the normal plate scrolls all three.
    QWheelEvent wheel(QPointF(at(30)), boxes[0]->mapToGlobal(QPointF(at(30))), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(boxes[0], &wheel);
    const int top = boxes[0]->topRow();
    QVERIFY(top > 0);
    for (app::PictureBox *box : boxes)
        QCOMPARE(box->topRow(), top);
    QCOMPARE(boxes[2]->grab().toImage().pixelColor(10, 0), boxes[2]->picture().pixelColor(10, top));

    // Every row is reachable: at the end of the scroll range the last visible
    // row of the box is the plate's last row.
    bar->setValue(bar->maximum());
    for (app::PictureBox *box : boxes)
        QCOMPARE(box->topRow(), tall - visible);
    QCOMPARE(boxes[0]->rowAt(boxes[0]->height() - 1.0 / scale()), tall - 1);
    const int row = 2 * scale();
    click(row);
    QCOMPARE(items(m_form->List1()), QStringList{QString::number(tall - visible + row)});
    QCOMPARE(boxes[1]->grab().toImage().pixelColor(40, row), kYellow);
    QCOMPARE(boxes[0]->grab().toImage().pixelColor(40, row + 1),
             boxes[0]->picture().pixelColor(40, tall - visible + row + 1));
}

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", QByteArray::number(KESTRUNE_TEST_SCALE));
    QApplication app(argc, argv);
    TestForm1Rollover test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1_rollover.moc"
