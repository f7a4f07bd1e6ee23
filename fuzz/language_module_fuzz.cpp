// Any bytes as an interface language module: the name and the strings are
// read within bounds, every string can be looked up, and no line is longer
// than the reader's window. Beside it lie modules that are no files (a FIFO,
// a folder, a link to /dev/zero): they are left out of the list, and nothing
// blocks or reads without end.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "fuzz_support.h"
#include "settings/language_modules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  static const bool others = [] {
    ::mkfifo(fuzz::scratch_path("lexvi_p.iu2").c_str(), 0600);
    std::filesystem::create_directories(fuzz::scratch_path("lexvi_d.iu2"));
    (void)::symlink("/dev/zero", fuzz::scratch_path("lexvi_z.iu2").c_str());
    return true;
  }();
  (void)others;
  const std::string path = fuzz::scratch_path("lexvi_f.iu2");
  fuzz::write_file(path, {reinterpret_cast<const char*>(data), size});
  if (read_language_module_name(path).size() > 2048) std::abort();
  StringTable table;
  table.load_builtin();
  read_language_module_strings(path, table);
  for (int id = kFirstStringId; id <= kLastStringId; ++id) {
    const std::u16string text = table.interface_string(id);
    if (text.size() > 2048 || text != table.interface_string(id)) std::abort();
  }
  LanguageList list;
  fill_language_list(list, std::filesystem::path(path).parent_path().string());
  if (list.size() != 2) std::abort();  // English and lexvi_f.iu2 alone
  for (int index = -1; index <= static_cast<int>(list.size()); ++index) {
    load_interface_strings(index, &list, table);
    (void)help_file_path(index, &list, "/nonexistent");
  }
  return 0;
}
