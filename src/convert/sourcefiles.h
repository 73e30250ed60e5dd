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
    bool link = false; // a symbolic link, its kind that of what it leads to
};

// The visible entries of `folder` (no "." or "..", no name starting with a
// dot), sorted by name without regard to letter case; `hidden`, when given,
// counts the names starting with a dot. False, with the system's reason in
// `error`, when the folder cannot be read.
bool listFolder(const QString &folder, QList<FolderEntry> *entries, QString *error, qsizetype *hidden = nullptr);

// An entry of a folder that matched the type pattern but is not converted.
struct LeftOut {
    QString path;   // full path, carried bytes and all
    QString reason; // "is a named pipe, not a file"
};

// How many entries of the folders a run takes its files from it leaves out,
// by reason; each entry counts once, under the first reason that holds.
struct LeftOutCounts {
    qsizetype hidden = 0;      // names starting with a dot, folders among them
    qsizetype subfolders = 0;  // folders not descended into
    qsizetype folderLinks = 0; // symbolic links to folders, never followed
    qsizetype otherTypes = 0;  // names the type pattern does not match
    qsizetype notFiles = 0;    // matching names that are not files, each in SourceListing::leftOut
    qsizetype unreadable = 0;  // subfolders that cannot be read, each in SourceListing::leftOut
    qsizetype outputFolders = 0; // the run's output folder met on a recursive walk, never entered

    qsizetype total() const
    {
        return hidden + subfolders + folderLinks + otherTypes + notFiles + unreadable + outputFolders;
    }
    LeftOutCounts &operator+=(const LeftOutCounts &other);
};

struct SourceListing {
    QStringList names;      // regular files and links to them, as listFolder() sorts them
    QList<LeftOut> leftOut; // entries matching the pattern that are neither files nor folders
    LeftOutCounts counts;   // every entry left out, by reason
    QString error;          // why the folder cannot be read; empty when it can
};

// The files of `folder` a conversion takes: the visible regular files (and
// links to them) whose names match the type pattern `pattern`. A folder
// named like a picture is the folder list's, not left out. With `recursive`
// the visible subfolders are listed too, each folder's files before its
// subfolders', and names are paths relative to `folder` ("2024/may/a.jpg");
// links to folders are never followed and a folder reached a second time
// (a bind mount) is not listed again. Without it, subfolders are left out.
// A subfolder that is `outputFolder` (the same device and inode, however
// either is spelt) is never entered, so a second run does not take the first
// one's outputs for sources; empty, or a folder that does not exist yet,
// leaves nothing out.
SourceListing listSources(const QString &folder, const QString &pattern, bool recursive = false,
                          const QString &outputFolder = {});

// The names of listSources(); empty when the folder cannot be read.
QStringList matchingFiles(const QString &folder, const QString &pattern);

// What a run tells of the files it left out, one sentence naming each file
// shown with common::shownName(): "2 files were left out: /in/p.jpg is a
// named pipe, not a file; /in/s.png is a socket, not a file."; empty for none.
QString leftOutSentence(const QList<LeftOut> &leftOut);

// The counts in words, in a fixed order and only the reasons that hold:
// "5 left out: 3 of other types, 2 hidden"; empty when nothing was left out.
QString leftOutCountText(const LeftOutCounts &counts);

// Each entry of `leftOut` and why, as leftOutSentence() names them, without
// its opening words and full stop: "/in/p.jpg is a named pipe, not a file;
// /in/s.png is a socket, not a file"; empty for none.
QString leftOutNames(const QList<LeftOut> &leftOut);

// The kind of whatever `path` names, links followed; `reason` as for
// FolderEntry, or the system's reason when nothing can be found there.
EntryKind entryKind(const QString &path, QString *reason = nullptr);

// `path` made absolute against the current folder (read as the system's
// bytes) and cleaned of "." and "..", by its text alone.
QString absolutePath(const QString &path);

} // namespace convert
