#include "settings/sqlite_history.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dict/cp1252.h"
#include "settings/settings.h"

namespace lexvia {
namespace {

namespace fs = std::filesystem;

using Entries = std::vector<HistoryEntry>;
constexpr Direction k1 = Direction::kFrom1;
constexpr Direction k2 = Direction::kFrom2;

class SqliteHistoryTest : public ::testing::Test {
 protected:
  SqliteHistoryTest() {
    dir_ = fs::temp_directory_path() /
           ("lexvia-history-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    db_ = (dir_ / "settings.db").string();
  }
  ~SqliteHistoryTest() override { fs::remove_all(dir_); }

  // What a later run finds.
  Entries history() {
    SqliteStore store(db_, SqliteStore::Access::kReadOnly);
    SqliteHistory lists(store);
    Entries entries = lists.history();
    EXPECT_EQ(lists.problem(), "");
    return entries;
  }

  // SQL straight into the file, as another program might write it.
  void sql(const std::string& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error != nullptr ? error : "") << "\n" << statements;
    sqlite3_free(error);
    sqlite3_close(db);
  }

  // The tables made as the programs make them, holding `count` lookups
  // "old 0" (the oldest) to "old count-1", in direction 1 by Extended Search.
  void fill_history(int count) {
    {
      SqliteStore store(db_);
      SqliteHistory lists(store);
      ASSERT_TRUE(lists.clear_history());
      ASSERT_TRUE(lists.record({u"made the tables", k1, SearchMethod::kExact}));
    }
    sql("DELETE FROM lookup_history; WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 "
        "FROM n WHERE k < " + std::to_string(count - 1) +
        ") INSERT INTO lookup_history (position, query, direction, method) SELECT k + 1, 'old ' "
        "|| k, 1, 1 FROM n");
  }

  static HistoryEntry old(int k) {
    return {utf8_to_utf16("old " + std::to_string(k)), k1, SearchMethod::kExtended};
  }

