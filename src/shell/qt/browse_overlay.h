// The browse dialog on Qt, the full-window page of browse mode: the browse
// list, drawn as the result list is, and six buttons that send the main
// window's browse moves.
#pragma once

#include <memory>

#include "shell/qt/dialog_overlay.h"
#include "shell/qt/result_list_control.h"
#include "shell/qt/result_model.h"
#include "shell/qt/result_view.h"

namespace lexvia::qt {

class RowDelegate;

class BrowseOverlay final : public DialogOverlay, public DialogList {
  Q_OBJECT

 public:
  BrowseOverlay(DialogHandler& handler, const ResultListing& listing, Hooks hooks,
                QWidget* main_window);
  ~BrowseOverlay() override;
  DialogKind kind() const override { return DialogKind::kBrowse; }

  // The parts the tests and the benchmarks look at.
  ResultView* list_view() const { return view_; }
  ResultModel* list_model() const { return model_.get(); }

  // DialogWindow.
  DialogList* dialog_list() override { return this; }

  // DialogList.
  ListControl& list() override { return *list_; }
  void set_list_visible(bool visible) override;
  void set_list_redraw(bool on) override;
  void set_list_column_width(int width) override;
  int list_row_height() const override;
  int list_client_height() const override;

 protected:
  void focus_first() override;
  bool key_pressed(QObject* watched, const QKeyEvent& key) override;

 private:
  std::unique_ptr<ResultModel> model_;
  ResultView* view_ = nullptr;
  RowDelegate* delegate_ = nullptr;
  std::unique_ptr<ResultListControl> list_;
};

}  // namespace lexvia::qt
