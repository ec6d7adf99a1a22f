# Writes OUTPUT, a C++ source defining `extern const std::string_view SYMBOL` in NAMESPACE as
# the text of INPUT (a raw string literal). Run with cmake -P at build time.
file(READ "${INPUT}" content)
set(delimiter "ORLITH_EMBED")
string(FIND "${content}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string delimiter )${delimiter}\"")
endif()
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${name} at build time; edit that file instead.\n"
  "#include <string_view>\n\n"
  "namespace ${NAMESPACE} {\n"
  "extern const std::string_view ${SYMBOL};\n"
  "const std::string_view ${SYMBOL} = R\"${delimiter}(${content})${delimiter}\";\n"
  "}  // namespace ${NAMESPACE}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
