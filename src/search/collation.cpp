#include "search/collation.h"

#include <cstddef>

namespace lexvia {

namespace {

// The stored tables are written as string literals so that an entry reads as
// "byte, replacement, bar"; the literal's own NUL becomes the table's NUL.
template <std::size_t N>
constexpr std::array<std::uint8_t, N> stored_bytes(const char (&text)[N]) {
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<std::uint8_t>(text[i]);
  return out;
}

template <std::size_t N, std::size_t M>
constexpr std::array<std::uint8_t, N - 1 + M> with_leading_entries(
    const char (&lead)[N], const std::array<std::uint8_t, M>& table) {
  std::array<std::uint8_t, N - 1 + M> out{};
  for (std::size_t i = 0; i + 1 < N; ++i) out[i] = static_cast<std::uint8_t>(lead[i]);
  for (std::size_t i = 0; i < M; ++i) out[N - 1 + i] = table[i];
  return out;
}

}  // namespace

// clang-format off
constexpr std::array<std::uint8_t, 269> kFullFoldingTable = stored_bytes(
    "Aa|Bb|Cc|Dd|Ee|Ff|Gg|Hh|Ii|Jj|Kk|Ll|Mm|Nn|Oo|Pp|Qq|Rr|Ss|Tt|Uu|Vv|Ww|Xx|Yy|Zz|"
    // Capital accented letters, then º.
    "\xC0" "a|" "\xC1" "a|" "\xC2" "a|" "\xC3" "a|" "\xC4" "a|" "\xC5" "a|" "\xC6" "a|"
    "\xC7" "c|" "\xD0" "d|"
    "\xC8" "e|" "\xC9" "e|" "\xCA" "e|" "\xCB" "e|"
    "\xCC" "i|" "\xCD" "i|" "\xCE" "i|" "\xCF" "i|"
    "\xD1" "n|" "\xBA" "o|"
    "\xD2" "o|" "\xD3" "o|" "\xD4" "o|" "\xD5" "o|" "\xD6" "o|" "\xD8" "o|"
    "\xDF" "ss|" "\xDE" "t|"
    "\xD9" "u|" "\xDA" "u|" "\xDB" "u|" "\xDC" "u|" "\xDD" "y|"
    // Small accented letters.
    "\xE0" "a|" "\xE1" "a|" "\xE2" "a|" "\xE3" "a|" "\xE4" "a|" "\xE5" "a|" "\xE6" "a|"
    "\xE7" "c|" "\xF0" "d|"
    "\xE8" "e|" "\xE9" "e|" "\xEA" "e|" "\xEB" "e|"
    "\xEC" "i|" "\xED" "i|" "\xEE" "i|" "\xEF" "i|"
    "\xF1" "n|"
    "\xF2" "o|" "\xF3" "o|" "\xF4" "o|" "\xF5" "o|" "\xF6" "o|" "\xF8" "o|"
    "\xFE" "t|"
    "\xF9" "u|" "\xFA" "u|" "\xFB" "u|" "\xFC" "u|" "\xFD" "y|" "\xFF" "y|");
// clang-format on

// The same letters, after dropping the hyphen and the apostrophe, so that
// "co-op" and "coop" sort together.
constexpr std::array<std::uint8_t, 273> kPrefixFoldingTable =
    with_leading_entries("-|'|", kFullFoldingTable);

// One row per high hex digit of the byte, 0_ to F_.
// clang-format off
constexpr std::array<std::uint8_t, 256> kCollationWeights = {
  0x00, 0x0D, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x27, 0x1D, 0x14, 0x1F, 0x20, 0x21, 0x22,
  0x23, 0x24, 0x25, 0x0B, 0x1E, 0x1C, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x13, 0x0A, 0x01,
  0x0C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x28, 0x33, 0x34, 0x35, 0x58, 0x36, 0x29, 0x37, 0x38,
  0x73, 0x77, 0x7A, 0x7C, 0x7D, 0x7E, 0x7F, 0x80, 0x81, 0x82, 0x39, 0x3A, 0x59, 0x5A, 0x5B, 0x3B,
  0x3C, 0x83, 0x94, 0x96, 0x9B, 0x9F, 0xA8, 0xAC, 0xAD, 0xB0, 0xB9, 0xBB, 0xBD, 0xBF, 0xC2, 0xC6,
  0xD6, 0xD8, 0xDB, 0xDC, 0xE1, 0xE6, 0xF0, 0xF2, 0xF4, 0xF6, 0xFC, 0x3D, 0x3E, 0x3F, 0x40, 0x42,
  0x43, 0x84, 0x95, 0x97, 0x9A, 0x9E, 0xA9, 0xAB, 0xAE, 0xAF, 0xBA, 0xBC, 0xBE, 0xC0, 0xC1, 0xC5,
  0xD7, 0xD9, 0xDA, 0xDD, 0xE2, 0xE7, 0xF1, 0xF3, 0xF5, 0xF7, 0xFD, 0x44, 0x45, 0x46, 0x47, 0x0E,
  0x72, 0x26, 0x52, 0xAA, 0x55, 0x70, 0x6D, 0x6E, 0x41, 0x71, 0xDF, 0x56, 0xD5, 0x0F, 0xFF, 0x10,
  0x11, 0x50, 0x51, 0x53, 0x54, 0x6F, 0x2B, 0x2C, 0x4F, 0xE5, 0xDE, 0x57, 0xD4, 0x12, 0xFE, 0xFB,
  0x09, 0x48, 0x61, 0x62, 0x63, 0x64, 0x49, 0x65, 0x4A, 0x66, 0x85, 0x5D, 0x67, 0x2A, 0x68, 0x4B,
  0x69, 0x5C, 0x79, 0x7B, 0x4C, 0x6A, 0x6B, 0x6C, 0x4D, 0x78, 0xC7, 0x5E, 0x74, 0x75, 0x76, 0x4E,
  0x89, 0x87, 0x8B, 0x8F, 0x8C, 0x90, 0x92, 0x99, 0xA3, 0xA0, 0xA4, 0xA6, 0xB3, 0xB2, 0xB6, 0xB7,
  0x9D, 0xC3, 0xCB, 0xC9, 0xCD, 0xD1, 0xCE, 0x5F, 0xD3, 0xEA, 0xE8, 0xEC, 0xEE, 0xF9, 0xE4, 0xE0,
  0x88, 0x86, 0x8A, 0x8E, 0x8D, 0x91, 0x93, 0x98, 0xA2, 0xA1, 0xA5, 0xA7, 0xB4, 0xB1, 0xB5, 0xB8,
  0x9C, 0xC4, 0xCA, 0xC8, 0xCC, 0xD0, 0xCF, 0x60, 0xD2, 0xEB, 0xE9, 0xED, 0xEF, 0xF8, 0xE3, 0xFA,
};
// clang-format on

// clang-format off
constexpr std::array<std::uint8_t, 22> kSeparators = {
    ' ', '-', '`', '\'', '!', ',', '.', '(', ')', '[', ']',
    '{', '}', '|', '/', '?', '<', '>', ';', ':', '\\', '"'};
// clang-format on

namespace {

// What one byte turns into: up to two bytes, or nothing when it is deleted.
struct Expansion {
  std::uint8_t size = 1;
  std::array<std::uint8_t, 2> bytes{};
};
using ExpansionMap = std::array<Expansion, 256>;

template <std::size_t N>
constexpr bool well_formed(const std::array<std::uint8_t, N>& table, int entries) {
  std::array<bool, 256> replaced{};
  std::size_t i = 0;
  for (; i < N && table[i] != 0; ++i, --entries) {
    replaced[table[i++]] = true;
    std::size_t start = i;
    while (i < N && table[i] != 0 && table[i] != '|') ++i;
    if (i == N || table[i] != '|' || i - start > 2) return false;
  }
  if (i != N - 1 || entries != 0) return false;
  // Folding entry by entry equals one pass over the text only while no
  // replacement holds a byte that some entry replaces.
  for (i = 0; i + 1 < N; ++i) {
    bool is_code = i == 0 || table[i - 1] == '|';
    if (!is_code && table[i] != '|' && replaced[table[i]]) return false;
  }
  return true;
}

static_assert(well_formed(kFullFoldingTable, 89));
static_assert(well_formed(kPrefixFoldingTable, 91));

template <std::size_t N>
constexpr ExpansionMap build_fold_map(const std::array<std::uint8_t, N>& table) {
  ExpansionMap map{};
  std::array<bool, 256> taken{};
  for (int b = 0; b < 256; ++b) map[b].bytes[0] = static_cast<std::uint8_t>(b);
  for (std::size_t i = 0; table[i] != 0; ++i) {
    std::uint8_t code = table[i++];
    Expansion e{0, {}};
    while (table[i] != '|') e.bytes[e.size++] = table[i++];
    // Once an entry has replaced a byte, later entries for it find nothing.
    if (!taken[code]) map[code] = e;
    taken[code] = true;
  }
  return map;
}

constexpr bool is_weight_permutation() {
  std::array<bool, 256> seen{};
  for (std::uint8_t w : kCollationWeights) seen[w] = true;
  for (bool s : seen) {
    if (!s) return false;
  }
  return kCollationWeights[0] == 0;
}

// Weight 0 belongs to the NUL alone, so it can mark the end of a text.
static_assert(is_weight_permutation());

constexpr ExpansionMap to_weights(ExpansionMap map) {
  for (Expansion& e : map) {
    for (std::uint8_t& b : e.bytes) b = kCollationWeights[b];
  }
  return map;
}

constexpr ExpansionMap kPrefixFold = build_fold_map(kPrefixFoldingTable);
constexpr ExpansionMap kFullFold = build_fold_map(kFullFoldingTable);
constexpr ExpansionMap kPrefixWeights = to_weights(kPrefixFold);
constexpr ExpansionMap kFullWeights = to_weights(kFullFold);
constexpr ExpansionMap kPlainWeights = to_weights(build_fold_map(std::array<std::uint8_t, 1>{}));

// For each weight: may the headword go on with it once the query is used up?
using Acceptance = std::array<bool, 256>;

constexpr Acceptance kAcceptAll = [] {
  Acceptance a{};
  a.fill(true);
  return a;
}();
constexpr Acceptance kAcceptNone{};
// The weights are a permutation, so a weight stands for exactly one byte.
constexpr Acceptance kAcceptSeparator = [] {
  Acceptance a{};
  for (std::uint8_t s : kSeparators) a[kCollationWeights[s]] = true;
  return a;
}();

// The weights of a folded text, produced one at a time so that comparing two
// texts stops at the first difference and copies nothing. Yields 0 at the end
// of the text (its end or its first NUL); must not be asked again after that.
class WeightStream {
 public:
  WeightStream(std::string_view text, const ExpansionMap& map)
      : p_(reinterpret_cast<const std::uint8_t*>(text.data())), end_(p_ + text.size()), map_(map) {}

