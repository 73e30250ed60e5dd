#pragma once

#include <QtGlobal>

namespace convert {

// The memory the files in hand may need together, in bytes, when the caller
// sets none: half of the machine's physical memory (or of the limit set on
// this process's control group, when lower), at most 8 GiB.
qint64 defaultMemoryBudget();

} // namespace convert
