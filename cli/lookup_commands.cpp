// lookup and browse: the Translate command and the browse dialog of the
// desktop program, run once over the command line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <utility>

#include "commands.h"
#include "dict/cp1252.h"
#include "result_output.h"
#include "search/search_engine.h"
#include "settings/language_modules.h"
#include "settings/settings.h"
#include "settings/sqlite_store.h"

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
};

// Discards lines: what the start-up reads (labels, default prefix lists) must
// not add lines of its own to a lookup's output.
class NoLines final : public LineSink {
 public:
  void append_line(std::u16string_view, int) override {}
  void append_formatted_line(std::string_view, std::string_view, int) override {}
};

// The prefix list given on the command line, else the settings' list of the
// direction (the user's own for the dictionary, or the dictionary's). Only
// Phrase and Full Search ask, so the lists of a dictionary other than the
// stored one are read only then.
class CliPrefixes final : public PrefixListSource {
 public:
  CliPrefixes(const Settings& settings, std::optional<std::string> given)
      : settings_(settings), given_(std::move(given)) {}
  std::u16string get_prefix_list(int direction) override {
    if (given_) return utf8_to_utf16(*given_);
    if (load_) std::exchange(load_, nullptr)();
    return settings_.prefix_list[direction == 2 ? 1 : 0];
  }
  // Runs `load` before the lists are first read.
  void load_on_first_use(std::function<void()> load) { load_ = std::move(load); }

 private:
  const Settings& settings_;
  std::optional<std::string> given_;
  std::function<void()> load_;
};

std::string executable_folder() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  const std::string path = n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
  return path.substr(0, path.find_last_of('/') + 1);
}

// The bundled dictionaries lie in the data folder beside the tool's: data/
// in the build tree, share/lexvia/ once installed. The FreeDict English-German
// dictionary comes first; the small sample stands in when it was not built.
std::string bundled_dictionary() {
  const std::string dir = executable_folder();
  for (const char* name : {"en-de.dic", "en-de-sample.dic"}) {
    for (const char* folder : {"../data/", "../share/lexvia/"}) {
      const std::string path = dir + folder + name;
      if (::access(path.c_str(), R_OK) == 0) return path;
    }
  }
  return dir + "../data/en-de-sample.dic";
}

// Modules and help: $LEXVIA_DATA_DIR, the installed share/lexvia/, or the
// source tree's resources/ when run from the build tree.
std::string data_folder() {
  return find_data_folder(std::getenv("LEXVIA_DATA_DIR"),
                          {executable_folder() + "../share/lexvia", LEXVIA_SOURCE_RESOURCES});
}

// Everything one run of the tool needs, owned in one place: the stored
// settings are loaded as the desktop program loads them at start-up, then the
// command line's options take their place.
struct Session {
  explicit Session(const LookupArgs& args)
      : keeper({store, settings, [this](int index) { load_language(index); }, labels, no_lines,
                strings, shell}),
        listing(result_list, query_box, flags),
        prefixes(settings, args.prefixes),
        engine({path, state, cancel, index_reader, translation_reader, listing, strings, prefixes,
                progress}) {
    keeper.load_settings();
    const char* env = std::getenv("LEXVIA_DICT");
    if (!args.dict.empty()) {
      path = args.dict;
    } else if (env != nullptr && *env != '\0') {
      path = env;
    } else {
      path = settings.dictionary_path ? settings.dictionary_path : bundled_dictionary();
    }
    if (path != settings.dictionary_path) {
      // Another dictionary than the stored one: its own prefix lists.
      settings.dictionary_path = path;
      settings.prefix_list[0].clear();
      settings.prefix_list[1].clear();
      prefixes.load_on_first_use([this] { keeper.load_prefix_lists(); });
    }
    direction = args.direction.value_or(settings.direction) == 2 ? 2 : 1;
    static const std::map<std::string, int> kMethods = {{"exact", kExactSearch},
                                                        {"extended", kExtendedSearch},
                                                        {"phrase", kPhraseSearch},
                                                        {"full", kFullSearch}};
    method = args.method ? kMethods.at(*args.method) : settings.search_method;
    if (method < kExactSearch || method > kFullSearch) method = kExtendedSearch;
  }

