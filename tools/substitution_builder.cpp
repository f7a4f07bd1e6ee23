#include "substitution_builder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "dict/format.h"

namespace lexvia {

namespace {

// Every text in one buffer, each at a fixed start and shrinking in place as
// pairs merge: the passes below run over memory in order, which is what makes
// them fast on a dictionary's million texts.
struct Packed {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> start;
  std::vector<std::uint32_t> length;
};

// Byte values never seen in any text, lowest first; NUL and 0xFF are never codes.
std::vector<std::uint8_t> free_codes(const std::vector<std::string_view>& texts) {
  std::array<bool, 256> used{};
  for (const auto& t : texts) {
    for (char c : t) used[static_cast<std::uint8_t>(c)] = true;
  }
  std::vector<std::uint8_t> codes;
  for (int b = 1; b < 255; ++b) {
    if (!used[b]) codes.push_back(static_cast<std::uint8_t>(b));
  }
  return codes;
}

// The count of every adjacent symbol pair over all texts, kept up to date
// as pairs merge, so that a merge costs a pass over the texts that hold the
// pair rather than a recount of everything.
class PairCounts {
 public:
  PairCounts() : counts_(1 << 16, 0), listed_(1 << 16, 0) {}
  void add_text(const std::uint8_t* text, std::uint32_t n, std::int64_t sign) {
    for (std::uint32_t i = 1; i < n; ++i) {
      const auto pair = static_cast<std::uint16_t>((text[i - 1] << 8) | text[i]);
      counts_[pair] += sign;
      if (!listed_[pair]) {
        listed_[pair] = 1;
        seen_.push_back(pair);
      }
    }
  }
  // The most frequent pair, the lowest pair value among equals, so the
  // result does not depend on the order texts are met. Only pairs ever seen
  // are looked at: a small dictionary has few.
  std::pair<std::uint16_t, std::int64_t> most_frequent() const {
    std::uint16_t best = 0;
    std::int64_t best_count = 0;
    for (std::uint16_t pair : seen_) {
      if (counts_[pair] > best_count || (counts_[pair] == best_count && pair < best)) {
        best = pair;
        best_count = counts_[pair];
      }
    }
    return {best, best_count};
  }

 private:
  std::vector<std::int64_t> counts_;
  std::vector<char> listed_;
  std::vector<std::uint16_t> seen_;
};

// Replaces each pair first+second, left to right, by `code` in every text that
// holds it, and brings the counts up to date.
void replace_pair(Packed& p, std::uint8_t first, std::uint8_t second, std::uint8_t code,
                  PairCounts& counts) {
  for (std::size_t t = 0; t < p.start.size(); ++t) {
    std::uint8_t* text = p.bytes.data() + p.start[t];
    const std::uint32_t n = p.length[t];
    std::uint32_t at = 0;
    while (at + 1 < n && !(text[at] == first && text[at + 1] == second)) ++at;
    if (at + 1 >= n) continue;
    counts.add_text(text, n, -1);
    std::uint32_t out = at;
    for (std::uint32_t i = at; i < n; ++i) {
      if (i + 1 < n && text[i] == first && text[i + 1] == second) {
        text[out++] = code;
        ++i;
      } else {
        text[out++] = text[i];
      }
    }
    p.length[t] = out;
    counts.add_text(text, out, +1);
  }
}

}  // namespace

std::optional<SubstitutionResult> build_substitution(const std::vector<std::string>& texts,
                                                     const SubstitutionOptions& options) {
  return build_substitution(std::vector<std::string_view>(texts.begin(), texts.end()), options);
}

std::optional<SubstitutionResult> build_substitution(const std::vector<std::string_view>& texts,
                                                     const SubstitutionOptions& options) {
  std::vector<std::uint8_t> codes = free_codes(texts);
  Packed packed;
  packed.start.reserve(texts.size());
  packed.length.reserve(texts.size());
  std::size_t total = 0;
  for (const auto& t : texts) total += t.size();
  packed.bytes.reserve(total);
  bool needs_escape = false;
  for (const auto& t : texts) {
    packed.start.push_back(packed.bytes.size());
    packed.length.push_back(static_cast<std::uint32_t>(t.size()));
    packed.bytes.insert(packed.bytes.end(), t.begin(), t.end());
    needs_escape = needs_escape || t.find('\xFF') != std::string_view::npos;
  }

  std::optional<SubstitutionEntry> escape;
  if (needs_escape) {
    if (codes.empty()) return std::nullopt;
    escape = SubstitutionEntry{"\xFF", codes.back()};
    codes.pop_back();
    std::replace(packed.bytes.begin(), packed.bytes.end(), std::uint8_t{0xFF}, escape->code);
  }

  std::vector<SubstitutionEntry> merges;
  const std::size_t budget = options.max_entries - (escape ? 1 : 0);
  PairCounts counts;
  std::size_t next_code = 0;
  if (options.compress) {
    for (std::size_t t = 0; t < packed.start.size(); ++t) {
      counts.add_text(packed.bytes.data() + packed.start[t], packed.length[t], +1);
    }
  }
  while (options.compress && merges.size() < budget && next_code < codes.size()) {
    auto [pair, count] = counts.most_frequent();
    if (count < static_cast<std::int64_t>(options.min_pair_count)) break;
    const auto first = static_cast<std::uint8_t>(pair >> 8);
    const auto second = static_cast<std::uint8_t>(pair & 0xFF);
    const std::uint8_t code = codes[next_code++];
    replace_pair(packed, first, second, code, counts);
    merges.push_back({std::string{static_cast<char>(first), static_cast<char>(second)}, code});
  }

  SubstitutionResult result;
  result.entries.assign(merges.rbegin(), merges.rend());
  if (escape) result.entries.push_back(*escape);
  result.compressed.reserve(texts.size());
  for (std::size_t t = 0; t < texts.size(); ++t) {
    const auto* text = reinterpret_cast<const char*>(packed.bytes.data() + packed.start[t]);
    result.compressed.emplace_back(text, packed.length[t]);
  }
  return result;
}

std::vector<std::uint8_t> serialize_table(const std::vector<SubstitutionEntry>& entries) {
  std::vector<std::uint8_t> bytes(entries.size() * kEntrySize, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::uint8_t* entry = bytes.data() + i * kEntrySize;
    const auto& e = entries[i];
    std::memcpy(entry, e.replacement.data(), std::min<std::size_t>(e.replacement.size(), 4));
    entry[kEntryCodeByte] = e.code;
  }
  return bytes;
}

}  // namespace lexvia
