// What the Qt tests read off a window: the rows of a list, and the progress
// dialog once it is up.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <variant>

#include "dict_compiler.h"
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

// A window over the store, started and made active, as a person finds it.
inline std::unique_ptr<MainWindow> started_window(lexvia::KeyValueStore& store,
                                                  MainWindow::Options options) {
  auto window = std::make_unique<MainWindow>(store, std::move(options));
  window->start();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window.get())) qWarning("the window did not become active");
  QApplication::processEvents();
  return window;
}
// Closed as a person closes it, then the end of the run.
inline void close_window(std::unique_ptr<MainWindow>& window) {
  window->close();
  window->finish();
  window.reset();
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

// A dictionary whose Full Search of "w" runs for seconds: it lists every
// headword ("w" and a number) in its first pass. The other prefix items are
// hyphens, which the sort order drops: each of those passes walks all the
// headwords again, though it lists none (an item given twice would run
// once). Written to `path`; false when it could not be.
inline constexpr int kLongPairs = 200000;
inline bool write_long_dictionary(const std::string& path) {
  constexpr int kPasses = 32;  // the most a list runs
  std::vector<lexvia::TextPair> pairs;
  pairs.reserve(kLongPairs);
  char first[16];
  char second[16];
  for (int i = 0; i < kLongPairs; ++i) {
    std::snprintf(first, sizeof first, "w %06d", i);
    std::snprintf(second, sizeof second, "t%06d", i);
    pairs.push_back({first, second, static_cast<std::size_t>(i + 1)});
  }
  lexvia::CompileOptions options;
  options.language1 = "en";
  options.language2 = "de";
  for (int k = 1; k < kPasses; ++k) options.prefixes1 += "," + std::string(k, '-');
  auto compiled = lexvia::compile_dictionary(pairs, options);
  auto* dictionary = std::get_if<lexvia::CompiledDictionary>(&compiled);
  return dictionary != nullptr && !lexvia::write_file_atomically(path, dictionary->bytes);
}

}  // namespace lexvia::qt::testing
