#include "program.h"
#include "rolloverrun.h"
#include "common/paths.h"
#include "rollover/plateloader.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kData = QStringLiteral(KESTRUNE_TEST_DATA "/rollover/");

// rollover_page.py's checks appear in the test's output as they happen.
void checkInBrowser(const QString &page, const QStringList &more = {})
{
    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedChannels);
    browser.start(QStringLiteral(KESTRUNE_E2E_PYTHON), QStringList{QStringLiteral(KESTRUNE_E2E_DIR "/rollover_page.py"),
                                                                   page, kData + QStringLiteral("menu-pieces.json")} + more);
    QVERIFY2(browser.waitForStarted(-1), qPrintable(browser.errorString()));
    browser.waitForFinished(-1);
    QCOMPARE(browser.exitStatus(), QProcess::NormalExit);
    QCOMPARE(browser.exitCode(), 0);
}

} // namespace

using namespace rollover;

// The rollover builder from picked pictures to a page in a real browser:
// plates that Pillow wrote (three bands of 60 rows, 160 wide) loaded through
// the file dialog, cut at each band's last row, pieces and page generated,
// and the page's pointer swaps checked in headless Chromium against the
// pieces menu-pieces.json lists; the modern page from the command line with
// that file's labels and links.
class TestE2eRollover : public QObject
{
    Q_OBJECT
private slots:
    void pageSwapsPiecesInBrowser();
    void modernPageInBrowser();
};

void TestE2eRollover::pageSwapsPiecesInBrowser()
{
    QDir(common::outputFolder()).removeRecursively();
    testrollover::Run run;
    const QStringList plates{"normal", "highlight", "selected"};
    for (Plate plate : kPlates) {
        run.dialogs.fileAnswers = {kData + QStringLiteral("menu-%1.png").arg(plates[int(plate)])};
        const PlateLoad load = askAndLoadPlate(plate, run.dialogs, run.plateReader);
        QVERIFY2(load.outcome == PlateLoad::Outcome::Loaded, qPrintable(load.message));
    }
    QCOMPARE(run.go({59, 119}, {"100", "TST"}), GenerateRun::Outcome::Finished);
    QVERIFY2(run.generate.failures().isEmpty(), qPrintable(run.generate.failures().join(u'\n')));

    checkInBrowser(QFileInfo(common::pagePath()).absoluteFilePath());
}

// The second entry the page's own, plates drawn at twice the size, on a
// screen of twice the density.
void TestE2eRollover::modernPageInBrowser()
{
    QTemporaryDir dir;
    const testprogram::Run run = testprogram::run(KESTRUNE_PROGRAM, {"rollover", kData + "menu-normal.png",
        kData + "menu-highlight.png", kData + "menu-selected.png", "--cuts", "59,119", "--out", dir.path(),
        "--page", "modern", "--labels", "Home,Products & more,Über uns", "--links", "index.html,products.html,about.html",
        "--current", "2", "--scale", "2"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    checkInBrowser(dir.filePath("index.html"), {"modern", "2", "2"});
}

QTEST_GUILESS_MAIN(TestE2eRollover)
#include "tst_e2e_rollover.moc"
