// The application driven as a window system would drive it, over a recording
// platform, with settings in memory and a real dictionary compiled per test.
#include "shell/application.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "settings/sqlite_history.h"
#include "settings/sqlite_store.h"
#include "shell/app_fixture.h"

namespace lexvia::testing {
namespace {

std::vector<Line> house_lines(std::string_view method = "Extended Search") {
  return {title(method, "house"), head("house"), tr("Haus"), head("house-boat"), tr("Hausboot")};
}

// ---- Start-up --------------------------------------------------------------

TEST_F(ApplicationTest, LayoutFollowsTheClientSize) {
  for (const Size size : {Size{480, 640}, Size{240, 294}, Size{1000, 300}}) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    const int w = size.width, h = size.height;
    platform_.client = size;
    start();
    EXPECT_EQ(platform_.placements,
              (std::map<Control, Rect>{{Control::kQueryLabel, {2, 2, 106, 14}},
                                       {Control::kQueryBox, {2, 20, w - 86, 20}},
                                       {Control::kTranslateButton, {w - 82, 20, 80, 20}},
                                       {Control::kDirectionButton, {w - 82, 2, 80, 16}},
                                       {Control::kResultList, {2, 44, w - 4, h - 46}}}));
    EXPECT_EQ(platform_.column_width, w - platform_.scroll_bar - 6);
    EXPECT_EQ(platform_.visible, (std::map<Control, bool>{{Control::kResultList, true},
                                                          {Control::kLanguageList, false}}));
  }
}

TEST_F(ApplicationTest, StartUpWithAStoredDictionaryShowsItsTextsAndReady) {
  start();
  EXPECT_TRUE(platform_.chooser_calls.empty());
  EXPECT_EQ(platform_.text(Control::kDirectionButton), u"en \u00BB de");
  EXPECT_EQ(platform_.text(Control::kQueryLabel), u"Word or Phrase:");
  EXPECT_EQ(platform_.text(Control::kTranslateButton), u"Translate!");
  EXPECT_EQ(platform_.menu_button_texts,
            (std::map<int, std::u16string>{{command::kDictMenu, u"Dict"},
                                           {command::kSearchMenu, u"Search"}}));
  EXPECT_EQ(platform_.menu_button_enabled, (std::map<int, bool>{{command::kHide, false},
                                                                {command::kSpeak, true},
                                                                {command::kBrowse, true},
                                                                {command::kClear, true},
                                                                {command::kSearchMenu, true}}));
  EXPECT_TRUE(platform_.enabled[Control::kTranslateButton]);
  EXPECT_GE(platform_.focus_count, 1);
  EXPECT_EQ(lines(), std::vector<Line>{kReady});
}

TEST_F(ApplicationTest, EmptyStoreAsksForADictionary) {
  struct Case {
    std::optional<std::string> answer;
    std::vector<Line> lines;
  };
  for (const Case& c :
       {Case{dictionary_, {kReady}}, Case{std::nullopt, {error_line(101), kReady}}}) {
    SCOPED_TRACE(c.answer.value_or("cancelled"));
    store_.keys.clear();
    app_.reset();
    platform_ = FakePlatform();
    platform_.chooser_answer = c.answer;
    const Application& app = start();
    ASSERT_EQ(platform_.chooser_calls.size(), 1u);
    EXPECT_EQ(platform_.chooser_calls[0].kind, FileKind::kDictionary);
    EXPECT_EQ(platform_.chooser_calls[0].title, u"Dictionary");
    EXPECT_EQ(app.settings().dictionary_path, c.answer);
    EXPECT_EQ(lines(), c.lines);
  }
}

// ---- Commands --------------------------------------------------------------

TEST_F(ApplicationTest, TranslateTrimsAndCutsTheQueryAndListsWhatItFinds) {
  start();
  const std::u16string long_query =
      std::u16string(200, u' ') + u"house" + std::u16string(44, u'a') + std::u16string(7, u'z');
  const std::vector<std::pair<std::u16string, std::vector<Line>>> cases = {
      {u"house", house_lines()},
      {u"  house  ", house_lines()},
      {u"", {}},
      {u"   ", {}},
      // Blanks are trimmed after the cut at 249, so the title shows where it fell.
      {long_query, {title("Extended Search", "house" + std::string(44, 'a'))}}};
  for (const auto& [query, expected] : cases) {
    SCOPED_TRACE(to_utf8(query));
    type(query);
    const int focus = platform_.focus_count;
    EXPECT_EQ(lines_of(command::kTranslate), expected);
    EXPECT_EQ(platform_.focus_count, focus + 1);
  }
}

// What the result list shows for a query that finds nothing itself: a line
// in the title's colour naming the base form, then its entries. Hunspell is
// loaded at the first such miss, never for a hit.
TEST_F(ApplicationTest, AMissListsTheEntriesOfTheQuerysBaseForms) {
  for (const char* name : {"en_US", "de_DE"}) {
    if (!fs::exists(std::string(kSystemHunspellFolder) + "/" + name + ".dic")) {
      GTEST_SKIP() << name << " is not installed (scripts/setup installs it)";
    }
  }
  fs::copy_file(std::string(LEXVIA_SOURCE_DIR) + "/resources/lexvi_de.iu2",
                dir_ / "data" / "lexvi_de.iu2");
  Application& app = start();
  type(u"house");
  EXPECT_EQ(lines_of(command::kTranslate), house_lines());
  EXPECT_FALSE(app.word_forms().loaded());
  const int title_colour = static_cast<int>(ColourCode::kTitle);
  type(u"houses");
  EXPECT_EQ(lines_of(command::kTranslate),
            (std::vector<Line>{title("Extended Search", "houses"),
                               {"houses: form of \"house\"", title_colour}, head("house"),
                               tr("Haus")}));
  EXPECT_TRUE(app.word_forms().loaded());
  app.command(command::kDirection);
  type(u"Hunde");
  EXPECT_EQ(lines_of(command::kTranslate),
            (std::vector<Line>{title("Extended Search", "Hunde"),
                               {"Hunde: form of \"Hund\"", title_colour}, head("Hund"),
                               tr("dog")}));
  // The line's words are the interface language's.
  app.command(command::kFirstLanguage + 1);
  EXPECT_EQ(lines_of(command::kTranslate)[1], (Line{"Hunde: Form von \"Hund\"", title_colour}));
}

// A Hunspell dictionary that cannot be loaded is named once in the list.
TEST_F(ApplicationTest, AHunspellFileThatIsNoRegularFileIsSaidOnce) {
  const fs::path folder = dir_ / "hunspell";
  fs::create_directories(folder);
  ASSERT_EQ(::mkfifo((folder / "en_US.aff").c_str(), 0600), 0);
  std::ofstream(folder / "en_US.dic") << "1\nhouse\n";
  ::setenv("LEXVIA_HUNSPELL_DIR", folder.c_str(), 1);
  start();
  ::unsetenv("LEXVIA_HUNSPELL_DIR");
  type(u"houses");
  const Line said{"No word forms: " + (folder / "en_US.aff").string() + ": not a regular file",
                  static_cast<int>(ColourCode::kError)};
  EXPECT_EQ(lines_of(command::kTranslate),
            (std::vector<Line>{title("Extended Search", "houses"), said}));
  EXPECT_EQ(lines_of(command::kTranslate),
            (std::vector<Line>{title("Extended Search", "houses")}));
}

TEST_F(ApplicationTest, ClearEmptiesTheListAndForgetsTheSelection) {
  Application& app = start();
  type(u"house");
  app.command(command::kTranslate);
  platform_.list.mark = 2;
  app.result_selection_changed();
  ASSERT_EQ(app.listing().remembered().index, 2);
  const int focus = platform_.focus_count;
  app.command(command::kClear);
  EXPECT_TRUE(platform_.list.rows.empty());
  EXPECT_EQ(app.listing().remembered().index, -1);
  EXPECT_EQ(platform_.focus_count, focus + 1);
}

TEST_F(ApplicationTest, DirectionSwitchesAtOnceButIsSavedLater) {
  Application& app = start();
  const auto before = store_.keys;
  app.command(command::kDirection);
  EXPECT_EQ(app.settings().direction, Direction::kFrom2);
  EXPECT_EQ(platform_.text(Control::kDirectionButton), u"de \u00BB en");
  EXPECT_EQ(store_.keys, before);
  type(u"Hund");
  EXPECT_EQ(lines_of(command::kTranslate),
            (std::vector<Line>{title("Extended Search", "Hund"), head("Hund"), tr("dog")}));
  app.command(command::kDirection);
  EXPECT_EQ(platform_.text(Control::kDirectionButton), u"en \u00BB de");
}

TEST_F(ApplicationTest, SearchMethodsApplyAtOnceAndAreSavedAtShutdown) {
  Application& app = start();
  const auto before = store_.keys;
  const std::vector<std::pair<int, std::string>> methods = {
      {0, "Exact Search"}, {1, "Extended Search"}, {3, "Full Search"}, {2, "Phrase Search"}};
  for (const auto& [method, name] : methods) {
    SCOPED_TRACE(name);
    app.command(command::kExactSearch + method);
    EXPECT_EQ(app.settings().search_method, static_cast<SearchMethod>(method));
    EXPECT_EQ(store_.keys, before);
    const FakeMenu menu = prepared(MenuKind::kSearch);
    for (int m = 0; m < 4; ++m)
      EXPECT_EQ(menu.item(command::kExactSearch + m).checked, m == method);
    type(u"house");
    const auto found = lines_of(command::kTranslate);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0], title(name, "house"));
  }
  app.shutdown();
  EXPECT_EQ(stored(u"Search Method"), StoredValue::of(2));
}

