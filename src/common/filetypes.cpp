#include "filetypes.h"

#include <QFileInfo>

namespace common {

std::optional<FileType> fileTypeFromExtension(QStringView extension)
{
    for (const FileTypeInfo &info : kFileTypes) {
        if (extension.compare(QLatin1String(info.extension), Qt::CaseInsensitive) == 0)
            return info.type;
    }
    return std::nullopt;
}

std::optional<FileType> fileTypeFromPath(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return std::nullopt;
    return fileTypeFromExtension(QStringView(name).mid(dot + 1));
}

} // namespace common
