// Base forms on a miss, with the system's real Hunspell dictionaries
// (installed by scripts/setup) over small compiled dictionaries.
#include "search/hunspell_forms.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "search/search_fixture.h"

namespace lexvia::testing {
namespace {

Line form_line(std::string_view query, std::string_view base) {
  return {std::string(query) + ": form of \"" + std::string(base) + "\"",
          static_cast<int>(ColourCode::kTitle)};
}

class WordForms : public SearchFixture {
 protected:
  void SetUp() override {
    for (const char* name : {"en_US", "de_DE", "nb_NO"}) {
      if (!std::filesystem::exists(std::string(kSystemHunspellFolder) + "/" + name + ".dic")) {
        GTEST_SKIP() << name << " is not installed (scripts/setup installs it)";
      }
    }
    engine_.lend_word_forms(&forms_);
  }
  void use_pairs(const Pairs& pairs, const char* code1 = "en", const char* code2 = "de") {
    CompileOptions options;
    options.language1 = code1;
    options.language2 = code2;
    use(compile_utf8(pairs, options));
  }

  HunspellForms forms_{std::string(kSystemHunspellFolder)};
};

const Pairs kPairs = {
    {"house", "Haus"}, {"reply", "Antwort"}, {"walk", "Spaziergang"}, {"walked out", "ging"}};

TEST_F(WordForms, AMissListsTheEntriesOfItsBaseFormsThatAreHeadwords) {
  use_pairs(kPairs);
  const struct {
    const char* query;
    SearchMethod method;
    int direction;
    std::vector<Line> lines;
  } cases[] = {
      // A hit asks Hunspell nothing.
      {"house", SearchMethod::kExact, 1, {title("Exact Search", "house"), head("house"), tr("Haus")}},
      {"houses",
       SearchMethod::kExact,
       1,
       {title("Exact Search", "houses"), form_line("houses", "house"), head("house"), tr("Haus")}},
      // Extended Search's phrases that begin with the query do not make the
      // word itself found.
      {"walked",
       SearchMethod::kExtended,
       1,
       {title("Extended Search", "walked"), head("walked out"), tr("ging"),
        form_line("walked", "walk"), head("walk"), tr("Spaziergang")}},
      // en_US stems "replies" as "ply" only, which is no headword here.
      {"replies", SearchMethod::kExact, 1, {title("Exact Search", "replies")}},
      // de_DE gives "haus" and "Haus": one base, named as the headword spells it.
      {"Hauses",
       SearchMethod::kExact,
       2,
       {title("Exact Search", "Hauses"), form_line("Hauses", "Haus"), head("Haus"), tr("house")}},
      {"hauses",
       SearchMethod::kExact,
       2,
       {title("Exact Search", "hauses"), form_line("hauses", "Haus"), head("Haus"), tr("house")}},
      // Phrase and Full Search are as they were.
      {"houses", SearchMethod::kPhrase, 1, {title("Phrase Search", "houses")}},
      {"houses", SearchMethod::kFull, 1, {title("Full Search", "houses")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(search(c.query, c.method, c.direction), c.lines);
    if (std::string_view(c.query) == "house") {
      EXPECT_FALSE(forms_.loaded());
    }
  }
  EXPECT_TRUE(forms_.loaded());
}

TEST_F(WordForms, AStemThatIsAHeadwordIsListedEvenWhenHunspellIsWrong) {
  use_pairs({{"ply", "Falte"}, {"reply", "Antwort"}});
  EXPECT_EQ(search("replies", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "replies"), form_line("replies", "ply"),
                               head("ply"), tr("Falte")}));
}

// nb_NO is ISO8859-1: the query and its stems cross that encoding.
TEST_F(WordForms, ADictionaryInLatin1IsAskedInItsOwnEncoding) {
  use_pairs({{"bok", "book"}}, "nb", "en");
  EXPECT_EQ(search("bøkene", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "bøkene"), form_line("bøkene", "bok"),
                               head("bok"), tr("book")}));
}

TEST_F(WordForms, ALanguageWithoutADictionaryGetsNoFormsAndLoadsNothing) {
  use_pairs(kPairs, "xq", "de");
  EXPECT_FALSE(forms_.files_for("xq"));
  EXPECT_EQ(search("houses", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "houses")}));
  EXPECT_FALSE(forms_.loaded());
  EXPECT_TRUE(forms_.problems().empty());
}

TEST(HunspellNames, HeaderCodesNameTheUsualDictionaries) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"DE", {"de_DE", "de_AT", "de_CH", "de"}},
      {"hun", {"hu_HU"}},
      {"no", {"nb_NO", "no_NO"}},
      {"gd", {"gd_GB"}},  // its country is no code of its own
      {"xq", {"xq_XQ", "xq"}},
      {"../", {}},
      {"", {}}};
  for (const auto& [code, names] : cases) EXPECT_EQ(hunspell_names(code), names) << code;
}

// A folder of dictionaries is untrusted: a file far too large is refused by
// name, and no stems come from it.
TEST(HunspellFiles, AnOversizedFileIsRefusedWithItsName) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("lexvia_hunspell_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "xq.aff") << "SET UTF-8\n";
  std::ofstream(dir / "xq.dic") << "1\nhouse\n";
  std::filesystem::resize_file(dir / "xq.dic", kLargestHunspellFile + 1);
  HunspellForms forms(dir.string());
  ASSERT_TRUE(forms.files_for("xq"));
  EXPECT_TRUE(forms.base_forms("xq", "houses").empty());
  EXPECT_FALSE(forms.loaded());
  EXPECT_EQ(forms.problems(),
            std::vector<std::string>{(dir / "xq.dic").string() + ": larger than 64 MiB, not a Hunspell dictionary"});
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lexvia::testing
