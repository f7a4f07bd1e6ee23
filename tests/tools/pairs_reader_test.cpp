#include "pairs_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lexvia {
namespace {

std::vector<TextPair> read_ok(const std::string& text, bool transliterate = false) {
  std::istringstream in(text);
  auto result = read_pairs_tsv(in, PairsOptions{transliterate, false});
  if (auto* e = std::get_if<PairsError>(&result)) {
    ADD_FAILURE() << e->message;
    return {};
  }
  return std::get<std::vector<TextPair>>(result);
}

std::string read_error(const std::string& text, bool transliterate = false) {
  std::istringstream in(text);
  auto result = read_pairs_tsv(in, PairsOptions{transliterate, false});
  if (auto* e = std::get_if<PairsError>(&result)) return e->message;
  ADD_FAILURE() << "read succeeded";
  return {};
}

TEST(PairsReader, SkipsCommentsAndBlankLinesAndKeepsLineNumbers) {
  auto pairs = read_ok(
      "\xEF\xBB\xBF# a comment\n"
      "\n"
      "   \n"
      "house\tHaus\r\n"
      "  street \t Stra\xC3\x9F"
      "e \n"
      "last\tletzte");
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].first, "house");
  EXPECT_EQ(pairs[0].second, "Haus");
  EXPECT_EQ(pairs[0].line, 4u);
  EXPECT_EQ(pairs[1].first, "street");
  EXPECT_EQ(pairs[1].second,
            "Stra\xDF"
            "e");  // converted to Windows-1252
  EXPECT_EQ(pairs[2].line, 6u);
}

TEST(PairsReader, MalformedLinesNameTheirLine) {
  const std::string longest(kLongestPairsLine - 2, 'a');
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"a\tb\nno tab here\n", "line 2: no TAB between the two texts"},
      {"a\tb\tc\n", "line 1: more than one TAB"},
      {"a\t \n", "line 1: the language-2 text is empty"},
      {"x\ty\n\xC3\x28\tb\n", "line 2: the language-1 text: invalid UTF-8 at byte 1"},
      {"x\ty\nbell\tBEL\x07\n", "line 2: the language-2 text: the text holds the control "
                                 "character U+0007"},
      {"stray\tC\rR\r\n", "line 1: the language-2 text: the text holds the control character "
                          "U+000D"},
      {"c1\t\xC2\x9B" "31m\n", "the control character U+009B"},
      {"a\t" + longest + "x\n", "line 1: longer than 16384 bytes"},
      {"x\ty\na\t" + longest + "xy", "line 2: longer than 16384 bytes"},  // no newline at the end
      {"a\t" + std::string(100'000, 'b'), "line 1: longer than 16384 bytes"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(read_error(c.text).find(c.message), std::string::npos) << c.message;
  }
  // The longest line that is taken, with and without its newline.
  EXPECT_EQ(read_ok("a\t" + longest + "\n").size(), 1u);
  EXPECT_EQ(read_ok("x\ty\na\t" + longest).size(), 2u);
  std::istringstream kept("bell\tBEL\x07 \x1b[31m\n");
  auto pairs = read_pairs_tsv(kept, PairsOptions{false, true});
  ASSERT_TRUE(std::holds_alternative<std::vector<TextPair>>(pairs));
  EXPECT_EQ(std::get<std::vector<TextPair>>(pairs)[0].second, "BEL\x07 \x1b[31m");
}

TEST(PairsReader, ACharacterWithoutAWindows1252FormIsAnErrorUnlessTransliterated) {
  const std::string hungarian = "x\ty\nt\xC5\x91zsde\tstock exchange\n";  // "tőzsde"
  std::string error = read_error(hungarian);
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_NE(error.find("U+0151"), std::string::npos) << error;
  auto pairs = read_ok(hungarian, true);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1].first, "t\xF5zsde");  // ő becomes õ
}

TEST(PairsReader, ConvertsLanguageCodesAndPrefixListsToo) {
  EXPECT_EQ(std::get<std::string>(utf8_to_cp1252_text("sich ,\xE2\x82\xAC", {})),
            "sich ,\x80");  // € is 0x80
  EXPECT_TRUE(
      std::holds_alternative<PairsError>(utf8_to_cp1252_text(std::string("a\0b", 3), {})));
}

}  // namespace
}  // namespace lexvia