TEST_F(ApplicationTest, QuickTranslateCommandsSetTheModeAndTheHideButtonHides) {
  Application& app = start();
  const auto before = store_.keys[kSettingsKey];
  struct Case {
    int id, on, button;
  };
  for (const Case& c :
       {Case{127, 1, 2}, Case{125, 0, 2}, Case{129, 1, 4}, Case{126, 1, 1}, Case{125, 0, 1}}) {
    SCOPED_TRACE(c.id);
    app.command(c.id);
    EXPECT_EQ(app.settings().quick_translate_on, c.on == 1);
    EXPECT_EQ(app.settings().quick_translate_button, c.button);
    EXPECT_EQ(platform_.menu_button_enabled[command::kHide], c.on == 1);
    const FakeMenu menu = prepared(MenuKind::kSearch);
    EXPECT_EQ(menu.item(command::kQuickTranslateOff).checked, c.on == 0);
    for (int b = 1; b <= 4; ++b) {
      EXPECT_EQ(menu.item(command::kQuickTranslateOff + b).checked, c.on == 1 && c.button == b);
    }
  }
  // The settings are saved later; only the button table changes now.
  EXPECT_EQ(store_.keys[kSettingsKey], before);
  app.command(command::kHide);
  EXPECT_EQ(platform_.back_count, 1);
  EXPECT_EQ(platform_.destroy_count, 0);
}

