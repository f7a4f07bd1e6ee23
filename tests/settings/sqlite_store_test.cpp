#include "settings/sqlite_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "dict/cp1252.h"

namespace lexvia {
namespace {

namespace fs = std::filesystem;

const std::u16string kKey = kSettingsKey;

class SqliteStoreTest : public ::testing::Test {
 protected:
  SqliteStoreTest() {
    dir_ = fs::temp_directory_path() /
           ("lexvia-store-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    db_ = (dir_ / "settings.db").string();
  }
  ~SqliteStoreTest() override { fs::remove_all(dir_); }

  // Writes the values in one save.
  void save(const std::vector<std::pair<std::u16string, StoredValue>>& values) {
    SqliteStore store(db_);
    ASSERT_TRUE(store.create_key(kKey));
    for (const auto& [name, value] : values) ASSERT_TRUE(store.set_value(name, value));
    store.close_key();
  }

  std::vector<std::pair<std::u16string, StoredValue>> all() {
    return SqliteStore(db_).list_values(kKey);
  }

  fs::path dir_;
  std::string db_;
};

TEST_F(SqliteStoreTest, ValuesKeepTheirTypesAcrossOpenings) {
  save({{u"UI", StoredValue::of(-7)},
        {u"Dictionary", StoredValue::of(u"/d/Stra\u00DFe \U0001F600.dic")},
        {u"", StoredValue::of(u"the default value")},
        {u"Empty", StoredValue::of(u"")}});
  save({{u"UI", StoredValue::of(u"now a string")}});

  SqliteStore store(db_);
  ASSERT_TRUE(store.is_open());
  ASSERT_TRUE(store.open_key(kKey));
  EXPECT_EQ(store.query_value(u"ui"), StoredValue::of(u"now a string"));  // letter case aside
  EXPECT_EQ(store.query_value(u"Dictionary"), StoredValue::of(u"/d/Stra\u00DFe \U0001F600.dic"));
  EXPECT_EQ(store.query_value(u""), StoredValue::of(u"the default value"));
  EXPECT_EQ(store.query_value(u"Empty"), StoredValue::of(u""));
  EXPECT_EQ(store.query_value(u"Missing"), std::nullopt);
  EXPECT_FALSE(store.set_value(u"UI", StoredValue::of(1)));  // opened for reading only
  store.close_key();
  EXPECT_EQ(store.query_value(u"UI"), std::nullopt);  // no key open

  EXPECT_FALSE(store.open_key(u"Software\\Other"));
  EXPECT_EQ(store.query_value(u"UI"), std::nullopt);
  EXPECT_EQ(store.list_values(u"Software\\Other").size(), 0u);
  const auto values = store.list_values(kKey);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].first, u"");
  EXPECT_EQ(values[3], std::make_pair(std::u16string(u"UI"), StoredValue::of(u"now a string")));

