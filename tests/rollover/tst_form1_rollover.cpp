#include "../app/fakes.h"

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
    void cleanup();
    void loadCommandsShowPlates();
    void failedLoadChangesNothing();
    void cancelledLoadChangesNothing();
    void mousePlacesMovesAndDeletesLines();
    void linesAreYellowOnAllPlates();
    void generateCutsNinePieces();
    void boxesScrollTogether();

private:
    QString writeSource(const QString &name, QSize size, QColor colour);
    void load(QPushButton *button, const QString &path);
    int scale() const { return int(m_form->Picture1()->devicePixelRatioF()); }
    QPoint at(int row) const { return QPoint(20 / scale(), row / scale()); }
    void press(Qt::MouseButton button, int row);
    void move(int row);
    void release(Qt::MouseButton button, int row);

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

// Rows are plate rows; the mouse works in the box's own units, which on a
// scaled screen hold several rows. The test rows are multiples of the scale.
void TestForm1Rollover::press(Qt::MouseButton button, int row)
{
    QTest::mousePress(m_form->Picture1(), button, {}, at(row));
}

void TestForm1Rollover::move(int row)
{
    QTest::mouseMove(m_form->Picture1(), at(row));
}

void TestForm1Rollover::release(Qt::MouseButton button, int row)
{
    QTest::mouseRelease(m_form->Picture1(), button, {}, at(row));
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
#ifdef KESTRUNE_TEST_SCALE
    QCOMPARE(scale(), KESTRUNE_TEST_SCALE);
#else
    QCOMPARE(scale(), 1);
#endif
}

void TestForm1Rollover::cleanup()
{
    m_form.reset();
}

void TestForm1Rollover::loadCommandsShowPlates()
{
    const QSize size(126, 179);
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), size, kColours[0]));
    press(Qt::LeftButton, 40);
    release(Qt::LeftButton, 40);
    QCOMPARE(items(m_form->List1()), QStringList{"40"});
    load(m_form->Command3(), writeSource(QStringLiteral("h.BMP"), size, kColours[1]));
    load(m_form->Command4(), writeSource(QStringLiteral("s.jpg"), size, kColours[2]));
    QCOMPARE(m_dialogs.fileRequests.size(), 3);
    for (const fakes::Dialogs::Question &request : std::as_const(m_dialogs.fileRequests))
        QCOMPARE(request.title, QStringLiteral("Load Image"));
    QCOMPARE(m_dialogs.fileRequests.first().prompt, QStringLiteral("Pictures (*.bmp;*.jpg;*.tif;*.pcd) (*.bmp *.jpg *.tif *.pcd)"));
    QVERIFY(m_dialogs.messages.isEmpty());

    const app::PictureBox *boxes[] = {m_form->Picture1(), m_form->Picture2(), m_form->Picture3()};
    for (int plate = 0; plate < 3; ++plate) {
        QVERIFY(QFileInfo::exists(common::platePath(plate)));
        QCOMPARE(boxes[plate]->picture().size(), size);
        const QColor shown = boxes[plate]->picture().pixelColor(60, 15);
        QVERIFY(std::abs(shown.red() - kColours[plate].red()) < 8);
    }
    // Highlight and selected plates keep the cut lines; a new normal plate does not.
    QCOMPARE(items(m_form->List1()), QStringList{"40"});
    load(m_form->Command2(), writeSource(QStringLiteral("n2.png"), size, kColours[2]));
    QVERIFY(items(m_form->List1()).isEmpty());
    QCOMPARE(items(m_form->List2()), QStringList{"40"});
    QVERIFY(m_form->Picture1()->drawnRows().isEmpty());
}

void TestForm1Rollover::failedLoadChangesNothing()
{
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), QSize(50, 60), kColours[0]));
    press(Qt::LeftButton, 20);
    release(Qt::LeftButton, 20);
    const QImage before = m_form->Picture1()->picture();

    const QString bad = m_dir.filePath(QStringLiteral("bad.bmp"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BM but nothing more");
    file.close();
    load(m_form->Command2(), bad);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(QDir::toNativeSeparators(bad)),
             qPrintable(m_dialogs.messages.first().text));
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Load Image"));
    QCOMPARE(m_form->Picture1()->picture(), before);
    QCOMPARE(items(m_form->List1()), QStringList{"20"});
}

