#pragma once

#include "filechoices.h"
#include "fileoutcome.h"

#include "imaging/deadline.h"

#include <QSize>
#include <chrono>
#include <optional>

namespace imaging {
class ImageMan;
}

namespace convert {

// One file's work, fixed on the window's thread from the choices of the moment
// so that the worker needs nothing from the window.
struct ConversionJob {
    qsizetype position = -1;
    QString name;
    QString source;
    QString output;
    std::optional<QSize> size; // the size asked for; none keeps the picture's own
    SizeFit fit = SizeFit::Exact; // how `size` meets the picture (sizerule.h)
    QString refusal;           // when set, the file fails with this reason untouched
    bool keepMetadata = false; // as ImageMan::setKeepMetadata
    bool lossless = false;     // as ImageMan::setLossless
};

ConversionJob planConversion(const FileChoices &choices, qsizetype position);

// The size in pixels convertFile() writes the job's picture at, told from
// the source's header alone (imaging::seenSize()) and the output's type;
// nothing when that is only known once the picture is read. Reads the file.
std::optional<QSize> plannedSize(const ConversionJob &job);

// Load, resize if asked, save: the same steps for a file of a run and for a
// double-clicked one. The save replaces an earlier output only with a
// complete new file, so a failure at any step leaves it as it was, and a file
// that fails to load is never written with another file's picture. Safe when
// the output is the source itself: the picture is read whole before the save.
FileOutcome convertFile(imaging::ImageMan &imageMan, const ConversionJob &job);

// The same with an imaging instance of its own, whose load and save may each
// take at most `limit` and end early, leaving no file, once `cancel` is
// raised; JPEG, WebP and AVIF are written at `jpegQuality` (20 to 100), none
// keeping each type's default. Safe to call on any thread.
FileOutcome convertFile(const ConversionJob &job, std::chrono::milliseconds limit, const imaging::CancelFlag &cancel,
                        std::optional<double> jpegQuality = std::nullopt);

} // namespace convert
