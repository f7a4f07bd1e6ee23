// The main window on Qt 6 Widgets: the platform the application drives. It
// holds the controls, the menu bar (a tool bar at the bottom of the window,
// as on the handheld) and its menus, and forwards every user action to the
// application's command table; it decides nothing itself.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/platform.h"
#include "shell/qt/dialog_overlay.h"
#include "shell/qt/result_list_control.h"
#include "shell/qt/result_model.h"
#include "shell/qt/result_view.h"

class QComboBox;
class QShortcut;
class QLineEdit;
class QMenu;
class QPushButton;
class QTextBrowser;
class QToolButton;
class QAction;
class QDialog;

namespace lexvia::qt {

class RowDelegate;

class MainWindow final : public QMainWindow, public Platform {
  Q_OBJECT

 public:
  struct Options {
    std::string data_folder;        // modules and help files
    std::string dictionary_folder;  // where the file chooser opens
    // Stands in for the file dialog (tests); the desktop's dialog when empty.
    std::function<std::optional<std::string>(FileKind, const QString& title)> choose_file;
    // The speech plug-in taken when none is stored.
    std::optional<std::string> speech_library;
    // Ends the process once the settings are saved, when the program was
    // told to end but its operation does not (a speech plug-in that hangs);
    // std::_Exit(0) when empty (tests stand in for it).
    std::function<void()> exit_now;
    // Where the lookups are recorded and the favourites kept; none keeps
    // no history.
    LookupHistory* history = nullptr;
  };
  MainWindow(KeyValueStore& store, Options options);
  ~MainWindow() override;

  // The start-up once the window exists: the settings, the first line
  // "Ready", the window's remembered place; then it is shown.
  void start();
  // After the message loop.
  void finish();
  Application& application() { return *app_; }

  // The parts the tests look at.
  QLineEdit* query_box() const { return query_; }
  QPushButton* translate_button() const { return translate_; }
  QPushButton* direction_button() const { return direction_; }
  QLabel* query_label() const { return label_; }
  ResultView* result_view() const { return view_; }
  ResultModel* result_model() const { return model_.get(); }
  QToolButton* menu_button(int command) const;
  QAction* menu_bar_action(int command) const;
  QMenu* dict_menu() const { return dict_menu_; }
  QMenu* search_menu() const { return search_menu_; }
  QWidget* help_window() const;
  // The dialog shown over the window, the newest when there are two.
  DialogOverlay* open_overlay() const;
  // The progress dialog while it shows, else nothing.
  QDialog* progress_dialog() const;

  // Platform.
  void set_text(Control control, std::u16string_view text) override;
  std::u16string text(Control control) const override;
  void set_enabled(Control control, bool enabled) override;
  void set_visible(Control control, bool visible) override;
  void place(Control control, Rect rect) override;
  void set_result_column_width(int width) override;
  Size client_size() const override;
  int scroll_bar_width() const override;
  void focus_query() override;
  ListControl& result_list() override { return *list_; }
  void set_menu_button_text(int command, std::u16string_view text) override;
  void enable_menu_button(int command, bool enabled) override;
  void bring_to_front() override;
  void send_to_back() override;
  void destroy_window() override;
  void post_command(int command) override;
  std::optional<std::string> choose_file(FileKind kind, std::u16string_view title) override;
  void show_help(const std::string& path_with_anchor) override;
  std::optional<std::u16string> clipboard_text() override;
  bool add_tray_icon(std::u16string_view tip) override;
  void remove_tray_icon() override;
  // A click on the tray icon: the Quick Translate message.
  void tray_clicked();
  void run_operation(const std::function<void()>& work, const std::function<void()>& deliver,
                     const Progress& progress) override;
  DialogWindow* open_dialog(DialogKind kind, DialogHandler& handler) override;
  void run_dialog(DialogKind kind, DialogHandler& handler) override;
  Answer ask(std::u16string_view text) override;
  void set_result_selection_mark(int row) override;

  // A second start of the program asked this copy to come forward.
  void wake();

  // How long the end waits for an operation it has cancelled.
  static constexpr int kEndWaitMs = 2000;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_controls();
  void build_menus();
  void paint_icons();
  QAction* add_item(QMenu* menu, int command, const char* placeholder, bool checkable = false);
  void dispatch(int command);
  void prepare(MenuKind kind, QMenu* menu);
  void end_run();
  QWidget* widget(Control control) const;
  DialogOverlay* make_overlay(DialogKind kind, DialogHandler& handler,
                              std::function<void()> closed);
  void enable_shortcuts(bool enabled);
  bool has_focus() const;
  ActivationOrigin origin_of_activation();
  void report_activation(int state);
  void save_on_end();
  void end_now();

  KeyValueStore& store_;
  Options options_;
  QWidget* client_ = nullptr;
  QLabel* label_ = nullptr;
  QLineEdit* query_ = nullptr;
  QPushButton* translate_ = nullptr;
  QPushButton* direction_ = nullptr;
  ResultView* view_ = nullptr;
  QComboBox* languages_ = nullptr;
  std::unique_ptr<ResultModel> model_;
  std::unique_ptr<ResultListControl> list_;
  RowDelegate* delegate_ = nullptr;
  QToolButton* dict_button_ = nullptr;
  QToolButton* search_button_ = nullptr;
  QMenu* dict_menu_ = nullptr;
  QMenu* languages_menu_ = nullptr;
  QMenu* search_menu_ = nullptr;
  QMenu* quick_menu_ = nullptr;
  std::map<int, QAction*> bar_actions_;
  QTextBrowser* help_ = nullptr;
  std::vector<QShortcut*> shortcuts_;
  std::vector<QPointer<DialogOverlay>> overlays_;
  QPointer<QDialog> progress_;
  bool operation_running_ = false;
  int modal_dialogs_ = 0;
  std::unique_ptr<Application> app_;
  bool ended_ = false;
  bool end_waiting_ = false;
  // An activation waits a moment for the click that may have caused it.
  bool activation_pending_ = false;
  int activation_serial_ = 0;
  ActivationOrigin activation_origin_ = ActivationOrigin::kOutside;
  // When the window last asked to come forward, and when one of the
  // program's other windows last let the focus go or went away.
  QElapsedTimer front_requested_;
  QElapsedTimer own_window_left_;
  QObject* tray_ = nullptr;
};

}  // namespace lexvia::qt
