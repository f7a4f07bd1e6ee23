// Runs the real lexvia-cli binary on small files and checks its output and
// exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "run_command.h"

namespace {

namespace fs = std::filesystem;

using lexvia::testing::Outcome;
using lexvia::testing::run_command;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lexvia-cli-test-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }

  // Runs lexvia-cli with `args`, or `args` as a whole shell command.
  Outcome run(const std::string& args, bool whole_command = false) const {
    // Each test has settings of its own, whatever the user running it has stored.
    return run_command("LEXVIA_CONFIG_DIR=" + path("config") + " " +
                           (whole_command ? args : std::string(LEXVIA_CLI_PATH) + " " + args),
                       path("stderr.txt"));
  }

  fs::path dir_;
};

std::string sample_tsv() { return std::string(LEXVIA_SOURCE_DIR) + "/data/sample/en-de.tsv"; }

// The sample's pairs as "en<TAB>de" lines, or swapped.
std::multiset<std::string> sample_lines(bool swap) {
  std::ifstream in(sample_tsv());
  std::set<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    auto tab = line.find('\t');
    lines.insert(swap ? line.substr(tab + 1) + "\t" + line.substr(0, tab) : line);
  }
  return {lines.begin(), lines.end()};
}

std::multiset<std::string> lines_of(const std::string& text) {
  std::multiset<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

TEST_F(Cli, BuildVerifyInfoAndDumpTheSample) {
  const std::string dic = path("en-de.dic");
  Outcome build =
      run("build --lang1 en --lang2 de --prefixes1 ',to ' -o " + dic + " " + sample_tsv());
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.out.find("distinct pairs"), std::string::npos);

  Outcome verify = run("verify " + dic);
  EXPECT_EQ(verify.status, 0) << verify.out;
  EXPECT_NE(verify.out.find("OK"), std::string::npos);

  Outcome info = run("info " + dic);
  EXPECT_EQ(info.status, 0);
  for (const char* expected :
       {"format number: 261", "language 1: en", "language 2: de", "direction 1: en \u00bb de",
        "direction 2: de \u00bb en", "prefix list 1: offset 72, \",to \"", "expression pairs: "}) {
    EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
  }

  Outcome forward = run("dump " + dic);
  EXPECT_EQ(forward.status, 0);
  EXPECT_EQ(lines_of(forward.out), sample_lines(false));
  Outcome backward = run("dump --direction 2 " + dic);
  EXPECT_EQ(lines_of(backward.out), sample_lines(true));
}

