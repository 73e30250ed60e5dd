#include "program.h"
#include "app/artwork.h"
#include "common/maker.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

// The tree `cmake --install` puts in place, as a packager checks it.
class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void installedTree();
};

void TestInstall::installedTree()
{
    QTemporaryDir prefix;
    const auto install = testprogram::run(KESTRUNE_CMAKE, {"--install", KESTRUNE_BUILD_DIR, "--prefix", prefix.path()});
    QVERIFY2(install.status == 0, qPrintable(install.out + install.err));
    const QString share = prefix.path() + QStringLiteral("/share/"), id = QLatin1String(common::kDesktopId);

    // The window's own icon at every size, on a transparent ground.
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QImageReader reader(share + QStringLiteral("icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id));
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage icon = reader.read().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(icon, app::programIcon(size).convertToFormat(QImage::Format_ARGB32));
        QVERIFY(qAlpha(icon.pixel(0, 0)) == 0 && qAlpha(icon.pixel(size / 2, size / 2)) == 255);
    }
    // The desktop's validators pass and say nothing worse than a note.
    const QList<QStringList> checks{{"desktop-file-validate", share + "applications/" + id + ".desktop"},
                                    {"appstreamcli", "validate", "--no-net", share + "metainfo/" + id + ".metainfo.xml"},
                                    {"groff", "-man", "-ww", "-z", share + "man/man1/kestrune.1"}};
    for (const QStringList &check : checks) {
        const testprogram::Run run = testprogram::run(check.first(), check.mid(1));
        const QString said = run.out + run.err;
        QVERIFY2(run.status == 0 && !said.contains("error") && !said.contains("warning"), qPrintable(check.first() + ": " + said));
    }
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
