#include "dict/transliteration.h"

#include <gtest/gtest.h>

#include <string>

#include "dict/cp1252.h"

namespace lexvia {
namespace {

// Windows-1252 bytes of a text that has a form for every character, so that
// expected results can be written as readable text.
std::string bytes(std::u32string_view text) {
  std::string out;
  for (char32_t cp : text) {
    const auto byte = unicode_to_cp1252(cp);
    EXPECT_TRUE(byte.has_value()) << "test text has no form: " << std::hex
                                  << static_cast<unsigned>(cp);
    out.push_back(static_cast<char>(byte.value_or('#')));
  }
  return out;
}

std::string converted(std::u32string_view text, bool transliterate) {
  auto result = to_cp1252(text, transliterate);
  if (const auto* bad = std::get_if<UnencodableChar>(&result)) {
    ADD_FAILURE() << "unexpected error at " << bad->index;
    return {};
  }
  return std::get<std::string>(result);
}

TEST(ToCp1252, EncodableTextIsConvertedEitherWay) {
  const std::u32string text = U"Zsöröge, Œuvre, 5 € – “ß”\x81";
  EXPECT_EQ(converted(text, false), bytes(text));
  EXPECT_EQ(converted(text, true), bytes(text));
  EXPECT_EQ(converted(U"", false), "");
}

TEST(ToCp1252, ReportsTheFirstUnencodableCharacterAndItsIndex) {
  struct Case {
    std::u32string text;
    char32_t code_point;
    std::size_t index;
  };
  const Case cases[] = {
      {U"tűz", U'ű', 1},  {U"abőcű", U'ő', 2},       {U"é\U0001F600ő", 0x1F600, 1},
      {U"Łódź", U'Ł', 0}, {U"end\u2010", 0x2010, 3}, {U"x\x80", 0x80, 1},
  };
  for (const auto& c : cases) {
    const auto result = to_cp1252(c.text, false);
    const auto* bad = std::get_if<UnencodableChar>(&result);
    ASSERT_NE(bad, nullptr) << describe_code_point(c.code_point);
    EXPECT_EQ(bad->code_point, c.code_point);
    EXPECT_EQ(bad->index, c.index);
  }
}

TEST(ToCp1252, HungarianDoubleAcuteLettersTakeTheCustomaryForms) {
  EXPECT_EQ(converted(U"Tűzőrség, ŐSZ, ŰR", true), bytes(U"Tûzõrség, ÕSZ, ÛR"));
  // Letters the code page has are left alone, not folded.
  EXPECT_EQ(converted(U"öröm ümög", true), bytes(U"öröm ümög"));
}

TEST(ToCp1252, LatinLettersLoseTheirMarks) {
  EXPECT_EQ(converted(U"Łódź", true), bytes(U"Lódz"));
  EXPECT_EQ(converted(U"příliš žluťoučký", true), bytes(U"príliš žlutoucký"));
  EXPECT_EQ(converted(U"ışık İstanbul", true), "isik Istanbul");
  EXPECT_EQ(converted(U"Şcoală, ţară, ș ț", true), "Scoala, tara, s t");
  EXPECT_EQ(converted(U"đak Đ ā ń", true), "dak D a n");
  EXPECT_EQ(converted(U"Ǿ ǽ Ǖ", true), bytes(U"Ø æ Ü"));
}

TEST(ToCp1252, FallbacksMayBeLongerThanOneCharacter) {
  EXPECT_EQ(converted(U"ﬁle ﬂow", true), "file flow");
  EXPECT_EQ(converted(U"Ǆ ǉ Ĳ", true), bytes(U"DŽ lj IJ"));
  EXPECT_EQ(converted(U"5′ 3″ ≤ ≈ →", true), "5' 3\" <= ~ ->");
  EXPECT_EQ(converted(U"a\u2010b\u00A0\u2009c", true), bytes(U"a-b\u00A0 c"));
}

TEST(ToCp1252, GreekIsTransliterated) {
  EXPECT_EQ(converted(U"αβγ δέλτα", true), "abg delta");
  EXPECT_EQ(converted(U"ΘΕΟΣ ψυχή Ω ω", true), "ThEOS psyche O o");
  EXPECT_EQ(converted(U"φως", true), "phos");
}

TEST(ToCp1252, AnythingElseBecomesOneQuestionMarkPerCharacter) {
  EXPECT_EQ(converted(U"日本\U0001F600.", true), "???.");
  EXPECT_EQ(converted(U"a\u0301", true), "a?");  // a combining mark is not merged
}

TEST(TransliterationTable, ReplacementsAreEncodableAndOnlyForUnencodable) {
  int entries = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const std::u32string_view text = transliteration_of(cp);
    if (text.empty()) continue;
    ++entries;
    EXPECT_FALSE(unicode_to_cp1252(cp).has_value()) << describe_code_point(cp);
    for (char32_t c : text) {
      EXPECT_TRUE(unicode_to_cp1252(c).has_value()) << describe_code_point(cp);
      EXPECT_NE(c, U'?') << describe_code_point(cp);
    }
  }
  EXPECT_GT(entries, 300);
}

TEST(TransliterationTable, CoversLatinExtendedAAndTheGreekAlphabet) {
  auto has_form_or_fallback = [](char32_t cp) {
    return unicode_to_cp1252(cp).has_value() || !transliteration_of(cp).empty();
  };
  for (char32_t cp = 0x0100; cp <= 0x017F; ++cp) {
    EXPECT_TRUE(has_form_or_fallback(cp)) << describe_code_point(cp);
  }
  for (char32_t cp = 0x0391; cp <= 0x03C9; ++cp) {
    if (cp == 0x03A2) continue;  // unassigned
    EXPECT_TRUE(has_form_or_fallback(cp)) << describe_code_point(cp);
  }
}

TEST(DescribeCodePoint, ShowsTheCharacterUnlessItIsAControl) {
  EXPECT_EQ(describe_code_point(0x0151), "U+0151 'ő'");
  EXPECT_EQ(describe_code_point(U'A'), "U+0041 'A'");
  EXPECT_EQ(describe_code_point(0x20AC), "U+20AC '€'");
  EXPECT_EQ(describe_code_point(0x1F600), "U+1F600 '😀'");
  EXPECT_EQ(describe_code_point(0x0009), "U+0009");
  EXPECT_EQ(describe_code_point(0x0000), "U+0000");
  EXPECT_EQ(describe_code_point(0x007F), "U+007F");
  EXPECT_EQ(describe_code_point(0x0085), "U+0085");
  EXPECT_EQ(describe_code_point(0xD800), "U+D800");
  EXPECT_EQ(describe_code_point(0x110000), "U+110000");
}

}  // namespace
}  // namespace lexvia

TEST(Utf16ToCp1252Transliterated, ReplacesLikeTheCompilerAndListsWhatItReplaced) {
  struct Case {
    std::u16string typed;
    std::string expected;
    std::vector<char32_t> replaced;
  } cases[] = {
      {u"erő", "er\xF5", {U'ő'}},
      {u"TŰZ tűz", "T\xDBZ t\xFBz", {U'Ű', U'ű'}},
      {u"Haus", "Haus", {}},
      {u"\uFB01n \U0001F600", "fin ?", {U'ﬁ', 0x1F600}},  // a surrogate pair is one character
      {std::u16string(u"a") + char16_t{0xD800} + u"b", "a?b", {0xD800}},
  };
  for (const Case& c : cases) {
    std::vector<lexvia::Replacement> replaced;
    EXPECT_EQ(lexvia::utf16_to_cp1252_transliterated(c.typed, &replaced), c.expected);
    std::vector<char32_t> code_points;
    for (const auto& r : replaced) code_points.push_back(r.code_point);
    EXPECT_EQ(code_points, c.replaced);
  }
}
