// lexvia-cli settings against a settings folder of its own, and the desktop
// program's settings logic reading and writing the same store.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "dict/cp1252.h"
#include "run_command.h"
#include "settings/settings.h"
#include "settings/sqlite_store.h"

namespace lexvia {
namespace {

namespace fs = std::filesystem;

using lexvia::testing::Outcome;
using lexvia::testing::run_command;

class SettingsCli : public ::testing::Test {
 protected:
  SettingsCli() {
    dir_ = fs::temp_directory_path() /
           ("lexvia-settings-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  ~SettingsCli() override { fs::remove_all(dir_); }

  // The settings folder does not exist before the first run.
  std::string config() const { return (dir_ / "config" / "lexvia").string(); }

  Outcome run(const std::string& args) const {
    return run_command(
        "LEXVIA_CONFIG_DIR='" + config() + "' " + LEXVIA_CLI_PATH + " settings " + args,
        (dir_ / "stderr.txt").string());
  }

  fs::path dir_;
};

TEST_F(SettingsCli, SetValuesAreListedAsTextAndJsonInLaterRuns) {
  EXPECT_EQ(run("").out, "");
  EXPECT_EQ(run("--json").out, "{}\n");
  for (const char* args : {"--set UI 2", "--set Dictionary '/d/\xC3\xBC \"q\".dic'",
                           "--set '' 'the default'", "--set 'search method' 3"}) {
    const Outcome set = run(args);
    EXPECT_EQ(set.status, 0) << args << ": " << set.err;
  }
  EXPECT_EQ(run("").out,
            "\tthe default\nDictionary\t/d/\xC3\xBC \"q\".dic\nsearch method\t3\nUI\t2\n");
  EXPECT_EQ(run("--json").out,
            "{\n  \"\": \"the default\",\n  \"Dictionary\": \"/d/\xC3\xBC \\\"q\\\".dic\",\n"
            "  \"search method\": 3,\n  \"UI\": 2\n}\n");

  EXPECT_EQ(run("--key 'Software\\Other' --set UI text").status, 2);
  EXPECT_EQ(run("--key 'Software\\Other' --set Note 12").status, 0);
  EXPECT_EQ(run("--key 'Software\\Other' --json").out, "{\n  \"Note\": \"12\"\n}\n");
}

TEST_F(SettingsCli, TextOrAnIntegerOutOfRangeIsRefused) {
  for (const char* args :
       {"'Invisible Listing' abc", "'Invisible Listing' ''", "'Invisible Listing' 3x",
        "'Invisible Listing' 4294967296", "'Invisible Listing' 2", "'Search Method' 99999",
        "'Search Method' -1", "'Language From' 0", "QuickTranslateButton 5", "UI 830", "UI -1"}) {
    const Outcome r = run(std::string("--set ") + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("takes an integer from"), std::string::npos) << r.err;
  }
  EXPECT_EQ(run("").out, "");
  EXPECT_NE(run("--set UI").status, 0);
  EXPECT_NE(run("--json --set UI 1").status, 0);
}

// Rows as another program (or a hand with sqlite3) might leave them, in a
// file with the rollback journal.
TEST_F(SettingsCli, ListingOnlyReadsAndPointsOutWhatTheProgramsWouldNotTake) {
  fs::create_directories(config());
  const std::string db_path = config() + "/settings.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(db_path.c_str(), &db), SQLITE_OK);
  const std::string key = utf16_to_utf8(kSettingsKey);
  const std::string sql =
      "CREATE TABLE settings_values (key TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE, type, "
      "data, PRIMARY KEY (key, name)) WITHOUT ROWID; INSERT INTO settings_values VALUES "
      "('" + key + "', 'Search Method', 'integer', 99999), ('" + key +
      "', 'Language From', 'integer', 4294967298), ('" + key +
      "', 'QuickTranslate', 'integer', 'abc'), ('" + key +
      "', 'Note', 'string', 'a' || char(0) || 'b' || char(27) || '[31m'), ('" + key +
      "', 'Dictionary', 'string', X'2F64FF2E646963')";
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  std::ifstream in(db_path, std::ios::binary);
  const std::string before(std::istreambuf_iterator<char>(in), {});

  const Outcome listed = run("");
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "Dictionary\t/d\\xFF.dic\nLanguage From\t4294967298\nNote\ta\\x00b\\x1B[31m\n"
            "QuickTranslate\tabc\nSearch Method\t99999\n");
  for (const char* note : {"\"Search Method\" holds 99999, not an integer from 0 to 3; the "
                           "programs use 1",
                           "\"Language From\" holds \"4294967298\"", "\"QuickTranslate\" holds \"abc\""}) {
    EXPECT_NE(listed.err.find(note), std::string::npos) << listed.err;
  }
  std::ifstream again(db_path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), before);
  EXPECT_FALSE(fs::exists(db_path + "-wal"));

