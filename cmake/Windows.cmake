# The Windows build, included from the top-level CMakeLists.txt when
# cross-building (cmake/mingw-w64-x86_64.cmake).
enable_language(C RC)
# The interface table, compiled by the host: ORBANTIS_INTERFACE_IDL_TOOL is
# the native orbantis_interface_idl (scripts/build-windows.sh builds it).
if(NOT ORBANTIS_INTERFACE_IDL_TOOL)
  message(FATAL_ERROR "Set ORBANTIS_INTERFACE_IDL_TOOL to the host's orbantis_interface_idl (scripts/build-windows.sh does).")
endif()
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_subdirectory(src)
add_subdirectory(src/uORBANTIS)
# The user interface (tray icon, about box, dialogs, logo form), before the
# server that links it.
add_subdirectory(src/win32ui)
add_subdirectory(src/com)
add_subdirectory(tools/cli-windows)
if(ORBANTIS_BUILD_TESTS)
  add_subdirectory(tests/windows)
endif()
add_subdirectory(bench/windows)
add_subdirectory(examples/windows)