  fs::path dir_;
  std::string db_;
};

TEST_F(SqliteHistoryTest, LookupsComeNewestFirstOnceEachAndSurviveARestart) {
  const std::u16string long_query(kQueryUnits, u'\u00E9');
  const struct {
    HistoryEntry lookup;
    bool kept;
  } lookups[] = {
      {{u"house", k1, SearchMethod::kExtended}, true},
      {{u"Stra\u00DFe \U0001F600", k2, SearchMethod::kExact}, true},
      {{u"house", k2, SearchMethod::kFull}, true},     // the other direction is another lookup
      {{u"house", k1, SearchMethod::kPhrase}, true},   // a repeat: to the top, with its method
      {{u"House", k1, SearchMethod::kExact}, true},    // as typed
      {{long_query, k1, SearchMethod::kExact}, true},
      {{long_query + u"x", k1, SearchMethod::kExact}, false},
      {{u"", k1, SearchMethod::kExact}, false},
      {{u"browse", k1, SearchMethod::kBrowse}, false},
  };
  {
    SqliteStore store(db_);
    SqliteHistory lists(store);
    for (const auto& l : lookups) {
      EXPECT_EQ(lists.record(l.lookup), l.kept) << utf16_to_utf8(l.lookup.query);
      EXPECT_EQ(lists.problem().empty(), l.kept);
    }
  }
  EXPECT_EQ(history(), (Entries{{long_query, k1, SearchMethod::kExact},
                                {u"House", k1, SearchMethod::kExact},
                                {u"house", k1, SearchMethod::kPhrase},
                                {u"house", k2, SearchMethod::kFull},
                                {u"Stra\u00DFe \U0001F600", k2, SearchMethod::kExact}}));

  SqliteStore store(db_);
  SqliteHistory lists(store);
  ASSERT_TRUE(lists.add_favourite({u"house", k1}) == ListChange::kChanged);
  ASSERT_TRUE(lists.clear_history());
  EXPECT_EQ(history(), Entries{});
  EXPECT_EQ(lists.favourites(), (std::vector<Favourite>{{u"house", k1}}));  // left alone
}

TEST_F(SqliteHistoryTest, TheOldestLookupsGiveWayBeyondAThousand) {
  fill_history(static_cast<int>(kHistoryLength));
  SqliteStore store(db_);
  SqliteHistory lists(store);
  ASSERT_TRUE(lists.record({u"new", k2, SearchMethod::kExact}));
  Entries entries = lists.history();
  ASSERT_EQ(entries.size(), kHistoryLength);
  EXPECT_EQ(entries.front(), (HistoryEntry{u"new", k2, SearchMethod::kExact}));
  EXPECT_EQ(entries[1], old(999));
  EXPECT_EQ(entries.back(), old(1));  // "old 0" went

  // A repeat takes no room of its own.
  ASSERT_TRUE(lists.record(old(500)));
  entries = lists.history();
  ASSERT_EQ(entries.size(), kHistoryLength);
  EXPECT_EQ(entries.front(), old(500));
  EXPECT_EQ(entries.back(), old(1));
  EXPECT_EQ(std::count(entries.begin(), entries.end(), old(500)), 1);
}

TEST_F(SqliteHistoryTest, FavouritesAreKeptOnceAndRemoved) {
  using Kept = std::vector<Favourite>;
  const struct {
    bool add;
    Favourite favourite;
    ListChange change;
    Kept after;  // newest first
  } steps[] = {
      {true, {u"house", k1}, ListChange::kChanged, {{u"house", k1}}},
      {true, {u"Haus", k2}, ListChange::kChanged, {{u"Haus", k2}, {u"house", k1}}},
      {true, {u"house", k1}, ListChange::kUnchanged, {{u"Haus", k2}, {u"house", k1}}},
      {true, {u"house", k2}, ListChange::kChanged, {{u"house", k2}, {u"Haus", k2}, {u"house", k1}}},
      {true, {u"", k1}, ListChange::kFailed, {{u"house", k2}, {u"Haus", k2}, {u"house", k1}}},
      {false, {u"Haus", k1}, ListChange::kUnchanged, {{u"house", k2}, {u"Haus", k2}, {u"house", k1}}},
      {false, {u"Haus", k2}, ListChange::kChanged, {{u"house", k2}, {u"house", k1}}},
      {false, {u"Haus", k2}, ListChange::kUnchanged, {{u"house", k2}, {u"house", k1}}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(utf16_to_utf8(s.favourite.query) + (s.add ? " added" : " removed"));
    SqliteStore store(db_);  // a run of its own each
    SqliteHistory lists(store);
    EXPECT_TRUE((s.add ? lists.add_favourite(s.favourite) : lists.remove_favourite(s.favourite)) ==
                s.change);
    EXPECT_EQ(lists.favourites(), s.after);
  }
  EXPECT_EQ(history(), Entries{});
}

TEST_F(SqliteHistoryTest, TheHistorySettingTurnsRecordingOff) {
  const auto recorded_with = [this](std::optional<int> stored) {
    SqliteStore store(db_);
    if (stored) {
      EXPECT_TRUE(store.create_key(kSettingsKey));
      EXPECT_TRUE(store.set_value(u"History", StoredValue::of(*stored)));
      store.close_key();
    }
    Settings settings;
    struct : DictionaryErrorSink {
      void report_dictionary_error(DictionaryError, const DictionaryPath&) override {}
    } errors;
    SettingsKeeper({store, settings, errors}).load_settings();
    SqliteHistory lists(store);
    EXPECT_TRUE(lists.clear_history());
    return record_lookup(lists, settings, {u"house", k1, SearchMethod::kExact}) &&
           lists.history().size() == 1;
  };
  EXPECT_TRUE(recorded_with(std::nullopt));  // on unless turned off
  EXPECT_FALSE(recorded_with(0));
  EXPECT_TRUE(recorded_with(1));
}

TEST_F(SqliteHistoryTest, AReaderOnlyReadsAndAStoreThatCannotBeUsedSaysWhy) {
  {
    SqliteStore missing(db_, SqliteStore::Access::kReadOnly);
    SqliteHistory lists(missing);
    EXPECT_TRUE(lists.history().empty());
    EXPECT_TRUE(lists.favourites().empty());
    EXPECT_EQ(lists.problem(), "");  // nothing stored yet
    EXPECT_FALSE(lists.record({u"house", k1, SearchMethod::kExact}));
    EXPECT_EQ(lists.problem(), "the settings file could not be opened");
  }
  EXPECT_FALSE(fs::exists(db_));
  fill_history(3);
  {
    SqliteStore reader(db_, SqliteStore::Access::kReadOnly);
    SqliteHistory lists(reader);
    EXPECT_EQ(lists.history().size(), 3u);
    EXPECT_FALSE(lists.clear_history());
    EXPECT_TRUE(lists.add_favourite({u"house", k1}) == ListChange::kFailed);
    EXPECT_EQ(lists.problem(), "the settings are open for reading only");
  }
  {
    SqliteStore saving(db_);
    SqliteHistory lists(saving);
    ASSERT_TRUE(saving.create_key(kSettingsKey));
    EXPECT_FALSE(lists.record({u"house", k1, SearchMethod::kExact}));
    EXPECT_EQ(lists.problem(), "a save of the settings is under way");
    saving.close_key();
  }
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  SqliteStore reader(db_, SqliteStore::Access::kReadOnly);
  sqlite3_close(holder);
  SqliteHistory lists(reader);
  EXPECT_EQ(lists.problem(), "");
  EXPECT_TRUE(lists.history().empty());
  EXPECT_EQ(lists.problem(), "locked by another program");
}

// Rows no lookup could have stored, as a damaged file or another program
// might hold them: left out, and never more than the lists' bounds read.
TEST_F(SqliteHistoryTest, WhatIsReadIsBoundedAndOnlyWhatALookupStores) {
  fill_history(1500);
  sql("INSERT INTO lookup_history VALUES (2001, 'bad direction', 3, 1), "
      "(2002, 'bad method', 1, 4), (2003, X'686F757365', 1, 1), "
      "(2005, 'text method', 1, 'exact'), (2006, '', 1, 1), "
      "(2007, printf('%.250c', 'x'), 1, 1), (2008, replace(hex(zeroblob(2500000)), '0', 'y'), 1, 1), "
      "(2009, 'kept ' || char(233), 2, 3)");
  Entries entries = history();
  // The rows whose query is no text or too long a text are not even read;
  // the other five count towards the bound but are left out.
  ASSERT_EQ(entries.size(), kHistoryLength - 5);
  EXPECT_EQ(entries.front(), (HistoryEntry{u"kept \u00E9", k2, SearchMethod::kFull}));
  EXPECT_EQ(entries[1], old(1499));
  EXPECT_EQ(entries.back(), old(506));

  sql("WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < 1099) "
      "INSERT INTO favourites (query, direction) SELECT 'f' || k, 1 + k % 2 FROM n");
  SqliteStore store(db_);
  SqliteHistory lists(store);
  EXPECT_EQ(lists.favourites().size(), kMostFavourites);
  EXPECT_TRUE(lists.add_favourite({u"one more", k1}) == ListChange::kFailed);
  EXPECT_EQ(lists.problem(), "there are 1000 favourites already; remove one to add another");

  // Tables of the same names that are not ours are neither read nor written.
  const struct {
    const char* sql;
    const char* why;
  } foreign[] = {
      {"DROP TABLE lookup_history; CREATE TABLE lookup_history (a, b)",
       "not a settings file: its lookup_history table has the wrong columns (no such column: "
       "position)"},
      {"DROP TABLE lookup_history; CREATE VIEW lookup_history (position, query, direction, "
       "method) AS WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n) SELECT k, "
       "'v', 1, 1 FROM n",
       "not a settings file: its lookup_history is a view, not a table"},
  };
  for (const auto& f : foreign) {
    SCOPED_TRACE(f.sql);
    sql(f.sql);
    SqliteStore again(db_);
    SqliteHistory other(again);
    EXPECT_TRUE(other.history().empty());
    EXPECT_EQ(other.problem(), f.why);
    EXPECT_FALSE(other.record({u"house", k1, SearchMethod::kExact}));
    EXPECT_FALSE(other.clear_history());
    EXPECT_EQ(other.problem(), f.why);
  }
}

// The i-th lookup of the child below: few enough queries that many repeat.
HistoryEntry nth_lookup(std::minstd_rand& random, int i) {
  const auto r = static_cast<int>(random() % 120);
  return {utf8_to_utf16("Stra\xC3\x9F" "e " + std::to_string(r / 2) + " \xF0\x9F\x98\x80"),
          r % 2 != 0 ? k2 : k1, kSearchMethods[static_cast<std::size_t>(i) % 4]};
}

// What the history must hold after the first n lookups of the child, over
// the thousand old ones: each lookup on top, its repeat gone, the oldest
// beyond the bound gone.
Entries expected_after(int n, const Entries& start) {
  Entries entries = start;
  std::minstd_rand random;
  for (int i = 0; i < n; ++i) {
    const HistoryEntry lookup = nth_lookup(random, i);
    std::erase_if(entries, [&](const HistoryEntry& e) {
      return e.query == lookup.query && e.direction == lookup.direction;
    });
    entries.insert(entries.begin(), lookup);
    if (entries.size() > kHistoryLength) entries.resize(kHistoryLength);
  }
  return entries;
}

// A run that is killed while it records: the history afterwards is the one
// before some lookup or the one after it, every entry whole, never a mix.
TEST_F(SqliteHistoryTest, AProcessKilledWhileRecordingLeavesAWholeHistory) {
  bool killed_in_a_write = false;
  std::mt19937 pause_random(1);
  for (int attempt = 0; attempt < 12 && !killed_in_a_write; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    fs::remove(db_);
    fill_history(static_cast<int>(kHistoryLength));
    const Entries start = history();
    ASSERT_EQ(start.size(), kHistoryLength);
    int done[2];
    ASSERT_EQ(::pipe(done), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(done[0]);
      SqliteStore store(db_);
      SqliteHistory lists(store);
      std::minstd_rand random;
      for (int i = 0;; ++i) {
        if (!lists.record(nth_lookup(random, i))) ::_exit(1);
        (void)!::write(done[1], "x", 1);  // one byte for each lookup stored
      }
    }
    ::close(done[1]);
    char first = 0;
    ASSERT_EQ(::read(done[0], &first, 1), 1);
    ::usleep(static_cast<useconds_t>(5000 + pause_random() % 60000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself";
    killed_in_a_write = fs::exists(db_ + "-journal");
    int stored = 1;
    char buffer[4096];
    for (ssize_t n; (n = ::read(done[0], buffer, sizeof buffer)) > 0;) stored += static_cast<int>(n);
    ::close(done[0]);

    // The lookup being stored when the kill came may or may not have landed.
    const Entries found = history();
    ASSERT_EQ(found.size(), kHistoryLength);
    EXPECT_TRUE(found == expected_after(stored, start) || found == expected_after(stored + 1, start))
        << stored << " lookups stored; found on top: " << utf16_to_utf8(found.front().query);

    SqliteStore store(db_);  // the lock died with the process
    SqliteHistory lists(store);
    EXPECT_TRUE(lists.record({u"after", k1, SearchMethod::kExact})) << lists.problem();
  }
  EXPECT_TRUE(killed_in_a_write) << "no kill came in the middle of a write";
}

}  // namespace
}  // namespace lexvia
