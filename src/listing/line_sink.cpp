#include "listing/line_sink.h"

#include <algorithm>

#include "dict/cp1252.h"

namespace lexvia {

namespace {

constexpr std::size_t kMaxLineChars = kLineUnits - 1;

// Only the first "%s" is a placeholder; the formats in use carry no other
// conversion, so anything else is kept as it stands.
std::u16string substitute(std::u16string_view format, std::u16string_view text) {
  const std::size_t at = format.find(u"%s");
  if (at == std::u16string_view::npos) return std::u16string(format);
  std::u16string line(format.substr(0, at));
  line += text;
  line += format.substr(at + 2);
  return line;
}

}  // namespace

void LineSink::append_formatted_line(std::string_view format, std::string_view text,
                                     ColourCode colour) {
  const std::u16string wide_format = cp1252_to_utf16(format.substr(0, kMaxLineChars));
  const std::u16string wide_text = cp1252_to_utf16(text.substr(0, kMaxLineChars));
  // The line is formatted into 260 units: a long translation is cut there.
  std::u16string line = substitute(wide_format, wide_text);
  if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
  append_line(line, colour);
}

}  // namespace lexvia
