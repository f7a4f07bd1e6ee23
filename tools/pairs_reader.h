// Reads translation pairs from a UTF-8 TSV file: one pair a line,
// `language-1 text<TAB>language-2 text`; blank lines and lines starting with
// '#' are skipped. Texts are trimmed of blanks and converted to Windows-1252.
// The input is read a line at a time and a line has a bound, so that a file
// of one endless line (or a device) cannot exhaust the memory.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dict_compiler.h"

namespace lexvia {

struct PairsError {
  std::string message;  // names the line and, for encoding faults, the character
};

struct PairsOptions {
  // Replace characters without a Windows-1252 form by the documented
  // fallback, instead of refusing them.
  bool transliterate = false;
  // Keep control characters (C0, DEL, C1) in texts. They are refused by
  // default: shown on a terminal they act as escape sequences, and a stray
  // CR or ESC in a text is nearly always a fault of the source.
  bool keep_control = false;
};

// Two texts of at most 999 characters, each at most 3 bytes of UTF-8, with
// room for blanks around them: a longer line holds no pair the format takes.
inline constexpr std::size_t kLongestPairsLine = 16 * 1024;

// Converts one UTF-8 text to Windows-1252; a NUL is always an error, and so
// are a character without a form and a control character unless the options
// allow them.
std::variant<std::string, PairsError> utf8_to_cp1252_text(std::string_view utf8,
                                                          const PairsOptions& options);

std::variant<std::vector<TextPair>, PairsError> read_pairs_tsv(std::istream& in,
                                                               const PairsOptions& options);

}  // namespace lexvia
