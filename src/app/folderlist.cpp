#include "folderlist.h"

#include "folderaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace app {

namespace {

// Two blanks per level show the tree without a custom delegate.
QString indented(const QString &name, int depth)
{
    return QString(depth * 2, QLatin1Char(' ')) + name;
}

} // namespace

FolderList::FolderList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openEntry(row(item)); });
}

QString FolderList::path() const
{
    return m_path;
}

QString FolderList::errorString() const
{
    return m_error;
}

bool FolderList::setPath(const QString &path)
{
    const QString fault = folderFault(path);
    if (!fault.isEmpty()) {
        m_error = fault;
        return false;
    }
    m_error.clear();
    m_path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    fill();
    emit changed();
    return true;
}

QString FolderList::entryPath(int row) const
{
    const QListWidgetItem *entry = item(row);
    return entry ? entry->data(Qt::UserRole).toString() : QString();
}

void FolderList::openEntry(int row)
{
    const QString target = entryPath(row);
    if (target.isEmpty())
        return;
    if (!setPath(target)) {
        const QString reason = m_error;
        emit openFailed(target, reason);
    }
}

void FolderList::fill()
{
    clear();
    QStringList chain;
    for (QDir dir(m_path);; ) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    int depth = 0;
    for (const QString &folder : std::as_const(chain)) {
        const QString name = QDir(folder).isRoot() ? folder : QFileInfo(folder).fileName();
        auto *entry = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirOpenIcon), indented(name, depth++), this);
        entry->setData(Qt::UserRole, folder);
    }
    const int open = count() - 1;
    for (const QString &name : subfolders(m_path)) {
        auto *entry = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirClosedIcon), indented(name, depth), this);
        entry->setData(Qt::UserRole, QDir(m_path).absoluteFilePath(name));
    }
    // The open folder stays marked whichever entry is highlighted, as the
    // desktop's folder lists do: open folders down to it, its name in bold.
    QFont bold = font();
    bold.setBold(true);
    item(open)->setFont(bold);
    item(open)->setData(Qt::AccessibleDescriptionRole, QStringLiteral("open folder"));
    setCurrentRow(open);
    scrollToItem(item(open), QAbstractItemView::PositionAtTop);
}

} // namespace app
