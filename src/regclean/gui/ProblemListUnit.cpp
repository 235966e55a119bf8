#include "regclean/gui/ProblemListUnit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "regclean/ScanResultsUnit.h"
#include "shell/gui/ImageListUnit.h"

const QColor kProblemFrameColour(0xA9, 0xC4, 0xD8);

namespace {

constexpr int kStateImageRole = Qt::UserRole;

// Hands every row to the list's own drawing.
class ProblemRowDelegate : public QStyledItemDelegate {
 public:
  explicit ProblemRowDelegate(TProblemsListBox* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    list_->DrawItem(*painter, index.row(), option.rect, option.state.testFlag(QStyle::State_Selected));
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(0, kProblemRowHeight);
  }

 private:
  TProblemsListBox* list_;
};

// Text drawn with its top left corner at (x, y), like a canvas text-out.
void TextOut(QPainter& painter, int x, int y, const std::string& text) {
  painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), QString::fromStdString(text));
}

}  // namespace

TProblemsListBox::TProblemsListBox(QWidget* owner) : QListWidget(owner) {
  setItemDelegate(new ProblemRowDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
}

void TProblemsListBox::Fill(const std::vector<int>& stateImages) {
  clear();
  for (int image : stateImages) {
    auto* item = new QListWidgetItem(this);
    item->setData(kStateImageRole, image);
  }
}

int TProblemsListBox::StateImage(int row) const {
  const QListWidgetItem* entry = item(row);
  return entry ? entry->data(kStateImageRole).toInt() : 0;
}

void TProblemsListBox::SetStateImage(int row, int image) {
  if (QListWidgetItem* entry = item(row)) entry->setData(kStateImageRole, image);
}

int TProblemsListBox::SelectedRow() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void TProblemsListBox::DrawItem(QPainter& painter, int row, const QRect& bounds, bool selected) const {
  if (row < 0 || row >= count() || !ProblemText) return;
  painter.save();
  painter.setClipRect(bounds);
  const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('A'));
  const regclean::ProblemRowText text = regclean::LayoutProblemRow(ProblemText(row), charWidth, width() - 44);
  const QColor ink = selected ? QColor(0, 0, 255) : QColor(0, 0, 0);
  const QColor frame = selected ? QColor(0, 0, 255) : kProblemFrameColour;
  // Pictures, texts and frame in the row shrunk by 2 left and right, 4 top
  // and bottom; the tick picture then lies on the tick box that presses hit.
  const QRect inner = bounds.adjusted(2, 4, -2, -4);
  const int left = inner.left();
  const int top = inner.top();

  if (StateImages) StateImages->Draw(painter, left + 8, top + 25, StateImage(row));

  QFont bold = font();
  bold.setBold(true);
  painter.setFont(bold);
  painter.setPen(ink);
  TextOut(painter, left + 32, top + 4, text.headline);
  painter.setFont(font());
  for (std::size_t line = 0; line < text.descriptionLines.size() && line < 3; ++line)
    TextOut(painter, left + 32, top + 18 + 14 * static_cast<int>(line), text.descriptionLines[line]);

  // The frame lies inside the rectangle, as a framed rectangle does.
  painter.setPen(frame);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(inner.adjusted(0, 0, -1, -1));
  painter.restore();
}

void TProblemsListBox::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  QListWidgetItem* entry = itemAt(at);
  if (!entry) return;
  const QRect bounds = visualItemRect(entry);
  if (regclean::HitsTickBox(at.x(), at.y(), bounds.left(), bounds.top()) && OnTickBoxClick)
    OnTickBoxClick(row(entry));
}
