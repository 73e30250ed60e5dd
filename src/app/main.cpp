#include "form1.h"

#include "common/maker.h"
#include "imaging/imageman.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(common::kProgramTitle));
    QApplication::setOrganizationName(QLatin1String(common::kProgramTitle));
    imaging::initialize();

    Form1 window;
    window.show();
    return app.exec();
}
