#pragma once

// The maker's web address: it ends the window caption, begins the help page's
// address and appears in the generated page, so it lives here once.
namespace common {

inline constexpr char kMakerAddress[] = "http://www.kestrune.example";
inline constexpr char kProgramTitle[] = "Kestrune";

} // namespace common
