// The DICT targets' dictionary, and what every DICT answer must look like
// whatever was asked: status lines of three digits, texts ended by a lone
// "." with every other line that starts with "." doubled, CRLF throughout,
// and a final status line.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dict_compiler.h"
#include "dict_protocol.h"
#include "fuzz_support.h"

namespace lexvia::fuzz {

// A small dictionary written once per process: headwords with separators,
// a phrase behind the prefix "to ", a text starting with ".", accents.
inline const std::vector<cli::DictDatabase>& dict_databases() {
  static const std::vector<cli::DictDatabase> databases = [] {
    CompileOptions options;
    options.language1 = "en";
    options.language2 = "de";
    options.prefixes1 = ",to ";
    const std::vector<TextPair> pairs = {
        {"house", "Haus", 1},         {"house", "Geb\xE4ude", 2}, {"house-boat", "Hausboot", 3},
        {"houses", "H\xE4user", 4},   {"dot", ".hidden", 5},      {"to go", "gehen", 6},
        {"Stra\xDF" "e", "street", 7}, {"\"quoted\"", "\\back", 8}};
    const auto compiled = compile_dictionary(pairs, options);
    const std::string path = scratch_path("dict.dic");
    const auto& bytes = std::get<CompiledDictionary>(compiled).bytes;
    write_file(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    return std::get<std::vector<cli::DictDatabase>>(cli::dict_catalogue({path}));
  }();
  return databases;
}

inline bool has_text(int code) {
  return code == 110 || code == 111 || code == 112 || code == 113 || code == 114 || code == 151 ||
         code == 152;
}

inline void check_dict_answer(std::string_view answer) {
  if (answer.empty() || !answer.ends_with("\r\n")) std::abort();
  bool in_text = false;
  int last_code = 0;
  std::size_t start = 0;
  while (start < answer.size()) {
    const std::size_t end = answer.find("\r\n", start);
    if (end == std::string_view::npos) std::abort();
    const std::string_view line = answer.substr(start, end - start);
    if (line.find('\n') != std::string_view::npos || line.find('\r') != std::string_view::npos) {
      std::abort();
    }
    start = end + 2;
    if (in_text) {
      if (line == ".") {
        in_text = false;
      } else if (line.starts_with('.') && !line.starts_with("..")) {
        std::abort();  // not dot-stuffed
      }
      continue;
    }
    if (line.size() < 3 || line[0] < '1' || line[0] > '5' || line[1] < '0' || line[1] > '9' ||
        line[2] < '0' || line[2] > '9' || (line.size() > 3 && line[3] != ' ')) {
      std::abort();
    }
    last_code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    // 150 and 152 announce what follows; 151 and the SHOW answers carry a text.
    in_text = has_text(last_code) && last_code != 150;
  }
  if (in_text || has_text(last_code) || last_code == 150) std::abort();
}

}  // namespace lexvia::fuzz
