# Turns the catalogue text into a C++ source holding it as a raw string literal.
# cmake -DINPUT=file.cat -DOUTPUT=file.cpp -P Embed.cmake
file(READ ${INPUT} text)
string(FIND "${text}" ")catalogue\"" clash)
if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${INPUT} holds the literal's closing delimiter")
endif()
file(WRITE ${OUTPUT}.tmp
    "// Generated from the catalogue file at build time; edit that file instead.\n"
    "#include <cstddef>\n"
    "namespace corvane::decode {\n"
    "extern const char kBuiltinCatalogueText[];\n"
    "extern const size_t kBuiltinCatalogueSize;\n"
    "const char kBuiltinCatalogueText[] = R\"catalogue(${text})catalogue\";\n"
    "const size_t kBuiltinCatalogueSize = sizeof kBuiltinCatalogueText - 1;\n"
    "}  // namespace corvane::decode\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
