#include "form1.h"
#include "qtclipboard.h"
#include "qtdialogs.h"
#include "qturlopener.h"

#include "common/maker.h"
#include "imaging/imageman.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(common::kProgramTitle));
    QApplication::setOrganizationName(QLatin1String(common::kProgramTitle));
    imaging::initialize();

    app::QtDialogs dialogs;
    app::QtClipboard clipboard;
    app::QtUrlOpener opener;
    Form1 window(dialogs, clipboard, opener);
    dialogs.setParent(&window);
    window.Form_Load();
    return app.exec();
}