  std::uint8_t next() {
    if (pending_ != 0) {
      std::uint8_t w = pending_;
      pending_ = 0;
      return w;
    }
    while (p_ != end_) {
      const Expansion& e = map_[*p_++];
      if (e.size == 0) continue;
      pending_ = e.bytes[1];
      return e.bytes[0];
    }
    return 0;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  const ExpansionMap& map_;
  std::uint8_t pending_ = 0;
};

// Collates two weight streams; when the query runs out first, `accept`
// decides on the headword's next weight whether that still counts as equal.
int compare_streams(WeightStream query, WeightStream headword, const Acceptance& accept) {
  for (;;) {
    std::uint8_t q = query.next();
    std::uint8_t h = headword.next();
    if (q != h) {
      if (q == 0 && accept[h]) return 0;
      return q < h ? -1 : 1;
    }
    if (q == 0) return 0;
  }
}

template <typename Emit>
void for_each_expanded(std::string_view text, const ExpansionMap& map, Emit emit) {
  for (char c : text) {
    if (c == '\0') break;
    const Expansion& e = map[static_cast<std::uint8_t>(c)];
    for (std::uint8_t k = 0; k < e.size; ++k) emit(static_cast<char>(e.bytes[k]));
  }
}

}  // namespace

std::string fold_text(std::string_view text, CompareMode mode) {
  std::string out;
  fold_text_into(text, mode, out);
  return out;
}

void fold_text_into(std::string_view text, CompareMode mode, std::string& out) {
  // A byte folds to two at most: written in place, then cut to what was
  // written, which spares a check of the capacity at every byte.
  out.resize(2 * text.size());
  char* const start = out.data();
  char* at = start;
  for_each_expanded(text, mode == kPrefixMode ? kPrefixFold : kFullFold,
                    [&at](char c) { *at++ = c; });
  out.resize(static_cast<std::size_t>(at - start));
}

int collate_compare(std::string_view a, std::string_view b) {
  return compare_streams({a, kPlainWeights}, {b, kPlainWeights}, kAcceptNone);
}

int compare_query(std::string_view query, std::string_view headword, CompareMode mode,
                  SearchMethod method) {
  if (mode == kPrefixMode) {
    return compare_streams({query, kPrefixWeights}, {headword, kPrefixWeights}, kAcceptAll);
  }
  switch (method) {
    case SearchMethod::kExact:
    case SearchMethod::kPhrase:
      return compare_streams({query, kFullWeights}, {headword, kFullWeights}, kAcceptNone);
    case SearchMethod::kExtended:
    case SearchMethod::kFull:
      return compare_streams({query, kFullWeights}, {headword, kFullWeights}, kAcceptSeparator);
    case SearchMethod::kBrowse:
      return 0;
  }
  return -2;
}

std::string prefix_sort_key(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  for_each_expanded(text, kPrefixWeights, [&key](char c) { key.push_back(c); });
  return key;
}

int PrefixKey::compare_key(std::string_view key) const {
  const auto* q = reinterpret_cast<const std::uint8_t*>(weights_.c_str());
  for (const char c : key) {
    const auto h = static_cast<std::uint8_t>(c);
    if (*q != h) return *q == 0 ? 0 : (*q < h ? -1 : 1);
    ++q;
  }
  return *q == 0 ? 0 : 1;
}

// Flattened: the comparison runs at every probe, and a call per piece of
// the record costs as much as the comparison itself.
[[gnu::flatten]] int PrefixKey::compare_record(const std::uint8_t* record,
                                               const DecodingTable& table) const {
  Comparison comparison(*this);
  for_each_piece(record, table,
                 [&comparison](std::string_view piece) { return comparison.feed(piece); });
  return comparison.result();
}

bool PrefixKey::is_key_of(std::string_view headword) const {
  return prefix_sort_key(headword) == weights_;
}

bool PrefixKey::Comparison::feed(std::string_view piece) {
  if (decided_) return false;
  for (const char c : piece) {
    if (c == '\0') {  // the headword ends here, as a stream's would
      result_ = result();
      decided_ = true;
      return false;
    }
    const Expansion& e = kPrefixWeights[static_cast<std::uint8_t>(c)];
    for (std::uint8_t k = 0; k < e.size; ++k) {
      const std::uint8_t h = e.bytes[k];
      if (*q_ == h) {
        if (*++q_ != 0) continue;
        result_ = 0;  // whatever follows in the headword
        decided_ = true;
        return false;
      }
      // The query used up counts as equal whatever follows (prefix mode).
      result_ = *q_ == 0 ? 0 : (*q_ < h ? -1 : 1);
      decided_ = true;
      return false;
    }
  }
  return true;
}

}  // namespace lexvia
