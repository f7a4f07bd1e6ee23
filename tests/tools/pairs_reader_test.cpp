#include "pairs_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lexvia {
namespace {

std::vector<TextPair> read_ok(const std::string& text, bool transliterate = false) {
  std::istringstream in(text);
  auto result = read_pairs_tsv(in, transliterate);
  if (auto* e = std::get_if<PairsError>(&result)) {
    ADD_FAILURE() << e->message;
    return {};
  }
  return std::get<std::vector<TextPair>>(result);
}

std::string read_error(const std::string& text, bool transliterate = false) {
  std::istringstream in(text);
  auto result = read_pairs_tsv(in, transliterate);
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
  EXPECT_EQ(read_error("a\tb\nno tab here\n"), "line 2: no TAB between the two texts");
  EXPECT_NE(read_error("a\tb\tc\n").find("line 1: more than one TAB"), std::string::npos);
  EXPECT_NE(read_error("a\t \n").find("line 1: the language-2 text is empty"), std::string::npos);
  EXPECT_NE(read_error("x\ty\n\xC3\x28\tb\n").find("line 2: invalid UTF-8"), std::string::npos);
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
  EXPECT_EQ(std::get<std::string>(utf8_to_cp1252_text("sich ,\xE2\x82\xAC", false)),
            "sich ,\x80");  // € is 0x80
  EXPECT_TRUE(
      std::holds_alternative<PairsError>(utf8_to_cp1252_text(std::string("a\0b", 3), false)));
}

}  // namespace
}  // namespace lexvia
