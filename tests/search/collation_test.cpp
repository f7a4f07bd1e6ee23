#include "search/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace lexvia {
namespace {

// ---------------------------------------------------------------------------
// Reference: the folding, collation and query comparison done the slow, literal
// way (copies, entry-by-entry replacement, byte-by-byte comparison), as the
// yardstick for the fast single-pass code.

using Entry = std::pair<char, std::string>;

template <std::size_t N>
std::vector<Entry> entries_of(const std::array<std::uint8_t, N>& table) {
  std::vector<Entry> out;
  std::size_t i = 0;
  while (i < N && table[i] != 0) {
    Entry e{static_cast<char>(table[i++]), {}};
    while (i < N && table[i] != '|') e.second.push_back(static_cast<char>(table[i++]));
    ++i;
    out.push_back(e);
  }
  return out;
}

std::string c_text(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

std::string ref_fold(std::string_view text, int mode) {
  static const std::vector<Entry> prefix = entries_of(kPrefixFoldingTable);
  static const std::vector<Entry> full = entries_of(kFullFoldingTable);
  std::string copy = c_text(text);
  for (const auto& [code, replacement] : mode == 0 ? prefix : full) {
    std::size_t pos = copy.find(code);
    while (pos != std::string::npos) {
      copy.replace(pos, 1, replacement);
      pos = copy.find(code, pos + replacement.size());
    }
  }
  return copy;
}

int ref_collate(std::string_view a, std::string_view b) {
  std::string x = c_text(a);
  std::string y = c_text(b);
  for (char& c : x) c = static_cast<char>(kCollationWeights[static_cast<unsigned char>(c)]);
  for (char& c : y) c = static_cast<char>(kCollationWeights[static_cast<unsigned char>(c)]);
  for (std::size_t i = 0;; ++i) {
    int cx = i < x.size() ? static_cast<unsigned char>(x[i]) : 0;
    int cy = i < y.size() ? static_cast<unsigned char>(y[i]) : 0;
    if (cx != cy) return cx - cy;
    if (cx == 0) return 0;
  }
}

bool ref_is_separator(char c) {
  return std::find(kSeparators.begin(), kSeparators.end(), static_cast<std::uint8_t>(c)) !=
         kSeparators.end();
}

int ref_compare_query(std::string_view query, std::string_view headword, int mode, int method) {
  std::string q = ref_fold(query, mode);
  std::string h = ref_fold(headword, mode);
  if (mode == 0) {
    if (q.size() > h.size()) return ref_collate(q, h);
    return ref_collate(q, h.substr(0, q.size()));
  }
  switch (method) {
    case 0:
    case 2:
      return ref_collate(q, h);
    case 1:
    case 3:
      if (q.size() < h.size() && h.compare(0, q.size(), q) == 0 && ref_is_separator(h[q.size()])) {
        return 0;
      }
      return ref_collate(q, h);
    case 4:
      return 0;
    default:
      return -2;
  }
}

int sign(int v) { return (v > 0) - (v < 0); }

// The comparison with its mode and method by number, as a file or a setting
// could hold them, stray numbers too.
int compare_numbered(std::string_view query, std::string_view headword, int mode, int method) {
  return compare_query(query, headword, static_cast<CompareMode>(mode),
                       static_cast<SearchMethod>(method));
}

std::string hex(std::string_view s) {
  std::string out;
  char buf[4];
  for (char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
    out += buf;
  }
  return "[" + out + "]";
}

std::uint8_t weight(char c) { return kCollationWeights[static_cast<unsigned char>(c)]; }

// ---------------------------------------------------------------------------
// The stored tables, checked against their description written out again in a
// different shape (grouped by replacement, as ranges, as character order).

TEST(CollationTables, FoldingTablesHaveTheirStoredShape) {
  EXPECT_EQ(std::count(kFullFoldingTable.begin(), kFullFoldingTable.end(), '|'), 89);
  EXPECT_EQ(std::count(kFullFoldingTable.begin(), kFullFoldingTable.end(), 0), 1);
  EXPECT_EQ(kFullFoldingTable.back(), 0);
  EXPECT_EQ(entries_of(kFullFoldingTable).size(), 89u);

  EXPECT_EQ(std::count(kPrefixFoldingTable.begin(), kPrefixFoldingTable.end(), '|'), 91);
  EXPECT_EQ(std::count(kPrefixFoldingTable.begin(), kPrefixFoldingTable.end(), 0), 1);
  EXPECT_EQ(kPrefixFoldingTable.back(), 0);

  // The prefix table: delete the hyphen, then the apostrophe, then fold as the full table.
  std::string prefix(kPrefixFoldingTable.begin(), kPrefixFoldingTable.end());
  std::string full(kFullFoldingTable.begin(), kFullFoldingTable.end());
  EXPECT_EQ(prefix, "-|'|" + full);
}

TEST(CollationTables, FullFoldingReplacesEachLetterByItsBase) {
  const std::vector<std::pair<std::string, std::string>> groups = {
      {"a", "A\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xE0\xE1\xE2\xE3\xE4\xE5\xE6"},
      {"b", "B"},
      {"c", "C\xC7\xE7"},
      {"d", "D\xD0\xF0"},
      {"e", "E\xC8\xC9\xCA\xCB\xE8\xE9\xEA\xEB"},
      {"f", "F"},
      {"g", "G"},
      {"h", "H"},
      {"i", "I\xCC\xCD\xCE\xCF\xEC\xED\xEE\xEF"},
      {"j", "J"},
      {"k", "K"},
      {"l", "L"},
      {"m", "M"},
      {"n", "N\xD1\xF1"},
      {"o", "O\xBA\xD2\xD3\xD4\xD5\xD6\xD8\xF2\xF3\xF4\xF5\xF6\xF8"},
      {"p", "P"},
      {"q", "Q"},
      {"r", "R"},
      {"s", "S"},
      {"ss", "\xDF"},
      {"t", "T\xDE\xFE"},
      {"u", "U\xD9\xDA\xDB\xDC\xF9\xFA\xFB\xFC"},
      {"v", "V"},
      {"w", "W"},
      {"x", "X"},
      {"y", "Y\xDD\xFD\xFF"},
      {"z", "Z"}};
  std::map<char, std::string> expected;
  for (const auto& [replacement, bytes] : groups) {
    for (char b : bytes) expected[b] = replacement;
  }
  std::map<char, std::string> actual;
  for (const auto& [code, replacement] : entries_of(kFullFoldingTable)) {
    EXPECT_TRUE(actual.emplace(code, replacement).second) << "code twice: " << hex({&code, 1});
  }
  EXPECT_EQ(actual, expected);
}

TEST(CollationTables, FoldingEntriesAreInStoredOrder) {
  const std::vector<std::pair<int, int>> runs = {
      {0x41, 0x5A}, {0xC0, 0xC6}, {0xC7, 0xC7}, {0xD0, 0xD0}, {0xC8, 0xCB}, {0xCC, 0xCF},
      {0xD1, 0xD1}, {0xBA, 0xBA}, {0xD2, 0xD6}, {0xD8, 0xD8}, {0xDF, 0xDF}, {0xDE, 0xDE},
      {0xD9, 0xDC}, {0xDD, 0xDD}, {0xE0, 0xE6}, {0xE7, 0xE7}, {0xF0, 0xF0}, {0xE8, 0xEB},
      {0xEC, 0xEF}, {0xF1, 0xF1}, {0xF2, 0xF6}, {0xF8, 0xF8}, {0xFE, 0xFE}, {0xF9, 0xFC},
      {0xFD, 0xFD}, {0xFF, 0xFF}};
  std::string expected;
  for (auto [first, last] : runs) {
    for (int b = first; b <= last; ++b) expected.push_back(static_cast<char>(b));
  }
  std::string codes;
  for (const auto& entry : entries_of(kFullFoldingTable)) codes.push_back(entry.first);
  EXPECT_EQ(hex(codes), hex(expected));
}

TEST(CollationTables, WeightsArePermutationWithZeroForNulOnly) {
  std::vector<int> seen(256, 0);
  for (std::uint8_t w : kCollationWeights) ++seen[w];
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 256);
  EXPECT_EQ(kCollationWeights[0], 0);
}

// Bytes ordered by weight, from weight `from` to weight `to` inclusive.
std::string bytes_by_weight(int from, int to) {
  std::string out;
  for (int w = from; w <= to; ++w) {
    for (int b = 0; b < 256; ++b) {
      if (kCollationWeights[b] == w) out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

std::string sorted(std::string s) {
  std::sort(s.begin(), s.end());
  return s;
}

TEST(CollationTables, WeightsOrderCharacterClasses) {
  // Control characters (with the bytes the code page leaves unassigned), space
  // and no-break space first.
  std::string controls;
  for (int b = 1; b < 0x20; ++b) controls.push_back(static_cast<char>(b));
  controls += " \x7F\x81\x8D\x8F\x90\x9D\xA0";
  EXPECT_EQ(hex(sorted(bytes_by_weight(0x01, 0x27))), hex(sorted(controls)));
  // Then apostrophe, hyphen, soft hyphen, en dash, em dash, in that order.
  EXPECT_EQ(hex(bytes_by_weight(0x28, 0x2C)), hex("'-\xAD\x96\x97"));
  // Digits, with the fractions and superscripts among them, before the letters.
  EXPECT_EQ(hex(bytes_by_weight(0x73, 0x82)), hex("0\xBC\xBD\xBE"
                                                  "1\xB9\xB2"
                                                  "2\xB3"
                                                  "3456789"));
  EXPECT_EQ(hex(bytes_by_weight(0x83, 0x95)),
            hex("Aa\xAA\xE1\xC1\xE0\xC0\xE2\xC2\xC4\xE4\xE3\xC3\xC5\xE5\xC6\xE6"
                "Bb"));
  EXPECT_EQ(hex(bytes_by_weight(0xDC, 0xE4)), hex("Ss\x9A\x8A\xDF"
                                                  "Tt\xFE\xDE"));
  EXPECT_EQ(kCollationWeights[0x8E], 0xFF);  // Ž last
}

TEST(CollationTables, LettersFoldingToOneBaseStandTogether) {
  // Every byte that folds to one letter sorts after every byte folding to an
  // earlier letter, so the weights and the folding table agree.
  std::map<char, std::pair<int, int>> range;  // letter -> lowest, highest weight
  for (int b = 1; b < 256; ++b) {
    std::string folded = ref_fold(std::string(1, static_cast<char>(b)), 1);
    if (folded.size() != 1 || folded[0] < 'a' || folded[0] > 'z') continue;
    auto& [lowest, highest] = range.try_emplace(folded[0], 256, -1).first->second;
    lowest = std::min<int>(lowest, kCollationWeights[b]);
    highest = std::max<int>(highest, kCollationWeights[b]);
  }
  ASSERT_EQ(range.size(), 26u);
  for (char c = 'a'; c < 'z'; ++c) {
    EXPECT_LT(range[c].second, range[static_cast<char>(c + 1)].first) << c;
  }
}

// Prefix folding only folds further what full folding left: two texts that
// fold alike in full fold alike in prefix mode, so an Exact or Phrase match
// has the query's whole sort key (the search stops its run there).
TEST(CollationTables, PrefixFoldingRefinesFullFolding) {
  for (int b = 1; b < 256; ++b) {
    const std::string text(1, static_cast<char>(b));
    EXPECT_EQ(fold_text(fold_text(text, kFullMode), kPrefixMode), fold_text(text, kPrefixMode))
        << b;
  }
}

TEST(CollationTables, SeparatorsInStoredOrder) {
  std::string separators(kSeparators.begin(), kSeparators.end());
  EXPECT_EQ(separators, " -`'!,.()[]{}|/?<>;:\\\"");
}

// ---------------------------------------------------------------------------
// Literal cases.

TEST(FoldText, FoldsCaseAndAccents) {
  for (CompareMode mode : {kPrefixMode, kFullMode}) {
    std::string folded = fold_text(
        "Stra\xDF"
        "e",
        mode);
    EXPECT_EQ(folded, "strasse");
    EXPECT_EQ(folded.size(), 7u);
    EXPECT_EQ(fold_text("\xC6", mode), "a");
    EXPECT_EQ(fold_text("\xBA", mode), "o");
    EXPECT_EQ(fold_text("\xC9T\xC9", mode), "ete");
    EXPECT_EQ(fold_text("\xDE\xFE\xFF\xD8", mode), "ttyo");
  }
}

TEST(FoldText, LeavesOtherBytesAlone) {
  std::string untouched = "abz09 .!?\xAA\x8A\x9A\x8C\x9C\x8E\x9E\x9F\xD7\xF7\x80\xA0";
  for (CompareMode mode : {kPrefixMode, kFullMode}) EXPECT_EQ(fold_text(untouched, mode), untouched);
  EXPECT_EQ(fold_text("", kFullMode), "");
}

TEST(FoldText, PrefixModeDropsHyphenAndApostrophe) {
  EXPECT_EQ(fold_text("Rock'n'Roll", kFullMode), "rock'n'roll");
  EXPECT_EQ(fold_text("Rock'n'Roll", kPrefixMode), "rocknroll");
  EXPECT_EQ(fold_text("-'-''", kPrefixMode), "");
  EXPECT_EQ(fold_text("-'-''", kFullMode), "-'-''");
  EXPECT_EQ(fold_text("Co-op", static_cast<CompareMode>(2)), "co-op");  // any mode but 0 folds fully
}

TEST(FoldText, StopsAtNul) {
  EXPECT_EQ(fold_text(std::string_view("AB\0CD", 5), kFullMode), "ab");
  EXPECT_EQ(fold_text(std::string_view("\0A", 2), kPrefixMode), "");
}

TEST(CollateCompare, OrdersByWeightWithShorterFirst) {
  EXPECT_GT(collate_compare("ab", "a"), 0);
  EXPECT_LT(collate_compare("a", "ab"), 0);
  EXPECT_EQ(collate_compare("", ""), 0);
  EXPECT_EQ(collate_compare("house", "house"), 0);
  EXPECT_LT(collate_compare("9", "A"), 0);
  EXPECT_LT(collate_compare("A", "a"), 0);
  EXPECT_NE(collate_compare("A", "a"), 0);
  // Byte order would say otherwise for these.
  EXPECT_LT(collate_compare("a", "B"), 0);
  EXPECT_LT(collate_compare("\xE1", "b"), 0);
  EXPECT_GT(collate_compare("\x8E", "\xFF"), 0);
  EXPECT_GT(collate_compare("a", "\x01"), 0);
  EXPECT_EQ(collate_compare(std::string_view("ab\0c", 4), "ab"), 0);
}

TEST(CompareQuery, PrefixModeMatchesHeadwordsBeginningWithQuery) {
  for (int method : {0, 1, 3, 4, 7}) {
    EXPECT_EQ(compare_numbered("hous", "House", 0, method), 0);
    EXPECT_GT(compare_numbered("houses", "house", 0, method), 0);
    EXPECT_LT(compare_numbered("housa", "house", 0, method), 0);
    EXPECT_GT(compare_numbered("housf", "house", 0, method), 0);
    EXPECT_EQ(compare_numbered("co-op", "coop", 0, method), 0);
    EXPECT_EQ(compare_numbered("coop", "Co-Op", 0, method), 0);
    EXPECT_EQ(compare_numbered("-'-", "anything", 0, method), 0);
    EXPECT_EQ(compare_numbered("-'-", "", 0, method), 0);
    EXPECT_EQ(compare_numbered("", "x", 0, method), 0);
    EXPECT_EQ(compare_numbered("bas", "Ba\xDF", 0, method), 0);
    EXPECT_EQ(compare_numbered("HOUSE", "house", 0, method), 0);
  }
}

TEST(CompareQuery, ExtendedAndFullSearchNeedWholeWord) {
  for (SearchMethod method : {SearchMethod::kExtended, SearchMethod::kFull}) {
    EXPECT_LT(compare_query("house", "houses", kFullMode, method), 0);
    EXPECT_EQ(compare_query("house", "house", kFullMode, method), 0);
    EXPECT_EQ(compare_query("house", "house.", kFullMode, method), 0);
    EXPECT_EQ(compare_query("house", "House-boat", kFullMode, method), 0);
    EXPECT_EQ(compare_query("house", "house (the)", kFullMode, method), 0);
    EXPECT_EQ(compare_query("house", "house'", kFullMode, method), 0);
    EXPECT_EQ(compare_query("HOUSE", "h\xD4use", kFullMode, method), 0);
    EXPECT_NE(compare_query("houseboat", "house-boat", kFullMode, method), 0);
    EXPECT_GT(compare_query("house boat", "house", kFullMode, method), 0);
    // The byte after the query falls inside the expansion of ß.
    EXPECT_LT(compare_query("bas", "ba\xDF", kFullMode, method), 0);
    EXPECT_EQ(compare_query("bass", "ba\xDF-", kFullMode, method), 0);
  }
}

TEST(CompareQuery, ExactAndPhraseSearchNeedEqualTexts) {
  for (SearchMethod method : {SearchMethod::kExact, SearchMethod::kPhrase}) {
    EXPECT_EQ(compare_query("Stra\xDF"
                            "e",
                            "STRASSE", kFullMode, method),
              0);
    EXPECT_NE(compare_query("co-op", "coop", kFullMode, method), 0);
    EXPECT_LT(compare_query("house", "house.", kFullMode, method), 0);
    EXPECT_GT(compare_query("houses", "house", kFullMode, method), 0);
    EXPECT_EQ(compare_query("", "", kFullMode, method), 0);
  }
}

TEST(CompareQuery, BrowseListingAndUnknownMethods) {
  EXPECT_EQ(compare_query("zzz", "aaa", kFullMode, SearchMethod::kBrowse), 0);
  for (int method : {5, 7, -1, 100}) {
    EXPECT_EQ(compare_numbered("house", "house", 1, method), -2);
    EXPECT_EQ(compare_numbered("house", "house", 2, method), -2);
  }
  EXPECT_EQ(compare_numbered("house", "houses", 7, 0),
            compare_numbered("house", "houses", 1, 0));
}

// ---------------------------------------------------------------------------
// Random texts against the reference.

class TextMaker {
 public:
  explicit TextMaker(unsigned seed) : rng_(seed) {
    for (int b = 1; b < 256; ++b) {
      std::string folded = ref_fold(std::string(1, static_cast<char>(b)), 1);
      same_fold_[folded].push_back(static_cast<char>(b));
    }
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  char byte() {
    static constexpr std::string_view kLetters = "aehousrtnAEHOUSRTN";
    switch (pick(12)) {
      case 0:
      case 1:
      case 2:
        return kLetters[pick(kLetters.size())];
      case 3:
        return static_cast<char>('a' + pick(26));
      case 4:
        return static_cast<char>(0xC0 + pick(64));
      case 5:
        return '\xDF';
      case 6:
        return pick(2) ? '-' : '\'';
      case 7:
        return static_cast<char>(kSeparators[pick(kSeparators.size())]);
      case 8:
        return static_cast<char>(0x80 + pick(32));
      case 9:
        return static_cast<char>('0' + pick(10));
      case 10:
        return static_cast<char>('A' + pick(26));
      default:
        return static_cast<char>(1 + pick(255));
    }
  }

  std::string text(int max_length = 12) {
    std::string s;
    for (int n = pick(max_length + 1); n > 0; --n) s.push_back(byte());
    if (pick(50) == 0) s.insert(s.begin() + pick(s.size() + 1), '\0');
    return s;
  }

  // A query that is often related to the headword: a prefix, a case or accent
  // variant, with hyphens added, longer, or unrelated.
  std::string query_for(const std::string& headword) {
    std::string q = headword.substr(0, pick(headword.size() + 1));
    switch (pick(8)) {
      case 0:
        return text();
      case 1:
        return headword;
      case 2:
        return variant(headword);
      case 3:
        return variant(q);
      case 4:
        q.insert(q.begin() + pick(q.size() + 1), pick(2) ? '-' : '\'');
        return q;
      case 5:
        return headword + text(3);
      case 6:
        if (!q.empty()) q.back() = byte();
        return q;
      default:
        return q;
    }
  }

  std::string headword() {
    std::string h = text();
    if (pick(3) == 0) h += static_cast<char>(kSeparators[pick(kSeparators.size())]) + text(4);
    return h;
  }

 private:
  // Each byte replaced at random by another that folds the same way.
  std::string variant(std::string s) {
    for (char& c : s) {
      if (c == 0 || pick(2)) continue;
      const std::string& same = same_fold_[ref_fold(std::string(1, c), 1)];
      c = same[pick(same.size())];
    }
    return s;
  }

  std::mt19937 rng_;
  std::map<std::string, std::string> same_fold_;
};

constexpr int kRounds = 200000;

TEST(CollationRandom, FoldTextMatchesReference) {
  TextMaker maker(1);
  for (int i = 0; i < kRounds; ++i) {
    std::string s = maker.text();
    for (int mode : {0, 1, -1}) {
      ASSERT_EQ(hex(fold_text(s, static_cast<CompareMode>(mode))), hex(ref_fold(s, mode))) << hex(s) << " mode " << mode;
    }
  }
}

TEST(CollationRandom, CollateCompareMatchesReference) {
  TextMaker maker(2);
  int equal = 0;
  for (int i = 0; i < kRounds; ++i) {
    std::string h = maker.headword();
    std::string q = maker.query_for(h);
    int expected = sign(ref_collate(q, h));
    ASSERT_EQ(sign(collate_compare(q, h)), expected) << hex(q) << " vs " << hex(h);
    ASSERT_EQ(sign(collate_compare(h, q)), -expected) << hex(h) << " vs " << hex(q);
    equal += expected == 0;
  }
  EXPECT_GT(equal, kRounds / 20);
}

// Every method in full mode; in prefix mode, where the method must not matter,
// and for other full-mode values, a few.
constexpr std::pair<int, int> kModeMethods[] = {{0, 0},  {0, 1}, {0, 7},  {1, 0}, {1, 1},
                                                {1, 2},  {1, 3}, {1, 4},  {1, 5}, {1, 7},
                                                {1, -1}, {2, 3}, {-1, 0}, {-1, 9}};

TEST(CollationRandom, CompareQueryMatchesReference) {
  TextMaker maker(3);
  std::map<std::pair<int, int>, int> zeros;
  for (int i = 0; i < kRounds; ++i) {
    std::string h = maker.headword();
    std::string q = maker.query_for(h);
    for (auto [mode, method] : kModeMethods) {
      int expected = ref_compare_query(q, h, mode, method);
      int actual = compare_numbered(q, h, mode, method);
      // A plain collation result may be -2 as well, so only the method tells.
      if (mode != 0 && (method < 0 || method > 4)) {
        ASSERT_EQ(actual, expected) << hex(q) << " vs " << hex(h) << " method " << method;
      } else {
        ASSERT_EQ(sign(actual), sign(expected))
            << hex(q) << " vs " << hex(h) << " mode " << mode << " method " << method;
      }
      zeros[{mode, method}] += expected == 0;
    }
  }
  // The texts must reach the interesting outcomes often, or the test proves little.
  const int prefix_matches = zeros[{0, 0}];
  const int equal_texts = zeros[{1, 0}];
  const int separator_matches = zeros[{1, 1}] - equal_texts;
  EXPECT_GT(prefix_matches, kRounds / 4);
  EXPECT_GT(equal_texts, kRounds / 20);
  EXPECT_GT(separator_matches, kRounds / 50);
}

TEST(CollationRandom, PrefixSortKeyOrdersAsCollatedPrefixFolding) {
  TextMaker maker(4);
  for (int i = 0; i < kRounds; ++i) {
    std::string h = maker.headword();
    std::string q = maker.query_for(h);
    std::string qk = prefix_sort_key(q);
    std::string hk = prefix_sort_key(h);
    std::string expected = ref_fold(q, 0);
    for (char& c : expected) c = static_cast<char>(weight(c));
    ASSERT_EQ(hex(qk), hex(expected)) << hex(q);
    ASSERT_EQ(sign(qk.compare(hk)), sign(ref_collate(ref_fold(q, 0), ref_fold(h, 0))))
        << hex(q) << " vs " << hex(h);
  }
}

// A query folded once, and a headword fed in pieces of any size, decide as
// prefix mode does.
TEST(CollationRandom, PrefixKeyDecidesAsPrefixMode) {
  TextMaker maker(5);
  std::mt19937 split(5);
  for (int i = 0; i < kRounds; ++i) {
    const std::string h = maker.headword();
    const std::string q = maker.query_for(h);
    const PrefixKey key(q);
    PrefixKey::Comparison comparison(key);
    for (std::size_t at = 0; at < h.size();) {
      const std::size_t n = std::min<std::size_t>(h.size() - at, split() % 4);
      if (!comparison.feed(std::string_view(h).substr(at, n))) break;
      at += n;
    }
    const int expected = sign(compare_numbered(q, h, 0, 0));
    ASSERT_EQ(comparison.result(), expected) << hex(q) << " vs " << hex(h);
    ASSERT_EQ(key.compare_key(prefix_sort_key(h)), expected) << hex(q) << " vs " << hex(h);
  }
}

// In an index section sorted by the key, every query's matches must form one
// run: the binary search and the walk back to the first candidate rely on it,
// and full mode may only accept what lies inside that run (by Exact and
// Phrase Search, only its start, where the key is the query's whole).
TEST(CollationRandom, MatchesFormOneRunInKeyOrder) {
  TextMaker maker(5);
  std::vector<std::string> section(3000);
  for (std::string& h : section) h = maker.headword();
  std::sort(section.begin(), section.end(), [](const std::string& a, const std::string& b) {
    return prefix_sort_key(a) < prefix_sort_key(b);
  });
  for (int i = 0; i < 300; ++i) {
    std::string q = maker.query_for(section[maker.pick(section.size())]);
    int previous = 1;
    for (const std::string& h : section) {
      int s = sign(compare_query(q, h, kPrefixMode, SearchMethod::kExact));
      ASSERT_LE(s, previous) << hex(q) << " at " << hex(h);
      previous = s;
      const bool whole_key = PrefixKey(q).is_key_of(h);
      ASSERT_EQ(whole_key, prefix_sort_key(q) == prefix_sort_key(h)) << hex(q) << " at " << hex(h);
      for (int method : {0, 1, 2, 3}) {
        if (compare_numbered(q, h, 1, method) == 0) {
          ASSERT_EQ(s, 0) << hex(q) << " at " << hex(h);
          // Exact and Phrase Search stop the run after the whole key.
          if (method == 0 || method == 2) {
            ASSERT_TRUE(whole_key) << hex(q) << " at " << hex(h);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace lexvia