void TestForm1Rollover::cancelledLoadChangesNothing()
{
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), QSize(50, 60), kColours[0]));
    press(Qt::LeftButton, 20);
    release(Qt::LeftButton, 20);
    const QImage before = m_form->Picture1()->picture();
    load(m_form->Command2(), QString());
    QCOMPARE(m_form->Picture1()->picture(), before);
    QCOMPARE(items(m_form->List1()), QStringList{"20"});
    QVERIFY(m_dialogs.messages.isEmpty());
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

    press(Qt::LeftButton, 120);
    release(Qt::LeftButton, 120);
    QCOMPARE(items(m_form->List1()), (QStringList{"56", "120"}));
    QCOMPARE(items(m_form->List2()), (QStringList{"56", "120"}));

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
    QCOMPARE(items(m_form->List1()), QStringList{"100"});
    QCOMPARE(box->drawnRows(), QList<int>{100});

    // A release below the box is drawn once and not kept.
    press(Qt::LeftButton, 150);
    release(Qt::LeftButton, 800);
    QCOMPARE(items(m_form->List1()), QStringList{"100"});
    QCOMPARE(box->drawnRows(), (QList<int>{100, 800}));
}

void TestForm1Rollover::linesAreYellowOnAllPlates()
{
    const QSize size(126, 179);
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), size, kColours[0]));
    load(m_form->Command3(), writeSource(QStringLiteral("h.png"), size, kColours[1]));
    load(m_form->Command4(), writeSource(QStringLiteral("s.png"), size, kColours[2]));
    press(Qt::LeftButton, 60);
    release(Qt::LeftButton, 60);
    for (app::PictureBox *box : {m_form->Picture1(), m_form->Picture2(), m_form->Picture3()}) {
        const QImage shown = box->grab().toImage();
        QCOMPARE(shown.pixelColor(40, 60), kYellow);
        QCOMPARE(shown.pixelColor(100, 60), kYellow);
        // One picture pixel per screen pixel: the rows around the line are the plate's.
        QCOMPARE(shown.pixelColor(40, 59), box->picture().pixelColor(40, 59));
        QCOMPARE(shown.pixelColor(40, 61), box->picture().pixelColor(40, 61));
        QCOMPARE(shown.pixelColor(40, 5), box->picture().pixelColor(40, 5));
    }
    // Loading a new normal plate shows it without lines.
    load(m_form->Command2(), writeSource(QStringLiteral("n2.png"), size, kColours[0]));
    QCOMPARE(m_form->Picture1()->grab().toImage().pixelColor(40, 60),
             m_form->Picture1()->picture().pixelColor(40, 60));
}

void TestForm1Rollover::generateCutsNinePieces()
{
    const QSize size(126, 179);
    load(m_form->Command2(), writeSource(QStringLiteral("n.png"), size, kColours[0]));
    load(m_form->Command3(), writeSource(QStringLiteral("h.png"), size, kColours[1]));
    load(m_form->Command4(), writeSource(QStringLiteral("s.png"), size, kColours[2]));
    press(Qt::LeftButton, 56);
    release(Qt::LeftButton, 56);
    press(Qt::LeftButton, 120);
    move(110);
    release(Qt::LeftButton, 100);
    QCOMPARE(items(m_form->List1()), (QStringList{"56", "100"}));

    m_dialogs.inputAnswers = {QStringLiteral("90"), QStringLiteral("TST")};
    m_dialogs.yesNoAnswers = {true};
    QTest::mouseClick(m_form->Command5(), Qt::LeftButton);
    QVERIFY(m_dialogs.inputAnswers.isEmpty());
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messages.value(0).text));

    const int heights[] = {57, 44, 78};
    QList<QSize> backSizes;
    for (const char letter : {'a', 'b', 'c'}) {
        for (int n = 0; n < 3; ++n) {
            const QString path = common::joinPath(common::imagesFolder(), QStringLiteral("TST%1%2.jpg").arg(QLatin1Char(letter)).arg(n));
            QImageReader reader(path);
            QCOMPARE(reader.size(), QSize(126, heights[n]));
            if (letter == 'a')
                backSizes.append(reader.size());
        }
    }
    QCOMPARE(QDir(common::imagesFolder()).entryList(QDir::Files).size(), 9);
    const QString page = rollover::pageText(QStringLiteral("TST"), backSizes);
    QCOMPARE(m_clipboard.text, page);
    QFile file(common::pagePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), page.toUtf8() + "\r\n");
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
    press(Qt::LeftButton, row);
    release(Qt::LeftButton, row);
    QCOMPARE(items(m_form->List1()), QStringList{QString::number(tall - visible + row)});
    const QImage shown = boxes[1]->grab().toImage();
    QCOMPARE(shown.pixelColor(40, row), kYellow);
    QCOMPARE(boxes[0]->grab().toImage().pixelColor(40, row + 1),
             boxes[0]->picture().pixelColor(40, tall - visible + row + 1));
}

int main(int argc, char **argv)
{
#ifdef KESTRUNE_TEST_SCALE
    qputenv("QT_SCALE_FACTOR", QByteArray::number(KESTRUNE_TEST_SCALE));
#endif
    QApplication app(argc, argv);
    TestForm1Rollover test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1_rollover.moc"
