// Quick Translate's tray icon and hardware-button table, and speech through
// a plug-in, over the recording platform.
#include "shell/quick_translate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/app_fixture.h"
#include "shell/paths.h"
#include "shell/speech.h"

namespace lexvia::testing {
namespace {

class QuickTranslateTest : public ApplicationTest {
 protected:
  std::optional<StoredValue> button_value(const char16_t* name) {
    auto& values = store_.keys[std::u16string(kButtonKeys) + name];
    const auto it = values.find(u"");
    return it == values.end() ? std::nullopt : std::optional(it->second);
  }
  const StoredValue program() const {
    return StoredValue::of(u"\"" + utf8_to_utf16(executable_path()) + u"\"");
  }
};

TEST_F(QuickTranslateTest, ButtonsAreRemappedAndGivenBackInTurn) {
  store_.keys[std::u16string(kButtonKeys) + u"40C2"][u""] = StoredValue::of(u"\"/bin/notes\"");
  Application& app = start();
  EXPECT_TRUE(platform_.tray_tips.empty());

  app.command(command::kQuickTranslateOff + 2);
  EXPECT_EQ(button_value(u"40C2"), program());
  EXPECT_EQ(platform_.tray_tips, std::vector<std::u16string>{u"Quick Translate"});
  EXPECT_TRUE(platform_.menu_button_enabled[command::kHide]);

  // The earlier button first gets its entry back, then the new one is taken.
  app.command(command::kQuickTranslateOff + 3);
  EXPECT_EQ(button_value(u"40C2"), StoredValue::of(u"\"/bin/notes\""));
  EXPECT_EQ(button_value(u"40C3"), program());
  EXPECT_EQ(platform_.tray_tips.size(), 1u);  // the icon stays, with its tip

  // Off: the button without an earlier entry gets the empty text.
  app.command(command::kQuickTranslateOff);
  EXPECT_EQ(button_value(u"40C3"), StoredValue::of(u""));
  EXPECT_EQ(platform_.tray_removals, 1);
  EXPECT_FALSE(app.quick_translate().icon_added());
  EXPECT_FALSE(platform_.menu_button_enabled[command::kHide]);
}

TEST_F(QuickTranslateTest, StoredQuickTranslateStartsWithTheIconAndEndsGivingTheButtonBack) {
  store_.keys[kSettingsKey][u"QuickTranslate"] = StoredValue::of(1);
  store_.keys[kSettingsKey][u"QuickTranslateButton"] = StoredValue::of(1);
  Application& app = start();
  EXPECT_EQ(button_value(u"40C1"), program());
  EXPECT_TRUE(app.quick_translate().icon_added());
  app.shutdown();
  app.finish();
  EXPECT_EQ(button_value(u"40C1"), StoredValue::of(u""));
  EXPECT_EQ(platform_.tray_removals, 1);

  // Button 0: the icon, but no key.
  store_.keys.erase(std::u16string(kButtonKeys) + u"40C1");
  store_.keys[kSettingsKey][u"QuickTranslateButton"] = StoredValue::of(0);
  restart();
  EXPECT_TRUE(app_->quick_translate().icon_added());
  EXPECT_FALSE(app_->quick_translate().button_remapped());
  EXPECT_FALSE(button_value(u"40C1"));
}

TEST_F(QuickTranslateTest, WithoutATrayTheResultListSaysSoOnce) {
  platform_.has_tray = false;
  Application& app = start();
  app.command(command::kQuickTranslateOff + 1);
  app.command(command::kDirection);
  app.command(command::kQuickTranslateOff);
  app.command(command::kQuickTranslateOff + 2);
  int said = 0;
  for (const auto& row : platform_.list.rows) said += row.text.starts_with(u"No system tray") ? 1 : 0;
  EXPECT_EQ(said, 1);
}

// ---- Speech --------------------------------------------------------------------

TEST_F(QuickTranslateTest, SpeechGivesThePlugInTheTrimmedQueryInTheQueryLanguage) {
  const std::string out = (dir_ / "spoken.txt").string();
  ::setenv("LEXVIA_PROBE_OUT", out.c_str(), 1);
  store_.keys[kSettingsKey][u"Speech Library"] = StoredValue::of(utf8_to_utf16(LEXVIA_SPEECH_PROBE));
  store_.files[LEXVIA_SPEECH_PROBE] = true;
  Application& app = start();
  for (const char16_t* query : {u"  house ", u"   ", u"Stra\u00DFe"}) {
    type(query);
    app.command(command::kSpeak);
  }
  app.command(command::kDirection);
  type(u"Haus");
  app.command(command::kSpeak);
  std::ifstream in(out, std::ios::binary);
  const std::string said((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(said, "en|house\nen|\nen|Stra\xDF" "e\nde|Haus\n");
  EXPECT_TRUE(platform_.chooser_calls.empty());
  ASSERT_FALSE(platform_.progress.empty());
  EXPECT_EQ(platform_.progress.back().text, u"Synthetizing Speech...");
  EXPECT_EQ(platform_.progress.back().cancel, nullptr);
}

TEST_F(QuickTranslateTest, AnUnusableLibraryIsForgottenAndAnotherAskedForUntilCancel) {
  const std::string not_a_library = (dir_ / "notes.txt").string();
  std::ofstream(not_a_library) << "plain text";
  Application& app = start();
  // No library yet: asked at once. Then one that does not load, then one
  // without the export, then cancel.
  const std::vector<std::optional<std::string>> answers = {not_a_library,
                                                           LEXVIA_SPEECH_NO_EXPORT, std::nullopt};
  std::size_t next = 0;
  platform_.chooser_answer = answers[next++];
  app.command(command::kSpeak);
  while (!platform_.posted.empty()) {
    ASSERT_EQ(platform_.posted.back(), command::kSpeak);
    platform_.posted.clear();
    ASSERT_LT(next, answers.size());
    platform_.chooser_answer = answers[next++];
    app.command(command::kSpeak);
  }
  EXPECT_EQ(platform_.chooser_calls.size(), 3u);
  for (const auto& call : platform_.chooser_calls) {
    EXPECT_EQ(call.kind, FileKind::kSpeechLibrary);
    EXPECT_EQ(call.title, u"Speech Library");
  }
  EXPECT_FALSE(app.settings().speech_library_path);
  EXPECT_EQ(speak_with_library(not_a_library, "x"), SpeechResult::kCannotLoad);
  // The loader would wait for ever on a FIFO.
  const std::string fifo = not_a_library + ".fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(speak_with_library(fifo, "x"), SpeechResult::kCannotLoad);
  ::unlink(fifo.c_str());
  EXPECT_EQ(speak_with_library(LEXVIA_SPEECH_NO_EXPORT, "x"), SpeechResult::kNoExport);
}

TEST_F(QuickTranslateTest, TheBundledPlugInIsTakenWhenNoneIsStored) {
  StartOptions options;
  options.default_speech_library = LEXVIA_SPEECH_PROBE;
  store_.files[LEXVIA_SPEECH_PROBE] = true;
  app_ = std::make_unique<Application>(platform_, store_, data_folder());
  app_->start(options);
  EXPECT_EQ(app_->settings().speech_library_path, std::string(LEXVIA_SPEECH_PROBE));
}

}  // namespace
}  // namespace lexvia::testing
