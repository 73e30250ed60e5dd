#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace common {
class Clipboard;
class Dialogs;
}
namespace imaging {
class ImageMan;
}

namespace rollover {

class CutLineList;

// The JPEG quality an answer to the compression prompt asks for (higher is
// better): its leading number (common/numberreader.h), as typed;
// ImageMan::setJpegQuality brings it into 20 to 100.
double jpegQuality(QStringView answer);

// "Generate JPGS and Scripts" without the window: checks
// that the three working plates can be read, have one size and fit the cut
// lines (plateFault) before it asks or changes anything, asks for
// the compression rate and the confirmation, creates the output folders and
// deletes the files in them, asks for the file name header, cuts the three
// working plates along the cut lines into JPEG pieces, and writes the page to
// the clipboard and the output folder. Pieces travel from `plateReader` to
// `pieceWriter`. A step that fails does not stop the run; whatever failed is
// listed in one message at the end, and a run without failures says nothing.
class GenerateRun
{
public:
    enum class Outcome {
        PlatesRefused,     // the plates cannot be cut: said so, nothing changed
        RateCancelled,     // empty answer to the compression prompt: nothing changed
        NotConfirmed,      // No at the confirmation: only the compression rate is set
        HeaderCancelled,   // empty header: the folders exist and hold no files
        Finished,          // pieces and page written, as far as they could be
    };

    GenerateRun(common::Dialogs &dialogs, common::Clipboard &clipboard,
                imaging::ImageMan &plateReader, imaging::ImageMan &pieceWriter);

    Outcome run(const CutLineList &cutLines);

    // What failed in the last run, one line each, as the closing message lists it.
    const QStringList &failures() const { return m_failures; }

    static constexpr int kMaxListedFailures = 20;
    static constexpr char kLoadPlatesFirst[] = "Load the three plates first.";

private:
    bool platesFit(const CutLineList &cutLines);
    void prepareFolder(const QString &folder);
    QString askHeader();
    void reportFailures();

    common::Dialogs &m_dialogs;
    common::Clipboard &m_clipboard;
    imaging::ImageMan &m_plateReader;
    imaging::ImageMan &m_pieceWriter;
    QStringList m_failures;
};

} // namespace rollover
