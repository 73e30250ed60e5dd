#pragma once

#include <QComboBox>
#include <QStringList>

namespace app {

// The volumes that hold files, as a drop-down list: the root first, then
// removable media and other mounts. A drive is named by its root path.
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    // The root path of the chosen drive.
    QString drive() const;
    // Replaces the list. Shows the first drive without raising changed().
    void setDrives(const QStringList &roots);
    // Shows the drive that holds `path` without raising changed(), adding
    // that drive when the list lacks it: used to keep the list in step with
    // a folder list.
    void showDriveOf(const QString &path);

    // The mounted volumes of this machine that hold files.
    static QStringList mountedDrives();

signals:
    // The user (or setCurrentIndex) chose another drive; raised at once.
    void changed();

private:
    bool m_quiet = false;
};

} // namespace app
