// The progress dialog of a long operation: one line of text and Cancel, over
// the main window.
#pragma once

#include <QDialog>

#include "shell/platform.h"

namespace lexvia::qt {

// Without a cancel flag nothing closes it but the end of the work.
class ProgressDialog final : public QDialog {
  Q_OBJECT

 public:
  ProgressDialog(const Progress& progress, QWidget* owner);
  void reject() override;
  void show_centred();

 private:
  CancelFlag* cancel_;
};

}  // namespace lexvia::qt
