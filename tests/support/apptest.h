#pragma once

#include "fakes.h"

#include "app/filelist.h"
#include "app/mainwindow.h"
#include "app/tabcontrol.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// What the window tests share: an empty file, the names a file list shows,
// a double-click, and a throw-away home for each test.
namespace apptest {

inline void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

inline QStringList entries(const app::FileList *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->entry(i));
    return names;
}

// An item view takes a double-click only after the press that began it.
inline void doubleClick(QAbstractItemView *view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// The controls Tab reaches from the tab row until it comes back there, by
// layout name.
inline QStringList tabStops(app::MainWindow *form)
{
    form->pages()->setFocus(Qt::TabFocusReason);
    QStringList stops;
    for (QWidget *at = nullptr; stops.size() < 100 && at != form->pages(); stops << at->objectName()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        for (at = QApplication::focusWidget(); at->objectName().isEmpty() || at->objectName().startsWith("qt_");)
            at = at->parentWidget();
    }
    return stops.mid(0, stops.size() - 1);
}

// The settings live under the home (`config`), and its empty `source`
// folder is the current folder, where the window opens. The working plates
// live there too (`data`), so none from an earlier test shows in the next.
class Fixture
{
protected:
    void setUp()
    {
        m_dialogs = {};
        m_clipboard = {};
        m_opener = {};
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = QFileInfo(m_dir->path()).canonicalFilePath();
        m_source = m_root + QStringLiteral("/source");
        QVERIFY(m_dir->isValid() && QDir(m_root).mkpath(QStringLiteral("config")) && QDir(m_root).mkpath(m_source));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_root + QStringLiteral("/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_root + QStringLiteral("/data")));
        m_savedCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_source));
    }
    void tearDown()
    {
        QDir::setCurrent(m_savedCurrent);
        m_dir.reset();
    }
    std::unique_ptr<app::MainWindow> newForm(bool load = true)
    {
        auto form = std::make_unique<app::MainWindow>(m_dialogs, m_clipboard, m_opener);
        if (load)
            form->start();
        return form;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_source;
    QString m_savedCurrent;
    fakes::Dialogs m_dialogs;
    fakes::Clipboard m_clipboard;
    fakes::UrlOpener m_opener;
};

} // namespace apptest
