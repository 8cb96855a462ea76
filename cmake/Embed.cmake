# cmake -DOUT=file.cpp -DNAMES=a|b -DFILES=pathA|pathB -P Embed.cmake
# Writes a C++ file with one std::string_view per file, named as given, in
# namespace orbantis::embedded: files the program serves without reading
# them from disk at run time.
string(REPLACE "|" ";" NAMES "${NAMES}")
string(REPLACE "|" ";" FILES "${FILES}")
list(LENGTH NAMES count)
math(EXPR last "${count} - 1")
set(text "// Made by cmake/Embed.cmake; do not edit.\n#include <string_view>\nnamespace orbantis::embedded {\n")
foreach(i RANGE ${last})
  list(GET NAMES ${i} name)
  list(GET FILES ${i} path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexlen)
  math(EXPR size "${hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND text "static const char ${name}_bytes[] = {${bytes} 0};\n")
  string(APPEND text "extern const std::string_view ${name};\n")
  string(APPEND text "const std::string_view ${name}(${name}_bytes, ${size});\n")
endforeach()
string(APPEND text "}  // namespace orbantis::embedded\n")
file(WRITE "${OUT}.tmp" "${text}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
