# kestrune_add_test(NAME SOURCES source... LIBS lib... LABELS unit|gui|external|e2e
#                   [QUICK] [QUICK_SUBSET testfunction...])
#
# One Qt Test executable per unit. The label says what a test needs: unit
# tests only our code and the packages it runs on, gui tests drive the window
# on the offscreen platform, external tests check our files with other
# programs, e2e tests run the whole program. `make check` runs the labels unit
# and gui and every test labelled quick: QUICK labels the whole test so, and
# QUICK_SUBSET adds a test NAME_quick that runs only the given test functions
# (`make test` runs NAME whole as well). Every test gets its own HOME and
# settings folders, so it never touches the user's.
function(kestrune_add_test name)
  cmake_parse_arguments(ARG "QUICK" "" "SOURCES;LIBS;LABELS;QUICK_SUBSET" ${ARGN})
  if(NOT ARG_LABELS MATCHES "^(unit|gui|external|e2e)$")
    message(FATAL_ERROR "kestrune_add_test(${name}): LABELS must be one of unit, gui, external, e2e")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test kestrune_flags kestrune_test_support)
  target_compile_definitions(${name} PRIVATE
    KESTRUNE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  set(home "${CMAKE_CURRENT_BINARY_DIR}/home-${name}")
  file(MAKE_DIRECTORY "${home}")
  set(environment "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_CACHE_HOME=${home}/.cache;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1")
  set(labels ${ARG_LABELS})
  if(ARG_QUICK)
    list(APPEND labels quick)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" ENVIRONMENT "${environment}" TIMEOUT 300)
  if(ARG_QUICK_SUBSET)
    add_test(NAME ${name}_quick COMMAND ${name} ${ARG_QUICK_SUBSET})
    set_tests_properties(${name}_quick PROPERTIES LABELS "${ARG_LABELS};quick" ENVIRONMENT "${environment}" TIMEOUT 300)
  endif()
endfunction()