TEST_F(ApplicationTest, ChoosingALanguageSavesAtOnceAndChangesTheTexts) {
  write_module();
  Application& app = start();
  ASSERT_EQ(app.languages().size(), 2u);
  app.command(command::kFirstLanguage + 1);
  EXPECT_EQ(app.settings().language_index, 1);
  EXPECT_EQ(stored(u"UI"), StoredValue::of(1));
  EXPECT_EQ(platform_.text(Control::kQueryLabel), u"xx 40001");
  EXPECT_EQ(platform_.text(Control::kTranslateButton), u"xx 40002");
  EXPECT_EQ(platform_.menu_button_texts[command::kDictMenu], u"xx 40018");
  EXPECT_EQ(prepared(MenuKind::kDict).item(command::kLoadDictionary).text, u"xx 40016");
  app.command(command::kFirstLanguage);
  EXPECT_EQ(stored(u"UI"), StoredValue::of(0));
  EXPECT_EQ(platform_.text(Control::kQueryLabel), u"Word or Phrase:");
}

TEST_F(ApplicationTest, LoadDictionaryKeepsACancelledPickAndTakesAPickedOne) {
  Application& app = start();
  app.command(command::kLoadDictionary);
  ASSERT_EQ(platform_.chooser_calls.size(), 1u);
  EXPECT_EQ(platform_.chooser_calls[0].title, u"Dictionary");
  EXPECT_EQ(app.settings().dictionary_path, dictionary_);
  EXPECT_EQ(stored(u"Dictionary"), StoredValue::of(utf8_to_utf16(dictionary_)));
  EXPECT_EQ(stored(prefix_value_name(1, dictionary_)), StoredValue::of(u",to "));

  const std::string other = write_dictionary("fr-it.dic", "fr", "it");
  platform_.chooser_answer = other;
  app.command(command::kLoadDictionary);
  EXPECT_EQ(app.settings().dictionary_path, other);
  EXPECT_EQ(platform_.text(Control::kDirectionButton), u"fr \u00BB it");
  EXPECT_EQ(stored(u"Dictionary"), StoredValue::of(utf8_to_utf16(other)));
  EXPECT_EQ(stored(prefix_value_name(1, other)), StoredValue::of(u",to "));
}

