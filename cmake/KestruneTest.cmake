# kestrune_add_test(NAME SOURCES source... LIBS lib... [GUI] [LABELS label...])
#
# One Qt Test executable per unit. Tests run headless: GUI tests use the
# offscreen platform, and every test gets its own HOME and settings folders so
# it never touches the user's.
function(kestrune_add_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test kestrune_warnings kestrune_test_support)
  target_compile_definitions(${name} PRIVATE
    KESTRUNE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  set(home "${CMAKE_CURRENT_BINARY_DIR}/home-${name}")
  file(MAKE_DIRECTORY "${home}")
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_CACHE_HOME=${home}/.cache;ASAN_OPTIONS=detect_leaks=1:suppressions=${PROJECT_SOURCE_DIR}/tests/asan.supp;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1"
    TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
