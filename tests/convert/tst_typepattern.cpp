#include "convert/typepattern.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

const QString kAllTypes = QStringLiteral("*.jpg;*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps");

// The type boxes' pattern: built from the boxes, ticks restored from it,
// names matched against it, and kept in the store.
class TestTypePattern : public QObject
{
    Q_OBJECT

private slots:
    void buildsAndRestores_data();
    void buildsAndRestores();
    void matches_data();
    void matches();
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

void TestTypePattern::matches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("pattern in capitals") << "photo.jpg" << "*.JPG" << true;
    QTest::newRow("second wildcard") << "logo.bmp" << "*.jpg;*.bmp" << true;
    QTest::newRow("no wildcard matches") << "logo.png" << "*.jpg;*.bmp" << false;
    QTest::newRow("longer extension") << "scan.jpeg" << "*.jpg" << false;
    QTest::newRow("extension only inside") << "jpg.txt" << "*.jpg" << false;
    QTest::newRow("question mark") << "a1.tga" << "a?.tga" << true;
    QTest::newRow("blanks around pieces") << "x.png" << "*.jpg; *.png" << true;
    QTest::newRow("all files, also without dot") << "notes" << "*.*" << true;
    QTest::newRow("foreign text matches itself, any case") << "ReadMe.txt" << "readme.TXT" << true;
    QTest::newRow("foreign text misses others") << "photos.jpg" << "photos" << false;
    QTest::newRow("empty pattern lists nothing") << "a.jpg" << "" << false;
    QTest::newRow("brackets are literal") << "[a].jpg" << "[a].jpg" << true;
}

void TestTypePattern::matches()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(convert::matchesPattern(name, pattern), matches);
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

    QDir().mkpath(home.filePath(QStringLiteral("Kestrune")));
    QFile edited(file);
    QVERIFY(edited.open(QIODevice::WriteOnly));
    edited.write("[stashes]\nfiletypes=*.jpg,*.png\n");
    edited.close();
    QCOMPARE(convert::readStoredTypePattern(), QStringLiteral("*.jpg,*.png"));
}

QTEST_GUILESS_MAIN(TestTypePattern)
#include "tst_typepattern.moc"
