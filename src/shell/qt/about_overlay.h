// The About box on Qt: the program's icon, the fixed lines and the
// dictionary line as labels, and the line of features, which no widget
// shows: it is painted under the controls, in a colour of its own that the
// box's one timer fades.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QTimer>

#include "shell/qt/dialog_overlay.h"

namespace lexvia::qt {

class AboutOverlay final : public DialogOverlay, public FeatureLine {
  Q_OBJECT

 public:
  AboutOverlay(DialogHandler& handler, Hooks hooks, QWidget* main_window);
  DialogKind kind() const override { return DialogKind::kAbout; }

  // The colour the feature line is painted in now, for the tests.
  QColor feature_colour() const { return feature_colour_; }

  // DialogWindow: the feature line is a control no widget shows.
  void place(int control, Rect rect) override;
  void set_control_text(int control, std::u16string_view text) override;
  std::u16string control_text(int control) const override;
  FeatureLine* feature_line() override { return this; }

  // FeatureLine.
  void start_timer(int id, int milliseconds) override;
  void stop_timer() override;
  Rgb base_colour() const override;
  void paint_feature_line(Rgb colour) override;

 protected:
  void paint_client(QPainter& painter) override;
  void closing() override;

 private:
  QString feature_text_;
  QRect feature_rect_;
  QColor feature_colour_;
  QFont feature_font_;
  QTimer timer_;
  int timer_id_ = 0;
};

}  // namespace lexvia::qt
