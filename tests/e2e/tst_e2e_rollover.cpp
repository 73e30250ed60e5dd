#include "../app/fakes.h"
#include "common/paths.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/plateloader.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace rollover;

// The rollover builder from picked pictures to a page in a real browser:
// plates that Pillow wrote (three bands of 60 rows, 160 wide) loaded through
// the file dialog, cut lines placed with press, drag and release, pieces and
// page generated, and the page's pointer swaps checked in headless Chromium
// against the pieces menu-pieces.json lists.
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
    fakes::Dialogs dialogs;
    imaging::ImageMan imageMan1;
    imaging::ImageMan imageMan3;
    const QStringList plates{"normal", "highlight", "selected"};
    for (Plate plate : kPlates) {
        dialogs.fileAnswers = {data + QStringLiteral("menu-%1.png").arg(plates[int(plate)])};
        const PlateLoad load = askAndLoadPlate(plate, dialogs, imageMan1);
        QVERIFY2(load.outcome == PlateLoad::Outcome::Loaded, qPrintable(load.message));
    }

    // A line placed at 70 and dragged up to the first band's last row, then a
    // second one placed straight at the second band's last row.
    CutLineList lines;
    lines.release(CutLineList::kLeftButton, 70);
    QVERIFY(lines.press(71));
    QCOMPARE(lines.drag(CutLineList::kLeftButton, 59), QList<int>{59});
    lines.release(CutLineList::kLeftButton, 59);
    lines.release(CutLineList::kLeftButton, 119);
    QCOMPARE(lines.rows(), (QList<int>{59, 119}));

    fakes::Clipboard clipboard;
    dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    dialogs.yesNoAnswers = {true};
    GenerateRun generate(dialogs, clipboard, imageMan1, imageMan3);
    QCOMPARE(generate.run(lines), GenerateRun::Outcome::Finished);
    QVERIFY2(generate.failures().isEmpty(), qPrintable(generate.failures().join(u'\n')));

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
