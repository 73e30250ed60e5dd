#include "filelist.h"

#include "folderaccess.h"

#include "common/nativename.h"

namespace app {

FileList::FileList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit entryDoubleClicked(); });
}

QString FileList::path() const
{
    return m_path;
}

bool FileList::setPath(const QString &path)
{
    m_path = path.isEmpty() ? path : convert::absolutePath(path);
    const bool ok = reload();
    emit pathChanged();
    return ok;
}

QString FileList::pattern() const
{
    return m_pattern;
}

bool FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    const bool ok = reload();
    emit patternChanged();
    return ok;
}

QString FileList::errorString() const
{
    return m_error;
}

QString FileList::entry(int row) const
{
    const QListWidgetItem *found = item(row);
    return found ? found->data(Qt::UserRole).toString() : QString();
}

int FileList::selectedIndex() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

bool FileList::reload()
{
    clear();
    m_leftOut.clear();
    if (m_path.isEmpty()) {
        m_error.clear();
        return true;
    }
    m_error = folderFault(m_path);
    if (!m_error.isEmpty())
        return false;
    const convert::SourceListing listing = convert::listSources(m_path, m_pattern);
    for (const QString &name : listing.names)
        (new QListWidgetItem(common::shownName(name), this))->setData(Qt::UserRole, name);
    m_leftOut = listing.leftOut;
    return true;
}

} // namespace app
