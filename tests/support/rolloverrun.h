#pragma once

#include "fakes.h"
#include "imaging/imageman.h"
#include "rollover/cutlinelist.h"
#include "rollover/generaterun.h"

// "Generate JPGS and Scripts" as the window runs it, with the desktop's
// dialogs and clipboard faked, for the rollover tests.
namespace testrollover {

struct Run {
    fakes::Dialogs dialogs;
    fakes::Clipboard clipboard;
    imaging::ImageMan plateReader; // the instance the plates are read with
    imaging::ImageMan pieceWriter;
    rollover::GenerateRun generate{dialogs, clipboard, plateReader, pieceWriter};

    // Runs along cut lines at `rows`, answering the prompts with `answers`
    // (compression rate, then header) and the confirmation with `confirm`.
    rollover::GenerateRun::Outcome go(const QList<int> &rows, const QStringList &answers,
                                      const QList<bool> &confirm = {true})
    {
        rollover::CutLineList lines;
        for (int row : rows)
            lines.place(row);
        dialogs.inputAnswers = answers;
        dialogs.yesNoAnswers = confirm;
        return generate.run(lines);
    }
};

} // namespace testrollover
