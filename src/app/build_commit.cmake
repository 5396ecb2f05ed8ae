# Writes OUTPUT as a header defining MIVO_BUILD_COMMIT: the short commit of
# the checkout at SOURCE_DIR, or "" outside a git checkout. Run at every
# build; the file is rewritten only when the commit changed, so that a build
# on the same commit compiles nothing again.
set(commit "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=9 HEAD
    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(commit "")
  endif()
endif()
set(text "#pragma once\n#define MIVO_BUILD_COMMIT \"${commit}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
