#include "fileconversion.h"

#include "outputpath.h"

#include "common/nativename.h"
#include "common/paths.h"
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
    return job;
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
    // twice the target size); the exact resize below follows in any case.
    if (job.size)
        imageMan.setSizeHint(job.size->width(), job.size->height());
    imageMan.setKeepMetadata(job.keepMetadata);
    imageMan.setLossless(job.lossless);
    imaging::Result result = imageMan.setImageFile(job.source);
    if (result && job.size)
        result = imageMan.resizeImage(job.size->width(), job.size->height());
    if (result)
        result = imageMan.saveImage(job.output);
    outcome.converted = result.ok();
    outcome.message = result.message();
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