  // The language list is needed only to find the module of a language other
  // than the built-in English, so a lookup in English reads no module.
  void load_language(int index) {
    if (index > 0 && languages.empty()) fill_language_list(languages, data_folder());
    load_interface_strings(index, index > 0 ? &languages : nullptr, strings);
  }

  SqliteStore store{SqliteStore::Access::kReadOnly};
  Settings settings;
  StringTable strings;
  LanguageList languages;
  DirectionLabels labels;
  NoLines no_lines;
  SettingsShell shell;
  SettingsKeeper keeper;
  DictionaryPath path;
  int direction = 1;
  int method = kExtendedSearch;
  SearchState state;
  CancelFlag cancel;
  WindowedReader index_reader;
  WindowedReader translation_reader;
  LineList result_list;
  LineList browse_list;
  NoQueryBox query_box;
  ListingFlags flags;
  ResultListing listing;
  CliPrefixes prefixes;
  NoProgress progress;
  SearchEngine engine;
};

OutputFormat output_format(const std::string& name) {
  if (name == "tsv") return OutputFormat::kTsv;
  if (name == "json") return OutputFormat::kJson;
  return OutputFormat::kText;
}

// 0 when a headword was listed, 2 when a dictionary error line was, else 1.
int exit_status(const std::vector<std::vector<Line>>& pages) {
  bool headword = false;
  for (const auto& page : pages) {
    for (const Line& line : page) {
      if (line.colour == kColourError) return 2;
      headword = headword || line.colour == kColourHeadword;
    }
  }
  return headword ? 0 : 1;
}

int finish(const std::vector<std::vector<Line>>& pages, const LookupArgs& args, bool browse) {
  const OutputFormat format = output_format(args.format);
  std::fputs(format_pages(pages, format, colour_wanted(), browse).c_str(), stdout);
  return exit_status(pages);
}

int run_lookup(const LookupArgs& args) {
  Session session(args);
  const std::string query = prepare_query(utf8_to_utf16(args.query));
  if (!query.empty()) session.engine.search_dictionary(query, session.method, session.direction);
  return finish({session.result_list.lines()}, args, false);
}

int run_browse(const LookupArgs& args) {
  static const std::map<std::string, int> kMoves = {{"home", 0}, {"end", 1}, {"pgup", 2},
                                                    {"pgdn", 3}, {"up", 4},  {"down", 5}};
  Session session(args);
  session.flags.browse_mode = true;
  session.listing.set_browse_list(&session.browse_list);
  session.state.browse_page_size = args.page_size;
  std::vector<std::vector<Line>> pages;
  const std::string query = prepare_query(utf8_to_utf16(args.query));
  if (!query.empty()) session.engine.search_dictionary(query, kBrowseListing, session.direction);
  pages.push_back(session.browse_list.lines());
  for (const std::string& move : args.moves) {
    session.browse_list.remove_all();
    session.listing.remember_selection(true);
    session.engine.browse_move(session.direction, kMoves.at(move));
    pages.push_back(session.browse_list.lines());
  }
  return finish(pages, args, true);
}

void add_common_options(CLI::App* cmd, LookupArgs& args) {
  cmd->add_option("--dict", args.dict,
                  "Dictionary file (default: $LEXVIA_DICT, then the stored dictionary, then the "
                  "bundled en-de.dic)");
  cmd->add_option("--direction", args.direction,
                  "1: language 1 to 2; 2: language 2 to 1 (default: the stored direction)")
      ->check(CLI::IsMember({1, 2}));
  cmd->add_option("--format", args.format, "Output: text (coloured on a terminal), tsv, json")
      ->check(CLI::IsMember({"text", "tsv", "json"}))
      ->capture_default_str();
  cmd->add_option("QUERY", args.query, "Word or phrase (at most 249 characters are used)")
      ->required();
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
      ->check(CLI::IsMember({"exact", "extended", "phrase", "full"}));
  cmd->add_option("--prefixes", args->prefixes,
                  "Prefix list for phrase and full search, items separated by , or ; "
                  "(default: the stored list of the dictionary, else the dictionary's own)");
  cmd->callback([args, &status] { status = run_lookup(*args); });
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
      ->check(CLI::IsMember({"home", "end", "pgup", "pgdn", "up", "down"}));
  cmd->callback([args, &status] { status = run_browse(*args); });
}

}  // namespace lexvia::cli
