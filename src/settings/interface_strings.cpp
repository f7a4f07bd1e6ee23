#include "settings/interface_strings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "listing/line_sink.h"

namespace lexvia {

namespace {

// Slot i holds the text of id kFirstStringId + i.
constexpr std::array<std::u16string_view, kLastStringId - kFirstStringId + 1> kEnglish = {
    u"Word or Phrase:",
    u"Translate!",
    u"Exact Search",
    u"Extended Search",
    u"Phrase Search",
    u"Full Search",
    u"Quick Translate",
    u"Button #1",
    u"Button #2",
    u"Button #3",
    u"Button #4",
    u"Off",
    u"Prefix Settings...",
    u"Prefixes:",
    u"Prefixes:",
    u"Load Dictionary...",
    u"Select Interface",
    u"Dict",
    u"Search",
    u"About...",
    u"Help...",
    u"Exit",
    u"Ready",
    u"Are you sure you want to save these settings?",
    u"Reset!",
    u"Invisible Listing",
    u"Dictionary File Error #%d",
    u"Browsing...",
    u"Synthetizing Speech...",
    u"Translating...",
    u"Dictionary",
    u"Speech Library",
    u"Cancel",
    u"Selected Dictionary: %S-%S\nContains %d expression pairs",
    u"-",
    u"%s: form of \"%s\"",
    u"History...",
    u"Favourites...",
    u"Add to Favourites",
    u"Back",
    u"Forward",
    u"Keep History",
    u"History",
    u"Favourites",
    u"Clear History",
    u"Remove",
    u"No lookups yet",
    u"No favourites yet",
    u"Kept as a favourite: %s",
    u"%s is a favourite already",
    u"The history cannot be kept: %s",
    u"No word forms: %s",
    u"No system tray here: start lexvia again (from a key bound to it) to translate the clipboard",
    u"Under Wayland, Quick Translate translates the clipboard when you start lexvia again (from a key bound to it)",
};

constexpr std::size_t kMaxUnits = kLineUnits - 1;

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

void append_number(std::u16string& out, long long number) {
  // Through unsigned arithmetic, so that the most negative value has a magnitude.
  unsigned long long magnitude = static_cast<unsigned long long>(number);
  if (number < 0) {
    out.push_back(u'-');
    magnitude = 0 - magnitude;
  }
  const std::size_t first = out.size();
  do {
    out.push_back(static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  std::reverse(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
}

}  // namespace

std::u16string_view BuiltinStrings::view(int id) const {
  if (id < kFirstStringId || id > kLastStringId) return {};
  return kEnglish[static_cast<std::size_t>(id - kFirstStringId)];
}

std::u16string format_interface_text(std::u16string_view format,
                                     std::initializer_list<std::u16string_view> texts,
                                     std::initializer_list<long long> numbers) {
  std::u16string out;
  auto text = texts.begin();
  auto number = numbers.begin();
  for (std::size_t i = 0; i < format.size() && out.size() <= kMaxUnits; ++i) {
    const char16_t next = i + 1 < format.size() ? format[i + 1] : u'\0';
    if (format[i] != u'%' || (next != u'd' && next != u's' && next != u'S' && next != u'%')) {
      out.push_back(format[i]);  // a lone or unknown % is plain text
      continue;
    }
    ++i;
    if (next == u'%') {
      out.push_back(u'%');
    } else if (next == u'd') {
      if (number != numbers.end()) append_number(out, *number++);
    } else if (text != texts.end()) {
      out.append(text->substr(0, kMaxUnits + 1));
      ++text;
    }
  }
  if (out.size() > kMaxUnits) {
    out.resize(kMaxUnits);
    // Half a surrogate pair would show as garbage; the line ends before it.
    if (is_high_surrogate(out.back())) out.pop_back();
  }
  return out;
}

}  // namespace lexvia
