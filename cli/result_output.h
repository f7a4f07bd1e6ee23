// How the command-line tool prints what a lookup found: its result lines as
// text (coloured on a terminal), tsv or lines-json, or its entries as json.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing/result_list.h"
#include "settings/interface_strings.h"
#include "shell/lookup_output.h"

namespace lexvia::cli {

// One answer: the findings of each page, in the order found (a lookup has
// one page; browse one page and one more for each move).
using Pages = std::vector<std::vector<Finding>>;

enum class OutputFormat { kText, kTsv, kJson, kLinesJson };

// Prints the result lines of the pages, as the result list would show them
// in the interface language; text and tsv separate pages with a line "--",
// lines-json prints one array (or, with several pages, an array of arrays).
// Appends to `out`, so that a batch prints every answer from one buffer.
void format_pages(std::string& out, const Pages& pages, OutputFormat format, bool colour,
                  bool several_pages, const InterfaceStrings& strings);

// 0 when a headword was found, 2 when a dictionary error was, else 1.
int answer_status(const Pages& pages);

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
// "form_of" (only in the entries of a base form: the query), "translations":
// [...]}], "suggestions": [...], "error": {"number",
// "text"} or null}; a browse answer has "pages": [[entries], ...] instead of
// "entries". An error's text is in the interface language.
std::string answer_json(const Pages& pages, const AnswerInfo& info, bool browse,
                        const InterfaceStrings& strings);

// A UTF-8 text as a JSON string, quotes included.
std::string json_string(std::string_view utf8);

// Colour only on a terminal and when NO_COLOR is not set.
bool colour_wanted();

}  // namespace lexvia::cli
