// Where every producer of result lines sends them: the search, browsing, the
// dictionary error reporter and the start-up. Producers never pick a list
// themselves; the result listing decides.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lexvia {

// The class of a result line, kept with it as its item data; a value outside
// the four (read from elsewhere) draws black.
enum class ColourCode : int {
  kError = 0,        // error or status line, red
  kHeadword = 1,     // blue
  kTranslation = 2,  // black
  kTitle = 3,        // search title, green
};

// A line holds at most this many UTF-16 units, its terminator included.
inline constexpr std::size_t kLineUnits = 260;

class LineSink {
 public:
  virtual ~LineSink() = default;
  // Appends one line; a text longer than 259 units is cut there.
  virtual void append_line(std::u16string_view text, ColourCode colour) = 0;
  // The same for a line the caller gives up, which a sink that stores lines
  // keeps without a copy.
  virtual void take_line(std::u16string text, ColourCode colour) { append_line(text, colour); }
  // Widens an 8-bit format with one %s and an 8-bit text (Windows-1252),
  // each cut at 259 units, formats them and appends the line. Not virtual: every
  // sink gets exactly the same line.
  void append_formatted_line(std::string_view format, std::string_view text, ColourCode colour);
};

}  // namespace lexvia
