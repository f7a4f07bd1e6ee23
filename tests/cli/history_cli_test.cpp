// lexvia-cli history and favourites over the lists the desktop program
// keeps, in a settings folder of their own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "run_command.h"
#include "settings/sqlite_history.h"

namespace lexvia {
namespace {

namespace fs = std::filesystem;

using lexvia::testing::Outcome;
using lexvia::testing::run_command;

class HistoryCli : public ::testing::Test {
 protected:
  HistoryCli() {
    dir_ = fs::temp_directory_path() /
           ("lexvia-history-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  ~HistoryCli() override { fs::remove_all(dir_); }

  std::string db() const { return (dir_ / "settings.db").string(); }

  Outcome run(const std::string& args) const {
    return run_command("LEXVIA_CONFIG_DIR='" + dir_.string() + "' " + LEXVIA_CLI_PATH + " " + args,
                       (dir_ / "stderr.txt").string());
  }

  fs::path dir_;
};

TEST_F(HistoryCli, TheDesktopsLookupsAreListedNewestFirstInEachFormatAndCleared) {
  EXPECT_EQ(run("history").out, "");
  EXPECT_EQ(run("history --format json").out, "[]\n");
  EXPECT_FALSE(fs::exists(db()));  // listing creates nothing
  {
    SqliteStore store(db());
    SqliteHistory lists(store);
    for (const HistoryEntry& e : {HistoryEntry{u"house", Direction::kFrom1, SearchMethod::kExact},
                                  HistoryEntry{u"Stra\u00DFe \"x\"", Direction::kFrom2,
                                               SearchMethod::kFull},
                                  HistoryEntry{u"tab\there", Direction::kFrom1,
                                               SearchMethod::kExtended}}) {
      ASSERT_TRUE(lists.record(e)) << lists.problem();
    }
  }
  // A lookup of the tool is not recorded.
  EXPECT_EQ(run("lookup house").status, 0);
  const struct {
    const char* format;
    const char* listed;
  } formats[] = {
      {"text", "tab\\x09here  (1, extended)\nStra\xC3\x9F" "e \"x\"  (2, full)\nhouse  (1, exact)\n"},
      {"tsv", "tab\\x09here\t1\textended\nStra\xC3\x9F" "e \"x\"\t2\tfull\nhouse\t1\texact\n"},
      {"json",
       "[\n  {\"query\": \"tab\\there\", \"direction\": 1, \"method\": \"extended\"},\n"
       "  {\"query\": \"Stra\xC3\x9F" "e \\\"x\\\"\", \"direction\": 2, \"method\": \"full\"},\n"
       "  {\"query\": \"house\", \"direction\": 1, \"method\": \"exact\"}\n]\n"},
  };
  for (const auto& f : formats) {
    const Outcome listed = run(std::string("history --format ") + f.format);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, f.listed) << f.format;
  }
  EXPECT_EQ(run("history").out, formats[0].listed);  // text unless told

  EXPECT_EQ(run("history --format csv").status, 2);
  EXPECT_EQ(run("history --clear --format json").status, 2);
  const Outcome cleared = run("history --clear");
  EXPECT_EQ(cleared.status, 0) << cleared.err;
  EXPECT_EQ(run("history --format json").out, "[]\n");
}

TEST_F(HistoryCli, FavouritesAddedByTheToolReachTheProgramAndTheOtherWayRound) {
  for (const char* args : {"--add house --direction 1", "--add Haus --direction 2",
                           "--add house --direction 1"}) {
    const Outcome added = run(std::string("favourites ") + args);
    EXPECT_EQ(added.status, 0) << args << ": " << added.err;
  }
  {
    SqliteStore store(db());
    SqliteHistory lists(store);
    EXPECT_EQ(lists.favourites(), (std::vector<Favourite>{{u"Haus", Direction::kFrom2},
                                                          {u"house", Direction::kFrom1}}));
    EXPECT_TRUE(lists.add_favourite({u"\u00E9t\u00E9", Direction::kFrom1}) == ListChange::kChanged);
  }
  EXPECT_EQ(run("favourites").out, "\xC3\xA9t\xC3\xA9  (1)\nHaus  (2)\nhouse  (1)\n");
  EXPECT_EQ(run("favourites --format tsv").out, "\xC3\xA9t\xC3\xA9\t1\nHaus\t2\nhouse\t1\n");
  EXPECT_EQ(run("favourites --format json").out,
            "[\n  {\"query\": \"\xC3\xA9t\xC3\xA9\", \"direction\": 1},\n"
            "  {\"query\": \"Haus\", \"direction\": 2},\n"
            "  {\"query\": \"house\", \"direction\": 1}\n]\n");

  EXPECT_EQ(run("favourites --remove Haus --direction 2").status, 0);
  const Outcome missing = run("favourites --remove Haus --direction 2");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "lexvia-cli favourites: \"Haus\" is no favourite in direction 2\n");
  for (const char* args : {"--add house", "--direction 1", "--add '' --direction 1",
                           "--add house --direction 3", "--add a --remove b --direction 1"}) {
    EXPECT_EQ(run(std::string("favourites ") + args).status, 2) << args;
  }
  SqliteStore store(db(), SqliteStore::Access::kReadOnly);
  SqliteHistory lists(store);
  EXPECT_EQ(lists.favourites(), (std::vector<Favourite>{{u"\u00E9t\u00E9", Direction::kFrom1},
                                                        {u"house", Direction::kFrom1}}));
}

TEST_F(HistoryCli, AFileThatIsNoSettingsFileIsNamedWithTheCause) {
  fs::create_directories(db());
  for (const char* args : {"history", "history --clear", "favourites --add x --direction 1"}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find(db() + ": it is a folder, not a file"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace lexvia
