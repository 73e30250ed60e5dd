#pragma once

#include "formats.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace imaging::detail {

// How many leading bytes detectContent() wants (a PCD's signature lies at
// byte 2048).
inline constexpr qsizetype kDetectBytes = 4096;

// What a file's leading bytes say it is. Either one of the twelve types with
// the library decoder that reads it (none for the types we decode ourselves),
// or a short description of what was found instead ("an SVG drawing").
struct Detected {
    std::optional<FileType> type;
    const char *decoder = nullptr;
    QString what;
};

Detected detectContent(const QByteArray &head);

} // namespace imaging::detail
