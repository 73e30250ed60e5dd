#include "common/paths.h"
#include "fakes.h"
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
    void cleanup() { init(); }
    void loads_data();
    void loads();
    void refusals_data();
    void refusals();

private:
    QString writeSource(const QString &name, QSize size, QColor colour);
    PlateLoad load(Plate plate, const QString &answer);
    static QByteArray plateBytes(Plate plate);

    QTemporaryDir m_dir;
    fakes::Dialogs m_dialogs;
    imaging::ImageMan m_imageMan1;
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

PlateLoad TestPlateLoader::load(Plate plate, const QString &answer)
{
    m_dialogs.fileAnswers = {answer};
    return loadPlate(plate, m_dialogs, m_imageMan1);
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
    m_dialogs = fakes::Dialogs();
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

    // A plate loaded before is replaced by the new one.
    QCOMPARE(load(Plate(plate), writeSource(QStringLiteral("old.bmp"), QSize(20, 30), Qt::red)).outcome,
             PlateLoad::Outcome::Loaded);
    const PlateLoad loaded = load(Plate(plate), writeSource(name, size, QColor(10, 200, 90)));
    QVERIFY2(loaded.outcome == PlateLoad::Outcome::Loaded, qPrintable(loaded.message));
    QCOMPARE(m_dialogs.fileRequests.last().title, QStringLiteral("Load Image"));
    QCOMPARE(m_dialogs.fileRequests.last().prompt,
             QStringLiteral("Pictures (*.bmp;*.jpg;*.tif;*.pcd) (*.bmp *.jpg *.tif *.pcd)"));
    QCOMPARE(loaded.platePath, common::platePath(plate));
    QVERIFY(plateBytes(Plate(plate)).startsWith("BM"));
    QCOMPARE(loaded.picture.size(), shown);
    const QImage reread(common::platePath(plate));
    QCOMPARE(reread.size(), shown);
    // The library's own Photo CD round trip does not keep colours; only the
    // size tells that the plate arrived.
    if (name.endsWith(QLatin1String(".pcd")))
        return;
    for (const QColor colour : {loaded.picture.pixelColor(60, 90), reread.pixelColor(60, 90)})
        QVERIFY2(std::abs(colour.green() - 200) < 12 && std::abs(colour.red() - 10) < 12, qPrintable(colour.name()));
}

void TestPlateLoader::refusals_data()
{
    QTest::addColumn<int>("plate");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("outcome");

    QTest::newRow("cancel in the file dialog") << 0 << "cancel" << int(PlateLoad::Outcome::Cancelled);
    QTest::newRow("an unreadable picture is named") << 1 << "broken" << int(PlateLoad::Outcome::Failed);
    // A file where the plates' folder belongs: no permission trick, so this
    // holds also when the tests run as root.
    QTest::newRow("an unwritable plate is named") << 2 << "blocked" << int(PlateLoad::Outcome::Failed);
}

void TestPlateLoader::refusals()
{
    QFETCH(int, plate);
    QFETCH(QString, fault);
    QFETCH(int, outcome);

    const QString good = writeSource(QStringLiteral("good.bmp"), QSize(20, 20), Qt::red);
    QCOMPARE(load(Plate(plate), good).outcome, PlateLoad::Outcome::Loaded);
    QString answer = good;
    QString named = QDir::toNativeSeparators(common::platePath(plate));
    if (fault == u"cancel") {
        answer.clear();
    } else if (fault == u"broken") {
        answer = m_dir.filePath(QStringLiteral("broken.jpg"));
        named = QDir::toNativeSeparators(answer);
        QFile file(answer);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is no picture at all");
    } else {
        const QString folder = QFileInfo(common::platePath(0)).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const QByteArray before = plateBytes(Plate(plate));
    const PlateLoad loaded = load(Plate(plate), answer);
    QCOMPARE(int(loaded.outcome), outcome);
    QVERIFY(loaded.picture.isNull());
    QCOMPARE(plateBytes(Plate(plate)), before);
    if (loaded.outcome == PlateLoad::Outcome::Failed)
        QVERIFY2(loaded.message.contains(named), qPrintable(loaded.message));
}

QTEST_GUILESS_MAIN(TestPlateLoader)
#include "tst_plateloader.moc"
