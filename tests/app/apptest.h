#pragma once

#include "fakes.h"

#include "app/filelist.h"
#include "app/form1.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

// A throw-away home for one window test: the settings live under it, and its
// empty `source` folder is the current folder, where the window opens.
class Fixture
{
protected:
    void setUp()
    {
        m_dialogs = {};
        m_opener = {};
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = QFileInfo(m_dir->path()).canonicalFilePath();
        QVERIFY(QDir(m_root).mkpath(QStringLiteral("config")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_root + "/config");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_root + "/config");
        m_source = m_root + QStringLiteral("/source");
        QVERIFY(QDir(m_root).mkpath(QStringLiteral("source")));
        m_savedCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_source));
    }
    void tearDown()
    {
        QDir::setCurrent(m_savedCurrent);
        m_dir.reset();
    }
    std::unique_ptr<Form1> newForm(bool load = true)
    {
        auto form = std::make_unique<Form1>(m_dialogs, m_clipboard, m_opener);
        if (load)
            form->Form_Load();
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
