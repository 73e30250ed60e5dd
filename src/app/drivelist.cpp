#include "drivelist.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace app {

namespace {

// Qt names a drop-down list on Linux by its current text and leaves its name
// to a label beside it; the drive lists have no label, so a screen reader
// would hear "/" for both. Here the name is the list's own and the chosen
// drive is its value.
class AccessibleDriveList : public QAccessibleWidget
{
public:
    explicit AccessibleDriveList(QComboBox *list)
        : QAccessibleWidget(list, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? list()->currentText() : QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == list()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }
    void doAction(const QString &name) override
    {
        if (name == showMenuAction())
            list()->showPopup();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    QComboBox *list() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *accessibleDriveList(const QString &className, QObject *object)
{
    if (className == QLatin1String(DriveList::staticMetaObject.className()))
        return new AccessibleDriveList(static_cast<DriveList *>(object));
    return nullptr;
}

} // namespace

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    static const bool spoken = (QAccessible::installFactory(accessibleDriveList), true);
    Q_UNUSED(spoken);
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
