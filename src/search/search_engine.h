// The search engine and browsing: every lookup opens the dictionary, reads its
// header and substitution tables, binary-searches the sorted index section of
// the direction on disk through the two windowed readers, and lists the
// records next to the hit. Nothing of the dictionary stays in memory between
// operations.
//
// Two stages of matching: prefix mode (the file's sort order) steers the
// binary search and bounds the run of candidates; full mode (the search
// method's rule) decides which candidates are listed. Phrase and Full Search
// repeat the search once per item of the direction's prefix list.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "dict/decoder.h"
#include "dict/dictionary_info.h"
#include "dict/windowed_reader.h"
#include "listing/line_sink.h"
#include "search/collation.h"
#include "settings/interface_strings.h"

namespace lexvia {

// Set by a progress dialog's Cancel on another thread, read by the lookup
// between records: an atomic, so a late read only delays the stop.
class CancelFlag {
 public:
  void set() { flag_.store(1, std::memory_order_relaxed); }
  void clear() { flag_.store(0, std::memory_order_relaxed); }
  bool is_set() const { return flag_.load(std::memory_order_relaxed) != 0; }

 private:
  std::atomic<int> flag_{0};
};

// The progress dialog of a lookup. start_progress clears the flag and returns
// once the dialog shows.
class ProgressHook {
 public:
  virtual ~ProgressHook() = default;
  virtual void start_progress(std::u16string_view text, CancelFlag& cancel) = 0;
  virtual void close_progress() = 0;
};

// No dialog: the flag is cleared and nothing shows.
class NoProgress final : public ProgressHook {
 public:
  void start_progress(std::u16string_view, CancelFlag& cancel) override { cancel.clear(); }
  void close_progress() override {}
};

// The prefix list of a direction, as the user set it or the dictionary's own.
class PrefixListSource {
 public:
  virtual ~PrefixListSource() = default;
  virtual std::u16string get_prefix_list(int direction) = 0;
};

// The browse moves, numbered as their commands.
enum class BrowseMove : int {
  kHome = 0,
  kEnd = 1,
  kPageUp = 2,
  kPageDown = 3,
  kLineUp = 4,
  kLineDown = 5
};

// What lookups and moves read and change besides the file.
struct SearchState {
  // Record marker of the page shown; -1 unset. 64-bit so that a position past
  // 2 GiB cannot be taken for "unset".
  std::int64_t browse_position = -1;
  std::uint32_t browse_page_size = 0;
  std::uint32_t result_limit = 0xFFFFFFFF;
  std::uint32_t result_count = 0;
};

// One index section of the open dictionary.
struct SectionSpan {
  std::uint64_t start = 0;        // S: the first record marker
  std::uint64_t length = 0;       // N, terminal marker included
  std::uint64_t end = 0;          // E = S + N - 1: the terminal marker
  std::uint64_t other_start = 0;  // S': references are relative to it
};

// The search engine of one application: its services are handed in once and
// live as long as it does.
class SearchEngine {
 public:
  struct Services {
    const DictionaryPath& path;
    SearchState& state;
    CancelFlag& cancel;
    WindowedReader& index_reader;
    WindowedReader& translation_reader;
    LineSink& lines;
    const InterfaceStrings& strings;
    PrefixListSource& prefixes;
    ProgressHook& progress;
  };

  explicit SearchEngine(Services services) : s_(services) {}

  // The whole lookup: a title line (not for method 4), then every match with
  // its translations, or an error line.
  void search_dictionary(std::string_view query, int method, int direction);
  // Lists the matches around `hit`, a record equal to the query in prefix mode.
  void enumerate_matches(std::string_view query, int method, std::uint64_t hit,
                         const SectionSpan& section, const DecodingTable& own,
                         const DecodingTable& other);
  // The translation lines of the record at `record`, as far as the limit allows.
  void list_translations(std::uint64_t record, std::uint64_t other_start,
                         const DecodingTable& other);

  // Browsing: one page from the record at `position`, and the six moves.
  void list_browse_page(std::uint64_t position, const SectionSpan& section,
                        const DecodingTable& own, const DecodingTable& other);
  void browse_move(int direction, int move);

 private:
  Services s_;
};

// The query steps of the Translate command: at most 249 UTF-16 units, the
// plain conversion to 8-bit text, leading and trailing blanks removed.
std::string prepare_query(std::u16string_view typed);

}  // namespace lexvia
