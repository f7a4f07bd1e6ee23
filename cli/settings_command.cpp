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

bool same_ascii_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct IntegerSetting {
  std::string_view name;
  std::int32_t lowest, highest;  // what the program has a meaning for
};

// The program reads these as integers; the store names them without regard
// to letter case. "UI" is a position in the language list (English and at
// most 829 modules).
std::optional<IntegerSetting> integer_setting(std::string_view name) {
  static constexpr IntegerSetting kIntegers[] = {
      {"Language From", 1, 2},      {"Search Method", 0, 3},     {"QuickTranslate", 0, 1},
      {"QuickTranslateButton", 0, 4}, {"UI", 0, 829},            {"Invisible Listing", 0, 1}};
  for (const IntegerSetting& setting : kIntegers) {
    if (same_ascii_letters(name, setting.name)) return setting;
  }
  return std::nullopt;
}

std::optional<std::int32_t> parse_integer(std::string_view text) {
  std::int32_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return number;
}

std::string json_value(const StoredValue& value) {
  if (value.type == StoredValue::Type::kInteger) return std::to_string(value.integer);
  return json_string(utf16_to_utf8(value.text));
}

int run_list(SqliteStore& store, const std::u16string& key, bool json) {
  const auto values = store.list_values(key);
  std::string out = json ? "{" : "";
  const char* separator = "\n  ";
  for (const auto& [name, value] : values) {
    if (json) {
      out += separator + json_string(utf16_to_utf8(name)) + ": " + json_value(value);
      separator = ",\n  ";
    } else {
      out += utf16_to_utf8(name) + "\t" +
             (value.type == StoredValue::Type::kInteger ? std::to_string(value.integer)
                                                        : utf16_to_utf8(value.text)) +
             "\n";
    }
  }
  if (json) out += values.empty() ? "}\n" : "\n}\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}

int run_set(SqliteStore& store, const std::u16string& key, const std::string& name,
            const std::string& text) {
  StoredValue value = StoredValue::of(utf8_to_utf16(text));
  if (const auto setting = integer_setting(name)) {
    const auto number = parse_integer(text);
    if (!number || *number < setting->lowest || *number > setting->highest) {
      return fail("\"" + name + "\" takes an integer from " + std::to_string(setting->lowest) +
                      " to " + std::to_string(setting->highest) + ", not \"" + text + "\"",
                  2);
    }
    value = StoredValue::of(*number);
  }
  const std::u16string wide_name = utf8_to_utf16(name);
  const bool written = store.create_key(key) && store.set_value(wide_name, value);
  store.close_key();
  // The commit happens in close_key, which cannot tell; reading back can.
  const bool kept = written && store.open_key(key) && store.query_value(wide_name) == value;
  store.close_key();
  if (!kept) return fail("cannot write to " + store.path());
  return 0;
}

int run_settings(const SettingsArgs& args) {
  SqliteStore store;
  if (!store.is_open()) {
    return fail(store.path().empty() ? "no settings folder: set LEXVIA_CONFIG_DIR or HOME"
                                     : "cannot open " + store.path());
  }
  const std::u16string key = utf8_to_utf16(args.key);
  if (args.set.size() == 2) return run_set(store, key, args.set[0], args.set[1]);
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
