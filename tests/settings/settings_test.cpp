#include "settings/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dict/cp1252.h"
#include "settings/dictionary_texts.h"
#include "tools/compile_helpers.h"

namespace lexvia {
namespace {

using Log = std::vector<std::string>;

std::string utf8(const std::u16string& text) { return utf16_to_utf8(text); }

// A memory store that logs every operation, so that tests see the order of
// reads and writes.
class LoggingStore final : public KeyValueStore {
 public:
  explicit LoggingStore(Log& log) : log_(log) {}
  bool open_key(const std::u16string& key) override {
    const bool ok = memory.open_key(key);
    log_.push_back(ok ? "open" : "open failed");
    return ok;
  }
  bool create_key(const std::u16string& key) override {
    const bool ok = memory.create_key(key);
    log_.push_back(ok ? "create" : "create failed");
    return ok;
  }
  std::optional<StoredValue> query_value(const std::u16string& name) override {
    log_.push_back("query " + utf8(name));
    return memory.query_value(name);
  }
  bool set_value(const std::u16string& name, const StoredValue& value) override {
    log_.push_back("set " + utf8(name));
    return memory.set_value(name, value);
  }
  void close_key() override {
    log_.push_back("close");
    memory.close_key();
  }
  bool file_exists(const std::string& path) override { return memory.file_exists(path); }

  MemoryStore memory;

