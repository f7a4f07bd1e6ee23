// Shared by the compiler and checker tests: dictionaries built in a line.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dict/file_source.h"
#include "dict_compiler.h"
#include "dict_dump.h"

namespace lexvia::testing {

using Pairs = std::vector<std::pair<std::string, std::string>>;

inline std::vector<TextPair> to_text_pairs(const Pairs& pairs) {
  std::vector<TextPair> out;
  std::size_t line = 1;
  for (const auto& [a, b] : pairs) out.push_back({a, b, line++});
  return out;
}

inline CompileOptions en_de() {
  CompileOptions o;
  o.language1 = "en";
  o.language2 = "de";
  return o;
}

inline std::vector<std::uint8_t> compile_or_fail(const Pairs& pairs,
                                                 const CompileOptions& options = en_de()) {
  auto result = compile_dictionary(to_text_pairs(pairs), options);
  if (auto* e = std::get_if<CompileError>(&result)) {
    ADD_FAILURE() << "compile failed: " << e->message;
    return {};
  }
  return std::get<CompiledDictionary>(result).bytes;
}

// Every line of a dump, in order, as (headword, translation or "").
inline std::vector<std::pair<std::string, std::string>> dump_lines(
    const std::vector<std::uint8_t>& bytes, int direction) {
  MemoryFile file(bytes);
  std::vector<std::pair<std::string, std::string>> lines;
  auto error = dump_dictionary(file, static_cast<Direction>(direction), [&](std::string_view h, auto t) {
    lines.emplace_back(std::string(h), t ? std::string(*t) : std::string());
  });
  EXPECT_FALSE(error) << *error;
  return lines;
}

}  // namespace lexvia::testing
