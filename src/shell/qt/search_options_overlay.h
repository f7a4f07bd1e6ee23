// The Search Options dialog on Qt: the current dictionary's two prefix
// lists, each an edit under its caption with a Reset, and an x that leaves
// without saving.
#pragma once

#include "shell/qt/dialog_overlay.h"

namespace lexvia::qt {

class SearchOptionsOverlay final : public DialogOverlay {
  Q_OBJECT

 public:
  SearchOptionsOverlay(DialogHandler& handler, Hooks hooks, QWidget* main_window);
  DialogKind kind() const override { return DialogKind::kSearchOptions; }

  // DialogWindow.
  void set_control_text(int control, std::u16string_view text) override;

 protected:
  bool key_pressed(QObject* watched, const QKeyEvent& key) override;
};

}  // namespace lexvia::qt
