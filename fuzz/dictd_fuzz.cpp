// Any index and definitions as a dictd database: the importer takes what it
// can, adds the bare forms of prefixed texts, and the compiler builds a file
// that passes the checker or refuses.
#include <cstdlib>

#include "dict_checker.h"
#include "dictd_import.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  fuzz::Input in(data, size);
  const bool reverse = in.byte() % 2 == 1;
  const bool transliterate = in.byte() % 2 == 1;
  const std::size_t index_size = in.u16();
  const std::string_view rest = in.rest();
  const std::string_view index = rest.substr(0, std::min(index_size, rest.size()));
  auto entries = parse_dictd_index(index);
  if (std::holds_alternative<DictdError>(entries)) return 0;
  DictdDatabase db;
  db.entries = std::move(std::get<std::vector<DictdEntry>>(entries));
  db.body = std::string(rest.substr(index.size()));

  std::vector<TextPair> pairs;
  ImportReport report;
  const ImportSide side{"en", "hu", transliterate, {",to ", ",sich "}};
  import_dictd_pairs(db, reverse, side, pairs, report);
  // With no headwords on either side every prefixed text is a candidate.
  DatabaseHeadwords none;
  none.forward.seal();
  none.backward.seal();
  add_bare_forms(pairs, none, side.prefix_lists, report);
  CompileOptions options;
  options.language1 = "en";
  options.language2 = "hu";
  auto compiled = compile_dictionary(pairs, options);
  if (auto* dict = std::get_if<CompiledDictionary>(&compiled)) {
    if (!verify_dictionary(dict->bytes).ok()) std::abort();
  }
  return 0;
}
