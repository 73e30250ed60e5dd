#include "apptest.h"

#include "app/layout.h"
#include "app/tabcontrol.h"

#include <QApplication>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cmath>

namespace {

// A desktop of our own: a virtual X server and a window manager on it. Real
// desktops place and frame a window only after it is shown, unlike the
// offscreen platform of the other window tests.
struct Desktop {
    QProcess server, manager;
    QString missing; // why there is no desktop; empty when there is one

    bool start()
    {
        for (const char *program : {"Xvfb", "openbox", "xwininfo"}) {
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty()) {
                missing = QStringLiteral("%1 is not installed").arg(QLatin1String(program));
                return false;
            }
        }
        // The server picks a free display and names it on its output.
        server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (!server.waitForReadyRead(30000))
            return fail("the X server did not start");
        const QString display = QLatin1Char(':') + QString::fromLatin1(server.readAllStandardOutput()).trimmed();
        qputenv("DISPLAY", display.toLatin1());
        manager.start(QStringLiteral("openbox"), {"--sm-disable", "--startup", "echo managing"});
        while (manager.waitForReadyRead(30000)) {
            if (manager.readAllStandardOutput().contains("managing"))
                return true;
        }
        return fail("openbox did not start");
    }
    bool fail(const char *why)
    {
        missing = QLatin1String(why);
        return false;
    }
    ~Desktop()
    {
        for (QProcess *process : {&manager, &server}) {
            process->terminate();
            process->waitForFinished(10000);
        }
    }
};

Desktop *desktop = nullptr;

// The frame the window manager put round a window, as the X server has it:
// outer top-left corner and size, border included.
QRect frameOf(WId window)
{
    const auto info = [](const QString &id, const QString &option) {
        QProcess xwininfo;
        xwininfo.start(QStringLiteral("xwininfo"), {option, QStringLiteral("-id"), id});
        xwininfo.waitForFinished(30000);
        return QString::fromLatin1(xwininfo.readAllStandardOutput());
    };
    const auto field = [](const QString &text, const char *name) {
        const QRegularExpression pattern(QLatin1String(name) + QStringLiteral(":\\s*(\\S+)"));
        return pattern.match(text).captured(1);
    };
    // The frame is the ancestor that is a child of the root window.
    QString id = QStringLiteral("0x%1").arg(window, 0, 16);
    for (int depth = 0; depth < 8; ++depth) {
        const QString tree = info(id, QStringLiteral("-tree"));
        const QString parent = field(tree, "Parent window id");
        if (parent.isEmpty() || parent == field(tree, "Root window id"))
            break;
        id = parent;
    }
    const QString frame = info(id, QStringLiteral("-stats"));
    const int border = field(frame, "Border width").toInt();
    return QRect(field(frame, "Absolute upper-left X").toInt() - border, field(frame, "Absolute upper-left Y").toInt() - border,
                 field(frame, "Width").toInt() + 2 * border, field(frame, "Height").toInt() + 2 * border);
}

// The tab control's size for a window of `outer` pixels: its outer size in
// twips less 100 wide and 700 high.
QSize tabsFor(QSize outer)
{
    const auto pixels = [](double twips) { return int(std::lround(twips / 15)); };
    return QSize(pixels(outer.width() * 15.0 - 100), pixels(outer.height() * 15.0 - 700));
}

} // namespace

class TestE2eWindow : public QObject, apptest::Fixture
{
    Q_OBJECT
private slots:
    void init()
    {
        if (!desktop->missing.isEmpty())
            QSKIP(qPrintable(QStringLiteral("No desktop with a window manager: %1.").arg(desktop->missing)));
        setUp();
    }
    void cleanup() { tearDown(); }
    void placedAndSizedFromTheStart();
    void tabReachesTheSelectedButtons();
};

// The window manager places the window after it is shown; start-up still
// leaves the frame's top at the screen's top, and the tab control follows
// the framed size from the first show.
void TestE2eWindow::placedAndSizedFromTheStart()
{
    auto form = newForm();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QRect frame;
    QTRY_VERIFY2_WITH_TIMEOUT((frame = frameOf(form->winId())).top() == 0 && form->SSTab1()->size() == tabsFor(frame.size()),
                              qPrintable(QStringLiteral("frame %1,%2 %3x%4, tab control %5x%6")
                                             .arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())
                                             .arg(form->SSTab1()->width()).arg(form->SSTab1()->height())),
                              10000);
    qInfo("frame at %d,%d, %d x %d; tab control %d x %d", frame.x(), frame.y(), frame.width(), frame.height(),
          form->SSTab1()->width(), form->SSTab1()->height());
    QVERIFY(frame.x() >= 0 && frame.right() < 1280);
}

// Each option group is one Tab stop, its selected button.
void TestE2eWindow::tabReachesTheSelectedButtons()
{
    auto form = newForm();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->Option2(5)->click();
    form->Option1(7)->click();
    const QStringList stops = apptest::tabStops(form.get());
    QVERIFY2(stops.contains("Option2_5") && stops.contains("Option1_7"), qPrintable(stops.join(u' ')));
    QCOMPARE(stops.filter(QStringLiteral("Option")).size(), 2);
}

int main(int argc, char **argv)
{
    Desktop ours;
    desktop = &ours;
    qputenv("QT_QPA_PLATFORM", ours.start() ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    TestE2eWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_window.moc"
