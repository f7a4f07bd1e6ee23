// How a lookup's findings reach the result list. The engine runs on a worker
// thread and writes what it finds into this queue; the user interface thread
// takes it out and turns it into result lines there, in the order found, with
// the words of the interface language in use.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "listing/line_sink.h"
#include "search/search_engine.h"
#include "settings/interface_strings.h"

namespace lexvia {

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
  void report_dictionary_error(DictionaryError error, const DictionaryPath& path) override;

  // On the user interface thread: appends every finding queued so far.
  void deliver(LineSink& lines, const InterfaceStrings& strings);

 private:
  enum class Kind { kTitle, kHeadword, kTranslation, kError };
  struct Finding {
    Kind kind;
    int number;          // the method of a title, the number of an error
    std::string text;    // Windows-1252; the path of an error
    bool has_path = false;
  };
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

}  // namespace lexvia
