// The client area of a dialog's overlay: the controls' parent, and a surface
// the dialog may paint on under them (the About box's feature line).
#pragma once

#include <QWidget>
#include <functional>

class QPainter;

namespace lexvia::qt {

class ClientArea final : public QWidget {
  Q_OBJECT

 public:
  ClientArea(QWidget* parent, std::function<void(QPainter&)> paint);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<void(QPainter&)> paint_;
};

}  // namespace lexvia::qt
