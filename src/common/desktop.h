#pragma once

#include <QString>
#include <QUrl>

// The few things the pages ask of the desktop, behind small interfaces so
// that the core can be driven without a window and tests can answer every
// question without a modal loop. The Qt versions live in src/app.
namespace common {

class Dialogs
{
public:
    enum class Icon { Information, Warning };

    virtual ~Dialogs() = default;

    // The typed text, or an empty text when the user cancels.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &defaultText) = 0;
    // Yes and No buttons, Yes the default, no icon; true for Yes.
    virtual bool askYesNo(const QString &text, const QString &title) = 0;
    // One OK button.
    virtual void messageBox(const QString &text, const QString &title, Icon icon) = 0;
    // The chosen file's full path, or an empty text when cancelled. `filter`
    // is one Qt filter entry, e.g. "Pictures (*.bmp *.jpg)".
    virtual QString openFile(const QString &title, const QString &filter) = 0;
};

class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    virtual void setText(const QString &text) = 0;
};

class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    // False when no browser could be started for the address.
    virtual bool open(const QUrl &url) = 0;
};

} // namespace common
