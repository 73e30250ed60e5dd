#pragma once

#include <QList>
#include <QString>

namespace convert {

struct FileOutcome;
struct LeftOut;

// The window caption at the start of a run: "12 images to convert.".
QString startCaption(qsizetype count);

// The caption as the file at `position` (from 0) is handed out, with the
// list's count at that moment: "Now Processing # 3 of 12".
QString progressCaption(qsizetype position, qsizetype count);

// The one message shown after a run (or a single file) with failures: how
// many of how many files failed, then each failed file and its reason.
QString failureMessage(const QList<FileOutcome> &failures, qsizetype attempted);

// The message at the end of a run: failureMessage() when files failed, then,
// after a blank line, leftOutSentence() (sourcefiles.h) when the run's folder
// had files it did not take; empty when there is nothing to say.
QString endMessage(const QList<FileOutcome> &failures, qsizetype attempted, const QList<LeftOut> &leftOut);

// The question before a run that would replace `sources` (full paths, at
// least one) by their converted copies: "3 files will be replaced by their
// converted copies (first: a.jpg). Replace them?", the first named bare.
QString replaceQuestion(const QStringList &sources);

} // namespace convert
