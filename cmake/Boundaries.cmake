# The libraries' boundaries, checked by the linker. A static library is
# linked lazily and in order: a member is taken only for a symbol still
# missing, so a call from a library into one it does not name can go
# unnoticed in the program (the callee's object happens to be in already).
# The check takes every member of one library and links it with nothing but
# what that library names: whatever it calls elsewhere stays undefined, and
# the link fails.

# tavro_add_library(NAME [USES LIBRARY...]): a static library of the program
# (its sources added with target_sources) and its boundary check,
# NAME_boundary, built with everything.
function(tavro_add_library name)
  cmake_parse_arguments(ARG "" "" "USES" ${ARGN})
  add_library(${name} STATIC)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_USES})

  # The objects themselves rather than the archive, which the linker would
  # take from lazily (winegcc has no working --whole-archive: it would apply
  # to the system's import libraries too).
  add_executable(${name}_boundary ${CMAKE_SOURCE_DIR}/cmake/BoundaryCheck.cpp
                                  $<TARGET_OBJECTS:${name}>)
  target_link_libraries(${name}_boundary PRIVATE ${ARG_USES})
  target_link_options(${name}_boundary PRIVATE -mconsole)
endfunction()
