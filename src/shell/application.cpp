#include "shell/application.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "dict/cp1252.h"
#include "shell/paths.h"
#include "shell/speech.h"

namespace lexvia {

namespace {

constexpr char16_t kWindowKey[] = u"Software\\Apps\\Korvex\\Lexvia20\\Window";

}  // namespace

Application::Application(Platform& platform, KeyValueStore& store, std::string data_folder,
                         LookupHistory* history)
    : platform_(platform),
      store_(store),
      data_folder_(std::move(data_folder)),
      listing_(platform.result_list(), *this, flags_),
      errors_(listing_, strings_),
      keeper_({store_, settings_, errors_}),
      word_forms_(hunspell_folder()),
      engine_({settings_.dictionary_path, search_state_, cancel_, index_reader_,
               translation_reader_, queue_, prefixes_}),
      quick_(platform, store, utf8_to_utf16(executable_path())),
      dialogs_{platform_,
               listing_,
               strings_,
               keeper_,
               search_state_,
               labels_,
               languages_,
               flags_,
               active_dialog_,
               [this] { refresh_state(); },
               [this] { refocus_query(); },
               [this](int id) { command(id); },
               [this] { list_page_again(); }},
      browse_dialog_(dialogs_) {
  engine_.lend_word_forms(&word_forms_);
  history_ = history;
  // A row chosen on a page is a lookup of the user's: it goes to the top.
  if (history_ != nullptr) {
    page_.emplace(dialogs_, *history_, [this](const HistoryEntry& entry) { run_entry(entry, true); });
  }
}

Application::~Application() = default;

// ---- Start-up and shutdown -------------------------------------------------

void Application::start(const StartOptions& options) {
  command_line_ = options.command_line;
  // create_controls: the remembered selection starts forgotten (the last
  // copied line starts as "___", which no line matches).
  listing_.remember_selection(true);
  if (!command_line_) {
    fill_language_list(languages_, data_folder_);
    languages_filled_ = true;
  }
  keeper_.load_settings(options.dictionary);
  // Before anything that shows text.
  load_language(settings_.language_index);
  // Without a dictionary given or stored the desktop program asks for one;
  // the command-line tool takes its bundled one.
  if (!settings_.dictionary_path) {
    settings_.dictionary_path =
        command_line_ ? options.fallback_dictionary
                      : platform_.choose_file(FileKind::kDictionary,
                                              strings_.text(StringId::kDictionaryFile));
  }
  // The command-line tool reads the prefix lists only when a lookup needs
  // them, and shows no direction labels.
  prefix_lists_loaded_ = !command_line_;
  if (!command_line_) {
    keeper_.load_prefix_lists();
    build_direction_labels({settings_.dictionary_path, errors_}, labels_);
  }
  layout_controls();
  refresh_state();
  refocus_query();
  if (!command_line_ && !settings_.speech_library_path && options.default_speech_library &&
      store_.file_exists(*options.default_speech_library)) {
    settings_.speech_library_path = options.default_speech_library;
  }
  flags_.invisible_listing = settings_.invisible_listing;
  listing_.append_line(strings_.text(StringId::kReady), ColourCode::kError);
  if (!command_line_) reopen_page();
}

void Application::shutdown() {
  ensure_prefix_lists();
  keeper_.save_settings();
  clear_language_list(languages_);
  languages_filled_ = false;
  loaded_language_.reset();
}

void Application::finish() {
  strings_.clear();
  loaded_language_.reset();
  quick_.remove_tray_icon();
  quick_.restore_button();
}

void Application::load_language(int index) {
  // The command-line tool reads the modules only for a module language.
  if (!languages_filled_ && index > 0) {
    fill_language_list(languages_, data_folder_);
    languages_filled_ = true;
  }
  // A language's strings stay until another is chosen (or the same one again
  // from the menu): the refresh after every lookup would otherwise read its
  // module anew each time.
  if (loaded_language_ == index) return;
  load_interface_strings(index, languages_filled_ ? &languages_ : nullptr, strings_);
  loaded_language_ = index;
}

void Application::ensure_prefix_lists() {
  if (prefix_lists_loaded_) return;
  prefix_lists_loaded_ = true;
  keeper_.load_prefix_lists();
}

void Application::set_prefix_list(int n, std::u16string_view text) {
  ensure_prefix_lists();
  keeper_.set_prefix_list(n, text);
}

void Application::load_dictionary() {
  ensure_prefix_lists();
  keeper_.save_prefix_lists();
  keeper_.take_dictionary(
      platform_.choose_file(FileKind::kDictionary, strings_.text(StringId::kDictionaryFile)));
  build_direction_labels({settings_.dictionary_path, errors_}, labels_);
  refresh_state();
  refocus_query();
}

// ---- The window ------------------------------------------------------------

void Application::layout_controls() {
  if (in_layout_) return;
  in_layout_ = true;
  const Size client = platform_.client_size();
  const int w = client.width;
  const int h = client.height;
  platform_.place(Control::kQueryLabel, {2, 2, 106, 14});
  platform_.place(Control::kQueryBox, {2, 20, w - 86, 20});
  platform_.place(Control::kTranslateButton, {w - 82, 20, 80, 20});
  platform_.place(Control::kDirectionButton, {w - 82, 2, 80, 16});
  platform_.place(Control::kResultList, {2, 44, w - 4, h - 46});
  platform_.set_visible(Control::kLanguageList, false);
  platform_.set_visible(Control::kResultList, true);
  // So that a vertical scroll bar never brings a horizontal one.
  platform_.set_result_column_width(w - platform_.scroll_bar_width() - 6);
  in_layout_ = false;
}

void Application::refresh_state() {
  if (in_refresh_) return;
  in_refresh_ = true;
  load_language(settings_.language_index);
  platform_.set_text(Control::kDirectionButton, direction_label(labels_, settings_.direction));
  platform_.set_text(Control::kQueryLabel, strings_.view(StringId::kWordOrPhrase));
  platform_.set_text(Control::kTranslateButton, strings_.view(StringId::kTranslate));
  platform_.set_menu_button_text(command::kDictMenu, strings_.view(StringId::kDictMenu));
  platform_.set_menu_button_text(command::kSearchMenu, strings_.view(StringId::kSearchMenu));
  const bool browsing = flags_.browse_mode;
  platform_.enable_menu_button(command::kHide, settings_.quick_translate_on);
  platform_.enable_menu_button(command::kSpeak, true);
  platform_.enable_menu_button(command::kBrowse, !browsing);
  platform_.enable_menu_button(command::kClear, !browsing);
  platform_.enable_menu_button(command::kSearchMenu, !browsing);
  platform_.set_enabled(Control::kTranslateButton, !browsing);
  apply_quick_translate();
  in_refresh_ = false;
}

void Application::apply_quick_translate() {
  const bool missing_before = quick_.tray_missing();
  quick_.apply(settings_.quick_translate_on, settings_.quick_translate_button,
               strings_.view(StringId::kQuickTranslate));
  // Said once, rather than failing silently: a second start of the program
  // (a key bound to it) still does what the tray icon would.
  if (quick_.tray_missing() && !missing_before && !command_line_) {
    listing_.append_line(u"No system tray here: start lexvia again (from a key bound to it) "
                         u"to translate the clipboard",
                         ColourCode::kError);
  }
}

void Application::refocus_query() {
  if (!flags_.browse_mode) platform_.focus_query();
}

void Application::set_text(std::u16string_view text) {
  platform_.set_text(Control::kQueryBox, text);
}

void Application::activate(int state, ActivationOrigin origin) {
  if (state != kActivated && state != kClickActivated) return;
  if (in_activation_) return;
  in_activation_ = true;
  platform_.bring_to_front();
  // Only an activation from outside translates the clipboard. The late
  // answer to the window's own request to come forward is the activation
  // the guard stops (the tray's tap has translated already), and the focus
  // coming back from the program's own windows would replace what was typed.
  if (state == kActivated && origin == ActivationOrigin::kOutside && settings_.quick_translate_on &&
      settings_.quick_translate_button > 0) {
    quick_translate_message(kTrayIconId, kTrayTap);
  }
  if (active_dialog_ != nullptr) {
    active_dialog_->activated();
  } else {
    refocus_query();
  }
  in_activation_ = false;
}

void Application::quick_translate_message(int id, int code) {
  if (id != kTrayIconId || code != kTrayTap || !settings_.quick_translate_on) return;
  if (in_quick_translate_) return;
  in_quick_translate_ = true;
  // Inside an activation the guard makes this do nothing: that activation
  // has already brought the window forward.
  activate(kClickActivated);
  translate_clipboard();
  in_quick_translate_ = false;
}

void Application::translate_clipboard() {
  const auto text = platform_.clipboard_text();
  if (!text) return;
  platform_.set_text(Control::kQueryBox, *text);
  platform_.post_command(command::kTranslate);
}

void Application::speak_query() {
  if (settings_.speech_library_path) {
    const std::string library = *settings_.speech_library_path;
    const std::string text = speech_text(platform_.text(Control::kQueryBox));
    // The plug-in takes the voice of the query's language.
    const auto summary = read_dictionary_summary(settings_.dictionary_path);
    const std::string language = summary ? summary->from(settings_.direction) : "";
    ::setenv("LEXVIA_SPEECH_LANGUAGE", language.c_str(), 1);
    SpeechResult result = SpeechResult::kSpoken;
    busy_ = true;
    platform_.run_operation([&] { result = speak_with_library(library, text); }, [] {},
                            {strings_.text(StringId::kSynthetizingSpeech),
                             strings_.text(StringId::kCancel), nullptr});
    busy_ = false;
    if (result != SpeechResult::kSpoken) settings_.speech_library_path.reset();
    // No file dialog once the program is ending.
    if (settings_.speech_library_path || ending_) return;
  }
  // A library that cannot be loaded or lacks the export is forgotten and
  // another asked for at once.
  if (auto chosen =
          platform_.choose_file(FileKind::kSpeechLibrary, strings_.text(StringId::kSpeechLibraryFile))) {
    settings_.speech_library_path = std::move(chosen);
    platform_.post_command(command::kSpeak);
  }
}

// While a lookup runs its lines are still arriving: a click then copies nothing.
void Application::result_selection_changed() {
  if (!busy_) listing_.remember_selection(false);
}

void Application::result_list_focused() {
  if (!busy_) listing_.copy_selection_to_query(true);
}

// ---- Window place ----------------------------------------------------------

std::optional<Rect> Application::stored_window_place() {
  if (!store_.open_key(kWindowKey)) return std::nullopt;
  Rect place;
  bool complete = true;
  for (auto [name, field] : {std::pair{u"Left", &place.x}, std::pair{u"Top", &place.y},
                             std::pair{u"Width", &place.width}, std::pair{u"Height", &place.height}}) {
    const auto value = store_.query_value(name);
    if (!value || value->type != StoredValue::Type::kInteger) {
      complete = false;
    } else {
      *field = value->integer;
    }
  }
  store_.close_key();
  if (!complete || place.width <= 0 || place.height <= 0) return std::nullopt;
  return place;
}

void Application::store_window_place(Rect place) {
  if (!store_.create_key(kWindowKey)) return;
  store_.set_value(u"Left", StoredValue::of(place.x));
  store_.set_value(u"Top", StoredValue::of(place.y));
  store_.set_value(u"Width", StoredValue::of(place.width));
  store_.set_value(u"Height", StoredValue::of(place.height));
  store_.set_value(u"Page", StoredValue::of(open_page()));
  store_.close_key();
}

int Application::open_page() const {
  if (!page_ || !page_->is_open()) return 0;
  return page_->kind() == ListPage::Kind::kHistory ? 1 : 2;
}

void Application::reopen_page() {
  if (!page_ || !store_.open_key(kWindowKey)) return;
  const auto value = store_.query_value(u"Page");
  store_.close_key();
  if (!value || value->type != StoredValue::Type::kInteger) return;
  if (value->integer == 1) page_->open(ListPage::Kind::kHistory);
  if (value->integer == 2) page_->open(ListPage::Kind::kFavourites);
}

}  // namespace lexvia
