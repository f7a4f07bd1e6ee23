// The application under the desktop's timing, over the recording platform:
// activations that arrive late, and commands, activations and the end of
// the program that arrive while an operation runs (from the event loop that
// keeps the window painted meanwhile).
#include <gtest/gtest.h>

#include "shell/app_fixture.h"
#include "shell/dialog_ids.h"

namespace lexvia::testing {
namespace {

class TimingTest : public ApplicationTest {
 protected:
  // Quick Translate on with button 2, "dog" on the clipboard, "house"
  // typed, and the platform's late activations.
  Application& start_quick_translate() {
    store_.keys[kSettingsKey][u"QuickTranslate"] = StoredValue::of(1);
    store_.keys[kSettingsKey][u"QuickTranslateButton"] = StoredValue::of(2);
    Application& app = restart();
    platform_.late_activations = true;
    platform_.clipboard = u"dog";
    type(u"house");
    return app;
  }
  // The message loop: posted commands, then the activations that came late
  // (the window system answers after the program posted), until none is left.
  void run_loop() {
    for (int events = 0; !platform_.posted.empty() || !platform_.due.empty(); ++events) {
      // Each lookup's progress dialog giving the focus back could start the next.
      if (events == 100) {
        ADD_FAILURE() << "the events do not settle";
        return;
      }
      if (!platform_.posted.empty()) {
        const int id = platform_.posted.front();
        platform_.posted.erase(platform_.posted.begin());
        app_->command(id);
      } else {
        const ActivationOrigin origin = platform_.due.front();
        platform_.due.pop_front();
        platform_.active = true;
        platform_.front_requested = false;
        app_->activate(kActivated, origin);
      }
    }
  }
  // The queries of the title lines listed since `from`.
  std::vector<std::string> titles_since(std::size_t from) const {
    std::vector<std::string> out;
    const auto all = lines();
    for (std::size_t i = from; i < all.size(); ++i) {
      const std::string& text = all[i].text;
      if (const auto quote = text.find(": \"");
          quote != std::string::npos && all[i].colour == static_cast<int>(ColourCode::kTitle)) {
        out.push_back(text.substr(quote + 3, text.size() - quote - 4));
      }
    }
    return out;
  }
};

// With Quick Translate on and a button chosen, a desktop's activation that
// comes from outside (another program, a second start) translates the
// clipboard once; the late answer to the window's own request to come
// forward and the focus coming back from its own windows do not.
TEST_F(TimingTest, OnlyAnActivationFromOutsideTranslatesTheClipboardAndOnlyOnce) {
  struct Case {
    const char* name;
    std::function<void(Application&)> act;
    std::vector<std::string> titles;  // the lookups that follow
  };
  const Case cases[] = {
      {"tray tap, window hidden",
       [](Application& app) {
         app.command(command::kHide);
         app.quick_translate_message(kTrayIconId, kTrayTap);
       },
       {"dog"}},
      {"tray tap, another program active",
       [this](Application& app) {
         platform_.active = false;
         app.quick_translate_message(kTrayIconId, kTrayTap);
       },
       {"dog"}},
      {"second start, window hidden",
       [](Application& app) {
         app.command(command::kHide);
         app.activate(kActivated, ActivationOrigin::kOutside);
       },
       {"dog"}},
      {"back from the file chooser",
       [](Application& app) { app.command(command::kLoadDictionary); },
       {}},
      {"back from the help window", [](Application& app) { app.command(command::kHelp); }, {}},
      {"back from the progress dialog",
       [](Application& app) { app.command(command::kTranslate); },
       {"house"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Application& app = start_quick_translate();
    const std::size_t before = platform_.list.rows.size();
    c.act(app);
    run_loop();
    EXPECT_EQ(titles_since(before), c.titles);
    const bool translated = std::find(c.titles.begin(), c.titles.end(), "dog") != c.titles.end();
    EXPECT_EQ(platform_.text(Control::kQueryBox), translated ? u"dog" : u"house");
  }
}

// What arrives while a lookup, a move or a speech call runs waits for its
// end and then runs in turn; a repeated Translate runs once, each move counts.
TEST_F(TimingTest, WhatArrivesWhileAnOperationRunsWaitsForItsEnd) {
  store_.keys[kSettingsKey][u"Speech Library"] =
      StoredValue::of(utf8_to_utf16(LEXVIA_SPEECH_PROBE));
  store_.files[LEXVIA_SPEECH_PROBE] = true;
  ::setenv("LEXVIA_PROBE_OUT", (dir_ / "spoken.txt").c_str(), 1);
  struct Case {
    const char* name;
    int command;  // the operation
    bool browse;  // browsing from "house", one headword a page
    std::function<void(Application&)> meanwhile;
    std::vector<std::string> titles;  // the lookups, in order
    std::vector<Line> page;           // the browse page at the end
    int result_lines = -1;            // new lines of the result list (-1: not counted)
    Direction direction = Direction::kFrom1;
  };
  const Case cases[] = {
      {"tray tap during a lookup",
       command::kTranslate,
       false,
       [this](Application& app) {
         app.quick_translate_message(kTrayIconId, kTrayTap);
         run_loop();
       },
       {"house", "dog"},
       {}},
      {"second start during speech",
       command::kSpeak,
       false,
       [this](Application& app) {
         app.activate(kActivated, ActivationOrigin::kOutside);
         run_loop();
       },
       {"dog"},
       {}},
      {"Translate five times during a lookup",
       command::kTranslate,
       false,
       [](Application& app) {
         for (int i = 0; i < 5; ++i) app.command(command::kTranslate);
       },
       {"house", "house"},
       {}},
      {"the direction three times, then Translate",
       command::kTranslate,
       false,
       [](Application& app) {
         for (int i = 0; i < 3; ++i) app.command(command::kDirection);
         app.command(command::kTranslate);
       },
       {"house", "house"},
       {},
       -1,
       Direction::kFrom2},
      {"two moves up during a move down",
       command::kLineDown,
       true,
       [](Application& app) {
         app.command(command::kLineUp);
         app.command(command::kLineUp);
       },
       {},
       {head("dog")}},
      {"the page closed during a move",
       command::kLineDown,
       true,
       [this](Application&) { platform_.browse_handler->command(dialog::kOk); },
       {},
       {},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Application& app = start_quick_translate();
    if (c.browse) {
      platform_.page_rows = 1;
      type(u"house");
      app.command(command::kBrowse);
      run_loop();
    }
    const std::size_t before = platform_.list.rows.size();
    platform_.meanwhile = [&] { c.meanwhile(app); };
    app.command(c.command);
    run_loop();
    EXPECT_FALSE(platform_.meanwhile) << "no operation ran";
    EXPECT_EQ(titles_since(before), c.titles);
    if (c.browse) {
      EXPECT_EQ(page(), c.page);
    }
    if (c.result_lines >= 0) {
      EXPECT_EQ(platform_.list.rows.size() - before, static_cast<std::size_t>(c.result_lines));
    }
    EXPECT_EQ(app.settings().direction, c.direction);
  }
}

// The end of the program (a signal, the window's close button) asked for
// while an operation runs cancels it and comes once it has ended; nothing
// that arrives meanwhile runs.
TEST_F(TimingTest, AnEndWhileAnOperationRunsCancelsItAndComesAfterIt) {
  store_.keys[kSettingsKey][u"Speech Library"] =
      StoredValue::of(utf8_to_utf16(LEXVIA_SPEECH_PROBE));
  store_.files[LEXVIA_SPEECH_PROBE] = true;
  ::setenv("LEXVIA_PROBE_OUT", (dir_ / "spoken.txt").c_str(), 1);
  for (const int operation : {command::kTranslate, command::kSpeak}) {
    SCOPED_TRACE(operation);
    Application& app = start_quick_translate();
    const std::size_t operations = platform_.progress.size();
    int destroyed_meanwhile = -1;
    platform_.meanwhile = [&] {
      app.command(command::kTranslate);
      app.end();
      app.command(command::kTranslate);
      destroyed_meanwhile = platform_.destroy_count;
    };
    app.command(operation);
    run_loop();
    EXPECT_EQ(destroyed_meanwhile, 0);
    EXPECT_TRUE(app.cancel_flag().is_set());
    EXPECT_EQ(platform_.destroy_count, 1);
    EXPECT_EQ(platform_.progress.size(), operations + 1);  // no lookup after it
  }
}

}  // namespace
}  // namespace lexvia::testing
