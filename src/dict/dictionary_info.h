// The small header-level reads of the selected dictionary, and the numbered
// errors through which dictionary problems reach the user. How an error
// becomes a line (its words come from the interface language) is decided
// above this layer, behind DictionaryErrorSink.
//
// Each operation opens the file itself, reads through a windowed reader of its
// own and closes the file before it returns.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "dict/direction.h"

namespace lexvia {

// Dictionary file error numbers.
enum class DictionaryError : int {
  kNoDictionary = 101,    // no dictionary file is selected
  kCannotOpen = 102,      // the file cannot be opened
  kNotADictionary = 103,  // wrong magic (or, for labels and prefix lists, format number)
};

// The selected dictionary's path (native bytes, UTF-8 here), or nothing.
using DictionaryPath = std::optional<std::string>;

// "en » de" and "de » en": the header's language codes in the order of each
// direction. Both empty until a dictionary was read; a failed rebuild keeps
// the previous labels.
struct DirectionLabels {
  std::array<std::u16string, 2> label;
};

// Where dictionary errors go: 101 comes without a path, 102 and 103 with the
// path of the file.
class DictionaryErrorSink {
 public:
  virtual ~DictionaryErrorSink() = default;
  virtual void report_dictionary_error(DictionaryError error, const DictionaryPath& path) = 0;
};

// The dictionary an operation reads and where it reports.
struct InfoContext {
  const DictionaryPath& path;
  DictionaryErrorSink& errors;
};

void build_direction_labels(const InfoContext& context, DirectionLabels& labels);
const std::u16string& direction_label(const DirectionLabels& labels, Direction direction);

// Prefix list n (1 or 2) as stored in the dictionary, or nothing when it
// cannot be read.
std::optional<std::u16string> read_default_prefix_list(const InfoContext& context, int n);

// What the About box's dictionary line shows: the two language codes
// (Windows-1252) and the expression pair count as stored. Nothing when the
// file cannot be read or its magic is wrong; the format number is not tested,
// since a file too old for the labels can still be searched. Never reports.
struct DictionarySummary {
  std::string language1;
  std::string language2;
  std::uint32_t pair_count = 0;
  // The code of the direction's source language, and of its target language.
  const std::string& from(Direction d) const {
    return d == Direction::kFrom2 ? language2 : language1;
  }
  const std::string& to(Direction d) const { return from(other_direction(d)); }
};
std::optional<DictionarySummary> read_dictionary_summary(const DictionaryPath& path);

}  // namespace lexvia
