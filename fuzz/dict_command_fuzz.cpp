// Any bytes as one DICT command line: the words split as the protocol
// quotes them (a split never yields more text than it was given), and the
// answer is well formed.
#include "dict_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  if (const auto words = cli::split_command(line)) {
    std::size_t total = 0;
    for (const std::string& word : *words) total += word.size();
    if (total > line.size()) std::abort();
  }
  cli::DictServerState server;
  cli::DictSession session(fuzz::dict_databases(), server);
  fuzz::check_dict_answer(session.answer(line));
  return 0;
}
