#include "program.h"

namespace app {

Program::Program()
    : m_window(m_dialogs, m_clipboard, m_opener)
{
    m_dialogs.setParent(&m_window);
    m_window.start();
}

} // namespace app
