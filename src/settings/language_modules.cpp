#include "settings/language_modules.h"

#include <dirent.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "dict/cp1252.h"
#include "dict/file_source.h"
#include "dict/windowed_reader.h"

namespace lexvia {

namespace {

constexpr std::u16string_view kEnglishName = u"English";
constexpr std::string_view kModulePrefix = "lexvi_";
constexpr std::string_view kModuleExtension = ".iu2";

bool is_string_id(int id) { return id >= kFirstStringId && id <= kLastStringId; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ascii_lower(x) == ascii_lower(y);
         });
}

// `lexvi_*.iu2`, where the star may also match nothing.
bool is_module_name(std::string_view name) {
  return name.size() >= kModulePrefix.size() + kModuleExtension.size() &&
         equal_ignoring_case(name.substr(0, kModulePrefix.size()), kModulePrefix) &&
         equal_ignoring_case(name.substr(name.size() - kModuleExtension.size()), kModuleExtension);
}

std::string join_path(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// A module holds 54 short lines; a file far larger is no module, and
// scanning it for line ends would stall every start.
constexpr std::int64_t kLargestModule = 1 << 20;

std::unique_ptr<PosixFile> open_module(const std::optional<std::string>& path) {
  std::unique_ptr<PosixFile> file = path ? PosixFile::open(*path) : nullptr;
  if (file && (file->size() < 0 || file->size() > kLargestModule)) file.reset();
  return file;
}

bool path_exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// The line of `length` bytes at `offset`, widened from Windows-1252. A line
// longer than the reader's window is cut at the window: the reader only
// promises that many bytes at once, and no interface text comes near it. A NUL
// byte ends the text, as it would for any C-string consumer of the module.
std::u16string read_line(WindowedReader& reader, std::uint64_t offset, std::uint32_t length) {
  length = std::min(length, WindowedReader::kDefaultWindow);
  const std::uint8_t* bytes = reader.pointer_at(offset);
  if (bytes == nullptr) return {};
  std::string_view text(reinterpret_cast<const char*>(bytes), length);
  text = text.substr(0, text.find('\0'));
  return cp1252_to_utf16(text);
}

}  // namespace

std::u16string_view StringTable::view(int id) const {
  if (!is_string_id(id)) return {};
  const std::optional<std::u16string>& slot = slots_[static_cast<std::size_t>(id - kFirstStringId)];
  return slot ? std::u16string_view(*slot) : std::u16string_view();
}

void StringTable::load_builtin() {
  const BuiltinStrings builtin;
  for (int id = kFirstStringId; id <= kLastStringId; ++id) set(id, builtin.interface_string(id));
}

void StringTable::set(int id, std::u16string text) {
  if (!is_string_id(id)) return;
  // A module writes a line break as a backslash and an n; it is turned into
  // one once, here, rather than at every read (every lookup reads strings).
  for (std::size_t at = text.find(u"\\n"); at != std::u16string::npos;
       at = text.find(u"\\n", at + 2)) {
    text[at] = u' ';
    text[at + 1] = u'\n';
  }
  slots_[static_cast<std::size_t>(id - kFirstStringId)] = std::move(text);
}

void StringTable::clear() {
  for (auto& slot : slots_) slot.reset();
}

void fill_language_list(LanguageList& list, const std::string& data_folder) {
  clear_language_list(list);
  list.push_back({read_language_module_name(std::nullopt), std::nullopt});
  // Directory order, not sorted: the language index stored in the settings
  // refers to a position in this list.
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(data_folder.c_str()), closedir);
  if (!folder) return;
  while (const dirent* entry = readdir(folder.get())) {
    if (!is_module_name(entry->d_name)) continue;
    std::string path = join_path(data_folder, entry->d_name);
    // A directory, FIFO or device (or a link to one) is no module: it must
    // neither hang the list nor appear in it. A name that leads nowhere is
    // listed, as a module that cannot be opened is.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) continue;
    std::u16string name = read_language_module_name(path);
    list.push_back({std::move(name), std::move(path)});
  }
}

void clear_language_list(LanguageList& list) { list.clear(); }

std::u16string read_language_module_name(const std::optional<std::string>& path) {
  std::unique_ptr<PosixFile> file = open_module(path);
  if (!file) return std::u16string(kEnglishName);
  WindowedReader reader(file.get());
  return read_line(reader, 0, reader.line_length(0));
}

void read_language_module_strings(const std::optional<std::string>& path, StringTable& table) {
  std::unique_ptr<PosixFile> file = open_module(path);
  if (!file) {
    table.load_builtin();
    return;
  }
  WindowedReader reader(file.get());
  // A text the module lacks is the built-in English one: kept from the
  // previous language, or left empty after the strings were freed, it would
  // show another language's words or none ("Error  (/path)" without its
  // number).
  table.load_builtin();
  std::int64_t position = reader.next_line(0);
  for (int id = kFirstStringId; position != -1 && id <= kLastStringId; ++id) {
    const auto offset = static_cast<std::uint64_t>(position);
    table.set(id, read_line(reader, offset, reader.line_length(offset)));
    position = reader.next_line(offset);
  }
}

namespace {

const std::string* module_path(int index, const LanguageList* list) {
  if (index < 0 || list == nullptr || static_cast<std::size_t>(index) >= list->size()) {
    return nullptr;
  }
  const std::optional<std::string>& path = (*list)[static_cast<std::size_t>(index)].path;
  return path ? &*path : nullptr;
}

}  // namespace

void load_interface_strings(int index, const LanguageList* list, StringTable& table) {
  if (const std::string* path = module_path(index, list)) {
    read_language_module_strings(*path, table);
  } else {
    table.load_builtin();
  }
}

std::string help_file_path(int index, const LanguageList* list, const std::string& data_folder) {
  if (const std::string* path = module_path(index, list)) {
    // Only the lower-case extension is replaced; a module named otherwise
    // gets the default help rather than a guess at its help file's name.
    const std::size_t extension = path->find(kModuleExtension);
    if (extension != std::string::npos) {
      std::string candidate = path->substr(0, extension) + ".htm";
      if (path_exists(candidate)) return candidate + "#main";
    }
  }
  return join_path(data_folder, "lexvi_e.htm") + "#main";
}

std::string find_data_folder(const char* environment_value,
                             const std::vector<std::string>& candidates) {
  if (environment_value != nullptr && *environment_value != '\0') return environment_value;
  for (const std::string& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_directory(candidate, error)) return candidate;
  }
  // None is installed: the preferred place still names where modules and help
  // would be looked for.
  return candidates.empty() ? std::string() : candidates.front();
}

}  // namespace lexvia
