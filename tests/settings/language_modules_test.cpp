#include "settings/language_modules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "dict/file_source.h"

namespace lexvia {
namespace {

namespace fs = std::filesystem;

// One distinct line per string, so that a shifted line shows up as a wrong id.
std::vector<std::string> numbered_strings() {
  std::vector<std::string> lines;
  for (int id = kFirstStringId; id <= kLastStringId; ++id)
    lines.push_back("text " + std::to_string(id));
  return lines;
}

std::string join(const std::string& name, const std::vector<std::string>& lines,
                 const std::string& separator) {
  std::string text = name;
  for (const std::string& line : lines) text += separator + line;
  return text + separator;
}

std::vector<std::u16string> table_texts(const StringTable& table) {
  std::vector<std::u16string> texts;
  for (int id = kFirstStringId; id <= kLastStringId; ++id)
    texts.push_back(table.interface_string(id));
  return texts;
}

std::vector<std::u16string> builtin_texts() {
  StringTable table;
  table.load_builtin();
  return table_texts(table);
}

// The %-placeholders of a text, in order.
std::u16string placeholders(const std::u16string& text) {
  std::u16string found;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == u'%') found.push_back(text[++i]);
  }
  return found;
}

class LanguageModules : public ::testing::Test {
 protected:
  LanguageModules() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("lexvia_modules_" + std::to_string(::getpid()) + "_" + info->name());
    fs::create_directories(dir_);
  }
  ~LanguageModules() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string write(const std::string& name, const std::string& bytes) const {
    const std::string path = folder() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string folder() const { return dir_.string(); }
  std::string default_help() const { return folder() + "/lexvi_e.htm#main"; }

  fs::path dir_;
};

TEST_F(LanguageModules, WithoutModulesOnlyEnglishAndTheDefaultHelp) {
  write("lexvi_e.htm", "<p>help</p>");
  write("lexvi_a.txt", "not a module\n");
  write("xlexvi_b.iu2", "not a module\n");
  fs::create_directory(dir_ / "lexvi_c.iu2");
  // Neither a FIFO nor a link to a device may hang the list or join it.
  ASSERT_EQ(::mkfifo((dir_ / "lexvi_f.iu2").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir_ / "lexvi_d.iu2").c_str()), 0);
  LanguageList list{{u"stale", "/old/lexvi_q.iu2"}};
  fill_language_list(list, folder());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, u"English");
  EXPECT_FALSE(list[0].path);

  StringTable table;
  table.set(40001, u"old");
  for (int index : {-1, 0, 1, 7}) {
    EXPECT_EQ(help_file_path(index, &list, folder()), default_help()) << index;
    load_interface_strings(index, &list, table);
    EXPECT_EQ(table_texts(table), builtin_texts()) << index;
  }
  EXPECT_EQ(help_file_path(0, nullptr, folder()), default_help());

  fill_language_list(list, folder() + "/missing");
  EXPECT_EQ(list.size(), 1u);
  clear_language_list(list);
  EXPECT_TRUE(list.empty());
}

