#include "sourcefiles.h"

#include <QDir>
#include <QRegularExpression>

namespace convert {

namespace {

// Only '*' and '?' are wildcards; brackets and every other character stand
// for themselves, as in the desktop's file lists.
QRegularExpression wildcardExpression(const QString &wildcard)
{
    QString expression = QStringLiteral("\\A");
    for (const QChar c : wildcard) {
        if (c == QLatin1Char('*'))
            expression += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    expression += QStringLiteral("\\z");
    return QRegularExpression(expression, QRegularExpression::CaseInsensitiveOption
                                              | QRegularExpression::DotMatchesEverythingOption);
}

} // namespace

QString buildTypePattern(const TypeTicks &ticks)
{
    QString pattern;
    for (int i = 0; i < common::kFileTypeCount; ++i) {
        if (ticks[i])
            pattern += QStringLiteral("*.") + QLatin1String(common::kFileTypes[i].extension) + QLatin1Char(';');
    }
    if (pattern.endsWith(QLatin1Char(';')))
        pattern.chop(1);
    if (pattern.isEmpty())
        pattern = QStringLiteral("*.*");
    return pattern;
}

QString defaultTypePattern()
{
    TypeTicks all;
    all.fill(true);
    return buildTypePattern(all);
}

bool matchesPattern(const QString &name, const QString &pattern)
{
    const QStringList wildcards = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString wildcard : wildcards) {
        wildcard = wildcard.trimmed();
        if (wildcard.isEmpty())
            continue;
        const QRegularExpression expression = wildcardExpression(wildcard);
        if (expression.match(name).hasMatch())
            return true;
        if (wildcard.endsWith(QLatin1String(".*")) && !name.contains(QLatin1Char('.'))
            && expression.match(name + QLatin1Char('.')).hasMatch())
            return true;
    }
    return false;
}

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    const QStringList all = QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QStringList matching;
    for (const QString &name : all) {
        if (matchesPattern(name, pattern))
            matching.append(name);
    }
    return matching;
}

} // namespace convert
