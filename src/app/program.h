#pragma once

#include "mainwindow.h"
#include "qtclipboard.h"
#include "qtdialogs.h"
#include "qturlopener.h"

namespace app {

// The running program: the window with the desktop's own dialogs, clipboard
// and browser, started as the user sees it. Needs a QApplication, named
// before (main.cpp) so that the settings and data folders agree.
class Program
{
public:
    Program();

    MainWindow &window() { return m_window; }

private:
    QtDialogs m_dialogs;
    QtClipboard m_clipboard;
    QtUrlOpener m_opener;
    MainWindow m_window;
};

} // namespace app
