// Conversion of Unicode text to Windows-1252 with a fallback for characters
// the code page lacks. The compiler makes a missing character an error unless
// transliteration is asked for; queries always take the fallback, so that a
// typed "erő" finds the "erõ" the dictionary stores. docs/transliteration.md
// describes the fallback for users.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lexvia {

struct UnencodableChar {
  char32_t code_point;
  std::size_t index;  // in code points, from the start of the text
};

// Converts a text of code points to Windows-1252. Without transliteration the
// first character with no form is reported. With it, such a character is
// replaced by its transliteration_of() text, or by '?' when it has none.
std::variant<std::string, UnencodableChar> to_cp1252(std::u32string_view text, bool transliterate);

// The fallback for a character without a Windows-1252 form, in order:
// 1) the Hungarian double-acute letters take the tilde or circumflex forms that
//    Hungarian texts in this code page customarily use (ő õ, Ő Õ, ű û, Ű Û);
// 2) a table of look-alikes: Latin letters without their marks (ł l, č c),
//    ligatures spelled out (ﬁ fi, Ǉ LJ), typographic and mathematical signs as
//    their plain forms (‐ -, ′ ', ≤ <=), Greek letters transliterated (θ th).
// Empty when neither has the character. Every character of a non-empty result
// has a Windows-1252 form; a result may be longer than one character.
std::u32string_view transliteration_of(char32_t cp);

struct Replacement {
  char32_t code_point;
  std::string text;  // Windows-1252 bytes put in its place
};

// UTF-16 (with surrogate pairs) to Windows-1252 as to_cp1252() does with
// transliteration; a lone surrogate becomes '?'. Each character that had to be
// replaced is appended to `replaced` when it is given.
std::string utf16_to_cp1252_transliterated(std::u16string_view text,
                                           std::vector<Replacement>* replaced = nullptr);

// "U+0151 'ő'": the code point and, unless it is a control character or not a
// Unicode scalar value, the character itself in UTF-8. For error messages.
std::string describe_code_point(char32_t cp);

}  // namespace lexvia