TEST_F(Cli, AFailedBuildReportsTheLineAndWritesNothing) {
  write("bad.tsv", "house\tHaus\nt\xC5\x91zsde\tBörse\n");
  Outcome r = run("build --lang1 hu --lang2 de -o " + path("out.dic") + " " + path("bad.tsv"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("U+0151"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(path("out.dic")));

  write("out.dic", "keep me");
  run("build --lang1 toolong --lang2 de -o " + path("out.dic") + " " + path("bad.tsv"));
  std::ifstream kept(path("out.dic"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

  Outcome ok = run("build --transliterate --lang1 hu --lang2 de -o " + path("out.dic") + " " +
                   path("bad.tsv"));
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_NE(run("dump " + path("out.dic")).out.find("t\xC3\xB5zsde\tB\xC3\xB6rse"),
            std::string::npos);
}

TEST_F(Cli, VerifyListsFaultsOfADamagedFile) {
  const std::string dic = path("d.dic");
  ASSERT_EQ(run("build --lang1 en --lang2 de -o " + dic + " " + sample_tsv()).status, 0);
  {
    std::fstream f(dic, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(-1, std::ios::end);
    f.put('\0');  // the terminal marker of section 2
  }
  Outcome r = run("verify " + dic);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("index section 2: the last byte is not the terminal marker"),
            std::string::npos)
      << r.out;
  write("short.dic", "Lexvi");
  EXPECT_EQ(run("verify " + path("short.dic")).status, 1);
  EXPECT_NE(run("info " + path("short.dic")).status, 0);
  EXPECT_NE(run("dump " + path("short.dic")).status, 0);
  EXPECT_NE(run("verify " + path("missing.dic")).status, 0);
}

// build writes the suggestion index beside the dictionary; verify tells an
// index left over from another dictionary, which lookups then leave aside
// (info says why), and index writes it again.
TEST_F(Cli, TheSuggestionIndexIsWrittenCheckedAndRewritten) {
  const std::string dic = path("d.dic");
  const std::string near = dic + ".near";
  Outcome build = run("build --lang1 en --lang2 de -o " + dic + " " + sample_tsv());
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.out.find("suggestion index: " + near + ", "), std::string::npos) << build.out;
  EXPECT_EQ(run("verify " + dic).status, 0);
  EXPECT_NE(run("info " + dic).out.find("suggestion index: " + near + ", "), std::string::npos);
  const std::string suggested = run("lookup --dict " + dic + " hosue").err;
  EXPECT_NE(suggested.find("Did you mean: house"), std::string::npos) << suggested;

  write("other.tsv", "house\tHaus\nmouse\tMaus\n");
  ASSERT_EQ(
      run("build --lang1 en --lang2 de -o " + path("o.dic") + " " + path("other.tsv")).status, 0);
  fs::copy_file(path("o.dic.near"), near, fs::copy_options::overwrite_existing);
  Outcome stale = run("verify " + dic);
  EXPECT_EQ(stale.status, 1);
  EXPECT_NE(stale.out.find("suggestion index " + near + ": does not match the dictionary"),
            std::string::npos)
      << stale.out;
  EXPECT_NE(run("info " + dic).out.find("suggestion index: none, suggestions walk the section (" +
                                        near + ": made for another dictionary"),
            std::string::npos);
  EXPECT_NE(run("lookup --dict " + dic + " hosue").err.find("Did you mean: house"),
            std::string::npos);

  Outcome index = run("index " + dic);
  EXPECT_EQ(index.status, 0) << index.err;
  EXPECT_NE(index.out.find("suggestion index: " + near), std::string::npos);
  EXPECT_EQ(run("verify " + dic).status, 0);
  write("bad.dic", "Lexvi Database");
  EXPECT_EQ(run("index " + path("bad.dic")).status, 1);
  EXPECT_FALSE(fs::exists(path("bad.dic.near")));
}

TEST_F(Cli, LookupPrintsTheResultLinesAndTellsByItsStatusWhatItFound) {
  const std::string dic = path("en-de.dic");
  ASSERT_EQ(
      run("build --lang1 en --lang2 de --prefixes1 ',to ' -o " + dic + " " + sample_tsv()).status,
      0);
  Outcome found = run("lookup --dict " + dic + " --method phrase house");
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out,
            "Phrase Search: \"house\"\n  house\n    Haus\n    Geb\u00e4ude\n  to house\n"
            "    unterbringen\n");

  Outcome tsv = run("lookup --dict " + dic + " --format tsv --direction 2 ' strasse '");
  EXPECT_EQ(tsv.out,
            "3\tExtended Search: \"strasse\"\n1\t  Stra\u00dfe\n2\t    street\n2\t    road\n");

  Outcome json = run("lookup --dict " + dic + " --format lines-json zzz");
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.out, "[\n  {\"colour\": 3, \"text\": \"Extended Search: \\\"zzz\\\"\"}\n]\n");

  Outcome missing = run("lookup --dict " + path("missing.dic") + " house");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("Dictionary File Error #102 (" + path("missing.dic") + ")"),
            std::string::npos);

  EXPECT_EQ(run("lookup --dict " + dic + " '   '").out, "");
  EXPECT_EQ(run("lookup --method nearest --dict " + dic + " house").status, 2);
  EXPECT_EQ(
      run("LEXVIA_DICT=" + dic + " " + LEXVIA_CLI_PATH + " lookup --method exact cat", true).out,
      "Exact Search: \"cat\"\n  cat\n    Katze\n");
}

