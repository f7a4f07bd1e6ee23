#include "substitution_builder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "dict/format.h"

namespace lexvia {

namespace {

using Symbols = std::vector<std::uint8_t>;

// Byte values never seen in any text, lowest first; NUL and 0xFF are never codes.
std::vector<std::uint8_t> free_codes(const std::vector<std::string>& texts) {
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

// Counts adjacent symbol pairs; returns the most frequent one and its count
// (the lowest pair value among equals, so the result does not depend on the
// order pairs are met). Only the counters it touched are cleared afterwards,
// so a small input costs little however large the table of pairs is.
std::pair<std::uint16_t, std::size_t> most_frequent_pair(const std::vector<Symbols>& texts,
                                                         std::vector<std::uint32_t>& counts,
                                                         std::vector<std::uint16_t>& touched) {
  for (const auto& t : texts) {
    for (std::size_t i = 1; i < t.size(); ++i) {
      const auto pair = static_cast<std::uint16_t>((t[i - 1] << 8) | t[i]);
      if (counts[pair]++ == 0) touched.push_back(pair);
    }
  }
  std::uint16_t best = 0;
  std::size_t best_count = 0;
  for (std::uint16_t pair : touched) {
    if (counts[pair] > best_count || (counts[pair] == best_count && pair < best)) {
      best = pair;
      best_count = counts[pair];
    }
    counts[pair] = 0;
  }
  touched.clear();
  return {best, best_count};
}

void replace_pair(std::vector<Symbols>& texts, std::uint8_t first, std::uint8_t second,
                  std::uint8_t code) {
  for (auto& t : texts) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (i + 1 < t.size() && t[i] == first && t[i + 1] == second) {
        t[out++] = code;
        ++i;
      } else {
        t[out++] = t[i];
      }
    }
    t.resize(out);
  }
}

}  // namespace

std::optional<SubstitutionResult> build_substitution(const std::vector<std::string>& texts,
                                                     const SubstitutionOptions& options) {
  std::vector<std::uint8_t> codes = free_codes(texts);
  std::vector<Symbols> symbols;
  symbols.reserve(texts.size());
  bool needs_escape = false;
  for (const auto& t : texts) {
    symbols.emplace_back(t.begin(), t.end());
    needs_escape = needs_escape || t.find('\xFF') != std::string::npos;
  }

  std::optional<SubstitutionEntry> escape;
  if (needs_escape) {
    if (codes.empty()) return std::nullopt;
    escape = SubstitutionEntry{"\xFF", codes.back()};
    codes.pop_back();
    for (auto& t : symbols) std::replace(t.begin(), t.end(), std::uint8_t{0xFF}, escape->code);
  }

  std::vector<SubstitutionEntry> merges;
  const std::size_t budget = options.max_entries - (escape ? 1 : 0);
  std::vector<std::uint32_t> counts(1 << 16);
  std::vector<std::uint16_t> touched;
  std::size_t next_code = 0;
  while (options.compress && merges.size() < budget && next_code < codes.size()) {
    auto [pair, count] = most_frequent_pair(symbols, counts, touched);
    if (count < options.min_pair_count) break;
    const auto first = static_cast<std::uint8_t>(pair >> 8);
    const auto second = static_cast<std::uint8_t>(pair & 0xFF);
    const std::uint8_t code = codes[next_code++];
    replace_pair(symbols, first, second, code);
    merges.push_back({std::string{static_cast<char>(first), static_cast<char>(second)}, code});
  }

  SubstitutionResult result;
  result.entries.assign(merges.rbegin(), merges.rend());
  if (escape) result.entries.push_back(*escape);
  result.compressed.reserve(symbols.size());
  for (const auto& t : symbols) result.compressed.emplace_back(t.begin(), t.end());
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
