# cmake -DINPUT=<der file> -DOUTPUT=<cpp file> -P EmbedDer.cmake
# Writes the bytes of INPUT as the embedded trusted root; the length is the file's.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
if(hex_length EQUAL 0)
  message(FATAL_ERROR "Trusted root ${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; do not edit.\n"
  "#include \"signature/OrvelRootCert.h\"\n\n"
  "namespace signature {\n\n"
  "const unsigned char OrvelRootCert[] = {\n    ${bytes}\n};\n"
  "const std::size_t OrvelRootCertLength = sizeof(OrvelRootCert);\n\n"
  "}  // namespace signature\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
