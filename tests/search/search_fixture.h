// Shared by the search engine and browsing tests: a search engine wired to
// recording services, dictionaries compiled into a temporary folder, and the
// result lines spelled as UTF-8 text with their colour.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "dict/coding.h"
#include "dict/cp1252.h"
#include "dict/format.h"
#include "search/search_engine.h"
#include "settings/interface_strings.h"
#include "shell/lookup_output.h"
#include "tools/compile_helpers.h"

namespace lexvia::testing {

// A result line as the tests spell it.
struct Line {
  std::string text;  // UTF-8
  int colour = 0;
  bool operator==(const Line&) const = default;
};

inline void PrintTo(const Line& line, std::ostream* os) {
  *os << "{\"" << line.text << "\", " << line.colour << "}";
}

inline Line title(std::string_view method, std::string_view query) {
  return {std::string(method) + ": \"" + std::string(query) + "\"", static_cast<int>(ColourCode::kTitle)};
}
inline Line head(std::string_view text) { return {"  " + std::string(text), static_cast<int>(ColourCode::kHeadword)}; }
inline Line tr(std::string_view text) { return {"    " + std::string(text), static_cast<int>(ColourCode::kTranslation)}; }
inline Line error_line(int number) {
  return {"Dictionary File Error #" + std::to_string(number), static_cast<int>(ColourCode::kError)};
}
inline Line error_line(int number, const std::string& path) {
  return {"Dictionary File Error #" + std::to_string(number) + " (" + path + ")", static_cast<int>(ColourCode::kError)};
}

// UTF-8 as written in the tests to the dictionary's Windows-1252 bytes.
inline std::string cp(std::string_view utf8) {
  auto decoded = decode_utf8(utf8);
  std::string out;
  for (char32_t c : std::get<std::u32string>(decoded)) {
    out.push_back(static_cast<char>(unicode_to_cp1252(c).value()));
  }
  return out;
}

inline std::string to_utf8(std::u16string_view text) {
  return encode_utf8(std::u32string(text.begin(), text.end()));
}

// Turns what the engine finds into lines through the program's own queue,
// as the result list would get them; can set the cancel flag once a given
// number of findings has arrived, as a Cancel press during the lookup would.
class RecordingSink final : public SearchOutput {
 public:
  void title_line(SearchMethod method, std::string_view query) override {
    queue_.title_line(method, query);
    count();
  }
  void headword_line(std::string_view headword) override {
    queue_.headword_line(headword);
    count();
  }
  void translation_line(std::string_view translation) override {
    queue_.translation_line(translation);
    count();
  }
  void base_form_line(std::string_view query, std::string_view base) override {
    queue_.base_form_line(query, base);
    count();
  }
  void report_dictionary_error(DictionaryError error, const DictionaryPath& path) override {
    queue_.report_dictionary_error(error, path);
    count();
  }

  void cancel_after(std::size_t findings, CancelFlag* flag) {
    cancel_after_ = findings;
    cancel_ = flag;
  }
  std::vector<Line> take() {
    Lines lines;
    queue_.deliver(lines, strings_);
    found_ = 0;
    return std::move(lines.lines);
  }

 private:
  struct Lines final : LineSink {
    void append_line(std::u16string_view text, ColourCode colour) override {
      lines.push_back({to_utf8(text.substr(0, kLineUnits - 1)), static_cast<int>(colour)});
    }
    std::vector<Line> lines;
  };
  void count() {
    if (cancel_ != nullptr && ++found_ == cancel_after_) cancel_->set();
  }

