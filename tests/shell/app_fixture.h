// The application over a recording platform, with settings in memory and a
// real dictionary compiled per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

#include "dict/cp1252.h"
#include "search/search_fixture.h"
#include "shell/application.h"
#include "shell/fake_platform.h"

namespace lexvia {
inline void PrintTo(const StoredValue& v, std::ostream* os) {
  if (v.type == StoredValue::Type::kInteger) {
    *os << v.integer;
  } else {
    *os << '"' << testing::to_utf8(v.text) << '"';
  }
}
}  // namespace lexvia

namespace lexvia::testing {

namespace fs = std::filesystem;

inline const Line kReady{"Ready", 0};

class ApplicationTest : public ::testing::Test {
 protected:
  ApplicationTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("lexvia_app_" + std::to_string(::getpid()) + "_" +
                                        info->test_suite_name() + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "data");
    dictionary_ = write_dictionary("en-de.dic", "en", "de");
    remember_dictionary(dictionary_);
  }
  ~ApplicationTest() override {
    app_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string write_dictionary(const std::string& name, const char* code1, const char* code2) {
    CompileOptions options;
    options.language1 = code1;
    options.language2 = code2;
    options.prefixes1 = ",to ";
    const std::string path = (dir_ / name).string();
    const auto error = write_file_atomically(
        path,
        compile_or_fail({{"house", "Haus"}, {"house-boat", "Hausboot"}, {"dog", "Hund"}}, options));
    EXPECT_FALSE(error) << *error;
    return path;
  }
  void remember_dictionary(const std::string& path) {
    store_.keys[kSettingsKey][u"Dictionary"] = StoredValue::of(utf8_to_utf16(path));
    store_.files[path] = true;
  }
  // Every text marked with its id, so that a text left in English shows.
  void write_module() {
    std::ofstream out(dir_ / "data" / "lexvi_xx.iu2", std::ios::binary);
    out << "Testish\r\n";
    for (int id = kFirstStringId; id <= kLastStringId; ++id) out << "xx " << id << "\r\n";
  }
  std::string data_folder() const { return (dir_ / "data").string(); }

  Application& start() {
    app_.reset();
    app_ = std::make_unique<Application>(platform_, store_, data_folder(), history_);
    app_->start();
    return *app_;
  }
  // A fresh window and run over the same store.
  Application& restart() {
    app_.reset();
    platform_ = FakePlatform();
    return start();
  }

  void type(std::u16string_view query) { platform_.texts[Control::kQueryBox] = query; }
  std::vector<Line> lines() const {
    std::vector<Line> out;
    for (const auto& row : platform_.list.rows) out.push_back({to_utf8(row.text), row.data});
    return out;
  }
  // The browse dialog's page, and the page after a command.
  std::vector<Line> page() const {
    std::vector<Line> out;
    if (!platform_.browse) return out;
    for (const auto& row : platform_.browse->rows.rows) out.push_back({to_utf8(row.text), row.data});
    return out;
  }
  std::vector<Line> page_of(int id) {
    app_->command(id);
    return page();
  }
  // Only the new lines, so that each case reads apart from what came before.
  std::vector<Line> lines_of(int id) {
    const std::size_t before = platform_.list.rows.size();
    app_->command(id);
    auto all = lines();
    all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())));
    return all;
  }
  std::optional<StoredValue> stored(const std::u16string& name) {
    auto& values = store_.keys[kSettingsKey];
    const auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional(it->second);
  }
  std::u16string prefix_value_name(int n, const std::string& path) {
    return prefix_list_value_name(n, DictionaryPath(path)).value_or(u"?");
  }
  FakeMenu prepared(MenuKind kind) {
    FakeMenu menu = kind == MenuKind::kDict ? FakeMenu::dict_menu() : FakeMenu::search_menu();
    app_->prepare_menu(kind, menu);
    return menu;
  }

  fs::path dir_;
  std::string dictionary_;
  MemoryStore store_;
  FakePlatform platform_;
  LookupHistory* history_ = nullptr;  // none: the command-line tool's way
  std::unique_ptr<Application> app_;
};

}  // namespace lexvia::testing
