# Builds Tavro as a winelib program: Win32 code compiled for Linux and run
# on Wine's implementation of the API. Default (Unix libc) mode, so glibc,
# libstdc++ and the system libjpeg link natively.
set(CMAKE_SYSTEM_NAME Linux)
set(WINE_TOOLS_DIR /usr/lib/wine CACHE PATH "Folder of wineg++, winegcc and wrc")
set(CMAKE_C_COMPILER   ${WINE_TOOLS_DIR}/winegcc)
set(CMAKE_CXX_COMPILER ${WINE_TOOLS_DIR}/wineg++)
set(WINE_RC_COMPILER   ${WINE_TOOLS_DIR}/wrc CACHE FILEPATH "Wine resource compiler")
set(WINE_LOADER        ${WINE_TOOLS_DIR}/wine64 CACHE FILEPATH "Wine loader")
# The code page tables wrc reads the UTF-8 script with. Debian 13's wrc looks
# for them in a folder its package does not install (/usr/share/wine/wine/nls),
# so the folder is always named; the scripts find it in libwine's file list.
set(WINE_NLS_DIR       /usr/share/wine/nls CACHE PATH "Folder of Wine's locale.nls")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
