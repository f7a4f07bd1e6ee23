// The dialogs on the real main window: the progress dialog of a long lookup
// and of speech, the browse dialog, the Search Options dialog and the About
// box, driven by clicks and keys. The modal ones block inside the command
// that opens them, so timers started before it drive them.
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <chrono>
#include <memory>
#include <thread>
#include <type_traits>

#include "settings/key_value_store.h"
#include "settings/settings.h"
#include "shell/dialog_ids.h"
#include "shell/qt/about_overlay.h"
#include "shell/qt/browse_overlay.h"
#include "shell/qt/main_window.h"
#include "shell/qt/window_helpers.h"

using lexvia::qt::AboutOverlay;
using lexvia::qt::BrowseOverlay;
using lexvia::qt::DialogOverlay;
using lexvia::qt::MainWindow;
namespace command = lexvia::command;
namespace dialog = lexvia::dialog;

namespace {

using lexvia::qt::testing::row_text;
using lexvia::qt::testing::rows;
using lexvia::qt::testing::when_progress_shows;

QString qs(const std::u16string& text) { return QString::fromStdU16String(text); }

QString accessible_name(QWidget* widget) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
  return a == nullptr ? QString() : a->text(QAccessible::Name);
}

// Answers the next question box with `answer` once it is up, and keeps what
// it asked ("text|title").
void answer_question(QMessageBox::StandardButton answer, QString* asked = nullptr) {
  auto* poll = new QTimer;
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, [poll, answer, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    poll->stop();
    poll->deleteLater();
    if (asked != nullptr) *asked = box->text() + '|' + box->windowTitle();
    QTest::mouseClick(box->button(answer), Qt::LeftButton);
  });
  poll->start();
}

