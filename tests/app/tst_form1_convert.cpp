#include "apptest.h"

#include "app/folderlist.h"
#include "convert/batchengine.h"
#include "imaging/imageman.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

namespace {


QImage blocks(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x / 4 * 40 + seed * 30) % 256, (y / 4 * 60) % 256, seed * 20 % 256));
    return image;
}

bool writePicture(const QString &path, const QImage &image)
{
    imaging::ImageMan imageMan;
    return imageMan.setImage(image) && imageMan.saveImage(path);
}

QSize sizeOf(const QString &path)
{
    imaging::ImageMan imageMan;
    return imageMan.setImageFile(path) ? QSize(imageMan.imageWidth(), imageMan.imageHeight()) : QSize();
}

bool busy()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TstForm1Convert : public QObject, apptest::Fixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void batchRunThroughTheWidgets();
    void runIntoItselfKeepsItsOtherFiles();
    void doubleClickConvertsOneFile_data();
    void doubleClickConvertsOneFile();
    void arrowKeysAlsoClickAFormat();
    void listChangesAndDoubleClickDuringARun();
    void closingDuringARunLeavesWholeFiles();

private:
    std::unique_ptr<Form1> makeForm();
    void doubleClick(Form1 &form, int row);

    QString m_out;
};

void TstForm1Convert::init()
{
    setUp();
    m_out = m_root + QStringLiteral("/out");
    QVERIFY(QDir(m_root).mkpath(QStringLiteral("out")));
    QVERIFY(writePicture(m_source + "/a.png", blocks(40, 30, 1)));
    QVERIFY(writePicture(m_source + "/b.bmp", blocks(24, 48, 2)));
    QVERIFY(writePicture(m_source + "/c.jpg", blocks(64, 48, 3)));
}

void TstForm1Convert::cleanup()
{
    tearDown();
}

std::unique_ptr<Form1> TstForm1Convert::makeForm()
{
    auto form = newForm();
    form->Dir2()->setPath(m_out);
    return form;
}

