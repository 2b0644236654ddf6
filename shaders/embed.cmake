# Joins the HLSL files into one text and writes it as a byte array, so that no compiler
# limit on string literals applies and the text stays byte-exact. The file names go with it in
# the same order, so that a program reading the files from elsewhere joins them alike.
set(text "")
set(names "")
foreach(path IN LISTS INPUTS)
  file(READ ${path} part)
  string(APPEND text "${part}")
  get_filename_component(name ${path} NAME)
  string(APPEND names "    \"${name}\",\n")
endforeach()
list(LENGTH INPUTS fileCount)
file(WRITE ${ASSEMBLED} "${text}")
file(READ ${ASSEMBLED} hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from shaders/*.hlsl; do not edit.\n#include \"shaders/shader_source.h\"\n\n"
  "const char shaderSource[${size} + 1] = {\n${bytes}0};\n"
  "const unsigned shaderSourceLength = ${size};\n\n"
  "const char* const shaderFileNames[${fileCount}] = {\n${names}};\n"
  "const unsigned shaderFileCount = ${fileCount};\n")
