#include "typepattern.h"

#include "common/maker.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

namespace convert {

namespace {

// Named here rather than through the application's names, so the command
// line and the tests reach the same store as the window.
QSettings typeStore()
{
    return QSettings(QLatin1String(common::kProgramTitle), QLatin1String(common::kProgramTitle));
}

const QString kStoreKey = QStringLiteral("stashes/filetypes");

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

// A name's byte that is not UTF-8 is carried as a lone surrogate, which the
// expression engine refuses as text; as U+FFFD it is still one character.
QString matchableName(const QString &name)
{
    QString text = name;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

QString buildTypePattern(const TypeTicks &ticks)
{
    QStringList wildcards;
    for (int i = 0; i < imaging::kFileTypeCount; ++i) {
        if (ticks[i])
            wildcards.append(QStringLiteral("*.") + QLatin1String(imaging::kFormats[i].extension));
    }
    return wildcards.isEmpty() ? QStringLiteral("*.*") : wildcards.join(QLatin1Char(';'));
}

QString defaultTypePattern()
{
    TypeTicks all;
    all.fill(true);
    return buildTypePattern(all);
}

QString typesPattern(const QList<imaging::FileType> &types)
{
    QStringList wildcards;
    for (const imaging::Format &format : imaging::kFormats) {
        if (!types.contains(format.type))
            continue;
        wildcards.append(QStringLiteral("*.") + QLatin1String(format.extension));
        if (format.type == imaging::FileType::Heic)
            wildcards.append(QStringLiteral("*.heif"));
    }
    return wildcards.isEmpty() ? QStringLiteral("*.*") : wildcards.join(QLatin1Char(';'));
}

QString allTypesPattern()
{
    QList<imaging::FileType> all;
    for (const imaging::Format &format : imaging::kFormats)
        all.append(format.type);
    return typesPattern(all);
}

TypeTicks restoredTicks(const QString &pattern)
{
    TypeTicks ticks{};
    for (int i = 0; i < imaging::kFileTypeCount; ++i)
        ticks[i] = pattern.contains(QLatin1String(imaging::kFormats[i].extension), Qt::CaseSensitive);
    return ticks;
}

bool matchesPattern(const QString &fileName, const QString &pattern)
{
    const QString name = matchableName(fileName);
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

QString readStoredTypePattern()
{
    const QSettings store = typeStore();
    const QVariant value = store.value(kStoreKey, defaultTypePattern());
    // A hand-edited value with a comma comes back as a list; its text is
    // still the pattern the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool storeTypePattern(const QString &pattern, QString *storeFile)
{
    QSettings store = typeStore();
    store.setValue(kStoreKey, pattern);
    store.sync();
    if (storeFile)
        *storeFile = store.fileName();
    return store.status() == QSettings::NoError;
}

} // namespace convert
