#include "settings/dictionary_texts.h"

#include <cstdint>

#include "dict/cp1252.h"

namespace lexvia {

std::u16string dictionary_error_text(DictionaryError error, const DictionaryPath& path,
                                     const InterfaceStrings& strings) {
  std::u16string text = format_interface_text(strings.text(StringId::kFileError), {},
                                              {static_cast<int>(error)});
  if (path) text = format_interface_text(u"%s (%s)", {text, utf8_to_utf16(*path)}, {});
  return text;
}

void ErrorLines::report_dictionary_error(DictionaryError error, const DictionaryPath& path) {
  lines_.append_line(dictionary_error_text(error, path, strings_), ColourCode::kError);
}

std::optional<std::u16string> dictionary_line(const DictionaryPath& path,
                                              const InterfaceStrings& strings) {
  const auto summary = read_dictionary_summary(path);
  if (!summary) return std::nullopt;
  return format_interface_text(strings.text(StringId::kDictionaryLine),
                               {cp1252_to_utf16(summary->language1),
                                cp1252_to_utf16(summary->language2)},
                               {static_cast<std::int32_t>(summary->pair_count)});
}

}  // namespace lexvia
