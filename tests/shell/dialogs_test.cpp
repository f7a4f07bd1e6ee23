// The dialogs' behaviour over the recording platform: the browse dialog, the
// Search Options dialog, the About box and the lookup's progress.
#include "shell/dialogs.h"

#include <gtest/gtest.h>

#include "shell/app_fixture.h"

namespace lexvia::testing {
namespace {

class DialogsTest : public ApplicationTest {
 protected:
  FakeDialogWindow& browse_from(std::u16string_view query) {
    type(query);
    app_->command(command::kBrowse);
    EXPECT_TRUE(platform_.browse);
    return *platform_.browse;
  }
};

// ---- Browse dialog -----------------------------------------------------------

TEST_F(DialogsTest, BrowsePageSizeComesFromTheListHeightAndASizeChangeListsThePageAgain) {
  Application& app = start();
  platform_.page_rows = 0;  // the fake's list is given its height below
  FakeDialogWindow& window = browse_from(u"house");
  EXPECT_EQ(window.title, u"Browsing...");
  EXPECT_TRUE(window.list_visible);  // shown again once the page was in
  window.list_height = 200;
  window.row_height = 16;
  window.rows.append(u"stale", ColourCode::kTranslation);
  window.client = {300, 400};
  platform_.browse_handler->size_changed();
  EXPECT_EQ(app.search_state().browse_page_size, 12u);
  // The measuring line and the old page go; the page the new size holds
  // comes from the same headword.
  EXPECT_EQ(page(),
            (std::vector<Line>{head("house"), tr("Haus"), head("house-boat"), tr("Hausboot")}));
  EXPECT_EQ(window.placements[dialog::kBrowseHome], (Rect{238, 4, 18, 16}));
  EXPECT_EQ(window.placements[dialog::kBrowseList], (Rect{2, 2, 296, 396}));
  EXPECT_EQ(window.placements[dialog::kBrowseEnd], (Rect{278, 380, 18, 16}));
  EXPECT_EQ(window.column_width, 300 - platform_.scroll_bar - 6);
}

TEST_F(DialogsTest, TheSixButtonsMoveWithRedrawingOffAndOn) {
  start();
  platform_.page_rows = 2;
  FakeDialogWindow& window = browse_from(u"house");
  EXPECT_EQ(page(), (std::vector<Line>{head("house"), tr("Haus")}));
  DialogHandler& handler = *platform_.browse_handler;
  const struct {
    int button;
    std::vector<Line> page;
  } cases[] = {
      {dialog::kBrowseLineDown, {head("house-boat"), tr("Hausboot")}},
      {dialog::kBrowseLineUp, {head("house"), tr("Haus")}},
      {dialog::kBrowseHome, {head("dog"), tr("Hund")}},
      {dialog::kBrowseEnd, {head("house-boat"), tr("Hausboot")}},
      {dialog::kBrowsePageUp, {head("dog"), tr("Hund")}},
      {dialog::kBrowsePageDown, {head("house-boat"), tr("Hausboot")}},
  };
  for (const auto& c : cases) {
    window.redraw_switches.clear();
    handler.command(c.button);
    EXPECT_EQ(page(), c.page) << c.button;
    EXPECT_EQ(window.redraw_switches, (std::vector<bool>{false, true})) << c.button;
  }
}

TEST_F(DialogsTest, ExitClosesBrowsingAndGivesTheResultListItsSelectionBack) {
  Application& app = start();
  type(u"dog");
  app.command(command::kTranslate);
  platform_.list.mark = 2;  // "  dog" in the result list
  app.result_selection_changed();
  ASSERT_EQ(app.listing().remembered().text, u"  dog");
  FakeDialogWindow& window = browse_from(u"house");
  // A different line is remembered while browsing.
  window.rows.mark = 1;
  platform_.browse_handler->list_selection_changed();
  EXPECT_EQ(app.listing().remembered().text, u"    Haus");
  // Focusing the browse list copies without taking the focus to the query.
  const int focus = platform_.focus_count;
  platform_.browse_handler->list_focused();
  EXPECT_EQ(platform_.texts[Control::kQueryBox], u"Haus");
  EXPECT_EQ(window.focused, dialog::kBrowseClose);
  EXPECT_EQ(platform_.focus_count, focus);

  platform_.list.mark = -1;
  app.command(command::kExit);
  EXPECT_TRUE(window.closed);
  EXPECT_EQ(platform_.destroy_count, 0);
  EXPECT_FALSE(app.flags().browse_mode);
  EXPECT_EQ(app.listing().remembered().index, 2);
  EXPECT_EQ(app.listing().remembered().text, u"    Haus");  // only the index comes back
  EXPECT_EQ(platform_.list.mark, 2);
  EXPECT_TRUE(platform_.enabled[Control::kTranslateButton]);
  EXPECT_GT(platform_.focus_count, focus);
  app.command(command::kExit);
  EXPECT_EQ(platform_.destroy_count, 1);
}

TEST_F(DialogsTest, AChangeOfDirectionWhileBrowsingListsThePageAgainInTheNewDirection) {
  Application& app = start();
  platform_.page_rows = 2;
  browse_from(u"Haus");
  EXPECT_TRUE(page().empty());  // no English headword begins with it
  app.command(command::kDirection);
  EXPECT_EQ(page(), (std::vector<Line>{head("Haus"), tr("house")}));
  app.command(command::kLineDown);
  EXPECT_EQ(page(), (std::vector<Line>{head("Hausboot"), tr("house-boat")}));
}

// ---- Search Options ------------------------------------------------------------

TEST_F(DialogsTest, SearchOptionsCaptionsResetAndTheQuestion) {
  const std::string en_hu = write_dictionary("en-hu.dic", "en", "hu");
  remember_dictionary(en_hu);
  const std::u16string list1 = prefix_value_name(1, en_hu);
  store_.keys[kSettingsKey][list1] = StoredValue::of(u"mine;");
  Application& app = start();
  ASSERT_EQ(app.settings().prefix_list[0], u"mine;");

  struct Case {
    const char* name;
    Answer answer;
    bool reset;
    bool closed;
    std::u16string stored;  // list 1 as stored afterwards
  };
  for (const Case& c : {Case{"reset then no", Answer::kNo, true, true, u"mine;"},
                        Case{"reset then yes", Answer::kYes, true, true, u",to "},
                        Case{"cancel keeps the edits", Answer::kCancel, false, false, u"mine;"}}) {
    platform_.answer = c.answer;
    platform_.questions.clear();
    platform_.dialog_script = [&](FakeDialogWindow& window, DialogHandler& handler) {
      EXPECT_EQ(window.texts[dialog::kCaption1], u"en  Prefixes:") << c.name;
      EXPECT_EQ(window.texts[dialog::kCaption2], u"hu  Prefixes:") << c.name;
      EXPECT_EQ(window.texts[dialog::kReset1], u"Reset!") << c.name;
      EXPECT_EQ(window.texts[dialog::kPrefixes1], u"mine;") << c.name;
      window.texts[dialog::kPrefixes1] = u"edited";
      if (c.reset) handler.command(dialog::kReset1);
      handler.command(dialog::kOk);
      EXPECT_EQ(window.closed, c.closed) << c.name;
      EXPECT_EQ(window.texts[dialog::kPrefixes1], c.reset ? u",to " : u"edited") << c.name;
      if (!window.closed) handler.command(dialog::kCancel);
    };
    app.command(command::kPrefixSettings);
    EXPECT_EQ(platform_.questions,
              std::vector<std::u16string>{u"Are you sure you want to save these settings?"})
        << c.name;
    EXPECT_EQ(store_.keys[kSettingsKey][list1], StoredValue::of(c.stored)) << c.name;
    store_.keys[kSettingsKey][list1] = StoredValue::of(u"mine;");
    app.set_prefix_list(1, u"mine;");
  }
}

// ---- About box -------------------------------------------------------------------

TEST_F(DialogsTest, AboutBoxFadesEachFeatureLineAtItsTimes) {
  Application& app = start();
  platform_.dialog_script = [](FakeDialogWindow& window, DialogHandler& handler) {
    const Rgb base = window.base;
    EXPECT_TRUE(window.texts[dialog::kVersionLine].starts_with(u"Lexvia "));
    EXPECT_EQ(window.texts[dialog::kDictionaryLine],
              u"Selected Dictionary: en-de\nContains 3 expression pairs");
    window.advance(handler, 99);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine), u"");
    window.advance(handler, 100);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine),
              u"Supported only on PocketPC and PocketPC 2002 devices");
    const struct {
      int time;
      Rgb colour;
    } moments[] = {{100, base},
                   {299, base},
                   {300, AboutBox::blend(base, 1)},
                   {999, AboutBox::blend(base, 7)},
                   {1000, AboutBox::kTarget},
                   {4199, AboutBox::kTarget},
                   {4200, AboutBox::blend(base, 7)},
                   {4900, base}};
    for (const auto& m : moments) {
      window.advance(handler, m.time);
      EXPECT_EQ(window.colour_at(m.time), m.colour) << m.time;
    }
    window.advance(handler, 4999);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine),
              u"Supported only on PocketPC and PocketPC 2002 devices");
    window.advance(handler, 5000);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine),
              u"Highly compressed Dicitionary Database files");
    // Every later line follows 4900 ms after the one before; after 14 comes 1.
    window.advance(handler, 9899);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine),
              u"Highly compressed Dicitionary Database files");
    window.advance(handler, 9900);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine), u"4 different search methods");
    window.advance(handler, 100 + 4900 * 14 - 1);
    EXPECT_TRUE(window.control_text(dialog::kFeatureLine).ends_with(u"lexvia.example/forum"));
    window.advance(handler, 100 + 4900 * 14);
    EXPECT_EQ(window.control_text(dialog::kFeatureLine),
              u"Supported only on PocketPC and PocketPC 2002 devices");
    handler.command(dialog::kOk);
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(window.timer, 0);
  };
  app.command(command::kAbout);
  EXPECT_EQ(platform_.dialog_kinds, std::vector<DialogKind>{DialogKind::kAbout});
}

