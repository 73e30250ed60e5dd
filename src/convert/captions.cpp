#include "captions.h"

#include "fileoutcome.h"

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

} // namespace convert
