// lexvia: the desktop program. It reads no arguments besides Qt's own.
#include <QApplication>

#include "settings/sqlite_store.h"
#include "shell/paths.h"
#include "shell/qt/main_window.h"
#include "shell/qt/single_instance.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lexvia"));
  QApplication::setDesktopFileName(QStringLiteral("lexvia"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lexvia.svg")));

  lexvia::qt::SingleInstance instance(lexvia::qt::instance_socket_path());
  if (instance.wake_running_copy()) return 0;

  lexvia::SqliteStore store;
  lexvia::qt::MainWindow window(
      store, {lexvia::data_folder(LEXVIA_SOURCE_RESOURCES), lexvia::bundled_dictionary_folder(), {}});
  instance.listen([&window] { window.wake(); });
  window.start();
  const int code = QApplication::exec();
  window.finish();
  return code;
}
