#include "dict/transliteration.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>

#include "dict/cp1252.h"

namespace lexvia {

namespace {

struct Fallback {
  char32_t from;
  std::u32string_view to;
};

// Hungarian texts in this code page have long written the double-acute letters
// with the tilde or circumflex: they look closest, and unlike the base letter or
// the diaeresis form they do not fall together with another Hungarian vowel.
constexpr std::array<Fallback, 4> kHungarian = {{
    {U'Ő', U"Õ"},
    {U'ő', U"õ"},
    {U'Ű', U"Û"},
    {U'ű', U"û"},
}};

// Sorted by code point for the binary search below.
// clang-format off
constexpr Fallback kLookAlikes[] = {
    // Latin Extended-A: the base letter.
    {U'Ā', U"A"}, {U'ā', U"a"}, {U'Ă', U"A"}, {U'ă', U"a"}, {U'Ą', U"A"}, {U'ą', U"a"},
    {U'Ć', U"C"}, {U'ć', U"c"}, {U'Ĉ', U"C"}, {U'ĉ', U"c"}, {U'Ċ', U"C"}, {U'ċ', U"c"},
    {U'Č', U"C"}, {U'č', U"c"}, {U'Ď', U"D"}, {U'ď', U"d"}, {U'Đ', U"D"}, {U'đ', U"d"},
    {U'Ē', U"E"}, {U'ē', U"e"}, {U'Ĕ', U"E"}, {U'ĕ', U"e"}, {U'Ė', U"E"}, {U'ė', U"e"},
    {U'Ę', U"E"}, {U'ę', U"e"}, {U'Ě', U"E"}, {U'ě', U"e"}, {U'Ĝ', U"G"}, {U'ĝ', U"g"},
    {U'Ğ', U"G"}, {U'ğ', U"g"}, {U'Ġ', U"G"}, {U'ġ', U"g"}, {U'Ģ', U"G"}, {U'ģ', U"g"},
    {U'Ĥ', U"H"}, {U'ĥ', U"h"}, {U'Ħ', U"H"}, {U'ħ', U"h"}, {U'Ĩ', U"I"}, {U'ĩ', U"i"},
    {U'Ī', U"I"}, {U'ī', U"i"}, {U'Ĭ', U"I"}, {U'ĭ', U"i"}, {U'Į', U"I"}, {U'į', U"i"},
    {U'İ', U"I"}, {U'ı', U"i"}, {U'Ĳ', U"IJ"}, {U'ĳ', U"ij"}, {U'Ĵ', U"J"}, {U'ĵ', U"j"},
    {U'Ķ', U"K"}, {U'ķ', U"k"}, {U'ĸ', U"k"}, {U'Ĺ', U"L"}, {U'ĺ', U"l"}, {U'Ļ', U"L"},
    {U'ļ', U"l"}, {U'Ľ', U"L"}, {U'ľ', U"l"}, {U'Ŀ', U"L"}, {U'ŀ', U"l"}, {U'Ł', U"L"},
    {U'ł', U"l"}, {U'Ń', U"N"}, {U'ń', U"n"}, {U'Ņ', U"N"}, {U'ņ', U"n"}, {U'Ň', U"N"},
    {U'ň', U"n"}, {U'ŉ', U"'n"}, {U'Ŋ', U"N"}, {U'ŋ', U"n"}, {U'Ō', U"O"}, {U'ō', U"o"},
    {U'Ŏ', U"O"}, {U'ŏ', U"o"}, {U'Ŕ', U"R"}, {U'ŕ', U"r"}, {U'Ŗ', U"R"}, {U'ŗ', U"r"},
    {U'Ř', U"R"}, {U'ř', U"r"}, {U'Ś', U"S"}, {U'ś', U"s"}, {U'Ŝ', U"S"}, {U'ŝ', U"s"},
    {U'Ş', U"S"}, {U'ş', U"s"}, {U'Ţ', U"T"}, {U'ţ', U"t"}, {U'Ť', U"T"}, {U'ť', U"t"},
    {U'Ŧ', U"T"}, {U'ŧ', U"t"}, {U'Ũ', U"U"}, {U'ũ', U"u"}, {U'Ū', U"U"}, {U'ū', U"u"},
    {U'Ŭ', U"U"}, {U'ŭ', U"u"}, {U'Ů', U"U"}, {U'ů', U"u"}, {U'Ų', U"U"}, {U'ų', U"u"},
    {U'Ŵ', U"W"}, {U'ŵ', U"w"}, {U'Ŷ', U"Y"}, {U'ŷ', U"y"}, {U'Ź', U"Z"}, {U'ź', U"z"},
    {U'Ż', U"Z"}, {U'ż', U"z"}, {U'ſ', U"s"},
    // Latin Extended-B: the base letter; digraphs spelled out.
    {U'ƀ', U"b"}, {U'Ɓ', U"B"}, {U'Ƈ', U"C"}, {U'ƈ', U"c"}, {U'Ɖ', U"D"}, {U'Ɗ', U"D"},
    {U'Ǝ', U"E"}, {U'Ə', U"E"}, {U'Ƒ', U"F"}, {U'Ɠ', U"G"}, {U'Ɨ', U"I"}, {U'Ƙ', U"K"},
    {U'ƙ', U"k"}, {U'ƚ', U"l"}, {U'Ɲ', U"N"}, {U'ƞ', U"n"}, {U'Ɵ', U"O"}, {U'Ơ', U"O"},
    {U'ơ', U"o"}, {U'Ƥ', U"P"}, {U'ƥ', U"p"}, {U'ƫ', U"t"}, {U'Ƭ', U"T"}, {U'ƭ', U"t"},
    {U'Ʈ', U"T"}, {U'Ư', U"U"}, {U'ư', U"u"}, {U'Ʋ', U"V"}, {U'Ƴ', U"Y"}, {U'ƴ', U"y"},
    {U'Ƶ', U"Z"}, {U'ƶ', U"z"}, {U'Ǆ', U"DŽ"}, {U'ǅ', U"Dž"}, {U'ǆ', U"dž"}, {U'Ǉ', U"LJ"},
    {U'ǈ', U"Lj"}, {U'ǉ', U"lj"}, {U'Ǌ', U"NJ"}, {U'ǋ', U"Nj"}, {U'ǌ', U"nj"}, {U'Ǎ', U"A"},
    {U'ǎ', U"a"}, {U'Ǐ', U"I"}, {U'ǐ', U"i"}, {U'Ǒ', U"O"}, {U'ǒ', U"o"}, {U'Ǔ', U"U"},
    {U'ǔ', U"u"}, {U'Ǖ', U"Ü"}, {U'ǖ', U"ü"}, {U'Ǘ', U"Ü"}, {U'ǘ', U"ü"}, {U'Ǚ', U"Ü"},
    {U'ǚ', U"ü"}, {U'Ǜ', U"Ü"}, {U'ǜ', U"ü"}, {U'ǝ', U"e"}, {U'Ǟ', U"Ä"}, {U'ǟ', U"ä"},
    {U'Ǡ', U"A"}, {U'ǡ', U"a"}, {U'Ǣ', U"Æ"}, {U'ǣ', U"æ"}, {U'Ǥ', U"G"}, {U'ǥ', U"g"},
    {U'Ǧ', U"G"}, {U'ǧ', U"g"}, {U'Ǩ', U"K"}, {U'ǩ', U"k"}, {U'Ǫ', U"O"}, {U'ǫ', U"o"},
    {U'Ǭ', U"O"}, {U'ǭ', U"o"}, {U'ǰ', U"j"}, {U'Ǳ', U"DZ"}, {U'ǲ', U"Dz"}, {U'ǳ', U"dz"},
    {U'Ǵ', U"G"}, {U'ǵ', U"g"}, {U'Ǹ', U"N"}, {U'ǹ', U"n"}, {U'Ǻ', U"Å"}, {U'ǻ', U"å"},
    {U'Ǽ', U"Æ"}, {U'ǽ', U"æ"}, {U'Ǿ', U"Ø"}, {U'ǿ', U"ø"}, {U'Ȁ', U"A"}, {U'ȁ', U"a"},
    {U'Ȃ', U"A"}, {U'ȃ', U"a"}, {U'Ȅ', U"E"}, {U'ȅ', U"e"}, {U'Ȇ', U"E"}, {U'ȇ', U"e"},
    {U'Ȉ', U"I"}, {U'ȉ', U"i"}, {U'Ȋ', U"I"}, {U'ȋ', U"i"}, {U'Ȍ', U"O"}, {U'ȍ', U"o"},
    {U'Ȏ', U"O"}, {U'ȏ', U"o"}, {U'Ȑ', U"R"}, {U'ȑ', U"r"}, {U'Ȓ', U"R"}, {U'ȓ', U"r"},
    {U'Ȕ', U"U"}, {U'ȕ', U"u"}, {U'Ȗ', U"U"}, {U'ȗ', U"u"}, {U'Ș', U"S"}, {U'ș', U"s"},
    {U'Ț', U"T"}, {U'ț', U"t"}, {U'Ȟ', U"H"}, {U'ȟ', U"h"}, {U'Ȧ', U"A"}, {U'ȧ', U"a"},
    {U'Ȩ', U"E"}, {U'ȩ', U"e"}, {U'Ȫ', U"Ö"}, {U'ȫ', U"ö"}, {U'Ȭ', U"Õ"}, {U'ȭ', U"õ"},
    {U'Ȯ', U"O"}, {U'ȯ', U"o"}, {U'Ȱ', U"O"}, {U'ȱ', U"o"}, {U'Ȳ', U"Y"}, {U'ȳ', U"y"},
    {U'ȷ', U"j"}, {U'Ⱥ', U"A"}, {U'Ȼ', U"C"}, {U'ȼ', U"c"}, {U'Ƚ', U"L"}, {U'Ⱦ', U"T"},
    {U'Ƀ', U"B"}, {U'Ʉ', U"U"}, {U'Ɇ', U"E"}, {U'ɇ', U"e"}, {U'Ɉ', U"J"}, {U'ɉ', U"j"},
    {U'Ɍ', U"R"}, {U'ɍ', U"r"}, {U'Ɏ', U"Y"}, {U'ɏ', U"y"},
    // IPA and modifier letters used as quotes and marks.
    {U'ə', U"e"}, {U'ʹ', U"'"}, {U'ʺ', U"\""}, {U'ʻ', U"‘"}, {U'ʼ', U"’"}, {U'ˈ', U"'"},
    {U'ˊ', U"´"}, {U'ˋ', U"`"}, {U'ː', U":"}, {U'˝', U"\""},
    // Greek, letter by letter, accents dropped.
    {U'Ά', U"A"}, {U'Έ', U"E"}, {U'Ή', U"E"}, {U'Ί', U"I"}, {U'Ό', U"O"}, {U'Ύ', U"Y"},
    {U'Ώ', U"O"}, {U'ΐ', U"i"}, {U'Α', U"A"}, {U'Β', U"B"}, {U'Γ', U"G"}, {U'Δ', U"D"},
    {U'Ε', U"E"}, {U'Ζ', U"Z"}, {U'Η', U"E"}, {U'Θ', U"Th"}, {U'Ι', U"I"}, {U'Κ', U"K"},
    {U'Λ', U"L"}, {U'Μ', U"M"}, {U'Ν', U"N"}, {U'Ξ', U"X"}, {U'Ο', U"O"}, {U'Π', U"P"},
    {U'Ρ', U"R"}, {U'Σ', U"S"}, {U'Τ', U"T"}, {U'Υ', U"Y"}, {U'Φ', U"Ph"}, {U'Χ', U"Ch"},
    {U'Ψ', U"Ps"}, {U'Ω', U"O"}, {U'Ϊ', U"I"}, {U'Ϋ', U"Y"}, {U'ά', U"a"}, {U'έ', U"e"},
    {U'ή', U"e"}, {U'ί', U"i"}, {U'ΰ', U"y"}, {U'α', U"a"}, {U'β', U"b"}, {U'γ', U"g"},
    {U'δ', U"d"}, {U'ε', U"e"}, {U'ζ', U"z"}, {U'η', U"e"}, {U'θ', U"th"}, {U'ι', U"i"},
    {U'κ', U"k"}, {U'λ', U"l"}, {U'μ', U"m"}, {U'ν', U"n"}, {U'ξ', U"x"}, {U'ο', U"o"},
    {U'π', U"p"}, {U'ρ', U"r"}, {U'ς', U"s"}, {U'σ', U"s"}, {U'τ', U"t"}, {U'υ', U"y"},
    {U'φ', U"ph"}, {U'χ', U"ch"}, {U'ψ', U"ps"}, {U'ω', U"o"}, {U'ϊ', U"i"}, {U'ϋ', U"y"},
    {U'ό', U"o"}, {U'ύ', U"y"}, {U'ώ', U"o"},
    // Latin Extended Additional: the base letter.
    {U'Ḃ', U"B"}, {U'ḃ', U"b"}, {U'Ḋ', U"D"}, {U'ḋ', U"d"}, {U'Ḍ', U"D"}, {U'ḍ', U"d"},
    {U'Ḟ', U"F"}, {U'ḟ', U"f"}, {U'Ḥ', U"H"}, {U'ḥ', U"h"}, {U'Ṁ', U"M"}, {U'ṁ', U"m"},
    {U'Ṃ', U"M"}, {U'ṃ', U"m"}, {U'Ṅ', U"N"}, {U'ṅ', U"n"}, {U'Ṇ', U"N"}, {U'ṇ', U"n"},
    {U'Ṗ', U"P"}, {U'ṗ', U"p"}, {U'Ṛ', U"R"}, {U'ṛ', U"r"}, {U'Ṡ', U"S"}, {U'ṡ', U"s"},
    {U'Ṣ', U"S"}, {U'ṣ', U"s"}, {U'Ṫ', U"T"}, {U'ṫ', U"t"}, {U'Ṭ', U"T"}, {U'ṭ', U"t"},
    {U'Ẁ', U"W"}, {U'ẁ', U"w"}, {U'Ẃ', U"W"}, {U'ẃ', U"w"}, {U'Ẅ', U"W"}, {U'ẅ', U"w"},
    {U'Ẓ', U"Z"}, {U'ẓ', U"z"}, {U'ẞ', U"SS"}, {U'Ạ', U"A"}, {U'ạ', U"a"}, {U'Ẹ', U"E"},
    {U'ẹ', U"e"}, {U'Ẽ', U"E"}, {U'ẽ', U"e"}, {U'Ị', U"I"}, {U'ị', U"i"}, {U'Ọ', U"O"},
    {U'ọ', U"o"}, {U'Ụ', U"U"}, {U'ụ', U"u"}, {U'Ỳ', U"Y"}, {U'ỳ', U"y"}, {U'Ỹ', U"Y"},
    {U'ỹ', U"y"},
    // Spaces, dashes, quotes and other punctuation.
    {0x2000, U" "}, {0x2001, U" "}, {0x2002, U" "}, {0x2003, U" "}, {0x2004, U" "}, {0x2005, U" "},
    {0x2006, U" "}, {0x2007, U" "}, {0x2008, U" "}, {0x2009, U" "}, {0x200A, U" "}, {U'‐', U"-"},
    {U'‑', U"-"}, {U'‒', U"-"}, {U'―', U"—"}, {U'‛', U"'"}, {U'‟', U"\""}, {U'‣', U"•"},
    {U'․', U"."}, {U'‥', U".."}, {U'‧', U"·"}, {0x202F, U"\u00A0"}, {U'′', U"'"}, {U'″', U"\""},
    {U'‴', U"'''"}, {U'‵', U"`"}, {U'‼', U"!!"}, {U'⁃', U"-"}, {U'⁄', U"/"},
    // Currency, letterlike symbols and fractions.
    {U'₤', U"£"}, {U'℃', U"°C"}, {U'℉', U"°F"}, {U'№', U"No"}, {U'℠', U"SM"}, {0x2126, U"O"},
    {0x212A, U"K"}, {0x212B, U"Å"}, {U'⅓', U"1/3"}, {U'⅔', U"2/3"}, {U'⅛', U"1/8"}, {U'⅜', U"3/8"},
    {U'⅝', U"5/8"}, {U'⅞', U"7/8"},
    // Arrows and mathematical operators.
    {U'←', U"<-"}, {U'→', U"->"}, {U'↔', U"<->"}, {U'⇐', U"<="}, {U'⇒', U"=>"}, {U'⇔', U"<=>"},
    {U'−', U"-"}, {U'∕', U"/"}, {U'∗', U"*"}, {U'∙', U"·"}, {U'∣', U"|"}, {U'∼', U"~"},
    {U'≈', U"~"}, {U'≠', U"!="}, {U'≡', U"="}, {U'≤', U"<="}, {U'≥', U">="}, {U'≪', U"<<"},
    {U'≫', U">>"}, {U'⋅', U"·"},
    // Ideographic space.
    {0x3000, U" "},
    // Ligatures.
    {U'ﬀ', U"ff"}, {U'ﬁ', U"fi"}, {U'ﬂ', U"fl"}, {U'ﬃ', U"ffi"}, {U'ﬄ', U"ffl"}, {U'ﬅ', U"st"},
    {U'ﬆ', U"st"},
};
// clang-format on

constexpr bool by_code_point(const Fallback& a, const Fallback& b) { return a.from < b.from; }
static_assert(std::is_sorted(kHungarian.begin(), kHungarian.end(), by_code_point));
static_assert(std::is_sorted(std::begin(kLookAlikes), std::end(kLookAlikes), by_code_point));
static_assert(std::adjacent_find(std::begin(kLookAlikes), std::end(kLookAlikes),
                                 [](const Fallback& a, const Fallback& b) {
                                   return a.from == b.from;
                                 }) == std::end(kLookAlikes));

std::optional<std::u32string_view> lookup(std::span<const Fallback> table, char32_t cp) {
  const auto it = std::lower_bound(table.begin(), table.end(), Fallback{cp, {}}, by_code_point);
  if (it == table.end() || it->from != cp) return std::nullopt;
  return it->to;
}

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }
bool is_scalar_value(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

// Appends the fallback for a character without a form; '?' when there is none.
void append_transliteration(std::string& out, char32_t cp) {
  const std::u32string_view text = transliteration_of(cp);
  if (text.empty()) {
    out.push_back('?');
    return;
  }
  for (char32_t c : text) out.push_back(static_cast<char>(unicode_to_cp1252(c).value_or('?')));
}

}  // namespace

std::u32string_view transliteration_of(char32_t cp) {
  if (auto text = lookup(kHungarian, cp)) return *text;
  if (auto text = lookup(kLookAlikes, cp)) return *text;
  return {};
}

std::variant<std::string, UnencodableChar> to_cp1252(std::u32string_view text, bool transliterate) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (const auto byte = unicode_to_cp1252(text[i])) {
      out.push_back(static_cast<char>(*byte));
    } else if (transliterate) {
      append_transliteration(out, text[i]);
    } else {
      return UnencodableChar{text[i], i};
    }
  }
  return out;
}

std::string utf16_to_cp1252_transliterated(std::u16string_view text,
                                           std::vector<Replacement>* replaced) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t cp = code_point_at(text, i);
    if (const auto byte = unicode_to_cp1252(cp)) {
      out.push_back(static_cast<char>(*byte));
      continue;
    }
    const std::size_t from = out.size();
    append_transliteration(out, cp);  // a lone surrogate has no transliteration: '?'
    if (replaced != nullptr) replaced->push_back({cp, out.substr(from)});
  }
  return out;
}

std::string describe_code_point(char32_t cp) {
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(cp));
  std::string description = number;
  if (!is_control(cp) && is_scalar_value(cp)) {
    description += " '" + encode_utf8(std::u32string_view(&cp, 1)) + "'";
  }
  return description;
}

}  // namespace lexvia
