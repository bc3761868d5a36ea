// ReportListModel: a read-only Qt table model over one of the Workspace's report lists. It
// holds no copy of the rows: every call reads the list as it stands, so the window, the sort
// and the HTML pages always agree. The list must outlive the model.
//
// The engine changes lists without telling Qt; the window tells the model afterwards:
// Refresh() resets the views when the list's contents differ from what they last showed,
// Sort() wraps an engine sort in layoutAboutToBeChanged/layoutChanged. Reads outside the
// list (a view asking for a row the engine has just removed) give empty values.
#pragma once

#include <cstdint>
#include <functional>

#include <QAbstractTableModel>

#include "core/ReportList.h"

namespace barvik {

class ReportListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ReportListModel(const ReportList& list, QObject* parent = nullptr);
  ReportListModel(const ReportListModel&) = delete;
  ReportListModel& operator=(const ReportListModel&) = delete;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Resets the model when the list changed since the last reset; returns whether it did.
  bool Refresh();
  // Runs `sort` (which re-orders the rows of the list) as a layout change of the model.
  void Sort(const std::function<void()>& sort);

  const ReportList& list() const { return list_; }

 private:
  uint64_t Fingerprint() const;

  const ReportList& list_;
  uint64_t shown_;  // fingerprint of the contents the views were last given
};

}  // namespace barvik
