#include "convert/typepattern.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

const QString kAllTypes = QStringLiteral("*.jpg;*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps");

// The type boxes' pattern: built from the boxes, ticks restored from it, and
// kept in the store. Names are matched against it in tst_convertrules.
class TestTypePattern : public QObject
{
    Q_OBJECT

private slots:
    void buildsAndRestores_data();
    void buildsAndRestores();
    void storesAndReads();
};

void TestTypePattern::buildsAndRestores_data()
{
    QTest::addColumn<bool>("built"); // from the ticks; else only read back
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QList<int>>("ticked");
    QTest::newRow("JPG and BMP, in type order") << true << "*.jpg;*.bmp" << QList<int>{0, 2};
    QTest::newRow("none is all files") << true << "*.*" << QList<int>{};
    QTest::newRow("all twelve") << true << kAllTypes << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    QTest::newRow("capitals tick nothing") << false << "*.JPG;*.TIF" << QList<int>{};
    QTest::newRow("foreign text naming types") << false << "epsilon tiff" << QList<int>{1, 11};
    QTest::newRow("empty text") << false << "" << QList<int>{};
}

void TestTypePattern::buildsAndRestores()
{
    QFETCH(bool, built);
    QFETCH(QString, pattern);
    QFETCH(QList<int>, ticked);
    convert::TypeTicks ticks{};
    for (int i : ticked)
        ticks[i] = true;
    if (built)
        QCOMPARE(convert::buildTypePattern(ticks), pattern);
    QCOMPARE(convert::restoredTicks(pattern), ticks);
}

// Nothing stored gives every type and writes nothing; a value is taken as it
// stands, even a list written by hand. (Writing is checked through the
// window, tests/app.)
void TestTypePattern::storesAndReads()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    const QString file = home.filePath(QStringLiteral("Kestrune/Kestrune.conf"));
    QCOMPARE(convert::readStoredTypePattern(), kAllTypes);
    QVERIFY(!QFile::exists(file));

    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("Kestrune"))));
    QFile edited(file);
    QVERIFY(edited.open(QIODevice::WriteOnly) && edited.write("[stashes]\nfiletypes=*.jpg,*.png\n") > 0);
    edited.close();
    QCOMPARE(convert::readStoredTypePattern(), QStringLiteral("*.jpg,*.png"));
}

QTEST_GUILESS_MAIN(TestTypePattern)
#include "tst_typepattern.moc"
