#pragma once
// The Finish step's list: a virtual list over the repair log with the
// columns "Registry Name" and "Status"; a status that reports an error is
// red, any other green.

#include <QAbstractTableModel>
#include <QTreeView>

#include "common/RegistryContentUnit.h"

class TRepairLogModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TRepairLogModel(const TRepairContents& log, QObject* owner = nullptr);

  // The log changed: the row count follows it.
  void Refresh();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const TRepairContents& log_;
  int rows_ = 0;
};

// A report list without tree decoration: read-only, one whole row selected
// at a time, fixed columns.
void MakeReportList(QTreeView* list);
// FinishListView: columns 360 and 120 wide.
QTreeView* NewFinishListView(TRepairLogModel* model, QWidget* parent);
