// lexvia-screenshot: renders the main window after a lookup to a PNG, for
// the README's pictures and for looking at the window without a screen.
//   lexvia-screenshot OUT.png [--query WORD] [--direction 1|2] [--dark]
//                     [--size WxH] [--dict PATH] [--menu dict|search]
//                     [--dialog browse|options|about|help|progress|history|favourites]
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <thread>

#include "settings/key_value_store.h"
#include "settings/sqlite_history.h"
#include "settings/sqlite_store.h"
#include "shell/dialog_ids.h"
#include "shell/paths.h"
#include "shell/qt/dialog_overlay.h"
#include "shell/qt/main_window.h"

namespace {

QPalette dark_palette() {
  QPalette p;
  p.setColor(QPalette::Window, QColor(45, 45, 48));
  p.setColor(QPalette::WindowText, QColor(230, 230, 230));
  p.setColor(QPalette::Base, QColor(30, 30, 30));
  p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
  p.setColor(QPalette::Text, QColor(230, 230, 230));
  p.setColor(QPalette::Button, QColor(60, 60, 64));
  p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  p.setColor(QPalette::Highlight, QColor(38, 79, 120));
  p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(130, 130, 130));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 130));
  return p;
}

// Lets the event loop run for a while, as the About box's timers need.
void run_for(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// A window of its own drawn over the main window's picture, centred, with
// the edge a window manager would give it.
void draw_centred(QPixmap& picture, QWidget* window) {
  const QPixmap over = window->grab();
  const QPoint at((picture.width() - over.width()) / 2, (picture.height() - over.height()) / 2);
  QPainter painter(&picture);
  painter.fillRect(QRect(at + QPoint(3, 3), over.size()), QColor(0, 0, 0, 60));
  painter.drawPixmap(at, over);
  painter.setPen(window->palette().color(QPalette::Dark));
  painter.drawRect(QRect(at, over.size()).adjusted(0, 0, -1, -1));
}

// Renders a dialog: the browse dialog stays open by itself; the modal ones
// are pictured from inside their own loop and closed again.
QPixmap dialog_picture(lexvia::qt::MainWindow& window, const QString& which) {
  namespace command = lexvia::command;
  QPixmap picture;
  const auto grab_open = [&](int wait_ms) {
    if (wait_ms > 0) run_for(wait_ms);
    QApplication::processEvents();
    picture = window.grab();
    if (lexvia::qt::DialogOverlay* d = window.open_overlay()) {
      // Closed as a user would, so that the application hears of it.
      auto* x = qobject_cast<QPushButton*>(d->control(lexvia::dialog::kCancel));
      (x != nullptr ? x : d->ok_button())->click();
    }
  };
  if (which == QStringLiteral("browse")) {
    window.application().command(command::kBrowse);
    QApplication::processEvents();
    QApplication::processEvents();
    picture = window.grab();
  } else if (which == QStringLiteral("options")) {
    QTimer::singleShot(0, [&] { grab_open(0); });
    window.application().command(command::kPrefixSettings);
  } else if (which == QStringLiteral("about")) {
    QTimer::singleShot(0, [&] { grab_open(1200); });
    window.application().command(command::kAbout);
  } else if (which == QStringLiteral("help")) {
    // The help is a window of its own, pictured alone.
    window.application().command(command::kHelp);
    QApplication::processEvents();
    if (QWidget* help = window.help_window()) picture = help->grab();
  } else if (which == QStringLiteral("history") || which == QStringLiteral("favourites")) {
    window.application().command(which == QStringLiteral("history") ? command::kHistoryPage
                                                                    : command::kFavouritesPage);
    QApplication::processEvents();
    picture = window.grab();
  } else if (which == QStringLiteral("progress")) {
    lexvia::CancelFlag cancel;
    const auto& strings = window.application().strings();
    const lexvia::Progress progress{strings.text(lexvia::StringId::kTranslating),
                                    strings.text(lexvia::StringId::kCancel), &cancel};
    QTimer::singleShot(450, [&] {
      QApplication::processEvents();
      picture = window.grab();
      if (QDialog* dialog = window.progress_dialog()) draw_centred(picture, dialog);
    });
    window.run_operation([] { std::this_thread::sleep_for(std::chrono::milliseconds(700)); },
                         [] {}, progress);
  }
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 2) {
    std::fputs("usage: lexvia-screenshot OUT.png [--query WORD] [--direction 1|2] [--dark] "
               "[--size WxH] [--dict PATH] [--menu dict|search] "
               "[--dialog browse|options|about|help|progress|history|favourites]\n",
               stderr);
    return 2;
  }
  const auto option = [&](const QString& name, const QString& fallback) {
    const auto at = args.indexOf(name);
    return at > 0 && at + 1 < args.size() ? args[at + 1] : fallback;
  };
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  if (args.contains(QStringLiteral("--dark"))) QApplication::setPalette(dark_palette());

  lexvia::MemoryStore store;
  const std::string dict = option(QStringLiteral("--dict"),
                                  QString::fromStdString(lexvia::bundled_dictionary()))
                               .toStdString();
  store.files[dict] = true;
  store.keys[lexvia::kSettingsKey][u"Dictionary"] =
      lexvia::StoredValue::of(QString::fromStdString(dict).toStdU16String());
  store.keys[lexvia::kSettingsKey][u"Invisible Listing"] = lexvia::StoredValue::of(0);
  store.keys[lexvia::kSettingsKey][u"Language From"] =
      lexvia::StoredValue::of(option(QStringLiteral("--direction"), QStringLiteral("1")).toInt());
  // The lists in a database of this run's own.
  const QTemporaryDir lists_folder;
  lexvia::SqliteStore lists_store((lists_folder.path() + "/settings.db").toStdString());
  lexvia::SqliteHistory lists(lists_store);
  lexvia::qt::MainWindow::Options options{lexvia::data_folder(LEXVIA_SOURCE_RESOURCES),
                                          lexvia::bundled_dictionary_folder(), {}, {}, {}};
  options.history = &lists;
  lexvia::qt::MainWindow window(store, options);
  const QStringList size = option(QStringLiteral("--size"), QStringLiteral("480x640")).split('x');
  window.start();
  window.resize(size.value(0).toInt(), size.value(1).toInt());
  const QString query = option(QStringLiteral("--query"), QStringLiteral("house"));
  const QString which = option(QStringLiteral("--dialog"), QString());
  const bool lists_shown = which == QStringLiteral("history") || which == QStringLiteral("favourites");
  if (lists_shown) {
    // A few lookups of both directions and methods before the query's, and
    // some of them kept.
    namespace command = lexvia::command;
    struct Earlier {
      const char* query;
      int method;  // 0 to 3
      bool other_direction, kept;
    };
    for (const Earlier& e : {Earlier{"book", 0, false, false}, Earlier{"tree", 1, false, false},
                             Earlier{"water", 1, false, true}, Earlier{"Hund", 1, true, false},
                             Earlier{"to go", 3, false, true}, Earlier{"Haus", 1, true, true}}) {
      if (e.other_direction) window.application().command(command::kDirection);
      window.query_box()->setText(QString::fromUtf8(e.query));
      window.application().command(command::kExactSearch + e.method);
      window.application().command(command::kTranslate);
      if (e.kept) window.application().command(command::kAddFavourite);
      if (e.other_direction) window.application().command(command::kDirection);
    }
  }
  window.query_box()->setText(query);
  window.application().command(lexvia::command::kTranslate);
  QApplication::processEvents();
  QApplication::processEvents();
  if (lists_shown) window.application().command(lexvia::command::kAddFavourite);
  QPixmap picture = which.isEmpty() ? window.grab() : dialog_picture(window, which);
  const QString menu = option(QStringLiteral("--menu"), QString());
  if (!menu.isEmpty()) {
    // A menu is a window of its own: it is drawn over the window's picture
    // where it would open, above its button.
    QMenu* m = menu == QStringLiteral("search") ? window.search_menu() : window.dict_menu();
    QWidget* button = window.menu_button(menu == QStringLiteral("search")
                                             ? lexvia::command::kSearchMenu
                                             : lexvia::command::kDictMenu);
    emit m->aboutToShow();
    m->adjustSize();
    const QPoint at = button->mapTo(&window, QPoint(0, 0)) - QPoint(0, m->sizeHint().height());
    QPainter painter(&picture);
    painter.drawPixmap(at, m->grab());
  }
  if (!picture.save(args[1])) {
    std::fprintf(stderr, "lexvia-screenshot: cannot write %s\n", qPrintable(args[1]));
    return 1;
  }
  window.finish();
  return 0;
}
