// The dialogs' behaviour, over the platform's dialog windows: the browse
// dialog, the Search Options dialog and the About box. They read and change
// the application's state as the main window's own commands do, through the
// part of it the application hands them.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dict/dictionary_info.h"
#include "listing/result_list.h"
#include "search/search_engine.h"
#include "settings/interface_strings.h"
#include "settings/language_modules.h"
#include "settings/lookup_history.h"
#include "settings/settings.h"
#include "shell/dialog_ids.h"
#include "shell/platform.h"

namespace lexvia {

// What the dialogs may reach of the application, which builds it.
struct DialogContext {
  Platform& platform;
  ResultListing& listing;
  const InterfaceStrings& strings;
  SettingsKeeper& keeper;  // the settings, and the prefix lists the dialogs edit
  SearchState& search_state;
  const DirectionLabels& labels;
  const LanguageList& languages;
  ListingFlags& flags;  // browse mode ends with the browse dialog
  // The dialog that takes the main window's activation while it is open.
  DialogHandler*& active_dialog;
  // The main window's steps: its refresh, the focus back on the query, a
  // command of its table (the browse moves), and the browse page listed
  // again where it stands.
  std::function<void()> refresh;
  std::function<void()> refocus;
  std::function<void(int)> command;
  std::function<void()> list_page_again;
};

// The full-window page of browse mode: the browse list and six buttons that
// send the main window's browse moves.
class BrowseDialog final : public DialogHandler {
 public:
  explicit BrowseDialog(const DialogContext& context) : context_(context) {}
  bool is_open() const { return window_ != nullptr; }
  // Opens it (once; a second open keeps the one that is open), with its list
  // hidden until the first page is in.
  void open();
  void show_list();
  void activate();

  void initialise(DialogWindow& window) override;
  void size_changed() override;
  void command(int id) override;
  void list_selection_changed() override;
  void list_focused() override;
  void activated() override { activate(); }

 private:
  void close();
  // Places the controls and takes the page size from the list, which it
  // leaves empty.
  void lay_out();

  const DialogContext& context_;
  DialogWindow* window_ = nullptr;
  DialogList* list_ = nullptr;
  int saved_index_ = -1;  // the result list's remembered index while browsing
};

// Edits the current dictionary's two prefix lists.
class SearchOptionsDialog final : public DialogHandler {
 public:
  explicit SearchOptionsDialog(const DialogContext& context) : context_(context) {}
  void initialise(DialogWindow& window) override;
  void command(int id) override;
  void activated() override;

 private:
  void close();

  const DialogContext& context_;
  DialogWindow* window_ = nullptr;
};

// The About box: fixed lines, the dictionary line, and a line of features
// that fades in, stays, fades out and gives way to the next.
class AboutBox final : public DialogHandler {
 public:
  explicit AboutBox(const DialogContext& context) : context_(context) {}
  void initialise(DialogWindow& window) override;
  void command(int id) override;
  void timer(int id) override;
  void activated() override;

  // The colour of a fade step: from the base colour (0) to the target (8).
  static Rgb blend(Rgb base, int step);
  static constexpr Rgb kTarget{10, 80, 220};
  static constexpr int kLines = 14;

 private:
  void switch_timer(int id, int milliseconds);

  const DialogContext& context_;
  DialogWindow* window_ = nullptr;
  FeatureLine* line_ = nullptr;
  bool hungarian_ = false;
  Rgb base_;
  int step_ = 0;
  int shown_ = 100;  // the feature line shown, 1 to kLines
};

// The history page and the favourites page: the lookups of the desktop
// program, newest first, or the kept queries. Choosing a row closes the
// page and hands the row to `run`; the action button clears the history or
// removes the current favourite.
class ListPage final : public DialogHandler {
 public:
  enum class Kind { kHistory, kFavourites };
  using Run = std::function<void(const HistoryEntry&)>;
  ListPage(const DialogContext& context, LookupHistory& lists, Run run)
      : context_(context), lists_(lists), run_(std::move(run)) {}
  bool is_open() const { return window_ != nullptr; }
  Kind kind() const { return kind_; }
  // Opens the page of that kind, in place of the other one if that is open.
  void open(Kind kind);
  void close();

  void initialise(DialogWindow& window) override;
  void size_changed() override;
  void command(int id) override;
  void activated() override;

  // A row as the page shows it: the query, then its direction and, for the
  // history, the method.
  static std::u16string row_text(const HistoryEntry& entry, bool with_method,
                                 const DirectionLabels& labels, const InterfaceStrings& strings);

 private:
  void fill();
  void lay_out();

  const DialogContext& context_;
  LookupHistory& lists_;
  Run run_;
  Kind kind_ = Kind::kHistory;
  DialogWindow* window_ = nullptr;
  // What the rows show, in their order; a favourite's method is the one the
  // run takes, the current search method.
  std::vector<HistoryEntry> entries_;
};

// The About box's fixed lines.
std::u16string about_version_line();
std::u16string_view about_feature_line(bool hungarian, int line);

}  // namespace lexvia
