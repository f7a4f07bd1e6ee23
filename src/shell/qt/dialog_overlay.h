// A dialog on Qt: an overlay that covers the main window, as the handheld's
// full-screen dialogs covered its screen (the browse page leaves the menu
// bar free, whose speak button works while browsing). A top bar holds the
// title and the OK button; below it the client area, where the dialog logic
// places each control itself. The overlay only shows and reports: what a
// button or a key means is the handler's business. Each dialog is a subclass
// that makes its own controls and offers the parts only it has
// (browse_overlay.h, search_options_overlay.h, about_overlay.h).
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "shell/platform.h"

class QKeyEvent;
class QLabel;
class QPainter;
class QPushButton;

namespace lexvia::qt {

class DialogOverlay : public QWidget, public DialogWindow {
  Q_OBJECT

 public:
  struct Hooks {
    // True while a long operation runs: a size change waits for its end, as
    // the handheld's window could not lay itself out meanwhile either.
    std::function<bool()> busy;
    // Runs in close(), before the handler's next step (which may put the
    // focus back on the main window).
    std::function<void()> closed;
    // The part of the main window the overlay covers, a child of it; all of
    // the main window when null.
    QWidget* area = nullptr;
  };
  ~DialogOverlay() override;

  // Calls the handler's initialise, then shows the overlay with the focus on
  // its first control.
  void open();
  bool is_closed() const { return closed_; }
  virtual DialogKind kind() const = 0;

  // The parts the tests and the screenshots look at.
  QWidget* control(int id) const;
  QString title() const;
  QPushButton* ok_button() const { return ok_; }

  // DialogWindow.
  Size client_size() const override;
  void place(int control, Rect rect) override;
  void set_title(std::u16string_view text) override;
  void set_control_text(int control, std::u16string_view text) override;
  std::u16string control_text(int control) const override;
  void focus_control(int control) override;
  void activate() override;
  void close() override;

 protected:
  DialogOverlay(DialogHandler& handler, Hooks hooks, QWidget* main_window);

  // What a dialog may do its own way.
  // The focus as the dialog opens, and when it comes back from elsewhere:
  // the client area's first control that Tab reaches, else OK.
  virtual void focus_first();
  // A key pressed in the overlay or in a control it watches; true when the
  // dialog took it.
  virtual bool key_pressed(QObject* watched, const QKeyEvent& key);
  // Paints the client area, under its controls.
  virtual void paint_client(QPainter& painter);
  // The first step of close(), while the overlay still shows.
  virtual void closing() {}

  // For the dialogs' constructors: the controls are made in the client area
  // and are known by their ids.
  QWidget* client() const { return client_; }
  void add_control(int id, QWidget* control) { controls_[id] = control; }
  QPushButton* add_button(int id, const QString& caption, const QString& name = {});
  QLabel* add_label(int id, Qt::Alignment alignment);
  DialogHandler& handler() const { return handler_; }
  void send(int id);
  // The handler hears nothing more, as after close(): for a dialog's
  // destructor that takes apart what could still report.
  void stop_reports() { closed_ = true; }

  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void lay_out_frame();
  void report_size();
  QRect covered() const;

  DialogHandler& handler_;
  Hooks hooks_;
  QWidget* bar_ = nullptr;
  QLabel* title_ = nullptr;
  QPushButton* ok_ = nullptr;
  QWidget* client_ = nullptr;
  std::map<int, QWidget*> controls_;

  bool initialised_ = false;
  bool closed_ = false;
  Size reported_;
  bool size_pending_ = false;
};

}  // namespace lexvia::qt
