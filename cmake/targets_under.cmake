# Every target declared in a folder at or below `root` (an absolute path),
# once every folder has declared its own: the walk the build's later steps
# (the unit test target, the shared test header, the unity batches) pick
# their targets from.
function(mivo_targets_under root out_var)
  set(found "")
  set(queue "${CMAKE_SOURCE_DIR}")
  while(queue)
    list(POP_FRONT queue dir)
    cmake_path(IS_PREFIX root "${dir}" NORMALIZE inside)
    if(inside)
      get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
      list(APPEND found ${targets})
    endif()
    get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
    list(APPEND queue ${subdirs})
  endwhile()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()
