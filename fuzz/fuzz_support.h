// Small helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "dict/cp1252.h"
#include "listing/line_sink.h"
#include "search/search_engine.h"
#include "settings/interface_strings.h"
#include "shell/lookup_output.h"

namespace lexvia::fuzz {

// Takes control values and texts from the front of the fuzzer's input.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
  std::string text(std::size_t max) {
    const std::size_t n = std::min<std::size_t>(byte() % (max + 1), size_ - pos_);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  std::string_view rest() const {
    return {reinterpret_cast<const char*>(data_ + pos_), size_ - pos_};
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A file in a folder of this process's own, rewritten for every input.
inline std::string scratch_path(const char* name) {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("lexvia-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return (folder / name).string();
}

inline void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Keeps what a lookup found as the result list would get it (through the
// program's own queue), so that a target can check what was listed; a line
// that would not fit its buffer ends the run.
class Lines final : public SearchOutput {
 public:
  void title_line(SearchMethod method, std::string_view query) override {
    queue_.title_line(method, query);
  }
  void headword_line(std::string_view text) override { queue_.headword_line(text); }
  void translation_line(std::string_view text) override { queue_.translation_line(text); }
  void base_form_line(std::string_view query, std::string_view base) override {
    queue_.base_form_line(query, base);
  }
  void report_dictionary_error(DictionaryError error, const DictionaryPath& path) override {
    queue_.report_dictionary_error(error, path);
  }
  // The lines found so far, as text (Windows-1252) and colour.
  const std::vector<std::pair<std::string, ColourCode>>& lines() {
    queue_.deliver(sink_, strings_);
    return sink_.lines;
  }

 private:
  struct Sink final : LineSink {
    void append_line(std::u16string_view text, ColourCode colour) override {
      if (text.size() >= kLineUnits) std::abort();
      lines.emplace_back(utf16_to_cp1252(text), colour);
    }
    std::vector<std::pair<std::string, ColourCode>> lines;
  };
  LookupQueue queue_;
  BuiltinStrings strings_;
  Sink sink_;
};

}  // namespace lexvia::fuzz
