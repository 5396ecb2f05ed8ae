# What the unit test programs share once every folder has declared its own.
#
# mivo_unit_tests builds every program whose tests gtest_discover_tests
# registers (all of them labelled unit; the desktop suites are registered by
# name with add_test) and what those programs need, and nothing else: the
# sanitizer run builds this target alone, without the desktop suites and
# their test editors.
#
# All test programs also share one precompiled header of GoogleTest, GoogleMock,
# the JSON library and the standard headers every test reaches: each test
# source parses them in about a second, and there are a few hundred sources.
# A header is used only with the flags it was made with: Qt asks the programs
# that link it for -fPIC, GLib's for -pthread, so every test program (and the
# header) is compiled with both.

include("${CMAKE_CURRENT_LIST_DIR}/targets_under.cmake")

mivo_targets_under("${CMAKE_SOURCE_DIR}" every_target)
set(MIVO_UNIT_TEST_PROGRAMS "")
foreach(target IN LISTS every_target)
  get_property(discovered TARGET ${target} PROPERTY CTEST_DISCOVERED_TEST_COUNTER SET)
  if(discovered)
    list(APPEND MIVO_UNIT_TEST_PROGRAMS ${target})
  endif()
endforeach()

# Every program that links GoogleTest under tests/: the unit test programs
# and the suites registered by name (the desktop, the Secret Service).
mivo_targets_under("${CMAKE_SOURCE_DIR}/tests" test_targets)
set(MIVO_TEST_PROGRAMS "")
foreach(target IN LISTS test_targets)
  get_target_property(type ${target} TYPE)
  get_target_property(links ${target} LINK_LIBRARIES)
  if(type STREQUAL "EXECUTABLE" AND (target IN_LIST MIVO_UNIT_TEST_PROGRAMS OR links MATCHES "GTest::"))
    list(APPEND MIVO_TEST_PROGRAMS ${target})
  endif()
endforeach()
add_custom_target(mivo_unit_tests)
if(MIVO_UNIT_TEST_PROGRAMS)
  add_dependencies(mivo_unit_tests ${MIVO_UNIT_TEST_PROGRAMS})
endif()

set(MIVO_TEST_PCH_HEADERS
  <gmock/gmock.h> <gtest/gtest.h> <nlohmann/json.hpp>
  <algorithm> <chrono> <filesystem> <functional> <map> <memory> <optional> <string>
  <string_view> <vector>)
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/mivo_test_pch.cpp" CONTENT "")
add_executable(mivo_test_pch EXCLUDE_FROM_ALL "${CMAKE_BINARY_DIR}/mivo_test_pch.cpp")
target_link_libraries(mivo_test_pch PRIVATE GTest::gmock GTest::gtest_main nlohmann_json::nlohmann_json)
target_precompile_headers(mivo_test_pch PRIVATE ${MIVO_TEST_PCH_HEADERS})
# The test programs' own sources are compiled at -O1 (-O0 under the
# sanitizers, which see the most there): what they test is the libraries,
# built as they ship, and optimising the test bodies (large tables of
# expectations, hundreds of GoogleTest instantiations) costs a fifth of their
# compile time and finds nothing.
if(MIVO_SANITIZE)
  set(MIVO_TEST_PROGRAM_OPTIMIZATION -O0)
else()
  set(MIVO_TEST_PROGRAM_OPTIMIZATION -O1)
endif()
# GCC 12 forgets, for code that comes from a precompiled header, that
# std::string's inlined copy belongs to a system header, and then reports its
# known false overruns (-Warray-bounds, -Wstringop-overflow and their kin)
# wherever a test builds a string with +. Off in the test programs; a real
# overrun there is the sanitizer run's to find.
set(MIVO_TEST_PROGRAM_WARNINGS "")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  set(MIVO_TEST_PROGRAM_WARNINGS -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread
    -Wno-restrict)
endif()
foreach(target IN ITEMS mivo_test_pch LISTS MIVO_TEST_PROGRAMS)
  target_compile_options(${target} PRIVATE -fPIC -pthread ${MIVO_TEST_PROGRAM_OPTIMIZATION}
    ${MIVO_TEST_PROGRAM_WARNINGS})
  if(NOT target STREQUAL "mivo_test_pch")
    target_precompile_headers(${target} REUSE_FROM mivo_test_pch)
  endif()
endforeach()
