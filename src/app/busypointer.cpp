#include "busypointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace app {

BusyPointer::BusyPointer()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer()
{
    QGuiApplication::restoreOverrideCursor();
}

} // namespace app
