// The real window under the desktop's timing: activations that arrive after
// the handler that asked for them, Quick Translate while an operation runs,
// the end of the program asked for while one runs (a signal, the close
// button), and two starts at once. The signal test needs the X server's
// clipboard, so it runs under Xvfb (scripts/test) only.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>

#include "settings/key_value_store.h"
#include "settings/settings.h"
#include "settings/sqlite_store.h"
#include "shell/qt/main_window.h"
#include "shell/qt/single_instance.h"
#include "shell/qt/window_helpers.h"

using lexvia::qt::MainWindow;
namespace command = lexvia::command;

namespace {

std::string sample() { return std::string(LEXVIA_DATA_DIR) + "/en-de-sample.dic"; }

bool answers(const QString& instance) {
  QLocalSocket socket;
  socket.connectToServer(instance);
  return socket.waitForConnected(1000);
}

// Starts a copy of the program over a settings folder of its own, which
// holds the given values besides the dictionary (so that it asks for none).
bool start_program(QProcess& program, const QString& instance, const QString& config,
                   const std::string& dictionary,
                   const std::vector<std::pair<std::u16string, int>>& values = {}) {
  QDir().mkpath(config);
  {
    lexvia::SqliteStore store((config + "/settings.db").toStdString());
    if (store.create_key(lexvia::kSettingsKey)) {
      store.set_value(u"Dictionary",
                      lexvia::StoredValue::of(QString::fromStdString(dictionary).toStdU16String()));
      for (const auto& [name, value] : values) {
        store.set_value(name, lexvia::StoredValue::of(value));
      }
      store.close_key();
    }
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LEXVIA_INSTANCE", instance);
  env.insert("LEXVIA_CONFIG_DIR", config);
  env.insert("LEXVIA_TRACE_READY", "1");
  program.setProcessEnvironment(env);
  program.start(LEXVIA_DESKTOP_PATH, {});
  return program.waitForStarted();
}

bool has_open(qint64 pid, const std::string& path) {
  const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
  for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
    if (fd.symLinkTarget() == QString::fromStdString(path)) return true;
  }
  return false;
}

}  // namespace

class TimingTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<lexvia::MemoryStore> store_;
  std::unique_ptr<MainWindow> window_;
  std::function<void()> exit_now_;

  // Quick Translate on with button 1, "street" on the clipboard, "house"
  // typed, and the speech probe as the plug-in.
  MainWindow& open() {
    store_ = std::make_unique<lexvia::MemoryStore>();
    store_->files[sample()] = true;
    auto& key = store_->keys[lexvia::kSettingsKey];
    key[u"Dictionary"] = lexvia::StoredValue::of(QString::fromStdString(sample()).toStdU16String());
    key[u"Invisible Listing"] = lexvia::StoredValue::of(0);
    key[u"QuickTranslate"] = lexvia::StoredValue::of(1);
    key[u"QuickTranslateButton"] = lexvia::StoredValue::of(1);
    MainWindow::Options options;
    options.data_folder = LEXVIA_RESOURCES;
    options.dictionary_folder = LEXVIA_DATA_DIR;
    options.choose_file = [](lexvia::FileKind, const QString&) { return std::nullopt; };
    options.speech_library = LEXVIA_SPEECH_PROBE;
    store_->files[LEXVIA_SPEECH_PROBE] = true;
    options.exit_now = [this] {
      if (exit_now_) exit_now_();
    };
    // The first activation would translate what the clipboard holds.
    QGuiApplication::clipboard()->clear();
    window_ = lexvia::qt::testing::started_window(*store_, options);
    QTest::qWait(150);
    QGuiApplication::clipboard()->setText("street");
    window_->query_box()->setText("house");
    QApplication::processEvents();
    return *window_;
  }
  void close_window() {
    lexvia::qt::testing::close_window(window_);
    store_.reset();
  }
  int lookups_of(MainWindow& w, const QString& query) {
    return static_cast<int>(
        lexvia::qt::testing::rows(w.result_model()).count("Extended Search: \"" + query + "\""));
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    qputenv("LEXVIA_PROBE_OUT", (dir_.path() + "/spoken.txt").toLocal8Bit());
    exit_now_ = nullptr;
  }
  void cleanup() {
    qunsetenv("LEXVIA_PROBE_SLEEP_MS");
    if (window_) close_window();
  }

  // One tray tap or second start translates the clipboard once, also when
  // it comes while an operation runs; the focus coming back from the
  // program's own windows translates nothing.
  void theClipboardIsTranslatedOncePerActivationFromOutside() {
    struct Case {
      const char* name;
      std::function<void(MainWindow&)> act;
      int lookups;  // of the clipboard's "street"
    };
    const auto hide = [](MainWindow& w) {
      w.application().command(command::kHide);
      QTRY_VERIFY(!w.isVisible());
    };
    const auto help_active = [](MainWindow& w) {
      w.application().command(command::kHelp);
      QTRY_VERIFY(QGuiApplication::focusWindow() == w.help_window()->windowHandle());
    };
    const Case cases[] = {
        {"tray tap, window hidden",
         [&](MainWindow& w) {
           hide(w);
           w.tray_clicked();
         },
         1},
        {"tray tap, the help window active",
         [&](MainWindow& w) {
           help_active(w);
           w.tray_clicked();
         },
         1},
        {"second start, window hidden",
         [&](MainWindow& w) {
           hide(w);
           w.wake();
         },
         1},
        {"tray tap during speech",
         [](MainWindow& w) {
           qputenv("LEXVIA_PROBE_SLEEP_MS", "600");
           QTimer::singleShot(200, &w, [&w] { w.tray_clicked(); });
           w.application().command(command::kSpeak);
         },
         1},
        {"back from the help window",
         [&](MainWindow& w) {
           help_active(w);
           w.help_window()->close();
           w.activateWindow();
         },
         0},
        {"back from the progress dialog",
         [](MainWindow& w) {
           const lexvia::Progress progress{u"Translating...", u"Cancel", nullptr};
           w.run_operation([] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); },
                           [] {}, progress);
           w.activateWindow();
         },
         0},
        {"back from a question",
         [](MainWindow& w) {
           QTimer::singleShot(200, [] {
             if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
               box->button(QMessageBox::No)->click();
             }
           });
           w.ask(u"Are you sure?");
           w.activateWindow();
         },
         0},
    };
    for (const Case& c : cases) {
      MainWindow& w = open();
      c.act(w);
      // Past the wait for a click and the activation's arrival.
      QTest::qWait(400);
      QVERIFY2(lookups_of(w, "street") == c.lookups,
               qPrintable(QString("%1: %2 lookups").arg(c.name).arg(lookups_of(w, "street"))));
      QCOMPARE(w.query_box()->text(), QString(c.lookups > 0 ? "street" : "house"));
      close_window();
    }
  }

  // SIGTERM or SIGINT while a lookup runs: it is cancelled, the settings
  // are saved, and the program ends at once with 0.
  void aSignalDuringALookupSavesTheSettings() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      QSKIP("the second copy reads the X server's clipboard: under Xvfb only");
    }
    const std::string dictionary = (dir_.path() + "/long.dic").toStdString();
    QVERIFY(lexvia::qt::testing::write_long_dictionary(dictionary));
    for (const int signal : {SIGTERM, SIGINT}) {
      const QString config = dir_.path() + QStringLiteral("/config-%1").arg(signal);
      const QString instance = dir_.path() + QStringLiteral("/instance-%1").arg(signal);
      QProcess program;
      QVERIFY(start_program(
          program, instance, config, dictionary,
          {{u"QuickTranslate", 1}, {u"QuickTranslateButton", 1}, {u"Search Method", 3}}));
      QByteArray said;
      QTRY_VERIFY_WITH_TIMEOUT((said += program.readAllStandardError()).contains("ready painted"),
                               15000);
      // Woken, it translates the clipboard: a Full Search of "w" that runs for seconds.
      QGuiApplication::clipboard()->setText("w");
      QVERIFY(lexvia::qt::SingleInstance(instance).wake_running_copy());
      QTRY_VERIFY2_WITH_TIMEOUT(has_open(program.processId(), dictionary),
                                qPrintable(said + program.readAllStandardError()), 15000);
      QElapsedTimer since;
      since.start();
      ::kill(static_cast<pid_t>(program.processId()), signal);
      QTRY_VERIFY_WITH_TIMEOUT(program.state() == QProcess::NotRunning, 15000);
      QVERIFY2(since.elapsed() < MainWindow::kEndWaitMs + 2000,
               qPrintable(QString("ended %1 ms after the signal").arg(since.elapsed())));
      QCOMPARE(program.exitStatus(), QProcess::NormalExit);
      QCOMPARE(program.exitCode(), 0);
      // Written only by the save at the end.
      lexvia::SqliteStore store((config + "/settings.db").toStdString(),
                                lexvia::SqliteStore::Access::kReadOnly);
      QVERIFY(store.open_key(lexvia::kSettingsKey));
      QVERIFY2(store.query_value(u"UI").has_value(), "the settings were not saved");
      store.close_key();
    }
  }

  // A speech plug-in that hangs holds the end for a moment only: then the
  // settings are saved and the process ends without it.
  void aHungSpeechCallHoldsTheEndOnlyForAMoment() {
    MainWindow& w = open();
    qputenv("LEXVIA_PROBE_SLEEP_MS", "4000");
    QElapsedTimer clock;
    qint64 closed_at = -1;
    qint64 ended_at = -1;
    bool saved = false;
    exit_now_ = [&] {
      ended_at = clock.elapsed();
      saved = store_->keys[lexvia::kSettingsKey].contains(u"UI");
    };
    QTimer::singleShot(300, &w, [&] {
      closed_at = clock.elapsed();
      QVERIFY(!w.close());
    });
    clock.start();
    w.application().command(command::kSpeak);
    // Qt's timers may fire 5 % early.
    QVERIFY2(ended_at - closed_at >= MainWindow::kEndWaitMs * 95 / 100 && ended_at < 4000,
             qPrintable(QString("closed at %1 ms, ended at %2 ms").arg(closed_at).arg(ended_at)));
    QVERIFY(saved);
  }

  // Two starts at the same moment leave one copy running, the other woke it
  // and ended with 0; a copy killed leaves its socket and lock file, which
  // the next start takes over.
  void startsLeaveOneCopyRunning() {
    for (const bool first_killed : {false, true}) {
      const QString name = first_killed ? "killed" : "at-once";
      const QString instance = dir_.path() + "/instance-" + name;
      const QString config = dir_.path() + "/config-" + name;
      QProcess first;
      QProcess second;
      QVERIFY(start_program(first, instance, config, sample()));
      if (first_killed) {
        QTRY_VERIFY_WITH_TIMEOUT(answers(instance), 15000);
        first.kill();
        QVERIFY(first.waitForFinished(10000));
      }
      QVERIFY(start_program(second, instance, config, sample()));
      QProcess* left = &second;
      if (!first_killed) {
        QTRY_VERIFY_WITH_TIMEOUT(
            first.state() == QProcess::NotRunning || second.state() == QProcess::NotRunning, 15000);
        QProcess& gone = first.state() == QProcess::NotRunning ? first : second;
        left = &gone == &first ? &second : &first;
        QCOMPARE(gone.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gone.exitCode(), 0);
      }
      QTest::qWait(1000);
      QVERIFY2(left->state() == QProcess::Running, qPrintable(name));
      QVERIFY(answers(instance));
      left->terminate();
      QVERIFY(left->waitForFinished(10000));
      QCOMPARE(left->exitCode(), 0);
    }
  }
};

QTEST_MAIN(TimingTest)
#include "timing_qtest.moc"