  EXPECT_TRUE(store.file_exists(db_));
  EXPECT_FALSE(store.file_exists((dir_ / "missing.dic").string()));
}

TEST_F(SqliteStoreTest, AReaderNeitherCreatesNorWrites) {
  {
    SqliteStore reader(db_, SqliteStore::Access::kReadOnly);
    EXPECT_FALSE(reader.is_open());
    EXPECT_FALSE(reader.open_key(kKey));
  }
  EXPECT_FALSE(fs::exists(db_));
  save({{u"UI", StoredValue::of(2)}});
  SqliteStore reader(db_, SqliteStore::Access::kReadOnly);
  ASSERT_TRUE(reader.open_key(kKey));
  EXPECT_EQ(reader.query_value(u"UI"), StoredValue::of(2));
  reader.close_key();
  EXPECT_FALSE(reader.create_key(kKey));
}

TEST_F(SqliteStoreTest, AnUnclosedSaveNeverLands) {
  save({{u"UI", StoredValue::of(1)}});
  {
    SqliteStore writer(db_);
    ASSERT_TRUE(writer.create_key(kKey));
    ASSERT_TRUE(writer.set_value(u"UI", StoredValue::of(2)));
    ASSERT_TRUE(writer.set_value(u"New", StoredValue::of(3)));
    // Others still see the old values while the save is under way.
    SqliteStore reader(db_);
    ASSERT_TRUE(reader.open_key(kKey));
    EXPECT_EQ(reader.query_value(u"UI"), StoredValue::of(1));
  }
  EXPECT_EQ(all(),
            (std::vector<std::pair<std::u16string, StoredValue>>{{u"UI", StoredValue::of(1)}}));
}

TEST_F(SqliteStoreTest, StoresOnOneFileWritingInTurnLoseNothing) {
  SqliteStore a(db_);
  SqliteStore b(db_);
  for (int round = 0; round < 3; ++round) {
    for (SqliteStore* store : {&a, &b}) {
      ASSERT_TRUE(store->create_key(kKey));
      const auto count = store->query_value(u"count");
      store->set_value(u"count", StoredValue::of(count ? count->integer + 1 : 1));
      store->set_value(store == &a ? u"a" : u"b", StoredValue::of(round));
      store->close_key();
    }
  }
  EXPECT_EQ(
      all(),
      (std::vector<std::pair<std::u16string, StoredValue>>{
          {u"a", StoredValue::of(2)}, {u"b", StoredValue::of(2)}, {u"count", StoredValue::of(6)}}));
}

// Each save adds one to a counter and writes a value of its own.
int count_up(const std::string& db, int process, int saves) {
  SqliteStore store(db);
  for (int i = 0; i < saves; ++i) {
    if (!store.create_key(kKey)) return 1;
    const auto count = store.query_value(u"count");
    ::usleep(500);  // a read-modify-write race, if saves could interleave, happens here
    const std::u16string name =
        utf8_to_utf16("p" + std::to_string(process) + "-" + std::to_string(i));
    if (!store.set_value(u"count", StoredValue::of(count ? count->integer + 1 : 1)) ||
        !store.set_value(name, StoredValue::of(i))) {
      return 1;
    }
    store.close_key();
  }
  return 0;
}

TEST_F(SqliteStoreTest, ProcessesSavingAtOnceLoseNoWrite) {
  constexpr int kProcesses = 3;
  constexpr int kSaves = 40;
  save({});  // the table exists before the race
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(count_up(db_, p, kSaves));
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto values = all();
  EXPECT_EQ(values.size(), 1u + kProcesses * kSaves);
  SqliteStore store(db_);
  ASSERT_TRUE(store.open_key(kKey));
  EXPECT_EQ(store.query_value(u"count"), StoredValue::of(kProcesses * kSaves));
}

TEST_F(SqliteStoreTest, AProcessKilledInTheMiddleOfASaveLeavesTheOldValues) {
  const std::vector<std::pair<std::u16string, StoredValue>> old = {
      {u"Dictionary", StoredValue::of(u"/old.dic")}, {u"UI", StoredValue::of(1)}};
  save(old);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SqliteStore store(db_);
    // More than the page cache holds, so that part of the save reaches the disk.
    const bool ok = store.create_key(kKey) && store.set_value(u"UI", StoredValue::of(2)) &&
                    store.set_value(u"Big", StoredValue::of(std::u16string(3'000'000, u'x'))) &&
                    store.set_value(u"Dictionary", StoredValue::of(u"/new.dic"));
    const char signal = ok ? 'w' : 'f';
    (void)!::write(ready[1], &signal, 1);
    for (;;) ::pause();
  }
  char signal = 0;
  ASSERT_EQ(::read(ready[0], &signal, 1), 1);
  ::kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_EQ(signal, 'w');
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_TRUE(fs::exists(db_ + "-journal")) << "the save never reached the disk";

  EXPECT_EQ(all(), old);
  save({{u"UI", StoredValue::of(3)}});  // the lock died with the process
  SqliteStore store(db_);
  ASSERT_TRUE(store.open_key(kKey));
  EXPECT_EQ(store.query_value(u"UI"), StoredValue::of(3));
}

TEST_F(SqliteStoreTest, AStoreThatCannotBeUsedReadsAndWritesNothingAndSaysWhy) {
  const std::string fifo = (dir_ / "fifo.db").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto sql_file = [this](const std::string& name, const char* sql) {
    const std::string path = (dir_ / name).string();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
  };
  const std::string garbage = (dir_ / "garbage.db").string();
  std::ofstream(garbage, std::ios::binary) << std::string(4096, 'x');
  const std::string huge = sql_file("huge.db", "CREATE TABLE other (a)");
  fs::resize_file(huge, std::uintmax_t{1} << 30);
  const struct {
    std::string path;
    const char* why;
  } cases[] = {
      {(dir_ / "no-such-folder" / "settings.db").string(), "No such file or directory"},
      {fifo, "it is not a regular file"},
      {dir_.string(), "it is a folder, not a file"},
      {garbage, "not a settings file (not an SQLite database)"},
      {huge, "it is larger than 64 MiB, far more than any settings file"},
      {sql_file("columns.db", "CREATE TABLE settings_values (a, b)"),
       "not a settings file: its settings_values table has the wrong columns (no such column: key)"},
      {sql_file("other.db", "CREATE TABLE other (a)"),
       "not a settings file: it holds no settings_values table"},
  };
  for (const auto& c : cases) {
    for (const auto access : {SqliteStore::Access::kReadWrite, SqliteStore::Access::kReadOnly}) {
      SCOPED_TRACE(c.path);
      SqliteStore store(c.path, access);
      EXPECT_EQ(store.problem(), c.path.find("no-such") != std::string::npos &&
                                         access == SqliteStore::Access::kReadOnly
                                     ? ""  // nothing stored yet is no problem for a reader
                                     : c.why);
      EXPECT_FALSE(store.open_key(kKey));
      EXPECT_FALSE(store.create_key(kKey));
      EXPECT_FALSE(store.set_value(u"UI", StoredValue::of(1)));
      EXPECT_EQ(store.query_value(u"UI"), std::nullopt);
      EXPECT_TRUE(store.list_values(kKey).empty());
    }
  }
  EXPECT_EQ(fs::file_size(garbage), 4096u);  // someone else's file is left alone
}

