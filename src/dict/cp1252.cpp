#include "dict/cp1252.h"

#include <array>
#include <utility>

namespace lexvia {

namespace {

// Code points of the bytes 0x80-0x9F. Every other byte is its own code point.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t kReplacementCharacter = 0xFFFD;

constexpr bool is_surrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }
constexpr bool is_scalar_value(char32_t cp) { return cp <= 0x10FFFF && !is_surrogate(cp); }

// How long the sequence a lead byte starts is; 0 when the byte cannot start
// one (a continuation byte, 0xC0 and 0xC1, which could only start overlong
// forms, and 0xF5 up, which could only start values above U+10FFFF).
constexpr std::size_t sequence_length(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF5) return 4;
  return 0;
}

constexpr bool is_continuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

// The code point whose sequence starts at utf8[pos], with the sequence's
// length, or nothing when that sequence is ill-formed.
std::optional<std::pair<char32_t, std::size_t>> decode_one(std::string_view utf8, std::size_t pos) {
  static constexpr std::array<char32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
  static constexpr std::array<std::uint8_t, 5> kLeadBits = {0, 0x7F, 0x1F, 0x0F, 0x07};
  const auto lead = static_cast<std::uint8_t>(utf8[pos]);
  const std::size_t length = sequence_length(lead);
  if (length == 0 || utf8.size() - pos < length) return std::nullopt;
  char32_t cp = lead & kLeadBits[length];
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<std::uint8_t>(utf8[pos + i]);
    if (!is_continuation(byte)) return std::nullopt;
    cp = (cp << 6) | (byte & 0x3F);
  }
  if (cp < kSmallest[length] || !is_scalar_value(cp)) return std::nullopt;
  return std::pair{cp, length};
}

void append_utf8(std::string& out, char32_t cp) {
  if (!is_scalar_value(cp)) cp = kReplacementCharacter;
  auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

void append_utf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

}  // namespace

char32_t cp1252_to_unicode(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

std::optional<std::uint8_t> unicode_to_cp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::uint8_t>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<std::uint8_t>(0x80 + i);
  }
  return std::nullopt;
}

std::string cp1252_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) append_utf8(out, cp1252_to_unicode(static_cast<std::uint8_t>(c)));
  return out;
}

std::u16string cp1252_to_utf16(std::string_view text) {
  // Every character of the code page is in the Basic Multilingual Plane.
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) {
    out.push_back(static_cast<char16_t>(cp1252_to_unicode(static_cast<std::uint8_t>(c))));
  }
  return out;
}

std::variant<std::u32string, Utf8Error> decode_utf8(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    // ASCII, most of what is typed and stored, is one code point a byte.
    if (static_cast<std::uint8_t>(utf8[pos]) < 0x80) {
      out.push_back(static_cast<char32_t>(utf8[pos++]));
      continue;
    }
    const auto decoded = decode_one(utf8, pos);
    if (!decoded) return Utf8Error{pos};
    out.push_back(decoded->first);
    pos += decoded->second;
  }
  return out;
}

std::string encode_utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) append_utf8(out, cp);
  return out;
}

char32_t code_point_at(std::u16string_view text, std::size_t& i) {
  const char32_t cp = text[i];
  const bool pair = cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
                    text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
  return pair ? 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00) : cp;
}

std::string utf16_to_cp1252(std::u16string_view text, bool* lossy) {
  std::string out;
  out.reserve(text.size());
  bool replaced = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t cp = code_point_at(text, i);
    const auto byte = unicode_to_cp1252(cp);  // a lone surrogate has no form either
    replaced = replaced || !byte;
    out.push_back(static_cast<char>(byte.value_or('?')));
  }
  if (lossy != nullptr) *lossy = replaced;
  return out;
}

namespace {

constexpr char16_t kEscapedByte = 0xDC00;

std::u16string utf16_in(std::string_view utf8, bool keep_bytes) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    // ASCII, most of what is typed and stored, is one unit a byte.
    if (static_cast<std::uint8_t>(utf8[pos]) < 0x80) {
      out.push_back(static_cast<char16_t>(utf8[pos++]));
      continue;
    }
    const auto decoded = decode_one(utf8, pos);
    if (decoded) {
      append_utf16(out, decoded->first);
      pos += decoded->second;
    } else {
      const auto byte = static_cast<std::uint8_t>(utf8[pos++]);
      out.push_back(keep_bytes ? static_cast<char16_t>(kEscapedByte + byte)
                               : static_cast<char16_t>(kReplacementCharacter));
    }
  }
  return out;
}

std::string utf16_out(std::u16string_view utf16, bool keep_bytes) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char32_t cp = code_point_at(utf16, i);
    if (keep_bytes && cp >= kEscapedByte + 0x80u && cp <= kEscapedByte + 0xFFu) {
      out.push_back(static_cast<char>(cp - kEscapedByte));
    } else {
      append_utf8(out, cp);  // a lone surrogate is not a scalar value: U+FFFD
    }
  }
  return out;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) { return utf16_in(utf8, false); }
std::string utf16_to_utf8(std::u16string_view utf16) { return utf16_out(utf16, false); }
std::u16string bytes_to_utf16(std::string_view bytes) { return utf16_in(bytes, true); }
std::string utf16_to_bytes(std::u16string_view utf16) { return utf16_out(utf16, true); }

}  // namespace lexvia