TEST_F(LanguageModules, ModulesAreListedAfterEnglishWithTheirOwnHelpWhenItExists) {
  const std::string x = write("lexvi_x.iu2", "Deutsch\r\nWort:\r\n");
  const std::string upper = write("LEXVI_Y.IU2", "magyar\n");
  write("LEXVI_Y.htm", "<p>help</p>");  // the upper-case extension keeps the default help
  // A module that cannot be opened (the link points nowhere) is English in
  // every respect but its help.
  ASSERT_EQ(::symlink((dir_ / "nowhere.iu2").c_str(), (dir_ / "lexvi_z.iu2").c_str()), 0);
  write("lexvi_z.htm", "<p>help</p>");

  LanguageList list;
  fill_language_list(list, folder());
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].name, u"English");
  std::vector<std::pair<std::u16string, std::string>> modules;
  for (std::size_t i = 1; i < list.size(); ++i) modules.emplace_back(list[i].name, *list[i].path);
  std::sort(modules.begin(), modules.end());
  EXPECT_EQ(modules,
            (std::vector<std::pair<std::u16string, std::string>>{
                {u"Deutsch", x}, {u"English", folder() + "/lexvi_z.iu2"}, {u"magyar", upper}}));

  const auto index_of = [&](const std::string& path) {
    for (std::size_t i = 1; i < list.size(); ++i) {
      if (*list[i].path == path) return static_cast<int>(i);
    }
    return -1;
  };
  const int xi = index_of(x);
  const int zi = index_of(folder() + "/lexvi_z.iu2");
  EXPECT_EQ(help_file_path(xi, &list, folder()), default_help());
  write("lexvi_x.htm", "<p>Hilfe</p>");
  EXPECT_EQ(help_file_path(xi, &list, folder()), folder() + "/lexvi_x.htm#main");
  EXPECT_EQ(help_file_path(index_of(upper), &list, folder()), default_help());
  EXPECT_EQ(help_file_path(zi, &list, folder()), folder() + "/lexvi_z.htm#main");

  StringTable table;
  load_interface_strings(xi, &list, table);
  EXPECT_EQ(table.interface_string(40001), u"Wort:");
  load_interface_strings(zi, &list, table);
  EXPECT_EQ(table_texts(table), builtin_texts());
}

TEST_F(LanguageModules, AnyRunOfLineBreaksIsOneSeparator) {
  const std::vector<std::string> lines = numbered_strings();
  std::vector<std::u16string> expected;
  for (const std::string& line : lines) expected.emplace_back(line.begin(), line.end());

  for (const std::string separator : {"\n", "\r", "\r\n", "\n\n", "\r\n\r\n", "\n\r\r"}) {
    const std::string path = write("lexvi_t.iu2", join("Name", lines, separator));
    EXPECT_EQ(read_language_module_name(path), u"Name");
    StringTable table;
    read_language_module_strings(path, table);
    EXPECT_EQ(table_texts(table), expected) << "separator of " << separator.size() << " bytes";
  }
}

TEST_F(LanguageModules, LinesAreWidenedFromWindows1252AndAlineBreakPairIsSplit) {
  const std::string path = write("lexvi_t.iu2",
                                 "Fran\xE7"
                                 "ais\n\x80 \xF5\xFB\nx\n"
                                 "Selected Dictionary: %S-%S\\nContains %d expression pairs\n");
  EXPECT_EQ(read_language_module_name(path), u"Fran\u00E7ais");
  StringTable table;
  read_language_module_strings(path, table);
  EXPECT_EQ(table.interface_string(40001), u"\u20AC \u00F5\u00FB");
  EXPECT_EQ(table.interface_string(40002), u"x");
  const std::u16string shown = u"Selected Dictionary: %S-%S \nContains %d expression pairs";
  EXPECT_EQ(table.interface_string(40003), shown);
  EXPECT_EQ(table.interface_string(40003), shown) << "a second lookup";
  EXPECT_EQ(table.interface_string(40004), u"Extended Search") << "past the module's lines";
  EXPECT_EQ(table.interface_string(kFirstStringId - 1), u"");
  EXPECT_EQ(table.interface_string(kLastStringId + 1), u"");
}

TEST_F(LanguageModules, ShortModulesFallBackToEnglishAndReloadingChangesNothing) {
  StringTable table;
  // Another language's texts, or none after the strings were freed, are not
  // what a short module shows where it has no line.
  for (int id = kFirstStringId; id <= kLastStringId; ++id) table.set(id, u"other");
  read_language_module_strings(write("lexvi_n.iu2", "Only a name\r\n"), table);
  table.clear();
  read_language_module_strings(write("lexvi_m.iu2", "Only a name"), table);
  EXPECT_EQ(table_texts(table), builtin_texts());

  const std::string path = write("lexvi_s.iu2",
                                 "Kurz\nWort:\n\xDC"
                                 "bersetzen!\n");
  read_language_module_strings(path, table);
  std::vector<std::u16string> expected = builtin_texts();
  expected[0] = u"Wort:";
  expected[1] = u"\u00DCbersetzen!";
  EXPECT_EQ(table_texts(table), expected);
  read_language_module_strings(path, table);
  EXPECT_EQ(table_texts(table), expected);

  table.clear();
  EXPECT_EQ(table.interface_string(40001), u"");
}

