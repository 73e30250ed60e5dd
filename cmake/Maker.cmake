# The maker's name and the program's desktop id are written once, in
# src/common/maker.h, for the program and the build alike.
set(maker_header ${PROJECT_SOURCE_DIR}/src/common/maker.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${maker_header})

function(kestrune_maker_constant constant variable)
  file(STRINGS ${maker_header} line REGEX "${constant}\\[\\] = \"[^\"]+\"")
  if(NOT line MATCHES "${constant}\\[\\] = \"([^\"]+)\"")
    message(FATAL_ERROR "${maker_header} defines no ${constant}")
  endif()
  set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

kestrune_maker_constant(kMakerName KESTRUNE_MAKER)
# It names the desktop entry, the icons and the metadata.
kestrune_maker_constant(kDesktopId KESTRUNE_ID)
