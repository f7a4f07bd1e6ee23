// Pairs chosen by the fuzzer go through the compiler; whatever it accepts must
// pass the checker, and every pair must be found again by Exact Search in
// both directions.
#include <cstdlib>

#include "dict_checker.h"
#include "dict_compiler.h"
#include "fuzz_support.h"
#include "listing/line_sink.h"
#include "search/search_engine.h"

namespace {

class NoPrefixes final : public lexvia::PrefixListSource {
 public:
  std::u16string get_prefix_list(lexvia::Direction) override { return u""; }
};

// Lines "text<TAB>text"; texts are taken as Windows-1252 bytes as they stand.
std::vector<lexvia::TextPair> pairs_of(std::string_view input) {
  std::vector<lexvia::TextPair> pairs;
  std::size_t line = 0;
  while (!input.empty() && pairs.size() < 64) {
    const std::size_t eol = input.find('\n');
    const std::string_view text = input.substr(0, eol);
    input.remove_prefix(eol == std::string_view::npos ? input.size() : eol + 1);
    const std::size_t tab = text.find('\t');
    if (tab == std::string_view::npos || tab == 0 || tab + 1 == text.size()) continue;
    pairs.push_back({std::string(text.substr(0, tab)), std::string(text.substr(tab + 1)), ++line});
  }
  return pairs;
}

// A listed line is cut to what fits the result list's line.
std::string as_listed(std::string line) {
  if (line.size() >= lexvia::kLineUnits) line.resize(lexvia::kLineUnits - 1);
  return line;
}

// True when an Exact Search for `query` lists `headword` with `translation`
// among its translations.
bool lists(lexvia::fuzz::Lines& lines, const std::string& headword,
           const std::string& translation) {
  using lexvia::ColourCode;
  const auto& f = lines.lines();
  const std::string headword_line = as_listed("  " + headword);
  const std::string translation_line = as_listed("    " + translation);
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i].second != ColourCode::kHeadword || f[i].first != headword_line) continue;
    for (std::size_t j = i + 1; j < f.size() && f[j].second == ColourCode::kTranslation; ++j) {
      if (f[j].first == translation_line) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  fuzz::Input in(data, size);
  CompileOptions options;
  options.language1 = "en";
  options.language2 = "de";
  options.compress = in.byte() % 4 != 0;
  const auto pairs = pairs_of(in.rest());
  auto compiled = compile_dictionary(pairs, options);
  if (std::holds_alternative<CompileError>(compiled)) return 0;
  const auto& bytes = std::get<CompiledDictionary>(compiled).bytes;
  if (!verify_dictionary(bytes).ok()) std::abort();

  const std::string path = fuzz::scratch_path("compiled.dic");
  fuzz::write_file(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  const DictionaryPath dict = path;
  SearchState state;
  CancelFlag cancel;
  WindowedReader index_reader, translation_reader;
  NoPrefixes prefixes;
  for (const TextPair& p : pairs) {
    for (Direction direction : {Direction::kFrom1, Direction::kFrom2}) {
      const std::string& from = direction == Direction::kFrom1 ? p.first : p.second;
      const std::string& to = direction == Direction::kFrom1 ? p.second : p.first;
      fuzz::Lines lines;
      SearchEngine engine({dict, state, cancel, index_reader, translation_reader, lines, prefixes});
      engine.search_dictionary(from, SearchMethod::kExact, direction);
      if (!lists(lines, from, to)) std::abort();
    }
  }
  return 0;
}
