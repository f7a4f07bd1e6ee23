// The cost of "Did you mean" on a miss: suggest_headwords on en-de.dic for a
// fixed set of misspelt headwords (a letter dropped, doubled, changed or two
// swapped), each call on its own and in a batch's setting. Reports the
// median, the 99th percentile and the worst call as counters, besides the
// mean Google Benchmark gives. LEXVIA_SUGGEST_DICT names another file (the
// suggestion index beside it is used when there is one).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dict/dictionary_info.h"
#include "search/collation.h"
#include "search/open_dictionary.h"
#include "search/suggestions.h"

namespace {

using namespace lexvia;

std::string dictionary() {
  const char* given = std::getenv("LEXVIA_SUGGEST_DICT");
  return given != nullptr ? given : LEXVIA_BENCH_DATA "/en-de.dic";
}

// Every 97th single-word headword of language 1, misspelt one way or another.
std::vector<std::string> misses(const std::string& path) {
  WindowedReader index;
  WindowedReader translation;
  OpenDictionary dict(index, translation);
  std::vector<std::string> words;
  if (dict.open(path, Direction::kFrom1) != OpenDictionary::Result::kOpen) return words;
  DecodedText text;
  std::mt19937 random(2026);
  int n = 0;
  for (std::uint64_t p = dict.section().start; p < dict.section().end && words.size() < 1000;
       p = next_marker(index, p + 1)) {
    if (!decode_at(translation, p, dict.own(), text) || ++n % 97 != 0) continue;
    std::string word(text.view());
    if (word.size() < 4 || word.find(' ') != std::string::npos) continue;
    const std::size_t i = random() % (word.size() - 1);
    switch (words.size() % 4) {
      case 0: word.erase(i, 1); break;
      case 1: word.insert(i, 1, word[i]); break;
      case 2: word[i] = word[i] == 'q' ? 'x' : 'q'; break;
      default: std::swap(word[i], word[i + 1]); break;
    }
    words.push_back(word);
  }
  return words;
}

// The median, 99th percentile and worst of the calls' times, as counters.
void report_times(benchmark::State& state, std::vector<double>& micros) {
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["worst_us"] = micros.back();
}

// Each call on its own, as a single lookup asks: the file mapped for it.
void BM_SuggestOnAMiss(benchmark::State& state) {
  const std::string path = dictionary();
  const auto words = misses(path);
  if (words.empty()) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  std::vector<double> micros;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(suggest_headwords(path, Direction::kFrom1, words[i++ % words.size()]));
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count());
  }
  report_times(state, micros);
}
BENCHMARK(BM_SuggestOnAMiss)->Iterations(3000);

// As a batch asks: the file mapped once and lent, with the tables kept
// from one miss to the next. The first call, which makes them, is counted.
void BM_SuggestInABatch(benchmark::State& state) {
  const std::string path = dictionary();
  const auto words = misses(path);
  const auto mapping = MappedFile::map(path, MappedFile::kLargestDictionary);
  if (words.empty() || !mapping) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  KeptSuggestionTables kept;
  std::vector<double> micros;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(suggest_headwords(path, Direction::kFrom1, words[i++ % words.size()],
                                               5, mapping.get(), &kept));
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count());
  }
  report_times(state, micros);
}
BENCHMARK(BM_SuggestInABatch)->Iterations(5000);

}  // namespace
