// The application: one object that owns the whole state of a run (settings,
// interface strings, language list, result listing, search engine and its
// readers) and holds the program's behaviour in plain C++: start-up, the main
// window's layout and refresh, activation, the command table, the menus and
// the shutdown. It talks to a window system only through Platform, so the
// desktop program, the command-line tool and the tests drive the same code.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "dict/dictionary_info.h"
#include "dict/windowed_reader.h"
#include "listing/result_list.h"
#include "search/hunspell_forms.h"
#include "search/search_engine.h"
#include "settings/dictionary_texts.h"
#include "settings/key_value_store.h"
#include "settings/language_modules.h"
#include "settings/lookup_history.h"
#include "settings/settings.h"
#include "shell/dialogs.h"
#include "shell/lookup_output.h"
#include "shell/platform.h"
#include "shell/quick_translate.h"

namespace lexvia {

struct StartOptions {
  // Takes the place of the stored dictionary (and so never asks for one).
  std::optional<std::string> dictionary;
  // The command-line tool's dictionary when none is given or stored.
  std::optional<std::string> fallback_dictionary;
  // The speech plug-in taken when none is stored (the one installed beside
  // the program).
  std::optional<std::string> default_speech_library;
  // The command-line tool shows no window: it asks for no dictionary, builds
  // no direction labels, reads the language list only for a module language
  // and a dictionary's prefix lists only when Phrase or Full Search needs
  // them, and keeps every line a lookup lists.
  bool command_line = false;
};

class Application final : private QueryBox {
 public:
  // The data folder holds the language modules and help files.
  // The desktop program hands over the lookup history it records its
  // lookups in; without one (the command-line tool) nothing is recorded and
  // the history and favourites commands do nothing.
  Application(Platform& platform, KeyValueStore& store, std::string data_folder,
              LookupHistory* history = nullptr);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Start-up once the main window exists: its controls, the settings, and
  // the first line "Ready".
  void start(const StartOptions& options = {});
  // WM_DESTROY: saves the settings and clears the language list.
  void shutdown();
  // After the message loop (also when the program is told to end): frees the
  // interface strings, removes the tray icon and gives the button back.
  void finish();
  // The program is told to end (a signal, the window's close button): the
  // window goes at once, or, while an operation runs, the operation is
  // cancelled and the window goes once it has ended. Commands still waiting
  // and those that arrive meanwhile are dropped.
  void end();

  // The command table; `notification` is the high word of the command.
  // One that arrives while an operation runs (from the event loop that keeps
  // the window painted meanwhile) waits and runs after it, in the order of
  // arrival; a command that repeats the one last in line adds nothing (five
  // clicks on Translate look up once), except the browse moves, the
  // direction button and Invisible Listing, each of which counts.
  void command(int id, int notification = 0);
  void prepare_menu(MenuKind kind, Menu& menu);
  void layout_controls();
  void refresh_state();
  void refocus_query() override;
  // WM_ACTIVATE with state 1 (activated) or 2 (activated by a click).
  void activate(int state, ActivationOrigin origin = ActivationOrigin::kOutside);
  // The Quick Translate message (the tray icon's tap, or activation).
  void quick_translate_message(int id, int code);

  // Notifications of the result list.
  void result_selection_changed();  // an item's selection state changed
  void result_list_focused();       // the list gained the input focus

  // True while a lookup or a speech call runs; commands that arrive
  // meanwhile wait for its end (see command()).
  bool busy() const { return busy_; }

  // Lookups and moves read this copy of the selected dictionary instead of
  // opening it each time (the command-line tool's batches); nullptr ends it.
  // It must stay the selected file's and outlive its use.
  void lend_dictionary_file(FileSource* file) { engine_.lend_file(file); }
  // The base forms lookups ask for when they find nothing: Hunspell's, from
  // $LEXVIA_HUNSPELL_DIR or the system's folder, loaded at the first miss.
  HunspellForms& word_forms() { return word_forms_; }

  // The findings of lookups and moves go to this sink instead of becoming
  // lines of the result list or the browse list (the command-line tool
  // answers with them); nullptr gives them back to the lists.
  void set_finding_sink(FindingSink* sink) { finding_sink_ = sink; }
  // The query the last Translate or Browse looked up (empty when there was
  // nothing to look up), and the typed characters it looked up as others.
  const std::string& prepared_query() const { return prepared_query_; }
  const std::vector<Replacement>& query_replacements() const { return replaced_; }

