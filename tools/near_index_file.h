// The suggestion index beside a dictionary, as build, import and index
// write it and verify checks it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "dict/file_source.h"

namespace lexvia {

struct NearIndexWritten {
  std::string path;
  std::size_t keys[2] = {0, 0};
};

// Builds the index of `dictionary` (the file at `dictionary_path`, or the
// bytes about to be written there) and writes it atomically beside it,
// never over one of `inputs`. An error message, or what was written.
std::variant<NearIndexWritten, std::string> write_near_index(
    const std::string& dictionary_path, FileSource& dictionary,
    const std::vector<std::string>& inputs = {});

// Nothing when no index lies beside the dictionary or it is the one the
// dictionary gives; else the fault, in words.
std::optional<std::string> check_near_index(const std::string& dictionary_path,
                                            FileSource& dictionary);

}  // namespace lexvia
