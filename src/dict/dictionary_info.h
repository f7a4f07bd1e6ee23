// The small header-level reads of the selected dictionary, and the one way in
// which dictionary problems reach the user: a red numbered line.
//
// Each operation opens the file itself, reads through a windowed reader of its
// own and closes the file before it returns.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "listing/line_sink.h"
#include "settings/interface_strings.h"

namespace lexvia {

// Dictionary file error numbers.
inline constexpr int kErrorNoDictionary = 101;
inline constexpr int kErrorCannotOpen = 102;
inline constexpr int kErrorNotADictionary = 103;

// The selected dictionary's path (native bytes, UTF-8 here), or nothing.
using DictionaryPath = std::optional<std::string>;

// "en » de" and "de » en": the header's language codes in the order of each
// direction. Both empty until a dictionary was read; a failed rebuild keeps
// the previous labels.
struct DirectionLabels {
  std::array<std::u16string, 2> label;
};

// Where the dictionary operations report to and look their texts up.
struct InfoContext {
  const DictionaryPath& path;
  LineSink& lines;
  const InterfaceStrings& strings;
};

void build_direction_labels(const InfoContext& context, DirectionLabels& labels);
// Label 1 or 2 (any other direction gives label 1).
const std::u16string& direction_label(const DirectionLabels& labels, int direction);

// Prefix list n (1 or 2) as stored in the dictionary, or nothing when it
// cannot be read.
std::optional<std::u16string> read_default_prefix_list(const InfoContext& context, int n);

// The About box's line: the codes and the expression pair count through
// interface string 40034; nothing when the file cannot be read. Never reports.
std::optional<std::u16string> dictionary_line(const DictionaryPath& path,
                                              const InterfaceStrings& strings);

// Appends "Dictionary File Error #<number>", then " (<path>)" when a path is
// given, as an error line. The line is cut at 259 units.
void report_dictionary_error(int number, const DictionaryPath& path, LineSink& lines,
                             const InterfaceStrings& strings);

}  // namespace lexvia
