#include "folderlist.h"

#include "folderaccess.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "convert/sourcefiles.h"

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
    const auto add = [this](const QString &name, int depth, const QString &folder) {
        (new QListWidgetItem(indented(common::shownName(name), depth), this))->setData(Qt::UserRole, folder);
    };
    int depth = 0;
    add(QStringLiteral("/"), depth++, QStringLiteral("/"));
    QString folder;
    for (const QString &name : m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        folder += QLatin1Char('/') + name;
        add(name, depth++, folder);
    }
    const int open = count() - 1;
    for (const QString &name : subfolders(m_path))
        add(name, depth, common::joinPath(folder, name));
    setCurrentRow(open);
    scrollToItem(item(open), QAbstractItemView::PositionAtTop);
}

} // namespace app
