#include "tools/gui/DetailTempFileForm.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "shell/gui/FormPlacement.h"
#include "tools/DetailTempFileUnit.h"

namespace {

constexpr int kEntryHeight = 50;

// Three lines in a frame; the selected entry on light blue in a blue frame.
class EntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRect box = option.rect.adjusted(2, 4, -2, -4);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect, option.palette.base());
    painter->fillRect(box, selected ? QColor(217, 242, 255) : option.palette.window().color());
    painter->setPen(selected ? QColor(Qt::blue) : QColor(215, 228, 242));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->setPen(Qt::black);
    const QStringList lines = index.data(Qt::UserRole).toStringList();
    const int lineHeight = box.height() / 3;
    for (int i = 0; i < lines.size() && i < 3; ++i) {
      const QRect line(box.left() + 4, box.top() + i * lineHeight, box.width() - 8, lineHeight);
      painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                        option.fontMetrics.elidedText(lines[i], Qt::ElideMiddle, line.width()));
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), kEntryHeight};
  }
};

}  // namespace

TDetailTempFileForm::TDetailTempFileForm(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("DetailTempFileForm"));
  setWindowTitle(QStringLiteral("Details of Temporary Files found"));
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(700, 500);
  abFileTotal = new QLabel(this);
  abFileTotal->setObjectName(QStringLiteral("abFileTotal"));
  abFileTotal->setGeometry(10, 8, 400, 18);
  TempFilesListBox = new QListWidget(this);
  TempFilesListBox->setObjectName(QStringLiteral("TempFilesListBox"));
  TempFilesListBox->setGeometry(10, 30, 680, 420);
  TempFilesListBox->setItemDelegate(new EntryDelegate(TempFilesListBox));
  TempFilesListBox->setUniformItemSizes(true);
  CloseBtn = new QPushButton(QStringLiteral("Close"), this);
  CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
  CloseBtn->setGeometry(615, 462, 75, 25);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
  CenterOnScreen(this);
}

void TDetailTempFileForm::ShowFiles(const std::vector<tools::TTempFileInfo>& files) {
  abFileTotal->setText(QString::fromStdString(tools::DetailTotalText(files.size())));
  TempFilesListBox->clear();
  for (const tools::TTempFileInfo& file : files) {
    QStringList lines;
    for (const std::string& line : tools::DetailLines(file)) lines << QString::fromStdString(line);
    auto* item = new QListWidgetItem(lines.join(QLatin1Char('\n')), TempFilesListBox);
    item->setData(Qt::UserRole, lines);
    item->setSizeHint(QSize(0, kEntryHeight));
  }
}
