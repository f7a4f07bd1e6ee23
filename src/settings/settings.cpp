#include "settings/settings.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "dict/cp1252.h"

namespace lexvia {

namespace {

// Prefix lists are kept only for paths longer than this many UTF-16 units.
constexpr std::size_t kShortPath = 10;
constexpr std::size_t kSuffixUnits = 11;
// A path that starts with this mark counts as unset.
constexpr char16_t kUnsetMark = u'\uFEEE';

// Closes what it opened, on every way out.
class OpenKey {
 public:
  OpenKey(KeyValueStore& store, bool for_writing)
      : store_(store),
        open_(for_writing ? store.create_key(kSettingsKey) : store.open_key(kSettingsKey)) {}
  ~OpenKey() {
    if (open_) store_.close_key();
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  bool is_open() const { return open_; }

 private:
  KeyValueStore& store_;
  bool open_;
};

constexpr IntegerSetting kIntegerSettings[] = {
    {u"UI", 0, 829, 0},
    {u"Language From", 1, 2, 1},
    {u"Search Method", 0, 3, 1},
    {u"QuickTranslate", 0, 1, 0},
    {u"QuickTranslateButton", 0, 4, 0},
    {u"Invisible Listing", 0, 1, 1},
    {u"History", 0, 1, 1},
};

char16_t ascii_lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; }

// An integer setting, or its absent value when there is none. A value stored
// as a string, or out of range, reads as absent: it is no number the program
// ever wrote.
std::int32_t read_integer(KeyValueStore& store, const OpenKey& key, std::u16string_view name) {
  const IntegerSetting& setting = *find_integer_setting(name);
  if (!key.is_open()) return setting.absent;
  const auto value = store.query_value(std::u16string(name));
  if (!value || value->type != StoredValue::Type::kInteger || value->integer < setting.lowest ||
      value->integer > setting.highest) {
    return setting.absent;
  }
  return value->integer;
}

// A C string reads a stored text up to its first NUL.
std::u16string up_to_nul(std::u16string text) {
  if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  return text;
}

// A string value; nothing when absent or not a string.
std::optional<std::u16string> read_string(KeyValueStore& store, const OpenKey& key,
                                          const std::u16string& name) {
  if (!key.is_open()) return std::nullopt;
  auto value = store.query_value(name);
  if (!value || value->type != StoredValue::Type::kString) return std::nullopt;
  return up_to_nul(std::move(value->text));
}

// A stored file path that still names a file. A text of the bare NUL, one
// starting with the unset mark or naming a vanished file gives nothing.
std::optional<std::string> read_path(KeyValueStore& store, const OpenKey& key,
                                     const char16_t* name) {
  if (!key.is_open()) return std::nullopt;
  auto value = store.query_value(name);
  if (!value || value->type != StoredValue::Type::kString || value->size_bytes() <= 2) {
    return std::nullopt;
  }
  const std::u16string text = up_to_nul(std::move(value->text));
  if (text.empty() || text[0] == kUnsetMark) return std::nullopt;
  std::string path = utf16_to_bytes(text);
  if (!store.file_exists(path)) return std::nullopt;
  return path;
}

StoredValue path_value(const std::optional<std::string>& path) {
  return StoredValue::of(path ? bytes_to_utf16(*path) : std::u16string());
}

}  // namespace

std::span<const IntegerSetting> integer_settings() { return kIntegerSettings; }

const IntegerSetting* find_integer_setting(std::u16string_view name) {
  for (const IntegerSetting& setting : kIntegerSettings) {
    if (setting.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), setting.name.begin(),
                   [](char16_t a, char16_t b) { return ascii_lower(a) == ascii_lower(b); })) {
      return &setting;
    }
  }
  return nullptr;
}

std::optional<std::u16string> prefix_list_value_name(int n, const DictionaryPath& path) {
  if ((n != 1 && n != 2) || !path) return std::nullopt;
  const std::u16string wide = bytes_to_utf16(*path);
  if (wide.size() <= kShortPath) return std::nullopt;
  std::u16string name = n == 1 ? u"#1 Prefix list-" : u"#2 Prefix list-";
  return name + wide.substr(wide.size() - kSuffixUnits);
}

