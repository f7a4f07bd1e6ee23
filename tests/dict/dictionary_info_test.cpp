#include "dict/dictionary_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dict/coding.h"
#include "dict/cp1252.h"
#include "dict/format.h"
#include "settings/dictionary_texts.h"
#include "tools/compile_helpers.h"

namespace lexvia {
namespace {

struct Line {
  std::u16string text;
  int colour;
  bool operator==(const Line&) const = default;
};

void PrintTo(const Line& line, std::ostream* os) {
  *os << '"' << utf16_to_utf8(line.text) << "\" colour " << line.colour;
}

class RecordingSink final : public LineSink {
 public:
  void append_line(std::u16string_view text, ColourCode colour) override {
    lines.push_back({std::u16string(text), static_cast<int>(colour)});
  }
  std::vector<Line> lines;
};

// A module's translations over the built-in English.
class TranslatedStrings final : public InterfaceStrings {
 public:
  explicit TranslatedStrings(std::map<StringId, std::u16string> texts) : texts_(std::move(texts)) {}
  using InterfaceStrings::view;
  std::u16string_view view(int id) const override {
    const auto it = texts_.find(static_cast<StringId>(id));
    return it != texts_.end() ? std::u16string_view(it->second) : BuiltinStrings().view(id);
  }

 private:
  std::map<StringId, std::u16string> texts_;
};

Line error_line(const std::u16string& text) { return {text, static_cast<int>(ColourCode::kError)}; }

class DictionaryInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("lexvia-info-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string file = (dir_ / name).string();
    EXPECT_FALSE(write_file_atomically(file, bytes));
    return file;
  }

  static std::vector<std::uint8_t> compile(const CompileOptions& options) {
    return testing::compile_or_fail({{"house", "Haus"}, {"home", "Heim"}}, options);
  }

  static CompileOptions codes(const std::string& language1, const std::string& language2) {
    CompileOptions options;
    options.language1 = language1;
    options.language2 = language2;
    return options;
  }

  // The selected dictionary becomes the compiled one, written under `name`.
  void select(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    path_ = write(name, bytes);
  }

  InfoContext context() { return {path_, errors_}; }
  std::u16string wide_path() const { return utf8_to_utf16(*path_); }

