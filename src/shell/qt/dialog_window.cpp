#include "shell/qt/dialog_window.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include "shell/dialog_ids.h"
#include "shell/qt/colour.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

namespace {

// The client area paints the About box's feature line under its controls.
class ClientArea final : public QWidget {
 public:
  ClientArea(QWidget* parent, std::function<void(QPainter&)> paint)
      : QWidget(parent), paint_(std::move(paint)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    paint_(painter);
  }

 private:
  std::function<void(QPainter&)> paint_;
};

// The browse list's keys stand for the browse buttons: a move lists a new
// page from the dictionary, where the view's own cursor would only walk the
// lines already shown.
int browse_command_of_key(int key) {
  switch (key) {
    case Qt::Key_Up:
      return dialog::kBrowseLineUp;
    case Qt::Key_Down:
      return dialog::kBrowseLineDown;
    case Qt::Key_PageUp:
      return dialog::kBrowsePageUp;
    case Qt::Key_PageDown:
      return dialog::kBrowsePageDown;
    case Qt::Key_Home:
      return dialog::kBrowseHome;
    case Qt::Key_End:
      return dialog::kBrowseEnd;
    default:
      return 0;
  }
}

}  // namespace

DialogOverlay::DialogOverlay(DialogKind kind, DialogHandler& handler, const ResultListing& listing,
                             Hooks hooks, QWidget* main_window)
    : QWidget(main_window), kind_(kind), handler_(handler), hooks_(std::move(hooks)) {
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

  connect(&timer_, &QTimer::timeout, this, [this] {
    if (!closed_) handler_.timer(timer_id_);
  });

  switch (kind) {
    case DialogKind::kBrowse:
      build_browse(listing);
      break;
    case DialogKind::kSearchOptions:
      build_search_options();
      break;
    case DialogKind::kAbout:
      build_about();
      break;
  }
  installEventFilter(this);
  main_window->installEventFilter(this);
  setGeometry(main_window->rect());
  lay_out_frame();
}

DialogOverlay::~DialogOverlay() {
  // Taking the list apart may still report selection changes; the handler
  // hears nothing more.
  closed_ = true;
  if (view_ != nullptr) view_->setModel(nullptr);
}

void DialogOverlay::build_browse(const ResultListing& listing) {
  // The list first, so that the buttons placed over its corners stay above it.
  model_ = std::make_unique<ResultModel>();
  view_ = new ResultView(client_);
  view_->setModel(model_.get());
  view_->setAccessibleName(QStringLiteral("Headwords"));
  view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_ = std::make_unique<ResultListControl>(*model_, *view_);
  delegate_ = new RowDelegate(listing, *list_, view_);
  view_->setItemDelegate(delegate_);
  view_->on_selection_changed = [this] {
    if (closed_) return;
    handler_.list_selection_changed();
    view_->viewport()->update();
  };
  view_->on_focused = [this] {
    if (closed_) return;
    handler_.list_focused();
    view_->viewport()->update();
  };
  view_->installEventFilter(this);
  controls_[dialog::kBrowseList] = view_;

  struct Move {
    int id;
    const char16_t* caption;
    const char* name;
  };
  for (const Move& move : {Move{dialog::kBrowseHome, u"|\u00AB", "Home"},
                           Move{dialog::kBrowsePageUp, u"\u00AB", "Page up"},
                           Move{dialog::kBrowseLineUp, u"<", "Line up"},
                           Move{dialog::kBrowseLineDown, u">", "Line down"},
                           Move{dialog::kBrowsePageDown, u"\u00BB", "Page down"},
                           Move{dialog::kBrowseEnd, u"\u00BB|", "End"}}) {
    QPushButton* button = add_button(move.id, QString::fromUtf16(move.caption),
                                     QString::fromUtf8(move.name));
    button->setToolTip(QString::fromUtf8(move.name));
    // A tap on a move button leaves the focus where it was.
    button->setFocusPolicy(Qt::NoFocus);
  }
  // Never seen: it holds the focus once the list has handed it over, so
  // that the next tap on the list is a focus gain again.
  QPushButton* holder = add_button(dialog::kBrowseClose, QStringLiteral("x"),
                                   QStringLiteral("Close browsing"));
  holder->setGeometry(0, 0, 0, 0);
  holder->installEventFilter(this);
}

void DialogOverlay::build_search_options() {
  add_label(dialog::kCaption1, Qt::AlignLeft | Qt::AlignVCenter);
  for (int id : {dialog::kPrefixes1, dialog::kPrefixes2}) {
    auto* edit = new QPlainTextEdit(client_);
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->installEventFilter(this);
    controls_[id] = edit;
    if (id == dialog::kPrefixes1) {
      add_button(dialog::kReset1, QStringLiteral("Reset"));
      add_label(dialog::kCaption2, Qt::AlignLeft | Qt::AlignVCenter);
    } else {
      add_button(dialog::kReset2, QStringLiteral("Reset"));
    }
  }
  add_button(dialog::kCancel, QStringLiteral("x"), QStringLiteral("Close without saving"));
}

