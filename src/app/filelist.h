#pragma once

#include "convert/sourcefiles.h"

#include <QListWidget>

namespace app {

// The regular, visible files of one folder whose names match the pattern
// (';'-separated wildcards, any letter case), sorted by name, one selectable:
// convert::listSources(). Each shows its name with common::shownName() and
// keeps the name as the system gives it for the conversion.
class FileList : public QListWidget
{
    Q_OBJECT

public:
    explicit FileList(QWidget *parent = nullptr);

    QString path() const;
    // Lists the folder and raises pathChanged() at once, even when the folder
    // cannot be read: the list is then empty, false is returned and
    // errorString() says why, so the list never shows another folder's files.
    bool setPath(const QString &path);
    QString pattern() const;
    // Relists the folder with the new pattern and raises patternChanged() at
    // once, also when the pattern is the same as before.
    bool setPattern(const QString &pattern);
    QString errorString() const;

    // Bare file names without folder, carried bytes and all.
    QString entry(int row) const;
    // What the folder holds under the pattern that is not listed, and why.
    QList<convert::LeftOut> leftOut() const { return m_leftOut; }
    // -1 when no entry is selected.
    int selectedIndex() const;

signals:
    void pathChanged();
    void patternChanged();
    void entryDoubleClicked();

private:
    bool reload();

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    QString m_error;
    QList<convert::LeftOut> m_leftOut;
};

} // namespace app