TEST_F(SqliteStoreTest, AReaderWaitsBrieflyForALockAndSaysSo) {
  save({{u"UI", StoredValue::of(2)}});
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  SqliteStore reader(db_, SqliteStore::Access::kReadOnly);
  EXPECT_FALSE(reader.open_key(kKey));
  EXPECT_EQ(reader.problem(), "locked by another program");
  sqlite3_close(holder);  // ends the transaction
  SqliteStore later(db_, SqliteStore::Access::kReadOnly);
  EXPECT_TRUE(later.open_key(kKey));
  EXPECT_EQ(later.problem(), "");
}

TEST_F(SqliteStoreTest, ReadingChangesNoByteAndNeedsNoWriteAccess) {
  save({{u"UI", StoredValue::of(2)}});
  const auto bytes = [this] {
    std::ifstream in(db_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(db_, fs::perms::owner_read);
  {
    SqliteStore reader(db_, SqliteStore::Access::kReadOnly);
    ASSERT_TRUE(reader.open_key(kKey)) << reader.problem();
    EXPECT_EQ(reader.query_value(u"UI"), StoredValue::of(2));
    EXPECT_EQ(reader.list_values(kKey).size(), 1u);
  }
  if (::geteuid() != 0) {  // permissions do not bind the superuser
    SqliteStore writer(db_);
    EXPECT_FALSE(writer.create_key(kKey));
    EXPECT_NE(writer.problem(), "");
  }
  fs::permissions(dir_, fs::perms::owner_all);
  fs::permissions(db_, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(bytes(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SqliteStoreTest, ValuesWrittenByOtherProgramsReadAsTheyAreNotAsNumbers) {
  save({});
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &db), SQLITE_OK);
  const std::string key = utf16_to_utf8(kKey);
  for (const char* row : {"'A', 'integer', 4294967298", "'B', 'integer', 'abc'",
                          "'C', 'integer', 2.5", "'D', 'integer', -2147483648",
                          "'E', 'string', X'2F64FF2E646963'"}) {
    const std::string sql =
        "INSERT INTO settings_values VALUES ('" + key + "', " + row + ")";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
  sqlite3_close(db);
  SqliteStore store(db_);
  ASSERT_TRUE(store.open_key(kKey));
  EXPECT_EQ(store.query_value(u"A"), StoredValue::of(u"4294967298"));
  EXPECT_EQ(store.query_value(u"B"), StoredValue::of(u"abc"));
  EXPECT_EQ(store.query_value(u"C"), StoredValue::of(u"2.5"));
  EXPECT_EQ(store.query_value(u"D"), StoredValue::of(std::int32_t{-2147483647 - 1}));
  // A path that is not UTF-8 keeps every byte through the store.
  const auto path = store.query_value(u"E");
  ASSERT_TRUE(path);
  EXPECT_EQ(utf16_to_bytes(path->text), "/d\xFF.dic");
  store.close_key();
  ASSERT_TRUE(store.create_key(kKey));
  ASSERT_TRUE(store.set_value(u"F", StoredValue::of(bytes_to_utf16("/\xE9t\xE9.dic"))));
  store.close_key();
  ASSERT_TRUE(store.open_key(kKey));
  EXPECT_EQ(utf16_to_bytes(store.query_value(u"F")->text), "/\xE9t\xE9.dic");
}

// Sets an environment variable for the scope, or unsets it for nullptr.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(SqliteStoreTest, TheSettingsFolderComesFromTheEnvironment) {
  const std::string config = (dir_ / "config").string();
  ScopedEnv home("HOME", "/home/someone");
  ScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
  ScopedEnv own("LEXVIA_CONFIG_DIR", "");
  EXPECT_EQ(settings_folder(), "/home/someone/.config/lexvia");
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(settings_folder(), config + "/lexvia");
  ::setenv("LEXVIA_CONFIG_DIR", (dir_ / "a" / "b").c_str(), 1);
  EXPECT_EQ(settings_folder(), (dir_ / "a" / "b").string());

  SqliteStore store;  // creates the folder
  EXPECT_TRUE(store.is_open());
  EXPECT_EQ(store.path(), (dir_ / "a" / "b" / "settings.db").string());
  EXPECT_TRUE(fs::exists(store.path()));
}

}  // namespace
}  // namespace lexvia
