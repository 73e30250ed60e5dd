#include "qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace app {

void QtClipboard::clear()
{
    QGuiApplication::clipboard()->clear();
}

void QtClipboard::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace app
