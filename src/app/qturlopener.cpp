#include "qturlopener.h"

#include <QDesktopServices>

namespace app {

bool QtUrlOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace app
