#pragma once

#include <QListWidget>

namespace app {

// The open folder's ancestors from the root down, the open folder itself and
// its subfolders. A double-click or Enter on an entry opens that folder;
// merely highlighting one changes nothing.
class FolderList : public QListWidget
{
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    // The open folder; empty before the first successful setPath().
    QString path() const;
    // Opens the folder and raises changed() at once. When it cannot be read
    // the list keeps showing the previous folder, nothing is raised, false is
    // returned and errorString() says why.
    bool setPath(const QString &path);
    QString errorString() const;

    // The folder an entry stands for.
    QString entryPath(int row) const;
    // Opens the folder of an entry, as a double-click does.
    void openEntry(int row);

signals:
    void changed();
    // An entry the user opened could not be read.
    void openFailed(const QString &path, const QString &reason);

private:
    void fill();

    QString m_path;
    QString m_error;
};

} // namespace app
