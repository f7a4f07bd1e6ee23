#include "settings/interface_strings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace lexvia {
namespace {

TEST(BuiltinStrings, EveryIdHasItsEnglishText) {
  const BuiltinStrings strings;
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    EXPECT_FALSE(strings.interface_string(id).empty()) << id;
  }
  EXPECT_EQ(strings.interface_string(40001), u"Word or Phrase:");
  EXPECT_EQ(strings.interface_string(40003 + 3), u"Full Search");
  EXPECT_EQ(strings.interface_string(40014), u"Prefixes:");
  EXPECT_EQ(strings.interface_string(40015), u"Prefixes:");
  EXPECT_EQ(strings.text(StringId::kReady), u"Ready");
  EXPECT_EQ(strings.interface_string(40024), u"Are you sure you want to save these settings?");
  EXPECT_EQ(strings.text(StringId::kFileError), u"Dictionary File Error #%d");
  EXPECT_EQ(strings.interface_string(40029), u"Synthetizing Speech...");
  EXPECT_EQ(strings.text(StringId::kTranslating), u"Translating...");
  EXPECT_EQ(strings.text(StringId::kDictionaryLine),
            u"Selected Dictionary: %S-%S\x000A"
            u"Contains %d expression pairs");
  EXPECT_EQ(strings.text(StringId::kUnused), u"-");
  EXPECT_EQ(strings.interface_string(static_cast<int>(StringId::kFormOf)), u"%s: form of \"%s\"");
}

TEST(BuiltinStrings, IdsOutsideTheTableHaveNoText) {
  const BuiltinStrings strings;
  EXPECT_EQ(strings.interface_string(kFirstStringId - 1), u"");
  EXPECT_EQ(strings.interface_string(kLastStringId + 1), u"");
  EXPECT_EQ(strings.interface_string(0), u"");
}

TEST(FormatInterfaceText, FillsPlaceholdersInOrderFromTheirOwnLists) {
  EXPECT_EQ(format_interface_text(u"%S-%S\n%d pairs, %d%%", {u"de", u"en"}, {500, -7}),
            u"de-en\n500 pairs, -7%");
  EXPECT_EQ(format_interface_text(u"%d", {}, {INT64_MIN}), u"-9223372036854775808");
  EXPECT_EQ(format_interface_text(u"%s (%s)", {u"50%d", u"%s"}, {1}), u"50%d (%s)")
      << "arguments are never read as formats";
}

TEST(FormatInterfaceText, MissingArgumentsStayEmptyAndOtherPercentsArePlain) {
  EXPECT_EQ(format_interface_text(u"#%d %s|%S.", {u"a"}, {}), u"# a|.");
  EXPECT_EQ(format_interface_text(u"%x %5d 100%", {}, {3}), u"%x %5d 100%");
  EXPECT_EQ(format_interface_text(u"only text", {u"unused"}, {1}), u"only text");
}

TEST(FormatInterfaceText, CutsAt259UnitsWithoutSplittingAPair) {
  const std::u16string long_text(400, u'x');
  EXPECT_EQ(format_interface_text(u"[%s]", {long_text}, {}), u"[" + long_text.substr(0, 258));
  const std::u16string long_format(300, u'f');
  EXPECT_EQ(format_interface_text(long_format, {}, {}).size(), 259u);

  // A character outside the Basic Multilingual Plane straddling the cut is
  // dropped whole.
  const std::u16string pairs = std::u16string(257, u'a') + u"\U0001F600\U0001F600";
  EXPECT_EQ(format_interface_text(u"%s", {pairs}, {}), std::u16string(257, u'a') + u"\U0001F600");
  EXPECT_EQ(format_interface_text(u"a%s", {pairs}, {}), std::u16string(258, u'a'));
}

}  // namespace
}  // namespace lexvia
