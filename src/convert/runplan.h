#pragma once

#include "fileconversion.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

// What a run may replace, decided before a file is converted: the keys that
// tell two names of one file apart from two files, the files a running run
// protects, and the refusal a file gets. The engine (batchengine.h) asks
// these at hand-out and again before each file starts.
namespace convert {

// Whether a run may replace its own sources: a file whose output is the
// source itself (JPG to JPG into the source's folder, or through a link).
enum class SourceRule {
    Replace, // the source is replaced by its converted copy
    Keep,    // the file fails untouched, with a reason
};

// The sources of `plans` that their own output would replace, in their
// order: what a run under SourceRule::Replace replaces.
QStringList replacedSources(const QList<ConversionJob> &plans);

namespace detail {

// A file's keys: two names of one file have the same key. The source's is
// the file a read reaches, links followed; the name key is a name's folder
// resolved and the name as it is, since a write never goes through a link
// standing at an output's name. All empty for a file that fails untouched.
struct FileKeys {
    QString source;     // the source's file key
    QString sourceName; // the source's name key
    QString output;     // the output's name key
};

FileKeys keysOf(const ConversionJob &plan);

// What a running run's files may not replace, kept by its files in hand
// (double-clicked ones too) for as long as they need it.
struct RunFiles {
    QSet<QString> entries;           // both keys of every source
    QHash<QString, QString> written; // output key -> the source it was written from
    SourceRule rule = SourceRule::Replace;

    void addEntry(const QString &source);
};

// Why the file of `plan` may not be converted as planned, given what `run`
// has written so far; empty when it may, or when `run` is null (no run is
// going). `single`: a double-clicked file, which may replace its own source
// whatever the rule. `keepSourcesAdvice` is added to the reason of a source
// kept under SourceRule::Keep; empty adds nothing.
QString refusal(const ConversionJob &plan, const FileKeys &keys, const RunFiles *run, bool single,
                const QString &keepSourcesAdvice);

// The plans a run of `sources` would make, in their order, each with the
// refusal it would get were every file before it converted. Reads no picture
// and writes nothing.
QList<ConversionJob> planRun(const QStringList &sources, const std::function<FileChoices(qsizetype)> &choices,
                             SourceRule rule, const QString &keepSourcesAdvice);

} // namespace detail

} // namespace convert
