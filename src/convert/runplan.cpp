#include "runplan.h"

#include "sourcefiles.h"

#include "common/nativename.h"

#include <cstdlib>

namespace convert {

namespace {

// The system's full path for `path`, links, "." and ".." resolved; empty
// when nothing has that name.
QString resolved(const QString &path)
{
    char *real = realpath(common::nativeName(path).constData(), nullptr);
    if (!real)
        return {};
    const QString name = common::nameFromNative(real);
    std::free(real);
    return name;
}

QString nameKey(const QString &path)
{
    const QString absolute = absolutePath(path);
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    const QString folder = resolved(slash > 0 ? absolute.left(slash) : QStringLiteral("/"));
    if (folder.isEmpty())
        return absolute;
    return (folder == QLatin1String("/") ? QString() : folder) + absolute.mid(slash);
}

QString fileKey(const QString &path)
{
    const QString real = resolved(path);
    return real.isEmpty() ? nameKey(path) : real;
}

} // namespace

QStringList replacedSources(const QList<ConversionJob> &plans)
{
    QStringList replaced;
    for (const ConversionJob &plan : plans) {
        if (!plan.refusal.isEmpty())
            continue;
        const QString output = nameKey(plan.output);
        if (output == fileKey(plan.source) || output == nameKey(plan.source))
            replaced.append(plan.source);
    }
    return replaced;
}

namespace detail {

FileKeys keysOf(const ConversionJob &plan)
{
    if (!plan.refusal.isEmpty())
        return {};
    return {fileKey(plan.source), nameKey(plan.source), nameKey(plan.output)};
}

void RunFiles::addEntry(const QString &source)
{
    entries.unite({fileKey(source), nameKey(source)});
}

QString refusal(const ConversionJob &plan, const FileKeys &keys, const RunFiles *run, bool single,
                const QString &keepSourcesAdvice)
{
    if (!run || keys.output.isEmpty())
        return {};
    const QString cannot = QStringLiteral("Cannot convert %1: ").arg(common::shownName(plan.source));
    const QString output = common::shownName(plan.output);
    const bool ownSource = keys.output == keys.source || keys.output == keys.sourceName;
    if (!ownSource && run->entries.contains(keys.output))
        return cannot + QStringLiteral("%1 is %2 and would be replaced.")
                            .arg(output, single ? QStringLiteral("a file of the batch run in progress")
                                                : QStringLiteral("another file of this run"));
    if (const auto from = run->written.constFind(keys.output); from != run->written.cend())
        return cannot + QStringLiteral("%1 was already written from %2 %3.")
                            .arg(output, common::shownName(*from),
                                 single ? QStringLiteral("by the batch run in progress") : QStringLiteral("in this run"));
    if (ownSource && !single && run->rule == SourceRule::Keep)
        return cannot + QStringLiteral("the output %1 would replace its source%2.")
                            .arg(output, keepSourcesAdvice.isEmpty() ? QString() : QStringLiteral("; ") + keepSourcesAdvice);
    return {};
}

QList<ConversionJob> planRun(const QStringList &sources, const std::function<FileChoices(qsizetype)> &choices,
                             SourceRule rule, const QString &keepSourcesAdvice)
{
    RunFiles run;
    run.rule = rule;
    for (const QString &source : sources)
        run.addEntry(source);
    QList<ConversionJob> plans;
    for (qsizetype position = 0; position < sources.size(); ++position) {
        ConversionJob plan = planConversion(choices(position), position);
        const FileKeys keys = keysOf(plan);
        if (!keys.output.isEmpty()) {
            plan.refusal = refusal(plan, keys, &run, false, keepSourcesAdvice);
            if (plan.refusal.isEmpty())
                run.written.insert(keys.output, plan.source);
        }
        plans.append(plan);
    }
    return plans;
}

} // namespace detail

} // namespace convert