void SettingsKeeper::load_settings(const std::optional<std::string>& dictionary) {
  Settings& s = s_.settings;
  const OpenKey key(s_.store, false);
  s.language_index = read_integer(s_.store, key, u"UI");
  s.direction = static_cast<Direction>(read_integer(s_.store, key, u"Language From"));
  s.search_method = static_cast<SearchMethod>(read_integer(s_.store, key, u"Search Method"));
  s.quick_translate_on = read_integer(s_.store, key, u"QuickTranslate") != 0;
  s.quick_translate_button = read_integer(s_.store, key, u"QuickTranslateButton");
  s.dictionary_path = dictionary ? dictionary : read_path(s_.store, key, u"Dictionary");
  s.speech_library_path = read_path(s_.store, key, u"Speech Library");
  s.invisible_listing = read_integer(s_.store, key, u"Invisible Listing") != 0;
  s.history_on = read_integer(s_.store, key, u"History") != 0;
}

void SettingsKeeper::save_settings() {
  const Settings& s = s_.settings;
  {
    const OpenKey key(s_.store, true);
    if (!key.is_open()) return;
    s_.store.set_value(u"Language From", StoredValue::of(static_cast<std::int32_t>(s.direction)));
    s_.store.set_value(u"Search Method",
                       StoredValue::of(static_cast<std::int32_t>(s.search_method)));
    s_.store.set_value(u"QuickTranslate", StoredValue::of(s.quick_translate_on ? 1 : 0));
    s_.store.set_value(u"QuickTranslateButton", StoredValue::of(s.quick_translate_button));
    s_.store.set_value(u"Dictionary", path_value(s.dictionary_path));
    s_.store.set_value(u"Speech Library", path_value(s.speech_library_path));
    s_.store.set_value(u"UI", StoredValue::of(s.language_index));
    s_.store.set_value(u"Invisible Listing", StoredValue::of(s.invisible_listing ? 1 : 0));
    s_.store.set_value(u"History", StoredValue::of(s.history_on ? 1 : 0));
  }
  save_prefix_lists();
}

void SettingsKeeper::load_prefix_lists() {
  const OpenKey key(s_.store, false);
  const DictionaryPath& path = s_.settings.dictionary_path;
  for (int n = 1; n <= 2; ++n) {
    const auto name = prefix_list_value_name(n, path);
    if (!name) return;
    auto text = read_string(s_.store, key, *name);
    // An emptied list falls back to the dictionary's own.
    if (!text || text->empty()) text = dictionary_prefix_list(n);
    if (text) set_prefix_list(n, *text);
  }
}

void SettingsKeeper::save_prefix_lists() {
  const OpenKey key(s_.store, true);
  if (!key.is_open()) return;
  for (int n = 1; n <= 2; ++n) {
    const auto name = prefix_list_value_name(n, s_.settings.dictionary_path);
    if (!name) return;
    s_.store.set_value(*name, StoredValue::of(s_.settings.prefix_list[n - 1]));
  }
}

std::optional<std::u16string> SettingsKeeper::dictionary_prefix_list(int n) const {
  return read_default_prefix_list({s_.settings.dictionary_path, s_.errors}, n);
}

const std::u16string& SettingsKeeper::get_prefix_list(int n) const {
  static const std::u16string kNone;
  return n == 1 || n == 2 ? s_.settings.prefix_list[n - 1] : kNone;
}

void SettingsKeeper::set_prefix_list(int n, std::u16string_view text) {
  if (n == 1 || n == 2) s_.settings.prefix_list[n - 1] = std::u16string(text);
}

void SettingsKeeper::select_language(int index) {
  s_.settings.language_index = index;
  save_settings();
}

void SettingsKeeper::toggle_invisible_listing() {
  s_.settings.invisible_listing = !s_.settings.invisible_listing;
  save_settings();
}

void SettingsKeeper::toggle_history() {
  s_.settings.history_on = !s_.settings.history_on;
  save_settings();
}

void SettingsKeeper::take_dictionary(std::optional<std::string> chosen) {
  if (chosen) s_.settings.dictionary_path = std::move(chosen);
  load_prefix_lists();
  save_settings();
}

void SettingsKeeper::confirm_search_options(std::u16string_view list1, std::u16string_view list2) {
  set_prefix_list(1, list1);
  set_prefix_list(2, list2);
  save_prefix_lists();
}

void SettingsKeeper::exit() { save_settings(); }

}  // namespace lexvia
