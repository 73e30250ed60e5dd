#include "app/folderaccess.h"
#include "app/typefilter.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using app::TypeTicks;

namespace {

const QString kAllTypes = QStringLiteral(
    "*.jpg;*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps");

TypeTicks ticksOf(std::initializer_list<int> indices)
{
    TypeTicks ticks{};
    for (int i : indices)
        ticks[i] = true;
    return ticks;
}

QString storeFile(const QString &folder)
{
    return folder + QStringLiteral("/Kestrune/Kestrune.conf");
}

} // namespace

Q_DECLARE_METATYPE(TypeTicks)

class TstTypeFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void buildsPattern_data();
    void buildsPattern();
    void restoresTicks_data();
    void restoresTicks();
    void resizesTab_data();
    void resizesTab();
    void matchesNames_data();
    void matchesNames();

    void readsDefaultOrHandEditedText();
    void storesAndReadsUnchanged_data();
    void storesAndReadsUnchanged();

    void namesAMissingFolderName();

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

void TstTypeFilter::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    QVERIFY(m_settings->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings->path());
}

void TstTypeFilter::buildsPattern_data()
{
    QTest::addColumn<TypeTicks>("ticks");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("none ticked") << TypeTicks{} << QStringLiteral("*.*");
    QTest::newRow("JPG and BMP") << ticksOf({0, 2}) << QStringLiteral("*.jpg;*.bmp");
    QTest::newRow("EPS only, no trailing separator") << ticksOf({11}) << QStringLiteral("*.eps");
    QTest::newRow("type order, not tick order") << ticksOf({5, 0}) << QStringLiteral("*.jpg;*.png");
    QTest::newRow("all twelve") << ticksOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) << kAllTypes;
}

void TstTypeFilter::buildsPattern()
{
    QFETCH(TypeTicks, ticks);
    QFETCH(QString, pattern);
    QCOMPARE(app::buildTypePattern(ticks), pattern);
}

void TstTypeFilter::restoresTicks_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<TypeTicks>("ticks");
    QTest::newRow("default ticks all") << kAllTypes << ticksOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    QTest::newRow("*.* ticks none") << QStringLiteral("*.*") << TypeTicks{};
    QTest::newRow("JPG and PNG") << QStringLiteral("*.jpg;*.png") << ticksOf({0, 5});
    QTest::newRow("capitals tick none") << QStringLiteral("*.JPG;*.PNG") << TypeTicks{};
    QTest::newRow("foreign text naming types") << QStringLiteral("epsilon tiff") << ticksOf({1, 11});
    QTest::newRow("empty text") << QString() << TypeTicks{};
}

void TstTypeFilter::restoresTicks()
{
    QFETCH(QString, stored);
    QFETCH(TypeTicks, ticks);
    QCOMPARE(app::restoredTicks(stored), ticks);
}

void TstTypeFilter::resizesTab_data()
{
    QTest::addColumn<QSizeF>("outer");
    QTest::addColumn<QSizeF>("current");
    QTest::addColumn<QSizeF>("wanted");
    const QSizeF design(6915, 5340);
    QTest::newRow("6000 x 5000") << QSizeF(6000, 5000) << design << QSizeF(5900, 4300);
    QTest::newRow("exactly 5 leaves both") << QSizeF(5, 5) << design << design;
    QTest::newRow("width 6 would be negative") << QSizeF(6, 5000) << design << QSizeF(6915, 4300);
    QTest::newRow("width 100 would be zero") << QSizeF(100, 5000) << design << QSizeF(6915, 4300);
    QTest::newRow("width 101 gives 1") << QSizeF(101, 5000) << design << QSizeF(1, 4300);
    QTest::newRow("height 700 would be zero") << QSizeF(6000, 700) << design << QSizeF(5900, 5340);
    QTest::newRow("height 701 gives 1") << QSizeF(6000, 701) << design << QSizeF(5900, 1);
    QTest::newRow("fractional twips kept") << QSizeF(6000.5, 5000.25) << design
                                           << QSizeF(5900.5, 4300.25);
}

void TstTypeFilter::resizesTab()
{
    QFETCH(QSizeF, outer);
    QFETCH(QSizeF, current);
    QFETCH(QSizeF, wanted);
    QCOMPARE(app::tabSizeForWindow(outer, current), wanted);
}

void TstTypeFilter::matchesNames_data()
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
    QTest::newRow("foreign text misses others") << "photos.jpg" << "photos" << false;
    QTest::newRow("empty pattern lists nothing") << "a.jpg" << "" << false;
    QTest::newRow("separators only") << "a.jpg" << ";;" << false;
    QTest::newRow("brackets are literal") << "[a].jpg" << "[a].jpg" << true;
}

void TstTypeFilter::matchesNames()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(app::matchesPattern(name, pattern), matches);
}

void TstTypeFilter::readsDefaultOrHandEditedText()
{
    QCOMPARE(app::readStoredTypePattern(), kAllTypes);
    QVERIFY(!QFile::exists(storeFile(m_settings->path())));
    // A list written by hand comes back as the text it is.
    QDir().mkpath(m_settings->path() + QStringLiteral("/Kestrune"));
    QFile file(storeFile(m_settings->path()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[stashes]\nfiletypes=*.jpg,*.png\n");
    file.close();
    QCOMPARE(app::readStoredTypePattern(), QStringLiteral("*.jpg,*.png"));
}

void TstTypeFilter::storesAndReadsUnchanged_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("two types") << QStringLiteral("*.jpg;*.bmp");
    QTest::newRow("all types") << QStringLiteral("*.*");
    QTest::newRow("comma inside") << QStringLiteral("*.jpg,*.png");
    QTest::newRow("blanks and capitals") << QStringLiteral("  *.JPG ; *.Png  ");
    QTest::newRow("empty") << QString();
    QTest::newRow("non-ASCII") << QStringLiteral("Bilder *.jpg \u00e4\u00f6");
}

void TstTypeFilter::storesAndReadsUnchanged()
{
    QFETCH(QString, pattern);
    QString file;
    QVERIFY(app::storeTypePattern(pattern, &file));
    QCOMPARE(file, storeFile(m_settings->path()));
    QVERIFY(QFile::exists(file));
    QCOMPARE(app::readStoredTypePattern(), pattern);
}

// The other reasons are checked through the list widgets.
void TstTypeFilter::namesAMissingFolderName()
{
    QCOMPARE(app::folderFault(QString()), QStringLiteral("no folder is named"));
    QCOMPARE(app::folderFault(m_settings->path()), QString());
}

QTEST_GUILESS_MAIN(TstTypeFilter)
#include "tst_typefilter.moc"
