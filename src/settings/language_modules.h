// Interface language modules: plain 8-bit text files `lexvi_*.iu2` in the
// data folder, a language name on the first line and the 54 interface
// strings on the next, which replace the built-in English ones. Also the
// language list and the help file of each language.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/interface_strings.h"

namespace lexvia {

inline constexpr int kStringCount = kLastStringId - kFirstStringId + 1;  // 54
// Only the first ten languages of the list can be chosen from the menu.
inline constexpr int kSelectableLanguages = 10;

// The interface strings in use: built-in English or a module's.
class StringTable final : public InterfaceStrings {
 public:
  // The slot's text; the empty text for an empty slot or an id outside the
  // table.
  using InterfaceStrings::view;
  std::u16string_view view(int id) const override;

  void load_builtin();
  // Sets slot id - 40001, with every "\n" pair turned into a space and a
  // line feed.
  void set(int id, std::u16string text);
  // `free_interface_strings`: empties every slot.
  void clear();

 private:
  std::array<std::optional<std::u16string>, kStringCount> slots_;  // "\n" rule applied
};

struct LanguageEntry {
  std::u16string name;
  std::optional<std::string> path;  // nothing for the built-in English
};
using LanguageList = std::vector<LanguageEntry>;

// English first, then every `lexvi_*.iu2` of the data folder (matched without
// regard to letter case), in the order the directory lists them.
void fill_language_list(LanguageList& list, const std::string& data_folder);
void clear_language_list(LanguageList& list);

// Name mode: the module's first line, or "English" without a path or when
// the file cannot be opened.
std::u16string read_language_module_name(const std::optional<std::string>& path);
// Strings mode: the module's lines 2 to 37 into the table's slots (the
// built-in English text for each line it lacks), or the built-in English
// without a path or when the file cannot be opened.
void read_language_module_strings(const std::optional<std::string>& path, StringTable& table);

// The strings of the language at `index` (-1, an index beyond the list or an
// entry without a module give the built-in English).
void load_interface_strings(int index, const LanguageList* list, StringTable& table);

// The help file of the language with its anchor: the module's own `.htm` when
// it exists, else the data folder's `lexvi_e.htm`, followed by "#main".
std::string help_file_path(int index, const LanguageList* list, const std::string& data_folder);

// The folder of modules, help files and bundled dictionaries: $LEXVIA_DATA_DIR
// when set (pass its value), else the first of the candidates that exists.
std::string find_data_folder(const char* environment_value,
                             const std::vector<std::string>& candidates);

}  // namespace lexvia