  // A path given in bytes that are not UTF-8 is stored as those bytes.
  EXPECT_EQ(run("--set Dictionary '/caf\xE9.dic'").status, 0);
  EXPECT_NE(run("").out.find("Dictionary\t/caf\\xE9.dic\n"), std::string::npos);
}

TEST_F(SettingsCli, AStoreThatCannotBeReadIsNamedWithTheCauseAndLookupsGoOnWithDefaults) {
  fs::create_directories(config());
  const std::string db_path = config() + "/settings.db";
  ASSERT_EQ(::mkfifo(db_path.c_str(), 0600), 0);
  const Outcome fifo = run("");
  EXPECT_EQ(fifo.status, 1);
  EXPECT_EQ(fifo.err, "lexvia-cli settings: cannot read " + db_path + ": it is not a regular file\n");
  fs::remove(db_path);

  ASSERT_EQ(run("--set 'Search Method' 0").status, 0);
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db_path.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const Outcome locked = run_command("LEXVIA_CONFIG_DIR='" + config() + "' " + LEXVIA_CLI_PATH +
                                         " lookup house",
                                     (dir_ / "stderr.txt").string());
  sqlite3_close(holder);
  EXPECT_EQ(locked.status, 0);
  EXPECT_EQ(locked.out.rfind("Extended Search: \"house\"", 0), 0u) << locked.out;  // not Exact
  EXPECT_EQ(locked.err, "lexvia-cli: cannot read the settings in " + db_path +
                            ": locked by another program; using the defaults\n");
}

TEST_F(SettingsCli, TheProgramReadsWhatTheToolStoresAndTheOtherWayRound) {
  const std::string dictionary = (dir_ / "dictionaries" / "en-de.dic").string();
  fs::create_directories(dir_ / "dictionaries");
  std::ofstream(dictionary) << "any file";
  const std::string list1 = utf16_to_utf8(prefix_list_value_name(1, dictionary).value());
  for (const std::string& args :
       {std::string("--set 'Search Method' 3"), "--set Dictionary " + dictionary,
        "--set '" + list1 + "' 'zu '"}) {
    ASSERT_EQ(run(args).status, 0) << args;
  }

  SqliteStore store(config() + "/settings.db");
  Settings settings;
  struct : DictionaryErrorSink {
    void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
  } errors;
  SettingsKeeper keeper({store, settings, errors});
  keeper.load_settings();
  keeper.load_prefix_lists();
  EXPECT_EQ(settings.search_method, SearchMethod::kFull);
  EXPECT_EQ(settings.dictionary_path, dictionary);
  EXPECT_EQ(keeper.get_prefix_list(1), u"zu ");

  settings.direction = Direction::kFrom2;
  keeper.exit();
  const std::string listed = run("").out;
  EXPECT_NE(listed.find("\nLanguage From\t2\n"), std::string::npos) << listed;
  EXPECT_NE(run("--json").out.find("\"Invisible Listing\": 1,"), std::string::npos);
}

}  // namespace
}  // namespace lexvia
