// lexvia-screenshot: renders the main window after a lookup to a PNG, for
// the README's pictures and for looking at the window without a screen.
//   lexvia-screenshot OUT.png [--query WORD] [--direction 1|2] [--dark]
//                     [--size WxH] [--dict PATH] [--menu dict|search]
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStyleFactory>
#include <QToolButton>
#include <QTimer>
#include <cstdio>

#include "settings/key_value_store.h"
#include "shell/paths.h"
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

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 2) {
    std::fputs("usage: lexvia-screenshot OUT.png [--query WORD] [--direction 1|2] [--dark] "
               "[--size WxH] [--dict PATH] [--menu dict|search]\n",
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
  lexvia::qt::MainWindow window(
      store, {lexvia::data_folder(LEXVIA_SOURCE_RESOURCES), lexvia::bundled_dictionary_folder(), {}});
  const QStringList size = option(QStringLiteral("--size"), QStringLiteral("480x640")).split('x');
  window.start();
  window.resize(size.value(0).toInt(), size.value(1).toInt());
  const QString query = option(QStringLiteral("--query"), QStringLiteral("house"));
  window.query_box()->setText(query);
  window.application().command(lexvia::command::kTranslate);
  QApplication::processEvents();
  QApplication::processEvents();
  QPixmap picture = window.grab();
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
