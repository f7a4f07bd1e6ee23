#include "dict/cp1252.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lexvia {
namespace {

TEST(Cp1252Table, EveryByteRoundTrips) {
  for (int b = 0x01; b <= 0xFF; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    EXPECT_EQ(unicode_to_cp1252(cp1252_to_unicode(byte)), byte) << "byte " << b;
  }
}

TEST(Cp1252Table, OutsideTheHighControlsBytesAreTheirOwnCodePoints) {
  for (int b = 0x00; b <= 0xFF; ++b) {
    if (b >= 0x80 && b <= 0x9F) continue;
    EXPECT_EQ(cp1252_to_unicode(static_cast<std::uint8_t>(b)), static_cast<char32_t>(b));
  }
}

TEST(Cp1252Table, HighControlsFollowThePublishedTable) {
  const std::vector<std::pair<std::uint8_t, char32_t>> published = {
      {0x80, U'€'}, {0x82, U'‚'}, {0x83, U'ƒ'}, {0x84, U'„'}, {0x85, U'…'}, {0x86, U'†'},
      {0x87, U'‡'}, {0x88, U'ˆ'}, {0x89, U'‰'}, {0x8A, U'Š'}, {0x8B, U'‹'}, {0x8C, U'Œ'},
      {0x8E, U'Ž'}, {0x91, U'‘'}, {0x92, U'’'}, {0x93, U'“'}, {0x94, U'”'}, {0x95, U'•'},
      {0x96, U'–'}, {0x97, U'—'}, {0x98, U'˜'}, {0x99, U'™'}, {0x9A, U'š'}, {0x9B, U'›'},
      {0x9C, U'œ'}, {0x9E, U'ž'}, {0x9F, U'Ÿ'},
  };
  for (const auto& [byte, cp] : published) {
    EXPECT_EQ(cp1252_to_unicode(byte), cp) << "byte " << int{byte};
  }
}

TEST(Cp1252Table, UndefinedBytesMapToTheC1ControlOfTheSameNumber) {
  for (std::uint8_t byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_EQ(cp1252_to_unicode(byte), char32_t{byte});
  }
}

TEST(Cp1252Table, ExactlyTwoHundredFiftySixCodePointsHaveAForm) {
  int with_form = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const auto byte = unicode_to_cp1252(cp);
    if (!byte) continue;
    ++with_form;
    EXPECT_EQ(cp1252_to_unicode(*byte), cp);
  }
  EXPECT_EQ(with_form, 256);
}

TEST(Cp1252Table, CharactersWithoutAForm) {
  for (char32_t cp : {0x0080u, 0x008Eu, 0x009Fu, 0x0100u, 0x0151u, 0x0171u, 0x2010u, 0x20ADu,
                      0xD800u, 0xFFFDu, 0x1F600u, 0x110000u}) {
    EXPECT_FALSE(unicode_to_cp1252(cp).has_value()) << std::hex << static_cast<unsigned>(cp);
  }
}

