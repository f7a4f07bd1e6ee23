#include "dictd_import.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <set>

#include "compile_helpers.h"

namespace lexvia {
namespace {

using Texts = std::vector<std::string>;

TEST(DictdNumbers, AreBase64DigitsMostSignificantFirst) {
  EXPECT_EQ(decode_dictd_number("A"), 0u);
  EXPECT_EQ(decode_dictd_number("x"), 49u);
  EXPECT_EQ(decode_dictd_number("BA"), 64u);
  EXPECT_EQ(decode_dictd_number("BAK3S"), 16821714u);  // 1·64⁴ + 10·64² + 55·64 + 18
  EXPECT_EQ(decode_dictd_number("+/"), 62u * 64 + 63);
  EXPECT_FALSE(decode_dictd_number("A-"));
  EXPECT_FALSE(decode_dictd_number(""));
  auto index = parse_dictd_index("house\tBAK3S\tx\n\nbad line\n");
  EXPECT_NE(std::get<DictdError>(index).message.find("index line 3"), std::string::npos);
}

TEST(DictdExtraction, CommaListsDropMarksExamplesAndReferences) {
  const std::string go =
      "go /\xC9\xA1\xCB\x88\xC9\x99\xCA\x8A/ (went /w\xCB\x88\xC9\x9Bnt/ <>, gone) <v>\n"
      "ablaufen, laufen, vor sich gehen <v, intr> [geh.]\n"
      "         Note: wiederkehrendes Ereignis\n"
      "      \"If all goes to plan, \xE2\x80\xA6\"  - Wenn alles nach Plan l\xC3\xA4uft\n"
      "   Synonym: {belong}\n"
      "\n"
      " see: {going}, {gone}\n";
  EXPECT_EQ(extract_headwords("go /\xC9\xA1\xCB\x88\xC9\x99\xCA\x8A/ (went /w/ <>) <v>"), Texts{"go"});
  EXPECT_EQ(extract_translations(go, DictdStyle::kCommaList),
            (Texts{"ablaufen", "laufen", "vor sich gehen"}));
  EXPECT_EQ(extract_translations("x /x/\n [Am.] Eisen(II,III)-oxid <neut>, Rost [chem.] , "
                                 "(allein) im Haus bleiben\n",
                                 DictdStyle::kCommaList),
            (Texts{"Eisen(II,III)-oxid", "Rost", "(allein) im Haus bleiben"}));
  EXPECT_EQ(extract_headwords("self-esteem /s\xCB\x88\xC9\x9Blf/"), Texts{"self-esteem"});
  EXPECT_EQ(extract_headwords("etw. (aus etw.) hervorholen /x/ <v>"),
            Texts{"etw. (aus etw.) hervorholen"});
  EXPECT_EQ(extract_headwords("rock'n'roll <n>"), Texts{"rock'n'roll"});
  EXPECT_TRUE(extract_translations("lonely /x/\n", DictdStyle::kCommaList).empty());
  EXPECT_EQ(
      extract_translations("iron /x/\nEisen <neut> [chem.] Fe,  /f/\n", DictdStyle::kCommaList),
      (Texts{"Eisen", "Fe"}));
}

// Bodies as the FreeDict databases write them; each case was mis-cut before.
TEST(DictdExtraction, CommasThatContinueATextAndLabelsThatLeaveNoTrace) {
  const struct {
    const char* line;  // a comma-list definition's translation line
    Texts expected;
  } cases[] = {
      {"um ([+ acc]) <prep>", {"um"}},
      {"reuziad (reuziado\xC3\xB9 /\xCA\x81\xC3\xB8z/)", {"reuziad (reuziado\xC3\xB9)"}},
      {"eigentlich <adv>eigtl.,  /\xCB\x88" "a\xC9\xAAg/", {"eigentlich", "eigtl."}},
      {"Randnummer <fem>Rn,  /x/ Rdnr.,  /y/ , Randziffer <fem>",
       {"Randnummer", "Rn", "Rdnr.", "Randziffer"}},
      {"unserer Zeitrechnungu. Z.,  /j/ , nach Christusn. Chr.,  /n/",
       {"unserer Zeitrechnung", "u. Z.", "nach Christus", "n. Chr."}},
      {"circaca.,  /k/ , eventuellevtl.,  /e/ , zirka <adv>", {"circa", "ca.", "eventuell", "evtl.", "zirka"}},
      {"house air waybillH.A.W.B.,  /h/", {"house air waybill", "H.A.W.B."}},
      {" [Am.] \xC3\xB6" "ffnende runde Klammer(", {"\xC3\xB6" "ffnende runde Klammer"}},
      {"Go, then, if you must!", {"Go, then, if you must!"}},
      {"den falschen Eindruck erwecken, dass \xE2\x80\xA6",
       {"den falschen Eindruck erwecken, dass \xE2\x80\xA6"}},
      {"jdn. dr\xC3\xA4ngen, etw. zu tun, jdn. dringend bitten, etw. zu tun <v, trans>",
       {"jdn. dr\xC3\xA4ngen, etw. zu tun", "jdn. dringend bitten, etw. zu tun"}},
      {"Di\xC3\xA4tpatient <masc>, Di\xC3\xA4tetiker <masc>, jemand, der Di\xC3\xA4t h\xC3\xA4lt",
       {"Di\xC3\xA4tpatient", "Di\xC3\xA4tetiker", "jemand, der Di\xC3\xA4t h\xC3\xA4lt"}},
      {"Hals-, Nasen- und Ohrenheilkunde <fem>", {"Hals-, Nasen- und Ohrenheilkunde"}},
      {"die Welt <fem>, die Erde <fem>, der Erdkreis [poet.]",
       {"die Welt", "die Erde", "der Erdkreis"}},
      {"\xE2\x80\xA6, der, Hund, \xE2\x80\xA6", {"Hund, \xE2\x80\xA6"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(extract_translations(std::string("x /x/\n") + c.line + "\n",
                                   DictdStyle::kCommaList),
              c.expected)
        << c.line;
  }
  // A note goes on with translations from its first piece with a grammar mark.
  const char* abhorrence =
      "abhorrence /x/\n"
      "Abscheu <fem>, Abscheu <masc> [veraltend]\n"
      "         Note: vor etw., Verabscheuen <neut>\n"
      "         Note: von etw., starke Abneigung <fem>\n"
      "         Note: gegen etw.\n"
      "      \"self-abhorrence\"  - Abscheu vor sich selbst\n";
  EXPECT_EQ(extract_translations(abhorrence, DictdStyle::kCommaList),
            (Texts{"Abscheu", "Abscheu", "Verabscheuen", "starke Abneigung"}));
}

TEST(DictdExtraction, HeadwordAlternativesAndWordForms) {
  const struct {
    const char* first_line;
    Texts expected;
  } cases[] = {
      {"take / claim / seize the high ground /te\xC9\xAAk/",
       {"take the high ground", "claim the high ground", "seize the high ground"}},
      {"go home / go away /x/ <v>", {"go home", "go away"}},
      {"blow down tank / vessel", {"blow down tank", "blow down vessel"}},
      {"Alles Gute f\xC3\xBCrs Studium / beim Studium!", {"Alles Gute f\xC3\xBCrs Studium / beim Studium!"}},
      {"and/or /\xCB\x88" "and/", {"and/or"}},
      {"to take, took, taken", {"to take", "took", "taken"}},
      {"woman, women", {"woman", "women"}},
      {"night watchman, night watchmen", {"night watchman", "night watchmen"}},
      {"to press, to prest", {"to press", "prest"}},
      {"That being said, \xE2\x80\xA6 /\xC3\xB0" "at/", {"That being said, \xE2\x80\xA6"}},
      {"red, green", {"red, green"}},
      {"sometimes this, sometimes that", {"sometimes this, sometimes that"}},
      {"(col\xC3\xA8re) acc\xC3\xA8s /a/", {"acc\xC3\xA8s (col\xC3\xA8re)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(extract_headwords(c.first_line), c.expected) << c.first_line;
  EXPECT_EQ(extract_translations("alkalmaz /x/\n1. to use\n2. to take, took, taken\n",
                                 DictdStyle::kNumbered),
            (Texts{"to use", "to take", "took", "taken"}));
}

TEST(DictdExtraction, GlossLinesAndABlankLineBeforeTheTranslations) {
  EXPECT_EQ(extract_translations("Ahn /a/ <n>\n1. anc\xC3\xAAtre, a\xC3\xAF" "eul\nVorfahr einer Gruppe\n"
                                 "2. grand-p\xC3\xA8re\nGro\xC3\x9Fvater\n",
                                 DictdStyle::kGlossed),
            (Texts{"anc\xC3\xAAtre", "a\xC3\xAF" "eul", "grand-p\xC3\xA8re"}));
  EXPECT_EQ(extract_translations("Dachstuhl /d/\ncharpente, comble\nUnterbau eines Dachs\n",
                                 DictdStyle::kGlossed),
            (Texts{"charpente", "comble"}));
  EXPECT_EQ(extract_translations("consider /k/ <v>\n\nfikiri\n", DictdStyle::kCommaList),
            (Texts{"fikiri"}));
  EXPECT_EQ(extract_translations("ugeni /u/ <n>\n1.\nstrangeness\n2.\nforeign parts\n",
                                 DictdStyle::kCommaList),
            (Texts{"strangeness", "foreign parts"}));
  EXPECT_EQ(extract_translations("falme /f/ <n>\n\n Plural of {ufalme}: kingdom\n\n",
                                 DictdStyle::kCommaList),
            (Texts{"kingdom"}));
  DictdDatabase glossed;
  glossed.body = "a /x/\nb, c\ngloss\n";
  glossed.entries = {{"", 0, glossed.body.size()}};
  EXPECT_EQ(detect_style(glossed), DictdStyle::kGlossed);
}

TEST(DictdExtraction, NumberedListsKeepCommasInsideATranslation) {
  EXPECT_EQ(extract_translations("leveszi /x/\n1. to carry sy off, away\n2. to sweep sy off\n",
                                 DictdStyle::kNumbered),
            (Texts{"to carry sy off, away", "to sweep sy off"}));
  EXPECT_EQ(extract_translations("hideg /x/\nhands numb with cold, stiff\n", DictdStyle::kNumbered),
            (Texts{"hands numb with cold, stiff"}));
}

TEST(DictdText, MapsC1CodesAndSpellsHungarianAsThisCodePageDoes) {
  // U+0085 stands for the Windows-1252 ellipsis.
  EXPECT_EQ(to_dictionary_text("wait\xC2\x85", "en", false), "wait\x85");
  // ő and ű become õ and û; the ô of eng-hun (standing for ő) becomes õ too.
  EXPECT_EQ(to_dictionary_text("t\xC5\x91zsde \xC5\xB1r \xC3\xB4", "hu", false),
            "t\xF5zsde \xFBr \xF5");
  EXPECT_EQ(to_dictionary_text("\xC3\xB4", "fr", false), "\xF4");  // only for Hungarian
  EXPECT_FALSE(to_dictionary_text("\xCE\xB1-ray", "en", false));   // α
  EXPECT_EQ(to_dictionary_text("\xCE\xB1-ray", "en", true), "a-ray");
}

// Writes BASE.index and a gzip BASE.dict.dz holding the definitions.
std::string number(std::size_t v) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string s;
  do {
    s.insert(s.begin(), kDigits[v % 64]);
    v /= 64;
  } while (v != 0);
  return s;
}

void write_database(const std::string& base,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string body, index;
  for (const auto& [key, definition] : entries) {
    index += key + "\t" + number(body.size()) + "\t" + number(definition.size()) + "\n";
    body += definition;
  }
  // A second key sharing the first definition, as dictd indexes do.
  index += "alias\tA\t" + number(entries.front().second.size()) + "\n";
  std::ofstream(base + ".index") << index;
  gzFile gz = gzopen((base + ".dict.dz").c_str(), "wb");
  gzwrite(gz, body.data(), static_cast<unsigned>(body.size()));
  gzclose(gz);
}

TEST(DictdImport, BothDatabasesMergeIntoOneTwoWayDictionary) {
  const auto dir = std::filesystem::temp_directory_path() / "lexvia-dictd-test";
  std::filesystem::create_directories(dir);
  const std::string eng_hun = (dir / "eng-hun").string();
  const std::string hun_eng = (dir / "hun-eng").string();
  write_database(eng_hun, {{"00databaseinfo", "00-database-info\nabout\n"},
                           {"exchange", "exchange /x/\n1. t\xC3\xB4zsde\n2. csere\n"},
                           {"alpha", "alpha /x/\n\xCE\xB1\n"},
                           {"nothing", "nothing /x/\n"}});
  write_database(hun_eng, {{"tozsde", "t\xC5\x91zsde /x/\n1. exchange\n2. stock market\n"}});

  std::vector<TextPair> pairs;
  ImportReport report;
  const ImportSide side{"en", "hu", false, {}};
  import_dictd_pairs(std::get<DictdDatabase>(read_dictd_database(eng_hun)), false, side, pairs,
                     report);
  import_dictd_pairs(std::get<DictdDatabase>(read_dictd_database(hun_eng)), true, side, pairs,
                     report);
  EXPECT_EQ(report.pairs, 4u);
  EXPECT_EQ(report.entries, 4u);
  EXPECT_EQ(report.skipped["database information entry"], 1u);
  EXPECT_EQ(report.skipped["translation without a Windows-1252 form"], 1u);
  EXPECT_EQ(report.skipped["entry without a usable translation"], 2u);

  auto compiled = std::get<CompiledDictionary>(compile_dictionary(pairs, testing::en_de()));
  EXPECT_EQ(compiled.distinct_pairs, 3u);  // exchange - tõzsde came from both
  EXPECT_EQ(testing::dump_lines(compiled.bytes, 2),
            (std::vector<std::pair<std::string, std::string>>{
                {"csere", "exchange"}, {"t\xF5zsde", "exchange"}, {"t\xF5zsde", "stock market"}}));
  std::filesystem::remove_all(dir);
}

// A database whose body is cut short, or is not gzip at all, is an error
// naming the file, never an import of fewer pairs.
TEST(DictdImport, ACutOrForeignBodyIsRefused) {
  const auto dir = std::filesystem::temp_directory_path() / "lexvia-dictd-cut";
  std::filesystem::create_directories(dir);
  const std::string base = (dir / "db").string();
  std::vector<std::pair<std::string, std::string>> entries;
  for (int i = 0; i < 200; ++i) entries.push_back({"w" + std::to_string(i), "word /x/\nWort\n"});
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* message;
  } cases[] = {
      {"cut in half", [](std::string& b) { b.resize(b.size() / 2); }, "unexpected end of file"},
      {"cut to 5 bytes", [](std::string& b) { b.resize(5); }, "unexpected end of file"},
      {"empty", [](std::string& b) { b.clear(); }, "not a gzip file"},
      {"plain text", [](std::string& b) { b = "word /x/\nWort\n"; }, "not a gzip file"},
      {"CRC changed", [](std::string& b) { b[b.size() - 6] ^= 1; }, "incorrect data check"},
  };
  for (const auto& c : cases) {
    write_database(base, entries);
    std::string bytes;
    {
      std::ifstream in(base + ".dict.dz", std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    c.damage(bytes);
    std::ofstream(base + ".dict.dz", std::ios::binary | std::ios::trunc) << bytes;
    auto db = read_dictd_database(base);
    ASSERT_TRUE(std::holds_alternative<DictdError>(db)) << c.what;
    const std::string& message = std::get<DictdError>(db).message;
    EXPECT_NE(message.find(base + ".dict.dz: "), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
  }
  // An index naming bytes past the end of a sound body.
  write_database(base, {{"w", "word /x/\nWort\n"}});
  std::ofstream(base + ".index", std::ios::app) << "far\tBAAA\tB\n";
  auto db = read_dictd_database(base);
  ASSERT_TRUE(std::holds_alternative<DictdError>(db));
  EXPECT_NE(std::get<DictdError>(db).message.find("past its end"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// A body inflating to far more than its index names (a gzip bomb) keeps only
// what the index names; an index naming more than a definition or a body may
// hold is refused before the body is read.
TEST(DictdImport, OnlyTheBytesTheIndexNamesAreKeptAndTheyAreBounded) {
  const auto dir = std::filesystem::temp_directory_path() / "lexvia-dictd-bomb";
  std::filesystem::create_directories(dir);
  const std::string base = (dir / "db").string();
  write_database(base, {{"w", "word /x/\nWort\n"}, {"v", "verb /x/\nVerb\n"}});
  gzFile gz = gzopen((base + ".dict.dz").c_str(), "ab1");  // a second member: 200 MB of zeros
  const std::string zeros(1 << 20, '\0');
  for (int i = 0; i < 200; ++i) gzwrite(gz, zeros.data(), static_cast<unsigned>(zeros.size()));
  gzclose(gz);
  std::ofstream(base + ".index", std::ios::app) << "zero\t" << number(100 << 20) << "\tC\n";
  auto db = read_dictd_database(base);
  ASSERT_TRUE(std::holds_alternative<DictdDatabase>(db)) << std::get<DictdError>(db).message;
  const auto& read = std::get<DictdDatabase>(db);
  EXPECT_EQ(read.body, std::string("word /x/\nWort\nverb /x/\nVerb\n\0\0", 30));
  ASSERT_EQ(read.entries.size(), 4u);
  EXPECT_EQ(read.definition(read.entries[3]), std::string(2, '\0'));
  EXPECT_EQ(read.definition(read.entries[1]), "verb /x/\nVerb\n");
  EXPECT_EQ(read.definition(read.entries[2]), read.definition(read.entries[0]));  // the alias

  std::ofstream(base + ".index") << "big\tA\t" << number((1 << 20) + 1) << "\n";
  db = read_dictd_database(base);
  ASSERT_TRUE(std::holds_alternative<DictdError>(db));
  EXPECT_NE(std::get<DictdError>(db).message.find("entry 1 names a definition of 1048577 bytes"),
            std::string::npos)
      << std::get<DictdError>(db).message;
  {
    std::ofstream index(base + ".index");
    for (std::size_t i = 0; i <= 1024; ++i) {
      index << "e\t" << number(i << 20) << "\t" << number(1 << 20) << "\n";
    }
  }
  db = read_dictd_database(base);
  ASSERT_TRUE(std::holds_alternative<DictdError>(db));
  EXPECT_NE(std::get<DictdError>(db).message.find("more than 1024 MiB of definitions"),
            std::string::npos)
      << std::get<DictdError>(db).message;
  std::filesystem::remove_all(dir);
}

TEST(DictdImport, DetectsTheStyleOfADatabase) {
  DictdDatabase numbered;
  numbered.body = "a /x/\n1. b\n2. c\n";
  numbered.entries = {{"a", 0, numbered.body.size()}};
  EXPECT_EQ(detect_style(numbered), DictdStyle::kNumbered);
  DictdDatabase list;
  list.body = "a /x/\nb <n>, c\n";
  list.entries = {{"a", 0, list.body.size()}};
  EXPECT_EQ(detect_style(list), DictdStyle::kCommaList);
  EXPECT_EQ(default_prefix_list("en"), ",to ");
  EXPECT_EQ(default_prefix_list("de"), ",sich ");
  EXPECT_EQ(default_prefix_list("hu"), "");
}

TEST(BareForms, PrefixesAreTheListsItemsAndOnlyCleanTextsStandAlone) {
  struct Strip {
    const char* text;
    const char* list;
    const char* bare;  // nullptr: no prefix of the list
  } strips[] = {{"to know", ",to ", "know"},         {"sich waschen", ",sich ", "waschen"},
                {"s'appeler", ",se ,s'", "appeler"}, {"to ", ",to ", nullptr},
                {"tomato", ",to ", nullptr},         {"know", ",to ", nullptr},
                {"to know", "", nullptr}};
  for (const Strip& c : strips) {
    auto bare = strip_list_prefix(c.text, c.list);
    EXPECT_EQ(bare.has_value(), c.bare != nullptr) << c.text;
    if (bare && c.bare) {
      EXPECT_EQ(*bare, c.bare);
    }
  }
  struct Clean {
    const char* text;
    std::size_t occurrences;
    bool clean;
  } cleans[] = {{"know", 1, true},          {"grown-up", 1, true},
                {"K\xF6nig", 1, true},       {"give up", 2, true},
                {"give up", 1, false},       {"know a thing or two", 3, false},
                {"know about sg", 2, false}, {"sich etw merken", 2, false},
                {"run (fast)", 1, false},    {"and fro", 2, false},
                {"beehren zu", 2, false},    {"insist that", 2, false},
                {"pay 10", 2, false},
                {"-ism", 1, false},          {"x", 1, false}};
  for (const Clean& c : cleans) {
    EXPECT_EQ(is_clean_headword(c.text, c.occurrences), c.clean) << c.text;
  }
}

// A headword one database lacks gets the bare form of the other's prefixed
// texts, in either direction; a headword it has, and junk, get nothing.
TEST(BareForms, FillTheHolesOfEachDatabaseFromTheOther) {
  const auto dir = std::filesystem::temp_directory_path() / "lexvia-bare-forms";
  std::filesystem::create_directories(dir);
  const std::string forward = (dir / "fwd").string();
  const std::string backward = (dir / "bwd").string();
  write_database(forward, {{"boot", "boot /x/\ncsizma\n"},
                           {"wash", "wash /x/\nsich waschen\n"},
                           {"rejoice", "rejoice /x/\nsich freuen\n"}});
  write_database(backward, {{"tud", "tud /x/\n1. to ken\n2. to know, knew, known\n"},
                            {"ismer", "ismer /x/\nto know\n"},
                            {"raadasul", "r\xC3\xA1" "ad\xC3\xA1sul /x/\nto boot\n"},
                            {"ide-oda", "ide-oda /x/\nto and fro\n"},
                            {"felad", "felad /x/\nto give up\n"},
                            {"vmirol", "tud v\xC3\xA1lamir\xC5\x91l /x/\nto know about sg\n"},
                            {"freuen", "freuen /x/\nto please\n"}});
  ImportReport report;
  ImportSide side{"en", "hu", false, {",to ", ",sich "}};
  const auto pairs = std::get<std::vector<TextPair>>(
      import_dictd_dictionary(forward, backward, side, report));
  std::set<std::pair<std::string, std::string>> got;
  for (const TextPair& p : pairs) EXPECT_TRUE(got.emplace(p.first, p.second).second) << p.first;
  struct Case {
    const char* first;
    const char* second;
    bool present;
  } cases[] = {
      {"know", "tud", true},           {"know", "ismer", true},  // lacking: the bare form
      {"to know", "tud", true},        {"knew", "tud", true},    // the prefixed text stays
      {"ken", "tud", true},            {"wash", "waschen", true},
      {"wash", "sich waschen", true},  {"boot", "r\xE1" "ad\xE1sul", false},  // "boot" is there
      {"and fro", "ide-oda", false},   {"give up", "felad", false},  // a one-off phrase
      {"know about sg", "tud v\xE1lamir\xF5l", false},
      {"rejoice", "freuen", false},  // the other database has "freuen"
      {"please", "freuen", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(got.contains({c.first, c.second}), c.present) << c.first << " - " << c.second;
  }
  // ken, know, please; waschen
  EXPECT_EQ(report.gained_headwords, (std::array<std::size_t, 2>{3, 1}));
  EXPECT_EQ(report.bare_pairs, (std::array<std::size_t, 2>{4, 1}));
  // The bare pair follows the one it came from.
  auto at = [&](const char* first, const char* second) {
    return std::find_if(pairs.begin(), pairs.end(), [&](const TextPair& p) {
             return p.first == first && p.second == second;
           }) - pairs.begin();
  };
  EXPECT_EQ(at("know", "tud"), at("to know", "tud") + 1);
  for (std::size_t i = 0; i < pairs.size(); ++i) EXPECT_EQ(pairs[i].line, i + 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lexvia
