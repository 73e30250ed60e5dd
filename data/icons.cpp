// Writes the program's icon at the desktop's sizes into an icon theme tree:
// <folder>/<n>x<n>/apps/<id>.png. Run by the build, so the installed icons are
// always the window's own drawing.

#include "app/artwork.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: kestrune-icons FOLDER ID\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString id = QString::fromLocal8Bit(argv[2]);
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString path = QStringLiteral("%1/%2.png").arg(apps, id);
        if (!QDir().mkpath(apps) || !app::programIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "kestrune-icons: %s cannot be written\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
