# The Windows build (cmake/mingw-toolchain.cmake): one self-contained
# tavro.exe that imports Windows' own DLLs alone.

# libstdc++, libgcc and libjpeg linked in; no debugging symbols in the
# file people copy.
add_link_options(-static -s)

# libjpeg built for Windows from Debian's source package by the scripts
# (tools/windows.sh): its headers in include/, libjpeg.a in lib/.
set(TAVRO_WINDOWS_LIBJPEG "" CACHE PATH "libjpeg built for Windows")
if(NOT EXISTS "${TAVRO_WINDOWS_LIBJPEG}/lib/libjpeg.a")
  message(FATAL_ERROR "TAVRO_WINDOWS_LIBJPEG does not name a libjpeg built for Windows: "
                      "'${TAVRO_WINDOWS_LIBJPEG}'")
endif()
add_library(jpeg STATIC IMPORTED GLOBAL)
set_target_properties(jpeg PROPERTIES
  IMPORTED_LOCATION "${TAVRO_WINDOWS_LIBJPEG}/lib/libjpeg.a"
  INTERFACE_INCLUDE_DIRECTORIES "${TAVRO_WINDOWS_LIBJPEG}/include")

# windres reads the same UTF-8 script as wrc (its code_page pragma) and
# writes an object file the linker takes.
set(TAVRO_RES ${CMAKE_BINARY_DIR}/tavro-res.o)
set(TAVRO_RC_COMMAND ${CMAKE_RC_COMPILER} -O coff)

# The tests are winelib programs: they run the Windows program as a process.
set(TAVRO_TESTS OFF CACHE BOOL "Build the tests" FORCE)
