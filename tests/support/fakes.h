#pragma once

#include "common/desktop.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Stand-ins for the desktop that record every call and answer from scripts,
// so tests never wait on a modal box or start a browser.
namespace fakes {

class Dialogs : public common::Dialogs
{
public:
    struct Message {
        QString text, title;
        Icon icon;
    };
    struct Question {
        QString prompt, title, defaultText;
    };

    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        inputs.append({prompt, title, defaultText});
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    bool askYesNo(const QString &text, const QString &title) override
    {
        questions.append({text, title, {}});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
    void messageBox(const QString &text, const QString &title, Icon icon) override
    {
        messages.append({text, title, icon});
    }
    QString openFile(const QString &title, const QString &filter) override
    {
        fileRequests.append({filter, title, {}});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    // Answers, used first to last; an empty script answers "cancelled".
    QStringList inputAnswers;
    QList<bool> yesNoAnswers;
    QStringList fileAnswers;

    QList<Question> inputs;
    QList<Question> questions;
    QList<Message> messages;
    QList<Question> fileRequests; // prompt holds the filter
};

class Clipboard : public common::Clipboard
{
public:
    void clear() override { ++clears; text.clear(); }
    void setText(const QString &newText) override { text = newText; texts.append(newText); }

    int clears = 0;
    QString text;
    QStringList texts;
};

class UrlOpener : public common::UrlOpener
{
public:
    bool open(const QUrl &url) override { opened.append(url); return succeed; }

    bool succeed = true;
    QList<QUrl> opened;
};

} // namespace fakes
