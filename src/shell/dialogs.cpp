#include "shell/dialogs.h"

#include <algorithm>

#include "settings/dictionary_texts.h"

#ifndef LEXVIA_VERSION
#define LEXVIA_VERSION "0"
#endif

namespace lexvia {

namespace {

// Each caption is built in 128 wide characters.
constexpr std::size_t kCaptionUnits = 127;

bool is_hungarian(std::u16string_view name) {
  constexpr std::u16string_view kMagyar = u"magyar";
  if (name.size() != kMagyar.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i] >= u'A' && name[i] <= u'Z' ? name[i] + 32 : name[i];
    if (c != kMagyar[i]) return false;
  }
  return true;
}

constexpr std::array<std::u16string_view, AboutBox::kLines> kEnglishFeatures = {
    u"Supported only on PocketPC and PocketPC 2002 devices",
    u"Highly compressed Dicitionary Database files",
    u"4 different search methods",
    u"Improved Browsing module",
    u"Easily replacable international user interface language moduls",
    u"New in Version 2.0!\nInstallable from an all-in-one setup package",
    u"New in Version 2.0!\nEnglish Speech Engine to pronounce phrases",
    u"New in Version 2.0!\nPocketPC User Interface",
    u"New in Version 2.0!\nOn the Browser Module added 'Page Up' and 'Page Down' Buttons",
    u"New in Version 2.0!\nColor-Coded Listings",
    u"New in Version 2.0!\nOptional Invisible Listing for faster results",
    u"New in Version 2.0!\nMulti-language help file",
    u"Comments and requests are welcome:\nwrite to lexvia@lexvia.example",
    u"Questions, answers and news:\nthe discussion board at https://lexvia.example/forum",
};

constexpr std::array<std::u16string_view, AboutBox::kLines> kHungarianFeatures = {
    u"T\u00E1mogatja a PocketPC \u00E9s PocketPC 2002 term\u00E9keket",
    u"T\u00F6m\u00F6r\u00EDtett sz\u00F3t\u00E1r adatb\u00E1zisok",
    u"4 k\u00FCl\u00F6nb\u00F6z\u00F5 keres\u00E9si m\u00F3d",
    u"\u00C1tdolgozott B\u00F6ng\u00E9sz\u00F5 Modul",
    u"Egyszer\u00FBen v\u00E1ltható nemzetk\u00F6zi felhaszn\u00E1l\u00F3i fel\u00FClet nyelvi modulok",
    u"\u00DAj a 2.0 verzi\u00F3ban!\nEgy mindent mag\u00E1ban foglal\u00F3 \u00E1llom\u00E1nyb\u00F3l "
    u"telep\u00EDthet\u00F5",
    u"\u00DAj a 2.0 verzi\u00F3ban!\nAngol (amerikai dialektus) nyelv\u00FB "
    u"besz\u00E9dszintetiz\u00E1l\u00F3 modul a kifejez\u00E9sek kiejt\u00E9s\u00E9hez",
    u"\u00DAj a 2.0 verzi\u00F3ban!\nPocketPC felhaszn\u00E1l\u00F3i fel\u00FClet",
    u"\u00DAj a 2.0 verzi\u00F3ban!\n'Lap Fel' \u00E9s 'Lap Le' nyom\u00F3gombok a "
    u"B\u00F6ng\u00E9sz\u00F5 Modulban",
    u"\u00DAj a 2.0 verzi\u00F3ban!\nSz\u00EDnezett list\u00E1z\u00E1s",
    u"\u00DAj a 2.0 verzi\u00F3ban!\nKiv\u00E1laszthat\u00F3 L\u00E1thatatlan List\u00E1z\u00E1s a "
    u"gyorsabb eredm\u00E9ny \u00E9rdek\u00E9ben",
    u"\u00DAj a 2.0 verzi\u00F3ban!\nT\u00F6bb nyelv\u00FB s\u00FAg\u00F3",
    u"\u00C9szrev\u00E9teleit \u00E9s k\u00E9r\u00E9seit sz\u00EDvesen fogadjuk:\n"
    u"lexvia@lexvia.example",
    u"K\u00E9rd\u00E9sek, v\u00E1laszok \u00E9s h\u00EDrek:\n"
    u"a f\u00F3rum a https://lexvia.example/forum c\u00EDmen",
};

}  // namespace

