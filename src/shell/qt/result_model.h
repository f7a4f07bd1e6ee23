// The lines of a result list or a browse list, each with its colour code,
// as a Qt list model. The listing adds and removes them; the view shows them.
#pragma once

#include <QAbstractListModel>
#include <deque>
#include <string>

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

}  // namespace lexvia::qt
