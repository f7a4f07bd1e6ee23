#include "dict_protocol.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "dict/cp1252.h"
#include "dict/transliteration.h"
#include "search/headword_lists.h"

namespace lexvia::cli {

namespace {

struct Quiet final : DictionaryErrorSink {
  void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
};

// What the engine lists for one request, within the bounds of a request: past
// them the lookup is cancelled between two records.
class Collector final : public SearchOutput, public PrefixListSource {
 public:
  Collector(const OpenFiles::File& file, CancelFlag& cancel, bool headwords_only)
      : file_(file), cancel_(cancel), headwords_only_(headwords_only) {}

  void title_line(SearchMethod, std::string_view) override {}
  void headword_line(std::string_view headword) override {
    const std::size_t most = headwords_only_ ? kMaxMatches : kMaxDefinitions;
    if (found.size() >= most || bytes_ > kMaxAnswerBytes) {
      cancel_.set();
      full_ = true;
      return;
    }
    found.push_back({std::string(headword), {}, form_of_});
    bytes_ += headword.size();
  }
  void base_form_line(std::string_view query, std::string_view) override { form_of_ = query; }
  void translation_line(std::string_view translation) override {
    if (headwords_only_ || found.empty() || full_) return;
    if (bytes_ > kMaxAnswerBytes) {
      cancel_.set();
      return;
    }
    found.back().translations.emplace_back(translation);
    bytes_ += translation.size();
  }
  void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
  // Phrase and Full Search take the dictionary's own prefix list.
  std::u16string get_prefix_list(Direction direction) override {
    return file_.prefix_list[index_of(direction)];
  }

  std::vector<Definition> found;

 private:
  const OpenFiles::File& file_;
  CancelFlag& cancel_;
  bool headwords_only_;
  bool full_ = false;
  std::size_t bytes_ = 0;
  std::string form_of_;  // the query, once the entries are a base form's
};

// One lookup with an engine and readers of its own: requests share only the
// open file, which is read with pread, so sessions may run on any thread.
struct Lookup {
  Lookup(const DictDatabase& db, const OpenFiles::File& file, bool headwords_only,
         WordForms* forms)
      : path(db.path), collector(file, cancel, headwords_only),
        engine({path, state, cancel, index, translation, collector, collector}) {
    engine.lend_file(file.file.get());
    engine.lend_word_forms(forms);
  }

  DictionaryPath path;
  SearchState state;
  CancelFlag cancel;
  WindowedReader index;
  WindowedReader translation;
  Collector collector;
  SearchEngine engine;
};

std::vector<std::string> headwords_of(std::vector<Definition> found) {
  std::vector<std::string> headwords;
  for (Definition& d : found) {
    if (std::find(headwords.begin(), headwords.end(), d.headword) == headwords.end()) {
      headwords.push_back(std::move(d.headword));
    }
  }
  return headwords;
}

std::string utf8(std::string_view cp1252) { return cp1252_to_utf8(cp1252); }

// A query as the dictionary holds it: the Translate command's steps. A
// character with no Windows-1252 form and no fallback can match nothing.
std::optional<std::string> dictionary_query(std::string_view utf8_query) {
  std::vector<Replacement> replaced;
  std::string query = prepare_query(utf8_to_utf16(utf8_query), &replaced);
  for (const Replacement& r : replaced) {
    if (r.text == "?") return std::nullopt;
  }
  if (query.empty()) return std::nullopt;
  return query;
}

// A texts' lines, each ending in CRLF, a line that starts with "." doubled,
// and the closing ".".
std::string text_block(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (line.starts_with('.')) out += '.';
    out.append(line);
    out += "\r\n";
    start = end + 1;
  }
  return out + ".\r\n";
}

// A word for a status or match line: quoted, with quotes and backslashes
// escaped.
std::string dict_word(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool valid_utf8(std::string_view text) { return std::holds_alternative<std::u32string>(decode_utf8(text)); }

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const std::string kOk = "250 ok\r\n";
const std::string kNoMatch = "552 no match\r\n";
const std::string kBadParameters = "501 syntax error, illegal parameters\r\n";
const std::string kBadDatabase = "550 invalid database, use \"SHOW DB\" for a list of databases\r\n";

}  // namespace

std::variant<std::vector<DictDatabase>, std::string> dict_catalogue(
    const std::vector<std::string>& files) {
  std::vector<DictDatabase> databases;
  for (const std::string& file : files) {
    const auto summary = read_dictionary_summary(file);
    if (!summary) return file + ": not a dictionary that can be read";
    for (const Direction direction : {Direction::kFrom1, Direction::kFrom2}) {
      std::string name = utf8(summary->from(direction)) + "-" + utf8(summary->to(direction));
      // A database name is one word of the protocol.
      for (char& c : name) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\'' || c == '\\') c = '_';
      }
      const std::string base = name;
      for (int n = 2; std::any_of(databases.begin(), databases.end(),
                                  [&](const DictDatabase& d) { return d.name == name; });
           ++n) {
        name = base + "-" + std::to_string(n);
      }
      databases.push_back({name, file, direction});
    }
  }
  return databases;
}

