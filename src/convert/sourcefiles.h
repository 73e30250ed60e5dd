#pragma once

#include "convert/typepattern.h"

#include <QList>
#include <QString>
#include <QStringList>

// Which files of a folder a conversion takes, shared by the window and the
// command line, and what the folder lists of the window are made of. Names
// are read as the system's bytes and carried as common/nativename.h carries
// them, so a name that is not UTF-8 is listed like any other. The type
// pattern itself, and the callers' TypeTicks, are typepattern.h's.
namespace convert {

// What an entry of a folder is, a symbolic link judged by what it leads to.
enum class EntryKind { File, Folder, Other };

struct FolderEntry {
    QString name;   // bare name, carried bytes and all
    EntryKind kind = EntryKind::Other;
    QString reason; // for Other, why it is not a file: "is a named pipe, not a file"
};

// The visible entries of `folder` (no "." or "..", no name starting with a
// dot), sorted by name without regard to letter case. False, with the
// system's reason in `error`, when the folder cannot be read.
bool listFolder(const QString &folder, QList<FolderEntry> *entries, QString *error);

// An entry of a folder that matched the type pattern but is not converted.
struct LeftOut {
    QString path;   // full path, carried bytes and all
    QString reason; // "is a named pipe, not a file"
};

struct SourceListing {
    QStringList names;      // regular files and links to them, as listFolder() sorts them
    QList<LeftOut> leftOut; // entries matching the pattern that are neither files nor folders
    QString error;          // why the folder cannot be read; empty when it can
};

// The files of `folder` a conversion takes: the visible regular files (and
// links to them) whose names match the type pattern `pattern`. A folder
// named like a picture is the folder list's, not left out.
SourceListing listSources(const QString &folder, const QString &pattern);

// The names of listSources(); empty when the folder cannot be read.
QStringList matchingFiles(const QString &folder, const QString &pattern);

// What a run tells of the files it left out, one sentence naming each file
// shown with common::shownName(): "2 files were left out: /in/p.jpg is a
// named pipe, not a file; /in/s.png is a socket, not a file."; empty for none.
QString leftOutSentence(const QList<LeftOut> &leftOut);

// The kind of whatever `path` names, links followed; `reason` as for
// FolderEntry, or the system's reason when nothing can be found there.
EntryKind entryKind(const QString &path, QString *reason = nullptr);

// `path` made absolute against the current folder (read as the system's
// bytes) and cleaned of "." and "..", by its text alone.
QString absolutePath(const QString &path);

} // namespace convert