TEST_F(DialogsTest, AboutBoxSpeaksHungarianWhenTheLanguageIsNamedMagyarInAnyCase) {
  for (const char* name : {"MAGYAR", "Magyarul"}) {
    std::ofstream(dir_ / "data" / "lexvi_hu.iu2", std::ios::binary) << name << "\r\n";
    Application& app = restart();
    app.command(command::kFirstLanguage + 1);
    std::u16string first_line;
    platform_.dialog_script = [&](FakeDialogWindow& window, DialogHandler& handler) {
      window.advance(handler, 100);
      first_line = window.control_text(dialog::kFeatureLine);
      handler.command(dialog::kCancel);
    };
    app.command(command::kAbout);
    EXPECT_EQ(first_line == u"T\u00E1mogatja a PocketPC \u00E9s PocketPC 2002 term\u00E9keket",
              std::string(name) == "MAGYAR")
        << name;
  }
}

TEST_F(DialogsTest, AboutBoxBlendTruncatesTowardZero) {
  EXPECT_EQ(AboutBox::blend({255, 255, 255}, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(AboutBox::blend({255, 255, 255}, 1), (Rgb{225, 234, 251}));  // -245/8 = -30
  EXPECT_EQ(AboutBox::blend({0, 0, 0}, 1), (Rgb{1, 10, 27}));
  EXPECT_EQ(AboutBox::blend({0, 0, 0}, 8), AboutBox::kTarget);
}

// ---- Progress ---------------------------------------------------------------------

TEST_F(DialogsTest, ALookupShowsTranslatingWithACancelThatStopsIt) {
  Application& app = start();
  type(u"house");
  app.command(command::kTranslate);
  ASSERT_EQ(platform_.progress.size(), 1u);
  EXPECT_EQ(platform_.progress[0].text, u"Translating...");
  EXPECT_EQ(platform_.progress[0].cancel_caption, u"Cancel");
  EXPECT_EQ(platform_.progress[0].cancel, &app.cancel_flag());
  // A Cancel pressed before the lookup ran is cleared by its start.
  app.cancel_flag().set();
  const std::size_t before = platform_.list.rows.size();
  app.command(command::kTranslate);
  EXPECT_GT(platform_.list.rows.size(), before + 1);
}

}  // namespace
}  // namespace lexvia::testing
