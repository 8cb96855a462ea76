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
add_subdirectory(src/com)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/src/win32ui/CMakeLists.txt)
  add_subdirectory(src/win32ui)
endif()
if(ORBANTIS_BUILD_TESTS)
  add_subdirectory(tests/windows)
endif()