  LookupQueue queue_;
  BuiltinStrings strings_;
  std::size_t found_ = 0;
  std::size_t cancel_after_ = 0;
  CancelFlag* cancel_ = nullptr;
};

class FixedPrefixes final : public PrefixListSource {
 public:
  std::u16string get_prefix_list(Direction direction) override {
    return list[direction == Direction::kFrom2 ? 1 : 0];
  }
  std::array<std::u16string, 2> list;
};

// Where an index section lies in a dictionary's bytes.
struct Section {
  std::uint64_t start;
  std::uint64_t end;  // the terminal marker
};

inline Section section_of(const std::vector<std::uint8_t>& bytes, int direction) {
  const std::uint8_t* h = bytes.data();
  const std::uint32_t start = get_u32le(
      h + (direction == 1 ? header_field::kSection1Offset : header_field::kSection2Offset));
  const std::uint32_t length = get_u32le(
      h + (direction == 1 ? header_field::kSection1Length : header_field::kSection2Length));
  return {start, std::uint64_t{start} + length - 1};
}

// The record markers of a compiled section in index order (compiled records
// hold no 0xFF byte but their marker).
inline std::vector<std::uint64_t> record_markers(const std::vector<std::uint8_t>& bytes,
                                                 int direction) {
  const Section s = section_of(bytes, direction);
  std::vector<std::uint64_t> out;
  for (std::uint64_t p = s.start; p < s.end; ++p) {
    if (bytes[p] == kMarker) out.push_back(p);
  }
  return out;
}

inline void set_u32(std::vector<std::uint8_t>& bytes, std::uint32_t field, std::uint32_t value) {
  put_u32le(bytes.data() + field, value);
}

// Records stored as written, so that tests can place and patch bytes.
inline CompileOptions plain_options() {
  CompileOptions o = en_de();
  o.compress = false;
  return o;
}

// Pairs written in UTF-8, compiled as Windows-1252.
inline std::vector<std::uint8_t> compile_utf8(const Pairs& pairs,
                                              const CompileOptions& options = en_de()) {
  Pairs converted;
  for (const auto& [a, b] : pairs) converted.emplace_back(cp(a), cp(b));
  return compile_or_fail(converted, options);
}

// alpha, bravo, charlie with section 1 claimed to start at offset 0 and to end
// at its real terminal marker: no byte before its real records is a marker,
// so every backward scan from them runs to the start of the file.
inline std::vector<std::uint8_t> section_one_from_file_start() {
  auto bytes = compile_utf8({{"alpha", "A"}, {"bravo", "B"}, {"charlie", "C"}}, plain_options());
  const Section s1 = section_of(bytes, 1);
  EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + static_cast<long>(s1.start), kMarker), 0);
  set_u32(bytes, header_field::kSection1Offset, 0);
  set_u32(bytes, header_field::kSection1Length, static_cast<std::uint32_t>(s1.end + 1));
  return bytes;
}

// Aborts the run when one case keeps the engine busy for too long: an endless
// lookup would otherwise stall the test without saying which file caused it.
class HangGuard {
 public:
  explicit HangGuard(std::chrono::seconds limit) : limit_(limit) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    test_ = std::string(info->test_suite_name()) + "." + info->name();
    thread_ = std::thread([this] { watch(); });
  }
  ~HangGuard() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

  void step(std::string what) {
    std::lock_guard lock(mutex_);
    what_ = std::move(what);
    last_ = std::chrono::steady_clock::now();
  }

 private:
  void watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      wake_.wait_for(lock, std::chrono::milliseconds(200));
      if (!stop_ && std::chrono::steady_clock::now() - last_ > limit_) {
        std::fprintf(stderr, "%s: no progress for %lld s; case: %s\n", test_.c_str(),
                     static_cast<long long>(limit_.count()), what_.c_str());
        std::abort();
      }
    }
  }

  std::chrono::seconds limit_;
  std::string test_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::string what_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  std::thread thread_;
};

class SearchFixture : public ::testing::Test {
 protected:
  SearchFixture() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("lexvia_search_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" +
            info->name());
    std::filesystem::create_directories(dir_);
  }
  ~SearchFixture() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string file_path(std::string_view name) const { return (dir_ / name).string(); }

  // Writes the bytes as the selected dictionary and returns its path.
  std::string use(const std::vector<std::uint8_t>& bytes, std::string_view name = "dict.lex") {
    const std::string p = file_path(name);
    auto error = write_file_atomically(p, bytes);
    EXPECT_FALSE(error) << *error;
    path_ = p;
    return p;
  }

  std::vector<Line> search(std::string_view query_utf8, SearchMethod method, int direction = 1) {
    engine_.search_dictionary(cp(query_utf8), method, static_cast<Direction>(direction));
    return sink_.take();
  }

  std::vector<Line> move(BrowseMove m, int direction = 1) {
    engine_.browse_move(static_cast<Direction>(direction), m);
    return sink_.take();
  }

  std::filesystem::path dir_;
  DictionaryPath path_;
  SearchState state_;
  CancelFlag cancel_;
  WindowedReader index_reader_;
  WindowedReader translation_reader_;
  RecordingSink sink_;
  FixedPrefixes prefixes_;
  SearchEngine engine_{{path_, state_, cancel_, index_reader_, translation_reader_, sink_,
                        prefixes_}};
};

}  // namespace lexvia::testing
