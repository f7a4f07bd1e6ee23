// The real main window, driven as a person would: typing, clicking, menus.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <sys/stat.h>

#include <memory>

#include "settings/sqlite_history.h"
#include "settings/sqlite_store.h"
#include "shell/qt/main_window.h"
#include "shell/qt/page_overlay.h"
#include "shell/qt/single_instance.h"
#include "shell/qt/window_helpers.h"

using lexvia::qt::MainWindow;
namespace command = lexvia::command;

namespace {

int row_colour(MainWindow& w, int row) {
  return w.result_model()->data(w.result_model()->index(row), lexvia::qt::kColourCodeRole).toInt();
}
QStringList rows(MainWindow& w) { return lexvia::qt::testing::rows(w.result_model()); }

// Types text the way a keyboard does; characters beyond ASCII go one by one,
// since keyClicks cannot send them.
void type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

// Opens a menu from its menu-bar button and closes it again, returning the
// texts it showed (items only).
QStringList open_menu(QToolButton* button) {
  QStringList texts;
  QTimer::singleShot(100, [&texts] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) texts << action->text();
    }
    menu->close();
  });
  QTest::mouseClick(button, Qt::LeftButton);
  return texts;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<lexvia::SqliteStore> store_;
  std::unique_ptr<lexvia::SqliteHistory> history_;
  std::unique_ptr<MainWindow> window_;
  QStringList chooser_calls_;

  std::string dictionary() const { return std::string(LEXVIA_DATA_DIR) + "/en-de-sample.dic"; }

  // A window over a settings file of this test's own.
  MainWindow& open() {
    store_ = std::make_unique<lexvia::SqliteStore>((dir_.path() + "/settings.db").toStdString());
    history_ = std::make_unique<lexvia::SqliteHistory>(*store_);
    MainWindow::Options options;
    options.data_folder = LEXVIA_RESOURCES;
    options.dictionary_folder = LEXVIA_DATA_DIR;
    options.history = history_.get();
    options.choose_file = [this](lexvia::FileKind, const QString& title) {
      chooser_calls_ << title;
      return std::optional<std::string>(dictionary());
    };
    window_ = lexvia::qt::testing::started_window(*store_, options);
    return *window_;
  }
  void close_window() {
    lexvia::qt::testing::close_window(window_);
    history_.reset();
    store_.reset();
  }
  void translate(MainWindow& w, const QString& query) {
    w.query_box()->clear();
    type(w.query_box(), query);
    QTest::mouseClick(w.translate_button(), Qt::LeftButton);
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    chooser_calls_.clear();
  }
  void cleanup() {
    if (window_) close_window();
    QFile::remove(dir_.path() + "/settings.db");
  }

  // A FIFO where the help file should be would block the reader for ever.
  void aHelpFileThatIsNoFileIsShownAsAMessage() {
    QTemporaryDir data;
    QVERIFY(::mkfifo((data.path() + "/lexvi_e.htm").toLocal8Bit().constData(), 0600) == 0);
    store_ = std::make_unique<lexvia::SqliteStore>((dir_.path() + "/settings.db").toStdString());
    MainWindow::Options options;
    options.data_folder = data.path().toStdString();
    options.dictionary_folder = LEXVIA_DATA_DIR;
    options.choose_file = [this](lexvia::FileKind, const QString&) {
      return std::optional<std::string>(dictionary());
    };
    window_ = std::make_unique<MainWindow>(*store_, options);
    window_->start();
    window_->application().command(command::kHelp);
    auto* help = qobject_cast<QTextBrowser*>(window_->help_window());
    QVERIFY(help != nullptr);
    QVERIFY2(help->toPlainText().contains("lexvi_e.htm cannot be shown: it is not a regular file"),
             qPrintable(help->toPlainText()));
    close_window();
    // The real help file is read the same way and shown as a page, not as markup.
    open().application().command(command::kHelp);
    help = qobject_cast<QTextBrowser*>(window_->help_window());
    QVERIFY(help != nullptr);
    QVERIFY(!help->toPlainText().contains("cannot be shown"));
    QVERIFY(!help->toPlainText().contains("<p>"));
    QVERIFY(help->toPlainText().size() > 200);
  }

  void startsWithReadyAndAsksForADictionaryOnce() {
    MainWindow& w = open();
    QCOMPARE(chooser_calls_, QStringList{"Dictionary"});
    QCOMPARE(rows(w), QStringList{"Ready"});
    QCOMPARE(row_colour(w, 0), 0);
    QCOMPARE(w.windowTitle(), QString("Lexvia"));
    QCOMPARE(w.direction_button()->text(), QString("en \u00BB de"));
    QCOMPARE(w.query_label()->text(), QString("Word or Phrase:"));
    QVERIFY(w.query_box()->hasFocus() || !w.isActiveWindow());
  }

  void translateListsColouredRows_data() {
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("colours");
    QTest::newRow("house") << 1 << "house"
                           << QStringList{"Extended Search: \"house\"", "  house", "    Haus",
                                          "    Geb\u00E4ude", "  house-warming",
                                          "    Einweihungsfeier"}
                           << QList<int>{3, 1, 2, 2, 1, 2};
    QTest::newRow("accents") << 2 << "Stra\u00DFe"
                             << QStringList{"Extended Search: \"Stra\u00DFe\"", "  Stra\u00DFe",
                                            "    street", "    road"}
                             << QList<int>{3, 1, 2, 2};
  }
  void translateListsColouredRows() {
    QFETCH(int, direction);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, colours);
    MainWindow& w = open();
    if (direction == 2) QTest::mouseClick(w.direction_button(), Qt::LeftButton);
    translate(w, query);
    QStringList got = rows(w).mid(1);
    QCOMPARE(got, expected);
    for (int r = 0; r < colours.size(); ++r) QCOMPARE(row_colour(w, r + 1), colours[r]);
    // Screen readers read the rows' texts.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(w.result_view());
    QVERIFY(list != nullptr);
    QVERIFY(list->childCount() >= 1);
    // The query is selected again for the next word.
    QCOMPARE(w.query_box()->selectedText(), query);
  }

  void enterTranslatesAndClickingAHeadwordCopiesIt() {
    MainWindow& w = open();
    w.query_box()->setFocus();
    QTest::keyClicks(w.query_box(), "home");
    QTest::keyClick(w.query_box(), Qt::Key_Return);
    const int headword = static_cast<int>(rows(w).indexOf("  home"));
    QVERIFY(headword > 0);
    QTest::keyClicks(w.query_box(), "typed meanwhile");
    const QRect rect = w.result_view()->visualRect(w.result_model()->index(headword));
    QTest::mouseClick(w.result_view()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(w.query_box()->text(), QString("home"));
    QCOMPARE(w.application().listing().remembered().index, headword);
  }

  void directionButtonSwitchesItsLabelAtOnce() {
    MainWindow& w = open();
    QTest::mouseClick(w.direction_button(), Qt::LeftButton);
    QCOMPARE(w.direction_button()->text(), QString("de \u00BB en"));
    QTest::mouseClick(w.direction_button(), Qt::LeftButton);
    QCOMPARE(w.direction_button()->text(), QString("en \u00BB de"));
  }

  void menusShowTheirItemsAndTheAccessibleNames() {
    MainWindow& w = open();
    QCOMPARE(open_menu(w.menu_button(command::kDictMenu)),
             (QStringList{"Load Dictionary...", "Select Interface", "About...", "Help...", "Exit"}));
    QCOMPARE(open_menu(w.menu_button(command::kSearchMenu)),
             (QStringList{"Exact Search", "Extended Search", "Phrase Search", "Full Search",
                          "Quick Translate", "Invisible Listing", "Prefix Settings...", "Back",
                          "Forward", "Add to Favourites", "History...", "Favourites...",
                          "Keep History"}));
    auto* bar = w.findChild<QToolBar*>("menubar");
    QVERIFY(bar != nullptr);
    for (int c : {command::kSpeak, command::kBrowse, command::kClear, command::kHide}) {
      QAccessibleInterface* button =
          QAccessible::queryAccessibleInterface(bar->widgetForAction(w.menu_bar_action(c)));
      QVERIFY2(button != nullptr, qPrintable(QString::number(c)));
      QVERIFY(!button->text(QAccessible::Name).isEmpty());
    }
    // Quick Translate off: the hide button is unusable.
    QVERIFY(!w.menu_bar_action(command::kHide)->isEnabled());
  }

  void theHungarianModuleChangesEveryText() {
    MainWindow& w = open();
    const auto& languages = w.application().languages();
    int hungarian = -1;
    for (std::size_t i = 0; i < languages.size(); ++i) {
      if (languages[i].name == u"magyar") hungarian = static_cast<int>(i);
    }
    QVERIFY(hungarian > 0);
    // Chosen from the menu as a user would.
    emit w.dict_menu()->aboutToShow();
    QAction* item = nullptr;
    for (QAction* a : w.dict_menu()->actions()) {
      if (a->menu() == nullptr) continue;
      for (QAction* inner : a->menu()->actions()) {
        if (inner->data().toInt() == command::kFirstLanguage + hungarian) item = inner;
      }
    }
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QString("magyar"));
    item->trigger();
    QVERIFY(w.query_label()->text() != QString("Word or Phrase:"));
    QVERIFY(w.translate_button()->text() != QString("Translate!"));
    QVERIFY(w.menu_button(command::kDictMenu)->text() != QString("Dict"));
    const QStringList dict = open_menu(w.menu_button(command::kDictMenu));
    QCOMPARE(dict.size(), 5);
    QVERIFY(!dict.contains("Load Dictionary...") && !dict.contains("Exit"));
    translate(w, "house");
    QVERIFY(!rows(w).contains("Extended Search: \"house\""));
  }

  void settingsAreSavedOnExitAndReadAtTheNextStart() {
    {
      MainWindow& w = open();
      QTest::mouseClick(w.direction_button(), Qt::LeftButton);
      w.application().command(command::kExactSearch);  // Exact Search
      w.resize(520, 600);
      close_window();
    }
    chooser_calls_.clear();
    MainWindow& w = open();
    QVERIFY(chooser_calls_.isEmpty());  // the dictionary was stored
    QCOMPARE(w.direction_button()->text(), QString("de \u00BB en"));
    QCOMPARE(w.application().settings().search_method, lexvia::SearchMethod::kExact);
    QCOMPARE(w.size(), QSize(520, 600));
  }

  // The keys reach the lists with the focus in the query box, and the pages
  // work from the keyboard; the page open at the end opens at the start.
  void historyAndFavouritesWorkFromTheKeyboard() {
    const auto shown_page = [](MainWindow& w) -> lexvia::qt::PageOverlay* {
      for (auto* page : w.findChildren<lexvia::qt::PageOverlay*>()) {
        if (page->isVisible()) return page;
      }
      return nullptr;
    };
    {
      MainWindow& w = open();
      translate(w, "house");
      translate(w, "dog");
      QTest::keyClick(w.query_box(), Qt::Key_D, Qt::ControlModifier);
      QCOMPARE(rows(w).last(), QString("Kept as a favourite: dog"));
      QTest::keyClick(w.query_box(), Qt::Key_Left, Qt::AltModifier);
      QCOMPARE(w.query_box()->text(), QString("house"));
      QTest::keyClick(w.query_box(), Qt::Key_Right, Qt::AltModifier);
      QCOMPARE(w.query_box()->text(), QString("dog"));

      QTest::keyClick(w.query_box(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
      auto* page = shown_page(w);
      QVERIFY(page != nullptr);
      QCOMPARE(page->title(), QString("Favourites"));
      QCOMPARE(QApplication::focusWidget(), page->rows());
      QTest::keyClick(page->rows(), Qt::Key_Delete);
      QVERIFY(history_->favourites().empty());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      QVERIFY(!page->isVisible());

      QTest::keyClick(w.query_box(), Qt::Key_H, Qt::ControlModifier);
      page = shown_page(w);
      QVERIFY(page != nullptr);
      QCOMPARE(page->rows()->count(), 2);
      QAccessibleInterface* list = QAccessible::queryAccessibleInterface(page->rows());
      QVERIFY(list != nullptr && list->childCount() == 2);
      QCOMPARE(list->text(QAccessible::Name), QString("History"));
      QCOMPARE(list->child(1)->text(QAccessible::Name), QString("house  (en \u00BB de, Extended Search)"));
      QTest::keyClick(page->rows(), Qt::Key_Down);
      QTest::keyClick(page->rows(), Qt::Key_Return);
      QCOMPARE(w.query_box()->text(), QString("house"));
      QCOMPARE(history_->history().front().query, u"house");
      w.application().command(command::kHistoryPage);
      close_window();
    }
    auto* page = shown_page(open());
    QVERIFY(page != nullptr);
    QCOMPARE(page->kind(), lexvia::DialogKind::kHistory);
  }

  void theTrayIconsClickTranslatesTheClipboard() {
    MainWindow& w = open();
    QGuiApplication::clipboard()->setText("home");
    w.tray_clicked();  // Quick Translate is off: nothing
    QApplication::processEvents();
    QVERIFY(!rows(w).contains("Extended Search: \"home\""));
    w.application().command(command::kQuickTranslateOff);  // on, with no button
    w.application().command(command::kQuickTranslateOff + 1);
    w.tray_clicked();
    QTRY_VERIFY(rows(w).contains("Extended Search: \"home\""));
    QCOMPARE(w.query_box()->text(), QString("home"));
  }

  void sigtermGivesTheButtonBack() {
    const QString config = dir_.path() + "/term";
    QDir().mkpath(config);
    const std::u16string key = u"Software\\Microsoft\\Shell\\Keys\\40C2";
    {
      lexvia::SqliteStore store((config + "/settings.db").toStdString());
      QVERIFY(store.create_key(lexvia::kSettingsKey));
      store.set_value(u"Dictionary", lexvia::StoredValue::of(QString::fromStdString(dictionary()).toStdU16String()));
      store.set_value(u"QuickTranslate", lexvia::StoredValue::of(1));
      store.set_value(u"QuickTranslateButton", lexvia::StoredValue::of(2));
      store.close_key();
    }
    const auto button_value = [&] {
      lexvia::SqliteStore store((config + "/settings.db").toStdString(),
                                lexvia::SqliteStore::Access::kReadOnly);
      std::optional<lexvia::StoredValue> value;
      if (store.open_key(key)) value = store.query_value(u"");
      store.close_key();
      return value ? QString::fromStdU16String(value->text) : QString("(none)");
    };
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LEXVIA_INSTANCE", dir_.path() + "/term-instance");
    env.insert("LEXVIA_CONFIG_DIR", config);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(LEXVIA_DESKTOP_PATH, {});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(button_value().contains("lexvia"), 10000);
    program.terminate();  // SIGTERM
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(button_value(), QString(""));
  }

  // With Quick Translate on and a button chosen, the woken copy translates
  // the clipboard: this is what a key bound to the program does.
  void aSecondStartExitsAndWakesTheFirst() {
    MainWindow& w = open();
    w.application().command(command::kQuickTranslateOff + 1);
    QGuiApplication::clipboard()->setText("street");
    QApplication::processEvents();
    const int before = static_cast<int>(rows(w).count("Extended Search: \"street\""));
    const QString socket = dir_.path() + "/instance";
    lexvia::qt::SingleInstance first(socket);
    int woken = 0;
    QVERIFY(first.claim());
    first.on_woken([&] {
      ++woken;
      w.wake();
    });
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LEXVIA_INSTANCE", socket);
    env.insert("LEXVIA_CONFIG_DIR", dir_.path() + "/second");
    second.setProcessEnvironment(env);
    second.start(LEXVIA_DESKTOP_PATH, {});
    QVERIFY(second.waitForStarted());
    // The second copy answers while this loop runs, so wait by spinning it.
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(woken, 1);
    QVERIFY(w.isVisible());
    QTRY_VERIFY(rows(w).count("Extended Search: \"street\"") > before);
    QCOMPARE(w.query_box()->text(), QString("street"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_qtest.moc"
