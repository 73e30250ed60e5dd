#include "program.h"

#include "common/maker.h"
#include "imaging/imageman.h"

#include <QApplication>

namespace app {

namespace {

// Runs before the members are built: the window reads the settings in its
// constructor.
QtDialogs prepared()
{
    QApplication::setApplicationName(QLatin1String(common::kProgramTitle));
    QApplication::setOrganizationName(QLatin1String(common::kProgramTitle));
    // Lets the desktop match the window to its entry and icon.
    QApplication::setDesktopFileName(QLatin1String(common::kDesktopId));
    imaging::initialize();
    return QtDialogs();
}

} // namespace

Program::Program()
    : m_dialogs(prepared())
    , m_window(m_dialogs, m_clipboard, m_opener)
{
    m_dialogs.setParent(&m_window);
    m_window.Form_Load();
}

} // namespace app