std::string database_description(const DictDatabase& db, const DictionarySummary& summary) {
  return utf8(summary.from(db.direction)) + " \u00BB " + utf8(summary.to(db.direction)) + ", " +
         std::to_string(summary.pair_count) + " pairs (" +
         std::filesystem::path(db.path).filename().string() + ")";
}

const std::vector<DictStrategy>& dict_strategies() {
  static const std::vector<DictStrategy> kStrategies = {
      {method_name(SearchMethod::kExact), "Match headwords exactly (Exact Search)"},
      {"prefix", "Match prefixes"},
      {method_name(SearchMethod::kExtended), "The word alone or followed by a separator: house, house-boat (Extended Search)"},
      {method_name(SearchMethod::kPhrase), "Exact Search, also after the dictionary's prefixes such as \"to \" (Phrase Search)"},
      {method_name(SearchMethod::kFull), "Extended Search, also after the dictionary's prefixes (Full Search)"},
      {"lev", "Match headwords within one edit: a letter added, dropped, changed, or two swapped"},
  };
  return kStrategies;
}

OpenFiles::File OpenFiles::get(const std::string& path) {
  struct stat now {};
  if (::stat(path.c_str(), &now) != 0) return {};
  const std::lock_guard<std::mutex> lock(mutex_);
  Held& held = held_[path];
  const auto same = [](const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
  };
  if (!held.file.file || !same(held.status, now)) {
    held.file.file = std::shared_ptr<PosixFile>(PosixFile::open(path));
    held.file.summary = held.file.file ? read_dictionary_summary(path) : std::nullopt;
    const DictionaryPath at = path;
    Quiet quiet;
    for (int n = 0; n < 2; ++n) {
      held.file.prefix_list[n] = read_default_prefix_list({at, quiet}, n + 1).value_or(u"");
    }
    held.status = now;
  }
  return held.file;
}

std::vector<Definition> define_word(const DictDatabase& db, const OpenFiles::File& file,
                                    std::string_view query, WordForms* forms) {
  Lookup lookup(db, file, false, forms);
  lookup.engine.search_dictionary(query, SearchMethod::kExact, db.direction);
  return std::move(lookup.collector.found);
}

std::vector<std::string> match_word(const DictDatabase& db, const OpenFiles::File& file,
                                    std::string_view strategy, std::string_view query,
                                    WordForms* forms) {
  if (strategy == "prefix") {
    return prefix_headwords(db.path, db.direction, query, kMaxMatches, file.file.get());
  }
  if (strategy == "lev") {
    return near_headwords(db.path, db.direction, query, kMaxMatches, file.file.get());
  }
  // The four search methods are strategies of their own names.
  const auto method = parse_method(strategy);
  if (!method) return {};
  Lookup lookup(db, file, true, forms);
  lookup.engine.search_dictionary(query, *method, db.direction);
  return headwords_of(std::move(lookup.collector.found));
}

std::optional<std::vector<std::string>> split_command(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) return words;
    std::string word;
    char quote = 0;
    for (; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        word += line[++i];
      } else if (quote != 0) {
        if (c == quote) {
          quote = 0;
        } else {
          word += c;
        }
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == ' ' || c == '\t') {
        break;
      } else {
        word += c;
      }
    }
    if (quote != 0) return std::nullopt;
    words.push_back(std::move(word));
  }
}

