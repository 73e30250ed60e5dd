#pragma once

#include "sizerule.h"

#include <QString>

namespace convert {

// Everything the page's controls say about one file, read on the window's
// thread at the moment the file is handed out.
struct FileChoices {
    QString folder;       // the open source folder
    QString name;         // the source list's entry at the file's position; empty when there is none
    qsizetype count = 0;  // the entries in the source list now
    SizeChoice size = SizeChoice::OneToOne;
    QString customWidth;  // the texts typed for a custom size
    QString customHeight;
    QString outext;       // the extension of output files, in the case it is given
    QString destination;  // the open destination folder
    bool keepMetadata = false; // keep all the source's metadata, not only profile, author and copyright
    SizeFit fit = SizeFit::Exact; // how the size meets the picture; the page's sizes are exact
    bool lossless = false;     // WebP and AVIF exact (the command line's --lossless)
};

} // namespace convert
