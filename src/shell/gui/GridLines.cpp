#include "shell/gui/GridLines.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

namespace {

// Paints the cell as usual, then its right and bottom edges; the last
// column's bottom edge runs on to the list's right side.
class GridLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const QRect cell = option.rect;
    int right = cell.right();
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (view && index.column() == index.model()->columnCount(index.parent()) - 1)
      right = std::max(right, view->viewport()->width() - 1);
    painter->save();
    painter->setPen(QPen(GridLineColour(), 0));
    painter->drawLine(cell.left(), cell.bottom(), right, cell.bottom());
    painter->drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 1);
  }
};

}  // namespace

QColor GridLineColour() { return QColor(0xd4, 0xd0, 0xc8); }

void ShowGridLines(QAbstractItemView* list) {
  if (!list) return;
  // A table's own grid would double the lines.
  if (auto* table = qobject_cast<QTableView*>(list)) table->setShowGrid(false);
  list->setItemDelegate(new GridLineDelegate(list));
}

bool HasGridLines(const QAbstractItemView* list) {
  return list && dynamic_cast<const GridLineDelegate*>(list->itemDelegate()) != nullptr;
}