TEST(Cp1252Text, ToUtf8) {
  EXPECT_EQ(cp1252_to_utf8("Zs\xF6r, caf\xE9 \x80 \x84\x93"), "Zsör, café € „“");
  EXPECT_EQ(cp1252_to_utf8("a\x81z"), "a\xC2\x81z");
  EXPECT_EQ(cp1252_to_utf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(cp1252_to_utf8(""), "");
}

TEST(Cp1252Text, ToUtf16) {
  EXPECT_EQ(cp1252_to_utf16("\x93Zs\xF6r\x94 \x80\x9F\xFF"), u"“Zsör” €Ÿÿ");
  EXPECT_EQ(cp1252_to_utf16("\x9D"), u"\x009D");
}

TEST(Cp1252Text, FromUtf16) {
  bool lossy = true;
  EXPECT_EQ(utf16_to_cp1252(u"Zsör – 5 € ™", &lossy), "Zs\xF6r \x96 5 \x80 \x99");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(utf16_to_cp1252(u"why?", &lossy), "why?");
  EXPECT_FALSE(lossy) << "a question mark of the text itself is no loss";
  EXPECT_EQ(utf16_to_cp1252(u"t\u0171z", &lossy), "t?z");
  EXPECT_TRUE(lossy);
  EXPECT_EQ(utf16_to_cp1252(u"x\x0081y"), "x\x81y");
}

TEST(Cp1252Text, FromUtf16SurrogatePairsBecomeOneQuestionMark) {
  bool lossy = false;
  EXPECT_EQ(utf16_to_cp1252(u"a\U0001F600b\U0010FFFF", &lossy), "a?b?");
  EXPECT_TRUE(lossy);
  // Lone surrogates: a high one at the end or before a non-surrogate, a low one
  // on its own, and two high ones in a row.
  EXPECT_EQ(utf16_to_cp1252(u"a\xD83D"), "a?");
  EXPECT_EQ(utf16_to_cp1252(u"\xD83Dx"), "?x");
  EXPECT_EQ(utf16_to_cp1252(u"\xDE00x"), "?x");
  EXPECT_EQ(utf16_to_cp1252(u"\xD83D\xD83D\xDE00"), "??");
}

TEST(Utf8, DecodesAndEncodesTheBoundaryValues) {
  const std::u32string text = {0x00,   0x7F,   0x80,    0x7FF,    0x800, 0xD7FF,
                               0xE000, 0xFFFF, 0x10000, 0x10FFFF, U'ő',  U'€'};
  const std::string utf8 = encode_utf8(text);
  EXPECT_EQ(utf8,
            std::string("\x00\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF", 12) +
                "\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xC5\x91\xE2\x82\xAC");
  const auto decoded = decode_utf8(utf8);
  ASSERT_TRUE(std::holds_alternative<std::u32string>(decoded));
  EXPECT_EQ(std::get<std::u32string>(decoded), text);
}

TEST(Utf8, EncodesNonScalarValuesAsReplacementCharacter) {
  EXPECT_EQ(encode_utf8(std::u32string{U'a', 0xD800, 0x110000, U'b'}),
            "a\xEF\xBF\xBD\xEF\xBF\xBD"
            "b");
}

struct BadUtf8 {
  const char* what;
  std::string bytes;
  std::size_t offset;
};

TEST(Utf8, RejectsIllFormedInputAtTheStartOfTheBadSequence) {
  const std::vector<BadUtf8> cases = {
      {"lone continuation", "ab\x80", 2},
      {"continuation after a character", "\xC3\xA9\xA9", 2},
      {"overlong two-byte", "\xC0\xAF", 0},
      {"overlong two-byte C1", "x\xC1\xBF", 1},
      {"overlong three-byte", "xy\xE0\x80\xAF", 2},
      {"overlong three-byte just below U+0800", "\xE0\x9F\xBF", 0},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF", 0},
      {"high surrogate", "a\xED\xA0\x80", 1},
      {"low surrogate", "\xED\xBF\xBF", 0},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 0},
      {"lead byte F5", "\xF5\x80\x80\x80", 0},
      {"byte FF", "ok\xFF", 2},
      {"truncated at the end", "abc\xE2\x82", 3},
      {"truncated four-byte", "\xF0\x9F\x98", 0},
      {"lone lead at the end", "\xC3\xA9\xC3", 2},
      {"truncated before ASCII", "\xE2\x82x", 0},
      {"lead before lead", "\xC3\xC3\xA9", 0},
  };
  for (const auto& c : cases) {
    const auto result = decode_utf8(c.bytes);
    ASSERT_TRUE(std::holds_alternative<Utf8Error>(result)) << c.what;
    EXPECT_EQ(std::get<Utf8Error>(result).byte_offset, c.offset) << c.what;
  }
}

TEST(Utf8, EmptyTextDecodesToEmpty) {
  const auto result = decode_utf8("");
  ASSERT_TRUE(std::holds_alternative<std::u32string>(result));
  EXPECT_TRUE(std::get<std::u32string>(result).empty());
}

TEST(Utf16, FromUtf8ShowsEveryBadByteAsAReplacementCharacter) {
  EXPECT_EQ(utf8_to_utf16("/sz\xC3\xB3t\xC3\xA1r/\xF0\x9F\x98\x80.dic"), u"/szótár/\U0001F600.dic");
  EXPECT_EQ(utf8_to_utf16("a\xE9z"), u"a\uFFFDz") << "a Windows-1252 byte in a path";
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98x\xC0\xAF"), u"\uFFFD\uFFFD\uFFFDx\uFFFD\uFFFD");
  EXPECT_EQ(utf8_to_utf16(std::string("\0", 1)), std::u16string(1, u'\0'));
}

TEST(Utf16, ToUtf8JoinsPairsAndReplacesLoneSurrogates) {
  EXPECT_EQ(utf16_to_utf8(u"szótár \U0001F600 \U0010FFFF"),
            "sz\xC3\xB3t\xC3\xA1r \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF");
  EXPECT_EQ(utf16_to_utf8(u"a\xD83D"), "a\xEF\xBF\xBD");
  EXPECT_EQ(utf16_to_utf8(u"\xDE00\xD83Dx"), "\xEF\xBF\xBD\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace lexvia
