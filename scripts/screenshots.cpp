// Starts the window as the program does and saves a picture of each page.
// Run through scripts/screenshots, which provides the display and a folder
// of sample files to list.
#include "program.h"
#include "tabcontrol.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    app::Program program;
    app::MainWindow &window = program.window();

    const QDir output(QString::fromLocal8Bit(argv[1]));
    const char *const pages[] = {"batch-convert.png", "parse-clips.png"};
    for (int page = 0; page < 2; ++page) {
        window.pages()->setCurrentIndex(page);
        QApplication::processEvents();
        const QString path = output.filePath(QLatin1String(pages[page]));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
