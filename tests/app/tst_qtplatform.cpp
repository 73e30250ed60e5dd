#include "app/qtclipboard.h"
#include "app/qtdialogs.h"
#include "app/qturlopener.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `answer` on the first modal box that opens while `ask` runs; the box
// is found by polling from the box's own event loop, never by waiting.
void whenModalOpens(const std::function<void(QWidget *)> &answer,
                    const std::function<void()> &ask)
{
    QTimer poll;
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *box = QApplication::activeModalWidget(); box && !done) {
            done = true;
            answer(box);
        }
    });
    poll.start(5);
    ask();
    poll.stop();
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
    void clipboardTakesAndLosesText();
    void urlGoesToTheDesktopsHandler();
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
    QString title, text;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    whenModalOpens(
        [&](QWidget *widget) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            seenIcon = box->icon();
            buttons = box->buttons().size();
            box->button(QMessageBox::Ok)->click();
        },
        [&] { dialogs.messageBox(QStringLiteral("One line."), QStringLiteral("Kestrune"), icon); });
    QCOMPARE(title, QStringLiteral("Kestrune"));
    QCOMPARE(text, QStringLiteral("One line."));
    QCOMPARE(seenIcon, shown);
    QCOMPARE(buttons, 1);
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
    whenModalOpens(
        [&](QWidget *widget) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            QVERIFY(box);
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
    QString prompt, shownDefault;
    QString result = QStringLiteral("unset");
    whenModalOpens(
        [&](QWidget *widget) {
            auto *dialog = qobject_cast<QInputDialog *>(widget);
            QVERIFY(dialog);
            prompt = dialog->labelText();
            shownDefault = dialog->textValue();
            dialog->setTextValue(QStringLiteral("menu"));
            accept ? dialog->accept() : dialog->reject();
        },
        [&] {
            result = dialogs.inputBox(QStringLiteral("Name?"), QStringLiteral("Kestrune"),
                                      QStringLiteral("pre"));
        });
    QCOMPARE(prompt, QStringLiteral("Name?"));
    QCOMPARE(shownDefault, QStringLiteral("pre"));
    QCOMPARE(result, expected);
}

void TstQtPlatform::openFileShowsTitleAndFilter()
{
    app::QtDialogs dialogs;
    QString title;
    QStringList filters;
    QString result = QStringLiteral("unset");
    whenModalOpens(
        [&](QWidget *widget) {
            auto *dialog = qobject_cast<QFileDialog *>(widget);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            dialog->reject();
        },
        [&] {
            result = dialogs.openFile(QStringLiteral("Load Image"),
                                      QStringLiteral("Pictures (*.bmp *.jpg)"));
        });
    QCOMPARE(title, QStringLiteral("Load Image"));
    QCOMPARE(filters, QStringList{QStringLiteral("Pictures (*.bmp *.jpg)")});
    QCOMPARE(result, QString());
}

void TstQtPlatform::clipboardTakesAndLosesText()
{
    app::QtClipboard clipboard;
    clipboard.setText(QStringLiteral("<html>"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("<html>"));
    clipboard.clear();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TstQtPlatform::urlGoesToTheDesktopsHandler()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "take");
    app::QtUrlOpener opener;
    const QUrl page(QStringLiteral("http://www.kestrune.example/Plenwick/help.htm"));
    QVERIFY(opener.open(page));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(catcher.urls, QList<QUrl>{page});
}

QTEST_MAIN(TstQtPlatform)
#include "tst_qtplatform.moc"
