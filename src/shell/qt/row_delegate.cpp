#include "shell/qt/row_delegate.h"

#include <QPainter>

#include "shell/qt/colour.h"

namespace lexvia::qt {

RowDelegate::RowDelegate(const ResultListing& listing, const ListControl& list, QObject* parent)
    : QStyledItemDelegate(parent), listing_(listing), list_(list) {}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  const auto style =
      listing_.row_style(list_, index.row(), to_rgb(option.palette.color(QPalette::Base)));
  painter->save();
  painter->fillRect(option.rect, to_qcolor(style.background));
  painter->setFont(option.font);
  painter->setPen(to_qcolor(style.text));
  const QRect text_rect(option.rect.left() + 2, option.rect.top(), option.rect.width() * 4,
                        option.rect.height());
  painter->drawText(text_rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {column_width_, option.fontMetrics.height() + 2};
}

}  // namespace lexvia::qt
