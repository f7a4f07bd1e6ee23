// Reads a dictd database: the `.index` file (one line per entry:
// KEY<TAB>OFFSET<TAB>LENGTH, numbers in dictd's base-64 digits, most
// significant first) and the `.dict.dz` body (gzip; dictzip only adds random
// access). The body is inflated as a stream and only the bytes the index
// names are kept, so a body that inflates to far more than its index names
// (a gzip bomb) costs time but no memory.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lexvia {

struct DictdEntry {
  // Lower-cased, punctuation dropped: not the headword. Kept only for the
  // database's own information entries (keys starting "00"), else empty.
  std::string key;
  // Where the definition is in `body`: read_dictd_database turns the index's
  // offsets into offsets of the bytes it kept. Entries naming the same bytes
  // keep the same offset.
  std::size_t offset = 0;
  std::size_t length = 0;
};

// What one definition and all of them together may hold: far above any
// dictionary's, far below what would exhaust the memory.
inline constexpr std::size_t kLargestDictdDefinition = std::size_t{1} << 20;
inline constexpr std::size_t kLargestDictdBody = std::size_t{1} << 30;
inline constexpr std::size_t kLargestDictdIndex = std::size_t{256} << 20;

struct DictdDatabase {
  std::vector<DictdEntry> entries;  // in index order
  std::string body;                 // the definitions the index names, UTF-8
  // The definition of an entry; empty when its range leaves the body.
  std::string_view definition(const DictdEntry& e) const;
};

struct DictdError {
  std::string message;
};

// The value of a dictd base-64 number, or nothing for a digit outside A-Za-z0-9+/.
std::optional<std::size_t> decode_dictd_number(std::string_view digits);

// Reads BASE.index and BASE.dict.dz (or BASE.dict when there is no .dz).
std::variant<DictdDatabase, DictdError> read_dictd_database(const std::string& base);

// Parses index text; lines that do not have three fields are an error naming
// the line.
std::variant<std::vector<DictdEntry>, DictdError> parse_dictd_index(std::string_view text);

}  // namespace lexvia
