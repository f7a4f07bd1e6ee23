// How the command-line tool prints result lines: text (coloured on a
// terminal), tsv or json.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing/result_list.h"

namespace lexvia::cli {

struct Line {
  std::u16string text;
  ColourCode colour = ColourCode::kError;
};

enum class OutputFormat { kText, kTsv, kJson, kLinesJson };

// Prints pages of lines; text and tsv separate pages with a line "--",
// lines-json prints one array (or, with several pages, an array of arrays).
// Appends to `out`, so that a batch prints every answer from one buffer.
void format_pages(std::string& out, const std::vector<std::vector<Line>>& pages,
                  OutputFormat format, bool colour, bool several_pages);

// A text as it may reach a terminal or a tsv field: control characters, which
// would act as escape sequences or forge lines and fields, are shown as \xNN
// (C0 and DEL) or \uNNNN (C1), and a byte kept from a path that is not UTF-8
// as \xNN.
std::string visible(std::u16string_view text);
void append_visible(std::string& out, std::u16string_view text);

// What a JSON answer says besides the entries.
struct AnswerInfo {
  std::string query;                      // UTF-8, as given
  std::string method;                     // "exact", ..., "browse"
  int direction = 1;
  std::optional<std::string> dictionary;  // the file's path
  std::vector<std::string> suggestions;   // UTF-8
};

// One query's answer as one line of JSON:
// {"query", "method", "direction", "dictionary", "entries": [{"headword",
// "translations": [...]}], "suggestions": [...], "error": {"number",
// "text"} or null}; a browse answer has "pages": [[entries], ...] instead of
// "entries".
std::string answer_json(const std::vector<std::vector<Line>>& pages, const AnswerInfo& info,
                        bool browse);

// A UTF-8 text as a JSON string, quotes included.
std::string json_string(std::string_view utf8);

// Colour only on a terminal and when NO_COLOR is not set.
bool colour_wanted();

}  // namespace lexvia::cli
