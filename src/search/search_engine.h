// The search engine and browsing: every lookup opens the dictionary, reads
// its header and substitution tables, binary-searches the sorted index
// section of the direction through the two windowed readers, and lists the
// run of records that begin with the query. Opened by path, nothing of the
// file stays in memory between operations. A file lent to the engine (a
// batch's mapping, a server's open file) does not change while it is lent,
// so the engine keeps its header, tables and the records the first levels
// of the binary search land on (LentTables) from one operation to the next.
//
// Two stages of matching: prefix mode (the file's sort order) steers the
// binary search and bounds the run of candidates; full mode (the search
// method's rule) decides which candidates are listed. Phrase and Full Search
// repeat the search once per item of the direction's prefix list.
//
// Threads. A lookup or a browse move runs from its start to its end on one
// thread, which need not be the user interface's: the desktop program runs it
// on a worker thread while its own thread keeps the window painted and the
// progress dialog's Cancel usable. Everything the engine reads and changes
// (its readers, the SearchState, the dictionary path, the lent tables)
// belongs to the operation while it runs; the caller does not touch them
// until it has finished, and its finishing (a thread join) orders the two.
// The one value shared while it runs is the CancelFlag, an atomic set from
// the other thread and read between records. The engine's output goes to a
// SearchOutput that must be safe to call from the engine's thread: the
// desktop program's queues the findings and hands them to the result list
// on the user interface thread, in order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dict/decoder.h"
#include "dict/direction.h"
#include "dict/dictionary_info.h"
#include "dict/transliteration.h"
#include "dict/windowed_reader.h"
#include "search/collation.h"
#include "search/word_forms.h"

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

// What a lookup finds, as it finds it. Texts are the dictionary's
// Windows-1252 bytes; how they become result lines is the listing's business.
class SearchOutput : public DictionaryErrorSink {
 public:
  // The first line of every lookup but a browse page: the method and the
  // query as the user gave it (without a prefix).
  virtual void title_line(SearchMethod method, std::string_view query) = 0;
  virtual void headword_line(std::string_view headword) = 0;
  virtual void translation_line(std::string_view translation) = 0;
  // Before the entries of a base form of a query that found nothing itself:
  // the query and the headword of the base form, whose headword and
  // translation lines follow.
  virtual void base_form_line(std::string_view query, std::string_view base) = 0;
};

// The prefix list of a direction, as the user set it or the dictionary's own.
// Asked only by Phrase and Full Search, on the engine's thread.
class PrefixListSource {
 public:
  virtual ~PrefixListSource() = default;
  virtual std::u16string get_prefix_list(Direction direction) = 0;
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

struct LentTables;
class OpenDictionary;

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
    SearchOutput& out;
    PrefixListSource& prefixes;
  };

  explicit SearchEngine(Services services);
  ~SearchEngine();
  SearchEngine(const SearchEngine&) = delete;
  SearchEngine& operator=(const SearchEngine&) = delete;

  // Reads this file, open already (or held in memory), instead of opening the
  // path at every operation: a server that keeps its dictionaries open, or a
  // batch of lookups, lends it. The file must outlive the operations;
  // nullptr goes back to the path.
  void lend_file(FileSource* file);
  // Where an Exact or Extended Search that finds nothing asks for the base
  // forms of its query; with nullptr (the default) it asks nowhere. The
  // forms must outlive the operations.
  void lend_word_forms(WordForms* forms) { forms_ = forms; }

  // The whole lookup: a title line (not for the browse listing), then every
  // match with its translations, or an error line. An Exact or Extended
  // Search that finds no headword that is the query itself lists after its
  // matches, with lent word forms, the entries of
  // each base form of the query that is a headword of the direction, each
  // base after a base form line. The browse listing
  // lists a page from the first headword that begins with the query.
  void search_dictionary(std::string_view query, SearchMethod method, Direction direction);
  // Browsing: one of the six moves from the page shown, and the new page.
  void browse_move(Direction direction, BrowseMove move);
  // The page shown, listed again from the browse position (after the page
  // size changed); nothing while the position is unset.
  void list_page_again(Direction direction);

 private:
  // Opens the file (or takes the lent one) for an operation; false, with
  // the error reported, when it cannot be searched.
  bool open(OpenDictionary& dict, Direction direction);
  // One search of the section for the query (one item of a prefix list and
  // the query, in Phrase and Full Search).
  // How many headwords listed are the query itself (Extended Search also
  // lists those that begin with it); with `form_of`, the query a base form
  // is looked up for, its base form line comes before the first listed.
  std::size_t search_pass(const OpenDictionary& dict, std::string_view query, SearchMethod method,
                          std::string_view form_of = {});
  // The matches of the run of headwords that begin with the query (folded
  // as `key`), from its first record; how many are the query itself.
  std::size_t list_matches(const OpenDictionary& dict, std::string_view query,
                           const PrefixKey& key, SearchMethod method, std::uint64_t first,
                           std::string_view form_of);
  // The entries of the base forms of a query that matched nothing.
  void list_base_forms(const OpenDictionary& dict, std::string_view query);
  // The translation lines of the record at `record`, as far as the limit allows.
  void list_translations(const OpenDictionary& dict, std::uint64_t record);
  // One page from the record at `position`.
  void list_browse_page(const OpenDictionary& dict, std::uint64_t position);

  Services s_;
  FileSource* lent_ = nullptr;
  std::unique_ptr<LentTables> kept_;  // the lent file's tables
  WordForms* forms_ = nullptr;
};

// A query that found nothing shows the entries of at most this many base forms.
inline constexpr std::size_t kMaxBaseForms = 4;
// The bounds of a prefix list in Phrase and Full Search: its first 1024
// bytes, and at most 32 distinct items (each runs one pass).
inline constexpr std::size_t kMaxPrefixListBytes = 1024;
inline constexpr std::size_t kMaxPrefixItems = 32;

// The query steps of the Translate command: at most 249 UTF-16 units, the
// conversion to 8-bit text with the transliteration fallback (a typed "erő"
// looks for the "erõ" Hungarian texts of this code page hold; a character
// with no fallback becomes "?"), leading and trailing blanks removed.
// `replaced`, when given, receives each character of those units that was
// looked up as something else.
inline constexpr std::size_t kQueryUnits = 249;
std::string prepare_query(std::u16string_view typed, std::vector<Replacement>* replaced = nullptr);

}  // namespace lexvia
