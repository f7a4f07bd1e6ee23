// The dictionary compiler: turns translation pairs into a dictionary file.
//
// File grammar written (all integers little-endian):
//   header      72 bytes: magic "Lexvi Database\0", format number, language
//               codes, offsets and lengths of everything below
//   prefixes1   text NUL          default prefix list of language 1
//   prefixes2   text NUL          default prefix list of language 2
//   table1      entry*            12 bytes each: replacement[5] code[1] zero[6]
//   table2      entry*
//   section1    record* FF        records of language 1 in index order
//   section2    record* FF
//   record      FF L headword[L] reference*
//   reference   3 base-255 digits: offset of the translating record from the
//               start of the other section
//
// Each distinct text of a language is one record; its references list every
// text it is paired with, in input order. Records are sorted by the
// prefix-folded collation order the search relies on; texts that order finds
// equal are ordered by their fully folded form, then by their own bytes, so
// the output depends only on the input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lexvia {

// A pair of Windows-1252 texts and the input line it came from.
struct TextPair {
  std::string first;   // language 1
  std::string second;  // language 2
  std::size_t line = 0;
};

struct CompileOptions {
  std::string language1;  // at most 3 characters
  std::string language2;
  std::uint32_t format_number = 261;
  std::string prefixes1;  // Windows-1252, no NUL
  std::string prefixes2;
  std::optional<std::uint32_t> pair_count;  // default: the number of distinct pairs
  bool compress = true;
};

struct LanguageStats {
  std::size_t records = 0;
  std::size_t table_entries = 0;
  std::uint64_t plain_bytes = 0;       // headword bytes before compression
  std::uint64_t compressed_bytes = 0;  // as stored
};

struct CompiledDictionary {
  std::vector<std::uint8_t> bytes;
  std::size_t distinct_pairs = 0;
  LanguageStats language[2];
};

struct CompileError {
  std::string message;
};

std::variant<CompiledDictionary, CompileError> compile_dictionary(
    const std::vector<TextPair>& pairs, const CompileOptions& options);

// Writes to a temporary file beside `path`, then renames it over `path`, so a
// failed write never leaves a partial dictionary behind, nor does Ctrl-C or
// SIGTERM. Refuses (and leaves alone) a path that is a directory, device,
// FIFO or symbolic link, a file the user may not write, and a file that is
// one of `inputs` however it is named; a replaced file keeps its mode.
// Returns an error message, or nothing on success.
std::optional<std::string> write_file_atomically(const std::string& path,
                                                 const std::vector<std::uint8_t>& bytes,
                                                 const std::vector<std::string>& inputs = {});

}  // namespace lexvia
