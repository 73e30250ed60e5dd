#include "filetypes.h"

#include <QFileInfo>

namespace common {

std::optional<FileType> fileTypeFromPath(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return std::nullopt;
    const QString extension = name.mid(dot + 1);
    for (const FileTypeInfo &info : kFileTypes) {
        if (extension.compare(QLatin1String(info.extension), Qt::CaseInsensitive) == 0)
            return info.type;
    }
    return std::nullopt;
}

} // namespace common
