// lookup and browse: the Translate command and the browse dialog of the
// desktop program, run once over the command line.
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
};

// One run of the application over the tool's platform: the stored settings
// are loaded as the desktop program loads them at start-up, then the command
// line's options are applied through the same commands the window's buttons
// and menus send.
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
    // The start-up's own lines are not part of the answer.
    platform.list.keep_shown(platform.list.take_new());
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
    platform.query = utf8_to_utf16(args.query);
  }

  HeadlessPlatform platform;
  SqliteStore store{SqliteStore::Access::kReadOnly};
  // A batch's mapping of the dictionary, lent to the application; it
  // outlives the application, which may still point to it.
  std::unique_ptr<MappedFile> mapping;
  Application app;
  const bool colour = colour_wanted();  // asked once: a batch prints thousands of answers
  std::string out;                      // the answer being printed
  std::vector<std::vector<Line>> pages;  // the answer's lines
};

// The dictionary holds Windows-1252 texts: says which typed characters were
// looked up as something else, so that a near miss is not taken for a miss.
void report_replacements(const std::u16string& query, const char* command) {
  if (std::all_of(query.begin(), query.end(), [](char16_t c) { return c < 0x80; })) return;
  std::vector<Replacement> replaced;
  utf16_to_cp1252_transliterated(query, &replaced);
  for (const Replacement& r : replaced) {
    std::fprintf(stderr, "lexvia-cli %s: the query's %s has no Windows-1252 form; looked up as \"%s\"\n",
                 command, describe_code_point(r.code_point).c_str(), cp1252_to_utf8(r.text).c_str());
  }
}

OutputFormat output_format(const std::string& name) {
  if (name == "tsv") return OutputFormat::kTsv;
  if (name == "json") return OutputFormat::kJson;
  if (name == "lines-json") return OutputFormat::kLinesJson;
  return OutputFormat::kText;
}

// 0 when a headword was listed, 2 when a dictionary error line was, else 1.
int exit_status(const std::vector<std::vector<Line>>& pages) {
  bool headword = false;
  for (const auto& page : pages) {
    for (const Line& line : page) {
      if (line.colour == ColourCode::kError) return 2;
      headword = headword || line.colour == ColourCode::kHeadword;
    }
  }
  return headword ? 0 : 1;
}

// Of several answers: a dictionary error wins, then a headword found.
int combined_status(int a, int b) {
  if (a == 2 || b == 2) return 2;
  return a == 0 || b == 0 ? 0 : 1;
}

// Prints one query's answer in the chosen format; its exit status.
int print_answer(Session& session, const LookupArgs& args, const std::string& query,
                 const std::vector<std::vector<Line>>& pages, bool browse) {
  const OutputFormat format = output_format(args.format);
  const int status = exit_status(pages);
  std::vector<std::string> suggestions;
  if (!browse && status == 1 && !args.no_suggest) {
    for (const std::string& s :
         suggest_headwords(session.app.settings().dictionary_path,
                           session.app.settings().direction,
                           prepare_query(utf8_to_utf16(query)), 5, session.mapping.get())) {
      suggestions.push_back(cp1252_to_utf8(s));
    }
  }
  std::string& out = session.out;
  out.clear();
  if (format == OutputFormat::kJson) {
    AnswerInfo info;
    info.query = utf16_to_utf8(utf8_to_utf16(query));
    info.method = method_name(browse ? SearchMethod::kBrowse : session.app.settings().search_method);
    info.direction = static_cast<int>(session.app.settings().direction);
    info.dictionary = session.app.settings().dictionary_path;
    info.suggestions = suggestions;
    out = answer_json(pages, info, browse);
  } else {
    format_pages(out, pages, format, session.colour, browse);
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!suggestions.empty() && format != OutputFormat::kJson) {
    // After the title line on a terminal, where both streams meet.
    std::fflush(stdout);
    std::string line = "Did you mean: ";
    for (std::size_t i = 0; i < suggestions.size(); ++i) {
      line += (i == 0 ? "" : ", ") + visible(utf8_to_utf16(suggestions[i]));
    }
    std::fprintf(stderr, "%s?\n", line.c_str());
  }
  return status;
}

