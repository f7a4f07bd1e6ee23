// Text folding and collation: the one comparison behind every search decision
// and the sort order of every index section. A dictionary file and this code
// must agree exactly, so the tables are the fixed ones below and nothing is
// computed from the locale.
//
// Texts are 8-bit (Windows-1252) and end at their first NUL, if any.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dict/decoder.h"
#include "search/search_method.h"

namespace lexvia {

// Comparison modes.
enum class CompareMode : int {
  kPrefix = 0,  // the file's sort order; steers the search
  kFull = 1,    // the search method's match rule
};
inline constexpr CompareMode kPrefixMode = CompareMode::kPrefix;
inline constexpr CompareMode kFullMode = CompareMode::kFull;

// The built-in tables, as stored: entries of (byte, replacement bytes, '|'),
// then a NUL.
extern const std::array<std::uint8_t, 269> kFullFoldingTable;
extern const std::array<std::uint8_t, 273> kPrefixFoldingTable;
// Sort weight of every byte value; a permutation of 0 to 255 with 0 -> 0.
extern const std::array<std::uint8_t, 256> kCollationWeights;
// The bytes that may follow a query inside a headword in Extended and Full Search.
extern const std::array<std::uint8_t, 22> kSeparators;

// A folded copy: prefix mode folds with the prefix folding table (which also
// drops hyphens and apostrophes), any other mode with the full folding table.
std::string fold_text(std::string_view text, CompareMode mode);
// The same into `out`, which keeps its storage from one text to the next.
void fold_text_into(std::string_view text, CompareMode mode, std::string& out);

// Negative, 0 or positive as a sorts before, equal to or after b under the
// collation weights; a text that is a proper prefix of the other sorts first.
int collate_compare(std::string_view a, std::string_view b);

// 0 when the headword matches the query under the mode and method; otherwise
// the side of the query on which the headword lies. Full mode with a method
// other than the five gives -2. Allocates nothing.
int compare_query(std::string_view query, std::string_view headword, CompareMode mode,
                  SearchMethod method);

// The headword folded with the prefix folding table and mapped to collation
// weights: comparing two keys as unsigned byte strings gives the sign of
// collate_compare on the prefix-folded texts, the order of an index section.
std::string prefix_sort_key(std::string_view text);

// A query folded once for the many probes of a binary search: a probe then
// folds only as much of the headword as the comparison needs, and the
// headword may arrive in pieces (as its record decodes).
class PrefixKey {
 public:
  explicit PrefixKey(std::string_view query) : weights_(prefix_sort_key(query)) {}

  // compare_query(query, headword, kPrefixMode, ...) for a headword whose
  // prefix_sort_key is `key`.
  int compare_key(std::string_view key) const;
  // Whether the headword's prefix_sort_key is the query's whole, not only
  // begins with it. A headword that matches in full mode by Exact or Phrase
  // Search has it: the full folding folds nothing the prefix folding keeps
  // apart.
  bool is_key_of(std::string_view headword) const;

  // compare_query(query, headword, kPrefixMode, ...) for the headword of an
  // index record (as decode_record requires it), decoded only as far as the
  // comparison needs.
  int compare_record(const std::uint8_t* record, const DecodingTable& table) const;

  // compare_query(query, headword, kPrefixMode, ...) for the headword fed to
  // it piece by piece.
  class Comparison {
   public:
    explicit Comparison(const PrefixKey& key)
        : q_(reinterpret_cast<const std::uint8_t*>(key.weights_.c_str())) {}
    // Takes the next bytes of the headword; false once the result is known,
    // when further bytes would change nothing.
    bool feed(std::string_view piece);
    // The result for the bytes fed so far as the whole headword.
    int result() const {
      if (decided_) return result_;
      return *q_ == 0 ? 0 : 1;
    }

   private:
    const std::uint8_t* q_;  // the query's next weight; 0 once it is used up
    bool decided_ = false;
    int result_ = 0;
  };

 private:
  std::string weights_;  // no weight is 0, so c_str() ends them
};

}  // namespace lexvia
