// lookup and browse: the Translate command and the browse dialog of the
// desktop program, run once over the command line.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "commands.h"
#include "dict/cp1252.h"
#include "dict/file_source.h"
#include "dict/transliteration.h"
#include "headless_platform.h"
#include "result_output.h"
#include "search/search_engine.h"
#include "search/suggestions.h"
#include "settings/sqlite_store.h"
#include "shell/application.h"
#include "shell/paths.h"

namespace lexvia::cli {

namespace {

struct LookupArgs {
  std::string dict;
  std::optional<std::string> method;
  std::optional<int> direction;
  std::optional<std::string> prefixes;
  std::string format = "text";
  std::string query;
  std::uint32_t page_size = 0;
  std::vector<std::string> moves;
  bool batch = false;
  bool no_suggest = false;
  bool browse = false;  // the browse command's
};

// What the application finds for the command that runs, page by page. The
// pages' storage is kept from one query of a batch to the next.
class AnswerCollector final : public FindingSink {
 public:
  void deliver(const Finding& finding) override { pages_[used_ - 1].push_back(finding); }
  // Starts the answer's first page, or its next.
  void start(bool first) {
    used_ = first ? 1 : used_ + 1;
    if (pages_.size() < used_) pages_.resize(used_);
    pages_[used_ - 1].clear();
  }
  Pages& pages() {
    pages_.resize(used_);
    return pages_;
  }

 private:
  Pages pages_;
  std::size_t used_ = 0;
};

// One run of the application over the tool's platform: the stored settings
// are loaded as the desktop program loads them at start-up, then the command
// line's options are applied through the same commands the window's buttons
// and menus send. The tool answers with the findings themselves.
struct Session {
  explicit Session(const LookupArgs& args) : app(platform, store, data_folder(LEXVIA_SOURCE_RESOURCES)) {
    StartOptions options;
    options.command_line = true;
    const char* env = std::getenv("LEXVIA_DICT");
    if (!args.dict.empty()) {
      options.dictionary = args.dict;
    } else if (env != nullptr && *env != '\0') {
      options.dictionary = env;
    }
    options.fallback_dictionary = bundled_dictionary();
    app.start(options);
    app.set_finding_sink(&answer);
    if (!store.problem().empty()) {
      std::fprintf(stderr, "lexvia-cli: cannot read the settings in %s: %s; using the defaults\n",
                   store.path().c_str(), store.problem().c_str());
    }
    if (args.direction && static_cast<Direction>(*args.direction) != app.settings().direction) {
      app.command(command::kDirection);
    }
    if (const auto method = args.method ? parse_method(*args.method) : std::nullopt) {
      app.command(command::kExactSearch + static_cast<int>(*method));
    }
    if (args.prefixes) {
      app.set_prefix_list(1, utf8_to_utf16(*args.prefixes));
      app.set_prefix_list(2, utf8_to_utf16(*args.prefixes));
    }
  }

  // Runs the command on the query as typed; false when it held nothing to
  // look up. The characters looked up as others are said on standard error.
  bool run(int id, const std::string& query, const char* command_name) {
    platform.query = utf8_to_utf16(query);
    answer.start(true);
    app.command(id);
    if (app.prepared_query().empty()) return false;
    report_replacements(command_name);
    return true;
  }

  // The dictionary holds Windows-1252 texts: says which typed characters were
  // looked up as something else, so that a near miss is not taken for a miss.
  void report_replacements(const char* command_name) const {
    for (const Replacement& r : app.query_replacements()) {
      std::fprintf(stderr,
                   "lexvia-cli %s: the query's %s has no Windows-1252 form; looked up as \"%s\"\n",
                   command_name, describe_code_point(r.code_point).c_str(),
                   cp1252_to_utf8(r.text).c_str());
    }
  }

