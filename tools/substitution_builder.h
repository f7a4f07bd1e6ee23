// Builds a language's substitution table: code bytes that never occur in the
// language's texts stand for replacement texts, chosen to make the stored
// headwords as short as possible.
//
// The scheme merges the most frequent pair of adjacent symbols into a new code,
// again and again, so a code's replacement is two symbols, each a plain byte or
// an earlier code. The decoder applies entries once each in table order and
// expands codes of later entries inside a replacement, so the merges are
// written in reverse: the last merge becomes entry 1.
//
// The byte 0xFF cannot stand in a record (it is the record marker), so a text
// holding it (ÿ in Windows-1252) gets it through an escape entry whose
// replacement is that byte; that entry comes last, after every merge that
// holds its code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexvia {

struct SubstitutionEntry {
  std::string replacement;  // at most 4 bytes, no NUL
  std::uint8_t code = 0;
};

struct SubstitutionResult {
  std::vector<SubstitutionEntry> entries;  // entry 1 first
  std::vector<std::string> compressed;     // one per input text, same order
};

struct SubstitutionOptions {
  bool compress = true;
  std::size_t max_entries = 254;
  std::size_t min_pair_count = 2;  // a merge must save at least this many bytes
};

// Fails (nothing) only when a text holds 0xFF and no byte value is left over
// for its escape code.
std::optional<SubstitutionResult> build_substitution(const std::vector<std::string_view>& texts,
                                                     const SubstitutionOptions& options);
std::optional<SubstitutionResult> build_substitution(const std::vector<std::string>& texts,
                                                     const SubstitutionOptions& options);

// The stored form of the table: 12 bytes per entry, unused bytes zero.
std::vector<std::uint8_t> serialize_table(const std::vector<SubstitutionEntry>& entries);

}  // namespace lexvia
