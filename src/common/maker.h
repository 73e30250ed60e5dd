#pragma once

// The maker's web address: it ends the window caption, begins the help page's
// address and appears in the generated page, so it lives here once.
namespace common {

inline constexpr char kMakerAddress[] = "http://www.kestrune.example";
inline constexpr char kProgramTitle[] = "Kestrune";
// The program's id for the desktop: the maker's host name reversed, then the
// program. The desktop entry, the icons and the metadata carry it as their
// names (data/, KESTRUNE_ID in CMakeLists.txt).
inline constexpr char kDesktopId[] = "example.kestrune.Kestrune";

} // namespace common
