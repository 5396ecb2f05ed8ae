# Unity builds of the libraries and programs under src/ and tools/ (the
# option MIVO_UNITY_BUILD, which CI turns on): each batch of sources compiles
# as one, so the headers they share, the JSON library and Qt above all, are
# read and instantiated once a batch. For a build from scratch only: an edit
# recompiles its whole batch.
#
# The targets left out keep file-local helpers of the same name in several
# of their sources (a q() for QString in each view, the same constant in two
# rules), which a batch would see twice, or (the HTTP transport) a class of
# one source whose member is of a file-local type, which GCC flags once the
# source is included into another.
set(MIVO_UNITY_LEFT_OUT
  mivo_app_shell mivo_correction mivo_monitor mivo_onboarding mivo_overlay mivo_platform
  mivo_platform_linux mivo_platform_qt_http mivo_settings_controls)

function(mivo_unity_targets dir out_var)
  set(found "")
  if(dir MATCHES "^${CMAKE_SOURCE_DIR}/(src|tools)(/|$)")
    get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$" AND NOT target IN_LIST MIVO_UNITY_LEFT_OUT)
        list(APPEND found ${target})
      endif()
    endforeach()
  endif()
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    mivo_unity_targets("${subdir}" below)
    list(APPEND found ${below})
  endforeach()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

mivo_unity_targets("${CMAKE_SOURCE_DIR}" MIVO_UNITY_TARGETS)
foreach(target IN LISTS MIVO_UNITY_TARGETS)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
endforeach()
