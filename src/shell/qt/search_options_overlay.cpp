#include "shell/qt/search_options_overlay.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <utility>

#include "shell/dialog_ids.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

SearchOptionsOverlay::SearchOptionsOverlay(DialogHandler& handler, Hooks hooks,
                                           QWidget* main_window)
    : DialogOverlay(handler, std::move(hooks), main_window) {
  add_label(dialog::kCaption1, Qt::AlignLeft | Qt::AlignVCenter);
  for (int id : {dialog::kPrefixes1, dialog::kPrefixes2}) {
    auto* edit = new QPlainTextEdit(client());
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->installEventFilter(this);
    add_control(id, edit);
    if (id == dialog::kPrefixes1) {
      add_button(dialog::kReset1, QStringLiteral("Reset"));
      add_label(dialog::kCaption2, Qt::AlignLeft | Qt::AlignVCenter);
    } else {
      add_button(dialog::kReset2, QStringLiteral("Reset"));
    }
  }
  add_button(dialog::kCancel, QStringLiteral("x"), QStringLiteral("Close without saving"));
}

void SearchOptionsOverlay::set_control_text(int control, std::u16string_view text) {
  DialogOverlay::set_control_text(control, text);
  // A caption names its prefix list for screen readers.
  const int edit = control == dialog::kCaption1   ? dialog::kPrefixes1
                   : control == dialog::kCaption2 ? dialog::kPrefixes2
                                                  : 0;
  if (QWidget* named = this->control(edit)) named->setAccessibleName(to_qstring(text).simplified());
}

bool SearchOptionsOverlay::key_pressed(QObject* watched, const QKeyEvent& key) {
  // A prefix list is one line of items: Enter confirms it, as the dialog's
  // OK does.
  if (qobject_cast<QPlainTextEdit*>(watched) == nullptr || key.modifiers() != Qt::NoModifier ||
      (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)) {
    return false;
  }
  send(dialog::kOk);
  return true;
}

}  // namespace lexvia::qt
