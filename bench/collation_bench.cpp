// compare_query runs at every probe of the binary search and at every
// candidate of a listing; prefix_sort_key runs once per headword when an index
// section is sorted.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "search/collation.h"

namespace {

constexpr std::size_t kPairs = 1024;  // a power of two, for cheap wrapping

// Lower-case words of 4 to 15 letters; about one letter in eight is a capital
// or an accented letter, and some words carry a hyphen or an apostrophe.
std::string make_word(std::mt19937& rng) {
  static constexpr std::string_view kAccented =
      "\xE0\xE1\xE4\xE7\xE8\xE9\xEA\xED\xF1\xF3\xF6\xFA\xFC\xDF";
  std::uniform_int_distribution<int> length(4, 15);
  std::uniform_int_distribution<int> letter(0, 25);
  std::uniform_int_distribution<int> roll(0, 15);
  std::string word;
  for (int n = length(rng); n > 0; --n) {
    int r = roll(rng);
    if (r == 0) {
      word.push_back(kAccented[letter(rng) % kAccented.size()]);
    } else if (r == 1) {
      word.push_back(static_cast<char>('A' + letter(rng)));
    } else {
      word.push_back(static_cast<char>('a' + letter(rng)));
    }
  }
  if (roll(rng) == 0) word.insert(word.size() / 2, 1, roll(rng) % 2 ? '-' : '\'');
  return word;
}

// Unrelated pairs, as in the early probes of a binary search: most differ in
// the first letters.
std::vector<std::pair<std::string, std::string>> unrelated_pairs() {
  std::mt19937 rng(7);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t i = 0; i < kPairs; ++i) pairs.emplace_back(make_word(rng), make_word(rng));
  return pairs;
}

// Close pairs, as near the end of a search and in the listing walk: the
// headword is the query in other case, sometimes followed by more words.
std::vector<std::pair<std::string, std::string>> close_pairs() {
  std::mt19937 rng(11);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t i = 0; i < kPairs; ++i) {
    std::string query = make_word(rng);
    std::string headword = query;
    headword[0] = static_cast<char>(headword[0] & ~0x20);
    if (i % 2 == 0) headword += " " + make_word(rng);
    pairs.emplace_back(std::move(query), std::move(headword));
  }
  return pairs;
}

void run_compare(benchmark::State& state,
                 const std::vector<std::pair<std::string, std::string>>& pairs, lexvia::CompareMode mode,
                 lexvia::SearchMethod method) {
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [query, headword] = pairs[i++ & (kPairs - 1)];
    benchmark::DoNotOptimize(lexvia::compare_query(query, headword, mode, method));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_CompareQueryPrefixUnrelated(benchmark::State& state) {
  run_compare(state, unrelated_pairs(), lexvia::kPrefixMode, lexvia::SearchMethod::kExact);
}
BENCHMARK(BM_CompareQueryPrefixUnrelated);

void BM_CompareQueryPrefixClose(benchmark::State& state) {
  run_compare(state, close_pairs(), lexvia::kPrefixMode, lexvia::SearchMethod::kExact);
}
BENCHMARK(BM_CompareQueryPrefixClose);

void BM_CompareQueryFullExactClose(benchmark::State& state) {
  run_compare(state, close_pairs(), lexvia::kFullMode, lexvia::SearchMethod::kExact);
}
BENCHMARK(BM_CompareQueryFullExactClose);

void BM_CompareQueryFullExtendedClose(benchmark::State& state) {
  run_compare(state, close_pairs(), lexvia::kFullMode, lexvia::SearchMethod::kExtended);
}
BENCHMARK(BM_CompareQueryFullExtendedClose);

void BM_PrefixSortKey(benchmark::State& state) {
  auto pairs = close_pairs();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lexvia::prefix_sort_key(pairs[i++ & (kPairs - 1)].second));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrefixSortKey);

}  // namespace
