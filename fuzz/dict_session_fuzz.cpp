// Any bytes as a whole DICT session, one command a line: every answer is
// well formed, QUIT ends the session, and the same commands in a new session
// give the same answers (a session keeps nothing but OPTION MIME).
#include <algorithm>

#include "dict_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  cli::DictServerState server;
  cli::DictSession session(fuzz::dict_databases(), server);
  cli::DictSession twin(fuzz::dict_databases(), server);
  fuzz::check_dict_answer(session.banner());
  for (int lines = 0; !rest.empty() && lines < 64 && !session.finished(); ++lines) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const std::string answer = session.answer(line);
    fuzz::check_dict_answer(answer);
    // STATUS counts requests and time: the one answer that may differ.
    const auto words = cli::split_command(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    const bool status = words && !words->empty() && words->front().size() == 6 &&
                        std::equal(words->front().begin(), words->front().end(), "status",
                                   [](char a, char b) { return (a | 0x20) == b; });
    if (!status && twin.answer(line) != answer) std::abort();
  }
  return 0;
}
