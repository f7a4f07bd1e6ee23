// The history and favourites pages on Qt: a plain list of rows over the
// window, and one button (Clear History, Remove). A row is chosen with Enter
// or a double click; the list's rows are what a screen reader reads.
#pragma once

#include "shell/qt/dialog_overlay.h"

class QListWidget;

namespace lexvia::qt {

class PageOverlay final : public DialogOverlay, public PageList {
  Q_OBJECT

 public:
  PageOverlay(DialogKind kind, DialogHandler& handler, Hooks hooks, QWidget* main_window);
  DialogKind kind() const override { return kind_; }
  QListWidget* rows() const { return list_; }

  // DialogWindow.
  void place(int control, Rect rect) override;
  void set_title(std::u16string_view text) override;
  PageList* page_list() override { return this; }

  // PageList.
  void set_rows(const std::vector<std::u16string>& rows) override;
  int current_row() const override;
  void set_current_row(int row) override;

 protected:
  bool key_pressed(QObject* watched, const QKeyEvent& key) override;

 private:
  DialogKind kind_;
  QListWidget* list_ = nullptr;
};

}  // namespace lexvia::qt
