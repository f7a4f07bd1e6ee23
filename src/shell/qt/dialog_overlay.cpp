#include "shell/qt/dialog_overlay.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "shell/dialog_ids.h"
#include "shell/qt/client_area.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

DialogOverlay::DialogOverlay(DialogHandler& handler, Hooks hooks, QWidget* main_window)
    : QWidget(main_window), handler_(handler), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("dialog"));
  setAutoFillBackground(true);
  setFocusPolicy(Qt::ClickFocus);

  // The top bar in the selection colours, as a title bar stands out.
  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("titlebar"));
  bar_->setAutoFillBackground(true);
  QPalette bar_palette = bar_->palette();
  bar_palette.setColor(QPalette::Window, bar_palette.color(QPalette::Highlight));
  bar_palette.setColor(QPalette::WindowText, bar_palette.color(QPalette::HighlightedText));
  bar_->setPalette(bar_palette);
  // The program's name until the dialog names itself.
  title_ = new QLabel(main_window->windowTitle(), bar_);
  title_->setTextFormat(Qt::PlainText);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  ok_ = new QPushButton(QStringLiteral("OK"), bar_);
  ok_->setAutoDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { send(dialog::kOk); });
  auto* row = new QHBoxLayout(bar_);
  row->setContentsMargins(8, 4, 4, 4);
  row->addWidget(title_, 1);
  row->addWidget(ok_);

  client_ = new ClientArea(this, [this](QPainter& painter) { paint_client(painter); });
  client_->setObjectName(QStringLiteral("dialogclient"));

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, [this] { send(dialog::kCancel); });

  installEventFilter(this);
  main_window->installEventFilter(this);
  if (hooks_.area != nullptr) hooks_.area->installEventFilter(this);
  setGeometry(covered());
  lay_out_frame();
}

QRect DialogOverlay::covered() const {
  return hooks_.area != nullptr ? hooks_.area->geometry() : parentWidget()->rect();
}

DialogOverlay::~DialogOverlay() {
  // Whatever the controls do as they go, the handler hears nothing more.
  closed_ = true;
}

QPushButton* DialogOverlay::add_button(int id, const QString& caption, const QString& name) {
  auto* button = new QPushButton(caption, client_);
  button->setAutoDefault(true);
  if (!name.isEmpty()) button->setAccessibleName(name);
  connect(button, &QPushButton::clicked, this, [this, id] { send(id); });
  controls_[id] = button;
  return button;
}

QLabel* DialogOverlay::add_label(int id, Qt::Alignment alignment) {
  auto* label = new QLabel(client_);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  controls_[id] = label;
  return label;
}

QWidget* DialogOverlay::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QString DialogOverlay::title() const { return title_->text(); }

void DialogOverlay::open() {
  reported_ = client_size();
  handler_.initialise(*this);
  initialised_ = true;
  if (closed_) return;
  show();
  raise();
  focus_first();
}

void DialogOverlay::send(int id) {
  if (!closed_) handler_.command(id);
}

// ---- Layout and events ----------------------------------------------------------

void DialogOverlay::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  lay_out_frame();
  report_size();
}

// Done at once rather than left to the resize event, which a hidden widget
// gets only when it is shown: the handler lays out its controls before that.
void DialogOverlay::lay_out_frame() {
  const int bar = std::max(ok_->sizeHint().height(), title_->sizeHint().height()) + 8;
  bar_->setGeometry(0, 0, width(), bar);
  client_->setGeometry(0, bar, width(), std::max(0, height() - bar));
}

void DialogOverlay::report_size() {
  if (!initialised_ || closed_) return;
  const Size size = client_size();
  if (size == reported_) return;
  if (hooks_.busy && hooks_.busy()) {
    if (!size_pending_) {
      size_pending_ = true;
      QTimer::singleShot(50, this, [this] {
        size_pending_ = false;
        report_size();
      });
    }
    return;
  }
  reported_ = size;
  handler_.size_changed();
}

bool DialogOverlay::eventFilter(QObject* watched, QEvent* event) {
  const bool area = watched == parentWidget() || watched == hooks_.area;
  if (area && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
    setGeometry(covered());
  } else if (event->type() == QEvent::KeyPress && !area &&
             key_pressed(watched, *static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool DialogOverlay::key_pressed(QObject*, const QKeyEvent&) { return false; }

// The overlay is a dialog: Tab goes round its own controls and never to the
// main window's controls hidden under it.
bool DialogOverlay::focusNextPrevChild(bool next) {
  if (closed_ || !isVisible()) return QWidget::focusNextPrevChild(next);
  QWidget* start = QApplication::focusWidget();
  if (start == nullptr || !isAncestorOf(start)) start = this;
  QWidget* w = start;
  do {
    w = next ? w->nextInFocusChain() : w->previousInFocusChain();
    if (w != nullptr && isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(this) &&
        (w->focusPolicy() & Qt::TabFocus) != 0) {
      w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  } while (w != nullptr && w != start);
  return false;
}

void DialogOverlay::focus_first() {
  for (QWidget* w = client_->nextInFocusChain(); w != nullptr && w != client_;
       w = w->nextInFocusChain()) {
    if (client_->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(this) &&
        (w->focusPolicy() & Qt::TabFocus) != 0) {
      w->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
  ok_->setFocus(Qt::OtherFocusReason);
}

void DialogOverlay::paint_client(QPainter&) {}

// ---- DialogWindow -----------------------------------------------------------------

Size DialogOverlay::client_size() const { return {client_->width(), client_->height()}; }

void DialogOverlay::place(int control, Rect rect) {
  if (QWidget* w = this->control(control)) {
    w->setGeometry(rect.x, rect.y, std::max(0, rect.width), std::max(0, rect.height));
  }
}

void DialogOverlay::set_title(std::u16string_view text) { title_->setText(to_qstring(text)); }

void DialogOverlay::set_control_text(int control, std::u16string_view text) {
  const QString q = to_qstring(text);
  QWidget* w = this->control(control);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(q);
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
    edit->setPlainText(q);
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(q);
  }
}

std::u16string DialogOverlay::control_text(int control) const {
  QWidget* w = this->control(control);
  if (auto* label = qobject_cast<QLabel*>(w)) return to_u16(label->text());
  if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return to_u16(edit->toPlainText());
  if (auto* button = qobject_cast<QPushButton*>(w)) return to_u16(button->text());
  return {};
}

void DialogOverlay::focus_control(int control) {
  if (QWidget* w = this->control(control)) w->setFocus(Qt::OtherFocusReason);
}

void DialogOverlay::activate() {
  if (closed_) return;
  raise();
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || (focus != this && !isAncestorOf(focus))) focus_first();
}

void DialogOverlay::close() {
  if (closed_) return;
  closed_ = true;
  closing();
  hide();
  if (hooks_.closed) hooks_.closed();
  deleteLater();
}

}  // namespace lexvia::qt
