#include "shell/qt/progress_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/qt/text.h"

namespace lexvia::qt {

ProgressDialog::ProgressDialog(const Progress& progress, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      cancel_(progress.cancel) {
  setObjectName(QStringLiteral("progress"));
  setWindowTitle(owner->windowTitle());
  setWindowModality(Qt::WindowModal);
  auto* text = new QLabel(to_qstring(progress.text), this);
  text->setObjectName(QStringLiteral("progresstext"));
  text->setTextFormat(Qt::PlainText);
  text->setAlignment(Qt::AlignCenter);
  auto* button = new QPushButton(to_qstring(progress.cancel_caption), this);
  button->setObjectName(QStringLiteral("cancel"));
  button->setEnabled(cancel_ != nullptr);
  button->setDefault(true);
  connect(button, &QPushButton::clicked, this, &ProgressDialog::reject);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 16, 20, 12);
  column->setSpacing(12);
  column->addWidget(text);
  column->addWidget(button, 0, Qt::AlignHCenter);
  setMinimumWidth(240);
}

void ProgressDialog::reject() {
  if (cancel_ == nullptr) return;
  cancel_->set();
  QDialog::reject();
}

void ProgressDialog::show_centred() {
  adjustSize();
  const QRect main = parentWidget()->frameGeometry();
  move(main.x() + (main.width() - width()) / 2, main.y() + (main.height() - height()) / 2);
  show();
}

}  // namespace lexvia::qt