  // State for readers: the platform layer, the command-line tool, tests.
  const Settings& settings() const { return settings_; }
  const ListingFlags& flags() const { return flags_; }
  const ResultListing& listing() const { return listing_; }
  const InterfaceStrings& strings() const { return strings_; }
  const LanguageList& languages() const { return languages_; }
  const DirectionLabels& labels() const { return labels_; }
  const SearchState& search_state() const { return search_state_; }
  const QuickTranslate& quick_translate() const { return quick_; }
  const std::string& data_folder() const { return data_folder_; }
  CancelFlag& cancel_flag() { return cancel_; }

  // Replaces prefix list n (1 or 2) for this run, as the Search Options do.
  void set_prefix_list(int n, std::u16string_view text);

  // The window's place across runs (not a setting of the handheld's, so kept
  // in values of its own); nothing when none is stored.
  std::optional<Rect> stored_window_place();
  void store_window_place(Rect place);

 private:
  // QueryBox, for the listing's copy of a tapped line.
  void set_text(std::u16string_view text) override;

  void load_language(int index);
  void load_dictionary();
  void ensure_prefix_lists();
  // The query box's text, prepared for a lookup.
  const std::string& prepare_typed_query();
  void run_command(int id, int notification = 0);
  void wait_for_operation(int id);
  // After a command or another step that may have run an operation: the
  // end asked for meanwhile, else the commands that waited, in turn.
  void run_waiting();
  void translate(int id, bool record_it = true);
  void browse_from_query();
  void browse_move(BrowseMove move);
  void list_page_again();
  void run_lookup(const std::function<void()>& work);
  void set_browse_mode(bool on);
  void exit_command();
  void translate_clipboard();
  // Records a lookup about to run, saying once why the history cannot keep
  // it when it cannot.
  void record(const HistoryEntry& entry);
  // Back (+1, older) and Forward (-1) through the history, and a lookup of
  // an entry without recording it again.
  void step_history(int step);
  void run_entry(const HistoryEntry& entry, bool record_it);
  void add_favourite();
  // The history page (1) or favourites page (2) that is open, 0 for none,
  // kept with the window's place; and the one kept there, opened again at
  // the start.
  int open_page() const;
  void reopen_page();
  void prepare_history_items(Menu& menu);
  void apply_quick_translate();
  void speak_query();

  Platform& platform_;
  KeyValueStore& store_;
  std::string data_folder_;
  bool command_line_ = false;

  Settings settings_;
  StringTable strings_;
  LanguageList languages_;
  bool languages_filled_ = false;
  std::optional<int> loaded_language_;  // whose strings strings_ holds
  DirectionLabels labels_;
  ListingFlags flags_;
  ResultListing listing_;
  ErrorLines errors_;
  SettingsKeeper keeper_;
  bool prefix_lists_loaded_ = true;

  SearchState search_state_;
  CancelFlag cancel_;
  WindowedReader index_reader_;
  WindowedReader translation_reader_;
  LookupQueue queue_;
  // The prefix list of the lookup that runs, taken before it starts.
  class PrefixSnapshot final : public PrefixListSource {
   public:
    std::u16string get_prefix_list(Direction) override { return list; }
    std::u16string list;
  } prefixes_;
  HunspellForms word_forms_;
  SearchEngine engine_;
  FindingSink* finding_sink_ = nullptr;
  std::string prepared_query_;
  std::vector<Replacement> replaced_;

  QuickTranslate quick_;

  // The dialog that takes the main window's activation while it is open.
  DialogHandler* active_dialog_ = nullptr;
  DialogContext dialogs_;
  BrowseDialog browse_dialog_;

  // Re-entry guards: a nested call returns at once.
  bool in_activation_ = false;
  bool in_quick_translate_ = false;
  bool in_layout_ = false;
  bool in_refresh_ = false;
  bool busy_ = false;

  LookupHistory* history_ = nullptr;
  // Where Back and Forward stand in the history: 0 is its newest entry;
  // -1 before any step or lookup of this run.
  int history_position_ = -1;
  std::string history_problem_;  // said already
  std::optional<ListPage> page_;  // with a history only

  // What arrived while an operation ran, to run after it.
  std::deque<int> waiting_;
  bool ending_ = false;
  bool window_destroyed_ = false;
};

}  // namespace lexvia
