// Any bytes as a pairs TSV file: the reader accepts or names the line at
// fault, and what it accepts the compiler turns into a file that passes the
// checker or refuses with a message.
#include <cstdlib>
#include <sstream>

#include "dict_checker.h"
#include "dict_compiler.h"
#include "fuzz_support.h"
#include "pairs_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  fuzz::Input in(data, size);
  const bool transliterate = in.byte() % 2 == 1;
  std::istringstream tsv{std::string(in.rest())};
  PairsOptions reading;
  reading.transliterate = transliterate;
  reading.keep_control = in.byte() % 2 == 1;
  auto pairs = read_pairs_tsv(tsv, reading);
  if (auto* error = std::get_if<PairsError>(&pairs)) {
    if (error->message.empty()) std::abort();
    return 0;
  }
  CompileOptions options;
  options.language1 = "en";
  options.language2 = "hu";
  auto compiled = compile_dictionary(std::get<std::vector<TextPair>>(pairs), options);
  if (auto* dict = std::get_if<CompiledDictionary>(&compiled)) {
    if (!verify_dictionary(dict->bytes).ok()) std::abort();
  }
  return 0;
}
