# Writes OUTPUT, a C++ source whose function NAMESPACE::NAME() gives the bytes
# of INPUT as a std::string_view: a file of the tree compiled into a program,
# which then needs it neither beside it nor from a network. Run at build time:
#   cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DNAMESPACE=NS -DNAME=FUNCTION -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Sixteen bytes a line, each written 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n  " bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new"
     "// ${name}, made by cmake/embed_file.cmake at build time: do not edit.\n"
     "#include <string_view>\n\n"
     "namespace ${NAMESPACE} {\n\n"
     "std::string_view ${NAME}();\n\n"
     "namespace {\n// The file's bytes and a zero, so that an empty file is still an array.\n"
     "const unsigned char kBytes[] = {\n  ${bytes}0};\n}  // namespace\n\n"
     "std::string_view ${NAME}() { return {reinterpret_cast<const char*>(kBytes), ${size}}; }\n\n"
     "}  // namespace ${NAMESPACE}\n")
# Replaced only when changed, so that a new configure does not rebuild it.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
