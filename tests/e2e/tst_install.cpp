#include "app/artwork.h"
#include "common/maker.h"

#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.errorString()};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

} // namespace

// The tree `cmake --install` puts in place, checked by the desktop's own
// validators, as a packager would.
class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void validators_data();
    void validators();
    void iconsAreTheWindowsIcon();

private:
    QTemporaryDir m_prefix;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    const Run install = run(QStringLiteral(KESTRUNE_CMAKE),
                            {"--install", QStringLiteral(KESTRUNE_BUILD_DIR), "--prefix", m_prefix.path()});
    QVERIFY2(install.status == 0, qPrintable(install.output));
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // PREFIX stands for the installed tree
    QTest::addColumn<QString>("said");           // what the output must hold
    const QString id = QLatin1String(common::kDesktopId);
    QTest::newRow("desktop entry") << "desktop-file-validate"
                                   << QStringList{"PREFIX/share/applications/" + id + ".desktop"} << "";
    QTest::newRow("metadata") << "appstreamcli" << QStringList{"validate", "--no-net", "PREFIX/share/metainfo/" + id + ".metainfo.xml"}
                              << "Validation was successful";
    QTest::newRow("manual page") << "groff" << QStringList{"-man", "-ww", "-z", "PREFIX/share/man/man1/kestrune.1"} << "";
    QTest::newRow("program, without a display") << "PREFIX/bin/kestrune" << QStringList{"--version"} << "kestrune 0.1";
}

void TestInstall::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    program.replace(QLatin1String("PREFIX"), m_prefix.path());
    arguments.replaceInStrings(QLatin1String("PREFIX"), m_prefix.path());
    const Run check = run(program, arguments);
    QVERIFY2(check.status == 0 && check.output.contains(said), qPrintable(check.output));
    // Each validator stays silent but for notes; groff reports warnings.
    QVERIFY2(!check.output.contains("error") && !check.output.contains("warning"), qPrintable(check.output));
}

void TestInstall::iconsAreTheWindowsIcon()
{
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("%1/share/icons/hicolor/%2x%2/apps/%3.png")
                                 .arg(m_prefix.path()).arg(size).arg(QLatin1String(common::kDesktopId));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("png"));
        QCOMPARE(reader.read().convertToFormat(QImage::Format_RGB32),
                 app::programIcon(size).convertToFormat(QImage::Format_RGB32));
    }
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