TEST_F(ApplicationTest, InvisibleListingTogglesSavesAtOnceAndStopsRedraws) {
  Application& app = start();
  type(u"house");
  int redraws = platform_.list.redraws;
  app.command(command::kTranslate);
  EXPECT_EQ(platform_.list.redraws, redraws);

  app.command(command::kInvisibleListing);
  EXPECT_FALSE(app.settings().invisible_listing);
  EXPECT_EQ(stored(u"Invisible Listing"), StoredValue::of(0));
  redraws = platform_.list.redraws;
  app.command(command::kTranslate);
  EXPECT_EQ(platform_.list.redraws, redraws + 5);

  app.command(command::kInvisibleListing);
  EXPECT_EQ(stored(u"Invisible Listing"), StoredValue::of(1));
  EXPECT_TRUE(app.flags().invisible_listing);
}

TEST_F(ApplicationTest, HelpShowsTheDefaultHelpFileAtItsAnchor) {
  start().command(command::kHelp);
  EXPECT_EQ(platform_.help_paths, std::vector<std::string>{data_folder() + "/lexvi_e.htm#main"});
}

TEST_F(ApplicationTest, ExitEndsTheProgramOnlyOutsideBrowseMode) {
  for (const int id : {command::kCancel, command::kExit}) {
    for (const bool browsing : {false, true}) {
      SCOPED_TRACE(std::to_string(id) + (browsing ? " browsing" : ""));
      Application& app = restart();
      type(u"house");
      if (browsing) app.command(command::kBrowse);
      app.command(id);
      EXPECT_EQ(platform_.destroy_count, browsing ? 0 : 1);
      EXPECT_FALSE(app.flags().browse_mode);
      EXPECT_TRUE(platform_.enabled[Control::kTranslateButton]);
      EXPECT_TRUE(platform_.menu_button_enabled[command::kSearchMenu]);
      if (browsing) {
        EXPECT_EQ(lines_of(command::kTranslate), house_lines());
      }
    }
  }
}

TEST_F(ApplicationTest, BrowseListsAPageWithoutTitleAndDisablesSearching) {
  Application& app = start();
  platform_.page_rows = 3;
  type(u"house");
  const int focus = platform_.focus_count;
  EXPECT_EQ(page_of(command::kBrowse),
            (std::vector<Line>{head("house"), tr("Haus"), head("house-boat")}));
  EXPECT_TRUE(app.flags().browse_mode);
  EXPECT_EQ(app.search_state().browse_page_size, 3u);
  EXPECT_FALSE(platform_.enabled[Control::kTranslateButton]);
  for (const int id : {command::kBrowse, command::kClear, command::kSearchMenu}) {
    EXPECT_FALSE(platform_.menu_button_enabled[id]) << id;
  }
  EXPECT_TRUE(platform_.menu_button_enabled[command::kSpeak]);
  EXPECT_EQ(platform_.focus_count, focus);

  EXPECT_EQ(page_of(command::kLineDown), (std::vector<Line>{head("house-boat"), tr("Hausboot")}));
  EXPECT_EQ(page_of(command::kHome), (std::vector<Line>{head("dog"), tr("Hund"), head("house")}));
}

TEST_F(ApplicationTest, BrowseMovesDoNothingOutsideBrowseMode) {
  Application& app = start();
  type(u"house");
  app.command(command::kBrowse);
  app.command(command::kCancel);
  for (const int id : {command::kPageUp, command::kPageDown, command::kLineUp, command::kLineDown,
                       command::kHome, command::kEnd}) {
    EXPECT_TRUE(lines_of(id).empty()) << id;
  }
}

// ---- Menus -----------------------------------------------------------------

