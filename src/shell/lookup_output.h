// How a lookup's findings reach whoever shows them. The engine runs on a
// worker thread and writes what it finds into a queue; the user interface
// thread takes it out, in the order found, and hands each finding to a
// FindingSink: the result list's turns it into a line with the words of the
// interface language in use; the command-line tool's keeps it as data for
// its answer.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "dict/dictionary_info.h"
#include "listing/line_sink.h"
#include "search/search_engine.h"
#include "settings/interface_strings.h"

namespace lexvia {

// One thing a lookup found, as data: what kind, the number that goes with
// it, and its text.
struct Finding {
  enum class Kind { kTitle, kHeadword, kTranslation, kError, kBaseForm };
  Kind kind = Kind::kTitle;
  SearchMethod method = SearchMethod::kExact;  // a title's
  DictionaryError error = DictionaryError::kNoDictionary;  // an error's number
  // A title's query, a headword or a translation (Windows-1252), the
  // headword of a base form, or the path an error names (UTF-8), when it
  // names one.
  std::string text;
  bool has_path = false;
  // A base form's query: the form the entries that follow were found for.
  std::string inflected{};

  DictionaryPath path() const { return has_path ? DictionaryPath(text) : std::nullopt; }
};

// The colour of a finding's result line.
ColourCode colour_of(Finding::Kind kind);

// The finding's result line: the title from interface strings 40003 to
// 40006, "  " before a headword, "    " before a translation, an error as
// the numbered error line of string 40027, a base form as string 40036
// (coloured as a title).
void append_finding_line(LineSink& lines, const Finding& finding, const InterfaceStrings& strings);

class FindingSink {
 public:
  virtual ~FindingSink() = default;
  virtual void deliver(const Finding& finding) = 0;
};

// Each finding as its line in a list of lines.
class FindingLines final : public FindingSink {
 public:
  FindingLines(LineSink& lines, const InterfaceStrings& strings)
      : lines_(lines), strings_(strings) {}
  void deliver(const Finding& finding) override {
    append_finding_line(lines_, finding, strings_);
  }

 private:
  LineSink& lines_;
  const InterfaceStrings& strings_;
};

class LookupQueue final : public SearchOutput {
 public:
  // Only the last `keep_last` findings are kept (0 keeps all): the result list
  // keeps only its newest lines, so what it would push out at once need not
  // be held.
  void reset(std::size_t keep_last);

  // On the engine's thread.
  void title_line(SearchMethod method, std::string_view query) override;
  void headword_line(std::string_view headword) override;
  void translation_line(std::string_view translation) override;
  void base_form_line(std::string_view query, std::string_view base) override;
  void report_dictionary_error(DictionaryError error, const DictionaryPath& path) override;

  // On the user interface thread: hands over every finding queued so far.
  void deliver(FindingSink& sink);
  void deliver(LineSink& lines, const InterfaceStrings& strings) {
    FindingLines sink(lines, strings);
    deliver(sink);
  }

 private:
  void push(Finding finding);

  std::mutex mutex_;
  std::vector<Finding> findings_;
  std::size_t first_ = 0;  // findings before it were dropped by the bound
  std::size_t keep_last_ = 0;
};

// The title line's text: the method's name, a colon, a blank and the query
// in double quotes, as 8-bit text of at most 999 bytes.
std::string title_text(SearchMethod method, std::string_view query,
                       const InterfaceStrings& strings);
// The base form line's text: string 40036 with the query and the base
// ("Hauses: form of "Haus""), as 8-bit text of at most 999 bytes.
std::string base_form_text(std::string_view query, std::string_view base,
                           const InterfaceStrings& strings);

}  // namespace lexvia
