// The DICT protocol (RFC 2229) over our dictionaries, without the network:
// a session takes one command line at a time and gives the whole answer, so
// that the server, the tests and the fuzz targets drive the same code.
//
// Each dictionary file offers two databases, one per direction, named after
// its direction labels ("en-de", "de-en"). Lookups go through the search
// engine as the desktop program's do, over files the server keeps open (one
// descriptor a file, shared by all requests); a file replaced on disk is
// opened anew at the next request. Texts are UTF-8 on the wire and
// Windows-1252 in the files.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "search/search_engine.h"

namespace lexvia::cli {

struct DictDatabase {
  std::string name;  // "en-de"; a name given twice gets "-2", "-3", ...
  std::string path;
  Direction direction = Direction::kFrom1;
};

// The databases of the files, in the order given. An error names a file
// that cannot be read as a dictionary.
std::variant<std::vector<DictDatabase>, std::string> dict_catalogue(
    const std::vector<std::string>& files);

// The short description SHOW DB gives, from the header: "en » de, 813434
// pairs (en-de.dic)".
std::string database_description(const DictDatabase& db, const DictionarySummary& summary);

struct DictStrategy {
  std::string_view name;
  std::string_view description;
};
// exact and prefix (which RFC 2229 requires), the search methods, and lev.
const std::vector<DictStrategy>& dict_strategies();
inline constexpr std::string_view kDefaultStrategy = method_name(SearchMethod::kExtended);

// What one request may produce: beyond these the answer is cut, so that no
// request runs or grows without bound.
inline constexpr std::size_t kMaxDefinitions = 1000;
inline constexpr std::size_t kMaxMatches = 2000;
inline constexpr std::size_t kMaxAnswerBytes = 4u << 20;
// The longest command line RFC 2229 allows, line end excluded.
inline constexpr std::size_t kMaxCommandLine = 1024;

struct Definition {
  std::string headword;                   // Windows-1252
  std::vector<std::string> translations;  // Windows-1252
  // For the entry of a base form, the query it was found for (Windows-1252).
  std::string form_of{};
};

// The dictionaries a server keeps open, each once. A path that names
// another file than the one held (replaced, or changed in place) is opened
// anew; requests still reading the old one keep it until they end.
class OpenFiles {
 public:
  struct File {
    // Null when the path cannot be opened: a lookup then opens the path
    // itself and reports why.
    std::shared_ptr<PosixFile> file;
    // The header's summary; nothing when it cannot be read.
    std::optional<DictionarySummary> summary;
    // The dictionary's own prefix lists, for Phrase and Full Search.
    std::u16string prefix_list[2];
  };
  File get(const std::string& path);

 private:
  struct Held {
    File file;
    struct stat status {};
  };
  std::mutex mutex_;
  std::map<std::string, Held> held_;
};

// An Exact Search of the database: each headword found with its translations
// (with word forms, those of the query's base forms when it finds none).
std::vector<Definition> define_word(const DictDatabase& db, const OpenFiles::File& file,
                                    std::string_view query, WordForms* forms = nullptr);
// The headwords the strategy finds, in index order, each once (the exact and
// extended strategies, with word forms, the base forms of a query that
// matches none).
std::vector<std::string> match_word(const DictDatabase& db, const OpenFiles::File& file,
                                    std::string_view strategy, std::string_view query,
                                    WordForms* forms = nullptr);

// The words of a command line: separated by blanks, quoted with "" or '',
// a backslash taking the next character as it stands. Nothing when a quote
// is left open.
std::optional<std::vector<std::string>> split_command(std::string_view line);

// What every session of one server shares, for the banner and STATUS.
struct DictServerState {
  std::string host = "localhost";
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::atomic<std::uint64_t> connections{0};
  std::atomic<std::uint64_t> requests{0};
  OpenFiles files;
  // The base forms DEFINE and MATCH look up on a miss; none when null. The
  // server's own, guarded for its threads.
  WordForms* forms = nullptr;
};

class DictSession {
 public:
  DictSession(const std::vector<DictDatabase>& databases, DictServerState& server);

  // The 220 line that opens a connection.
  std::string banner();
  // The whole answer to one command line (without its line end): status
  // lines and dot-stuffed texts, each line ending in CRLF.
  std::string answer(std::string_view line);
  // The answer to a line longer than kMaxCommandLine.
  static std::string line_too_long();
  // True after QUIT: the server closes the connection.
  bool finished() const { return finished_; }

 private:
  std::string define(const std::vector<std::string>& words);
  std::string match(const std::vector<std::string>& words);
  std::string show(const std::vector<std::string>& words);
  // The databases a name stands for ("*" and "!" for all); empty when none.
  std::vector<const DictDatabase*> selected(const std::string& name) const;

  const std::vector<DictDatabase>& databases_;
  DictServerState& server_;
  std::string message_id_;
  bool mime_ = false;
  bool finished_ = false;
};

}  // namespace lexvia::cli
