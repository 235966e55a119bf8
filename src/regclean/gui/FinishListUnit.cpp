#include "regclean/gui/FinishListUnit.h"

#include <QColor>
#include <QHeaderView>
#include <algorithm>

#include "regclean/RepairDriverUnit.h"
#include "regclean/SectionContractUnit.h"

TRepairLogModel::TRepairLogModel(const TRepairContents& log, QObject* owner)
    : QAbstractTableModel(owner), log_(log) {}

void TRepairLogModel::Refresh() {
  beginResetModel();
  rows_ = log_.Count();
  endResetModel();
}

int TRepairLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TRepairLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TRepairLogModel::data(const QModelIndex& index, int role) const {
  // The log may have changed since the last refresh: rows past its end show nothing.
  if (!index.isValid() || index.row() >= log_.Count()) return {};
  const TRepairRec& line = log_.GetItem(index.row()).Content;
  const bool status = index.column() == 1;
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(status ? line.Result : line.KeyPath);
    case Qt::ToolTipRole:
      return status ? QVariant() : QString::fromStdString(line.KeyPath);
    case Qt::ForegroundRole:
      if (!status) return QColor(0, 0, 0);
      return regclean::IsErrorResult(line.Result) ? QColor(255, 0, 0) : QColor(0, 128, 0);
    case Qt::TextAlignmentRole:
      return status ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant TRepairLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return section == 0 ? QStringLiteral("Registry Name") : QStringLiteral("Status");
  if (role == Qt::TextAlignmentRole && section == 1) return QVariant(Qt::AlignCenter);
  return {};
}

void MakeReportList(QTreeView* list) {
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
}

QTreeView* NewFinishListView(TRepairLogModel* model, QWidget* parent) {
  auto* list = new QTreeView(parent);
  list->setObjectName(QStringLiteral("FinishListView"));
  list->setModel(model);
  MakeReportList(list);
  list->setColumnWidth(0, 360);
  // 120 pixels, or what the success text needs in this font.
  const int statusWidth = list->fontMetrics().horizontalAdvance(QString::fromLatin1(regclean::kRepairedText)) + 24;
  list->setColumnWidth(1, std::max(120, statusWidth));
  list->setTextElideMode(Qt::ElideMiddle);
  return list;
}
