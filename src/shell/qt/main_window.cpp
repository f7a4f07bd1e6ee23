#include "shell/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "shell/qt/about_overlay.h"
#include "shell/qt/browse_overlay.h"
#include "shell/qt/help_browser.h"
#include "shell/qt/path.h"
#include "shell/qt/progress_dialog.h"
#include "shell/qt/qt_menu.h"
#include "shell/qt/page_overlay.h"
#include "shell/qt/row_delegate.h"
#include "shell/qt/search_options_overlay.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

namespace {

// Qt does not say whether a click activated the window: a press in it this
// soon after the activation makes it a click activation.
constexpr int kClickWaitMs = 60;
// An activation this soon after the window asked to come forward answers
// that request; this soon after another window of the program let the
// focus go, it is the focus coming back.
constexpr int kFrontRequestMs = 1000;
constexpr int kHandOverMs = 500;

// True when the timer was started less than `ms` ago; it stops either way.
bool within(QElapsedTimer& since, int ms) {
  const bool recent = since.isValid() && since.elapsed() < ms;
  since.invalidate();
  return recent;
}

// "*.dic" in every mix of letter case: the desktop's file dialog matches
// patterns case-sensitively.
QString any_case_pattern(const QString& extension) {
  QStringList patterns;
  const int n = static_cast<int>(extension.size());
  for (int mask = 0; mask < (1 << n); ++mask) {
    QString e = extension;
    for (int i = 0; i < n; ++i) e[i] = (mask >> i) & 1 ? e[i].toUpper() : e[i].toLower();
    patterns << "*." + e;
  }
  return patterns.join(' ');
}

// A tool bar image drawn in the palette's text colour, so that it stays
// visible on a dark desktop theme; rendered at 1x and 2x.
QIcon themed_icon(const QString& name, const QColor& ink) {
  QFile file(QStringLiteral(":/icons/%1.svg").arg(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray svg = file.readAll();
  svg.replace("#333333", ink.name().toLatin1());
  QSvgRenderer renderer(svg);
  QIcon icon;
  for (int size : {16, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

MainWindow::MainWindow(KeyValueStore& store, Options options)
    : store_(store), options_(std::move(options)) {
  setWindowTitle(QStringLiteral("Lexvia"));
  setObjectName(QStringLiteral("Lexvia"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/lexvia.svg")));
  build_controls();
  app_ = std::make_unique<Application>(*this, store_, options_.data_folder, options_.history);
  delegate_ = new RowDelegate(app_->listing(), *list_, view_);
  view_->setItemDelegate(delegate_);
  view_->on_selection_changed = [this] {
    app_->result_selection_changed();
    view_->viewport()->update();
  };
  view_->on_focused = [this] {
    app_->result_list_focused();
    view_->viewport()->update();
  };
  build_menus();
  // A click anywhere in the window tells a click activation from another.
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  // A dialog still open talks to the application's dialog logic: it goes
  // while that still exists.
  for (const QPointer<DialogOverlay>& overlay : overlays_) delete overlay.data();
}

void MainWindow::build_controls() {
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  setCentralWidget(client_);
  client_->installEventFilter(this);

  // Everything starts at 0,0 with no size; the layout places it.
  label_ = new QLabel(QStringLiteral("&Word or Phrase:"), client_);
  query_ = new QLineEdit(client_);
  query_->setMaxLength(256);
  query_->setAccessibleName(QStringLiteral("Query"));
  label_->setBuddy(query_);
  translate_ = new QPushButton(QStringLiteral("Translate!"), client_);
  translate_->setDefault(true);
  direction_ = new QPushButton(QStringLiteral("X \u00BB Y"), client_);
  direction_->setAccessibleDescription(QStringLiteral("Switch the translation direction"));
  model_ = std::make_unique<ResultModel>();
  view_ = new ResultView(client_);
  view_->setModel(model_.get());
  view_->setAccessibleName(QStringLiteral("Results"));
  list_ = std::make_unique<ResultListControl>(*model_, *view_);
  languages_ = new QComboBox(client_);
  languages_->hide();
  for (QWidget* w : {static_cast<QWidget*>(label_), static_cast<QWidget*>(query_),
                     static_cast<QWidget*>(translate_), static_cast<QWidget*>(direction_),
                     static_cast<QWidget*>(view_)}) {
    w->setGeometry(0, 0, 0, 0);
  }
  setTabOrder(query_, translate_);
  setTabOrder(translate_, direction_);
  setTabOrder(direction_, view_);

  // Enter in the query box is the default button's click.
  connect(query_, &QLineEdit::returnPressed, this, [this] {
    if (translate_->isEnabled()) dispatch(command::kTranslate);
  });
  connect(translate_, &QPushButton::clicked, this, [this] { dispatch(command::kTranslate); });
  connect(direction_, &QPushButton::clicked, this, [this] { dispatch(command::kDirection); });
}

QAction* MainWindow::add_item(QMenu* menu, int command, const char* placeholder, bool checkable) {
  QAction* action = menu->addAction(QString::fromUtf8(placeholder));
  action->setData(command);
  action->setCheckable(checkable);
  connect(action, &QAction::triggered, this, [this, command] { dispatch(command); });
  return action;
}

void MainWindow::build_menus() {
  // The texts here are placeholders: prepare_menu sets the shown ones each
  // time a menu opens.
  dict_menu_ = new QMenu(this);
  add_item(dict_menu_, command::kLoadDictionary, "Load Dictionary...")
      ->setShortcut(QKeySequence::Open);
  languages_menu_ = dict_menu_->addMenu(QStringLiteral("Select Interface"));
  dict_menu_->addSeparator();
  add_item(dict_menu_, command::kAbout, "About...");
  add_item(dict_menu_, command::kHelp, "Help...")->setShortcut(QKeySequence::HelpContents);
  dict_menu_->addSeparator();
  add_item(dict_menu_, command::kExit, "Exit")->setShortcut(QKeySequence::Quit);

  search_menu_ = new QMenu(this);
  for (const char* name : {"Exact Search", "Extended Search", "Phrase Search", "Full Search"}) {
    add_item(search_menu_, command::kExactSearch + static_cast<int>(search_menu_->actions().size()),
             name, true);
  }
  search_menu_->addSeparator();
  quick_menu_ = search_menu_->addMenu(QStringLiteral("Quick Translate"));
  add_item(quick_menu_, command::kQuickTranslateOff, "Off", true);
  for (int b = 1; b <= 4; ++b) {
    add_item(quick_menu_, command::kQuickTranslateOff + b,
             QStringLiteral("Button #%1").arg(b).toUtf8().constData(), true);
  }
  search_menu_->addSeparator();
  add_item(search_menu_, command::kInvisibleListing, "Invisible Listing", true);
  search_menu_->addSeparator();
  add_item(search_menu_, command::kPrefixSettings, "Prefix Settings...");
  search_menu_->addSeparator();
  add_item(search_menu_, command::kBack, "Back")->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  add_item(search_menu_, command::kForward, "Forward")
      ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  add_item(search_menu_, command::kAddFavourite, "Add to Favourites")
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  add_item(search_menu_, command::kHistoryPage, "History...")
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  add_item(search_menu_, command::kFavouritesPage, "Favourites...")
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
  add_item(search_menu_, command::kKeepHistory, "Keep History", true);

  connect(dict_menu_, &QMenu::aboutToShow, this, [this] { prepare(MenuKind::kDict, dict_menu_); });
  connect(languages_menu_, &QMenu::aboutToShow, this,
          [this] { prepare(MenuKind::kLanguages, languages_menu_); });
  connect(search_menu_, &QMenu::aboutToShow, this,
          [this] { prepare(MenuKind::kSearch, search_menu_); });
  connect(quick_menu_, &QMenu::aboutToShow, this,
          [this] { prepare(MenuKind::kQuickTranslate, quick_menu_); });

  // The menus' shortcuts work with the menus closed: the menu is prepared
  // first, so a shortcut does only what its item would do now.
  const auto add_shortcuts = [this](MenuKind kind, QMenu* menu, std::initializer_list<int> commands) {
    for (const int command : commands) {
      // The item shows its key, but only the window's shortcut acts on it:
      // two shortcuts on one key would cancel each other out.
      QAction* action = find_action(menu, command);
      action->setShortcutContext(Qt::WidgetShortcut);
      auto* shortcut = new QShortcut(action->shortcut(), this);
      shortcuts_.push_back(shortcut);
      connect(shortcut, &QShortcut::activated, this, [this, kind, menu, command] {
        prepare(kind, menu);
        if (QAction* item = find_action(menu, command); item != nullptr && item->isEnabled()) {
          dispatch(command);
        }
      });
    }
  };
  add_shortcuts(MenuKind::kDict, dict_menu_,
                {command::kLoadDictionary, command::kHelp, command::kExit});
  add_shortcuts(MenuKind::kSearch, search_menu_,
                {command::kBack, command::kForward, command::kAddFavourite, command::kHistoryPage,
                 command::kFavouritesPage});

  // The menu bar: Dict and Search open their menus, then the image buttons.
  QToolBar* bar = new QToolBar(QStringLiteral("Menu bar"), this);
  bar->setObjectName(QStringLiteral("menubar"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(16, 16));
  bar->toggleViewAction()->setEnabled(false);
  addToolBar(Qt::BottomToolBarArea, bar);
  const auto menu_button = [&](QMenu* menu, const QString& text) {
    auto* button = new QToolButton(bar);
    button->setText(text);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(button);
    return button;
  };
  dict_button_ = menu_button(dict_menu_, QStringLiteral("Dict"));
  search_button_ = menu_button(search_menu_, QStringLiteral("Search"));
  struct Image {
    int command;
    const char* name;  // what a screen reader says and the tool tip shows
    bool separator_before;
  };
  for (const Image& image :
       {Image{command::kSpeak, "Speak", true}, Image{command::kBrowse, "Browse", false},
        Image{command::kClear, "Clear", true}, Image{command::kHide, "Hide", true}}) {
    if (image.separator_before) bar->addSeparator();
    QAction* action = bar->addAction(QString::fromUtf8(image.name));
    action->setData(image.command);
    action->setToolTip(QString::fromUtf8(image.name));
    const int command = image.command;
    connect(action, &QAction::triggered, this, [this, command] { dispatch(command); });
    bar_actions_[command] = action;
  }
  paint_icons();
}

void MainWindow::paint_icons() {
  const QColor ink = palette().color(QPalette::ButtonText);
  for (auto [command, name] :
       {std::pair{command::kSpeak, "speak"}, std::pair{command::kBrowse, "browse"},
        std::pair{command::kClear, "clear"}, std::pair{command::kHide, "hide"}}) {
    bar_actions_[command]->setIcon(themed_icon(QString::fromLatin1(name), ink));
  }
}

QToolButton* MainWindow::menu_button(int command) const {
  if (command == command::kDictMenu) return dict_button_;
  if (command == command::kSearchMenu) return search_button_;
  return nullptr;
}

QAction* MainWindow::menu_bar_action(int command) const {
  const auto it = bar_actions_.find(command);
  return it == bar_actions_.end() ? nullptr : it->second;
}

QWidget* MainWindow::help_window() const { return help_; }

DialogOverlay* MainWindow::open_overlay() const {
  for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it) {
    if (!it->isNull() && !(*it)->is_closed()) return it->data();
  }
  return nullptr;
}

QDialog* MainWindow::progress_dialog() const {
  return progress_ != nullptr && progress_->isVisible() ? progress_.data() : nullptr;
}

void MainWindow::prepare(MenuKind kind, QMenu* menu) {
  QtMenu wrapped(menu, [this](QMenu* owner, int command, const QString& text) {
    QAction* action = add_item(owner, command, "", true);
    action->setText(text);
    return action;
  });
  app_->prepare_menu(kind, wrapped);
}

void MainWindow::dispatch(int command) { app_->command(command); }

void MainWindow::start() {
  if (const auto place = app_->stored_window_place()) {
    setGeometry(place->x, place->y, place->width, place->height);
  } else {
    resize(480, 640);
  }
  show();
  StartOptions start;
  start.default_speech_library = options_.speech_library;
  app_->start(start);
}

void MainWindow::finish() { app_->finish(); }

void MainWindow::save_on_end() {
  if (ended_) return;
  ended_ = true;
  const QRect place = normalGeometry();
  app_->store_window_place({place.x(), place.y(), place.width(), place.height()});
  app_->shutdown();
}

void MainWindow::end_run() {
  if (ended_) return;
  save_on_end();
  QCoreApplication::quit();
}

void MainWindow::end_now() {
  if (ended_) return;
  // The operation has not ended since it was cancelled (a speech plug-in
  // that hangs): the settings are saved and the process ends without it,
  // whose thread cannot be joined.
  save_on_end();
  finish();
  if (options_.exit_now) {
    options_.exit_now();
  } else {
    std::_Exit(0);
  }
}

// A second start is an activation from outside, whatever becomes of the
// window's request to come forward: the desktop may refuse it.
void MainWindow::wake() { app_->activate(kActivated, ActivationOrigin::kOutside); }

// ---- Events ------------------------------------------------------------------

bool MainWindow::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate: {
      // One activation, reported once: as a click activation when a press
      // in the window follows at once (before the press is handled, as the
      // handheld reported it), else as a plain one, which may translate the
      // clipboard.
      const bool result = QMainWindow::event(event);
      if (app_ && !ended_) {
        activation_origin_ = origin_of_activation();
        activation_pending_ = true;
        const int serial = ++activation_serial_;
        QTimer::singleShot(kClickWaitMs, this, [this, serial] {
          if (serial == activation_serial_) report_activation(kActivated);
        });
      }
      return result;
    }
    case QEvent::PaletteChange:
      paint_icons();
      view_->viewport()->update();
      break;
    default:
      break;
  }
  return QMainWindow::event(event);
}

// The window system's focus, shown: isActiveWindow() also holds while a
// window of the main window's own (the help window) has it.
bool MainWindow::has_focus() const {
  return isVisible() && !isMinimized() && windowHandle() != nullptr &&
         QGuiApplication::focusWindow() == windowHandle();
}

ActivationOrigin MainWindow::origin_of_activation() {
  const bool requested = within(front_requested_, kFrontRequestMs);
  const bool handed_back = within(own_window_left_, kHandOverMs);
  if (requested) return ActivationOrigin::kOwnRequest;
  return handed_back ? ActivationOrigin::kOwnWindow : ActivationOrigin::kOutside;
}

void MainWindow::report_activation(int state) {
  if (!activation_pending_ || ended_) return;
  activation_pending_ = false;
  if (state == kActivated && !has_focus()) return;
  app_->activate(state, activation_origin_);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize && app_) app_->layout_controls();
  auto* w = qobject_cast<QWidget*>(watched);
  if (w == nullptr) return QMainWindow::eventFilter(watched, event);
  if (event->type() == QEvent::MouseButtonPress && activation_pending_ && w->window() == this) {
    report_activation(kClickActivated);
  }
  // The query box would take Ctrl+D and Ctrl+H as editing keys (delete,
  // backspace); the window's own shortcuts come first there.
  if (w == query_ && event->type() == QEvent::ShortcutOverride) {
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const QShortcut* shortcut : shortcuts_) {
      if (shortcut->isEnabled() && shortcut->key() == pressed) return true;
    }
  }
  // The program's other windows (the help window, its dialogs and question
  // boxes, the progress dialog), not its menus and tips.
  const Qt::WindowType type = w->windowType();
  if (w != this && w->isWindow() && (type == Qt::Window || type == Qt::Dialog) &&
      (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide)) {
    own_window_left_.start();
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Idle, the end runs at once (destroy_window); else it follows the
  // operation, which it has cancelled.
  if (!ended_) app_->end();
  if (ended_) {
    event->accept();
    return;
  }
  event->ignore();
  if (!end_waiting_) {
    end_waiting_ = true;
    QTimer::singleShot(kEndWaitMs, this, [this] { end_now(); });
  }
}

// ---- Platform ----------------------------------------------------------------

QWidget* MainWindow::widget(Control control) const {
  switch (control) {
    case Control::kQueryLabel:
      return label_;
    case Control::kQueryBox:
      return query_;
    case Control::kTranslateButton:
      return translate_;
    case Control::kDirectionButton:
      return direction_;
    case Control::kResultList:
      return view_;
    case Control::kLanguageList:
      return languages_;
  }
  return nullptr;
}

void MainWindow::set_text(Control control, std::u16string_view text) {
  const QString q = to_qstring(text);
  switch (control) {
    case Control::kQueryLabel:
      label_->setText(q);
      break;
    case Control::kQueryBox:
      query_->setText(q.left(query_->maxLength()));
      break;
    case Control::kTranslateButton:
      translate_->setText(q);
      break;
    case Control::kDirectionButton:
      direction_->setText(q);
      break;
    case Control::kResultList:
    case Control::kLanguageList:
      break;
  }
}

std::u16string MainWindow::text(Control control) const {
  switch (control) {
    case Control::kQueryLabel:
      return to_u16(label_->text());
    case Control::kQueryBox:
      return to_u16(query_->text());
    case Control::kTranslateButton:
      return to_u16(translate_->text());
    case Control::kDirectionButton:
      return to_u16(direction_->text());
    case Control::kResultList:
    case Control::kLanguageList:
      return {};
  }
  return {};
}

void MainWindow::set_enabled(Control control, bool enabled) {
  widget(control)->setEnabled(enabled);
}

void MainWindow::set_visible(Control control, bool visible) {
  widget(control)->setVisible(visible);
}

void MainWindow::place(Control control, Rect rect) {
  widget(control)->setGeometry(rect.x, rect.y, std::max(0, rect.width), std::max(0, rect.height));
}

void MainWindow::set_result_column_width(int width) {
  delegate_->set_column_width(std::max(0, width));
}

Size MainWindow::client_size() const { return {client_->width(), client_->height()}; }

int MainWindow::scroll_bar_width() const {
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

void MainWindow::focus_query() {
  query_->selectAll();
  query_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::set_menu_button_text(int command, std::u16string_view text) {
  if (QToolButton* button = menu_button(command)) button->setText(to_qstring(text));
}

void MainWindow::enable_menu_button(int command, bool enabled) {
  if (QToolButton* button = menu_button(command)) button->setEnabled(enabled);
  if (QAction* action = menu_bar_action(command)) action->setEnabled(enabled);
}

void MainWindow::bring_to_front() {
  // The activation this asks for arrives later, from the event loop.
  if (!has_focus()) front_requested_.start();
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void MainWindow::send_to_back() {
  lower();
  hide();
}

void MainWindow::destroy_window() {
  if (!app_->busy()) end_run();
  hide();
}

void MainWindow::post_command(int command) {
  QMetaObject::invokeMethod(
      this, [this, command] { dispatch(command); }, Qt::QueuedConnection);
}

std::optional<std::string> MainWindow::choose_file(FileKind kind, std::u16string_view title) {
  const QString caption = to_qstring(title);
  if (options_.choose_file) return options_.choose_file(kind, caption);
  const QString filter =
      caption + " (" + any_case_pattern(kind == FileKind::kDictionary ? "dic" : "so") + ")";
  const QString picked =
      QFileDialog::getOpenFileName(this, caption, from_path(options_.dictionary_folder), filter);
  // The desktop's own dialog is no window Qt knows of.
  own_window_left_.start();
  if (picked.isEmpty()) return std::nullopt;
  return to_path(picked);
}

void MainWindow::show_help(const std::string& path_with_anchor) {
  const std::size_t hash = path_with_anchor.rfind('#');
  const std::string file = path_with_anchor.substr(0, hash);
  QUrl url = QUrl::fromLocalFile(from_path(file));
  if (hash != std::string::npos) {
    url.setFragment(QString::fromStdString(path_with_anchor.substr(hash + 1)));
  }
  if (help_ == nullptr) {
    help_ = new HelpBrowser(this);
    help_->setWindowFlag(Qt::Window);
    help_->setObjectName(QStringLiteral("help"));
    help_->setOpenExternalLinks(true);
    help_->resize(560, 640);
  }
  help_->setWindowTitle(QStringLiteral("Lexvia Help"));
  help_->setSource(url);
  if (url.hasFragment()) help_->scrollToAnchor(url.fragment());
  help_->show();
  help_->raise();
  help_->activateWindow();
}

bool MainWindow::add_tray_icon(std::u16string_view tip) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  auto* tray = new QSystemTrayIcon(windowIcon(), this);
  tray->setToolTip(to_qstring(tip));
  connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger) tray_clicked();
  });
  tray->show();
  delete tray_;
  tray_ = tray;
  return true;
}

void MainWindow::remove_tray_icon() {
  delete tray_;
  tray_ = nullptr;
}

void MainWindow::tray_clicked() { app_->quick_translate_message(kTrayIconId, kTrayTap); }

std::optional<std::u16string> MainWindow::clipboard_text() {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty()) return std::nullopt;
  return to_u16(text);
}

void MainWindow::run_operation(const std::function<void()>& work,
                               const std::function<void()>& deliver, const Progress& progress) {
  // The work runs on a thread of its own while this thread keeps painting
  // and hands over what the work has found about once a frame. The loop
  // takes user input, so that Cancel can be clicked; the application holds
  // back what else arrives meanwhile until the work has ended. The loop
  // ends when the work has: its thread is joined before this returns.
  QEventLoop loop;
  std::atomic<bool> done{false};
  operation_running_ = true;
  std::thread worker([&] {
    work();
    done.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  QTimer frame;
  frame.setInterval(16);
  connect(&frame, &QTimer::timeout, &loop, [&] { deliver(); });
  frame.start();
  // Work that ends within a moment shows no dialog at all.
  QTimer moment;
  moment.setSingleShot(true);
  connect(&moment, &QTimer::timeout, &loop, [&] {
    if (done.load(std::memory_order_acquire)) return;
    auto* dialog = new ProgressDialog(progress, this);
    progress_ = dialog;
    dialog->show_centred();
  });
  moment.start(250);
  if (!done.load(std::memory_order_acquire)) loop.exec();
  moment.stop();
  frame.stop();
  worker.join();
  if (progress_ != nullptr) own_window_left_.start();
  delete progress_.data();
  operation_running_ = false;
}

// ---- Dialogs -------------------------------------------------------------------

DialogOverlay* MainWindow::make_overlay(DialogKind kind, DialogHandler& handler,
                                        std::function<void()> closed) {
  DialogOverlay::Hooks hooks;
  hooks.busy = [this] { return app_->busy() || operation_running_; };
  hooks.closed = std::move(closed);
  // The browse page leaves the menu bar free: its speak button works there.
  if (kind == DialogKind::kBrowse) hooks.area = client_;
  DialogOverlay* overlay = nullptr;
  switch (kind) {
    case DialogKind::kBrowse:
      overlay = new BrowseOverlay(handler, app_->listing(), std::move(hooks), this);
      break;
    case DialogKind::kSearchOptions:
      overlay = new SearchOptionsOverlay(handler, std::move(hooks), this);
      break;
    case DialogKind::kAbout:
      overlay = new AboutOverlay(handler, std::move(hooks), this);
      break;
    case DialogKind::kHistory:
    case DialogKind::kFavourites:
      overlay = new PageOverlay(kind, handler, std::move(hooks), this);
      break;
  }
  overlays_.erase(std::remove_if(overlays_.begin(), overlays_.end(),
                                 [](const QPointer<DialogOverlay>& o) { return o.isNull(); }),
                  overlays_.end());
  overlays_.emplace_back(overlay);
  return overlay;
}

void MainWindow::enable_shortcuts(bool enabled) {
  for (QShortcut* shortcut : shortcuts_) shortcut->setEnabled(enabled);
}

DialogWindow* MainWindow::open_dialog(DialogKind kind, DialogHandler& handler) {
  DialogOverlay* overlay = make_overlay(kind, handler, {});
  overlay->open();
  return overlay->is_closed() ? nullptr : overlay;
}

void MainWindow::run_dialog(DialogKind kind, DialogHandler& handler) {
  // The main window's own shortcuts would reach past the dialog.
  QEventLoop loop;
  const auto end_modal = [this] {
    if (--modal_dialogs_ == 0) enable_shortcuts(true);
  };
  if (modal_dialogs_++ == 0) enable_shortcuts(false);
  bool ended = false;
  QPointer<DialogOverlay> overlay = make_overlay(kind, handler, [&] {
    ended = true;
    end_modal();
    loop.quit();
  });
  overlay->open();
  if (!ended) loop.exec();
  // The loop also ends when the program quits with the dialog open; the
  // handler goes with this call, so its window goes now.
  if (!ended) end_modal();
  delete overlay.data();
}

Answer MainWindow::ask(std::u16string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), to_qstring(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      return Answer::kCancel;
  }
}

void MainWindow::set_result_selection_mark(int row) { view_->set_selection_mark(row); }

}  // namespace lexvia::qt