TEST_F(Cli, BrowseListsOnePagePerMove) {
  const std::string dic = path("en-de.dic");
  ASSERT_EQ(run("build --lang1 en --lang2 de -o " + dic + " " + sample_tsv()).status, 0);
  Outcome r = run("browse --dict " + dic + " --page-size 3 --moves down,home,end x");
  EXPECT_EQ(r.status, 1);  // no headword begins with x: every move does nothing
  EXPECT_EQ(r.out, "--\n--\n--\n");
  Outcome pages = run("browse --dict " + dic + " --page-size 3 --moves down,home zoo");
  EXPECT_EQ(pages.status, 1);
  Outcome z = run("browse --dict " + dic + " --page-size 2 --moves up,home --format tsv z\u00fcr");
  EXPECT_EQ(z.status, 0);
  EXPECT_EQ(z.out,
            "1\t  Z\u00fcrich\n2\t    Z\u00fcrich\n--\n1\t  you're welcome\n2\t    bitte\n--\n"
            "1\t  airport\n2\t    Flughafen\n");
  Outcome json = run("browse --dict " + dic + " --page-size 1 --moves down --format lines-json a");
  EXPECT_EQ(json.out,
            "[[\n  {\"colour\": 1, \"text\": \"  airport\"}\n],\n[\n  {\"colour\": 1, "
            "\"text\": \"  answer\"}\n]]\n");
}

TEST_F(Cli, LookupTakesTheStoredSettingsAndTheSelectedLanguage) {
  const std::string dic = path("en-de.dic");
  ASSERT_EQ(run("build --lang1 en --lang2 de -o " + dic + " " + sample_tsv()).status, 0);
  fs::create_directories(path("data"));
  fs::copy_file(std::string(LEXVIA_SOURCE_DIR) + "/resources/lexvi_de.iu2",
                path("data") + "/lexvi_de.iu2");
  for (const char* set :
       {"--set Dictionary ", "--set 'Language From' 2", "--set 'Search Method' 0", "--set UI 1"}) {
    const std::string value = std::string(set) == "--set Dictionary " ? dic : "";
    ASSERT_EQ(run(std::string("settings ") + set + value).status, 0);
  }
  const std::string cli = "LEXVIA_DATA_DIR=" + path("data") + " " + LEXVIA_CLI_PATH;
  EXPECT_EQ(run(cli + " lookup Haus", true).out, "Genaue Suche: \"Haus\"\n  Haus\n    house\n");
  // Options given on the command line win over the stored ones.
  EXPECT_EQ(run(cli + " lookup --direction 1 --method extended cat", true).out,
            "Erweiterte Suche: \"cat\"\n  cat\n    Katze\n");
}

// The FreeDict dictionaries are built by the optimised build only.
TEST_F(Cli, TheBundledEnglishGermanDictionaryTranslatesBothWays) {
  const std::string dic = std::string(LEXVIA_DATA_DIR) + "/en-de.dic";
  if (!fs::exists(dic)) GTEST_SKIP() << dic << " is not built in this build";
  EXPECT_EQ(run("verify " + dic).status, 0);
  // en-de.dic is the default dictionary.
  Outcome house = run(std::string("env -u LEXVIA_DICT -u LEXVIA_DATA_DIR ") + LEXVIA_CLI_PATH +
                          " lookup --method exact --format tsv house",
                      true);
  EXPECT_NE(house.out.find("2\t    Haus\n"), std::string::npos) << house.out;
  Outcome haus = run("lookup --dict " + dic + " --direction 2 --method exact --format tsv Haus");
  EXPECT_NE(haus.out.find("2\t    house\n"), std::string::npos) << haus.out;
  const std::string hu = std::string(LEXVIA_DATA_DIR) + "/en-hu.dic";
  Outcome tozsde =
      run("lookup --dict " + hu + " --direction 2 --method exact --format tsv t\u00f5zsde");
  EXPECT_NE(tozsde.out.find("2\t    exchange\n"), std::string::npos) << tozsde.out;
}

