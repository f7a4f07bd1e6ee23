// A dialog on Qt: an overlay that covers the whole main window, as the
// handheld's full-screen dialogs covered its screen. A top bar holds the
// title and the OK button; below it the client area, where the dialog logic
// places each control itself. The overlay only shows and reports: what a
// button or a key means is the handler's business.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "shell/platform.h"
#include "shell/qt/result_list_control.h"
#include "shell/qt/row_delegate.h"

class QLabel;
class QPushButton;

namespace lexvia::qt {

class DialogOverlay final : public QWidget,
                            public DialogWindow,
                            public DialogList,
                            public FeatureLine {
  Q_OBJECT

 public:
  struct Hooks {
    // True while a long operation runs: a size change waits for its end, as
    // the handheld's window could not lay itself out meanwhile either.
    std::function<bool()> busy;
    // Runs in close(), before the handler's next step (which may put the
    // focus back on the main window).
    std::function<void()> closed;
  };
  DialogOverlay(DialogKind kind, DialogHandler& handler, const ResultListing& listing,
                Hooks hooks, QWidget* main_window);
  ~DialogOverlay() override;

  // Calls the handler's initialise, then shows the overlay with the focus on
  // its first control.
  void open();
  bool is_closed() const { return closed_; }
  DialogKind kind() const { return kind_; }

  // The parts the tests and the screenshots look at.
  QWidget* control(int id) const;
  QString title() const;
  QPushButton* ok_button() const { return ok_; }
  ResultView* list_view() const { return view_; }
  ResultModel* list_model() const { return model_.get(); }
  QColor feature_colour() const { return feature_colour_; }

  // DialogWindow.
  Size client_size() const override;
  void place(int control, Rect rect) override;
  void set_title(std::u16string_view text) override;
  void set_control_text(int control, std::u16string_view text) override;
  std::u16string control_text(int control) const override;
  void focus_control(int control) override;
  void activate() override;
  void close() override;
  DialogList* dialog_list() override { return list_ ? this : nullptr; }
  FeatureLine* feature_line() override {
    return kind_ == DialogKind::kAbout ? this : nullptr;
  }
  ListControl& list() override { return *list_; }
  void set_list_visible(bool visible) override;
  void set_list_redraw(bool on) override;
  void set_list_column_width(int width) override;
  int list_row_height() const override;
  int list_client_height() const override;
  void start_timer(int id, int milliseconds) override;
  void stop_timer() override;
  Rgb base_colour() const override;
  void paint_feature_line(Rgb colour) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void build_browse(const ResultListing& listing);
  void build_search_options();
  void build_about();
  QPushButton* add_button(int id, const QString& caption, const QString& name = {});
  QLabel* add_label(int id, Qt::Alignment alignment);
  void send(int id);
  void lay_out_frame();
  void report_size();
  void focus_first();
  void paint_client(QPainter& painter);
  bool navigation_key(QEvent* event);

  DialogKind kind_;
  DialogHandler& handler_;
  Hooks hooks_;
  QWidget* bar_ = nullptr;
  QLabel* title_ = nullptr;
  QPushButton* ok_ = nullptr;
  QWidget* client_ = nullptr;
  std::map<int, QWidget*> controls_;

  // The browse list.
  std::unique_ptr<ResultModel> model_;
  ResultView* view_ = nullptr;
  RowDelegate* delegate_ = nullptr;
  std::unique_ptr<ResultListControl> list_;

  // The About box's feature line, which no widget shows.
  QString feature_text_;
  QRect feature_rect_;
  QColor feature_colour_;
  QFont feature_font_;
  QTimer timer_;
  int timer_id_ = 0;

  bool initialised_ = false;
  bool closed_ = false;
  Size reported_;
  bool size_pending_ = false;
};

}  // namespace lexvia::qt
