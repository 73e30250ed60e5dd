#pragma once

#include <QObject>
#include <QString>

class QMimeData;
class QWidget;

namespace app {

// What a control takes when something is dropped on it.
enum class DropKind {
    Folder,       // one local folder
    PlatePicture, // one local file the plate dialog would offer
};

// Lets `control` take drops of one item of `kind` and reports each with
// dropped(). Anything else (several items, a file where a folder is wanted,
// a remote address) is refused while it is dragged over the control, so the
// pointer shows that it cannot be dropped there. A drop is taken as a copy,
// so the program it came from never deletes the original. For an item view
// the drops arrive at its viewport. Owned by the control.
class DropTarget : public QObject
{
    Q_OBJECT

public:
    DropTarget(QWidget *control, DropKind kind);

    // The path a drop of `data` would give, or an empty text when it is refused.
    static QString droppedPath(const QMimeData *data, DropKind kind);

signals:
    void dropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DropKind m_kind;
};

} // namespace app
