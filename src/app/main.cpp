#include "program.h"

#include "cli/commandline.h"
#include "common/maker.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The data folder that keeps the working plates, and the desktop's match
    // of the window to its entry and icon, go by these names.
    QApplication::setApplicationName(QLatin1String(common::kProgramTitle));
    QApplication::setOrganizationName(QLatin1String(common::kProgramTitle));
    QApplication::setDesktopFileName(QLatin1String(common::kDesktopId));
    // The commands need no display, so no GUI application exists before
    // the window is wanted.
    if (!cli::wantsWindow(argc, argv))
        return cli::runCommand(argc, argv);
    QApplication app(argc, argv);
    app::Program program;
    return app.exec();
}
