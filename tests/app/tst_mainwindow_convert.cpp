#include "apptest.h"
#include "pictures.h"

#include "app/folderlist.h"
#include "convert/batchengine.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <sys/stat.h>

namespace {

bool writePicture(const QString &path, QSize size)
{
    imaging::ImageMan imageMan;
    return imageMan.setImage(testpictures::blocks(size.width(), size.height())) && imageMan.saveImage(path);
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

// The Batch Convert page's run and double-click through the window: what
// the user sees while files are converted. The conversion itself is the
// engine's (tests/convert).
class TestMainWindowConvert : public QObject, apptest::Fixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { tearDown(); }
    void batchRunThroughTheWidgets();
    void runIntoItselfAsksFirst_data();
    void runIntoItselfAsksFirst();
    void doubleClickConvertsOneFile();
    void closingDuringARunStopsIt();

private:
    QString m_out;
};

void TestMainWindowConvert::init()
{
    setUp();
    m_out = m_root + QStringLiteral("/out");
    QVERIFY(QDir(m_root).mkpath(m_out));
    QVERIFY(writePicture(m_source + "/a.png", {40, 30}));
    QVERIFY(writePicture(m_source + "/b.bmp", {24, 48}));
    QVERIFY(writePicture(m_source + "/c.jpg", {64, 48}));
}

// One broken file among good ones: the others are converted at the custom
// size, and the run ends in one message, naming the pipe left out too.
void TestMainWindowConvert::batchRunThroughTheWidgets()
{
    apptest::touch(m_source + "/broken.jpg");
    QVERIFY(mkfifo(QFile::encodeName(m_source + "/pipe.png").constData(), 0600) == 0);
    auto form = newForm();
    form->destinationFolders()->setPath(m_out);
    QTest::mouseClick(form->formatButton(5), Qt::LeftButton); // PNG
    QTest::mouseClick(form->sizeButton(convert::SizeChoice::Custom), Qt::LeftButton); // Custom
    form->customWidthBox()->clear();
    QTest::keyClicks(form->customWidthBox(), QStringLiteral(" 20px"));
    form->customHeightBox()->clear();
    QTest::keyClicks(form->customHeightBox(), QStringLiteral("12.5"));
    auto *engine = form->findChild<convert::BatchEngine *>();
    QSignalSpy finished(engine, &convert::BatchEngine::finished);
    QTest::mouseClick(form->convertButton(), Qt::LeftButton);
    // Under way: button off, busy pointer, a progress caption. The button
    // stays off when the types or the folder change under the run.
    QVERIFY(!form->convertButton()->isEnabled() && busy());
    QVERIFY(form->windowTitle().startsWith(QLatin1String("Now Processing # ")));
    QTest::mouseClick(form->typeBox(11), Qt::LeftButton); // EPS off: the list is filtered anew
    form->sourceFolders()->setPath(m_source);
    QVERIFY(!form->convertButton()->isEnabled());
    QVERIFY(finished.wait(120000));

    QCOMPARE(form->windowTitle(), QStringLiteral("Now Processing # 4 of 4"));
    QVERIFY(form->convertButton()->isEnabled() && !busy());
    QCOMPARE(m_dialogs.messages.size(), 1);
    const QString text = m_dialogs.messages.first().text;
    QVERIFY2(text.startsWith("1 of 4 files could not be converted:") && text.contains(m_source + "/broken.jpg")
                 && text.endsWith("\n\n1 file was left out: " + m_source + "/pipe.png is a named pipe, not a file."),
             qPrintable(text));
    QCOMPARE(filesIn(m_out), QStringList({"a.PNG", "b.PNG", "c.PNG"}));
    for (const QString &name : filesIn(m_out))
        QCOMPARE(testpictures::readBack(m_out + '/' + name).size(), QSize(20, 12));
}

void TestMainWindowConvert::runIntoItselfAsksFirst_data()
{
    QTest::addColumn<bool>("doubleClick"); // on c.jpg, else the run
    QTest::addColumn<bool>("yes");
    QTest::newRow("run, No: nothing is touched") << false << false;
    QTest::newRow("run, Yes") << false << true;
    QTest::newRow("double-click, No: nothing is touched") << true << false;
}

// Into its own folder with jpg: c.jpg and d.jpg would replace themselves, so
// the window asks once. Yes converts; d.bmp would become d.jpg, another
// listed file, so d.bmp fails and d.jpg keeps its picture.
void TestMainWindowConvert::runIntoItselfAsksFirst()
{
    QFETCH(bool, doubleClick);
    QFETCH(bool, yes);
    QVERIFY(writePicture(m_source + "/d.bmp", {40, 30}));
    QVERIFY(writePicture(m_source + "/d.jpg", {24, 24}));
    auto form = newForm(); // the destination opens on the source folder
    QSignalSpy finished(form->findChild<convert::BatchEngine *>(), &convert::BatchEngine::finished);
    const QByteArray c = testpictures::readAll(m_source + "/c.jpg");
    m_dialogs.yesNoAnswers = {yes};
    if (doubleClick)
        apptest::doubleClick(form->sourceFiles(), 2);
    else
        QTest::mouseClick(form->convertButton(), Qt::LeftButton);
    QCOMPARE(m_dialogs.questions.value(0).prompt, doubleClick
             ? "1 file will be replaced by its converted copy (first: c.jpg). Replace it?"
             : "2 files will be replaced by their converted copies (first: c.jpg). Replace them?");
    QVERIFY(yes ? finished.wait(120000) : (QCoreApplication::processEvents(), finished.isEmpty()));
    QCOMPARE(testpictures::readAll(m_source + "/c.jpg") == c, !yes);
    if (!yes) {
        QVERIFY(form->convertButton()->isEnabled() && !busy() && m_dialogs.messages.isEmpty());
        QCOMPARE(filesIn(m_source), QStringList({"a.png", "b.bmp", "c.jpg", "d.bmp", "d.jpg"}));
        return;
    }
    QCOMPARE(m_dialogs.messages.size(), 1);
    const QString text = m_dialogs.messages.first().text;
    QVERIFY2(text.startsWith("1 of 5 files could not be converted:")
                 && text.contains(m_source + "/d.bmp: " + m_source + "/d.jpg is another file"), qPrintable(text));
    QCOMPARE(testpictures::readBack(m_source + "/d.jpg").size(), QSize(24, 24));
    QCOMPARE(filesIn(m_source), QStringList({"a.jpg", "a.png", "b.bmp", "b.jpg", "c.jpg", "d.bmp", "d.jpg"}));
}

// The double-click converts the selected file on a worker, in the format
// and letter case of the last format click, replacing an older file and
// touching nothing else; with nothing selected it does nothing. A phone photo
// stored on its side (EXIF orientation 6) comes out as it is seen.
void TestMainWindowConvert::doubleClickConvertsOneFile()
{
    QVERIFY(writePicture(m_out + "/b.TIF", {5, 5}));
    QVERIFY(QFile::copy(KESTRUNE_TEST_DATA "/orientation/orientation-6.jpg", m_source + "/d.jpg"));
    auto form = newForm();
    form->destinationFolders()->setPath(m_out);
    form->convertButton()->setEnabled(false);
    const QString caption = form->windowTitle();
    form->onSourceFileDoubleClicked();
    QTest::mouseClick(form->formatButton(1), Qt::LeftButton); // TIF
    QSignalSpy single(form->findChild<convert::BatchEngine *>(), &convert::BatchEngine::singleFinished);
    apptest::doubleClick(form->sourceFiles(), 1); // b.bmp
    QVERIFY(busy() && single.isEmpty()); // the handler has returned
    QVERIFY(single.wait(60000));
    QCOMPARE(filesIn(m_out), QStringList{"b.TIF"});
    QCOMPARE(testpictures::readBack(m_out + "/b.TIF").size(), QSize(24, 48));
    QCOMPARE(form->windowTitle(), caption);
    QVERIFY(!form->convertButton()->isEnabled() && !busy() && m_dialogs.messages.isEmpty());
    // The new file is not listed until the folder or the types change.
    QCOMPARE(form->sourceFiles()->count(), 4);

    QTest::mouseClick(form->formatButton(5), Qt::LeftButton); // PNG
    apptest::doubleClick(form->sourceFiles(), 3); // d.jpg
    QVERIFY(single.wait(60000));
    const QImage seen = testpictures::readBack(m_out + "/d.PNG");
    QCOMPARE(seen.size(), QSize(64, 32));
    QCOMPARE(testpictures::corners(seen), QStringLiteral("red green blue yellow"));

    // With no type ticked the pattern is *.*, which lists a WebP too.
    QVERIFY(QFile::copy(KESTRUNE_TEST_DATA "/orientation/orientation-6.webp", m_source + "/e.webp"));
    for (int i = 0; i < imaging::kFileTypeCount; ++i)
        if (form->typeBox(i)->isChecked())
            QTest::mouseClick(form->typeBox(i), Qt::LeftButton);
    QCOMPARE(form->sourceFiles()->count(), 5);
    apptest::doubleClick(form->sourceFiles(), 4); // e.webp
    QVERIFY(single.wait(60000));
    QCOMPARE(testpictures::corners(testpictures::readBack(m_out + "/e.PNG")), QStringLiteral("red green blue yellow"));
}

// Closing stops the run and the double-clicked file in hand: nothing more is
// written or said, and the pointer is back.
void TestMainWindowConvert::closingDuringARunStopsIt()
{
    for (int i = 0; i < 6; ++i)
        QVERIFY(writePicture(m_source + QStringLiteral("/big%1.png").arg(i), {900, 700}));
    auto form = newForm();
    form->destinationFolders()->setPath(m_out);
    QTest::mouseClick(form->formatButton(2), Qt::LeftButton); // BMP
    auto *engine = form->findChild<convert::BatchEngine *>();
    QSignalSpy finished(engine, &convert::BatchEngine::finished);
    QSignalSpy single(engine, &convert::BatchEngine::singleFinished);
    QTest::mouseClick(form->convertButton(), Qt::LeftButton);
    apptest::doubleClick(form->sourceFiles(), 8); // c.jpg, in hand with the run's files
    QVERIFY(engine->isRunning());
    form->close();
    QVERIFY(!engine->isRunning() && !busy());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(finished.isEmpty() && single.isEmpty() && m_dialogs.messages.isEmpty());
    QVERIFY(filesIn(m_out).size() <= engine->workerCount() + 1);
}

QTEST_MAIN(TestMainWindowConvert)
#include "tst_mainwindow_convert.moc"
