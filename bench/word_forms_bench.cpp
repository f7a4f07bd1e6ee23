// The cost of word forms on a miss, over the bundled en-de.dic and en-hu.dic
// mapped into memory as a batch lends them: Hunspell's stems alone, whole
// Exact Searches of inflected words answered by their base forms (against
// hits of the base forms themselves), and loading a Hunspell dictionary.
// Hunspell is loaded before the timed loops but in BM_LoadHunspell. Reports
// the median and the worst call besides the mean Google Benchmark gives.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "dict/cp1252.h"
#include "dict/file_source.h"
#include "search/hunspell_forms.h"
#include "search/search_engine.h"

namespace lexvia {
namespace {

class CountingSink final : public SearchOutput {
 public:
  void title_line(SearchMethod, std::string_view) override {}
  void headword_line(std::string_view) override { ++headwords; }
  void translation_line(std::string_view) override {}
  void base_form_line(std::string_view, std::string_view) override { ++forms; }
  void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
  std::size_t headwords = 0;
  std::size_t forms = 0;
};

class NoPrefixes final : public PrefixListSource {
 public:
  std::u16string get_prefix_list(Direction) override { return {}; }
};

struct Language {
  const char* code;
  const char* dictionary;
  Direction direction;
  std::vector<const char*> inflected;  // UTF-8, no headword of the direction, each a base's form
  std::vector<const char*> bases;      // UTF-8, headwords of the direction
};

const Language kLanguages[] = {
    {"en",
     "en-hu.dic",
     Direction::kFrom1,
     {"walked", "books", "houses", "cities", "catnaps", "rehouses", "refiles", "windows"},
     {"walk", "book", "house", "city", "catnap", "file", "window"}},
    {"de",
     "en-de.dic",
     Direction::kFrom2,
     {"Hauses", "Tisches", "Fenstern", "Kindern", "Gartens", "Jahren", "Wagens", "Büchern"},
     {"Haus", "Tisch", "Fenster", "Kind", "Garten", "Jahr", "Wagen", "Bücher"}},
    {"hu",
     "en-hu.dic",
     Direction::kFrom2,
     {"házak", "házban", "kutyát", "könyvek", "asztalok", "kutyák", "fák", "könyvben"},
     {"ház", "kutya", "könyv", "asztal", "fa"}},
};

std::vector<std::string> cp1252_words(const std::vector<const char*>& words) {
  std::vector<std::string> out;
  for (const char* w : words) out.push_back(utf16_to_cp1252(utf8_to_utf16(w)));
  return out;
}

// Times each call of `body` on the words in turn.
template <class Body>
void timed(benchmark::State& state, const std::vector<std::string>& words, Body body) {
  std::vector<double> micros;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    body(words[i++ % words.size()]);
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started)
            .count());
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["worst_us"] = micros.back();
}

void BM_HunspellStems(benchmark::State& state) {
  const Language& language = kLanguages[state.range(0)];
  state.SetLabel(language.code);
  HunspellForms forms{std::string(kSystemHunspellFolder)};
  if (!forms.files_for(language.code)) {
    state.SkipWithError("no Hunspell dictionary installed");
    return;
  }
  const auto words = cp1252_words(language.inflected);
  forms.base_forms(language.code, words.front());
  timed(state, words, [&](const std::string& word) {
    benchmark::DoNotOptimize(forms.base_forms(language.code, word));
  });
}

// Whole lookups in the mapped dictionary: an inflected word (a miss, its
// stems, an exact search per stem) with `inflected`, else a base (a hit).
void run_lookups(benchmark::State& state, bool inflected) {
  const Language& language = kLanguages[state.range(0)];
  state.SetLabel(language.code);
  const DictionaryPath path = std::string(LEXVIA_BENCH_DATA "/") + language.dictionary;
  const auto mapping = MappedFile::map(*path, MappedFile::kLargestDictionary);
  HunspellForms forms{std::string(kSystemHunspellFolder)};
  if (!mapping || !forms.files_for(language.code)) {
    state.SkipWithError("the bundled dictionary or the Hunspell dictionary is missing");
    return;
  }
  SearchState search_state;
  CancelFlag cancel;
  WindowedReader index_reader, translation_reader;
  CountingSink sink;
  NoPrefixes prefixes;
  SearchEngine engine({path, search_state, cancel, index_reader, translation_reader, sink, prefixes});
  engine.lend_file(mapping.get());
  engine.lend_word_forms(&forms);
  const auto words = cp1252_words(inflected ? language.inflected : language.bases);
  forms.base_forms(language.code, words.front());
  timed(state, words, [&](const std::string& word) {
    engine.search_dictionary(word, SearchMethod::kExact, language.direction);
  });
  state.counters["forms/lookup"] =
      static_cast<double>(sink.forms) / static_cast<double>(state.iterations());
  state.counters["headwords/lookup"] =
      static_cast<double>(sink.headwords) / static_cast<double>(state.iterations());
}

void BM_MissAnsweredByBaseForm(benchmark::State& state) { run_lookups(state, true); }
void BM_HitOfTheBaseForm(benchmark::State& state) { run_lookups(state, false); }

// The first miss of a language: the files checked and Hunspell built.
void BM_LoadHunspell(benchmark::State& state) {
  const Language& language = kLanguages[state.range(0)];
  state.SetLabel(language.code);
  const auto words = cp1252_words(language.inflected);
  for (auto _ : state) {
    HunspellForms forms{std::string(kSystemHunspellFolder)};
    benchmark::DoNotOptimize(forms.base_forms(language.code, words.front()));
  }
}

BENCHMARK(BM_HunspellStems)->DenseRange(0, 2)->Iterations(5000);
BENCHMARK(BM_MissAnsweredByBaseForm)->DenseRange(0, 2)->Iterations(5000);
BENCHMARK(BM_HitOfTheBaseForm)->DenseRange(0, 2)->Iterations(5000);
BENCHMARK(BM_LoadHunspell)->DenseRange(0, 2)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lexvia