  std::filesystem::path dir_;
  DictionaryPath path_;
  RecordingSink sink_;
  BuiltinStrings strings_;
  ErrorLines errors_{sink_, strings_};
  DirectionLabels labels_;
};

TEST_F(DictionaryInfo, NoDictionaryReportsWithoutAPathAndLeavesLabelsEmpty) {
  build_direction_labels(context(), labels_);
  EXPECT_EQ(direction_label(labels_, Direction::kFrom1), u"");
  EXPECT_EQ(direction_label(labels_, Direction::kFrom2), u"");
  EXPECT_EQ(read_default_prefix_list(context(), 1), std::nullopt);
  EXPECT_EQ(dictionary_line(path_, strings_), std::nullopt);
  const Line expected = error_line(u"Dictionary File Error #101");
  EXPECT_EQ(sink_.lines, (std::vector<Line>{expected, expected}));
}

TEST_F(DictionaryInfo, LabelsJoinTheCodesInTheOrderOfEachDirection) {
  select("en-hu.dic", compile(codes("en", "hu")));
  build_direction_labels(context(), labels_);
  EXPECT_EQ(direction_label(labels_, Direction::kFrom1), u"en \u00BB hu");
  EXPECT_EQ(direction_label(labels_, Direction::kFrom2), u"hu \u00BB en");
  EXPECT_EQ(direction_label(labels_, Direction::kFrom1).substr(0, 3), u"en ");
  EXPECT_EQ(direction_label(labels_, static_cast<Direction>(0)), direction_label(labels_, Direction::kFrom1));

  select("three.dic", compile(codes("\xE9n", "abc")));  // Windows-1252 é
  build_direction_labels(context(), labels_);
  EXPECT_EQ(direction_label(labels_, Direction::kFrom1), u"\u00E9n \u00BB abc");
  EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(DictionaryInfo, AFailedReadKeepsTheLabelsAndReportsWhatTheUserCanFix) {
  select("en-hu.dic", compile(codes("en", "hu")));
  build_direction_labels(context(), labels_);
  const DirectionLabels before = labels_;

  std::vector<std::uint8_t> bad_magic = compile(codes("de", "en"));
  bad_magic[6] = 'd';  // "Lexvi database"
  const std::vector<std::uint8_t> good = compile(codes("de", "en"));
  const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + kHeaderSize - 1);
  struct Case {
    std::string name;
    std::optional<std::vector<std::uint8_t>> bytes;  // nothing: the file does not exist
    std::optional<std::u16string> error;             // nothing: the read ends silently
  };
  const std::vector<Case> cases = {
      {"missing.dic", std::nullopt, u"Dictionary File Error #102"},
      {"magic.dic", bad_magic, u"Dictionary File Error #103"},
      {"short.dic", truncated, std::nullopt},
      {"empty.dic", std::vector<std::uint8_t>{}, std::nullopt},
  };
  for (const auto& c : cases) {
    path_ = c.bytes ? write(c.name, *c.bytes) : (dir_ / c.name).string();
    sink_.lines.clear();
    build_direction_labels(context(), labels_);
    EXPECT_EQ(labels_.label, before.label) << c.name;
    EXPECT_EQ(read_default_prefix_list(context(), 2), std::nullopt) << c.name;
    EXPECT_EQ(dictionary_line(path_, strings_), std::nullopt) << c.name;
    std::vector<Line> expected;
    if (c.error) expected.assign(2, error_line(*c.error + u" (" + wide_path() + u")"));
    EXPECT_EQ(sink_.lines, expected) << c.name;
  }
}

TEST_F(DictionaryInfo, FormatNumberBelow261FailsOnlyLabelsAndPrefixLists) {
  CompileOptions options = codes("de", "en");
  options.format_number = 260;
  options.prefixes1 = "ab";
  select("old.dic", compile(options));
  build_direction_labels(context(), labels_);
  EXPECT_EQ(read_default_prefix_list(context(), 1), std::nullopt);
  EXPECT_EQ(labels_.label[0], u"");
  const Line expected = error_line(u"Dictionary File Error #103 (" + wide_path() + u")");
  EXPECT_EQ(sink_.lines, (std::vector<Line>{expected, expected}));
  EXPECT_EQ(dictionary_line(path_, strings_),
            u"Selected Dictionary: de-en\nContains 2 expression pairs");
}

TEST_F(DictionaryInfo, DefaultPrefixListsAreTheStoredTexts) {
  CompileOptions options = codes("de", "en");
  options.prefixes1 =
      "sich,etw.;\xFC"
      "ber";
  options.prefixes2 = "to,the";
  select("lists.dic", compile(options));
  EXPECT_EQ(read_default_prefix_list(context(), 1), u"sich,etw.;\u00FCber");
  EXPECT_EQ(read_default_prefix_list(context(), 2), u"to,the");

  options.prefixes1 = "";
  select("empty-list.dic", compile(options));
  EXPECT_EQ(read_default_prefix_list(context(), 1), u"") << "an empty list is a text";
  EXPECT_EQ(read_default_prefix_list(context(), 2), u"to,the");
  EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(DictionaryInfo, PrefixListOffsetsAreTrustedOnlyAsFarAsTheFileGoes) {
  // Lists "abc" at 72 and "def" at 76; table 1 at 80.
  CompileOptions options = codes("de", "en");
  options.prefixes1 = "abc";
  options.prefixes2 = "def";
  const std::vector<std::uint8_t> good = compile(options);
  auto patched = [&](std::uint32_t field, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = good;
    put_u32le(bytes.data() + field, value);
    return bytes;
  };
  namespace f = header_field;

  // A span without a NUL is read with a window one byte longer than the span.
  select("narrow.dic", patched(f::kPrefixList2, 73));
  EXPECT_EQ(read_default_prefix_list(context(), 1), u"ab");
  EXPECT_EQ(read_default_prefix_list(context(), 2), u"bc");

  select("backwards.dic", patched(f::kPrefixList2, 71));
  EXPECT_EQ(read_default_prefix_list(context(), 1), std::nullopt);

  select("huge-span.dic", patched(f::kTable1Offset, UINT32_MAX));
  EXPECT_EQ(read_default_prefix_list(context(), 2), u"def");

  select("outside.dic", patched(f::kPrefixList2, 0x7FFFFFFF));
  EXPECT_EQ(read_default_prefix_list(context(), 1), u"abc");
  EXPECT_EQ(read_default_prefix_list(context(), 2), std::nullopt);
  EXPECT_TRUE(sink_.lines.empty()) << "read failures after the header are silent";
}

TEST_F(DictionaryInfo, AboutLineFillsTheCodesAndTheSignedPairCount) {
  CompileOptions options = codes("de", "en");
  options.pair_count = 500;
  select("de-en.dic", compile(options));
  EXPECT_EQ(dictionary_line(path_, strings_),
            u"Selected Dictionary: de-en\nContains 500 expression pairs");
  const TranslatedStrings hungarian({{StringId::kDictionaryLine, u"%S-%S: %d kifejez\u00E9sp\u00E1r"}});
  EXPECT_EQ(dictionary_line(path_, hungarian), u"de-en: 500 kifejez\u00E9sp\u00E1r");

  options.pair_count = UINT32_MAX;
  select("overflow.dic", compile(options));
  EXPECT_EQ(dictionary_line(path_, strings_),
            u"Selected Dictionary: de-en\nContains -1 expression pairs");
  EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(DictionaryInfo, ErrorLineShowsTheNumberAndThePathInTheInterfaceLanguage) {
  errors_.report_dictionary_error(DictionaryError::kCannotOpen,
                                  std::string("/media/sz\xC3\xB3t\xC3\xA1r.dic"));
  const TranslatedStrings hungarian({{StringId::kFileError, u"Hiba a sz\u00F3t\u00E1rban: %d"}});
  ErrorLines(sink_, hungarian).report_dictionary_error(DictionaryError::kNotADictionary,
                                                       std::nullopt);
  EXPECT_EQ(
      sink_.lines,
      (std::vector<Line>{error_line(u"Dictionary File Error #102 (/media/sz\u00F3t\u00E1r.dic)"),
                         error_line(u"Hiba a sz\u00F3t\u00E1rban: 103")}));
}

TEST_F(DictionaryInfo, ErrorLineWithALongPathIsCutAt259Units) {
  const std::string long_path = "/" + std::string(999, 'p');
  errors_.report_dictionary_error(DictionaryError::kCannotOpen, long_path);
  ASSERT_EQ(sink_.lines.size(), 1u);
  const std::u16string head = u"Dictionary File Error #102 (/";
  EXPECT_EQ(sink_.lines[0].text, head + std::u16string(259 - head.size(), u'p'));
}

}  // namespace
}  // namespace lexvia
