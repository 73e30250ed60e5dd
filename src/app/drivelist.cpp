#include "drivelist.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace app {

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_quiet)
            emit changed();
    });
}

QString DriveList::drive() const
{
    return currentText();
}

void DriveList::setDrives(const QStringList &roots)
{
    m_quiet = true;
    clear();
    addItems(roots);
    setCurrentIndex(roots.isEmpty() ? -1 : 0);
    m_quiet = false;
}

void DriveList::showDriveOf(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = QDir::cleanPath(itemText(i));
        const bool holds = clean == root
            || clean.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    m_quiet = true;
    if (best < 0) {
        QString root = QStorageInfo(clean).rootPath();
        if (root.isEmpty())
            root = QDir::rootPath();
        addItem(root);
        best = count() - 1;
    }
    setCurrentIndex(best);
    m_quiet = false;
}

QStringList DriveList::mountedDrives()
{
    static const QStringList systemPrefixes{QStringLiteral("/proc"), QStringLiteral("/sys"),
                                            QStringLiteral("/dev"), QStringLiteral("/run"),
                                            QStringLiteral("/boot"), QStringLiteral("/snap")};
    static const QStringList mediaPrefixes{QStringLiteral("/run/media/")};
    QStringList roots{QDir::rootPath()};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || roots.contains(root))
            continue;
        bool system = false;
        for (const QString &prefix : systemPrefixes) {
            if (root == prefix || root.startsWith(prefix + QLatin1Char('/')))
                system = true;
        }
        for (const QString &prefix : mediaPrefixes) {
            if (root.startsWith(prefix))
                system = false;
        }
        // Bind mounts of single files (as containers make) hold no folder.
        if (!system && QFileInfo(root).isDir())
            roots.append(root);
    }
    return roots;
}

} // namespace app
