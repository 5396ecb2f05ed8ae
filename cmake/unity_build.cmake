# Unity builds of the libraries and programs under src/ and tools/ (the
# option MIVO_UNITY_BUILD, which CI turns on): each batch of sources compiles
# as one, so the headers they share, the JSON library and Qt above all, are
# read and instantiated once a batch. For a build from scratch only: an edit
# recompiles its whole batch.
#
# The AT-SPI and X11 backend is left out (X11's macros and a dozen file-local
# helpers of the same name across its sources), and so is the HTTP transport
# (two sources; one keeps a member of a file-local type, which GCC flags once
# that source is included into another). Elsewhere, a source whose file-local
# names repeat another's (a q() for QString in each view, one constant in two
# rules) compiles on its own.
set(MIVO_UNITY_LEFT_OUT mivo_platform_linux mivo_platform_qt_http)
set(MIVO_UNITY_ALONE
  mivo_shell_views src/shell/mivo_main_menu.cpp
  mivo_correction src/correction/rules/particle_misuse_rule.cpp
  mivo_monitor src/monitor/monitor_polling.cpp
  mivo_onboarding src/onboarding/onboarding_slides.cpp
  mivo_overlay src/overlay/highlight_view.cpp
  mivo_platform src/platform/private_file.cpp
  mivo_settings_controls src/settings/settings_controls.cpp)

include("${CMAKE_CURRENT_LIST_DIR}/targets_under.cmake")
mivo_targets_under("${CMAKE_SOURCE_DIR}/src" src_targets)
mivo_targets_under("${CMAKE_SOURCE_DIR}/tools" tool_targets)
set(MIVO_UNITY_TARGETS "")
foreach(target IN LISTS src_targets tool_targets)
  get_target_property(type ${target} TYPE)
  if(type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$" AND NOT target IN_LIST MIVO_UNITY_LEFT_OUT)
    list(APPEND MIVO_UNITY_TARGETS ${target})
  endif()
endforeach()
foreach(target IN LISTS MIVO_UNITY_TARGETS)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
endforeach()
# Every batch and nothing else: what `scripts/test.sh --unity` builds, so
# that a clash of file-local names shows on a developer's machine too.
add_custom_target(mivo_unity_batches)
add_dependencies(mivo_unity_batches ${MIVO_UNITY_TARGETS})
while(MIVO_UNITY_ALONE)
  list(POP_FRONT MIVO_UNITY_ALONE target source)
  if(TARGET ${target})
    set_source_files_properties("${CMAKE_SOURCE_DIR}/${source}" TARGET_DIRECTORY ${target}
      PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
endwhile()
