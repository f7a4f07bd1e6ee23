// Figures of the desktop program's window (run by bench/desktop.sh, under
// Xvfb or offscreen): the time from a Translate click until the last result
// row is painted, for a short and a long listing with Invisible Listing off
// and on; the time from a browse button's click until its page is painted;
// and the memory after start and after 100 lookups.
//   desktop_figures [DICT]
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "settings/key_value_store.h"
#include "shell/dialog_ids.h"
#include "shell/paths.h"
#include "shell/qt/browse_overlay.h"
#include "shell/qt/main_window.h"

namespace {

// VmRSS and VmHWM of this process, in KiB.
std::pair<long, long> memory_kib() {
  std::ifstream status("/proc/self/status");
  long rss = 0, hwm = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) rss = std::stol(line.substr(6));
    if (line.rfind("VmHWM:", 0) == 0) hwm = std::stol(line.substr(6));
  }
  return {rss, hwm};
}

// Click to painted: the lookup runs inside the click; the scroll to the
// newest row is posted, so the events are run once, then the list paints
// synchronously.
double click_to_painted_ms(lexvia::qt::MainWindow& w, const QString& query) {
  w.query_box()->setText(query);
  QElapsedTimer timer;
  timer.start();
  w.translate_button()->click();
  QApplication::processEvents();
  w.result_view()->viewport()->repaint();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void report(const char* what, std::vector<double> ms, int lines) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %7.2f ms  p90 %7.2f ms  max %7.2f ms  (%d lines, %zu runs)\n", what,
              ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), lines, ms.size());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList args = QApplication::arguments();
  const std::string dict =
      args.size() > 1 ? args[1].toStdString() : lexvia::bundled_dictionary();
  lexvia::MemoryStore store;
  store.files[dict] = true;
  auto& key = store.keys[lexvia::kSettingsKey];
  key[u"Dictionary"] = lexvia::StoredValue::of(QString::fromStdString(dict).toStdU16String());
  key[u"Invisible Listing"] = lexvia::StoredValue::of(0);
  lexvia::qt::MainWindow w(store, {lexvia::data_folder(LEXVIA_SOURCE_RESOURCES),
                                   lexvia::bundled_dictionary_folder(), {}, {}, {}});
  w.start();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const auto [rss_start, hwm_start] = memory_kib();
  std::printf("dictionary %s\n", dict.c_str());
  std::printf("memory after start: RSS %ld KiB, peak %ld KiB\n", rss_start, hwm_start);

  auto& app = w.application();
  const auto lines_of = [&](const QString& query) {
    const int before = w.result_model()->rowCount();
    click_to_painted_ms(w, query);
    return w.result_model()->rowCount() - before;
  };
  for (bool invisible : {false, true}) {
    if (app.settings().invisible_listing != invisible) {
      app.command(lexvia::command::kInvisibleListing);
    }
    const char* il = invisible ? "on" : "off";
    app.command(lexvia::command::kExactSearch + 1);  // Extended Search
    std::vector<double> ms;
    for (int i = 0; i < 60; ++i) ms.push_back(click_to_painted_ms(w, "house"));
    app.command(lexvia::command::kClear);
    report(QStringLiteral("house, Extended, Invisible Listing %1").arg(il).toUtf8().constData(), ms,
           lines_of("house"));
    app.command(lexvia::command::kExactSearch + 3);  // Full Search
    ms.clear();
    app.command(lexvia::command::kClear);
    const int long_lines = lines_of("go");
    for (int i = 0; i < 20; ++i) ms.push_back(click_to_painted_ms(w, "go"));
    report(QStringLiteral("go, Full, Invisible Listing %1").arg(il).toUtf8().constData(), ms,
           long_lines);
  }
  // Browse moves: each lists a new page into the browse dialog's list.
  w.query_box()->setText(QStringLiteral("house"));
  app.command(lexvia::command::kBrowse);
  if (auto* browse = qobject_cast<lexvia::qt::BrowseOverlay*>(w.open_overlay())) {
    std::vector<double> ms;
    for (int i = 0; i < 60; ++i) {
      const int id = i % 2 == 0 ? lexvia::dialog::kBrowsePageDown : lexvia::dialog::kBrowsePageUp;
      auto* button = static_cast<QPushButton*>(browse->control(id));
      QElapsedTimer timer;
      timer.start();
      button->click();
      QApplication::processEvents();
      browse->list_view()->viewport()->repaint();
      ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    report("browse page down / up", ms, browse->list_model()->rowCount());
    app.command(lexvia::command::kExit);
  }
  // 100 lookups of different words.
  app.command(lexvia::command::kExactSearch + 1);
  const char* words[] = {"house", "dog", "cat", "water", "fire", "tree", "book", "table", "car",
                         "street"};
  for (int i = 0; i < 100; ++i) click_to_painted_ms(w, words[i % 10]);
  const auto [rss_after, hwm_after] = memory_kib();
  std::printf("memory after 100 lookups: RSS %ld KiB, peak %ld KiB\n", rss_after, hwm_after);
  w.close();
  w.finish();
  return 0;
}