TEST_F(ApplicationTest, DictMenuGetsItsTextsOneItemPerLanguageAndIsGreyedWhileBrowsing) {
  write_module();
  Application& app = start();
  FakeMenu menu = FakeMenu::dict_menu();
  menu.positions[1].item.text.clear();
  app.prepare_menu(MenuKind::kDict, menu);
  app.prepare_menu(MenuKind::kDict, menu);
  // clang-format off
  const std::map<int, std::u16string> texts = {
      {command::kLoadDictionary, u"Load Dictionary..."}, {command::kAbout, u"About..."},
      {command::kHelp, u"Help..."}, {command::kExit, u"Exit"}, {200, u"English"},
      {201, u"Testish"}};
  // clang-format on
  for (const auto& [id, text] : texts) {
    EXPECT_EQ(menu.item(id).text, text) << id;
    EXPECT_TRUE(menu.item(id).enabled) << id;
  }
  EXPECT_EQ(menu.positions[1].item.text, u"Select Interface");
  EXPECT_EQ(menu.positions[1].items.size(), 2u);
  EXPECT_TRUE(menu.item(200).checked);
  EXPECT_FALSE(menu.item(201).checked);

  app.command(201);
  type(u"house");
  app.command(command::kBrowse);
  app.prepare_menu(MenuKind::kDict, menu);
  EXPECT_EQ(menu.positions[1].items.size(), 2u);
  EXPECT_FALSE(menu.item(200).checked);
  EXPECT_TRUE(menu.item(201).checked);
  for (const auto& [id, text] : texts) EXPECT_FALSE(menu.item(id).enabled) << id;
  EXPECT_FALSE(menu.positions[1].item.enabled);
}

TEST_F(ApplicationTest, SearchMenuGetsItsTextsAndCheckMarks) {
  Application& app = start();
  FakeMenu menu = FakeMenu::search_menu();
  menu.positions[5].item.text.clear();
  app.prepare_menu(MenuKind::kSearch, menu);
  // clang-format off
  const std::map<int, std::u16string> texts = {
      {40107, u"Exact Search"}, {40108, u"Extended Search"}, {40109, u"Phrase Search"},
      {40110, u"Full Search"}, {40132, u"Invisible Listing"}, {130, u"Prefix Settings..."},
      {125, u"Off"}, {126, u"Button #1"}, {127, u"Button #2"}, {128, u"Button #3"},
      {129, u"Button #4"}};
  // clang-format on
  for (const auto& [id, text] : texts) EXPECT_EQ(menu.item(id).text, text) << id;
  EXPECT_EQ(menu.positions[5].item.text, u"Quick Translate");
  for (const int id : {40107, 40108, 40109, 40110, 125, 126, 127, 128, 129, 40132}) {
    EXPECT_EQ(menu.item(id).checked, id == 40108 || id == 125 || id == 40132) << id;
  }
  app.command(command::kInvisibleListing);
  menu = prepared(MenuKind::kSearch);
  EXPECT_FALSE(menu.item(command::kInvisibleListing).checked);
}

// ---- Activation and the result list ----------------------------------------

TEST_F(ApplicationTest, ActivationAndTrayTapBringTheWindowForwardAndMayTranslateTheClipboard) {
  constexpr int kTray = -1, kOtherCode = -2;  // the tray message instead of an activation
  struct Case {
    const char* name;
    int on, button, event;
    std::optional<std::u16string> clipboard;
    bool translates;
    int fronts;
  };
  for (const Case& c : {Case{"activated", 1, 2, kActivated, u"dog", true, 1},
                        Case{"by a tap", 1, 2, kClickActivated, u"dog", false, 1},
                        Case{"no button", 1, 0, kActivated, u"dog", false, 1},
                        Case{"off", 0, 2, kActivated, u"dog", false, 1},
                        Case{"empty clipboard", 1, 2, kActivated, std::nullopt, false, 1},
                        Case{"state 0", 1, 2, 0, u"dog", false, 0},
                        Case{"tray, no button", 1, 0, kTray, u"dog", true, 1},
                        Case{"tray while off", 0, 0, kTray, u"dog", false, 0},
                        Case{"tray, other code", 1, 0, kOtherCode, u"dog", false, 0}}) {
    SCOPED_TRACE(c.name);
    store_.keys[kSettingsKey][u"QuickTranslate"] = StoredValue::of(c.on);
    store_.keys[kSettingsKey][u"QuickTranslateButton"] = StoredValue::of(c.button);
    Application& app = restart();
    platform_.clipboard = c.clipboard;
    type(u"house");
    const int focus = platform_.focus_count;
    if (c.event >= 0) {
      app.activate(c.event);
    } else {
      app.quick_translate_message(kTrayIconId, c.event == kTray ? kTrayTap : kTrayTap - 1);
    }
    EXPECT_EQ(platform_.front_count, c.fronts);
    EXPECT_EQ(platform_.focus_count, focus + c.fronts);
    EXPECT_EQ(platform_.posted,
              c.translates ? std::vector<int>{command::kTranslate} : std::vector<int>{});
    EXPECT_EQ(platform_.text(Control::kQueryBox), c.translates ? u"dog" : u"house");
  }
}

