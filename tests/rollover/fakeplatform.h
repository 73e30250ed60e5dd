#pragma once

#include "common/platform.h"

#include <QStringList>
#include <QTest>

// Answers the questions a test has lined up, in order, and records every
// question and message, so that no modal loop ever runs.
class FakeDialogs : public common::Dialogs
{
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    QStringList inputAnswers;
    QList<bool> yesNoAnswers;
    QStringList fileAnswers;

    QStringList inputPrompts;
    QStringList inputTitles;
    QStringList inputDefaults;
    QStringList questions;
    QStringList questionTitles;
    QList<Message> messages;
    QStringList fileTitles;
    QStringList fileFilters;

    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        inputPrompts.append(prompt);
        inputTitles.append(title);
        inputDefaults.append(defaultText);
        if (inputAnswers.isEmpty()) {
            QTest::qFail("an input box was not expected", __FILE__, __LINE__);
            return {};
        }
        return inputAnswers.takeFirst();
    }

    bool askYesNo(const QString &text, const QString &title) override
    {
        questions.append(text);
        questionTitles.append(title);
        if (yesNoAnswers.isEmpty()) {
            QTest::qFail("a question was not expected", __FILE__, __LINE__);
            return false;
        }
        return yesNoAnswers.takeFirst();
    }

    void messageBox(const QString &text, const QString &title, Icon icon) override
    {
        messages.append({text, title, icon});
    }

    QString openFile(const QString &title, const QString &filter) override
    {
        fileTitles.append(title);
        fileFilters.append(filter);
        if (fileAnswers.isEmpty()) {
            QTest::qFail("a file dialog was not expected", __FILE__, __LINE__);
            return {};
        }
        return fileAnswers.takeFirst();
    }
};

class FakeClipboard : public common::Clipboard
{
public:
    QStringList calls;   // "clear" or "text"
    QString text;
    bool holdsText = false;

    void clear() override
    {
        calls.append(QStringLiteral("clear"));
        text.clear();
        holdsText = false;
    }
    void setText(const QString &value) override
    {
        calls.append(QStringLiteral("text"));
        text = value;
        holdsText = true;
    }
};

class FakeUrlOpener : public common::UrlOpener
{
public:
    QList<QUrl> opened;
    bool open(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
};
