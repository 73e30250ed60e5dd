#include "droptarget.h"

#include "convert/typepattern.h"
#include "rollover/plateloader.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace app {

DropTarget::DropTarget(QWidget *control, DropKind kind)
    : QObject(control)
    , m_kind(kind)
{
    auto *area = qobject_cast<QAbstractScrollArea *>(control);
    QWidget *receiver = area ? area->viewport() : control;
    receiver->setAcceptDrops(true);
    receiver->installEventFilter(this);
}

QString DropTarget::droppedPath(const QMimeData *data, DropKind kind)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return {};
    const QFileInfo item(data->urls().first().toLocalFile());
    const bool fits = kind == DropKind::Folder
        ? item.isDir()
        : item.isFile() && convert::matchesPattern(item.fileName(), rollover::allPicturesPatterns());
    return fits ? item.absoluteFilePath() : QString();
}

bool DropTarget::eventFilter(QObject *, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = droppedPath(drop->mimeData(), m_kind);
    if (path.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop)
        emit dropped(path);
    return true;
}

} // namespace app