// ---- Browse dialog -----------------------------------------------------------

void BrowseDialog::open() {
  if (window_ == nullptr) window_ = context_.platform.open_dialog(DialogKind::kBrowse, *this);
  if (window_ == nullptr) return;
  window_->activate();
  // Hidden while the first page fills it.
  if (list_ != nullptr) list_->set_list_visible(false);
}

void BrowseDialog::show_list() {
  if (list_ != nullptr) list_->set_list_visible(true);
}

void BrowseDialog::activate() {
  if (window_ != nullptr) window_->activate();
}

void BrowseDialog::initialise(DialogWindow& window) {
  window_ = &window;
  list_ = window.dialog_list();
  context_.active_dialog = this;
  saved_index_ = context_.listing.remembered().index;
  context_.listing.set_browse_list(list_ != nullptr ? &list_->list() : nullptr);
  window.set_title(context_.strings.text(StringId::kBrowsing));
  lay_out();
}

void BrowseDialog::size_changed() {
  lay_out();
  // The page the new size holds, from the headword the emptied one began
  // with, rather than an empty page until the next move.
  if (list_ != nullptr) context_.list_page_again();
}

void BrowseDialog::lay_out() {
  if (window_ == nullptr || list_ == nullptr) return;
  const Size client = window_->client_size();
  const int w = client.width;
  const int h = client.height;
  window_->place(dialog::kBrowseHome, {w - 62, 4, 18, 16});
  window_->place(dialog::kBrowsePageUp, {w - 42, 4, 18, 16});
  window_->place(dialog::kBrowseLineUp, {w - 22, 4, 18, 16});
  window_->place(dialog::kBrowseList, {2, 2, w - 4, h - 4});
  window_->place(dialog::kBrowseLineDown, {w - 62, h - 20, 18, 16});
  window_->place(dialog::kBrowsePageDown, {w - 42, h - 20, 18, 16});
  window_->place(dialog::kBrowseEnd, {w - 22, h - 20, 18, 16});
  list_->set_list_column_width(w - context_.platform.scroll_bar_width() - 6);
  // The row height is measured on a line of its own, which then goes again
  // with everything else on the list.
  context_.listing.append_line(u"IIWW", ColourCode::kError);
  const int row = list_->list_row_height();
  const int page = row > 0 ? list_->list_client_height() / row : 0;
  context_.search_state.browse_page_size = static_cast<std::uint32_t>(std::max(0, page));
  context_.listing.remember_selection(true);
  list_->list().remove_all();
}

void BrowseDialog::command(int id) {
  switch (id) {
    case dialog::kBrowseHome:
    case dialog::kBrowsePageUp:
    case dialog::kBrowseLineUp:
    case dialog::kBrowseLineDown:
    case dialog::kBrowsePageDown:
    case dialog::kBrowseEnd:
      if (list_ != nullptr) list_->set_list_redraw(false);
      context_.command(id);
      if (list_ != nullptr) list_->set_list_redraw(true);
      break;
    case dialog::kOk:
    case dialog::kCancel:
    case dialog::kBrowseClose:
      close();
      break;
    default:
      break;
  }
}

void BrowseDialog::list_selection_changed() { context_.listing.remember_selection(false); }

void BrowseDialog::list_focused() {
  context_.listing.copy_selection_to_query(false);
  if (window_ != nullptr) window_->focus_control(dialog::kBrowseClose);
}

