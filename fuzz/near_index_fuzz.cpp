// Bytes chosen by the fuzzer stand as a suggestion index's tables beside a
// fixed dictionary. The index's identity fields are those of the dictionary,
// so that the fuzzer reaches the tables rather than the checks that refuse a
// foreign index: opening and probing must stay inside the file, and every
// suggestion must still be a headword of the dictionary near the query.
#include <cstdlib>
#include <set>

#include "dict_compiler.h"
#include "fuzz_support.h"
#include "search/collation.h"
#include "search/near_index.h"
#include "search/suggestions.h"

namespace {

using namespace lexvia;

constexpr const char* kHeadwords[] = {"house",     "horse", "mouse", "hose", "houses",
                                      "ice cream", "home",  "hous",  "use"};
// The size of the index's header, and the places in it of the two
// sections' sample hashes, which are kept.
constexpr std::size_t kHeader = 144;
constexpr std::size_t kSampleHashes[] = {32, 88};

struct Fixture {
  std::string dictionary = fuzz::scratch_path("near.dic");
  std::vector<std::uint8_t> valid;  // the index of the dictionary
  std::set<std::string> headwords;
};

Fixture make_fixture() {
  Fixture f;
  std::vector<TextPair> pairs;
  for (const char* h : kHeadwords) {
    pairs.push_back({h, std::string(h) + "-de", pairs.size() + 1});
    f.headwords.insert(h);
  }
  CompileOptions options;
  options.language1 = "en";
  options.language2 = "de";
  auto compiled = compile_dictionary(pairs, options);
  if (!std::holds_alternative<CompiledDictionary>(compiled)) std::abort();
  const auto& bytes = std::get<CompiledDictionary>(compiled).bytes;
  fuzz::write_file(f.dictionary, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  MemoryFile file(bytes);
  auto built = build_near_index(file);
  if (!std::holds_alternative<std::vector<std::uint8_t>>(built)) std::abort();
  f.valid = std::get<std::vector<std::uint8_t>>(built);
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Fixture fixture = make_fixture();
  // The identity of the dictionary, then the fuzzer's bytes for the rest
  // of the header and the tables; the sample hashes stay the dictionary's.
  std::vector<std::uint8_t> index(fixture.valid.begin(), fixture.valid.begin() + 32);
  index.insert(index.end(), data, data + size);
  if (index.size() < kHeader) index.resize(kHeader, 0);
  for (const std::size_t at : kSampleHashes) {
    std::copy(fixture.valid.begin() + at, fixture.valid.begin() + at + 8, index.begin() + at);
  }
  fuzz::write_file(near_index_path(fixture.dictionary),
                   {reinterpret_cast<const char*>(index.data()), index.size()});
  const auto mapping = MappedFile::map(fixture.dictionary, MappedFile::kLargestDictionary);
  if (!mapping) std::abort();
  KeptSuggestionTables kept;
  for (const char* query : {"hosue", "icecream", "huose", "xyz", "hou"}) {
    for (const auto& s :
         suggest_headwords(fixture.dictionary, Direction::kFrom1, query, 5, mapping.get(), &kept)) {
      if (fixture.headwords.count(s) == 0 || bounded_edit_distance(query, s, 2) > 2) std::abort();
    }
  }
  return 0;
}
