#pragma once

#include <QList>
#include <QString>

namespace convert {

struct FileOutcome;

// The window caption at the start of a run: "12 images to convert.".
QString startCaption(qsizetype count);

// The caption as the file at `position` (from 0) is handed out, with the
// list's count at that moment: "Now Processing # 3 of 12".
QString progressCaption(qsizetype position, qsizetype count);

// The one message shown after a run (or a single file) with failures: how
// many of how many files failed, then each failed file and its reason.
QString failureMessage(const QList<FileOutcome> &failures, qsizetype attempted);

} // namespace convert
