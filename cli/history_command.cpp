// history and favourites: the lists the desktop program keeps in the
// settings file, listed and changed. The tool's own lookups are never
// recorded: a script's thousands would push the user's out.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "dict/cp1252.h"
#include "result_output.h"
#include "settings/sqlite_history.h"
#include "settings/sqlite_store.h"

namespace lexvia::cli {

namespace {

struct ListArgs {
  std::string format = "text";
  bool clear = false;
  std::optional<std::string> add;
  std::optional<std::string> remove;
  int direction = 0;  // 0: not given
};

int fail(const char* command, const std::string& message, int status = 1) {
  std::cerr << "lexvia-cli " << command << ": " << message << "\n";
  return status;
}

// One line of a list: a query, its direction and, for the history, the
// search method it was looked up with.
struct Row {
  const std::u16string& query;
  Direction direction;
  std::optional<SearchMethod> method;
};

// text: QUERY  (DIRECTION, METHOD); tsv: QUERY<TAB>DIRECTION<TAB>METHOD;
// json: an array of {"query", "direction", "method"}, one entry a line.
// Favourites have no method.
void append_row(std::string& out, const Row& row, const std::string& format, bool first) {
  const std::string direction = std::to_string(static_cast<int>(row.direction));
  const std::string method = row.method ? std::string(method_name(*row.method)) : "";
  if (format == "json") {
    out += first ? "[\n  " : ",\n  ";
    out += "{\"query\": " + json_string(utf16_to_utf8(row.query)) + ", \"direction\": " + direction;
    if (row.method) out += ", \"method\": " + json_string(method);
    out += "}";
  } else if (format == "tsv") {
    append_visible(out, row.query);
    out += "\t" + direction + (row.method ? "\t" + method : "") + "\n";
  } else {
    append_visible(out, row.query);
    out += "  (" + direction + (row.method ? ", " + method : "") + ")\n";
  }
}

void print_rows(const std::vector<Row>& rows, const std::string& format) {
  std::string out;
  for (std::size_t i = 0; i < rows.size(); ++i) append_row(out, rows[i], format, i == 0);
  if (format == "json") out += rows.empty() ? "[]\n" : "\n]\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

// The store, or the exit status and message of why it cannot serve.
std::optional<int> check_store(const char* command, const SqliteStore& store, bool writing) {
  if (store.path().empty()) return fail(command, "no settings folder: set LEXVIA_CONFIG_DIR or HOME");
  if (!store.problem().empty()) {
    return fail(command, std::string("cannot ") + (writing ? "write to " : "read ") + store.path() +
                             ": " + store.problem());
  }
  return std::nullopt;
}

int run_history(const ListArgs& args) {
  constexpr const char* kCommand = "history";
  // Listing only reads: it changes no byte of the file.
  SqliteStore store(args.clear ? SqliteStore::Access::kReadWrite : SqliteStore::Access::kReadOnly);
  if (auto status = check_store(kCommand, store, args.clear)) return *status;
  SqliteHistory lists(store);
  if (args.clear) {
    return lists.clear_history()
               ? 0
               : fail(kCommand, "cannot clear the history in " + store.path() + ": " + lists.problem());
  }
  const std::vector<HistoryEntry> entries = lists.history();
  if (!lists.problem().empty()) {
    return fail(kCommand, "cannot read the history in " + store.path() + ": " + lists.problem());
  }
  std::vector<Row> rows;
  rows.reserve(entries.size());
  for (const HistoryEntry& e : entries) rows.push_back({e.query, e.direction, e.method});
  print_rows(rows, args.format);
  return 0;
}

int change_favourite(SqliteHistory& lists, const SqliteStore& store, const ListArgs& args) {
  constexpr const char* kCommand = "favourites";
  const bool adding = args.add.has_value();
  const Favourite favourite{utf8_to_utf16(adding ? *args.add : args.remove.value_or("")),
                            args.direction == 2 ? Direction::kFrom2 : Direction::kFrom1};
  if (!storable_query(favourite.query)) {
    return fail(kCommand,
                "a favourite is a query of 1 to " + std::to_string(kQueryUnits) + " characters", 2);
  }
  const ListChange change = adding ? lists.add_favourite(favourite) : lists.remove_favourite(favourite);
  if (change == ListChange::kFailed) {
    return fail(kCommand, std::string("cannot ") + (adding ? "add to" : "remove from") +
                              " the favourites in " + store.path() + ": " + lists.problem());
  }
  if (change == ListChange::kUnchanged && !adding) {
    return fail(kCommand, "\"" + visible(favourite.query) + "\" is no favourite in direction " +
                              std::to_string(args.direction));
  }
  return 0;  // a favourite added again is kept once, as asked
}

int run_favourites(const ListArgs& args) {
  constexpr const char* kCommand = "favourites";
  const bool changing = args.add || args.remove;
  if (changing != (args.direction != 0)) {
    return fail(kCommand, "--add and --remove take --direction 1 or 2, and --direction goes with them", 2);
  }
  SqliteStore store(changing ? SqliteStore::Access::kReadWrite : SqliteStore::Access::kReadOnly);
  if (auto status = check_store(kCommand, store, changing)) return *status;
  SqliteHistory lists(store);
  if (changing) return change_favourite(lists, store, args);
  const std::vector<Favourite> kept = lists.favourites();
  if (!lists.problem().empty()) {
    return fail(kCommand, "cannot read the favourites in " + store.path() + ": " + lists.problem());
  }
  std::vector<Row> rows;
  rows.reserve(kept.size());
  for (const Favourite& f : kept) rows.push_back({f.query, f.direction, std::nullopt});
  print_rows(rows, args.format);
  return 0;
}

CLI::Option* add_format_option(CLI::App* cmd, ListArgs& args, const char* columns) {
  return cmd->add_option("--format", args.format, columns)
      ->capture_default_str()
      ->check(CLI::IsMember({"text", "tsv", "json"}));
}

}  // namespace

void add_history_command(CLI::App& app, int& status) {
  auto args = std::make_shared<ListArgs>();
  CLI::App* cmd = app.add_subcommand(
      "history",
      "List the lookups the desktop program made, newest first (at most 1000; the tool's own "
      "lookups are never recorded), or empty the list with --clear; it is kept in settings.db "
      "beside the settings");
  auto* format = add_format_option(
      cmd, *args,
      "text: QUERY  (DIRECTION, METHOD) a line; tsv: QUERY<TAB>DIRECTION<TAB>METHOD; json: an "
      "array of {\"query\", \"direction\", \"method\"}");
  cmd->add_flag("--clear", args->clear, "Empty the history")->excludes(format);
  cmd->callback([args, &status] {
    status = within_memory("history", "reading the history", [&] { return run_history(*args); });
  });
}

void add_favourites_command(CLI::App& app, int& status) {
  auto args = std::make_shared<ListArgs>();
  CLI::App* cmd = app.add_subcommand(
      "favourites",
      "List the favourite queries, newest first, or add or remove one (a query and its "
      "direction; one already kept is not added again); they are kept in settings.db beside "
      "the settings");
  auto* format = add_format_option(
      cmd, *args,
      "text: QUERY  (DIRECTION) a line; tsv: QUERY<TAB>DIRECTION; json: an array of "
      "{\"query\", \"direction\"}");
  auto* add = cmd->add_option("--add", args->add, "Keep QUERY as a favourite")
                  ->type_name("QUERY")
                  ->excludes(format);
  cmd->add_option("--remove", args->remove, "Remove the favourite QUERY")
      ->type_name("QUERY")
      ->excludes(format)
      ->excludes(add);
  cmd->add_option("--direction", args->direction,
                  "The favourite's direction: 1 (language 1 to 2) or 2; with --add or --remove")
      ->check(CLI::IsMember({1, 2}))
      ->excludes(format);
  cmd->callback([args, &status] {
    status = within_memory("favourites", "reading the favourites", [&] { return run_favourites(*args); });
  });
}

}  // namespace lexvia::cli
