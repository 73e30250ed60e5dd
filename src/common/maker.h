#pragma once

// Who makes the program and where to find them. The window caption, the About
// text, the help page's address and the generated page read these; CMake
// reads kMakerName and kDesktopId from this file for the package and the
// desktop files (cmake/Maker.cmake), so each is written here only.
namespace common {

inline constexpr char kMakerName[] = "Tarvix Graphics";
inline constexpr char kMakerAddress[] = "http://www.kestrune.example";
inline constexpr char kProgramTitle[] = "Kestrune";
// The program's id for the desktop: the maker's host name reversed, then the
// program. The desktop entry, the icons and the metadata carry it as their
// names.
inline constexpr char kDesktopId[] = "example.kestrune.Kestrune";

} // namespace common
