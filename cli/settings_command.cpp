// settings: what the desktop program keeps between runs, listed or changed
// one value at a time.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "dict/cp1252.h"
#include "result_output.h"
#include "settings/settings.h"
#include "settings/sqlite_store.h"

namespace lexvia::cli {

namespace {

struct SettingsArgs {
  std::string key = utf16_to_utf8(kSettingsKey);
  bool json = false;
  std::vector<std::string> set;  // NAME VALUE
};

int fail(const std::string& message, int status = 1) {
  std::cerr << "lexvia-cli settings: " << message << "\n";
  return status;
}

std::optional<std::int32_t> parse_integer(std::string_view text) {
  std::int32_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return number;
}

// The settings as the programs will read them: a value they would not take is
// pointed out, since they quietly use the default in its place.
int run_list(SqliteStore& store, const std::u16string& key, bool json) {
  const auto values = store.list_values(key);
  if (!store.problem().empty()) {
    return fail("cannot read the settings in " + store.path() + ": " + store.problem());
  }
  std::string out = json ? "{" : "";
  const char* separator = "\n  ";
  for (const auto& [name, value] : values) {
    const bool integer = value.type == StoredValue::Type::kInteger;
    if (json) {
      out += separator + json_string(utf16_to_utf8(name)) + ": " +
             (integer ? std::to_string(value.integer) : json_string(utf16_to_utf8(value.text)));
      separator = ",\n  ";
    } else {
      out += visible(name) + "\t" + (integer ? std::to_string(value.integer) : visible(value.text)) +
             "\n";
    }
    const IntegerSetting* setting = key == kSettingsKey ? find_integer_setting(name) : nullptr;
    if (setting != nullptr &&
        (!integer || value.integer < setting->lowest || value.integer > setting->highest)) {
      std::cerr << "lexvia-cli settings: \"" << visible(name) << "\" holds "
                << (integer ? std::to_string(value.integer) : "\"" + visible(value.text) + "\"")
                << ", not an integer from " << setting->lowest << " to " << setting->highest
                << "; the programs use " << setting->absent << "\n";
    }
  }
  if (json) out += values.empty() ? "}\n" : "\n}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

int run_set(SqliteStore& store, const std::u16string& key, const std::string& name,
            const std::string& text) {
  // Byte for byte: a path that is not UTF-8 must still name its file.
  const std::u16string wide_name = bytes_to_utf16(name);
  StoredValue value = StoredValue::of(bytes_to_utf16(text));
  if (const IntegerSetting* setting = find_integer_setting(wide_name)) {
    const auto number = parse_integer(text);
    if (!number || *number < setting->lowest || *number > setting->highest) {
      return fail("\"" + name + "\" takes an integer from " + std::to_string(setting->lowest) +
                      " to " + std::to_string(setting->highest) + ", not \"" + text + "\"",
                  2);
    }
    value = StoredValue::of(*number);
  }
  const bool written = store.create_key(key) && store.set_value(wide_name, value);
  store.close_key();
  // The commit happens in close_key, which cannot tell; reading back can.
  const bool kept = written && store.open_key(key) && store.query_value(wide_name) == value;
  store.close_key();
  if (!kept) {
    return fail("cannot write to " + store.path() +
                (store.problem().empty() ? "" : ": " + store.problem()));
  }
  return 0;
}

int run_settings(const SettingsArgs& args) {
  const bool listing = args.set.size() != 2;
  // Listing only reads: it changes no byte of the file and works where the
  // file or its folder may only be read.
  SqliteStore store(listing ? SqliteStore::Access::kReadOnly : SqliteStore::Access::kReadWrite);
  if (store.path().empty()) return fail("no settings folder: set LEXVIA_CONFIG_DIR or HOME");
  if (!store.problem().empty()) {
    return fail("cannot " + std::string(listing ? "read" : "write to") + " " + store.path() + ": " +
                store.problem());
  }
  const std::u16string key = bytes_to_utf16(args.key);
  if (!listing) return run_set(store, key, args.set[0], args.set[1]);
  return run_list(store, key, args.json);
}

}  // namespace

void add_settings_command(CLI::App& app, int& status) {
  auto args = std::make_shared<SettingsArgs>();
  CLI::App* cmd = app.add_subcommand(
      "settings",
      "List the stored settings (NAME<TAB>VALUE lines, or JSON), or store one with --set; "
      "they live in settings.db in $LEXVIA_CONFIG_DIR, else $XDG_CONFIG_HOME/lexvia, else "
      "~/.config/lexvia");
  cmd->add_option("--key", args->key, "Key path")->capture_default_str();
  auto* json = cmd->add_flag("--json", args->json, "Print a JSON object of name -> value");
  cmd->add_option("--set", args->set,
                  "Store a value: an integer for the integer settings (\"UI\", \"Search "
                  "Method\", ...), else a string")
      ->expected(2)
      ->type_name("NAME VALUE")
      ->excludes(json);
  cmd->callback([args, &status] { status = run_settings(*args); });
}

}  // namespace lexvia::cli
