// Turns dictd databases (the FreeDict dictionaries Debian ships) into
// translation pairs for the compiler: the headword from the first line of each
// definition, clean translation texts from the rest, and a count of
// everything left out and why.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
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
  // A comma list a line, numbered or a single one, each followed by a gloss
  // in the headword's language (the databases made from Wiktionary).
  kGlossed,
};

// Decided from the database's entries: glossed when a third of them have a
// plain line after the translations, else numbered when lines "1. ..."
// follow the headword line in a good share of them.
DictdStyle detect_style(const DictdDatabase& db);

// The headwords of the other database, folded to lower case: a phrase one
// database writes with a comma is kept whole when the other has it as a
// headword.
class HeadwordEvidence {
 public:
  void add(std::string_view headword);
  void seal();  // after the last add(), before the first has()
  bool has(std::string_view text) const;

 private:
  static std::uint64_t key(std::string_view text);
  std::vector<std::uint64_t> hashes_;  // sorted once sealed
  bool sorted_ = false;
};

// What the text rules work with: the other database's headwords when there
// is one, and where to count each rule that mended a text (rule -> count).
struct TextContext {
  const HeadwordEvidence* evidence = nullptr;
  std::map<std::string, std::size_t>* mended = nullptr;
};

// The headwords of a definition's first line "FORM /IPA/ (VARIANTS) <pos>":
// alternatives written "A / B" give one each ("take / seize the ground" gives
// "take the ground" and "seize the ground"); word forms "to take, took,
// taken" give the word and each form.
std::vector<std::string> extract_headwords(std::string_view first_line,
                                           const TextContext& context = {});

// The translation texts of a definition, UTF-8, trimmed, in their order. In
// comma lists a comma that continues a sentence or opens a clause stays in
// the text, grammar labels leave no trace, an abbreviation glued on with its
// pronunciation is a translation of its own, and notes that go on with
// translations give them too.
std::vector<std::string> extract_translations(std::string_view definition, DictdStyle style,
                                              const TextContext& context = {});

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
  std::map<std::string, std::size_t> mended;   // text rule -> times it applied
  std::size_t confirmed = 0;  // pairs both databases give, listed first
  // Per direction (language 1, language 2): headwords that only the bare
  // forms of prefixed texts brought in, and the pairs those forms added.
  std::array<std::size_t, 2> gained_headwords{};
  std::array<std::size_t, 2> bare_pairs{};
};

struct ImportSide {
  std::string language1;
  std::string language2;
  bool transliterate = false;
  // The prefix lists the dictionary gets (list 1 for language 1): a two-way
  // import adds the bare forms of texts that begin with one of their items.
  std::array<std::string, 2> prefix_lists;
};

// Told of each pair before it is appended, with the count of quoted examples
// of its entry; true keeps it out.
using PairFilter = std::function<bool(const TextPair&, std::uint32_t examples)>;

// Appends the pairs of `db` to `pairs`. When `reverse`, the database
// translates language 2 to language 1, and each pair is turned round.
// `examples`, when given, gets for each new pair how many quoted examples its
// definition holds.
void import_dictd_pairs(const DictdDatabase& db, bool reverse, const ImportSide& side,
                        std::vector<TextPair>& pairs, ImportReport& report,
                        const HeadwordEvidence* evidence = nullptr,
                        std::vector<std::uint32_t>* examples = nullptr,
                        const PairFilter& is_known = {});

// The text after the first item of `prefix_list` it begins with, when
// something is left ("to know" -> "know" for ",to "); else nothing.
std::optional<std::string_view> strip_list_prefix(std::string_view text,
                                                  std::string_view prefix_list);

// Whether a text may stand as a headword of its own: one to three words of
// letters (a hyphen or apostrophe inside a word), no placeholder such as
// "sg" or "etw"; a phrase only when `occurrences` (pairs giving its text)
// is two or more, so that a one-off gloss stays a translation.
bool is_clean_headword(std::string_view text, std::size_t occurrences);

// The headwords each database has, folded as Exact Search folds them.
struct DatabaseHeadwords {
  HeadwordEvidence forward;   // language 1 headwords of the forward database
  HeadwordEvidence backward;  // language 2 headwords of the backward database
};

// Searches find "know" in a text "to know" only with the prefix list, so a
// headword a database lacks would be missing from Exact and Extended Search
// wherever the other database writes it with a prefix. After each pair whose
// language-1 text is "to X" (prefix list 1) with X clean and not a headword
// of the forward database, ("X", translation) follows; the same for
// language-2 texts such as "sich X" and the backward database. Pairs already
// there are not added again; the prefixed pair stays, so "tud" still says
// "to know", as it does for a verb both databases have. The other forms of
// "to know, knew, known" are texts of their own already ("knew": tud) and
// need nothing. Counts go to report.gained_headwords and report.bare_pairs.
void add_bare_forms(std::vector<TextPair>& pairs, const DatabaseHeadwords& headwords,
                    const std::array<std::string, 2>& prefix_lists, ImportReport& report);

// The pairs of the database at `forward_base` (see read_dictd_database),
// translating language 1 to 2, and, when given, of one translating 2 to 1, each read with the other's headwords as evidence.
// Pairs both give come first, those with the most examples in their entries
// first among them, then the rest in the databases' order, so that a
// headword lists its everyday translations first ("dog": "Hund").
std::variant<std::vector<TextPair>, DictdError> import_dictd_dictionary(
    const std::string& forward_base, const std::optional<std::string>& reverse_base,
    const ImportSide& side, ImportReport& report);

}  // namespace lexvia
