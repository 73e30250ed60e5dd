#include "apptest.h"

#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>

// The window under a real window manager, which places and frames a window
// only after it is shown, unlike the offscreen platform of the other tests:
// a virtual X server and openbox, started here.
class TestE2eWindow : public QObject, apptest::Fixture
{
    Q_OBJECT
public:
    QProcess server, manager;
    QString missing; // why there is no desktop; empty when there is one

    bool startDesktop()
    {
        for (const char *program : {"Xvfb", "openbox"})
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
                missing = QLatin1String(program) + QStringLiteral(" is not installed");
        if (!missing.isEmpty())
            return false;
        // The server names the free display it took on its output.
        server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (server.waitForReadyRead(30000))
            qputenv("DISPLAY", ':' + server.readAllStandardOutput().trimmed());
        manager.start(QStringLiteral("openbox"), {"--sm-disable", "--startup", "echo managing"});
        while (manager.waitForReadyRead(30000))
            if (manager.readAllStandardOutput().contains("managing"))
                return true;
        missing = QStringLiteral("Xvfb or openbox did not start");
        return false;
    }
    ~TestE2eWindow() override
    {
        for (QProcess *process : {&manager, &server}) {
            process->terminate();
            process->waitForFinished(10000);
        }
    }

private slots:
    void init()
    {
        if (!missing.isEmpty())
            QSKIP(qPrintable(QStringLiteral("No desktop with a window manager: %1.").arg(missing)));
        setUp();
    }
    void cleanup() { tearDown(); }
    void placedSizedAndReachedByTab();
};

// Start-up leaves the frame's top at the screen's top and the tab control
// sized from the framed window (its outer size in twips less 100 by 700);
// Tab reaches the selected button of each option group.
void TestE2eWindow::placedSizedAndReachedByTab()
{
    auto form = newForm();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    const auto tabs = [&] { return (QSizeF(form->frameGeometry().size()) - QSizeF(100, 700) / 15).toSize(); };
    QTRY_VERIFY_WITH_TIMEOUT(form->frameGeometry().top() == 0 && form->pages()->size() == tabs(), 10000);
    qInfo("frame %d,%d %dx%d, tab control %dx%d", form->frameGeometry().x(), form->frameGeometry().y(),
          form->frameGeometry().width(), form->frameGeometry().height(), form->pages()->width(), form->pages()->height());
    QVERIFY(form->frameGeometry().height() > form->height()); // framed indeed

    form->sizeButton(convert::SizeChoice::Size1024x768)->click();
    form->formatButton(7)->click();
    const QStringList stops = apptest::tabStops(form.get());
    QCOMPARE(stops.filter(QStringLiteral("Option")), (QStringList{"Option2_5", "Option1_7"}));
}

int main(int argc, char **argv)
{
    TestE2eWindow test;
    qputenv("QT_QPA_PLATFORM", test.startDesktop() ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_window.moc"