DictSession::DictSession(const std::vector<DictDatabase>& databases, DictServerState& server)
    : databases_(databases), server_(server) {
  const auto number = server_.connections.fetch_add(1) + 1;
  message_id_ = "<" + std::to_string(::getpid()) + "." + std::to_string(number) + "@" +
                server_.host + ">";
}

std::string DictSession::banner() {
  return "220 " + server_.host + " lexvia-cli DICT server <mime> " + message_id_ + "\r\n";
}

std::string DictSession::line_too_long() {
  return "500 line too long: at most " + std::to_string(kMaxCommandLine) + " characters\r\n";
}

std::vector<const DictDatabase*> DictSession::selected(const std::string& name) const {
  std::vector<const DictDatabase*> chosen;
  for (const DictDatabase& db : databases_) {
    if (name == "*" || name == "!" || db.name == name) chosen.push_back(&db);
  }
  return chosen;
}

std::string DictSession::answer(std::string_view line) {
  server_.requests.fetch_add(1, std::memory_order_relaxed);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.size() > kMaxCommandLine) return line_too_long();
  if (!valid_utf8(line) || line.find('\0') != std::string_view::npos) {
    return "500 syntax error, command not recognized (not UTF-8 text)\r\n";
  }
  const auto words = split_command(line);
  if (!words) return "501 syntax error, illegal parameters (a quote is left open)\r\n";
  if (words->empty()) return "500 syntax error, command not recognized\r\n";
  const std::string command = lower((*words)[0]);
  if (command == "define") return define(*words);
  if (command == "match") return match(*words);
  if (command == "show") return show(*words);
  if (command == "client") return words->size() >= 2 ? kOk : kBadParameters;
  if (command == "status") {
    const auto up = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - server_.started);
    return "210 status up " + std::to_string(up.count()) + " s, " +
           std::to_string(server_.connections.load()) + " connections, " +
           std::to_string(server_.requests.load()) + " requests\r\n";
  }
  if (command == "help") {
    return "113 help text follows\r\n" +
           text_block(
               "DEFINE database word         -- look a word up (Exact Search)\n"
               "MATCH database strategy word -- list matching headwords\n"
               "SHOW DB                      -- list all databases\n"
               "SHOW STRAT                   -- list the strategies\n"
               "SHOW INFO database           -- describe a database\n"
               "SHOW SERVER                  -- describe the server\n"
               "OPTION MIME                  -- precede texts with MIME headers\n"
               "CLIENT info                  -- say who you are\n"
               "STATUS                       -- the server's status\n"
               "HELP                         -- this text\n"
               "QUIT                         -- close the connection\n"
               "A database may be * (all) or ! (the first with a match). The strategy \".\"\n"
               "is extended, or lev where extended finds nothing.") +
           kOk;
  }
  if (command == "quit") {
    finished_ = true;
    return "221 bye\r\n";
  }
  if (command == "option") {
    if (words->size() != 2) return kBadParameters;
    if (lower((*words)[1]) != "mime") return "503 command parameter not implemented\r\n";
    mime_ = true;
    return "250 ok - using MIME headers\r\n";
  }
  if (command == "auth" || command == "saslauth" || command == "saslresp") {
    return "502 command not implemented\r\n";
  }
  return "500 syntax error, command not recognized\r\n";
}

std::string DictSession::define(const std::vector<std::string>& words) {
  if (words.size() != 3) return kBadParameters;
  const auto chosen = selected(words[1]);
  if (chosen.empty()) return kBadDatabase;
  const auto query = dictionary_query(words[2]);
  if (!query) return kNoMatch;
  std::string texts;
  std::size_t count = 0;
  for (const DictDatabase* db : chosen) {
    const auto file = server_.files.get(db->path);
    const auto found = define_word(*db, file, *query, server_.forms);
    if (found.empty()) continue;
    const std::string description =
        file.summary ? database_description(*db, *file.summary) : db->name;
    for (const Definition& d : found) {
      std::string text = mime_ ? "Content-type: text/plain; charset=utf-8\n\n" : "";
      // As the result list shows it, so that the client sees why another
      // word's entry answers.
      if (!d.form_of.empty()) text += utf8(d.form_of) + ": form of \"" + utf8(d.headword) + "\"\n";
      text += utf8(d.headword) + "\n";
      for (const std::string& t : d.translations) text += "  " + utf8(t) + "\n";
      texts += "151 " + dict_word(words[2]) + " " + db->name + " " + dict_word(description) + "\r\n" +
               text_block(text);
      ++count;
    }
    if (words[1] == "!") break;
  }
  if (count == 0) return kNoMatch;
  return "150 " + std::to_string(count) + " definitions retrieved\r\n" + texts + kOk;
}

