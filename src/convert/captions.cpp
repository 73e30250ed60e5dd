#include "captions.h"

#include "fileoutcome.h"
#include "sourcefiles.h"

#include "common/nativename.h"

namespace convert {

QString startCaption(qsizetype count)
{
    return QString::number(count) + QStringLiteral(" images to convert.");
}

QString progressCaption(qsizetype position, qsizetype count)
{
    return QStringLiteral("Now Processing # ") + QString::number(position + 1)
        + QStringLiteral(" of ") + QString::number(count);
}

QString failureMessage(const QList<FileOutcome> &failures, qsizetype attempted)
{
    QString text = failures.size() == 1 && attempted == 1
        ? QStringLiteral("The file could not be converted:\n")
        : QStringLiteral("%1 of %2 files could not be converted:\n").arg(failures.size()).arg(attempted);
    for (const FileOutcome &failure : failures)
        text += QLatin1Char('\n') + failure.message;
    return text;
}

QString endMessage(const QList<FileOutcome> &failures, qsizetype attempted, const QList<LeftOut> &leftOut)
{
    QStringList parts;
    if (!failures.isEmpty())
        parts.append(failureMessage(failures, attempted));
    if (!leftOut.isEmpty())
        parts.append(leftOutSentence(leftOut));
    return parts.join(QStringLiteral("\n\n"));
}

QString replaceQuestion(const QStringList &sources)
{
    const QString first = common::shownName(sources.value(0).mid(sources.value(0).lastIndexOf(QLatin1Char('/')) + 1));
    if (sources.size() == 1)
        return QStringLiteral("1 file will be replaced by its converted copy (first: %1). Replace it?").arg(first);
    return QStringLiteral("%1 files will be replaced by their converted copies (first: %2). Replace them?")
        .arg(sources.size())
        .arg(first);
}

} // namespace convert
