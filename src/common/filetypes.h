#pragma once

#include <QString>
#include <array>
#include <optional>

// The twelve image file types in their fixed order. The index is shared by the
// type boxes and the format buttons of the conversion page and by the
// imaging component's extension table.
namespace common {

enum class FileType { Jpg, Tif, Bmp, Rle, Pcx, Png, Dxf, Pcd, Wmf, Tga, Dcx, Eps };

inline constexpr int kFileTypeCount = 12;

struct FileTypeInfo {
    FileType type;
    const char *caption;   // "JPG": button and box caption, upper case
    const char *extension; // "jpg": lower case, no dot
};

inline constexpr std::array<FileTypeInfo, kFileTypeCount> kFileTypes{{
    {FileType::Jpg, "JPG", "jpg"}, {FileType::Tif, "TIF", "tif"},
    {FileType::Bmp, "BMP", "bmp"}, {FileType::Rle, "RLE", "rle"},
    {FileType::Pcx, "PCX", "pcx"}, {FileType::Png, "PNG", "png"},
    {FileType::Dxf, "DXF", "dxf"}, {FileType::Pcd, "PCD", "pcd"},
    {FileType::Wmf, "WMF", "wmf"}, {FileType::Tga, "TGA", "tga"},
    {FileType::Dcx, "DCX", "dcx"}, {FileType::Eps, "EPS", "eps"},
}};

inline const FileTypeInfo &fileTypeInfo(FileType type)
{
    return kFileTypes[static_cast<int>(type)];
}

// The type whose extension (no dot) is `extension`, in any letter case;
// nothing when there is no such type.
std::optional<FileType> fileTypeFromExtension(QStringView extension);

// The type whose extension is the text after the last dot of `path`, in any
// letter case; nothing when there is no such type.
std::optional<FileType> fileTypeFromPath(const QString &path);

} // namespace common