// Hungarian ő and ű have no Windows-1252 form: typed queries take the forms the
// dictionary stores, and the tool says so. Word-form headwords ("to take, took,
// taken") are split, so that the infinitive is found, and so is the bare verb
// one database has only as "to know".
TEST_F(Cli, TypedHungarianAndWordFormsAreFoundInTheBundledEnglishHungarian) {
  const std::string hu = std::string(LEXVIA_DATA_DIR) + "/en-hu.dic";
  if (!fs::exists(hu)) GTEST_SKIP() << hu << " is not built in this build";
  struct Case {
    const char* query;
    int direction;
    const char* translation;
  } cases[] = {{"erő", 2, "strength"}, {"nő", 2, "woman"}, {"tűz", 2, "fire"},
               {"'to take'", 1, "alkalmaz"}, {"woman", 1, "asszony"}, {"took", 1, "alkalmaz"},
               // eng-hun lacks "know"; hun-eng's "to know" gives it.
               {"know", 1, "tud"}, {"know", 1, "ismer"}};
  for (const Case& c : cases) {
    Outcome r = run("lookup --dict " + hu + " --method exact --format tsv --direction " +
                    std::to_string(c.direction) + " " + c.query);
    EXPECT_EQ(r.status, 0) << c.query;
    EXPECT_NE(r.out.find(std::string("2\t    ") + c.translation + "\n"), std::string::npos)
        << c.query << "\n" << r.out;
  }
  Outcome tuz = run("lookup --dict " + hu + " --direction 2 tűz");
  EXPECT_NE(tuz.err.find("U+0171 'ű' has no Windows-1252 form; looked up as \"û\""),
            std::string::npos)
      << tuz.err;
}

// A query that Exact Search finds nothing for shows the entries of its base
// forms (from the system's Hunspell dictionaries) after a line that says so,
// in every format, alone and in a batch, and counts as found.
TEST_F(Cli, AnInflectedQueryShowsTheEntriesOfItsBaseForm) {
  const std::string data = LEXVIA_DATA_DIR;
  if (!fs::exists(data + "/en-de.dic") || !fs::exists(data + "/en-hu.dic")) {
    GTEST_SKIP() << "the FreeDict dictionaries are not built in this build";
  }
  struct Case {
    const char* dic;
    int direction;
    const char* query;
    const char* base;
    const char* translation;
  } cases[] = {{"en-de.dic", 2, "Hauses", "Haus", "house"},
               {"en-de.dic", 2, "Fenstern", "Fenster", "window"},
               {"en-hu.dic", 2, "házak", "ház", "house"},
               {"en-hu.dic", 2, "kutyát", "kutya", "dog"},
               {"en-hu.dic", 2, "könyvek", "könyv", "book"},
               {"en-hu.dic", 1, "walked", "walk", "séta"},
               {"en-hu.dic", 1, "books", "book", "könyv"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const std::string q = c.query;
    const std::string base = c.base;
    const std::string args = "lookup --dict " + data + "/" + c.dic + " --method exact --direction " +
                             std::to_string(c.direction) + " --format ";
    Outcome text = run(args + "text " + q);
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out.rfind("Exact Search: \"" + q + "\"\n" + q + ": form of \"" + base +
                                 "\"\n  " + base + "\n",
                             0),
              0u)
        << text.out;
    EXPECT_NE(text.out.find("\n    " + std::string(c.translation) + "\n"), std::string::npos);
    EXPECT_EQ(text.err, "");  // found, so no "Did you mean"
    Outcome tsv = run(args + "tsv " + q);
    EXPECT_NE(tsv.out.find("3\t" + q + ": form of \"" + base + "\"\n1\t  " + base + "\n"),
              std::string::npos)
        << tsv.out;
    Outcome json = run(args + "json " + q);
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"entries\":[{\"headword\":\"" + base + "\",\"form_of\":\"" + q +
                            "\",\"translations\":["),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"suggestions\":[]"), std::string::npos) << json.out;
    Outcome batch = run("sh -c \"printf '" + q + "\\\\n" + base + "\\\\n' | " + LEXVIA_CLI_PATH +
                            " " + args + "tsv --batch\"",
                        true);
    EXPECT_EQ(batch.status, 0);
    // The base form line for the form, none for the base itself.
    EXPECT_NE(batch.out.find("3\tExact Search: \"" + base + "\"\n1\t  " + base + "\n"),
              std::string::npos)
        << batch.out;
    EXPECT_EQ(batch.out.find(": form of"), batch.out.rfind(": form of")) << batch.out;
  }
}

