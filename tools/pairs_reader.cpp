#include "pairs_reader.h"

#include <algorithm>

#include "dict/cp1252.h"
#include "dict/transliteration.h"

namespace lexvia {

namespace {

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

PairsError at_line(std::size_t line, const std::string& what) {
  return PairsError{"line " + std::to_string(line) + ": " + what};
}

}  // namespace

std::variant<std::string, PairsError> utf8_to_cp1252_text(std::string_view utf8,
                                                          const PairsOptions& options) {
  auto decoded = decode_utf8(utf8);
  if (auto* bad = std::get_if<Utf8Error>(&decoded)) {
    return PairsError{"invalid UTF-8 at byte " + std::to_string(bad->byte_offset + 1)};
  }
  const auto& text = std::get<std::u32string>(decoded);
  if (text.find(U'\0') != std::u32string::npos) return PairsError{"the text holds a NUL character"};
  if (!options.keep_control) {
    const auto control = std::find_if(text.begin(), text.end(), [](char32_t c) {
      return c < 0x20 || (c >= 0x7F && c <= 0x9F);
    });
    if (control != text.end()) {
      return PairsError{"the text holds the control character " + describe_code_point(*control) +
                        " (--keep-control-characters keeps it)"};
    }
  }
  auto converted = to_cp1252(text, options.transliterate);
  if (auto* bad = std::get_if<UnencodableChar>(&converted)) {
    return PairsError{"character " + describe_code_point(bad->code_point) +
                      " has no Windows-1252 form (--transliterate uses a fallback)"};
  }
  return std::get<std::string>(converted);
}

std::variant<std::vector<TextPair>, PairsError> read_pairs_tsv(std::istream& in,
                                                               const PairsOptions& options) {
  std::vector<TextPair> pairs;
  // One byte more than a line may hold, and one for the newline getline takes.
  std::vector<char> line(kLongestPairsLine + 2);
  for (std::size_t number = 1;; ++number) {
    in.getline(line.data(), static_cast<std::streamsize>(line.size()));
    const auto read = static_cast<std::size_t>(in.gcount());
    if (read == 0 && !in) break;  // the end
    const bool whole = !in.fail() || in.eof();
    std::string_view view(line.data(), read - (whole && !in.eof() ? 1 : 0));
    if (!whole || view.size() > kLongestPairsLine) {
      return at_line(number, "longer than " + std::to_string(kLongestPairsLine) +
                                 " bytes; a line holds two texts of at most 999 characters");
    }
    if (number == 1 && view.starts_with("\xEF\xBB\xBF")) view.remove_prefix(3);
    if (!view.empty() && view.back() == '\r') view.remove_suffix(1);
    if (trim_blanks(view).empty() || view.front() == '#') continue;
    const auto tab = view.find('\t');
    if (tab == std::string_view::npos) return at_line(number, "no TAB between the two texts");
    if (view.find('\t', tab + 1) != std::string_view::npos) {
      return at_line(number, "more than one TAB; a line holds exactly two texts");
    }
    TextPair pair;
    pair.line = number;
    std::string* sides[2] = {&pair.first, &pair.second};
    std::string_view parts[2] = {trim_blanks(view.substr(0, tab)),
                                 trim_blanks(view.substr(tab + 1))};
    for (int i = 0; i < 2; ++i) {
      if (parts[i].empty()) {
        return at_line(number, "the language-" + std::to_string(i + 1) + " text is empty");
      }
      auto converted = utf8_to_cp1252_text(parts[i], options);
      if (auto* error = std::get_if<PairsError>(&converted)) {
        return at_line(number, "the language-" + std::to_string(i + 1) + " text: " + error->message);
      }
      *sides[i] = std::move(std::get<std::string>(converted));
    }
    pairs.push_back(std::move(pair));
    if (in.eof()) break;
  }
  if (in.bad()) return PairsError{"read error"};
  return pairs;
}

}  // namespace lexvia