 private:
  Log& log_;
};

class RecordingSink final : public LineSink {
 public:
  void append_line(std::u16string_view text, ColourCode) override {
    lines.push_back(utf8(std::u16string(text)));
  }
  std::vector<std::string> lines;
};

const Log kSaveSettings = {"create",
                           "set Language From",
                           "set Search Method",
                           "set QuickTranslate",
                           "set QuickTranslateButton",
                           "set Dictionary",
                           "set Speech Library",
                           "set UI",
                           "set Invisible Listing",
                           "set History",
                           "close"};

class SettingsKeeperTest : public ::testing::Test {
 protected:
  SettingsKeeperTest() {
    dir_ = std::filesystem::temp_directory_path() /
           ("lexvia-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    en_de_ = dictionary("en-de.dic", "en", "de", ",to ", "der,die");
  }
  ~SettingsKeeperTest() override { std::filesystem::remove_all(dir_); }

  // A real dictionary file, also known to the store as existing.
  std::string dictionary(const std::string& name, const std::string& code1,
                         const std::string& code2, const std::string& prefixes1,
                         const std::string& prefixes2) {
    CompileOptions options;
    options.language1 = code1;
    options.language2 = code2;
    options.prefixes1 = prefixes1;
    options.prefixes2 = prefixes2;
    const std::string path = (dir_ / name).string();
    EXPECT_FALSE(write_file_atomically(path, testing::compile_or_fail({{"a", "b"}}, options)));
    store_.memory.files[path] = true;
    return path;
  }

  std::map<std::u16string, StoredValue>& stored() { return store_.memory.keys[kSettingsKey]; }
  std::u16string list_name(int n, const std::string& path) {
    return prefix_list_value_name(n, path).value();
  }

  std::filesystem::path dir_;
  std::string en_de_;
  Log log_;
  LoggingStore store_{log_};
  Settings settings_;
  RecordingSink lines_;
  BuiltinStrings strings_;
  ErrorLines errors_{lines_, strings_};
  SettingsKeeper keeper_{{store_, settings_, errors_}};
};

TEST_F(SettingsKeeperTest, AnEmptyStoreGivesTheDefaultsAndAGivenDictionaryItsOwnLists) {
  settings_ = {Direction::kFrom2, SearchMethod::kFull, true, 7, "x", "y", 7, false, {u"p", u"q"}};
  keeper_.load_settings();
  keeper_.load_prefix_lists();
  EXPECT_EQ(log_, (Log{"open failed", "open failed"}));
  EXPECT_EQ(settings_.direction, Direction::kFrom1);
  EXPECT_EQ(settings_.search_method, SearchMethod::kExtended);
  EXPECT_FALSE(settings_.quick_translate_on);
  EXPECT_EQ(settings_.quick_translate_button, 0);
  EXPECT_EQ(settings_.dictionary_path, std::nullopt);
  EXPECT_EQ(settings_.speech_library_path, std::nullopt);
  EXPECT_EQ(settings_.language_index, 0);
  EXPECT_TRUE(settings_.invisible_listing);
  EXPECT_TRUE(lines_.lines.empty());
  EXPECT_TRUE(store_.memory.keys.empty());

  // A dictionary given at start-up brings its own prefix lists.
  keeper_.load_settings(en_de_);
  keeper_.load_prefix_lists();
  EXPECT_EQ(settings_.dictionary_path, en_de_);
  EXPECT_EQ(keeper_.get_prefix_list(1), u",to ");
  EXPECT_EQ(keeper_.get_prefix_list(2), u"der,die");
}

TEST_F(SettingsKeeperTest, StoredValuesAreReadInOrder) {
  stored() = {{u"UI", StoredValue::of(2)},
              {u"Language From", StoredValue::of(2)},
              {u"Search Method", StoredValue::of(u"3")},  // not an integer: absent
              {u"QuickTranslate", StoredValue::of(1)},
              {u"QuickTranslateButton", StoredValue::of(4)},
              {u"Dictionary", StoredValue::of(utf8_to_utf16(en_de_))},
              {u"Speech Library", StoredValue::of(u"/gone/speech.so")},
              {u"Invisible Listing", StoredValue::of(0)},
              {list_name(1, en_de_), StoredValue::of(u"to ")},
              {list_name(2, en_de_), StoredValue::of(u"")}};
  keeper_.load_settings();
  keeper_.load_prefix_lists();
  EXPECT_EQ(log_,
            (Log{"open", "query UI", "query Language From", "query Search Method",
                 "query QuickTranslate", "query QuickTranslateButton", "query Dictionary",
                 "query Speech Library", "query Invisible Listing", "query History", "close", "open",
                 "query " + utf8(list_name(1, en_de_)), "query " + utf8(list_name(2, en_de_)),
                 "close"}));
  EXPECT_EQ(settings_.direction, Direction::kFrom2);
  EXPECT_EQ(settings_.search_method, SearchMethod::kExtended);
  EXPECT_TRUE(settings_.quick_translate_on);
  EXPECT_EQ(settings_.quick_translate_button, 4);
  EXPECT_EQ(settings_.dictionary_path, en_de_);
  // The speech library's file is gone, so it is dropped without asking.
  EXPECT_EQ(settings_.speech_library_path, std::nullopt);
  EXPECT_FALSE(settings_.invisible_listing);
  // An emptied list falls back to the dictionary's own.
  EXPECT_EQ(keeper_.get_prefix_list(1), u"to ");
  EXPECT_EQ(keeper_.get_prefix_list(2), u"der,die");
  EXPECT_TRUE(lines_.lines.empty());
}

TEST_F(SettingsKeeperTest, UnusableStoredPathsAreDropped) {
  store_.memory.files["/lib/speech.so"] = true;
  const std::vector<std::pair<std::string, std::optional<StoredValue>>> unusable = {
      {"absent", std::nullopt},
      {"just the NUL (2 bytes)", StoredValue::of(u"")},
      {"a NUL first", StoredValue::of(std::u16string(u"\0", 1) + utf8_to_utf16(en_de_))},
      {"the unset mark", StoredValue::of(u"\uFEEE" + utf8_to_utf16(en_de_))},
      {"a missing file", StoredValue::of(utf8_to_utf16((dir_ / "missing.dic").string()))},
      {"an integer", StoredValue::of(5)}};
  for (const auto& [what, value] : unusable) {
    SCOPED_TRACE(what);
    stored().clear();
    stored()[u"Speech Library"] = StoredValue::of(u"/lib/speech.so");
    if (value) stored()[u"Dictionary"] = *value;
    log_.clear();
    keeper_.load_settings();
    EXPECT_EQ(settings_.dictionary_path, std::nullopt);
    // The speech library stands whatever became of the dictionary.
    EXPECT_EQ(settings_.speech_library_path, "/lib/speech.so");
  }
}

TEST_F(SettingsKeeperTest, IntegersOutOfRangeReadAsAbsent) {
  // Each setting as the number the store would hold for it.
  using Read = std::int32_t (*)(const Settings&);
  const Read direction = [](const Settings& s) { return static_cast<std::int32_t>(s.direction); };
  const Read method = [](const Settings& s) { return static_cast<std::int32_t>(s.search_method); };
  const Read quick = [](const Settings& s) { return std::int32_t{s.quick_translate_on}; };
  const Read button = [](const Settings& s) { return s.quick_translate_button; };
  const Read invisible = [](const Settings& s) { return std::int32_t{s.invisible_listing}; };
  const Read language = [](const Settings& s) { return s.language_index; };
  const Read history = [](const Settings& s) { return std::int32_t{s.history_on}; };
  const struct {
    const char16_t* name;
    std::int32_t stored;
    Read field;
    std::int32_t read;
  } cases[] = {
      {u"Language From", 0, direction, 1},
      {u"Language From", 2, direction, 2},
      {u"Language From", 3, direction, 1},
      {u"Search Method", 99999, method, 1},
      {u"Search Method", 0, method, 0},
      {u"Search Method", -1, method, 1},
      {u"QuickTranslate", 2, quick, 0},
      {u"QuickTranslateButton", 5, button, 0},
      {u"QuickTranslateButton", 4, button, 4},
      {u"Invisible Listing", 7, invisible, 1},
      {u"UI", 830, language, 0},
      {u"UI", 829, language, 829},
      {u"History", 0, history, 0},
      {u"History", 2, history, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf8(c.name) + " " + std::to_string(c.stored));
    stored() = {{c.name, StoredValue::of(c.stored)}};
    keeper_.load_settings();
    EXPECT_EQ(c.field(settings_), c.read);
  }
}

TEST_F(SettingsKeeperTest, APathThatIsNotUtf8IsSavedAndFoundAgain) {
  const std::string path = (dir_ / "caf\xE9.dic").string();  // Latin-1 bytes
  store_.memory.files[path] = true;
  settings_.dictionary_path = path;
  settings_.speech_library_path = path;
  keeper_.save_settings();
  settings_ = {};
  keeper_.load_settings();
  EXPECT_EQ(settings_.dictionary_path, path);
  EXPECT_EQ(settings_.speech_library_path, path);
}

TEST(PrefixListValueName, IsTheBaseNameAndTheLast11UnitsOfALongerPath) {
  EXPECT_EQ(prefix_list_value_name(1, "C:\\docs\\ts\\enhu.dic"), u"#1 Prefix list-ts\\enhu.dic");
  EXPECT_EQ(prefix_list_value_name(2, "/a/ts/enhu.dic"), u"#2 Prefix list-ts/enhu.dic");
  EXPECT_EQ(prefix_list_value_name(1, "/tmp/x.dic"), std::nullopt);  // 10 characters
  EXPECT_EQ(prefix_list_value_name(1, "/tmp/xy.dic"), u"#1 Prefix list-/tmp/xy.dic");
  // Counted in UTF-16 units, not in UTF-8 bytes: "ő" is one unit.
  EXPECT_EQ(prefix_list_value_name(1, "/tmp/\xC5\x91.dic"), std::nullopt);
  EXPECT_EQ(prefix_list_value_name(1, "/tu/\xC5\x91\xC5\x91\xC5\x91.dic"),
            u"#1 Prefix list-/tu/\u0151\u0151\u0151.dic");
  EXPECT_EQ(prefix_list_value_name(1, std::nullopt), std::nullopt);
  EXPECT_EQ(prefix_list_value_name(3, "/a/ts/enhu.dic"), std::nullopt);
}

TEST_F(SettingsKeeperTest, SaveWritesTheSettingsThenThePrefixListsInOrder) {
  settings_ = {Direction::kFrom2, SearchMethod::kFull, true, 2, en_de_, std::nullopt, 4, false,
               {u"to ", u""}};
  keeper_.exit();
  Log expected = kSaveSettings;
  expected.insert(expected.end(), {"create", "set " + utf8(list_name(1, en_de_)),
                                   "set " + utf8(list_name(2, en_de_)), "close"});
  EXPECT_EQ(log_, expected);
  EXPECT_EQ(stored().at(u"Dictionary"), StoredValue::of(utf8_to_utf16(en_de_)));
  EXPECT_EQ(stored().at(u"Speech Library"), StoredValue::of(u""));
  EXPECT_EQ(stored().at(u"Search Method"), StoredValue::of(3));
  EXPECT_EQ(stored().at(list_name(1, en_de_)), StoredValue::of(u"to "));
  EXPECT_EQ(stored().at(list_name(2, en_de_)), StoredValue::of(u""));
}

TEST_F(SettingsKeeperTest, PathsOf10UnitsOrFewerHaveNoPrefixLists) {
  const std::string short_path = "/tmp/x.dic";
  store_.memory.files[short_path] = true;
  stored() = {{u"Dictionary", StoredValue::of(utf8_to_utf16(short_path))}};
  settings_.prefix_list[0] = u"kept";
  keeper_.load_settings();
  keeper_.load_prefix_lists();
  EXPECT_EQ(settings_.dictionary_path, short_path);
  EXPECT_EQ(keeper_.get_prefix_list(1), u"kept");
  log_.clear();
  keeper_.save_settings();
  Log expected = kSaveSettings;
  expected.insert(expected.end(), {"create", "close"});
  EXPECT_EQ(log_, expected);
}

TEST_F(SettingsKeeperTest, PrefixListsFollowTheSearchOptionsAndOnlyLists1And2Exist) {
  settings_.dictionary_path = en_de_;
  keeper_.confirm_search_options(u"zu ", u"");
  EXPECT_EQ(stored().at(list_name(1, en_de_)), StoredValue::of(u"zu "));
  EXPECT_EQ(stored().size(), 2u);  // the lists alone
  keeper_.set_prefix_list(0, u"x");
  keeper_.set_prefix_list(3, u"x");
  EXPECT_EQ(keeper_.get_prefix_list(3), u"");
  settings_.prefix_list[0] = settings_.prefix_list[1] = u"stale";
  keeper_.load_prefix_lists();
  EXPECT_EQ(keeper_.get_prefix_list(1), u"zu ");
  EXPECT_EQ(keeper_.get_prefix_list(2), u"der,die");  // the empty list fell back
}

TEST_F(SettingsKeeperTest, ACancelledLoadDictionarySavesReadsAndSavesTheSameLists) {
  settings_.dictionary_path = en_de_;
  settings_.prefix_list[0] = u"to ";
  settings_.prefix_list[1] = u"die";
  keeper_.save_prefix_lists();
  keeper_.take_dictionary(std::nullopt);
  const std::string list1 = utf8(list_name(1, en_de_));
  const std::string list2 = utf8(list_name(2, en_de_));
  Log expected = {"create", "set " + list1,   "set " + list2,   "close",
                  "open",   "query " + list1, "query " + list2, "close"};
  expected.insert(expected.end(), kSaveSettings.begin(), kSaveSettings.end());
  expected.insert(expected.end(), {"create", "set " + list1, "set " + list2, "close"});
  EXPECT_EQ(log_, expected);
  EXPECT_EQ(keeper_.get_prefix_list(1), u"to ");
  EXPECT_EQ(keeper_.get_prefix_list(2), u"die");
}

TEST_F(SettingsKeeperTest, LoadDictionaryKeepsTheOutgoingListsAndTakesTheNewOnes) {
  const std::string hu_de = dictionary("hu-de.dic", "hu", "de", "a ", "");
  settings_.dictionary_path = en_de_;
  settings_.prefix_list[0] = u"mine";
  keeper_.save_prefix_lists();
  keeper_.take_dictionary(hu_de);
  EXPECT_EQ(stored().at(list_name(1, en_de_)), StoredValue::of(u"mine"));
  EXPECT_EQ(stored().at(u"Dictionary"), StoredValue::of(utf8_to_utf16(hu_de)));
  EXPECT_EQ(keeper_.get_prefix_list(1), u"a ");
  EXPECT_EQ(keeper_.get_prefix_list(2), u"");
  EXPECT_EQ(stored().at(list_name(1, hu_de)), StoredValue::of(u"a "));
}

TEST_F(SettingsKeeperTest, LanguageAndInvisibleListingAreSavedAtOnceUnlessTheStoreIsReadOnly) {
  keeper_.select_language(3);
  keeper_.toggle_invisible_listing();
  EXPECT_EQ(stored().at(u"UI"), StoredValue::of(3));
  EXPECT_EQ(stored().at(u"Invisible Listing"), StoredValue::of(0));
  keeper_.toggle_invisible_listing();
  EXPECT_EQ(stored().at(u"Invisible Listing"), StoredValue::of(1));

  const auto before = store_.memory.keys;
  store_.memory.read_only = true;
  settings_.dictionary_path = en_de_;
  log_.clear();
  keeper_.select_language(5);
  keeper_.confirm_search_options(u"x", u"y");
  keeper_.exit();
  EXPECT_EQ(settings_.language_index, 5);
  EXPECT_EQ(store_.memory.keys, before);
  EXPECT_EQ(log_, (Log{"create failed", "create failed", "create failed"}));
}

}  // namespace
}  // namespace lexvia