void BrowseDialog::close() {
  if (window_ == nullptr) return;
  context_.active_dialog = nullptr;
  context_.flags.browse_mode = false;
  context_.listing.set_browse_list(nullptr);
  DialogWindow* window = std::exchange(window_, nullptr);
  list_ = nullptr;
  window->close();
  context_.refresh();
  context_.listing.restore_remembered_index(saved_index_);
  context_.platform.set_result_selection_mark(saved_index_);
  context_.refocus();
}

// ---- Search Options dialog -----------------------------------------------------

void SearchOptionsDialog::initialise(DialogWindow& window) {
  window_ = &window;
  context_.active_dialog = this;
  const Size client = window.client_size();
  const int w = client.width;
  window.place(dialog::kCaption1, {2, 2, w - 94, 18});
  window.place(dialog::kPrefixes1, {8, 22, w - 10, 54});
  window.place(dialog::kReset1, {w - 90, 78, 88, 24});
  window.place(dialog::kCaption2, {2, 86, w - 94, 18});
  window.place(dialog::kPrefixes2, {8, 106, w - 10, 54});
  window.place(dialog::kReset2, {w - 90, 162, 88, 24});
  window.place(dialog::kCancel, {w - 20, 2, 16, 16});
  const std::u16string reset = context_.strings.text(StringId::kReset);
  window.set_control_text(dialog::kReset1, reset);
  window.set_control_text(dialog::kReset2, reset);
  const auto caption = [this](Direction direction, StringId id) {
    std::u16string text = direction_label(context_.labels, direction).substr(0, 3);
    text += u' ';
    text += context_.strings.text(id);
    return text.substr(0, kCaptionUnits);
  };
  window.set_control_text(dialog::kCaption1, caption(Direction::kFrom1, StringId::kPrefixes1));
  window.set_control_text(dialog::kCaption2, caption(Direction::kFrom2, StringId::kPrefixes2));
  window.set_control_text(dialog::kPrefixes1, context_.keeper.get_prefix_list(1));
  window.set_control_text(dialog::kPrefixes2, context_.keeper.get_prefix_list(2));
}

void SearchOptionsDialog::command(int id) {
  const auto reset = [this](int n, int edit) {
    const auto list = context_.keeper.dictionary_prefix_list(n);
    if (list) window_->set_control_text(edit, *list);
  };
  switch (id) {
    case dialog::kReset1:
      reset(1, dialog::kPrefixes1);
      break;
    case dialog::kReset2:
      reset(2, dialog::kPrefixes2);
      break;
    case dialog::kOk:
      switch (context_.platform.ask(context_.strings.text(StringId::kConfirmSave))) {
        case Answer::kYes:
          context_.keeper.confirm_search_options(window_->control_text(dialog::kPrefixes1),
                                              window_->control_text(dialog::kPrefixes2));
          close();
          break;
        case Answer::kNo:
          close();
          break;
        case Answer::kCancel:
          break;  // the edits stay
      }
      break;
    case dialog::kCancel:
      close();
      break;
    default:
      break;
  }
}

void SearchOptionsDialog::activated() {
  if (window_ != nullptr) window_->activate();
}

void SearchOptionsDialog::close() {
  context_.active_dialog = nullptr;
  if (DialogWindow* window = std::exchange(window_, nullptr)) window->close();
  context_.refresh();
  context_.refocus();
}

// ---- History and favourites pages ---------------------------------------------

std::u16string ListPage::row_text(const HistoryEntry& entry, bool with_method,
                                  const DirectionLabels& labels, const InterfaceStrings& strings) {
  std::u16string text = entry.query;
  text += u"  (";
  text += direction_label(labels, entry.direction);
  if (with_method) {
    text += u", ";
    text += strings.view(static_cast<int>(StringId::kExactSearch) + static_cast<int>(entry.method));
  }
  text += u')';
  return text;
}

