// Reads translation pairs from a UTF-8 TSV file: one pair a line,
// `language-1 text<TAB>language-2 text`; blank lines and lines starting with
// '#' are skipped. Texts are trimmed of blanks and converted to Windows-1252.
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

// Converts one UTF-8 text to Windows-1252; a character without a form is an
// error unless `transliterate` is set, which uses the documented fallback.
std::variant<std::string, PairsError> utf8_to_cp1252_text(std::string_view utf8,
                                                          bool transliterate);

std::variant<std::vector<TextPair>, PairsError> read_pairs_tsv(std::istream& in,
                                                               bool transliterate);

}  // namespace lexvia
