// Conversions between the dictionary's 8-bit texts (Windows-1252 bytes) and
// Unicode: UTF-8 for the command-line tools, UTF-16 for the desktop program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace lexvia {

// The code point of a Windows-1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control with the same
// number, so that every byte survives a round trip through Unicode.
char32_t cp1252_to_unicode(std::uint8_t byte);

// The byte for a code point, or nothing when the code page has no form for it.
// Of the C1 controls only the five above have one.
std::optional<std::uint8_t> unicode_to_cp1252(char32_t cp);

std::string cp1252_to_utf8(std::string_view text);
std::u16string cp1252_to_utf16(std::string_view text);

// Where strict UTF-8 decoding failed: the offset of the first byte of the
// ill-formed sequence (a stray continuation byte, a lead byte whose sequence is
// cut short, an overlong form, a surrogate or a value above U+10FFFF).
struct Utf8Error {
  std::size_t byte_offset;
};

std::variant<std::u32string, Utf8Error> decode_utf8(std::string_view utf8);

// Values that are not Unicode scalar values (surrogates, above U+10FFFF) are
// written as U+FFFD, so the output is always valid UTF-8.
std::string encode_utf8(std::u32string_view text);

// The code point at `i` of a UTF-16 text; a surrogate pair is read whole and
// `i` left on its second unit, a lone surrogate is returned as it stands.
char32_t code_point_at(std::u16string_view text, std::size_t& i);

// UTF-16 (with surrogate pairs) to Windows-1252, as the desktop platform's plain
// conversion does it: each character without a form, a lone surrogate included,
// becomes one '?'. `lossy`, when given, is set to whether that happened.
std::string utf16_to_cp1252(std::u16string_view text, bool* lossy = nullptr);

// UTF-8 to UTF-16 for texts that must be shown whatever they hold, such as a
// file path: each byte that does not belong to a well-formed sequence becomes
// one U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view utf16);

// File paths are bytes, not always UTF-8. These two carry any bytes through
// UTF-16 and back unchanged: a byte outside a well-formed sequence (always
// 0x80 or above) travels as the lone surrogate U+DC00 + byte. Any other lone
// surrogate comes back as U+FFFD.
std::u16string bytes_to_utf16(std::string_view bytes);
std::string utf16_to_bytes(std::u16string_view utf16);

}  // namespace lexvia