void DialogOverlay::build_about() {
  auto* icon = new QLabel(client_);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/lexvia.svg"))
                      .pixmap(QSize(64, 64), devicePixelRatioF()));
  icon->setGeometry(8, 8, 64, 64);
  controls_[dialog::kAboutIcon] = icon;
  for (int id : {dialog::kVersionLine, dialog::kLegalLine, dialog::kWebLine, dialog::kRightsLine,
                 dialog::kDictionaryLine}) {
    add_label(id, Qt::AlignHCenter | Qt::AlignTop);
  }
  QFont version = controls_[dialog::kVersionLine]->font();
  version.setBold(true);
  controls_[dialog::kVersionLine]->setFont(version);
  static_cast<QLabel*>(controls_[dialog::kDictionaryLine])->setWordWrap(true);
  feature_font_ = QFont();
  feature_font_.setPixelSize(16);
  feature_font_.setWeight(QFont::Bold);
  feature_colour_ = palette().color(QPalette::Window);
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
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
  } else if (event->type() == QEvent::KeyPress && watched != parentWidget()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (kind_ == DialogKind::kBrowse) {
      if (const int id = browse_command_of_key(key->key()); id != 0) {
        send(id);
        return true;
      }
    } else if (kind_ == DialogKind::kSearchOptions &&
               qobject_cast<QPlainTextEdit*>(watched) != nullptr &&
               (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
               key->modifiers() == Qt::NoModifier) {
      // A prefix list is one line of items: Enter confirms it, as the
      // dialog's OK does.
      send(dialog::kOk);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

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
  if (kind_ == DialogKind::kBrowse) {
    // Not the list: its focus gain copies a line to the query box.
    controls_[dialog::kBrowseClose]->setFocus(Qt::OtherFocusReason);
    return;
  }
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

void DialogOverlay::paint_client(QPainter& painter) {
  if (kind_ != DialogKind::kAbout || feature_rect_.isEmpty()) return;
  painter.fillRect(feature_rect_, palette().color(QPalette::Window));
  painter.setFont(feature_font_);
  painter.setPen(feature_colour_);
  painter.drawText(feature_rect_, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                   feature_text_);
}

// ---- DialogWindow -----------------------------------------------------------------

Size DialogOverlay::client_size() const { return {client_->width(), client_->height()}; }

void DialogOverlay::place(int control, Rect rect) {
  const QRect r(rect.x, rect.y, std::max(0, rect.width), std::max(0, rect.height));
  if (control == dialog::kFeatureLine) {
    client_->update(feature_rect_);
    feature_rect_ = r;
    client_->update(feature_rect_);
    return;
  }
  if (QWidget* w = this->control(control)) w->setGeometry(r);
}

void DialogOverlay::set_title(std::u16string_view text) { title_->setText(to_qstring(text)); }

void DialogOverlay::set_control_text(int control, std::u16string_view text) {
  const QString q = to_qstring(text);
  if (control == dialog::kFeatureLine) {
    feature_text_ = q;
    client_->update(feature_rect_);
    return;
  }
  QWidget* w = this->control(control);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(q);
    // A caption names its prefix list for screen readers.
    const int edit = control == dialog::kCaption1   ? dialog::kPrefixes1
                     : control == dialog::kCaption2 ? dialog::kPrefixes2
                                                    : 0;
    if (QWidget* named = this->control(edit)) named->setAccessibleName(q.simplified());
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
    edit->setPlainText(q);
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(q);
  }
}

std::u16string DialogOverlay::control_text(int control) const {
  if (control == dialog::kFeatureLine) return to_u16(feature_text_);
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
  timer_.stop();
  hide();
  if (hooks_.closed) hooks_.closed();
  deleteLater();
}

void DialogOverlay::set_list_visible(bool visible) {
  if (view_ != nullptr) view_->setVisible(visible);
}

void DialogOverlay::set_list_redraw(bool on) {
  if (view_ != nullptr) view_->setUpdatesEnabled(on);
}

void DialogOverlay::set_list_column_width(int width) {
  if (delegate_ != nullptr) delegate_->set_column_width(std::max(0, width));
}

int DialogOverlay::list_row_height() const {
  if (view_ == nullptr) return 0;
  if (model_->rowCount() > 0) {
    const int height = view_->visualRect(model_->index(0)).height();
    if (height > 0) return height;
  }
  return view_->row_height();
}

int DialogOverlay::list_client_height() const {
  // The viewport's own size lags behind while the overlay is hidden; the
  // size it will take is the list's inside, without scroll bars.
  return view_ == nullptr ? 0 : view_->maximumViewportSize().height();
}

void DialogOverlay::start_timer(int id, int milliseconds) {
  if (closed_) return;
  timer_id_ = id;
  timer_.start(milliseconds);
}

void DialogOverlay::stop_timer() { timer_.stop(); }

Rgb DialogOverlay::base_colour() const { return to_rgb(palette().color(QPalette::Window)); }

void DialogOverlay::paint_feature_line(Rgb colour) {
  feature_colour_ = to_qcolor(colour);
  client_->update(feature_rect_);
}

}  // namespace lexvia::qt