  HeadlessPlatform platform;
  SqliteStore store{SqliteStore::Access::kReadOnly};
  // A batch's mapping of the dictionary, lent to the application; it
  // outlives the application, which may still point to it.
  std::unique_ptr<MappedFile> mapping;
  KeptSuggestionTables suggestion_tables;  // the mapping's, for the misses
  AnswerCollector answer;
  Application app;
  const bool colour = colour_wanted();  // asked once: a batch prints thousands of answers
  std::string out;                      // the answer being printed
  // A batch whose two streams go to different places holds its "Did you
  // mean" lines until it next waits for input, as it does its answers,
  // rather than costing two writes a miss: the lines' places among the
  // answers matter only where the streams meet.
  bool hold_notes = false;
  std::string notes;
};

// Whether standard output and standard error are one file, terminal or pipe.
bool streams_meet() {
  struct stat out {};
  struct stat err {};
  return ::fstat(STDOUT_FILENO, &out) != 0 || ::fstat(STDERR_FILENO, &err) != 0 ||
         (out.st_dev == err.st_dev && out.st_ino == err.st_ino);
}

void write_notes(std::string& notes) {
  std::fwrite(notes.data(), 1, notes.size(), stderr);
  notes.clear();
}

OutputFormat output_format(const std::string& name) {
  if (name == "tsv") return OutputFormat::kTsv;
  if (name == "json") return OutputFormat::kJson;
  if (name == "lines-json") return OutputFormat::kLinesJson;
  return OutputFormat::kText;
}

// Of several answers: a dictionary error wins, then a headword found.
int combined_status(int a, int b) {
  if (a == 2 || b == 2) return 2;
  return a == 0 || b == 0 ? 0 : 1;
}

// Prints the answer of the query just run in the chosen format; its exit
// status.
int print_answer(Session& session, const LookupArgs& args, const std::string& query, bool browse) {
  const OutputFormat format = output_format(args.format);
  const Pages& pages = session.answer.pages();
  const int status = answer_status(pages);
  const Settings& settings = session.app.settings();
  std::vector<std::string> suggestions;
  if (!browse && status == 1 && !args.no_suggest) {
    for (const std::string& s :
         suggest_headwords(settings.dictionary_path, settings.direction,
                           session.app.prepared_query(), 5, session.mapping.get(),
                           &session.suggestion_tables)) {
      suggestions.push_back(cp1252_to_utf8(s));
    }
  }
  std::string& out = session.out;
  out.clear();
  if (format == OutputFormat::kJson) {
    AnswerInfo info;
    info.query = utf16_to_utf8(utf8_to_utf16(query));
    info.method = method_name(browse ? SearchMethod::kBrowse : settings.search_method);
    info.direction = static_cast<int>(settings.direction);
    info.dictionary = settings.dictionary_path;
    info.suggestions = suggestions;
    out = answer_json(pages, info, browse, session.app.strings());
  } else {
    format_pages(out, pages, format, session.colour, browse, session.app.strings());
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  // A Hunspell dictionary that would not load is said once, when a miss
  // first tried it.
  for (const std::string& problem : session.app.word_forms().take_new_problems()) {
    std::fprintf(stderr, "lexvia-cli: no word forms: %s\n", problem.c_str());
  }
  if (!suggestions.empty() && format != OutputFormat::kJson) {
    // After the title line on a terminal, where both streams meet.
    if (!session.hold_notes) std::fflush(stdout);
    std::string& line = session.notes;
    line += "Did you mean: ";
    for (std::size_t i = 0; i < suggestions.size(); ++i) {
      line += (i == 0 ? "" : ", ") + visible(utf8_to_utf16(suggestions[i]));
    }
    line += "?\n";
    if (!session.hold_notes) write_notes(line);
  }
  return status;
}

// The desktop program ignores a Translate with nothing typed; a script is
// told why nothing came.
int refuse_empty_query(const char* command_name) {
  std::fprintf(stderr, "lexvia-cli %s: the query is empty (or only blanks): nothing to look up\n",
               command_name);
  return 1;
}

// A batch reads the dictionary mapped into memory: thousands of lookups
// would otherwise each read its header, tables and every probe through the
// system. A file too large for that is read as always.
void map_for_batch(Session& session) {
  const DictionaryPath& path = session.app.settings().dictionary_path;
  if (path) session.mapping = MappedFile::map(*path, MappedFile::kLargestDictionary);
  session.app.lend_dictionary_file(session.mapping.get());
}

// Standard input a line at a time, read in large pieces. It flushes the
// answers so far before it waits for more input: a program that writes a
// query and waits for the answer gets it, and a file of queries is still
// answered in few writes.
class InputLines {
 public:
  explicit InputLines(std::string& notes) : notes_(notes) {}

  // The next line without its line feed, cut to `longest` bytes; false at
  // the end of the input (or on a read error).
  bool next(std::string& line, std::size_t longest) {
    line.clear();
    for (bool any = false;; any = true) {
      if (at_ == size_ && !fill()) return any;
      const char* start = buffer_.data() + at_;
      const auto* end = static_cast<const char*>(std::memchr(start, '\n', size_ - at_));
      const std::size_t n = end != nullptr ? static_cast<std::size_t>(end - start) : size_ - at_;
      line.append(start, std::min(n, longest - line.size()));
      at_ += n;
      if (end != nullptr) {
        ++at_;
        return true;
      }
    }
  }

 private:
  bool fill() {
    std::fflush(stdout);
    write_notes(notes_);
    at_ = size_ = 0;
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      size_ = static_cast<std::size_t>(got);
      return true;
    }
  }

  std::string& notes_;  // held for standard error
  std::array<char, std::size_t{1} << 16> buffer_;
  std::size_t at_ = 0;
  std::size_t size_ = 0;
};

// Each query of the command line, or with --batch each line of standard
// input, run through `ask` by one session and answered in turn. A query
// with nothing to look up is refused on the command line and skipped in a
// batch (blank lines).
template <class Ask>
int for_each_query(Session& session, const LookupArgs& args, const char* command_name, Ask ask) {
  const auto answer = [&](const std::string& query) {
    return ask(query) ? print_answer(session, args, query, args.browse) : -1;
  };
  if (!args.batch) {
    const int status = answer(args.query);
    return status == -1 ? refuse_empty_query(command_name) : status;
  }
  map_for_batch(session);
  session.hold_notes = !streams_meet();
  int status = 1;
  // A query uses at most 249 characters: a line is kept to a bound and the
  // rest of a longer one dropped, so that no input can exhaust the memory.
  constexpr std::size_t kLongestLine = 4096;
  std::string line;
  for (InputLines input(session.notes); input.next(line, kLongestLine);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const int answered = answer(line); answered != -1) {
      status = combined_status(status, answered);
    }
  }
  std::fflush(stdout);
  write_notes(session.notes);
  session.app.lend_dictionary_file(nullptr);
  if (session.mapping && session.mapping->changed()) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "lexvia-cli %s: %s changed while the batch read it; its answers may be wrong\n",
                 command_name, session.app.settings().dictionary_path->c_str());
    return 2;
  }
  return status;
}

