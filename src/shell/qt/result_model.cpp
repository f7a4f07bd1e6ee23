#include "shell/qt/result_model.h"

#include "shell/qt/text.h"

namespace lexvia::qt {

int ResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return to_qstring(row.text);
    case kColourCodeRole:
      return static_cast<int>(row.colour);
    default:
      return {};
  }
}

void ResultModel::append(std::u16string text, ColourCode colour) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  rows_.push_back({std::move(text), colour});
  endInsertRows();
}

void ResultModel::remove_first() {
  if (rows_.empty()) return;
  beginRemoveRows({}, 0, 0);
  rows_.pop_front();
  endRemoveRows();
}

void ResultModel::remove_all() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

}  // namespace lexvia::qt
