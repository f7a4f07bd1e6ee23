// The user's choices between runs: read once at start-up, held in memory,
// written back at a few fixed moments. Each dictionary file has two prefix
// lists of its own; without stored ones the dictionary's own lists serve.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dict/dictionary_info.h"
#include "settings/interface_strings.h"
#include "settings/key_value_store.h"

namespace lexvia {

struct Settings {
  std::int32_t direction = 1;
  std::int32_t search_method = 1;
  std::int32_t quick_translate_on = 0;
  std::int32_t quick_translate_button = 0;
  DictionaryPath dictionary_path;                    // UTF-8
  std::optional<std::string> speech_library_path;    // UTF-8
  std::int32_t language_index = 0;
  std::int32_t invisible_listing = 1;
  std::u16string prefix_list[2];
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

// The steps of start-up and of the commands that belong to the desktop
// program. Every step does nothing by default.
class SettingsShell {
 public:
  virtual ~SettingsShell() = default;
  enum class FileKind { kDictionary, kSpeechLibrary };
  // The platform file chooser; nothing when cancelled.
  virtual std::optional<std::string> choose_file(FileKind, const std::u16string& title) {
    (void)title;
    return std::nullopt;
  }
  virtual void layout() {}
  virtual void refresh() {}
  virtual void refocus_query() {}
};

// The value names of the two prefix lists of a dictionary: "#1 Prefix list-"
// and "#2 Prefix list-" followed by the last 11 characters of the path;
// nothing for a path of 10 characters or fewer.
std::optional<std::u16string> prefix_list_value_name(int n, const DictionaryPath& path);

// How a program starts from the stored settings.
struct LoadOptions {
  // Takes the place of the stored dictionary.
  std::optional<std::string> dictionary;
  // When no dictionary is given or stored: the desktop program asks for one;
  // the command-line tool takes its bundled one.
  bool ask_for_dictionary = true;
  std::optional<std::string> fallback_dictionary;
  // The command-line tool reads the prefix lists only when a lookup needs
  // them, and shows no direction labels.
  bool prefix_lists = true;
  bool direction_labels = true;
};

class SettingsKeeper {
 public:
  struct Services {
    KeyValueStore& store;
    Settings& settings;
    // Loads the interface strings of a language index.
    std::function<void(int)> load_interface_strings;
    DirectionLabels& labels;
    DictionaryErrorSink& errors;
    const InterfaceStrings& strings;
    SettingsShell& shell;
  };
  explicit SettingsKeeper(Services services) : s_(std::move(services)) {}

  void load_settings(const LoadOptions& options = {});
  void save_settings();
  void load_prefix_lists();
  void save_prefix_lists();
  // Prefix list n (1 or 2); empty for any other n.
  const std::u16string& get_prefix_list(int n) const;
  void set_prefix_list(int n, std::u16string_view text);

  // The moments at which settings are written.
  void select_language(int index);
  void toggle_invisible_listing();
  void load_dictionary();
  void confirm_search_options(std::u16string_view list1, std::u16string_view list2);
  void exit();

 private:
  Services s_;
};

}  // namespace lexvia