TEST_F(ApplicationTest, ATappedLineBecomesTheQuery) {
  Application& app = start();
  type(u"house");
  app.command(command::kTranslate);
  // Rows: Ready, the title, house, Haus, house-boat, Hausboot.
  for (const auto& [row, query] : std::vector<std::pair<int, std::u16string>>{
           {4, u"house-boat"}, {3, u"Haus"}, {1, u"house"}, {0, u"typed"}}) {
    SCOPED_TRACE(row);
    type(u"typed");
    platform_.list.mark = row;
    app.result_selection_changed();
    const int focus = platform_.focus_count;
    app.result_list_focused();
    EXPECT_EQ(platform_.text(Control::kQueryBox), query);
    EXPECT_EQ(platform_.focus_count, focus + 1);
  }
}

// ---- Shutdown --------------------------------------------------------------

TEST_F(ApplicationTest, ShutdownSavesEverySettingAndTheNextRunReadsThemBack) {
  Application& app = start();
  for (const int id :
       {command::kDirection, command::kExactSearch, 127, command::kInvisibleListing}) {
    app.command(id);
  }
  app.shutdown();
  const std::vector<std::pair<std::u16string, StoredValue>> expected = {
      {u"Language From", StoredValue::of(2)},
      {u"Search Method", StoredValue::of(0)},
      {u"QuickTranslate", StoredValue::of(1)},
      {u"QuickTranslateButton", StoredValue::of(2)},
      {u"Dictionary", StoredValue::of(utf8_to_utf16(dictionary_))},
      {u"Speech Library", StoredValue::of(u"")},
      {u"UI", StoredValue::of(0)},
      {u"Invisible Listing", StoredValue::of(0)},
      {prefix_value_name(1, dictionary_), StoredValue::of(u",to ")},
      {prefix_value_name(2, dictionary_), StoredValue::of(u"")}};
  for (const auto& [name, value] : expected) EXPECT_EQ(stored(name), value) << to_utf8(name);
  EXPECT_TRUE(app.languages().empty());

  FakePlatform next_window;
  Application next(next_window, store_, data_folder());
  next.start();
  EXPECT_TRUE(next_window.chooser_calls.empty());
  EXPECT_EQ(next.settings().direction, Direction::kFrom2);
  EXPECT_EQ(next.settings().search_method, SearchMethod::kExact);
  EXPECT_FALSE(next.settings().invisible_listing);
  EXPECT_EQ(next.settings().dictionary_path, dictionary_);
  EXPECT_EQ(next_window.text(Control::kDirectionButton), u"de \u00BB en");
}

// ---- History and favourites ------------------------------------------------

class HistoryTest : public ApplicationTest {
 protected:
  HistoryTest() { history_ = &lists_; }
  ~HistoryTest() override { app_.reset(); }
  void look_up(std::u16string_view query) {
    type(query);
    app_->command(command::kTranslate);
  }
  std::vector<std::u16string> queries() {
    std::vector<std::u16string> out;
    for (const HistoryEntry& entry : lists_.history()) out.push_back(entry.query);
    return out;
  }

  SqliteStore db_{(dir_ / "settings.db").string()};
  SqliteHistory lists_{db_};
};