TEST_F(LanguageModules, LinesLongerThanTheReaderWindowAreCut) {
  const std::string long_line(5000, 'a');
  const std::string path = write("lexvi_l.iu2", long_line + "\n" + long_line + "b\nnext\n");
  EXPECT_EQ(read_language_module_name(path), std::u16string(2048, u'a'));
  StringTable table;
  read_language_module_strings(path, table);
  EXPECT_EQ(table.interface_string(40001), std::u16string(2048, u'a'));
  EXPECT_EQ(table.interface_string(40002), u"next") << "the rest of a cut line is dropped";
}

// Scanning a file of gigabytes for line ends would stall every start.
TEST_F(LanguageModules, AFileFarLargerThanAModuleIsNone) {
  const std::string path = write("lexvi_b.iu2", "Big\nWort:\n");
  fs::resize_file(path, std::uintmax_t{2} << 30);  // sparse
  EXPECT_EQ(read_language_module_name(path), u"English");
  StringTable table;
  read_language_module_strings(path, table);
  EXPECT_EQ(table_texts(table), builtin_texts());
}

TEST(ShippedModules, TranslateEveryStringAndKeepThePlaceholders) {
  const std::string dir = std::string(LEXVIA_SOURCE_DIR) + "/resources/";
  const std::vector<std::u16string> english = builtin_texts();
  for (const auto& [file, name] :
       {std::pair{"lexvi_hu.iu2", u"magyar"}, std::pair{"lexvi_de.iu2", u"Deutsch"}}) {
    SCOPED_TRACE(file);
    const auto bytes = read_whole_file(dir + file);
    ASSERT_TRUE(bytes);
    int lines = 0;
    for (std::size_t i = 0; i < bytes->size(); ++i) {
      const bool is_break = (*bytes)[i] == '\r' || (*bytes)[i] == '\n';
      if (!is_break && (i == 0 || (*bytes)[i - 1] == '\r' || (*bytes)[i - 1] == '\n')) ++lines;
    }
    EXPECT_EQ(lines, kStringCount + 1);
    EXPECT_EQ(read_language_module_name(dir + file), name);
    StringTable table;
    read_language_module_strings(dir + file, table);
    for (int id = kFirstStringId; id <= kLastStringId; ++id) {
      const std::u16string text = table.interface_string(id);
      const std::u16string& original = english[static_cast<std::size_t>(id - kFirstStringId)];
      EXPECT_FALSE(text.empty()) << id;
      EXPECT_EQ(placeholders(text), placeholders(original)) << id;
      EXPECT_EQ(text.find(u'\n') != std::u16string::npos,
                original.find(u'\n') != std::u16string::npos)
          << id;
    }
    EXPECT_EQ(table.text(StringId::kUnused), u"-");
  }
  for (const char* help : {"lexvi_e.htm", "lexvi_hu.htm", "lexvi_de.htm"}) {
    const auto bytes = read_whole_file(dir + help);
    ASSERT_TRUE(bytes) << help;
    EXPECT_NE(std::string(bytes->begin(), bytes->end()).find("id=\"main\""), std::string::npos)
        << help;
  }
}

TEST(FindDataFolder, TheEnvironmentWinsThenTheFirstExistingCandidate) {
  const std::string tmp = fs::temp_directory_path().string();
  EXPECT_EQ(find_data_folder("/from/env", {tmp}), "/from/env");
  EXPECT_EQ(find_data_folder("", {"/no/such/folder", tmp}), tmp);
  EXPECT_EQ(find_data_folder(nullptr, {"/no/such/a", "/no/such/b"}), "/no/such/a");
}

}  // namespace
}  // namespace lexvia