void ListPage::open(Kind kind) {
  if (window_ != nullptr && kind_ != kind) close();
  kind_ = kind;
  if (window_ == nullptr) {
    context_.platform.open_dialog(kind == Kind::kHistory ? DialogKind::kHistory
                                                         : DialogKind::kFavourites,
                                  *this);
  }
  if (window_ != nullptr) window_->activate();
}

void ListPage::initialise(DialogWindow& window) {
  window_ = &window;
  context_.active_dialog = this;
  const bool history = kind_ == Kind::kHistory;
  window.set_title(context_.strings.text(history ? StringId::kHistoryTitle
                                                 : StringId::kFavouritesTitle));
  window.set_control_text(dialog::kPageAction, context_.strings.text(
                                                   history ? StringId::kClearHistory
                                                           : StringId::kRemove));
  fill();
}

void ListPage::lay_out() {
  if (window_ == nullptr) return;
  const Size client = window_->client_size();
  const int w = client.width;
  const int h = client.height;
  // The note stands where the list would, which an empty page hides.
  const Rect list_place{0, 0, w, std::max(0, h - 30)};
  window_->place(dialog::kPageNote, entries_.empty() ? Rect{4, 4, w - 8, 18} : Rect{});
  window_->place(dialog::kPageList, entries_.empty() ? Rect{} : list_place);
  window_->place(dialog::kPageAction, {w - 124, h - 27, 120, 24});
}

void ListPage::fill() {
  if (window_ == nullptr) return;
  const bool history = kind_ == Kind::kHistory;
  entries_.clear();
  if (history) {
    entries_ = lists_.history();
  } else {
    for (Favourite& favourite : lists_.favourites()) {
      entries_.push_back({std::move(favourite.query), favourite.direction,
                          context_.keeper.settings().search_method});
    }
  }
  std::vector<std::u16string> rows;
  rows.reserve(entries_.size());
  for (const HistoryEntry& entry : entries_) {
    rows.push_back(row_text(entry, history, context_.labels, context_.strings));
  }
  window_->set_control_text(
      dialog::kPageNote,
      entries_.empty() ? context_.strings.text(history ? StringId::kNoHistory
                                                       : StringId::kNoFavourites)
                       : std::u16string());
  lay_out();
  if (PageList* list = window_->page_list()) {
    list->set_rows(rows);
    list->set_current_row(rows.empty() ? -1 : 0);
  }
  // The focus stays where it was unless the list it was on went.
  window_->activate();
}

void ListPage::size_changed() { lay_out(); }

void ListPage::command(int id) {
  if (window_ == nullptr) return;
  PageList* list = window_->page_list();
  const int row = list != nullptr ? list->current_row() : -1;
  const bool on_row = row >= 0 && static_cast<std::size_t>(row) < entries_.size();
  switch (id) {
    case dialog::kPageList:
      if (on_row) {
        const HistoryEntry chosen = entries_[static_cast<std::size_t>(row)];
        close();
        run_(chosen);
      }
      break;
    case dialog::kPageAction:
      if (kind_ == Kind::kHistory) {
        lists_.clear_history();
        fill();
      } else if (on_row) {
        const HistoryEntry& entry = entries_[static_cast<std::size_t>(row)];
        lists_.remove_favourite({entry.query, entry.direction});
        fill();
        // The row after the removed one takes its place.
        if (list != nullptr && !entries_.empty()) {
          list->set_current_row(std::min(row, static_cast<int>(entries_.size()) - 1));
        }
      }
      break;
    case dialog::kOk:
    case dialog::kCancel:
      close();
      break;
    default:
      break;
  }
}

void ListPage::activated() {
  if (window_ != nullptr) window_->activate();
}

void ListPage::close() {
  if (window_ == nullptr) return;
  if (context_.active_dialog == this) context_.active_dialog = nullptr;
  entries_.clear();
  std::exchange(window_, nullptr)->close();
  context_.refresh();
  context_.refocus();
}

// ---- About box -----------------------------------------------------------------

