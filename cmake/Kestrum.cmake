# kestrum_module(NAME SOURCES ... DEPS ...): one static library per module.
function(kestrum_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(kestrum_${name} STATIC ${ARG_SOURCES})
  target_include_directories(kestrum_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(kestrum_${name} PUBLIC ${ARG_DEPS})
endfunction()

# kestrum_test(NAME SOURCES ... DEPS ... [WIDGETS]): one GoogleTest executable.
# WIDGETS tests get a QApplication on the offscreen platform, a private
# XDG_RUNTIME_DIR and Qt warnings turned into failures. Every test gets a data
# folder of the build's own, so that nothing a test starts (the program, the
# command-line tool) finds or makes a ledger in the user's real one.
function(kestrum_test name)
  cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(ARG_WIDGETS)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} kestrum_widget_test_main Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest_main GTest::gmock)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data-home"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# kestrum_benchmark(NAME SOURCES ... DEPS ...)
function(kestrum_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()
