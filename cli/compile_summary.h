// What build and import-dictd print about the dictionary they wrote.
#pragma once

#include <string>

#include "dict_compiler.h"

namespace lexvia::cli {

// The size, the distinct pairs, and per language the records, the table
// entries and the compression of the headwords.
void print_compile_summary(const std::string& path, const CompiledDictionary& dict);

}  // namespace lexvia::cli