std::u16string about_version_line() {
  constexpr std::string_view version = LEXVIA_VERSION;
  return u"Lexvia " + std::u16string(version.begin(), version.end());
}

std::u16string_view about_feature_line(bool hungarian, int line) {
  const auto& set = hungarian ? kHungarianFeatures : kEnglishFeatures;
  return set[static_cast<std::size_t>(std::clamp(line, 1, AboutBox::kLines) - 1)];
}

Rgb AboutBox::blend(Rgb base, int step) {
  const auto channel = [step](int from, int to) {
    return static_cast<std::uint8_t>((from + (to - from) * step / 8) & 0xFF);
  };
  return {channel(base.r, kTarget.r), channel(base.g, kTarget.g), channel(base.b, kTarget.b)};
}

void AboutBox::initialise(DialogWindow& window) {
  window_ = &window;
  context_.active_dialog = this;
  const Size client = window.client_size();
  const int w = client.width;
  const int h = client.height;
  window.place(dialog::kVersionLine, {80, 10, w - 82, 20});
  window.place(dialog::kLegalLine, {2, 52, w - 4, 20});
  window.place(dialog::kWebLine, {2, 74, w - 4, 20});
  window.place(dialog::kRightsLine, {2, 96, w - 4, 20});
  window.place(dialog::kDictionaryLine, {2, 118, w - 4, 40});
  window.place(dialog::kFeatureLine, {6, 160, w - 12, h - 166});
  window.set_control_text(dialog::kVersionLine, about_version_line());
  window.set_control_text(dialog::kLegalLine, u"Copyright \u00A9 2026 the Lexvia developers");
  window.set_control_text(dialog::kWebLine, u"https://lexvia.example");
  window.set_control_text(dialog::kRightsLine, u"Made by the Lexvia developers");
  line_ = window.feature_line();
  const int index = context_.keeper.settings().language_index;
  const bool in_list = index >= 0 && index < static_cast<int>(context_.languages.size());
  hungarian_ =
      in_list && is_hungarian(context_.languages[static_cast<std::size_t>(index)].name);
  if (const auto line = dictionary_line(context_.keeper.settings().dictionary_path, context_.strings)) {
    window.set_control_text(dialog::kDictionaryLine, *line);
  }
  step_ = 0;
  shown_ = 100;
  if (line_ == nullptr) return;
  base_ = line_->base_colour();
  line_->paint_feature_line(base_);
  line_->start_timer(dialog::kFadeOut, 100);
}

void AboutBox::switch_timer(int id, int milliseconds) {
  line_->stop_timer();
  line_->start_timer(id, milliseconds);
}

void AboutBox::timer(int id) {
  if (window_ == nullptr || line_ == nullptr) return;
  switch (id) {
    case dialog::kFadeOut:
      if (--step_ >= 0) {
        line_->paint_feature_line(blend(base_, step_));
      } else {
        switch_timer(dialog::kFadeIn, 100);
        if (++shown_ > kLines) shown_ = 1;
        window_->set_control_text(dialog::kFeatureLine, about_feature_line(hungarian_, shown_));
        // The new line starts in the base colour, unseen.
        line_->paint_feature_line(base_);
      }
      break;
    case dialog::kFadeIn:
      if (++step_ > 8) {
        switch_timer(dialog::kHold, 3000);
      } else {
        line_->paint_feature_line(blend(base_, step_));
      }
      break;
    case dialog::kHold:
      step_ = 8;
      switch_timer(dialog::kFadeOut, 100);
      break;
    default:
      break;
  }
}

void AboutBox::command(int id) {
  if (id != dialog::kOk && id != dialog::kCancel) return;
  context_.active_dialog = nullptr;
  if (DialogWindow* window = std::exchange(window_, nullptr)) {
    if (FeatureLine* line = std::exchange(line_, nullptr)) line->stop_timer();
    window->close();
  }
}

void AboutBox::activated() {
  if (window_ != nullptr) window_->activate();
}

}  // namespace lexvia