int run_lookup(const LookupArgs& args) {
  Session session(args);
  return for_each_query(session, args, "lookup", [&](const std::string& query) {
    return session.run(command::kTranslate, query, "lookup");
  });
}

int run_browse(const LookupArgs& args) {
  if (args.page_size == 0) {
    std::fprintf(stderr, "lexvia-cli browse: --page-size 0 lists nothing; give 1 or more\n");
    return 1;
  }
  static const std::map<std::string, int> kMoves = {
      {"home", command::kHome},   {"end", command::kEnd},      {"pgup", command::kPageUp},
      {"pgdn", command::kPageDown}, {"up", command::kLineUp}, {"down", command::kLineDown}};
  Session session(args);
  session.platform.page_rows = static_cast<int>(std::min<std::uint32_t>(args.page_size, INT32_MAX));
  return for_each_query(session, args, "browse", [&](const std::string& query) {
    if (!session.run(command::kBrowse, query, "browse")) return false;
    for (const std::string& move : args.moves) {
      session.answer.start(false);
      session.app.command(kMoves.at(move));
    }
    return true;
  });
}

void add_common_options(CLI::App* cmd, LookupArgs& args) {
  cmd->add_option("--dict", args.dict,
                  "Dictionary file (default: $LEXVIA_DICT, then the stored dictionary, then the "
                  "bundled en-de.dic)");
  cmd->add_option("--direction", args.direction,
                  "1: language 1 to 2; 2: language 2 to 1 (default: the stored direction)")
      ->check(CLI::IsMember({1, 2}));
  cmd->add_option("--format", args.format,
                  "Output: text (coloured on a terminal), tsv, json (one object of entries a "
                  "query, on one line), lines-json (the result lines)")
      ->check(CLI::IsMember({"text", "tsv", "json", "lines-json"}))
      ->capture_default_str();
  auto* batch = cmd->add_flag("--batch", args.batch,
                              "Read one query a line from standard input (UTF-8) and answer each "
                              "in turn; blank lines are skipped");
  cmd->add_option("QUERY", args.query, "Word or phrase (at most 249 characters are used)")
      ->excludes(batch);
}

