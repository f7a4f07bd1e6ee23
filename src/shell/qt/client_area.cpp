#include "shell/qt/client_area.h"

#include <QPainter>
#include <utility>

namespace lexvia::qt {

ClientArea::ClientArea(QWidget* parent, std::function<void(QPainter&)> paint)
    : QWidget(parent), paint_(std::move(paint)) {}

void ClientArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint_(painter);
}

}  // namespace lexvia::qt
