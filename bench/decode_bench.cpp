// Record decoding throughput on a realistic table: about 120 nested two-byte
// merges learnt from a corpus of generated words, the way a dictionary writer
// would build its substitution table, and every word of the corpus encoded
// with it. Also the cost of loading a table, which every lookup pays twice.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dict/decoder.h"

namespace lexvia {
namespace {

constexpr std::size_t kWords = 20000;
constexpr int kMerges = 120;

// Words of two to five syllables, some with accented letters, all distinct.
std::vector<std::string> make_corpus() {
  const std::vector<std::string> onsets = {"b",   "br", "d",  "f", "g",  "gr", "h",  "k",
                                           "l",   "m",  "n",  "p", "pr", "r",  "s",  "st",
                                           "sch", "t",  "tr", "v", "w",  "z",  "ch", "\xDF"};
  const std::vector<std::string> nuclei = {"a",  "e",  "i",    "o",    "u",    "ei",   "au",
                                           "ie", "ee", "\xE4", "\xF6", "\xFC", "\xE9", "ou"};
  const std::vector<std::string> codas = {"", "", "", "n", "r", "s", "t", "ng", "ck", "l", "m"};
  std::mt19937 rng(7);
  auto any = [&rng](const std::vector<std::string>& v) -> const std::string& {
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
  };
  std::set<std::string> words;
  while (words.size() < kWords) {
    std::string w;
    for (int s = std::uniform_int_distribution<int>(2, 5)(rng); s > 0; --s) {
      w += any(onsets) + any(nuclei) + any(codas);
    }
    if (w.size() <= 40) words.insert(w);
  }
  return {words.begin(), words.end()};
}

using Tokens = std::basic_string<std::uint8_t>;

struct Merge {
  std::uint8_t left, right, code;
};

// Byte-pair merges: each step joins the most frequent adjacent pair into a new
// code, so later merges are built from earlier ones.
std::vector<Merge> learn_merges(std::vector<Tokens>& words) {
  std::array<bool, 256> used{};
  for (const Tokens& w : words) {
    for (std::uint8_t b : w) used[b] = true;
  }
  std::vector<std::uint8_t> free_codes;
  for (int b = 1; b < 255; ++b) {
    if (!used[b]) free_codes.push_back(static_cast<std::uint8_t>(b));
  }
  std::vector<Merge> merges;
  for (int m = 0; m < kMerges && m < static_cast<int>(free_codes.size()); ++m) {
    std::map<std::pair<std::uint8_t, std::uint8_t>, int> counts;
    for (const Tokens& w : words) {
      for (std::size_t i = 0; i + 1 < w.size(); ++i) ++counts[{w[i], w[i + 1]}];
    }
    auto best = std::max_element(counts.begin(), counts.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    if (best == counts.end()) break;
    const Merge merge{best->first.first, best->first.second, free_codes[m]};
    for (Tokens& w : words) {
      Tokens out;
      for (std::size_t i = 0; i < w.size(); ++i) {
        if (i + 1 < w.size() && w[i] == merge.left && w[i + 1] == merge.right) {
          out.push_back(merge.code);
          ++i;
        } else {
          out.push_back(w[i]);
        }
      }
      w = std::move(out);
    }
    merges.push_back(merge);
  }
  return merges;
}

// The last merge must be expanded first, so it becomes entry 1.
std::vector<std::uint8_t> stored_table(const std::vector<Merge>& merges) {
  std::vector<std::uint8_t> stored(merges.size() * kEntrySize, 0);
  for (std::size_t m = 0; m < merges.size(); ++m) {
    std::uint8_t* entry = stored.data() + (merges.size() - 1 - m) * kEntrySize;
    entry[0] = merges[m].left;
    entry[1] = merges[m].right;
    entry[kEntryCodeByte] = merges[m].code;
  }
  return stored;
}

struct Fixture {
  std::vector<std::string> plain;
  std::vector<std::uint8_t> stored;
  std::vector<std::uint8_t> section;  // records end to end, each with a reference
  std::vector<std::size_t> record_starts;
  std::size_t compressed_bytes = 0;
  std::size_t plain_bytes = 0;
};

Fixture make_fixture() {
  Fixture f;
  f.plain = make_corpus();
  std::vector<Tokens> words;
  for (const std::string& w : f.plain) words.emplace_back(w.begin(), w.end());
  f.stored = stored_table(learn_merges(words));
  for (std::size_t i = 0; i < words.size(); ++i) {
    f.record_starts.push_back(f.section.size());
    f.section.push_back(kMarker);
    f.section.push_back(static_cast<std::uint8_t>(words[i].size()));
    f.section.insert(f.section.end(), words[i].begin(), words[i].end());
    f.section.insert(f.section.end(), {0x00, 0x01, 0x2D});
    f.compressed_bytes += words[i].size();
    f.plain_bytes += f.plain[i].size();
  }
  f.section.push_back(kMarker);
  f.section.resize(f.section.size() + 256, 0);  // a reader window always has this much
  return f;
}

const Fixture& fixture() {
  static const Fixture f = make_fixture();
  return f;
}

// Every record must decode to its word, or the figures mean nothing.
bool round_trips(const Fixture& f, const DecodingTable& table) {
  for (std::size_t i = 0; i < f.plain.size(); ++i) {
    if (decode_record(f.section.data() + f.record_starts[i], table) != f.plain[i]) return false;
  }
  return true;
}

void set_counters(benchmark::State& state, const Fixture& f) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(f.plain.size()));
  state.counters["entries"] = static_cast<double>(f.stored.size() / kEntrySize);
  state.counters["plain/compressed"] =
      static_cast<double>(f.plain_bytes) / static_cast<double>(f.compressed_bytes);
}

void BM_DecodeRecord(benchmark::State& state) {
  const Fixture& f = fixture();
  DecodingTable table;
  table.load(f.stored);
  if (!round_trips(f, table)) {
    state.SkipWithError("records do not decode to their words");
    return;
  }
  DecodedText out;
  for (auto _ : state) {
    for (std::size_t start : f.record_starts) {
      decode_record(f.section.data() + start, table, out);
      benchmark::DoNotOptimize(out);
    }
  }
  set_counters(state, f);
}
BENCHMARK(BM_DecodeRecord);

// The same with an owned std::string per record, as a caller that keeps the
// text would use it.
void BM_DecodeRecordToString(benchmark::State& state) {
  const Fixture& f = fixture();
  DecodingTable table;
  table.load(f.stored);
  for (auto _ : state) {
    for (std::size_t start : f.record_starts) {
      std::string text = decode_record(f.section.data() + start, table);
      benchmark::DoNotOptimize(text);
    }
  }
  set_counters(state, f);
}
BENCHMARK(BM_DecodeRecordToString);

// For scale: the entry-by-entry sweeps that the precomputed table replaces.
std::string sweep_decode(const std::uint8_t* record, const std::vector<std::uint8_t>& stored) {
  std::string text(reinterpret_cast<const char*>(record + 2), record[1]);
  for (std::size_t k = 0; k + kEntrySize <= stored.size(); k += kEntrySize) {
    const char code = static_cast<char>(stored[k + kEntryCodeByte]);
    if (code == 0 || text.find(code) == std::string::npos) continue;
    std::string replacement;
    for (std::size_t i = 0; i < kMaxReplacement && stored[k + i] != 0; ++i) {
      replacement.push_back(static_cast<char>(stored[k + i]));
    }
    std::string next;
    for (char c : text) {
      if (c == code) {
        next += replacement;
      } else {
        next.push_back(c);
      }
    }
    text = std::move(next);
  }
  return text;
}

void BM_DecodeRecordBySweeps(benchmark::State& state) {
  const Fixture& f = fixture();
  if (sweep_decode(f.section.data() + f.record_starts[0], f.stored) != f.plain[0]) {
    state.SkipWithError("sweep decoding disagrees");
    return;
  }
  for (auto _ : state) {
    for (std::size_t start : f.record_starts) {
      std::string text = sweep_decode(f.section.data() + start, f.stored);
      benchmark::DoNotOptimize(text);
    }
  }
  set_counters(state, f);
}
BENCHMARK(BM_DecodeRecordBySweeps);

void BM_TableLoad(benchmark::State& state) {
  const Fixture& f = fixture();
  DecodingTable table;
  for (auto _ : state) {
    table.load(f.stored);
    benchmark::DoNotOptimize(table);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["entries"] = static_cast<double>(f.stored.size() / kEntrySize);
}
BENCHMARK(BM_TableLoad);

// A full table of 254 entries whose replacements are four later codes each:
// the largest precompute a stored table can ask for.
void BM_TableLoadFullNested(benchmark::State& state) {
  std::vector<std::uint8_t> stored(kMaxTableBytes, 0);
  for (std::uint32_t k = 0; k < kMaxEntries; ++k) {
    std::uint8_t* entry = stored.data() + k * kEntrySize;
    for (std::uint32_t i = 0; i < kMaxReplacement; ++i) {
      entry[i] = static_cast<std::uint8_t>(k + 1 < kMaxEntries ? k + 2 : 'a');
    }
    entry[kEntryCodeByte] = static_cast<std::uint8_t>(k + 1);
  }
  DecodingTable table;
  for (auto _ : state) {
    table.load(stored);
    benchmark::DoNotOptimize(table);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TableLoadFullNested);

}  // namespace
}  // namespace lexvia
