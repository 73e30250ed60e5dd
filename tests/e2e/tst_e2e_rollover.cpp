#include "fakes.h"
#include "common/paths.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"
#include "rollover/plateloader.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace rollover;

namespace {

const int kWidth = 160;
const int kBand = 60;
// One colour per band of each plate; the selected plate is never shown.
const QColor kBands[kPlateCount][3] = {
    {QColor(200, 30, 30), QColor(30, 160, 30), QColor(30, 30, 200)},
    {QColor(250, 230, 40), QColor(40, 220, 230), QColor(230, 40, 220)},
    {QColor(90, 90, 90), QColor(150, 150, 150), QColor(20, 20, 20)},
};

} // namespace

// The rollover builder from picked pictures to a page in a real browser:
// plates loaded through the file dialog, cut lines placed with press, drag and
// release, pieces and page generated, and the page's pointer swaps checked in
// headless Chromium.
class TestE2eRollover : public QObject
{
    Q_OBJECT
private slots:
    void pageSwapsPiecesInBrowser();
};

void TestE2eRollover::pageSwapsPiecesInBrowser()
{
    QTemporaryDir sources;
    QVERIFY(sources.isValid());
    QDir(common::outputFolder()).removeRecursively();

    fakes::Dialogs dialogs;
    imaging::ImageMan imageMan1;
    imaging::ImageMan imageMan3;
    for (Plate plate : kPlates) {
        QImage picture(kWidth, 3 * kBand, QImage::Format_RGB32);
        QPainter painter(&picture);
        for (int band = 0; band < 3; ++band)
            painter.fillRect(0, band * kBand, kWidth, kBand, kBands[int(plate)][band]);
        painter.end();
        const QString path = sources.filePath(QStringLiteral("plate%1.png").arg(int(plate)));
        QVERIFY(picture.save(path, "PNG"));
        dialogs.fileAnswers = {path};
        const PlateLoad load = loadPlate(plate, dialogs, imageMan1);
        QVERIFY2(load.outcome == PlateLoad::Outcome::Loaded, qPrintable(load.message));
    }

    // A line placed at 70 and dragged up to the first band's last row, then a
    // second one placed straight at the second band's last row.
    CutLineList lines;
    lines.release(CutLineList::kLeftButton, 70);
    QVERIFY(lines.press(71));
    lines.release(CutLineList::kLeftButton, kBand - 1);
    lines.release(CutLineList::kLeftButton, 2 * kBand - 1);
    QCOMPARE(lines.rows(), (QList<int>{59, 119}));

    fakes::Clipboard clipboard;
    dialogs.inputAnswers = {QStringLiteral("100"), QStringLiteral("TST")};
    dialogs.yesNoAnswers = {true};
    GenerateRun generate(dialogs, clipboard, imageMan1, imageMan3);
    QCOMPARE(generate.run(lines), GenerateRun::Outcome::Finished);
    QVERIFY2(generate.failures().isEmpty(), qPrintable(generate.failures().join(u'\n')));

    QJsonArray pieces;
    const auto rgb = [](QColor c) { return QJsonArray{c.red(), c.green(), c.blue()}; };
    for (int n = 0; n < 3; ++n)
        pieces.append(QJsonObject{{"name", QStringLiteral("a%1").arg(n)},
                                  {"normal", QStringLiteral("images/TSTa%1.jpg").arg(n)},
                                  {"highlight", QStringLiteral("images/TSTb%1.jpg").arg(n)},
                                  {"width", kWidth}, {"height", kBand},
                                  {"normalColour", rgb(kBands[0][n])}, {"highlightColour", rgb(kBands[1][n])}});
    const QString expectedPath = sources.filePath(QStringLiteral("expected.json"));
    QFile expected(expectedPath);
    QVERIFY(expected.open(QIODevice::WriteOnly));
    expected.write(QJsonDocument(QJsonObject{{"page", QFileInfo(common::pagePath()).absoluteFilePath()},
                                             {"pieces", pieces}})
                       .toJson());
    expected.close();

    QProcess browser;
    // The script's checks appear in the test's output as they happen.
    browser.setProcessChannelMode(QProcess::ForwardedChannels);
    browser.start(QStringLiteral(KESTRUNE_E2E_PYTHON),
                  {QStringLiteral(KESTRUNE_E2E_DIR "/rollover_page.py"), expectedPath});
    QVERIFY2(browser.waitForStarted(-1), qPrintable(browser.errorString()));
    browser.waitForFinished(-1);
    QCOMPARE(browser.exitStatus(), QProcess::NormalExit);
    QCOMPARE(browser.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestE2eRollover)
#include "tst_e2e_rollover.moc"
