#include "compile_summary.h"

#include <cstdio>
#include <iostream>

namespace lexvia::cli {

void print_compile_summary(const std::string& path, const CompiledDictionary& dict) {
  std::printf("%s: %zu bytes, %zu distinct pairs\n", path.c_str(), dict.bytes.size(),
              dict.distinct_pairs);
  for (int n = 0; n < 2; ++n) {
    const auto& s = dict.language[n];
    const double ratio = s.plain_bytes == 0 ? 1.0
                                            : static_cast<double>(s.compressed_bytes) /
                                                  static_cast<double>(s.plain_bytes);
    std::printf(
        "  language %d: %zu records, %zu table entries, headwords %llu -> %llu bytes (%.3f)\n",
        n + 1, s.records, s.table_entries, static_cast<unsigned long long>(s.plain_bytes),
        static_cast<unsigned long long>(s.compressed_bytes), ratio);
  }
}

void print_index_line(const NearIndexWritten& written) {
  std::printf("suggestion index: %s, %zu + %zu keys\n", written.path.c_str(), written.keys[0],
              written.keys[1]);
}

bool write_index_beside(const std::string& command, const std::string& path,
                        const CompiledDictionary& dict, const std::vector<std::string>& inputs) {
  MemoryFile bytes(dict.bytes);
  auto written = write_near_index(path, bytes, inputs);
  if (auto* error = std::get_if<std::string>(&written)) {
    std::cerr << "lexvia-cli " << command << ": " << *error << "\n";
    return false;
  }
  print_index_line(std::get<NearIndexWritten>(written));
  return true;
}

}  // namespace lexvia::cli
