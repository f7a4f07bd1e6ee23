// What the Qt tests read off a window: the rows of a list, and the progress
// dialog once it is up.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "shell/qt/main_window.h"

namespace lexvia::qt::testing {

inline QString row_text(const ResultModel* model, int row) {
  return model->data(model->index(row), Qt::DisplayRole).toString();
}
inline QStringList rows(const ResultModel* model) {
  QStringList out;
  for (int r = 0; r < model->rowCount(); ++r) out << row_text(model, r);
  return out;
}

// Runs `act` once, as soon as the window's progress dialog is up; `poll`
// must outlive the operation being watched.
inline void when_progress_shows(QTimer& poll, MainWindow& w, std::function<void(QDialog*)> act) {
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, &poll, [&poll, &w, act = std::move(act)] {
    if (QDialog* progress = w.progress_dialog()) {
      poll.stop();
      act(progress);
    }
  });
  poll.start();
}

}  // namespace lexvia::qt::testing
