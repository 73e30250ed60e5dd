#pragma once

#include "common/desktop.h"

class QWidget;

namespace app {

// The desktop's own message, input and file-open boxes, modal to `parent`.
class QtDialogs : public common::Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr);
    // The window is created after the dialogs it receives.
    void setParent(QWidget *parent);

    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;
    bool askYesNo(const QString &text, const QString &title) override;
    void messageBox(const QString &text, const QString &title, Icon icon) override;
    QString openFile(const QString &title, const QString &filter) override;

private:
    QWidget *m_parent;
};

} // namespace app
