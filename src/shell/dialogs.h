// The dialogs' behaviour, over the platform's dialog windows: the browse
// dialog, the Search Options dialog and the About box. Each is a part of the
// application and reads and changes its state as the main window's own
// commands do.
#pragma once

#include <array>
#include <string>

#include "listing/result_list.h"
#include "shell/dialog_ids.h"
#include "shell/platform.h"

namespace lexvia {

class Application;

// The full-window page of browse mode: the browse list and six buttons that
// send the main window's browse moves.
class BrowseDialog final : public DialogHandler {
 public:
  explicit BrowseDialog(Application& app) : app_(app) {}
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

  Application& app_;
  DialogWindow* window_ = nullptr;
  DialogList* list_ = nullptr;
  int saved_index_ = -1;  // the result list's remembered index while browsing
};

// Edits the current dictionary's two prefix lists.
class SearchOptionsDialog final : public DialogHandler {
 public:
  explicit SearchOptionsDialog(Application& app) : app_(app) {}
  void initialise(DialogWindow& window) override;
  void command(int id) override;
  void activated() override;

 private:
  void close();

  Application& app_;
  DialogWindow* window_ = nullptr;
};

// The About box: fixed lines, the dictionary line, and a line of features
// that fades in, stays, fades out and gives way to the next.
class AboutBox final : public DialogHandler {
 public:
  explicit AboutBox(Application& app) : app_(app) {}
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

  Application& app_;
  DialogWindow* window_ = nullptr;
  FeatureLine* line_ = nullptr;
  bool hungarian_ = false;
  Rgb base_;
  int step_ = 0;
  int shown_ = 100;  // the feature line shown, 1 to kLines
};

// The About box's fixed lines.
std::u16string about_version_line();
std::u16string_view about_feature_line(bool hungarian, int line);

}  // namespace lexvia