// A direction whose language has no Hunspell dictionary gets no word forms,
// and info says so for each direction.
TEST_F(Cli, ADirectionWithoutAHunspellDictionaryGetsNoWordForms) {
  const std::string dic = std::string(LEXVIA_DATA_DIR) + "/en-de.dic";
  if (!fs::exists(dic)) GTEST_SKIP() << dic << " is not built in this build";
  fs::create_directories(path("hunspell"));
  for (const char* file : {"en_US.aff", "en_US.dic"}) {
    fs::create_symlink(std::string("/usr/share/hunspell/") + file, path("hunspell") + "/" + file);
  }
  const std::string cli = "LEXVIA_HUNSPELL_DIR=" + path("hunspell") + " " + LEXVIA_CLI_PATH;
  Outcome info = run(cli + " info " + dic, true);
  EXPECT_NE(info.out.find("word forms, direction 1 (en): Hunspell " + path("hunspell") +
                          "/en_US.dic\n"
                          "word forms, direction 2 (de): none, no Hunspell dictionary installed "
                          "for this language\n"),
            std::string::npos)
      << info.out;
  const std::string lookup = cli + " lookup --dict " + dic + " --method exact --no-suggest ";
  Outcome hauses = run(lookup + "--direction 2 Hauses", true);
  EXPECT_EQ(hauses.status, 1);
  EXPECT_EQ(hauses.out, "Exact Search: \"Hauses\"\n");
  // English, whose dictionary is in the folder, still has them.
  Outcome catnaps = run(lookup + "--direction 1 catnaps", true);
  EXPECT_NE(catnaps.out.find("catnaps: form of \"catnap\"\n"), std::string::npos) << catnaps.out;
  // A German dictionary that is no regular file is named, and gives none.
  ASSERT_EQ(::mkfifo((path("hunspell") + "/de_DE.aff").c_str(), 0600), 0);
  std::ofstream(path("hunspell") + "/de_DE.dic") << "1\nHaus\n";
  hauses = run(lookup + "--direction 2 Hauses", true);
  EXPECT_EQ(hauses.status, 1);
  EXPECT_EQ(hauses.err,
            "lexvia-cli: no word forms: " + path("hunspell") + "/de_DE.aff: not a regular file\n");
}

// The desktop list keeps its last 2000 lines; the tool prints every line, so
// a headword with more translations than that keeps its headword line.
TEST_F(Cli, LookupPrintsEveryLineBeyondTheListsBound) {
  std::string tsv;
  for (int i = 0; i < 2500; ++i) tsv += "word\tWort" + std::to_string(i) + "\n";
  write("many.tsv", tsv);
  ASSERT_EQ(run("build --lang1 en --lang2 de -o " + path("many.dic") + " " + path("many.tsv")).status, 0);
  Outcome r = run("lookup --dict " + path("many.dic") + " --method exact --format tsv word");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("3\tExact Search: \"word\"\n1\t  word\n", 0), 0u) << r.out.substr(0, 80);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2502);
  EXPECT_NE(r.out.find("2\t    Wort2499\n"), std::string::npos);
  // In a batch the list is full of the answers before: each is still whole.
  write("twice.txt", "word\nword\n");
  Outcome batch = run("lookup --dict " + path("many.dic") +
                      " --method exact --format tsv --batch < " + path("twice.txt"));
  EXPECT_EQ(batch.out, r.out + r.out);
}

// Inputs that cannot give a useful result are refused with a word on
// standard error, not answered with an empty success or a silent miss.
TEST_F(Cli, UselessInputsAreRefusedWithAReason) {
  write("empty.tsv", "# nothing\n\n");
  write("one.tsv", "house\tHaus\n");
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"build --lang1 en --lang2 de -o " + path("e.dic") + " " + path("empty.tsv"), "no pairs"},
      {"build --lang1 en --lang2 de --format-number 260 -o " + path("f.dic") + " " +
           path("one.tsv"),
       "261"},
      {"lookup --dict " + path("one.dic") + " ''", "the query is empty"},
      {"lookup --dict " + path("one.dic") + " '   '", "the query is empty"},
      {"browse --dict " + path("one.dic") + " --page-size 0 house", "--page-size 0"},
  };
  ASSERT_EQ(run("build --lang1 en --lang2 de -o " + path("one.dic") + " " + path("one.tsv")).status, 0);
  for (const auto& c : cases) {
    Outcome r = run(c.args);
    EXPECT_NE(r.status, 0) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(path("e.dic")));
  EXPECT_FALSE(fs::exists(path("f.dic")));
}

