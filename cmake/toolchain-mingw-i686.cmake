# Cross build for 32-bit Windows with the posix-thread MinGW-w64 compilers; tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs every Windows binary through the wrapper, which uses the build tree's private prefix,
# display and sound server.
get_filename_component(_qern_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_qern_root}/tools/wine/winerun)

# widl and the OLE IDL files come from mingw-w64-tools and libwine-dev.
set(QERN_WIDL i686-w64-mingw32-widl)
set(QERN_WIDL_INCLUDES /usr/include/wine/wine/windows)
set(QERN_WIDL_TLBDIR /usr/lib/i386-linux-gnu/wine/i386-windows)
