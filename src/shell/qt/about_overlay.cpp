#include "shell/qt/about_overlay.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "shell/dialog_ids.h"
#include "shell/qt/colour.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

AboutOverlay::AboutOverlay(DialogHandler& handler, Hooks hooks, QWidget* main_window)
    : DialogOverlay(handler, std::move(hooks), main_window) {
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (!is_closed()) this->handler().timer(timer_id_);
  });

  auto* icon = new QLabel(client());
  icon->setPixmap(
      QIcon(QStringLiteral(":/icons/lexvia.svg")).pixmap(QSize(64, 64), devicePixelRatioF()));
  icon->setGeometry(8, 8, 64, 64);
  add_control(dialog::kAboutIcon, icon);
  for (int id : {dialog::kVersionLine, dialog::kLegalLine, dialog::kWebLine, dialog::kRightsLine,
                 dialog::kDictionaryLine}) {
    add_label(id, Qt::AlignHCenter | Qt::AlignTop);
  }
  QFont version = control(dialog::kVersionLine)->font();
  version.setBold(true);
  control(dialog::kVersionLine)->setFont(version);
  static_cast<QLabel*>(control(dialog::kDictionaryLine))->setWordWrap(true);
  feature_font_ = QFont();
  feature_font_.setPixelSize(16);
  feature_font_.setWeight(QFont::Bold);
  feature_colour_ = palette().color(QPalette::Window);
}

void AboutOverlay::paint_client(QPainter& painter) {
  if (feature_rect_.isEmpty()) return;
  painter.fillRect(feature_rect_, palette().color(QPalette::Window));
  painter.setFont(feature_font_);
  painter.setPen(feature_colour_);
  painter.drawText(feature_rect_, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                   feature_text_);
}

void AboutOverlay::closing() { timer_.stop(); }

// ---- DialogWindow -----------------------------------------------------------------

void AboutOverlay::place(int control, Rect rect) {
  if (control != dialog::kFeatureLine) {
    DialogOverlay::place(control, rect);
    return;
  }
  client()->update(feature_rect_);
  feature_rect_ = QRect(rect.x, rect.y, std::max(0, rect.width), std::max(0, rect.height));
  client()->update(feature_rect_);
}

void AboutOverlay::set_control_text(int control, std::u16string_view text) {
  if (control != dialog::kFeatureLine) {
    DialogOverlay::set_control_text(control, text);
    return;
  }
  feature_text_ = to_qstring(text);
  client()->update(feature_rect_);
}

std::u16string AboutOverlay::control_text(int control) const {
  if (control == dialog::kFeatureLine) return to_u16(feature_text_);
  return DialogOverlay::control_text(control);
}

// ---- FeatureLine ------------------------------------------------------------------

void AboutOverlay::start_timer(int id, int milliseconds) {
  if (is_closed()) return;
  timer_id_ = id;
  timer_.start(milliseconds);
}

void AboutOverlay::stop_timer() { timer_.stop(); }

Rgb AboutOverlay::base_colour() const { return to_rgb(palette().color(QPalette::Window)); }

void AboutOverlay::paint_feature_line(Rgb colour) {
  feature_colour_ = to_qcolor(colour);
  client()->update(feature_rect_);
}

}  // namespace lexvia::qt
