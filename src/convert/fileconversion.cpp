#include "fileconversion.h"

#include "outputpath.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "imaging/estimate.h"
#include "imaging/formats.h"
#include "imaging/imageman.h"

namespace convert {

ConversionJob planConversion(const FileChoices &choices, qsizetype position)
{
    ConversionJob job;
    job.position = position;
    job.name = choices.name;
    if (choices.name.isEmpty()) {
        // The list can shrink during a run while the number of files stays.
        job.refusal = position >= 0
            ? QStringLiteral("There is no file at position %1 of the list any more: it now holds %2.")
                  .arg(position + 1)
                  .arg(choices.count)
            : QStringLiteral("No file is selected in the list.");
        return job;
    }
    job.source = common::joinPath(choices.folder, choices.name);
    job.output = outputPath(choices.destination, choices.name, choices.outext);
    job.keepMetadata = choices.keepMetadata;
    job.lossless = choices.lossless;
    const SizeDecision decision = decideSize(choices.size, choices.customWidth, choices.customHeight);
    if (!decision.ok()) {
        job.refusal = QStringLiteral("Cannot convert %1: %2.")
                          .arg(common::shownName(job.source), decision.error);
        return job;
    }
    job.size = decision.size;
    job.fit = choices.fit;
    return job;
}

namespace {

// A type of one size is written at it, whatever the picture's.
QSize writtenSize(QSize picture, const QString &output)
{
    const std::optional<imaging::FileType> type = imaging::fileTypeFromPath(output);
    return type && !imaging::format(*type).onlySize.isEmpty() ? imaging::format(*type).onlySize : picture;
}

// The size the picture is resized to before it is read, when that is known:
// an exact size, or a box met by the size the header tells.
std::optional<QSize> targetBeforeReading(const ConversionJob &job)
{
    if (!job.size || job.fit == SizeFit::Exact)
        return job.size;
    const std::optional<QSize> seen = imaging::seenSize(job.source);
    return seen ? std::optional(fittedSize(*seen, *job.size, job.fit)) : std::nullopt;
}

} // namespace

std::optional<QSize> plannedSize(const ConversionJob &job)
{
    if (!job.refusal.isEmpty())
        return std::nullopt;
    const std::optional<QSize> size = job.size ? targetBeforeReading(job) : imaging::seenSize(job.source);
    return size ? std::optional(writtenSize(*size, job.output)) : std::nullopt;
}

FileOutcome convertFile(imaging::ImageMan &imageMan, const ConversionJob &job)
{
    FileOutcome outcome;
    outcome.position = job.position;
    outcome.name = job.name;
    outcome.source = job.source;
    outcome.output = job.output;
    if (!job.refusal.isEmpty()) {
        outcome.message = job.refusal;
        return outcome;
    }

    // The hint only changes how a JPEG is decoded (at a reduced scale still
    // twice the target size); the resize below follows in any case.
    std::optional<QSize> target = targetBeforeReading(job);
    if (target)
        imageMan.setSizeHint(target->width(), target->height());
    imageMan.setKeepMetadata(job.keepMetadata);
    imageMan.setLossless(job.lossless);
    imaging::Result result = imageMan.setImageFile(job.source);
    const QSize loaded(imageMan.imageWidth(), imageMan.imageHeight());
    // A drawing is fitted once it is drawn.
    if (result && job.size && !target)
        target = fittedSize(loaded, *job.size, job.fit);
    // A picture that already fits is left as it is, not resampled onto itself.
    if (result && target && (job.fit == SizeFit::Exact || *target != loaded))
        result = imageMan.resizeImage(target->width(), target->height());
    if (result)
        result = imageMan.saveImage(job.output);
    outcome.converted = result.ok();
    outcome.message = result.message();
    if (outcome.converted)
        outcome.size = writtenSize(QSize(imageMan.imageWidth(), imageMan.imageHeight()), job.output);
    return outcome;
}

FileOutcome convertFile(const ConversionJob &job, std::chrono::milliseconds limit, const imaging::CancelFlag &cancel,
                        std::optional<double> jpegQuality)
{
    imaging::ImageMan imageMan;
    imageMan.setTimeLimit(limit);
    imageMan.setCancelFlag(cancel);
    if (jpegQuality)
        imageMan.setJpegQuality(*jpegQuality);
    return convertFile(imageMan, job);
}

} // namespace convert
