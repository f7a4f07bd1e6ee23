// The main window's command table and the preparation of its menus.
#include <algorithm>
#include <string>

#include "dict/cp1252.h"
#include "shell/application.h"

namespace lexvia {

namespace {

// Only this many languages get a menu command (200 + index); the numbers
// after them belong to other commands.
constexpr int kMaxLanguages = command::kExit - command::kFirstLanguage;
constexpr std::size_t kMaxLanguageName = 251;
// Commands beyond this many waiting for an operation's end are dropped.
constexpr std::size_t kMaxWaiting = 16;

std::optional<BrowseMove> browse_move_of(int id) {
  switch (id) {
    case command::kPageUp:
      return BrowseMove::kPageUp;
    case command::kPageDown:
      return BrowseMove::kPageDown;
    case command::kLineUp:
      return BrowseMove::kLineUp;
    case command::kLineDown:
      return BrowseMove::kLineDown;
    case command::kHome:
      return BrowseMove::kHome;
    case command::kEnd:
      return BrowseMove::kEnd;
    default:
      return std::nullopt;
  }
}

}  // namespace

void Application::command(int id, int notification) {
  if (ending_) return;
  if (busy_) {
    wait_for_operation(id);
    return;
  }
  run_command(id, notification);
  run_waiting();
}

void Application::wait_for_operation(int id) {
  const bool each_counts =
      browse_move_of(id) || id == command::kDirection || id == command::kInvisibleListing;
  if (!each_counts && !waiting_.empty() && waiting_.back() == id) return;
  // A key held down while a slow operation runs would line up without end.
  if (waiting_.size() >= kMaxWaiting) return;
  waiting_.push_back(id);
}

void Application::run_waiting() {
  while (!busy_) {
    if (ending_) {
      waiting_.clear();
      if (!window_destroyed_) {
        window_destroyed_ = true;
        platform_.destroy_window();
      }
      return;
    }
    if (waiting_.empty()) return;
    const int id = waiting_.front();
    waiting_.pop_front();
    run_command(id);
  }
}

void Application::end() {
  ending_ = true;
  // The lookup stops at its next record; a speech call runs to its end.
  if (busy_) {
    cancel_.set();
    return;
  }
  run_waiting();
}

void Application::run_command(int id, int notification) {
  if (const auto move = browse_move_of(id)) {
    if (flags_.browse_mode) browse_move(*move);
    return;
  }
  if (id >= command::kFirstLanguage && id < command::kFirstLanguage + kMaxLanguages) {
    const int index = id - command::kFirstLanguage;
    if (index >= static_cast<int>(languages_.size())) return;
    loaded_language_.reset();
    keeper_.select_language(index);
    refresh_state();
    refocus_query();
    return;
  }
  if (id >= command::kExactSearch && id <= command::kFullSearch) {
    // Saved with the next save; the check mark moves when the menu next opens.
    settings_.search_method = static_cast<SearchMethod>(id - command::kExactSearch);
    refocus_query();
    return;
  }
  if (id > command::kQuickTranslateOff && id <= command::kQuickTranslateButton4) {
    settings_.quick_translate_on = true;
    settings_.quick_translate_button = id - command::kQuickTranslateOff;
    // The earlier button is given back before the refresh takes the new one.
    quick_.restore_button();
    refresh_state();
    refocus_query();
    return;
  }
  switch (id) {
    case command::kCancel:
    case command::kExit:
      exit_command();
      break;
    case command::kQueryBox:
      // The input panel the handheld raised here does not exist on a desktop.
      (void)notification;
      break;
    case command::kTranslate:
    case command::kBrowse:
      translate(id);
      break;
    case command::kClear:
      listing_.clear_results();
      break;
    case command::kSpeak:
      speak_query();
      if (flags_.browse_mode) browse_dialog_.activate();
      break;
    case command::kAbout: {
      AboutBox box(dialogs_);
      platform_.run_dialog(DialogKind::kAbout, box);
      // The browse page, if it is open, takes the window back.
      if (flags_.browse_mode) browse_dialog_.activate();
      break;
    }
    case command::kPrefixSettings: {
      ensure_prefix_lists();
      SearchOptionsDialog options(dialogs_);
      platform_.run_dialog(DialogKind::kSearchOptions, options);
      break;
    }
    case command::kHide:
      platform_.send_to_back();
      break;
    case command::kDirection:
      settings_.direction = other_direction(settings_.direction);
      // A browse position belongs to the other direction's section: the page
      // is listed again from the query, in the new direction.
      if (flags_.browse_mode && browse_dialog_.is_open()) browse_from_query();
      refresh_state();
      refocus_query();
      break;
    case command::kQuickTranslateOff:
      settings_.quick_translate_on = false;
      refresh_state();
      refocus_query();
      break;
    case command::kLoadDictionary:
      load_dictionary();
      break;
    case command::kHelp:
      platform_.show_help(
          help_file_path(settings_.language_index, &languages_, data_folder_));
      break;
    case command::kInvisibleListing:
      keeper_.toggle_invisible_listing();
      flags_.invisible_listing = settings_.invisible_listing;
      refresh_state();
      refocus_query();
      break;
    case command::kBack:
    case command::kForward:
      step_history(id == command::kBack ? 1 : -1);
      break;
    case command::kAddFavourite:
      add_favourite();
      break;
    case command::kHistoryPage:
    case command::kFavouritesPage:
      if (page_ && !flags_.browse_mode) {
        page_->open(id == command::kHistoryPage ? ListPage::Kind::kHistory
                                                : ListPage::Kind::kFavourites);
      }
      break;
    case command::kKeepHistory:
      keeper_.toggle_history();
      refocus_query();
      break;
    default:
      break;
  }
}

void Application::exit_command() {
  if (!flags_.browse_mode) {
    platform_.destroy_window();
    return;
  }
  // Exit closes the browse dialog instead of the program.
  if (browse_dialog_.is_open()) {
    browse_dialog_.command(command::kExit);
    return;
  }
  set_browse_mode(false);
  refresh_state();
  refocus_query();
}

void Application::set_browse_mode(bool on) { flags_.browse_mode = on; }

const std::string& Application::prepare_typed_query() {
  replaced_.clear();
  prepared_query_ = prepare_query(platform_.text(Control::kQueryBox), &replaced_);
  return prepared_query_;
}

void Application::translate(int id, bool record_it) {
  // The results come to the list the page covers: a lookup from elsewhere
  // (Quick Translate, Back) shows them.
  if (page_) page_->close();
  if (id == command::kBrowse) {
    set_browse_mode(true);
    browse_dialog_.open();
    // A page the dialog shows already gives way to the query's.
    browse_from_query();
    if (!prepared_query_.empty()) browse_dialog_.activate();
  } else {
    set_browse_mode(false);
    const std::string query = prepare_typed_query();
    if (!query.empty()) {
      const SearchMethod method = settings_.search_method;
      const Direction direction = settings_.direction;
      if (method == SearchMethod::kPhrase || method == SearchMethod::kFull) {
        ensure_prefix_lists();
        prefixes_.list = keeper_.get_prefix_list(static_cast<int>(direction));
      }
      // Before the lookup runs: a lookup that never ends (the program
      // killed meanwhile) is still in the history.
      if (record_it) record({trimmed_query(platform_.text(Control::kQueryBox)), direction, method});
      run_lookup([&] { engine_.search_dictionary(query, method, direction); });
    }
  }
  if (flags_.browse_mode) browse_dialog_.show_list();
  refresh_state();
  refocus_query();
}

void Application::record(const HistoryEntry& entry) {
  if (history_ == nullptr || !settings_.history_on) return;
  if (record_lookup(*history_, settings_, entry)) {
    history_position_ = 0;
    return;
  }
  // One line for each new trouble, not one for every lookup.
  const std::string& problem = history_->problem();
  if (problem.empty() || problem == history_problem_) return;
  history_problem_ = problem;
  listing_.append_line(
      format_interface_text(strings_.view(StringId::kHistoryProblem), {utf8_to_utf16(problem)}, {}),
      ColourCode::kError);
}

void Application::step_history(int step) {
  if (history_ == nullptr || flags_.browse_mode) return;
  const std::vector<HistoryEntry> entries = history_->history();
  // The first Back of a run goes to the newest lookup, the previous run's.
  const int next = history_position_ < 0 ? (step > 0 ? 0 : -1) : history_position_ + step;
  if (next < 0 || next >= static_cast<int>(entries.size())) return;
  history_position_ = next;
  run_entry(entries[static_cast<std::size_t>(next)], false);
}

void Application::run_entry(const HistoryEntry& entry, bool record_it) {
  platform_.set_text(Control::kQueryBox, entry.query);
  settings_.direction = entry.direction;
  settings_.search_method = entry.method;
  translate(command::kTranslate, record_it);
}

void Application::add_favourite() {
  if (history_ == nullptr || flags_.browse_mode) return;
  const std::u16string query = trimmed_query(platform_.text(Control::kQueryBox));
  if (!storable_query(query)) return;
  const ListChange change = history_->add_favourite({query, settings_.direction});
  const std::u16string line =
      change == ListChange::kFailed
          ? format_interface_text(strings_.view(StringId::kHistoryProblem),
                                  {utf8_to_utf16(history_->problem())}, {})
          : format_interface_text(strings_.view(change == ListChange::kChanged
                                                    ? StringId::kFavouriteKept
                                                    : StringId::kFavouriteAlready),
                                  {query}, {});
  listing_.append_line(line, ColourCode::kError);
  refocus_query();
}

void Application::browse_from_query() {
  if (ListControl* browse_list = listing_.browse_list()) browse_list->remove_all();
  listing_.remember_selection(true);
  const std::string query = prepare_typed_query();
  if (query.empty()) return;
  const Direction direction = settings_.direction;
  run_lookup([&] { engine_.search_dictionary(query, SearchMethod::kBrowse, direction); });
}

void Application::browse_move(BrowseMove move) {
  if (ListControl* browse_list = listing_.browse_list()) browse_list->remove_all();
  listing_.remember_selection(true);
  const Direction direction = settings_.direction;
  run_lookup([&] { engine_.browse_move(direction, move); });
}

void Application::list_page_again() {
  // The platform reports a size change only between operations; the page
  // the size took from the list comes back, from the same headword.
  if (busy_ || !flags_.browse_mode || listing_.browse_list() == nullptr) return;
  const Direction direction = settings_.direction;
  run_lookup([&] { engine_.list_page_again(direction); });
  run_waiting();
}

void Application::run_lookup(const std::function<void()>& work) {
  ListControl* const browse_list = flags_.browse_mode ? listing_.browse_list() : nullptr;
  const bool to_browse_list = browse_list != nullptr;
  queue_.reset(command_line_ || to_browse_list ? 0 : kResultListBound + 1);
  cancel_.clear();
  busy_ = true;
  // With Invisible Listing the lines reach the list only once the lookup
  // has ended, so the list repaints once.
  const bool live = !flags_.invisible_listing;
  const Progress progress{strings_.text(StringId::kTranslating), strings_.text(StringId::kCancel),
                          &cancel_};
  FindingLines lines(listing_, strings_);
  // A page closed while its move runs takes the rest of that page with it:
  // none of it may fall into the result list.
  struct : FindingSink {
    void deliver(const Finding&) override {}
  } dropped;
  const auto sink = [&]() -> FindingSink& {
    if (finding_sink_ != nullptr) return *finding_sink_;
    if (to_browse_list && listing_.browse_list() != browse_list) return dropped;
    return lines;
  };
  platform_.run_operation(
      work,
      [this, live, &sink] {
        if (live) queue_.deliver(sink());
      },
      progress);
  busy_ = false;
  queue_.deliver(sink());
  // A Hunspell dictionary that would not load is said once, as the tool
  // says it on standard error, rather than leaving misses unexplained.
  // The command-line tool says them on standard error.
  if (!command_line_) {
    for (const std::string& problem : word_forms_.take_new_problems()) {
      listing_.append_line(
          format_interface_text(strings_.view(StringId::kNoWordForms), {utf8_to_utf16(problem)}, {}),
          ColourCode::kError);
    }
  }
}

void Application::prepare_menu(MenuKind kind, Menu& menu) {
  const bool browsing = flags_.browse_mode;
  const auto text = [this](StringId id) { return strings_.text(id); };
  if (menu.holds(command::kLoadDictionary)) {
    // Every language item goes, not only the first ten: items past them
    // would otherwise pile up each time the menu opens.
    for (int j = 0; j < kMaxLanguages; ++j) {
      if (!menu.holds(command::kFirstLanguage + j)) break;
      menu.remove_item(command::kFirstLanguage + j);
    }
    const int count = std::min(static_cast<int>(languages_.size()), kMaxLanguages);
    for (int j = 0; j < count; ++j) {
      const std::u16string& name = languages_[static_cast<std::size_t>(j)].name;
      const int item = command::kFirstLanguage + j;
      menu.append_to_submenu(1, item, std::u16string_view(name).substr(0, kMaxLanguageName));
      menu.check_item(item, j == settings_.language_index);
      menu.enable_item(item, !browsing);
    }
    menu.set_item_text(command::kLoadDictionary, text(StringId::kLoadDictionary));
    menu.set_position_text(1, text(StringId::kSelectInterface));
    menu.set_item_text(command::kAbout, text(StringId::kAbout));
    menu.set_item_text(command::kHelp, text(StringId::kHelp));
    menu.set_item_text(command::kExit, text(StringId::kExit));
    menu.enable_item(command::kExit, !browsing);
    menu.enable_item(command::kLoadDictionary, !browsing);
    for (int position = 0; position <= 5; ++position) menu.enable_position(position, !browsing);
  } else {
    for (int m = 0; m < 4; ++m) {
      menu.set_item_text(command::kExactSearch + m,
                         strings_.interface_string(static_cast<int>(StringId::kExactSearch) + m));
    }
    menu.set_item_text(command::kInvisibleListing, text(StringId::kInvisibleListing));
    menu.set_item_text(command::kPrefixSettings, text(StringId::kPrefixSettings));
    for (int b = 1; b <= 4; ++b) {
      menu.set_item_text(command::kQuickTranslateOff + b,
                         strings_.interface_string(static_cast<int>(StringId::kButton1) + b - 1));
    }
    menu.set_item_text(command::kQuickTranslateOff, text(StringId::kOff));
    if (kind == MenuKind::kSearch) menu.set_position_text(5, text(StringId::kQuickTranslate));
  }
  for (int m = 0; m < 4; ++m) {
    menu.check_item(command::kExactSearch + m, m == static_cast<int>(settings_.search_method));
  }
  const bool quick = settings_.quick_translate_on;
  menu.check_item(command::kQuickTranslateOff, !quick);
  for (int b = 1; b <= 4; ++b) {
    menu.check_item(command::kQuickTranslateOff + b, quick && settings_.quick_translate_button == b);
  }
  menu.check_item(command::kInvisibleListing, settings_.invisible_listing);
  if (kind == MenuKind::kSearch) prepare_history_items(menu);
}

void Application::prepare_history_items(Menu& menu) {
  const auto text = [this](StringId id) { return strings_.text(id); };
  menu.set_item_text(command::kBack, text(StringId::kBack));
  menu.set_item_text(command::kForward, text(StringId::kForward));
  menu.set_item_text(command::kAddFavourite, text(StringId::kAddFavourite));
  menu.set_item_text(command::kHistoryPage, text(StringId::kHistoryItem));
  menu.set_item_text(command::kFavouritesPage, text(StringId::kFavouritesItem));
  menu.set_item_text(command::kKeepHistory, text(StringId::kKeepHistory));
  // The lists need the settings database; browsing covers the query they
  // work from.
  const bool lists = page_.has_value() && !flags_.browse_mode;
  const bool query_shown = lists && !page_->is_open();
  for (int id : {command::kBack, command::kForward, command::kAddFavourite}) {
    menu.enable_item(id, query_shown);
  }
  menu.enable_item(command::kHistoryPage, lists);
  menu.enable_item(command::kFavouritesPage, lists);
  menu.enable_item(command::kKeepHistory, page_.has_value());
  menu.check_item(command::kKeepHistory, settings_.history_on);
}

}  // namespace lexvia
