#include "qtdialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace app {

QtDialogs::QtDialogs(QWidget *parent)
    : m_parent(parent)
{
}

void QtDialogs::setParent(QWidget *parent)
{
    m_parent = parent;
}

QString QtDialogs::inputBox(const QString &prompt, const QString &title,
                            const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal,
                                               defaultText, &ok);
    return ok ? text : QString();
}

bool QtDialogs::askYesNo(const QString &text, const QString &title)
{
    // No icon: QMessageBox::question() would add a question mark.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::messageBox(const QString &text, const QString &title, Icon icon)
{
    const QMessageBox::Icon shown = icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::Information;
    QMessageBox box(shown, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtDialogs::openFile(const QString &title, const QString &filter)
{
    // Qt's own dialog matches the filter's extensions in any letter case; a
    // native one may not. The filter's description is shown as it stands,
    // without Qt's list of its patterns after it.
    return QFileDialog::getOpenFileName(m_parent, title, QString(), filter, nullptr,
                                        QFileDialog::DontUseNativeDialog
                                            | QFileDialog::HideNameFilterDetails);
}

} // namespace app
