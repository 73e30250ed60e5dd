#include "common/paths.h"
#include "../app/fakes.h"
#include "imaging/imageman.h"
#include "rollover/plateloader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rollover;

class TestPlateLoader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loads_data();
    void loads();
    void cancelChangesNothing();
    void unreadablePictureIsNamed();
    void unwritablePlateIsNamed();
    void secondLoadWins();

private:
    QString writeSource(const QString &name, QSize size, QColor colour);
    QByteArray plateBytes(Plate plate);

    QTemporaryDir m_dir;
};

QString TestPlateLoader::writeSource(const QString &name, QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    imaging::ImageMan writer;
    const QString path = m_dir.filePath(name);
    const imaging::Result made = writer.setImage(picture, name);
    const imaging::Result saved = made ? writer.saveImage(path) : made;
    if (!made || !saved)
        qWarning("%s", qPrintable(made.message() + saved.message()));
    return path;
}

QByteArray TestPlateLoader::plateBytes(Plate plate)
{
    QFile file(common::platePath(int(plate)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestPlateLoader::init()
{
    QVERIFY(m_dir.isValid());
    const QString folder = QFileInfo(common::platePath(0)).absolutePath();
    QFile::remove(folder);
    QDir(folder).removeRecursively();
}

void TestPlateLoader::cleanup()
{
    init();
}

void TestPlateLoader::loads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("plate");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("shown");

    const QSize menu(126, 179);
    QTest::newRow("a bitmap as the back plate") << "menu.bmp" << 0 << menu << menu;
    QTest::newRow("a JPEG as the highlight plate") << "menu.jpg" << 1 << menu << menu;
    QTest::newRow("a TIFF as the selected plate") << "menu.tif" << 2 << menu << menu;
    QTest::newRow("a Photo CD picture, at its base size") << "menu.pcd" << 0 << QSize(200, 150) << QSize(768, 512);
    QTest::newRow("an upper-case extension") << "MENU.JPG" << 0 << menu << menu;
    QTest::newRow("a PNG the dialog lets through with all files shown") << "menu.png" << 1 << menu << menu;
}

void TestPlateLoader::loads()
{
    QFETCH(QString, name);
    QFETCH(int, plate);
    QFETCH(QSize, size);
    QFETCH(QSize, shown);

    const QString source = writeSource(name, size, QColor(10, 200, 90));
    fakes::Dialogs dialogs;
    dialogs.fileAnswers = {source};
    imaging::ImageMan imageMan1;
    const PlateLoad load = loadPlate(Plate(plate), dialogs, imageMan1);
    QVERIFY2(load.outcome == PlateLoad::Outcome::Loaded, qPrintable(load.message));
    QCOMPARE(dialogs.fileRequests.size(), 1);
    QCOMPARE(dialogs.fileRequests.first().title, QStringLiteral("Load Image"));
    QCOMPARE(dialogs.fileRequests.first().prompt,
             QStringLiteral("Pictures (*.bmp;*.jpg;*.tif;*.pcd) (*.bmp *.jpg *.tif *.pcd)"));
    QCOMPARE(load.platePath, common::platePath(plate));
    QVERIFY(plateBytes(Plate(plate)).startsWith("BM"));
    QCOMPARE(load.picture.size(), shown);
    // The library's own Photo CD round trip does not keep colours; only the
    // size tells that the plate arrived.
    if (name.endsWith(QLatin1String(".pcd")))
        return;
    const QColor colour = load.picture.pixelColor(60, 90);
    QVERIFY2(std::abs(colour.green() - 200) < 12 && std::abs(colour.red() - 10) < 12,
             qPrintable(colour.name()));
}

void TestPlateLoader::cancelChangesNothing()
{
    fakes::Dialogs dialogs;
    imaging::ImageMan imageMan1;
    dialogs.fileAnswers = {writeSource(QStringLiteral("a.bmp"), QSize(20, 20), Qt::red)};
    QCOMPARE(loadPlate(Plate::Back, dialogs, imageMan1).outcome, PlateLoad::Outcome::Loaded);
    const QByteArray before = plateBytes(Plate::Back);

    dialogs.fileAnswers = {QString()};
    const PlateLoad load = loadPlate(Plate::Back, dialogs, imageMan1);
    QCOMPARE(load.outcome, PlateLoad::Outcome::Cancelled);
    QVERIFY(load.picture.isNull());
    QCOMPARE(plateBytes(Plate::Back), before);
}

void TestPlateLoader::unreadablePictureIsNamed()
{
    fakes::Dialogs dialogs;
    imaging::ImageMan imageMan1;
    dialogs.fileAnswers = {writeSource(QStringLiteral("good.bmp"), QSize(20, 20), Qt::red)};
    QCOMPARE(loadPlate(Plate::Highlight, dialogs, imageMan1).outcome, PlateLoad::Outcome::Loaded);
    const QByteArray before = plateBytes(Plate::Highlight);

    const QString bad = m_dir.filePath(QStringLiteral("broken.jpg"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is no picture at all");
    file.close();
    dialogs.fileAnswers = {bad};
    const PlateLoad load = loadPlate(Plate::Highlight, dialogs, imageMan1);
    QCOMPARE(load.outcome, PlateLoad::Outcome::Failed);
    QVERIFY2(load.message.contains(QDir::toNativeSeparators(bad)), qPrintable(load.message));
    QVERIFY(load.picture.isNull());
    QCOMPARE(plateBytes(Plate::Highlight), before);
}

void TestPlateLoader::unwritablePlateIsNamed()
{
    // A file where the plates' folder belongs: no permission trick, so this
    // holds also when the tests run as root.
    const QString folder = QFileInfo(common::platePath(0)).absolutePath();
    QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    fakes::Dialogs dialogs;
    imaging::ImageMan imageMan1;
    dialogs.fileAnswers = {writeSource(QStringLiteral("good.png"), QSize(20, 20), Qt::red)};
    const PlateLoad load = loadPlate(Plate::Selected, dialogs, imageMan1);
    QCOMPARE(load.outcome, PlateLoad::Outcome::Failed);
    QVERIFY2(load.message.contains(QDir::toNativeSeparators(common::platePath(2))), qPrintable(load.message));
    QVERIFY(load.picture.isNull());
}

void TestPlateLoader::secondLoadWins()
{
    fakes::Dialogs dialogs;
    imaging::ImageMan imageMan1;
    dialogs.fileAnswers = {writeSource(QStringLiteral("one.bmp"), QSize(20, 30), Qt::red),
                           writeSource(QStringLiteral("two.tif"), QSize(40, 50), Qt::blue)};
    QCOMPARE(loadPlate(Plate::Back, dialogs, imageMan1).outcome, PlateLoad::Outcome::Loaded);
    const PlateLoad second = loadPlate(Plate::Back, dialogs, imageMan1);
    QCOMPARE(second.outcome, PlateLoad::Outcome::Loaded);
    QCOMPARE(second.picture.size(), QSize(40, 50));
    QImage reread(common::platePath(0));
    QCOMPARE(reread.size(), QSize(40, 50));
    QCOMPARE(reread.pixelColor(5, 5), QColor(Qt::blue));
}

QTEST_GUILESS_MAIN(TestPlateLoader)
#include "tst_plateloader.moc"