TEST_F(HistoryTest, LookupsAreRecordedAndBackAndForwardRunThemAgain) {
  Application& app = start();
  look_up(u" house ");
  app.command(command::kDirection);
  app.command(command::kExactSearch);
  look_up(u"Hund");
  EXPECT_EQ(lists_.history(),
            (std::vector<HistoryEntry>{{u"Hund", Direction::kFrom2, SearchMethod::kExact},
                                       {u"house", Direction::kFrom1, SearchMethod::kExtended}}));
  // Back runs the older lookup as it was made, without recording it again;
  // the ends of the history stop the steps.
  for (const auto& [step, query, direction] :
       {std::tuple{command::kBack, u"house", u"en \u00BB de"},
        std::tuple{command::kBack, u"house", u"en \u00BB de"},
        std::tuple{command::kForward, u"Hund", u"de \u00BB en"},
        std::tuple{command::kForward, u"Hund", u"de \u00BB en"}}) {
    app.command(step);
    EXPECT_EQ(platform_.text(Control::kQueryBox), query);
    EXPECT_EQ(platform_.text(Control::kDirectionButton), direction);
  }
  app.command(command::kBack);
  EXPECT_EQ(lines().back(), tr("Hausboot"));
  EXPECT_EQ(queries(), (std::vector<std::u16string>{u"Hund", u"house"}));
  // A repeat goes to the top; the first Back of the next run goes to the newest.
  look_up(u"house");
  EXPECT_EQ(queries(), (std::vector<std::u16string>{u"house", u"Hund"}));
  restart().command(command::kBack);
  EXPECT_EQ(platform_.text(Control::kQueryBox), u"house");
  // With history off nothing more is recorded, and the setting is kept.
  app_->command(command::kKeepHistory);
  EXPECT_FALSE(prepared(MenuKind::kSearch).item(command::kKeepHistory).checked);
  EXPECT_EQ(stored(u"History"), StoredValue::of(0));
  look_up(u"dog");
  EXPECT_EQ(queries(), (std::vector<std::u16string>{u"house", u"Hund"}));
}

TEST_F(HistoryTest, PagesListRunAndChangeTheListsAndComeBackAfterARestart) {
  Application& app = start();
  look_up(u"dog");
  look_up(u"house");
  app.command(command::kAddFavourite);
  app.command(command::kAddFavourite);
  EXPECT_EQ(lines().back(), (Line{"house is a favourite already", 0}));
  EXPECT_EQ(lines()[lines().size() - 2], (Line{"Kept as a favourite: house", 0}));

  app.command(command::kHistoryPage);
  ASSERT_TRUE(platform_.page);
  EXPECT_EQ(platform_.page->title, u"History");
  EXPECT_EQ(platform_.page->page_rows,
            (std::vector<std::u16string>{u"house  (en \u00BB de, Extended Search)",
                                         u"dog  (en \u00BB de, Extended Search)"}));
  // The menu's lookups wait while the page covers the query.
  EXPECT_FALSE(prepared(MenuKind::kSearch).item(command::kBack).enabled);
  // Chosen, a row is looked up and goes to the top.
  platform_.page->page_row = 1;
  platform_.page_handler->command(dialog::kPageList);
  EXPECT_TRUE(platform_.page->closed);
  EXPECT_EQ(platform_.text(Control::kQueryBox), u"dog");
  EXPECT_EQ(lines().back(), tr("Hund"));
  EXPECT_EQ(queries(), (std::vector<std::u16string>{u"dog", u"house"}));

  app.command(command::kFavouritesPage);
  EXPECT_EQ(platform_.page->page_rows, std::vector<std::u16string>{u"house  (en \u00BB de)"});
  platform_.page->page_row = 0;
  platform_.page_handler->command(dialog::kPageAction);
  EXPECT_TRUE(platform_.page->page_rows.empty());
  EXPECT_EQ(platform_.page->texts[dialog::kPageNote], u"No favourites yet");
  EXPECT_TRUE(lists_.favourites().empty());

  // The open page is kept with the window's place and opens at the start.
  app.command(command::kHistoryPage);
  app.store_window_place({0, 0, 400, 500});
  platform_.page_handler->command(dialog::kPageAction);
  EXPECT_TRUE(lists_.history().empty());
  restart();
  ASSERT_TRUE(platform_.page);
  EXPECT_FALSE(platform_.page->closed);
  EXPECT_EQ(platform_.page_kind, DialogKind::kHistory);
  EXPECT_EQ(platform_.page->texts[dialog::kPageNote], u"No lookups yet");
}

TEST_F(ApplicationTest, WithoutAHistoryNothingIsRecordedAndItsCommandsAreOff) {
  Application& app = start();
  type(u"house");
  app.command(command::kAddFavourite);
  app.command(command::kHistoryPage);
  EXPECT_FALSE(platform_.page);
  const FakeMenu menu = prepared(MenuKind::kSearch);
  for (int id : {command::kBack, command::kAddFavourite, command::kHistoryPage,
                 command::kKeepHistory}) {
    EXPECT_FALSE(menu.item(id).enabled) << id;
  }
}

}  // namespace
}  // namespace lexvia::testing
