#pragma once

#include "sizerule.h"

#include <QString>

namespace convert {

// Everything the page's controls say about one file, read on the window's
// thread at the moment the file is handed out.
struct FileChoices {
    QString folder;       // the open folder of the source list (`Dir1`)
    QString name;         // the entry of `File1` at the file's position; empty when there is none
    qsizetype count = 0;  // the entries in `File1` now
    SizeChoice size = SizeChoice::OneToOne;
    QString customWidth;  // `Text1(0)`
    QString customHeight; // `Text1(1)`
    QString outext;       // the extension of output files, in the case it is given
    QString destination;  // the open folder of `Dir2`
    bool keepMetadata = false; // keep all the source's metadata, not only profile, author and copyright
    bool lossless = false;     // WebP and AVIF exact (the command line's --lossless)
};

} // namespace convert
