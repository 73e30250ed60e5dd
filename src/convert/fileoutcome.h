#pragma once

#include <QMetaType>
#include <QSize>
#include <QString>

namespace convert {

// What became of one file.
struct FileOutcome {
    qsizetype position = -1; // in the run, from 0; -1 for a single file
    QString name;            // the list entry
    QString source;          // full path read; empty when there was no entry
    QString output;          // full path written (or that would have been)
    bool converted = false;
    // For a failure the reason, naming the file; for a success a note the
    // user should hear of (a PCD written at its base size), usually empty.
    QString message;
    QSize size = {}; // of the picture written, in pixels; empty when none was
};

} // namespace convert

Q_DECLARE_METATYPE(convert::FileOutcome)
