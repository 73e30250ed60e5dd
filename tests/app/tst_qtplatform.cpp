#include "app/qtclipboard.h"
#include "app/qtdialogs.h"
#include "app/qturlopener.h"
#include "rollover/plateloader.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `answer` on the first modal box that opens while `ask` runs; the box
// is found by polling from the box's own event loop, never by waiting.
template <typename Box>
void whenModalOpens(const std::function<void(Box *)> &answer, const std::function<void()> &ask)
{
    QTimer poll;
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *box = QApplication::activeModalWidget(); box && !done) {
            done = true;
            auto *typed = qobject_cast<Box *>(box);
            QVERIFY(typed);
            answer(typed);
        }
    });
    poll.start(5);
    ask();
    poll.stop();
    QVERIFY(done);
}

} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void take(const QUrl &url) { urls.append(url); }
};

class TstQtPlatform : public QObject
{
    Q_OBJECT

private slots:
    void messageBoxHasTitleTextIconAndOneOk_data();
    void messageBoxHasTitleTextIconAndOneOk();
    void yesNoAnswers_data();
    void yesNoAnswers();
    void inputBoxGivesTypedTextOrEmpty_data();
    void inputBoxGivesTypedTextOrEmpty();
    void openFileShowsTitleAndFilter();
    void clipboardAndBrowserAreTheDesktops();
};

void TstQtPlatform::messageBoxHasTitleTextIconAndOneOk_data()
{
    QTest::addColumn<common::Dialogs::Icon>("icon");
    QTest::addColumn<QMessageBox::Icon>("shown");
    QTest::newRow("information") << common::Dialogs::Icon::Information << QMessageBox::Information;
    QTest::newRow("warning") << common::Dialogs::Icon::Warning << QMessageBox::Warning;
    QTest::newRow("critical") << common::Dialogs::Icon::Critical << QMessageBox::Critical;
    QTest::newRow("none") << common::Dialogs::Icon::None << QMessageBox::NoIcon;
}

void TstQtPlatform::messageBoxHasTitleTextIconAndOneOk()
{
    QFETCH(common::Dialogs::Icon, icon);
    QFETCH(QMessageBox::Icon, shown);
    app::QtDialogs dialogs;
    QStringList seen;
    whenModalOpens<QMessageBox>(
        [&](QMessageBox *box) {
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        },
        [&] { dialogs.messageBox(QStringLiteral("One line."), QStringLiteral("Kestrune"), icon); });
    QCOMPARE(seen, (QStringList{"Kestrune", "One line.", QString::number(shown), "1"}));
}

void TstQtPlatform::yesNoAnswers_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("button");
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << QMessageBox::Yes << true;
    QTest::newRow("no") << QMessageBox::No << false;
}

void TstQtPlatform::yesNoAnswers()
{
    QFETCH(QMessageBox::StandardButton, button);
    QFETCH(bool, answer);
    app::QtDialogs dialogs;
    bool yesIsDefault = false;
    bool result = !answer;
    whenModalOpens<QMessageBox>(
        [&](QMessageBox *box) {
            yesIsDefault = static_cast<QAbstractButton *>(box->defaultButton())
                == box->button(QMessageBox::Yes);
            box->button(button)->click();
        },
        [&] { result = dialogs.askYesNo(QStringLiteral("Go on?"), QStringLiteral("Kestrune")); });
    QCOMPARE(result, answer);
    QVERIFY(yesIsDefault);
}

void TstQtPlatform::inputBoxGivesTypedTextOrEmpty_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typed and accepted") << true << QStringLiteral("menu");
    QTest::newRow("cancelled") << false << QString();
}

void TstQtPlatform::inputBoxGivesTypedTextOrEmpty()
{
    QFETCH(bool, accept);
    QFETCH(QString, expected);
    app::QtDialogs dialogs;
    QStringList seen;
    QString result = QStringLiteral("unset");
    whenModalOpens<QInputDialog>(
        [&](QInputDialog *dialog) {
            seen << dialog->labelText() << dialog->textValue();
            dialog->setTextValue(QStringLiteral("menu"));
            accept ? dialog->accept() : dialog->reject();
        },
        [&] {
            result = dialogs.inputBox(QStringLiteral("Name?"), QStringLiteral("Kestrune"),
                                      QStringLiteral("pre"));
        });
    QCOMPARE(seen, (QStringList{"Name?", "pre"}));
    QCOMPARE(result, expected);
}

void TstQtPlatform::openFileShowsTitleAndFilter()
{
    app::QtDialogs dialogs;
    QStringList seen;
    QString result = QStringLiteral("unset");
    whenModalOpens<QFileDialog>(
        [&](QFileDialog *dialog) {
            const auto *shown = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            seen << dialog->windowTitle() << (shown ? shown->itemText(0) : QString());
            dialog->reject();
        },
        [&] { result = dialogs.openFile(QStringLiteral("Load Image"), rollover::plateDialogFilter()); });
    QCOMPARE(seen, (QStringList{"Load Image", "Pictures (*.bmp;*.jpg;*.tif;*.pcd)"}));
    QCOMPARE(result, QString());
}

void TstQtPlatform::clipboardAndBrowserAreTheDesktops()
{
    app::QtClipboard clipboard;
    clipboard.setText(QStringLiteral("<html>"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("<html>"));
    clipboard.clear();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "take");
    const QUrl page(QStringLiteral("http://www.kestrune.example/Plenwick/help.htm"));
    QVERIFY(app::QtUrlOpener().open(page));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(catcher.urls, QList<QUrl>{page});
}

QTEST_MAIN(TstQtPlatform)
#include "tst_qtplatform.moc"
