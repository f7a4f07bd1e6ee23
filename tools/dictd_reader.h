// Reads a dictd database: the `.index` file (one line per entry:
// KEY<TAB>OFFSET<TAB>LENGTH, numbers in dictd's base-64 digits, most
// significant first) and the `.dict.dz` body (gzip; dictzip only adds random
// access, which reading the whole body does not need).
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
  std::size_t offset = 0;
  std::size_t length = 0;
};

struct DictdDatabase {
  std::vector<DictdEntry> entries;  // in index order
  std::string body;                 // the uncompressed definitions, UTF-8
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
