// The user's choices between runs: read once at start-up, held in memory,
// written back at a few fixed moments. Each dictionary file has two prefix
// lists of its own; without stored ones the dictionary's own lists serve.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dict/dictionary_info.h"
#include "dict/direction.h"
#include "search/search_method.h"
#include "settings/key_value_store.h"

namespace lexvia {

// The stored numbers become these types when they are read and numbers again
// when they are written, nowhere else.
struct Settings {
  Direction direction = Direction::kFrom1;
  SearchMethod search_method = SearchMethod::kExtended;  // one of the four
  bool quick_translate_on = false;
  std::int32_t quick_translate_button = 0;           // 0 (none) or 1 to 4
  DictionaryPath dictionary_path;                    // UTF-8
  std::optional<std::string> speech_library_path;    // UTF-8
  std::int32_t language_index = 0;                   // in the language list
  bool invisible_listing = true;
  std::u16string prefix_list[2];  // [index_of(direction)]
  // Whether the desktop program records its lookups ("History").
  bool history_on = true;
};

// An integer setting with the values the programs have a meaning for and the
// one an absent value stands for. A stored value outside the range (written
// by hand or by another program) is read as absent. "UI" is a position in
// the language list: English and at most 829 modules.
struct IntegerSetting {
  std::u16string_view name;
  std::int32_t lowest, highest, absent;
};
std::span<const IntegerSetting> integer_settings();
// The integer setting of that name, without regard to ASCII letter case, as
// the store compares names.
const IntegerSetting* find_integer_setting(std::u16string_view name);

// The value names of the two prefix lists of a dictionary: "#1 Prefix list-"
// and "#2 Prefix list-" followed by the last 11 characters of the path;
// nothing for a path of 10 characters or fewer.
std::optional<std::u16string> prefix_list_value_name(int n, const DictionaryPath& path);

// Reads the settings from the store and writes them back, and nothing more:
// what the program does with them (asking for a dictionary, showing them)
// is the application's.
class SettingsKeeper {
 public:
  struct Services {
    KeyValueStore& store;
    Settings& settings;
    // Where a dictionary whose own prefix lists are read is reported when it
    // cannot be.
    DictionaryErrorSink& errors;
  };
  explicit SettingsKeeper(Services services) : s_(services) {}

  // Reads every setting but the prefix lists. `dictionary`, when given,
  // takes the place of the stored dictionary.
  void load_settings(const std::optional<std::string>& dictionary = std::nullopt);
  void save_settings();
  void load_prefix_lists();
  void save_prefix_lists();
  const Settings& settings() const { return s_.settings; }
  // Prefix list n (1 or 2); empty for any other n.
  const std::u16string& get_prefix_list(int n) const;
  // The dictionary's own list n, as it is stored in the file; nothing (and
  // an error reported) when the file cannot be read.
  std::optional<std::u16string> dictionary_prefix_list(int n) const;
  void set_prefix_list(int n, std::u16string_view text);

  // The moments at which settings are written.
  void select_language(int index);
  void toggle_invisible_listing();
  void toggle_history();
  // Load Dictionary, once the outgoing dictionary's lists are saved and the
  // user has chosen: the chosen file (none keeps the dictionary) and its
  // lists are taken, and the settings saved.
  void take_dictionary(std::optional<std::string> chosen);
  void confirm_search_options(std::u16string_view list1, std::u16string_view list2);
  void exit();

 private:
  Services s_;
};

}  // namespace lexvia