// Counts the progress dialogs that were ever shown, however briefly.
class ShowSpy final : public QObject {
 public:
  ShowSpy() { qApp->installEventFilter(this); }
  ~ShowSpy() override { qApp->removeEventFilter(this); }
  int shown = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("progress")) ++shown;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<lexvia::MemoryStore> store_;
  std::unique_ptr<MainWindow> window_;
  int speech_library_asked_ = 0;

  static std::string sample() { return std::string(LEXVIA_DATA_DIR) + "/en-de-sample.dic"; }

  MainWindow& open(const std::string& dictionary = sample()) {
    store_ = std::make_unique<lexvia::MemoryStore>();
    store_->files[dictionary] = true;
    auto& key = store_->keys[lexvia::kSettingsKey];
    key[u"Dictionary"] = lexvia::StoredValue::of(QString::fromStdString(dictionary).toStdU16String());
    key[u"Invisible Listing"] = lexvia::StoredValue::of(0);
    MainWindow::Options options;
    options.data_folder = LEXVIA_RESOURCES;
    options.dictionary_folder = LEXVIA_DATA_DIR;
    options.choose_file = [this](lexvia::FileKind kind, const QString&) {
      if (kind == lexvia::FileKind::kSpeechLibrary) ++speech_library_asked_;
      return std::nullopt;
    };
    window_ = lexvia::qt::testing::started_window(*store_, options);
    return *window_;
  }

  // Runs `check` on the modal dialog that `open_command` opens, from inside
  // its loop. Whatever the check left open is closed afterwards, so that a
  // failed check cannot leave the command blocked.
  template <class Overlay = DialogOverlay>
  void with_modal_dialog(MainWindow& w, int open_command,
                         const std::function<void(std::type_identity_t<Overlay>&)>& check) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      auto* d = qobject_cast<Overlay*>(w.open_overlay());
      if (d == nullptr) {
        QFAIL("no dialog opened");
        return;
      }
      check(*d);
      if (DialogOverlay* left = w.open_overlay()) {
        QWidget* x = left->control(dialog::kCancel);
        QTest::mouseClick(x != nullptr ? x : left->ok_button(), Qt::LeftButton);
      }
    });
    w.application().command(open_command);
    QVERIFY(ran);
    QVERIFY(w.open_overlay() == nullptr);
    QVERIFY(w.findChild<DialogOverlay*>() == nullptr);
  }

 private slots:
  void init() { QVERIFY(dir_.isValid()); }
  void cleanup() {
    if (window_) lexvia::qt::testing::close_window(window_);
    store_.reset();
  }

  void aLongLookupIsCancelledFromItsProgressDialog() {
    const std::string path = (dir_.path() + "/long.dic").toStdString();
    QVERIFY(lexvia::qt::testing::write_long_dictionary(path));

    MainWindow& w = open(path);
    w.application().command(command::kFullSearch);
    qint64 delivered = 0;
    connect(w.result_model(), &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex&, int from, int to) { delivered += to - from + 1; });
    QString text;
    bool cancel_enabled = false;
    QElapsedTimer since_cancel;
    QTimer poll;
    when_progress_shows(poll, w, [&](QDialog* progress) {
      text = progress->findChild<QLabel*>("progresstext")->text();
      auto* cancel = progress->findChild<QPushButton*>("cancel");
      cancel_enabled = cancel->isEnabled();
      since_cancel.start();
      QTest::mouseClick(cancel, Qt::LeftButton);
    });
    w.query_box()->setText("w");
    QTest::mouseClick(w.translate_button(), Qt::LeftButton);
    poll.stop();

    QVERIFY2(since_cancel.isValid(), "no progress dialog showed");
    const qint64 after_cancel = since_cancel.elapsed();
    QCOMPARE(text, QString("Translating..."));
    QVERIFY(cancel_enabled);
    QVERIFY(w.application().cancel_flag().is_set());
    QVERIFY2(after_cancel < 3000, qPrintable(QString("returned %1 ms after Cancel").arg(after_cancel)));
    // A full run hands the list far more than one pass's lines, even with
    // the list's bound dropping most of them.
    QVERIFY2(delivered < 2 * lexvia::qt::testing::kLongPairs,
             qPrintable(QString("%1 lines").arg(delivered)));
    QVERIFY(w.progress_dialog() == nullptr);

    // The program still responds: the next lookup runs to its end.
    w.application().command(command::kExactSearch + 1);
    w.query_box()->setText("w 000123");
    QTest::mouseClick(w.translate_button(), Qt::LeftButton);
    const QStringList last = rows(w.result_model()).mid(w.result_model()->rowCount() - 3);
    QCOMPARE(last, (QStringList{"Extended Search: \"w 000123\"", "  w 000123", "    t000123"}));
    QVERIFY(!w.application().busy());
  }

  void aQuickLookupShowsNoProgressDialog() {
    MainWindow& w = open();
    ShowSpy spy;
    w.query_box()->setText("house");
    QTest::mouseClick(w.translate_button(), Qt::LeftButton);
    QVERIFY(rows(w.result_model()).contains("  house"));
    QApplication::processEvents();
    QCOMPARE(spy.shown, 0);
    QVERIFY(w.findChild<QDialog*>("progress") == nullptr);
  }

  void speechShowsItsProgressWithADisabledCancel() {
    MainWindow& w = open();
    QString text;
    bool cancel_enabled = true;
    bool still_up_after_escape = false;
    QTimer poll;
    when_progress_shows(poll, w, [&](QDialog* progress) {
      text = progress->findChild<QLabel*>("progresstext")->text();
      cancel_enabled = progress->findChild<QPushButton*>("cancel")->isEnabled();
      QTest::keyClick(progress, Qt::Key_Escape);
      still_up_after_escape = progress->isVisible();
    });
    const lexvia::Progress progress{u"Synthetizing Speech...", u"Cancel", nullptr};
    w.run_operation([] { std::this_thread::sleep_for(std::chrono::milliseconds(600)); }, [] {},
                    progress);
    poll.stop();
    QCOMPARE(text, QString("Synthetizing Speech..."));
    QVERIFY(!cancel_enabled);
    QVERIFY(still_up_after_escape);
    QVERIFY(w.progress_dialog() == nullptr);
  }

  void browseMovesPagesAndGivesTheSelectionBack() {
    MainWindow& w = open();
    w.query_box()->setText("house");
    QTest::mouseClick(w.translate_button(), Qt::LeftButton);
    const int headword = static_cast<int>(rows(w.result_model()).indexOf("  house"));
    QVERIFY(headword > 0);
    const QRect rect = w.result_view()->visualRect(w.result_model()->index(headword));
    QTest::mouseClick(w.result_view()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(w.application().listing().remembered().index, headword);

    auto* bar = w.findChild<QToolBar*>("menubar");
    QTest::mouseClick(bar->widgetForAction(w.menu_bar_action(command::kBrowse)), Qt::LeftButton);
    auto* d = qobject_cast<BrowseOverlay*>(w.open_overlay());
    QVERIFY(d != nullptr);
    QVERIFY(d->isVisible());
    // The page covers the window but for its menu bar, whose speak button
    // works while browsing; Search and the browse and clear buttons do not,
    // and the Dict menu is grayed.
    QCOMPARE(d->geometry(), w.centralWidget()->geometry());
    QVERIFY(!d->geometry().intersects(bar->geometry()));
    QWidget* speak = bar->widgetForAction(w.menu_bar_action(command::kSpeak));
    QCOMPARE(w.childAt(speak->mapTo(&w, speak->rect().center())), speak);
    QVERIFY(speak->isEnabled());
    QVERIFY(!w.menu_button(command::kSearchMenu)->isEnabled());
    QVERIFY(!w.menu_bar_action(command::kBrowse)->isEnabled());
    QVERIFY(!w.menu_bar_action(command::kClear)->isEnabled());
    emit w.dict_menu()->aboutToShow();
    for (QAction* item : w.dict_menu()->actions()) {
      QVERIFY(item->isSeparator() || !item->isEnabled());
    }
    // No speech library yet: speak asks for one, and the page has the focus back.
    QTest::mouseClick(speak, Qt::LeftButton);
    QCOMPARE(speech_library_asked_, 1);
    QVERIFY(d->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(d->title(), QString("Browsing..."));
    QVERIFY(d->list_view()->isVisible());
    QCOMPARE(accessible_name(d->list_view()), QString("Headwords"));
    QCOMPARE(row_text(d->list_model(), 0), QString("  house"));
    QVERIFY(!w.translate_button()->isEnabled());
    // A page fills the list as it is shown, no more.
    const int row_height = d->list_view()->visualRect(d->list_model()->index(0)).height();
    const int page = d->list_view()->viewport()->height() / row_height;
    QVERIFY(page > 10);
    QCOMPARE(static_cast<int>(w.application().search_state().browse_page_size), page);
    QCOMPARE(d->list_model()->rowCount(), page);
    // A smaller window holds a smaller page, from the same headword.
    w.resize(w.width(), w.height() - 5 * row_height);
    QTRY_COMPARE(d->list_model()->rowCount(), page - 5);
    QCOMPARE(row_text(d->list_model(), 0), QString("  house"));

    struct Move {
      int id;
      const char16_t* caption;
      const char* name;
      const char16_t* first_row;
    };
    for (const Move& move : {Move{dialog::kBrowseLineDown, u">", "Line down", u"  houseboat"},
                             Move{dialog::kBrowseLineUp, u"<", "Line up", u"  house"},
                             Move{dialog::kBrowsePageDown, u"\u00BB", "Page down", u"  language"},
                             Move{dialog::kBrowsePageUp, u"\u00AB", "Page up", u"  house"},
                             Move{dialog::kBrowseHome, u"|\u00AB", "Home", u"  airport"},
                             Move{dialog::kBrowseEnd, u"\u00BB|", "End", u"  Z\u00FCrich"}}) {
      auto* button = qobject_cast<QPushButton*>(d->control(move.id));
      QVERIFY2(button != nullptr, move.name);
      QCOMPARE(button->text(), QString::fromUtf16(move.caption));
      QCOMPARE(accessible_name(button), QString(move.name));
      QTest::mouseClick(button, Qt::LeftButton);
      QCOMPARE(row_text(d->list_model(), 0), QString::fromUtf16(move.first_row));
    }
    // The list's keys move by one record, not through the lines shown.
    QTest::keyClick(d->list_view(), Qt::Key_Up);
    QCOMPARE(row_text(d->list_model(), 0), QString("  you're welcome"));
    QTest::keyClick(d->list_view(), Qt::Key_Down);
    QCOMPARE(row_text(d->list_model(), 0), QString("  Z\u00FCrich"));

    // A tap on a browse line remembers it and copies it to the query.
    const QRect line = d->list_view()->visualRect(d->list_model()->index(0));
    QTest::mouseClick(d->list_view()->viewport(), Qt::LeftButton, {}, line.center());
    QCOMPARE(w.application().listing().remembered().index, 0);
    QCOMPARE(w.query_box()->text(), QString("Z\u00FCrich"));

    // An activation of the main window gives the focus back to the dialog.
    w.query_box()->setFocus();
    w.application().activate(lexvia::kActivated);
    QVERIFY(d->isAncestorOf(QApplication::focusWidget()));

    w.application().command(command::kExit);
    QVERIFY(w.open_overlay() == nullptr);
    QTRY_VERIFY(w.findChild<DialogOverlay*>() == nullptr);
    QVERIFY(w.isVisible());
    QVERIFY(w.translate_button()->isEnabled());
    QCOMPARE(w.application().listing().remembered().index, headword);
    QCOMPARE(w.result_view()->selection_mark(), headword);
  }

  void theWindowClosesWithTheBrowseDialogOpen() {
    MainWindow& w = open();
    w.application().command(command::kExactSearch);
    w.query_box()->setText("house");
    w.application().command(command::kBrowse);
    QVERIFY(w.open_overlay() != nullptr);
    QVERIFY(w.close());
    window_->finish();
    window_.reset();
    // The shutdown ran to its end: the settings were saved.
    QCOMPARE(store_->keys[lexvia::kSettingsKey][u"Search Method"].integer, 0);
  }

  void searchOptionsConfirmStoresTheEditedLists() {
    MainWindow& w = open();
    with_modal_dialog(w, command::kPrefixSettings, [&](DialogOverlay& d) {
      QCOMPARE(d.kind(), lexvia::DialogKind::kSearchOptions);
      // Laid out for the whole window's width, not for a size it had before.
      QCOMPARE(d.client_size().width, w.width());
      QCOMPARE(d.control(dialog::kPrefixes1)->geometry(), QRect(8, 22, w.width() - 10, 54));
      QCOMPARE(qobject_cast<QLabel*>(d.control(dialog::kCaption1))->text(), QString("en  Prefixes:"));
      QCOMPARE(qobject_cast<QLabel*>(d.control(dialog::kCaption2))->text(), QString("de  Prefixes:"));
      auto* list1 = qobject_cast<QPlainTextEdit*>(d.control(dialog::kPrefixes1));
      auto* list2 = qobject_cast<QPlainTextEdit*>(d.control(dialog::kPrefixes2));
      QVERIFY(list1 != nullptr && list2 != nullptr);
      QCOMPARE(list1->toPlainText(), QString(",to "));
      QCOMPARE(list2->toPlainText(), QString(",sich "));
      QCOMPARE(accessible_name(list1), QString("en Prefixes:"));
      // Reset gives the dictionary's own list back.
      list1->setPlainText("in ,on ");
      QTest::mouseClick(d.control(dialog::kReset1), Qt::LeftButton);
      QCOMPARE(list1->toPlainText(), QString(",to "));

      list1->setPlainText("in ,on ");
      list2->setPlainText("zu ");
      // Cancel in the question keeps the dialog and its edits.
      QString asked;
      answer_question(QMessageBox::Cancel, &asked);
      QTest::mouseClick(d.ok_button(), Qt::LeftButton);
      QCOMPARE(asked, QString("Are you sure you want to save these settings?|"));
      QCOMPARE(w.open_overlay(), &d);
      QVERIFY(d.isVisible());
      QCOMPARE(list1->toPlainText(), QString("in ,on "));
      answer_question(QMessageBox::Yes);
      QTest::mouseClick(d.ok_button(), Qt::LeftButton);
    });
    QCOMPARE(qs(w.application().settings().prefix_list[0]), QString("in ,on "));
    QCOMPARE(qs(w.application().settings().prefix_list[1]), QString("zu "));
    const auto name = lexvia::prefix_list_value_name(1, sample());
    QVERIFY(name.has_value());
    QCOMPARE(qs(store_->keys[lexvia::kSettingsKey][*name].text), QString("in ,on "));
  }

  void searchOptionsLeftWithoutSavingStoreNothing_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("OK, then No") << "no";
    QTest::newRow("the x button") << "x";
    QTest::newRow("Esc") << "esc";
  }
  void searchOptionsLeftWithoutSavingStoreNothing() {
    QFETCH(QString, way);
    MainWindow& w = open();
    with_modal_dialog(w, command::kPrefixSettings, [&](DialogOverlay& d) {
      auto* list1 = qobject_cast<QPlainTextEdit*>(d.control(dialog::kPrefixes1));
      list1->setPlainText("in ,on ");
      if (way == "no") {
        answer_question(QMessageBox::No);
        QTest::mouseClick(d.ok_button(), Qt::LeftButton);
      } else if (way == "x") {
        QCOMPARE(accessible_name(d.control(dialog::kCancel)), QString("Close without saving"));
        QTest::mouseClick(d.control(dialog::kCancel), Qt::LeftButton);
      } else {
        QVERIFY(list1->hasFocus());
        QTest::keyClick(list1, Qt::Key_Escape);
      }
      QVERIFY(w.open_overlay() == nullptr);
    });
    QCOMPARE(qs(w.application().settings().prefix_list[0]), QString(",to "));
    const auto name = lexvia::prefix_list_value_name(1, sample());
    QVERIFY(!store_->keys[lexvia::kSettingsKey].contains(*name));
    // The query box has the focus again.
    QVERIFY(w.query_box()->hasFocus() || !w.isActiveWindow());
  }

  void aboutBoxShowsTheProgramAndTheDictionary() {
    MainWindow& w = open();
    with_modal_dialog<AboutOverlay>(w, command::kAbout, [&](AboutOverlay& d) {
      QCOMPARE(d.kind(), lexvia::DialogKind::kAbout);
      QVERIFY(d.isVisible());
      QCOMPARE(d.control(dialog::kDictionaryLine)->geometry(), QRect(2, 118, w.width() - 4, 40));
      QVERIFY(qobject_cast<QLabel*>(d.control(dialog::kVersionLine))->text().startsWith("Lexvia "));
      const QString line = qobject_cast<QLabel*>(d.control(dialog::kDictionaryLine))->text();
      QVERIFY2(line.contains("Selected Dictionary: en-de"), qPrintable(line));
      QVERIFY2(line.contains(QRegularExpression("Contains \\d+ expression pairs")), qPrintable(line));
      // The box's timers run: a feature line arrives and fades in.
      const QColor base = d.palette().color(QPalette::Window);
      QTRY_VERIFY(!d.control_text(dialog::kFeatureLine).empty());
      QTRY_VERIFY(d.feature_colour() != base);
      QTest::mouseClick(d.ok_button(), Qt::LeftButton);
      QVERIFY(w.open_overlay() == nullptr);
    });
    QVERIFY(w.isVisible());
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_qtest.moc"
