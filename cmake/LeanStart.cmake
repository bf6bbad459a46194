# What a program's start costs before its first line runs: every DLL it
# imports is loaded, and its start-up code run, before WinMain, and on
# winelib every shared library it needs is loaded and bound as well. A
# capture is over in a few tens of milliseconds, so this is a large part of
# it.

# The system DLLs that a capture needs at most now and then: comctl32 and
# its classes (configuration), the shell (its folders, when the main
# shortcut is not found without it, and the shortcuts), COM (the shortcuts),
# and the sound system with its codecs (the sound). Each is loaded at the
# first call into it, not at start; every call stays as it is.
set(TAVRO_ON_DEMAND_DLLS comctl32 shell32 ole32 oleaut32 winmm)

# tavro_lean_start(TARGET): TARGET, a program, loads the DLLs above on
# demand and carries its own copy of the C++ runtime.
function(tavro_lean_start target)
  if(WIN32)
    # MinGW's ld has no delay-load option; a delay-import library does it.
    # Made from the ordinary import library's names by dlltool, it stands in
    # for that library: its folder comes first in TARGET's search path, so
    # every -lNAME of TARGET's link finds it. (The runtime is linked in
    # already: the Windows build links everything statically.)
    set(folder ${CMAKE_BINARY_DIR}/delay-import)
    foreach(dll ${TAVRO_ON_DEMAND_DLLS})
      tavro_delay_import_library(${dll} ${folder})
      add_dependencies(${target} tavro_delay_import_${dll})
    endforeach()
    target_link_directories(${target} BEFORE PRIVATE ${folder})
    # The binding of the delayed calls, which newer linkers need helped.
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/platform/windows/DelayLoadHook.cpp)
  else()
    foreach(dll ${TAVRO_ON_DEMAND_DLLS})
      target_link_options(${target} PRIVATE -Wl,-delayload,${dll}.dll)
    endforeach()
    # libstdc++ and libgcc linked in: the program uses a handful of their
    # functions, and loading and binding the shared ones costs more than
    # the rest of the program's own start.
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

# The delay-import library of DLL (libDLL.a in FOLDER), once per build.
function(tavro_delay_import_library dll folder)
  if(TARGET tavro_delay_import_${dll})
    return()
  endif()
  find_library(TAVRO_IMPORT_LIBRARY_${dll} NAMES lib${dll}.a REQUIRED)
  set(def ${folder}/${dll}.def)
  set(library ${folder}/lib${dll}.a)
  add_custom_command(
    OUTPUT ${library}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORT_LIBRARY=${TAVRO_IMPORT_LIBRARY_${dll}}
            -DDLL=${dll}.dll -DDEF=${def} -P ${CMAKE_SOURCE_DIR}/cmake/ImportDef.cmake
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --output-delaylib ${library}
    DEPENDS ${TAVRO_IMPORT_LIBRARY_${dll}} ${CMAKE_SOURCE_DIR}/cmake/ImportDef.cmake
    COMMENT "Making the delay-import library of ${dll}.dll"
    VERBATIM)
  add_custom_target(tavro_delay_import_${dll} DEPENDS ${library})
endfunction()
