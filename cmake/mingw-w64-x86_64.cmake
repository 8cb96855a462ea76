# Cross-building the Windows programs with Debian's mingw-w64 (64-bit, the
# posix thread model, which std::thread and std::mutex need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORBANTIS_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORBANTIS_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBANTIS_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBANTIS_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORBANTIS_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static: the programs need no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The IDL compiler, and the IDL files it imports (Debian's mingw-w64 headers
# come without them; Wine's development package has the set).
set(ORBANTIS_WIDL ${ORBANTIS_MINGW}-widl)
set(ORBANTIS_WIDL_INCLUDE /usr/include/wine/wine/windows)
set(ORBANTIS_WIDL_LIBPATH /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
