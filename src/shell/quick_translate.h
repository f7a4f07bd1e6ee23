// Quick Translate: while it is on, the tray icon shows and the chosen
// hardware button's entry in the shell's button table names this program, so
// that pressing it starts the program a second time, which wakes this copy;
// the entry it held before is put back afterwards. The button table lives in
// the settings store, under the keys the handheld's shell used.
#pragma once

#include <optional>
#include <string>

#include "settings/key_value_store.h"
#include "shell/platform.h"

namespace lexvia {

inline constexpr char16_t kButtonKeys[] = u"Software\\Microsoft\\Shell\\Keys\\";

// The key name of a button: "40C1" to "40C4"; empty for any other number.
std::u16string button_key_name(int button);

class QuickTranslate {
 public:
  QuickTranslate(Platform& platform, KeyValueStore& store, std::u16string program)
      : platform_(platform), store_(store), program_(std::move(program)) {}

  // Icon and button in line with the settings: on shows the icon (with the
  // tip as it is now) and points the button at the program; off removes the
  // icon and gives the button back.
  void apply(bool on, int button, std::u16string_view tip);
  void add_tray_icon(std::u16string_view tip);
  void remove_tray_icon();
  void remap_button(const std::u16string& key_name);
  void restore_button();

  bool icon_added() const { return icon_added_; }
  bool button_remapped() const { return button_remapped_; }
  // True once the platform said it has no tray, so that it is said once.
  bool tray_missing() const { return tray_missing_; }

 private:
  Platform& platform_;
  KeyValueStore& store_;
  std::u16string program_;  // the executable's full path
  bool icon_added_ = false;
  bool tray_missing_ = false;
  bool button_remapped_ = false;
  std::u16string key_path_;
  std::optional<std::u16string> saved_value_;
};

}  // namespace lexvia
