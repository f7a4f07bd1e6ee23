#include "listing/line_sink.h"

#include <algorithm>
#include <utility>

#include "dict/cp1252.h"

namespace lexvia {

namespace {

constexpr std::size_t kMaxLineChars = kLineUnits - 1;

}  // namespace

// Formatted straight into the 259 units a line may hold: every result line
// passes here, and each code page byte is one UTF-16 unit, so the "%s" of
// the widened format stands where it stands in the bytes.
void LineSink::append_formatted_line(std::string_view format, std::string_view text,
                                     ColourCode colour) {
  format = format.substr(0, kMaxLineChars);
  text = text.substr(0, kMaxLineChars);
  std::u16string line;
  line.reserve(std::min(kMaxLineChars, format.size() + text.size()));
  const auto widen = [&line](std::string_view part) {
    part = part.substr(0, kMaxLineChars - line.size());
    const std::size_t at = line.size();
    line.resize(at + part.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
      // Only 0x80 to 0x9F stand for other code points than their own.
      const auto b = static_cast<std::uint8_t>(part[i]);
      line[at + i] = static_cast<char16_t>(b < 0x80 || b >= 0xA0 ? b : cp1252_to_unicode(b));
    }
  };
  // Only the first "%s" is a placeholder; the formats in use carry no other
  // conversion, so anything else is kept as it stands.
  const std::size_t at = format.find("%s");
  if (at == std::string_view::npos) {
    widen(format);
  } else {
    widen(format.substr(0, at));
    widen(text);
    widen(format.substr(at + 2));
  }
  take_line(std::move(line), colour);
}

}  // namespace lexvia
