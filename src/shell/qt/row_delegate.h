// How a row of the result list or the browse list is drawn: the listing
// decides the colours, the delegate paints them. No widget per row.
#pragma once

#include <QStyledItemDelegate>

#include "listing/result_list.h"

namespace lexvia::qt {

// Draws a row: the highlight when it is the remembered line, else the list's
// background; the text in its colour code's colour, made readable on a dark
// palette; 2 pixels from the left edge, at the row's top.
class RowDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  RowDelegate(const ResultListing& listing, const ListControl& list, QObject* parent);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void set_column_width(int width) { column_width_ = width; }

 private:
  const ResultListing& listing_;
  const ListControl& list_;
  int column_width_ = 10;
};

}  // namespace lexvia::qt
