#pragma once

// The twelve types are the rows of the format table in imaging/formats.h,
// the one place that knows a type. These names only lead there, for the code
// that still reaches the types through common.
#include "imaging/formats.h"

namespace common {

using imaging::FileType;
using imaging::fileTypeFromExtension;
using imaging::fileTypeFromPath;
using imaging::kFileTypeCount;
using FileTypeInfo = imaging::Format;
inline constexpr const auto &kFileTypes = imaging::kFormats;

constexpr const FileTypeInfo &fileTypeInfo(FileType type)
{
    return imaging::format(type);
}

} // namespace common
