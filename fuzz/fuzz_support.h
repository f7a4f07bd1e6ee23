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

#include "listing/line_sink.h"

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

// Keeps the lines, so that a target can check what a lookup listed.
class Lines final : public LineSink {
 public:
  void append_line(std::u16string_view text, int colour) override {
    if (text.size() >= kLineUnits) std::abort();  // a line never exceeds its buffer
    lines.emplace_back(std::u16string(text), colour);
  }
  void append_formatted_line(std::string_view format, std::string_view text, int colour) override {
    std::string line(format);
    if (auto at = line.find("%s"); at != std::string::npos) line.replace(at, 2, text);
    formatted.emplace_back(std::move(line), colour);
  }
  std::vector<std::pair<std::u16string, int>> lines;
  std::vector<std::pair<std::string, int>> formatted;
};

}  // namespace lexvia::fuzz