// The desktop program ignores a Translate with nothing typed; a script is
// told why nothing came.
bool refuse_empty_query(const LookupArgs& args, const char* command) {
  if (args.batch || !prepare_query(utf8_to_utf16(args.query)).empty()) return false;
  std::fprintf(stderr, "lexvia-cli %s: the query is empty (or only blanks): nothing to look up\n",
               command);
  return true;
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
    at_ = size_ = 0;
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      size_ = static_cast<std::size_t>(got);
      return true;
    }
  }

  std::array<char, std::size_t{1} << 16> buffer_;
  std::size_t at_ = 0;
  std::size_t size_ = 0;
};

// Each query of the command line, or with --batch each line of standard
// input (blank ones skipped), answered in turn by one session.
template <class Answer>
int for_each_query(Session& session, const LookupArgs& args, const char* command, Answer answer) {
  if (!args.batch) return answer(args.query);
  map_for_batch(session);
  int status = 1;
  // A query uses at most 249 characters: a line is kept to a bound and the
  // rest of a longer one dropped, so that no input can exhaust the memory.
  constexpr std::size_t kLongestLine = 4096;
  std::string line;
  for (InputLines input; input.next(line, kLongestLine);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Printable ASCII other than a blank, among the bytes that are surely
    // within the query's 249 units, makes the query not blank.
    const bool plainly_a_query =
        std::any_of(line.begin(),
                    line.begin() + static_cast<std::ptrdiff_t>(std::min(line.size(), kQueryUnits)),
                    [](char b) { return b > ' ' && b < 0x7F; });
    if (!plainly_a_query && prepare_query(utf8_to_utf16(line)).empty()) continue;
    status = combined_status(status, answer(line));
  }
  session.app.lend_dictionary_file(nullptr);
  if (session.mapping && session.mapping->changed()) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "lexvia-cli %s: %s changed while the batch read it; its answers may be wrong\n",
                 command, session.app.settings().dictionary_path->c_str());
    return 2;
  }
  return status;
}

int run_lookup(const LookupArgs& args) {
  if (refuse_empty_query(args, "lookup")) return 1;
  Session session(args);
  return for_each_query(session, args, "lookup", [&](const std::string& query) {
    session.platform.query = utf8_to_utf16(query);
    report_replacements(session.platform.query, "lookup");
    session.app.command(command::kTranslate);
    std::vector<std::vector<Line>>& pages = session.pages;
    pages.resize(1);
    pages.front() = session.platform.list.take_new();
    const int status = print_answer(session, args, query, pages, false);
    session.platform.list.keep_shown(std::move(pages.front()));
    return status;
  });
}

int run_browse(const LookupArgs& args) {
  if (args.page_size == 0) {
    std::fprintf(stderr, "lexvia-cli browse: --page-size 0 lists nothing; give 1 or more\n");
    return 1;
  }
  if (refuse_empty_query(args, "browse")) return 1;
  static const std::map<std::string, int> kMoves = {
      {"home", command::kHome},   {"end", command::kEnd},      {"pgup", command::kPageUp},
      {"pgdn", command::kPageDown}, {"up", command::kLineUp}, {"down", command::kLineDown}};
  Session session(args);
  session.platform.page_rows = static_cast<int>(std::min<std::uint32_t>(args.page_size, INT32_MAX));
  return for_each_query(session, args, "browse", [&](const std::string& query) {
    session.platform.query = utf8_to_utf16(query);
    report_replacements(session.platform.query, "browse");
    session.app.command(command::kBrowse);
    // A dictionary error goes to the browse list too.
    std::vector<std::vector<Line>> pages{session.platform.browse.page().lines()};
    for (const std::string& move : args.moves) {
      session.app.command(kMoves.at(move));
      pages.push_back(session.platform.browse.page().lines());
    }
    return print_answer(session, args, query, pages, true);
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
      "Translate a word or phrase; exit 0 when something was found, 1 when nothing "
      "matched, 2 on a dictionary error");
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
