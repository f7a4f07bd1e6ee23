// The program hands the plug-in its query in Windows-1252; espeak-ng reads
// UTF-8. Kept apart so that the conversion is tested byte by byte.
#pragma once

#include <string>
#include <string_view>

namespace lexvia::speech {

// Windows-1252 0x80-0x9F; the five bytes the code page leaves undefined keep
// their C1 meaning, so no byte is lost on the way.
// clang-format off
inline constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
// clang-format on

inline std::string utf8_from_cp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    const char32_t code = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
    // Every code point of the page lies below U+0800 or in the BMP: one to
    // three bytes.
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace lexvia::speech
