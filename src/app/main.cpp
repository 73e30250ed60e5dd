#include "program.h"

#include "cli/commandline.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The commands need no display, so no GUI application exists before
    // the window is wanted.
    if (!cli::wantsWindow(argc, argv))
        return cli::runCommand(argc, argv);
    QApplication app(argc, argv);
    app::Program program;
    return app.exec();
}
