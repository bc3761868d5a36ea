#include "ui/ReportListModel.h"

#include <functional>
#include <string_view>

#include "ui/QtText.h"

namespace barvik {
namespace {

// Each text hashed whole (the library's word-at-a-time hash, several times faster than one
// byte at a time: every refresh hashes every list) and mixed in with its length, so that
// ("ab","c") and ("a","bc") differ.
void Mix(uint64_t& h, std::string_view text) {
  h ^= std::hash<std::string_view>{}(text) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h = h * 1099511628211ull + text.size();
}

}  // namespace

ReportListModel::ReportListModel(const ReportList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), shown_(Fingerprint()) {}

int ReportListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.rows.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.columns.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(list_.rows.size()) ||
      index.column() >= static_cast<int>(list_.columns.size())) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(
          ReportList::CellText(list_.rows[static_cast<size_t>(index.row())], index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          Qt::AlignVCenter |
          (list_.columns[static_cast<size_t>(index.column())].align == Align::Left
               ? Qt::AlignLeft
               : Qt::AlignRight));
    default:
      return {};
  }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(list_.columns.size())) {
    return {};
  }
  const Column& column = list_.columns[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return ToQString(column.caption);
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter |
                               (column.align == Align::Left ? Qt::AlignLeft : Qt::AlignRight));
  }
  return {};
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

uint64_t ReportListModel::Fingerprint() const {
  uint64_t h = 14695981039346656037ull;
  for (const Row& row : list_.rows) {
    Mix(h, row.caption);
    for (const std::string& cell : row.cells) Mix(h, cell);
    Mix(h, "\n");
  }
  return h ^ list_.rows.size();
}

bool ReportListModel::Refresh() {
  const uint64_t now = Fingerprint();
  if (now == shown_) return false;
  beginResetModel();
  shown_ = now;
  endResetModel();
  return true;
}

void ReportListModel::Sort(const std::function<void()>& sort) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  sort();
  // Rows moved: the persistent indexes (the views' selection and current row) are reset to
  // nothing; the window selects the engine's selected row again afterwards.
  const QModelIndexList old = persistentIndexList();
  changePersistentIndexList(old, QModelIndexList(old.size()));
  shown_ = Fingerprint();
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace barvik
