// Turns dictd databases (the FreeDict dictionaries Debian ships) into
// translation pairs for the compiler: the headword from the first line of each
// definition, clean translation texts from the rest, and a count of
// everything left out and why.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dict_compiler.h"
#include "dictd_reader.h"

namespace lexvia {

// How a database writes its translations.
enum class DictdStyle {
  // Line 2 holds the translations separated by ", " and marked with <pos>
  // and [label]s; examples, notes and cross-references follow, indented.
  kCommaList,
  // One translation a line, "1. text", "2. text", or a single unnumbered
  // line; a comma belongs to the text.
  kNumbered,
};

// Decided from the database's entries: numbered when lines "1. ..." follow
// the headword line in a good share of them.
DictdStyle detect_style(const DictdDatabase& db);

// The headword of a definition's first line "FORM /IPA/ (VARIANTS) <pos>".
std::string extract_headword(std::string_view first_line);

// The translation texts of a definition, UTF-8, trimmed, in their order.
std::vector<std::string> extract_translations(std::string_view definition, DictdStyle style);

// Converts a text of `language` to Windows-1252: C1 controls that stand for
// Windows-1252 characters are mapped back; Hungarian writes ő and ű (and the
// ô some databases use for ő) as õ and û. Nothing when a character has no
// form and `transliterate` is off.
std::optional<std::string> to_dictionary_text(std::string_view utf8, std::string_view language,
                                              bool transliterate);

// The prefix list a language's searches start with: English ",to " finds
// "go" and "to go", German ",sich " finds "waschen" and "sich waschen".
std::string default_prefix_list(std::string_view language);

struct ImportReport {
  std::size_t entries = 0;  // definitions read (one per distinct body)
  std::size_t pairs = 0;    // pairs produced (before the compiler merges duplicates)
  std::map<std::string, std::size_t> skipped;  // reason -> count
};

struct ImportSide {
  std::string language1;
  std::string language2;
  bool transliterate = false;
};

// Appends the pairs of `db` to `pairs`. When `reverse`, the database
// translates language 2 to language 1, and each pair is turned round.
void import_dictd_pairs(const DictdDatabase& db, bool reverse, const ImportSide& side,
                        std::vector<TextPair>& pairs, ImportReport& report);

}  // namespace lexvia
