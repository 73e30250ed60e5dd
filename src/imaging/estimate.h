#pragma once

#include "formats.h"

#include <QSize>
#include <QString>
#include <optional>

namespace imaging {

// What converting the file at `path` is expected to need at its peak, in
// bytes: decoding it, resizing it to `size` (none keeps its own) and encoding
// it as `output`. Read from the file's header only, never decoded. A file whose
// header cannot be read counts as small: its load fails at once anyway. A file
// drawn by a helper program (EPS, WMF) counts all the memory that program may
// map, so the files in hand keep the whole process tree within a budget.
qint64 estimatePeakBytes(const QString &path, std::optional<QSize> size, FileType output);

// The size in pixels of the picture in the file at `path` as setImageFile()
// gives it without a size hint (turned upright as the file states), from
// its header alone. Nothing when the header does not tell it: the file
// cannot be read, or it is drawn (EPS, WMF, DXF) and sized once drawn.
std::optional<QSize> seenSize(const QString &path);

} // namespace imaging
