// What build and import-dictd print about the dictionary they wrote.
#pragma once

#include <string>

#include <vector>

#include "dict_compiler.h"
#include "near_index_file.h"

namespace lexvia::cli {

// The size, the distinct pairs, and per language the records, the table
// entries and the compression of the headwords.
void print_compile_summary(const std::string& path, const CompiledDictionary& dict);

// Writes the suggestion index beside the dictionary just written and says
// so; false, with the error printed, when it cannot be written.
bool write_index_beside(const std::string& command, const std::string& path,
                        const CompiledDictionary& dict, const std::vector<std::string>& inputs);

// "suggestion index: PATH, N + M keys".
void print_index_line(const NearIndexWritten& written);

}  // namespace lexvia::cli
