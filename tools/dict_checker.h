// Checks a dictionary file against every rule of the format, and reads the
// facts `info` shows. Works on the file's bytes in memory with every access
// bounds-checked, so any input, however damaged, ends in a report.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "dict/format.h"

namespace lexvia {

struct VerifyReport {
  std::vector<std::string> faults;  // empty when every rule holds
  std::array<std::size_t, 2> records{};
  bool ok() const { return faults.empty(); }
};

VerifyReport verify_dictionary(std::span<const std::uint8_t> file);

struct DictionaryInfo {
  Header header;
  std::uint64_t file_size = 0;
  // Texts as stored; nothing when the list's span leaves the file or holds no NUL.
  std::array<std::optional<std::string>, 2> prefix_list;
  std::array<std::size_t, 2> table_entries{};  // entries with a code byte
  std::array<std::size_t, 2> records{};        // records inside the file
};

struct InfoError {
  std::string message;
};

// Fails only when the file is shorter than its header or has the wrong magic.
std::variant<DictionaryInfo, InfoError> read_dictionary_info(std::span<const std::uint8_t> file);

}  // namespace lexvia