// The four methods' names, for the option's check.
std::vector<std::string> method_names() {
  std::vector<std::string> names;
  for (const SearchMethod method : kSearchMethods) names.emplace_back(method_name(method));
  return names;
}

// QUERY, unless the queries come from standard input.
bool query_missing(CLI::App* cmd, const LookupArgs& args) {
  if (args.batch || cmd->count("QUERY") > 0) return false;
  std::fprintf(stderr, "lexvia-cli %s: give a QUERY, or --batch to read queries from standard input\n",
               cmd->get_name().c_str());
  return true;
}

}  // namespace

void add_lookup_command(CLI::App& app, int& status) {
  auto args = std::make_shared<LookupArgs>();
  CLI::App* cmd = app.add_subcommand(
      "lookup",
      "Translate a word or phrase (a word that exact or extended search does not find as a "
      "headword shows the entries of its base forms); exit 0 when something was found, 1 "
      "when nothing matched, 2 on a dictionary error");
  add_common_options(cmd, *args);
  cmd->add_option("--method", args->method,
                  "Search method: exact, extended, phrase, full (default: the stored method)")
      ->check(CLI::IsMember(method_names()));
  cmd->add_option("--prefixes", args->prefixes,
                  "Prefix list for phrase and full search, items separated by , or ; "
                  "(default: the stored list of the dictionary, else the dictionary's own)");
  cmd->add_flag("--no-suggest", args->no_suggest,
                "On a miss, do not name the closest headwords (\"Did you mean\" on standard "
                "error, \"suggestions\" in json)");
  cmd->callback([cmd, args, &status] { status = query_missing(cmd, *args) ? 2 : run_lookup(*args); });
}

void add_browse_command(CLI::App& app, int& status) {
  auto args = std::make_shared<LookupArgs>();
  args->browse = true;
  CLI::App* cmd = app.add_subcommand(
      "browse",
      "List the page of headwords starting at the first that begins with QUERY, then "
      "one page per move");
  add_common_options(cmd, *args);
  cmd->add_option("--page-size", args->page_size, "Lines per page")->required();
  cmd->add_option("--moves", args->moves, "Moves: home, end, pgup, pgdn, up, down")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->check(CLI::IsMember({"home", "end", "pgup", "pgdn", "up", "down"}));
  cmd->callback([cmd, args, &status] { status = query_missing(cmd, *args) ? 2 : run_browse(*args); });
}

}  // namespace lexvia::cli
