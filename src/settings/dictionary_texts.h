// The words of the dictionary's messages: the numbered error line and the
// About box's dictionary line, both built from interface strings, so that
// they follow the interface language while the numbers and paths do not.
#pragma once

#include <optional>
#include <string>

#include "dict/dictionary_info.h"
#include "listing/line_sink.h"
#include "settings/interface_strings.h"

namespace lexvia {

// "Dictionary File Error #<number>", then " (<path>)" when a path is given;
// cut at 259 units.
std::u16string dictionary_error_text(DictionaryError error, const DictionaryPath& path,
                                     const InterfaceStrings& strings);

// Appends each reported error as a red line.
class ErrorLines final : public DictionaryErrorSink {
 public:
  ErrorLines(LineSink& lines, const InterfaceStrings& strings) : lines_(lines), strings_(strings) {}
  void report_dictionary_error(DictionaryError error, const DictionaryPath& path) override;

 private:
  LineSink& lines_;
  const InterfaceStrings& strings_;
};

// The About box's line: interface string 40034 filled with the codes and the
// expression pair count (signed, as shown); nothing when the file cannot be read.
std::optional<std::u16string> dictionary_line(const DictionaryPath& path,
                                              const InterfaceStrings& strings);

}  // namespace lexvia