std::string DictSession::match(const std::vector<std::string>& words) {
  if (words.size() != 4) return kBadParameters;
  const auto chosen = selected(words[1]);
  if (chosen.empty()) return kBadDatabase;
  // The default is Extended Search; where it finds nothing, the near misses,
  // so that a client asking "." on a miss (as dict does) can say "perhaps
  // you mean".
  const bool by_default = words[2] == ".";
  const std::string strategy = by_default ? std::string(kDefaultStrategy) : lower(words[2]);
  const auto& known = dict_strategies();
  if (std::none_of(known.begin(), known.end(),
                   [&](const DictStrategy& s) { return s.name == strategy; })) {
    return "551 invalid strategy, use \"SHOW STRAT\" for a list of strategies\r\n";
  }
  const auto query = dictionary_query(words[3]);
  if (!query) return kNoMatch;
  std::string lines;
  std::size_t count = 0;
  for (const DictDatabase* db : chosen) {
    const auto file = server_.files.get(db->path);
    auto found = match_word(*db, file, strategy, *query, server_.forms);
    if (found.empty() && by_default) found = match_word(*db, file, "lev", *query);
    for (const std::string& headword : found) lines += db->name + " " + dict_word(utf8(headword)) + "\n";
    count += found.size();
    if (words[1] == "!" && !found.empty()) break;
  }
  if (count == 0) return kNoMatch;
  return "152 " + std::to_string(count) + " matches found\r\n" + text_block(lines) + kOk;
}

std::string DictSession::show(const std::vector<std::string>& words) {
  if (words.size() < 2) return kBadParameters;
  const std::string what = lower(words[1]);
  if ((what == "db" || what == "databases") && words.size() == 2) {
    std::string lines;
    std::size_t count = 0;
    for (const DictDatabase& db : databases_) {
      // A file that vanished or broke since the start is not offered.
      if (const auto summary = server_.files.get(db.path).summary) {
        lines += db.name + " " + dict_word(database_description(db, *summary)) + "\n";
        ++count;
      }
    }
    if (count == 0) return "554 no databases present\r\n";
    return "110 " + std::to_string(count) + " databases present\r\n" + text_block(lines) + kOk;
  }
  if ((what == "strat" || what == "strategies") && words.size() == 2) {
    std::string lines;
    for (const DictStrategy& s : dict_strategies()) {
      lines += std::string(s.name) + " " + dict_word(s.description) + "\n";
    }
    return "111 " + std::to_string(dict_strategies().size()) + " strategies present\r\n" +
           text_block(lines) + kOk;
  }
  if (what == "info" && words.size() == 3) {
    const auto chosen = selected(words[2]);
    if (chosen.empty() || words[2] == "*" || words[2] == "!") return kBadDatabase;
    const DictDatabase& db = *chosen.front();
    const auto summary = server_.files.get(db.path).summary;
    if (!summary) return kBadDatabase;
    const std::string description = database_description(db, *summary);
    return "112 database information follows\r\n" +
           text_block(db.name + ": " + description + "\nA Lexvia dictionary, " +
                      (db.direction == Direction::kFrom1 ? "direction 1" : "direction 2") +
                      ". DEFINE looks a word up with Exact Search; MATCH offers\n"
                      "the four search methods as strategies (SHOW STRAT).") +
           kOk;
  }
  if (what == "server" && words.size() == 2) {
    return "114 server information follows\r\n" +
           text_block("lexvia-cli serve on " + server_.host + ": " +
                      std::to_string(databases_.size()) + " databases, " +
                      std::to_string(dict_strategies().size()) + " strategies.") +
           kOk;
  }
  return kBadParameters;
}

}  // namespace lexvia::cli
