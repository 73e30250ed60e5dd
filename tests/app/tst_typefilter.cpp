#include "app/folderaccess.h"
#include "app/typefilter.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kAllTypes = QStringLiteral(
    "*.jpg;*.tif;*.bmp;*.rle;*.pcx;*.png;*.dxf;*.pcd;*.wmf;*.tga;*.dcx;*.eps");

QString storeFile(const QString &folder)
{
    return folder + QStringLiteral("/Kestrune/Kestrune.conf");
}

} // namespace

// Building and restoring the type pattern from the boxes is checked through
// the window, in tst_form1.
class TstTypeFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();

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
    QCOMPARE(convert::matchesPattern(name, pattern), matches);
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