// Running out of memory names the command and the file, not just the
// exception. The sanitizers' shadow memory needs more address space than
// the limit leaves.
TEST_F(Cli, RunningOutOfMemorySaysWhatWasBeingDone) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address space limits do not mix with AddressSanitizer";
#endif
  {
    std::ofstream out(path("big.tsv"));
    for (int i = 0; i < 1'000'000; ++i) out << "word" << i << "\tWort" << i << "\n";
  }
  const Outcome r = run("sh -c 'ulimit -v 150000; exec " + std::string(LEXVIA_CLI_PATH) +
                            " build --lang1 en --lang2 de -o " + path("big.dic") + " " +
                            path("big.tsv") + "'",
                        true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "lexvia-cli build: out of memory while compiling " + path("big.tsv") + "\n");
  EXPECT_FALSE(fs::exists(path("big.dic")));
}

// Control characters in texts or the query are shown escaped in text and
// tsv output: they reach neither the terminal nor the tsv structure.
TEST_F(Cli, ControlCharactersAreShownEscaped) {
  write("ctl.tsv", "bell\tBEL\x07 \x1b[31mred\n");
  const std::string build = "build --lang1 en --lang2 de -o " + path("ctl.dic") + " " + path("ctl.tsv");
  const Outcome refused = run(build);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("line 1: the language-2 text: the text holds the control character "
                             "U+0007 (--keep-control-characters keeps it)"),
            std::string::npos)
      << refused.err;
  ASSERT_EQ(run(build + " --keep-control-characters").status, 0);
  for (const char* format : {"text", "tsv"}) {
    Outcome r = run("lookup --dict " + path("ctl.dic") + " --format " + format + " bell");
    EXPECT_NE(r.out.find("BEL\\x07 \\x1B[31mred"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  }
  Outcome forged = run(std::string(LEXVIA_CLI_PATH) + " lookup --dict " + path("ctl.dic") +
                           " --format tsv \"$(printf 'house\\n1\\t  injected')\"",
                       true);
  EXPECT_EQ(std::count(forged.out.begin(), forged.out.end(), '\n'), 1) << forged.out;
  EXPECT_NE(forged.out.find("house\\x0A1\\x09  injected"), std::string::npos) << forged.out;
}

// A FIFO, a directory or a device where the dictionary should be is a
// dictionary that cannot be opened (102), at once: opening never blocks.
TEST_F(Cli, ADictionaryThatIsNotARegularFileCannotBeOpened) {
  ASSERT_EQ(::mkfifo(path("fifo.dic").c_str(), 0644), 0);
  fs::create_directory(path("folder.dic"));
  for (const std::string& dict : {path("fifo.dic"), path("folder.dic"), std::string("/dev/zero")}) {
    Outcome r = run("timeout 20 " + std::string(LEXVIA_CLI_PATH) + " lookup --dict " + dict +
                        " --format tsv house",
                    true);
    EXPECT_EQ(r.status, 2) << dict;
    EXPECT_NE(r.out.find("#102 (" + dict + ")"), std::string::npos) << r.out;
  }
}

TEST_F(Cli, EveryCommandHasHelpAndBadArgumentsFail) {
  for (const char* command :
       {"", "build ", "info ", "verify ", "dump ", "lookup ", "browse ", "import-dictd ",
        "settings ", "serve "}) {
    Outcome r = run(std::string(command) + "--help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << command;
  }
  EXPECT_NE(run("").status, 0);
  EXPECT_NE(run("dump --direction 3 x.dic").status, 0);
  EXPECT_NE(run("build --lang1 en -o x.dic in.tsv").status, 0);
  EXPECT_NE(run("serve").status, 0);
  EXPECT_NE(run("serve --max-clients 0 " LEXVIA_DATA_DIR "/en-de-sample.dic").status, 0);
  EXPECT_NE(run("serve " + path("missing.dic")).err.find("missing.dic: not a dictionary"),
            std::string::npos);
  EXPECT_NE(run("serve --listen localhost:2628 " LEXVIA_DATA_DIR "/en-de-sample.dic").err.find("not ADDR:PORT"),
            std::string::npos);
}

}  // namespace
