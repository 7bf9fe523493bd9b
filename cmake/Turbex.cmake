# Helpers shared by every folder. Sources are globbed per folder so that a new
# class is one new .h/.cpp pair and no list edit; platform files that end in
# _posix or _win32 are picked by the target platform.

function(turbex_sources out dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER srcs EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER srcs EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# turbex_library(name [PUBLIC libs...] [PRIVATE libs...])
# A static library of every .cpp in the current folder; headers are included
# from src/ as "folder/Name.h".
function(turbex_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  turbex_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT srcs)
    # A folder whose first class is still to come.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${TURBEX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# turbex_test(name LABELS l... LIBS libs... [SOURCES extra...])
# One GoogleTest executable of every .cpp in the current folder.
# Labels: unit (pure logic), system (simulator over loopback, real threads and
# sockets), threads (run again under ThreadSanitizer), ui (Qt Test, offscreen).
# Several labels are joined into one, e.g. "system-threads".
function(turbex_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LABELS;LIBS;SOURCES;PROPERTIES" ${ARGN})
  turbex_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  add_executable(${name} ${srcs} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TURBEX_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  # GoogleTest's headers are most of what each test file costs to compile.
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <gmock/gmock.h> <string> <vector> <functional> <memory>)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  # gtest_discover_tests cannot pass a list through PROPERTIES, so several
  # labels become one joined by '-' ("system-threads"); ctest -L takes a
  # regular expression, so -L threads, -L unit and -L system still select.
  string(REPLACE ";" "-" labels "${ARG_LABELS}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "TURBEX_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data" ${ARG_PROPERTIES})
endfunction()

# turbex_qt_pch(target): the Qt Widgets headers precompiled once for a Qt
# target, whose files each include a good part of them.
function(turbex_qt_pch target)
  target_precompile_headers(${target} PRIVATE <QtWidgets> <string> <vector> <functional> <memory>)
endfunction()
