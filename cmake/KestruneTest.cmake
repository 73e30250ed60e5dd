# kestrune_add_test(NAME SOURCES source... LIBS lib... LABELS unit|gui|external|e2e)
#
# One Qt Test executable per unit. The label says what a test needs: unit
# tests only our code and the packages it runs on, gui tests drive the window
# on the offscreen platform, external tests check our files with other
# programs, e2e tests run the whole program. Every test gets its own HOME and
# settings folders, so it never touches the user's.
function(kestrune_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_LABELS MATCHES "^(unit|gui|external|e2e)$")
    message(FATAL_ERROR "kestrune_add_test(${name}): LABELS must be one of unit, gui, external, e2e")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test kestrune_flags kestrune_test_support)
  target_compile_definitions(${name} PRIVATE
    KESTRUNE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  set(home "${CMAKE_CURRENT_BINARY_DIR}/home-${name}")
  file(MAKE_DIRECTORY "${home}")
  set_tests_properties(${name} PROPERTIES
    LABELS ${ARG_LABELS}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_CACHE_HOME=${home}/.cache;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1"
    TIMEOUT 300)
endfunction()
