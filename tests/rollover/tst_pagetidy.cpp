#include "rollover/modernpage.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace rollover;

// The modern page read by HTML Tidy: it reports nothing but its own
// ignorance of aria-current. Default labels, fractional CSS sizes and a
// header that needs escaping; a missing tidy is a failure, not a skip.
class TestPageTidy : public QObject
{
    Q_OBJECT
private slots:
    void modernPageIsValid()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("index.html"));
        const PageChoice choice{PageChoice::Format::Modern, {}, {}, 1, 3};
        QVERIFY(file.open(QIODevice::WriteOnly)
                && file.write(modernPage("M&u é", {QSize(160, 61), QSize(160, 58)}, choice).html.toUtf8()) > 0);
        file.close();
        QProcess tidy;
        tidy.start("tidy", {"-e", "-q", file.fileName()});
        QVERIFY2(tidy.waitForFinished(60000), qPrintable(tidy.errorString()));
        const QString said = QString::fromUtf8(tidy.readAllStandardError()).trimmed();
        QCOMPARE(said, "line 12 column 5 - Warning: <a> proprietary attribute \"aria-current\"");
    }
};

QTEST_GUILESS_MAIN(TestPageTidy)
#include "tst_pagetidy.moc"