void TstForm1Convert::doubleClick(Form1 &form, int row)
{
    app::FileList *list = form.File1();
    QListWidgetItem *item = list->item(row);
    QVERIFY(item);
    const QPoint at = list->visualItemRect(item).center();
    // A double-click arrives after the press that selects the entry.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// One broken file among good ones: the others are converted, the broken
// one's older output is left whole, and the run ends in one message.
void TstForm1Convert::batchRunThroughTheWidgets()
{
    QFile bad(m_source + "/broken.jpg");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture at all");
    bad.close();
    QVERIFY(writePicture(m_out + "/broken.PNG", blocks(8, 8, 4)));
    auto form = makeForm();
    QCOMPARE(form->File1()->count(), 4);
    QTest::mouseClick(form->Option1(5), Qt::LeftButton); // PNG
    QTest::mouseClick(form->Option2(1), Qt::LeftButton); // Custom
    form->Text1(0)->clear();
    QTest::keyClicks(form->Text1(0), QStringLiteral(" 20px"));
    form->Text1(1)->clear();
    QTest::keyClicks(form->Text1(1), QStringLiteral("12.5"));

    auto *engine = form->findChild<convert::BatchEngine *>();
    QSignalSpy finished(engine, &convert::BatchEngine::finished);
    QSignalSpy captions(engine, &convert::BatchEngine::captionChanged);
    QTest::mouseClick(form->Command1(), Qt::LeftButton);
    // Under way: button off, busy pointer, a progress caption.
    QVERIFY(!form->Command1()->isEnabled());
    QVERIFY(busy());
    QVERIFY(form->windowTitle().startsWith(QLatin1String("Now Processing # ")));
    QVERIFY(finished.wait(120000));

    QCOMPARE(captions.first().first().toString(), QStringLiteral("4 images to convert."));
    QCOMPARE(form->windowTitle(), QStringLiteral("Now Processing # 4 of 4"));
    QVERIFY(form->Command1()->isEnabled());
    QVERIFY(!busy());
    QCOMPARE(m_dialogs.messages.size(), 1);
    const QString text = m_dialogs.messages.first().text;
    QVERIFY2(text.startsWith(QLatin1String("1 of 4 files could not be converted:")), qPrintable(text));
    QVERIFY2(text.contains(m_source + "/broken.jpg"), qPrintable(text));
    QCOMPARE(m_dialogs.messages.first().icon, common::Dialogs::Icon::Warning);
    QCOMPARE(filesIn(m_out), QStringList({"a.PNG", "b.PNG", "broken.PNG", "c.PNG"}));
    for (const char *name : {"a.PNG", "b.PNG", "c.PNG"})
        QCOMPARE(sizeOf(m_out + '/' + name), QSize(20, 12));
    QCOMPARE(sizeOf(m_out + "/broken.PNG"), QSize(8, 8));
}

// Into its own folder with jpg: d.bmp would become d.jpg, another listed
// file, so d.bmp fails and d.jpg keeps its picture.
void TstForm1Convert::runIntoItselfKeepsItsOtherFiles()
{
    QVERIFY(writePicture(m_source + "/d.bmp", blocks(40, 30, 5)));
    QVERIFY(writePicture(m_source + "/d.jpg", blocks(24, 24, 6)));
    auto form = makeForm();
    form->Dir2()->setPath(m_source);
    QSignalSpy finished(form->findChild<convert::BatchEngine *>(), &convert::BatchEngine::finished);
    QTest::mouseClick(form->Command1(), Qt::LeftButton);
    QVERIFY(finished.wait(120000));

    QCOMPARE(m_dialogs.messages.size(), 1);
    const QString text = m_dialogs.messages.first().text;
    QVERIFY2(text.startsWith(QLatin1String("1 of 5 files could not be converted:"))
                 && text.contains(m_source + "/d.bmp: " + m_source + "/d.jpg is another file"), qPrintable(text));
    QCOMPARE(sizeOf(m_source + "/d.jpg"), QSize(24, 24));
    QCOMPARE(filesIn(m_source), QStringList({"a.jpg", "a.png", "b.bmp", "b.jpg", "c.jpg", "d.bmp", "d.jpg"}));
}

// The double-click writes the selected file in the format and letter case of
// the last format click, replacing an older file, and touches nothing else.
void TstForm1Convert::doubleClickConvertsOneFile_data()
{
    QTest::addColumn<int>("button"); // -1: no click
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("before any click") << -1 << true << QStringList{"b.TIF", "b.jpg"};
    QTest::newRow("JPG clicked") << 0 << true << QStringList{"b.JPG", "b.TIF"};
    QTest::newRow("TIF clicked, older file replaced") << 1 << true << QStringList{"b.TIF"};
    QTest::newRow("EPS clicked") << 11 << true << QStringList{"b.EPS", "b.TIF"};
    QTest::newRow("nothing selected") << 1 << false << QStringList{"b.TIF"};
}

void TstForm1Convert::doubleClickConvertsOneFile()
{
    QFETCH(int, button);
    QFETCH(bool, selected);
    QFETCH(QStringList, written);
    QVERIFY(writePicture(m_out + "/b.TIF", blocks(5, 5, 0)));
    auto form = makeForm();
    if (button >= 0)
        QTest::mouseClick(form->Option1(button), Qt::LeftButton);
    QCOMPARE(form->outext(), button >= 0 ? form->Option1(button)->text() : QStringLiteral("jpg"));
    form->Command1()->setEnabled(false);
    const QString caption = form->windowTitle();
    QSignalSpy single(form->findChild<convert::BatchEngine *>(), &convert::BatchEngine::singleFinished);
    if (selected) {
        doubleClick(*form, 1); // b.bmp
        // Converted on a worker: the handler has returned, the pointer is busy.
        QVERIFY(busy() && single.isEmpty());
        QVERIFY(single.wait(60000));
    } else {
        form->File1()->clearSelection();
        form->File1_DblClick();
    }
    QCOMPARE(filesIn(m_out), written);
    QCOMPARE(sizeOf(m_out + "/b.TIF"), selected && button == 1 ? QSize(24, 48) : QSize(5, 5));
    QCOMPARE(form->windowTitle(), caption);
    QVERIFY(!form->Command1()->isEnabled());
    QVERIFY(!busy());
    QVERIFY(m_dialogs.messages.isEmpty());
    // The new file is not listed until the folder or the types change.
    QCOMPARE(form->File1()->count(), 3);
}

void TstForm1Convert::arrowKeysAlsoClickAFormat()
{
    auto form = makeForm();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->Option1(0)->setFocus();
    QTest::keyClick(form->Option1(0), Qt::Key_Down);
    const int now = form->Option1Group()->checkedId();
    QVERIFY(now > 0);
    QCOMPARE(form->outext(), form->Option1(now)->text());
}

void TstForm1Convert::listChangesAndDoubleClickDuringARun()
{
    auto form = makeForm();
    auto *engine = form->findChild<convert::BatchEngine *>();
    QSignalSpy finished(engine, &convert::BatchEngine::finished);
    QSignalSpy single(engine, &convert::BatchEngine::singleFinished);
    QTest::mouseClick(form->Command1(), Qt::LeftButton);
    QTest::mouseClick(form->Check1(11), Qt::LeftButton); // EPS off: the list is filtered anew
    QVERIFY(!form->Command1()->isEnabled());
    form->Dir1()->setPath(m_source);
    QVERIFY(!form->Command1()->isEnabled());
    QTest::mouseClick(form->Option1(9), Qt::LeftButton); // TGA, for the double-click only
    doubleClick(*form, 2); // c.jpg
    QVERIFY(single.wait(60000));
    QVERIFY(QFile::exists(m_out + "/c.TGA"));
    QVERIFY(busy() || finished.size() == 1); // the run's pointer is up while it goes
    QVERIFY(finished.size() == 1 || finished.wait(120000));
    QVERIFY(form->Command1()->isEnabled());
    QVERIFY(!busy());
    QVERIFY(m_dialogs.messages.isEmpty());
    // The first file was handed out with the click of the button, before TGA.
    QVERIFY2(filesIn(m_out).contains("a.jpg"), qPrintable(filesIn(m_out).join(' ')));
}

void TstForm1Convert::closingDuringARunLeavesWholeFiles()
{
    for (int i = 0; i < 6; ++i)
        QVERIFY(writePicture(m_source + QStringLiteral("/big%1.png").arg(i), blocks(900, 700, i)));
    auto form = makeForm();
    QTest::mouseClick(form->Option1(2), Qt::LeftButton); // BMP
    auto *engine = form->findChild<convert::BatchEngine *>();
    QSignalSpy finished(engine, &convert::BatchEngine::finished);
    QSignalSpy single(engine, &convert::BatchEngine::singleFinished);
    QTest::mouseClick(form->Command1(), Qt::LeftButton);
    doubleClick(*form, 8); // c.jpg, in hand with the run's files
    QVERIFY(engine->isRunning());
    form->close();
    QVERIFY(!engine->isRunning());
    QVERIFY(!busy());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(finished.isEmpty() && single.isEmpty());
    QVERIFY(m_dialogs.messages.isEmpty());
    const QStringList written = filesIn(m_out);
    QVERIFY2(written.size() <= engine->workerCount() + 1, qPrintable(written.join(' ')));
    for (const QString &name : written)
        QVERIFY2(name.endsWith(QLatin1String(".BMP")) && sizeOf(m_out + '/' + name).isValid(),
                 qPrintable(name));
}

QTEST_MAIN(TstForm1Convert)
#include "tst_form1_convert.moc"
