// lexvia: the desktop program. It reads no arguments besides Qt's own, --help
// and --version.
#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <memory>

#include "settings/sqlite_history.h"
#include "settings/sqlite_store.h"
#include "shell/paths.h"
#include "shell/qt/main_window.h"
#include "shell/qt/single_instance.h"

namespace {

// With LEXVIA_TRACE_READY set, the wall-clock time at which the first result
// row ("Ready") is painted goes to standard error, for bench/desktop.sh; set
// to "quit", the program then ends.
class ReadyTrace final : public QObject {
 public:
  ReadyTrace(lexvia::qt::MainWindow& window, bool quit) : window_(window), quit_(quit) {
    window.result_view()->viewport()->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_ && window_.result_model()->rowCount() > 0) {
      done_ = true;
      // After this paint has been drawn and handed to the window system.
      QTimer::singleShot(0, this, [this] {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::fprintf(stderr, "lexvia: ready painted at %lld%09ld\n",
                     static_cast<long long>(now.tv_sec), now.tv_nsec);
        if (quit_) window_.close();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  lexvia::qt::MainWindow& window_;
  bool quit_;
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lexvia"));
  QApplication::setDesktopFileName(QStringLiteral("lexvia"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lexvia.svg")));
  QApplication::setApplicationVersion(QStringLiteral(LEXVIA_VERSION));
  {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lexvia: a two-way bilingual dictionary. Open a dictionary file (*.dic) with Dict > Load "
        "Dictionary, type a word or phrase and press Translate!. The settings live in settings.db "
        "in $LEXVIA_CONFIG_DIR, else $XDG_CONFIG_HOME/lexvia, else ~/.config/lexvia; language "
        "modules and help in $LEXVIA_DATA_DIR or the installed share/lexvia. Lookups are "
        "recorded in the same file (Search > History..., Alt+Left and Alt+Right, Ctrl+D keeps a "
        "favourite; lexvia-cli history and favourites read them). A second start "
        "brings the running window to the front."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(application);
  }

  // Claimed before anything is built: a copy started meanwhile finds it taken.
  lexvia::qt::SingleInstance instance(lexvia::qt::instance_socket_path());
  if (!instance.claim()) {
    if (instance.wake_running_copy()) return 0;
    std::fprintf(stderr, "lexvia: another copy runs but does not answer on %s\n",
                 qPrintable(lexvia::qt::instance_socket_path()));
    return 1;
  }

  // Settings that may only be read (another user's, a read-only folder) are
  // still used; only the changes of this run are not kept.
  auto store = std::make_unique<lexvia::SqliteStore>();
  if (!store->problem().empty()) {
    auto reader = std::make_unique<lexvia::SqliteStore>(lexvia::SqliteStore::Access::kReadOnly);
    if (reader->problem().empty()) {
      std::fprintf(stderr, "lexvia: the settings in %s can only be read (%s): changes will not be kept\n",
                   store->path().c_str(), store->problem().c_str());
      store = std::move(reader);
    }
  }
  lexvia::qt::MainWindow::Options options{lexvia::data_folder(LEXVIA_SOURCE_RESOURCES),
                                          lexvia::bundled_dictionary_folder(), {}, {}, {}};
  if (const std::string speech = lexvia::bundled_speech_library(LEXVIA_PLUGIN_DIR); !speech.empty()) {
    options.speech_library = speech;
  }
  // The lookups and favourites live in the same database, behind the same lock.
  lexvia::SqliteHistory history(*store);
  options.history = &history;
  lexvia::qt::MainWindow window(*store, options);
  if (!store->problem().empty()) {
    std::fprintf(stderr, "lexvia: cannot read the settings in %s: %s; using the defaults\n",
                 store->path().c_str(), store->problem().c_str());
  }
  // SIGTERM and SIGINT end the run as closing the window does, so that the
  // settings are saved, the tray icon goes and the button is given back; a
  // lookup or speech call that runs is waited for (a while) first.
  static int signal_pipe[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_pipe) == 0) {
    struct sigaction action {};
    action.sa_handler = [](int) {
      const char byte = 1;
      (void)!::write(signal_pipe[1], &byte, 1);
    };
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
      char byte = 0;
      (void)!::read(signal_pipe[0], &byte, 1);
      window.close();
    });
  }
  instance.on_woken([&window] { window.wake(); });
  std::unique_ptr<ReadyTrace> trace;
  if (qEnvironmentVariableIsSet("LEXVIA_TRACE_READY")) {
    trace = std::make_unique<ReadyTrace>(window, qgetenv("LEXVIA_TRACE_READY") == "quit");
  }
  window.start();
  const int code = QApplication::exec();
  window.finish();
  return code;
}
