#include "folderlist.h"

#include "folderaccess.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "convert/sourcefiles.h"

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
    m_path = convert::absolutePath(path);
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
    // The path is absolute and clean, so its text alone gives the ancestors;
    // asking the system would lose names that are not UTF-8.
    const auto add = [this](QStyle::StandardPixmap icon, const QString &name, int depth, const QString &folder) {
        auto *entry = new QListWidgetItem(style()->standardIcon(icon), indented(common::shownName(name), depth), this);
        entry->setData(Qt::UserRole, folder);
    };
    int depth = 0;
    add(QStyle::SP_DirOpenIcon, QStringLiteral("/"), depth++, QStringLiteral("/"));
    QString folder;
    for (const QString &name : m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        folder += QLatin1Char('/') + name;
        add(QStyle::SP_DirOpenIcon, name, depth++, folder);
    }
    const int open = count() - 1;
    for (const QString &name : subfolders(m_path))
        add(QStyle::SP_DirClosedIcon, name, depth, common::joinPath(folder, name));
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
