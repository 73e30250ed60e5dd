#include "rolloverrun.h"
#include "common/paths.h"
#include "rollover/plateloader.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace rollover;

// The rollover builder from picked pictures to a page in a real browser:
// plates that Pillow wrote (three bands of 60 rows, 160 wide) loaded through
// the file dialog, cut at each band's last row, pieces and page generated,
// and the page's pointer swaps checked in headless Chromium against the
// pieces menu-pieces.json lists.
class TestE2eRollover : public QObject
{
    Q_OBJECT
private slots:
    void pageSwapsPiecesInBrowser();
};

void TestE2eRollover::pageSwapsPiecesInBrowser()
{
    QDir(common::outputFolder()).removeRecursively();
    const QString data = QStringLiteral(KESTRUNE_TEST_DATA "/rollover/");
    testrollover::Run run;
    const QStringList plates{"normal", "highlight", "selected"};
    for (Plate plate : kPlates) {
        run.dialogs.fileAnswers = {data + QStringLiteral("menu-%1.png").arg(plates[int(plate)])};
        const PlateLoad load = askAndLoadPlate(plate, run.dialogs, run.imageMan1);
        QVERIFY2(load.outcome == PlateLoad::Outcome::Loaded, qPrintable(load.message));
    }
    QCOMPARE(run.go({59, 119}, {"100", "TST"}), GenerateRun::Outcome::Finished);
    QVERIFY2(run.generate.failures().isEmpty(), qPrintable(run.generate.failures().join(u'\n')));

    QProcess browser;
    // The script's checks appear in the test's output as they happen.
    browser.setProcessChannelMode(QProcess::ForwardedChannels);
    browser.start(QStringLiteral(KESTRUNE_E2E_PYTHON), {QStringLiteral(KESTRUNE_E2E_DIR "/rollover_page.py"),
                                                        QFileInfo(common::pagePath()).absoluteFilePath(),
                                                        data + QStringLiteral("menu-pieces.json")});
    QVERIFY2(browser.waitForStarted(-1), qPrintable(browser.errorString()));
    browser.waitForFinished(-1);
    QCOMPARE(browser.exitStatus(), QProcess::NormalExit);
    QCOMPARE(browser.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestE2eRollover)
#include "tst_e2e_rollover.moc"
