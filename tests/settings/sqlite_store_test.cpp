#include "settings/sqlite_store.h"

#include <gtest/gtest.h>
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
  ASSERT_GT(fs::file_size(db_ + "-wal"), 1'000'000u) << "the save never reached the disk";

  EXPECT_EQ(all(), old);
  save({{u"UI", StoredValue::of(3)}});  // the lock died with the process
  SqliteStore store(db_);
  ASSERT_TRUE(store.open_key(kKey));
  EXPECT_EQ(store.query_value(u"UI"), StoredValue::of(3));
}

TEST_F(SqliteStoreTest, AStoreThatCannotBeOpenedReadsAndWritesNothing) {
  { std::ofstream(db_, std::ios::binary) << std::string(4096, 'x'); }
  for (const std::string& path : {(dir_ / "no-such-folder" / "settings.db").string(), db_}) {
    SCOPED_TRACE(path);
    SqliteStore store(path);
    EXPECT_FALSE(store.is_open());
    EXPECT_FALSE(store.open_key(kKey));
    EXPECT_FALSE(store.create_key(kKey));
    EXPECT_FALSE(store.set_value(u"UI", StoredValue::of(1)));
    EXPECT_EQ(store.query_value(u"UI"), std::nullopt);
    EXPECT_TRUE(store.list_values(kKey).empty());
  }
  EXPECT_EQ(fs::file_size(db_), 4096u);  // someone else's file is left alone
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
