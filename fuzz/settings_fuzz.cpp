// Any bytes as settings.db: the store reads them or says why it cannot, the
// settings loaded from them are all within the ranges the programs take,
// and what a save writes back is what the next start reads. A FIFO and a
// folder in the file's place are refused without blocking.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "fuzz_support.h"
#include "settings/settings.h"
#include "settings/sqlite_store.h"

namespace {

using namespace lexvia;

struct Quiet final : DictionaryErrorSink {
  void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
};

Settings load(KeyValueStore& store) {
  Settings settings;
  Quiet errors;
  SettingsKeeper keeper({store, settings, errors});
  keeper.load_settings();
  keeper.load_prefix_lists();
  return settings;
}

void save(KeyValueStore& store, Settings settings) {
  Quiet errors;
  SettingsKeeper({store, settings, errors}).save_settings();
}

void check_ranges(const Settings& s) {
  const std::int32_t values[] = {s.language_index,
                                 static_cast<std::int32_t>(s.direction),
                                 static_cast<std::int32_t>(s.search_method),
                                 s.quick_translate_on,
                                 s.quick_translate_button,
                                 s.invisible_listing};
  const char16_t* names[] = {u"UI",             u"Language From",        u"Search Method",
                             u"QuickTranslate", u"QuickTranslateButton", u"Invisible Listing"};
  for (int i = 0; i < 6; ++i) {
    const IntegerSetting* setting = find_integer_setting(names[i]);
    if (setting == nullptr || values[i] < setting->lowest || values[i] > setting->highest) {
      std::abort();
    }
  }
}

bool same(const Settings& a, const Settings& b) {
  return a.direction == b.direction && a.search_method == b.search_method &&
         a.quick_translate_on == b.quick_translate_on &&
         a.quick_translate_button == b.quick_translate_button &&
         a.dictionary_path == b.dictionary_path && a.speech_library_path == b.speech_library_path &&
         a.language_index == b.language_index && a.invisible_listing == b.invisible_listing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool others = [] {
    const std::string fifo = fuzz::scratch_path("fifo.db");
    ::mkfifo(fifo.c_str(), 0600);
    std::filesystem::create_directories(fuzz::scratch_path("folder.db"));
    return true;
  }();
  (void)others;
  for (const char* name : {"fifo.db", "folder.db"}) {
    SqliteStore store(fuzz::scratch_path(name), SqliteStore::Access::kReadOnly);
    if (store.problem().empty() || store.open_key(kSettingsKey)) std::abort();
  }

  const std::string path = fuzz::scratch_path("settings.db");
  std::filesystem::remove(path + "-journal");
  fuzz::write_file(path, {reinterpret_cast<const char*>(data), size});
  Settings read;
  {
    SqliteStore reader(path, SqliteStore::Access::kReadOnly);
    read = load(reader);
    check_ranges(read);
    (void)reader.list_values(kSettingsKey);
  }
  SqliteStore writer(path);
  save(writer, read);
  if (!writer.problem().empty()) return 0;  // a damaged file may refuse the save
  SqliteStore again(path, SqliteStore::Access::kReadOnly);
  const Settings reread = load(again);
  if (again.problem().empty() && !same(read, reread)) std::abort();
  return 0;
}
