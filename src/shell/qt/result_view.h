// The result list on Qt: a list model holding the lines, a view that reports
// selection and focus the way the listing expects them, and a delegate that
// draws each row by its colour code. No widget per row.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <deque>
#include <functional>

#include "listing/result_list.h"

namespace lexvia::qt {

// Item data role that holds a row's colour code.
inline constexpr int kColourCodeRole = Qt::UserRole + 1;

class ResultModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void append(std::u16string text, ColourCode colour);
  void remove_first();
  void remove_all();
  const std::u16string& text(int row) const { return rows_.at(static_cast<std::size_t>(row)).text; }
  ColourCode colour_code(int row) const { return rows_.at(static_cast<std::size_t>(row)).colour; }

 private:
  struct Row {
    std::u16string text;
    ColourCode colour = ColourCode::kError;
  };
  std::deque<Row> rows_;
};

// A list view whose rows the application draws. It tells the listing when the
// selection changes and when it gains the focus; a click's focus gain is told
// after the click has made its row the selection, so that the copy to the
// query box copies the row that was clicked.
class ResultView final : public QListView {
  Q_OBJECT

 public:
  explicit ResultView(QWidget* parent = nullptr);
  std::function<void()> on_selection_changed;
  std::function<void()> on_focused;
  // The row most recently selected, or -1.
  int selection_mark() const { return mark_; }
  // Sets the mark without touching the selection (-1: none).
  void set_selection_mark(int row);
  int row_height() const;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

 private:
  int mark_ = -1;
  bool focus_by_click_ = false;
};

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

// The result list as the listing drives it.
class ResultListControl final : public ListControl {
 public:
  ResultListControl(ResultModel& model, ResultView& view) : model_(model), view_(view) {}
  int count() const override { return model_.rowCount(); }
  void remove_first() override { model_.remove_first(); }
  void remove_all() override { model_.remove_all(); }
  void append(std::u16string text, ColourCode colour) override {
    model_.append(std::move(text), colour);
  }
  std::u16string text(int index) const override { return model_.text(index); }
  ColourCode item_data(int index) const override { return model_.colour_code(index); }
  void scroll_into_view(int index) override;
  void redraw(int index) override;
  int selection_mark() const override { return view_.selection_mark(); }

 private:
  ResultModel& model_;
  ResultView& view_;
  bool scroll_posted_ = false;
};

}  // namespace lexvia::qt
