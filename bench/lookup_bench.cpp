// Lookups end to end on a dictionary of well over 100,000 headwords per
// language, generated reproducibly and compiled in-process: each iteration
// opens the file, reads header and tables, binary-searches and lists, and
// closes the file, as a real lookup does.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <set>

#include "dict_compiler.h"
#include "search/search_engine.h"

namespace lexvia {
namespace {

class CountingSink final : public SearchOutput {
 public:
  void title_line(SearchMethod, std::string_view) override { ++lines; }
  void headword_line(std::string_view) override { ++lines; }
  void translation_line(std::string_view) override { ++lines; }
  void base_form_line(std::string_view, std::string_view) override { ++lines; }
  void report_dictionary_error(DictionaryError, const DictionaryPath&) override { ++lines; }
  std::size_t lines = 0;
};

class FixedPrefixes final : public PrefixListSource {
 public:
  std::u16string get_prefix_list(Direction direction) override {
    return direction == Direction::kFrom1 ? u",to " : u"";
  }
};

std::string word(std::mt19937& rng) {
  static const char* syllables[] = {"an",   "be",   "con",  "de",   "er",   "for",  "ing", "ion",
                                    "ly",   "ment", "ness", "o",    "per",  "re",   "st",  "tion",
                                    "un",   "ver",  "wa",   "th",   "sh",   "ch",   "ou",  "ea",
                                    "ight", "ous",  "\xE4", "\xF6", "\xFC", "\xDF", "-",   "'"};
  std::string w;
  for (int n = 2 + static_cast<int>(rng() % 4); n > 0; --n) w += syllables[rng() % 32];
  return w;
}

struct BenchDictionary {
  std::string path;
  std::vector<std::string> headwords;  // language 1, for queries that are found
};

const BenchDictionary& bench_dictionary() {
  static const BenchDictionary dict = [] {
    std::mt19937 rng(20261208);
    std::vector<TextPair> pairs;
    std::set<std::string> left;
    while (left.size() < 150000) {
      std::string a = word(rng);
      if (rng() % 5 == 0) a = "to " + a;
      if (rng() % 4 == 0) a += " " + word(rng);
      left.insert(a);
      pairs.push_back({a, word(rng), pairs.size() + 1});
    }
    CompileOptions options;
    options.language1 = "en";
    options.language2 = "de";
    auto compiled = std::get<CompiledDictionary>(compile_dictionary(pairs, options));
    BenchDictionary d;
    d.path = (std::filesystem::temp_directory_path() / "lexvia-lookup-bench.dic").string();
    if (write_file_atomically(d.path, compiled.bytes)) std::abort();
    std::sample(left.begin(), left.end(), std::back_inserter(d.headwords), 1000, rng);
    std::shuffle(d.headwords.begin(), d.headwords.end(), rng);
    return d;
  }();
  return dict;
}

void run_lookups(benchmark::State& state, SearchMethod method, bool mapped = false) {
  const BenchDictionary& dict = bench_dictionary();
  DictionaryPath path = dict.path;
  SearchState search_state;
  CancelFlag cancel;
  WindowedReader index_reader, translation_reader;
  CountingSink lines;
  FixedPrefixes prefixes;
  SearchEngine engine(
      {path, search_state, cancel, index_reader, translation_reader, lines, prefixes});
  // A batch of the command-line tool lends the engine the file mapped.
  const auto mapping =
      mapped ? MappedFile::map(dict.path, MappedFile::kLargestDictionary) : nullptr;
  if (mapped && !mapping) std::abort();
  engine.lend_file(mapping.get());
  std::size_t i = 0;
  for (auto _ : state) {
    engine.search_dictionary(dict.headwords[i++ % dict.headwords.size()], method,
                             Direction::kFrom1);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["lines/lookup"] =
      static_cast<double>(lines.lines) / static_cast<double>(state.iterations());
}

void BM_ExactLookup(benchmark::State& state) { run_lookups(state, SearchMethod::kExact); }
void BM_ExtendedLookup(benchmark::State& state) { run_lookups(state, SearchMethod::kExtended); }
void BM_FullLookup(benchmark::State& state) { run_lookups(state, SearchMethod::kFull); }
void BM_ExactLookupMapped(benchmark::State& state) {
  run_lookups(state, SearchMethod::kExact, true);
}

BENCHMARK(BM_ExactLookup);
BENCHMARK(BM_ExtendedLookup);
BENCHMARK(BM_FullLookup);
BENCHMARK(BM_ExactLookupMapped);

}  // namespace
}  // namespace lexvia
