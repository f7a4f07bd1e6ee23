// lexvia-cli settings against a settings folder of its own, and the desktop
// program's settings logic reading and writing the same store.
#include <gtest/gtest.h>
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
  DirectionLabels labels;
  struct : DictionaryErrorSink {
    void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
  } errors;
  BuiltinStrings strings;
  SettingsShell shell;
  SettingsKeeper keeper({store, settings, nullptr, labels, errors, strings, shell});
  keeper.load_settings();
  EXPECT_EQ(settings.search_method, 3);
  EXPECT_EQ(settings.dictionary_path, dictionary);
  EXPECT_EQ(keeper.get_prefix_list(1), u"zu ");

  settings.direction = 2;
  keeper.exit();
  const std::string listed = run("").out;
  EXPECT_NE(listed.find("\nLanguage From\t2\n"), std::string::npos) << listed;
  EXPECT_NE(run("--json").out.find("\"Invisible Listing\": 1,"), std::string::npos);
}

}  // namespace
}  // namespace lexvia
