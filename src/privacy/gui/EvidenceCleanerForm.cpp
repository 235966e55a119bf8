#include "privacy/gui/EvidenceCleanerForm.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/gui/DM.h"
#include "privacy/gui/ExcludeDataUnit.h"
#include "shell/gui/FormPlacement.h"
#include "privacy/gui/AdvancedShredForm.h"
#include "shell/BusyGuard.h"
#include "shell/gui/GridLines.h"

namespace {

constexpr int kTabWidth = 71;
constexpr int kTabHeight = 28;
constexpr int kTabX[4] = {200, 272, 344, 416};
constexpr int kIndent = 19;
constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kStateBoxSize = 16;  // the state image at the left of a node's icon
const QColor kGaugeColour(0x9E, 0xB6, 0xA1);  // colour value 10598302
const QColor kSelectedColour(0x98, 0x96, 0x97);

QPixmap TreeFrame(int index) {
  if (!DM) return {};
  return QPixmap::fromImage(DM->TreeImageList.Frame(index));
}

// The state image and the node image side by side.
QIcon NodeIcon(int state, int image) {
  QPixmap pixmap(34, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  if (state >= 0) painter.drawPixmap(0, 0, TreeFrame(state));
  if (image >= 0) painter.drawPixmap(18, 0, TreeFrame(image));
  return QIcon(pixmap);
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// A list cell shows the first characters of its text only: laying out a
// line of millions of characters (a damaged exclusion file, a huge URL)
// would stall the window. A cell is one line: each line break (CR LF, CR
// or LF) shows as a blank.
constexpr qsizetype kCellLength = 1024;
QString CellText(const std::string& text) {
  const std::size_t bytes = static_cast<std::size_t>(kCellLength) * 4;  // enough for kCellLength characters
  QString shown = Text(text.size() > bytes ? text.substr(0, bytes) : text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
  shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
  if (shown.size() > kCellLength) shown.truncate(shown.at(kCellLength - 1).isHighSurrogate() ? kCellLength - 1 : kCellLength);
  return shown;
}

void StyleGauge(QProgressBar* gauge) {
  gauge->setTextVisible(false);
  gauge->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #808080; background: white; }"
                                      "QProgressBar::chunk { background: %1; }")
                           .arg(kGaugeColour.name()));
}

// Paints a node's count at the right of its row, as the trees show it.
class CountDelegate : public QStyledItemDelegate {
 public:
  // count: the number painted for a node (the check tree's or the exclusion counts).
  CountDelegate(const TEvidenceCleaner& engine, QTreeWidget* tree, std::function<int(int)> count)
      : QStyledItemDelegate(tree), engine_(engine), tree_(tree), count_(std::move(count)) {}

  // The row's fill (grey when selected, else white) from the indent plus 32
  // pixels to the width minus 24, then the node as the tree draws it over
  // the fill, then its count with its top 2 pixels below the row's top.
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int node = index.data(kNodeRole).toInt();
    const int width = tree_->viewport()->width();
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->fillRect(QRect(QPoint(kIndent + 32, option.rect.top()), QPoint(width - 24, option.rect.bottom())),
                      selected ? kSelectedColour : QColor(Qt::white));
    QStyleOptionViewItem plain = option;
    plain.state &= ~(QStyle::State_HasFocus | QStyle::State_Selected);
    QStyledItemDelegate::paint(painter, plain, index);
    if (node < 0 || node >= engine_.CheckTree.Count()) return;
    const TEvidenceNode& n = engine_.CheckTree.Nodes[node];
    painter->save();
    QFont font = option.font;
    font.setPointSize(9);
    font.setBold(n.Level < 2);
    painter->setFont(font);
    const QString count = QString::number(count_(node));
    const int textWidth = QFontMetrics(font).horizontalAdvance(count);
    painter->setPen(Qt::black);
    painter->drawText(QRect(width - (textWidth + 30), option.rect.top() + 2, textWidth + 4, option.rect.height()),
                      Qt::AlignLeft | Qt::AlignTop, count);
    painter->restore();
  }

  // Where the tick box of a node is drawn: the first 16 pixels of its icon.
  QRect StateBox(QTreeWidgetItem* item) const {
    const QModelIndex index = tree_->indexFromItem(item);
    QStyleOptionViewItem option;
    option.initFrom(tree_);
    option.widget = tree_;
    option.rect = tree_->visualItemRect(item);
    option.decorationSize = tree_->iconSize();
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.decorationAlignment = Qt::AlignCenter;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    initStyleOption(&option, index);
    const QRect icon = tree_->style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, tree_);
    const int box = kStateBoxSize;
    return QRect(icon.left(), icon.top() + (icon.height() - box) / 2, box, box);
  }

 private:
  const TEvidenceCleaner& engine_;
  QTreeWidget* tree_;
  std::function<int(int)> count_;
};

// filter: the window, which handles presses on the tree's state icons.
QTreeWidget* NewTree(QWidget* parent, QObject* filter, const TEvidenceCleaner& engine,
                     std::function<int(int)> count = {}) {
  auto* tree = new QTreeWidget(parent);
  tree->setHeaderHidden(true);
  tree->setIndentation(kIndent);
  tree->setIconSize(QSize(34, 16));
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  // The selected row shows only as the count painting's grey fill.
  QPalette palette = tree->palette();
  palette.setColor(QPalette::Highlight, Qt::white);
  palette.setColor(QPalette::HighlightedText, Qt::black);
  tree->setPalette(palette);
  if (!count) count = [&engine](int node) { return engine.CheckTree.Nodes[static_cast<std::size_t>(node)].Rec->Count; };
  tree->setItemDelegate(new CountDelegate(engine, tree, std::move(count)));
  tree->viewport()->installEventFilter(filter);
  return tree;
}

QPushButton* NewButton(QWidget* parent, const char* caption, const char* name) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFixedSize(89, 28);
  QFont font = button->font();
  font.setPixelSize(13);
  button->setFont(font);
  return button;
}

}  // namespace

// The rows of the result list, asked for as they are drawn.
class TResultRowModel : public QAbstractTableModel {
 public:
  explicit TResultRowModel(TEvidenceCleaner& engine, QObject* parent)
      : QAbstractTableModel(parent), engine_(engine) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(engine_.ResultRows.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount({})) return {};
    if (role == Qt::DisplayRole) {
      return CellText(engine_.RowTexts(index.row())[static_cast<std::size_t>(index.column())]);
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
      const bool ticked = engine_.ResultRows[static_cast<std::size_t>(index.row())].Finding->Checked == 1;
      return QIcon(TreeFrame(ticked ? kStateTicked : kStateUnticked));
    }
    if (role == Qt::TextAlignmentRole) {
      if (index.column() == 2) return int(Qt::AlignRight | Qt::AlignVCenter);
      if (index.column() == 3) return int(Qt::AlignCenter);
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kColumns[] = {"Item", "Name", "Size", "Status"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
      return QString::fromLatin1(kColumns[section]);
    return {};
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  TEvidenceCleaner& engine_;
};

TEvidenceCleanerForm::TEvidenceCleanerForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("EvidenceCleanerForm"));
  setWindowTitle(QStringLiteral("Evidence Cleaner"));
  SetWhiteBackground(this);
  QFont font(QStringLiteral("MS Sans Serif"));
  setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(6);

  auto* title = new QWidget(this);
  title->setFixedHeight(78);
  auto* heading = new QLabel(QStringLiteral("Evidence Cleaner"), title);
  QFont headingFont = heading->font();
  headingFont.setPixelSize(20);
  headingFont.setBold(true);
  heading->setFont(headingFont);
  heading->move(8, 10);
  BtnBackImage = new QLabel(title);
  BtnBackImage->setGeometry(kTabX[0], 50, kTabWidth, kTabHeight);
  BtnBackImage->setStyleSheet(QStringLiteral("background: #dfe7f3; border: 1px solid #7f9db9;"));
  QLabel** tabs[4] = {&ScanBtn, &ResultBtn, &ExcludeBtn, &AdvancedBtn};
  const char* captions[4] = {"Scan", "Result", "Exclude", "Advanced"};
  const char* names[4] = {"ScanBtn", "ResultBtn", "ExcludeBtn", "AdvancedBtn"};
  for (int i = 0; i < 4; ++i) {
    *tabs[i] = new QLabel(QString::fromLatin1(captions[i]), title);
    (*tabs[i])->setObjectName(QString::fromLatin1(names[i]));
    (*tabs[i])->setGeometry(kTabX[i], 50, kTabWidth, kTabHeight);
    (*tabs[i])->setAlignment(Qt::AlignCenter);
    (*tabs[i])->setCursor(Qt::PointingHandCursor);
    (*tabs[i])->installEventFilter(this);
  }
  layout->addWidget(title);

  DataNotebook = new QStackedWidget(this);
  DataNotebook->addWidget(NewScanPage());
  DataNotebook->addWidget(NewResultPage());
  DataNotebook->addWidget(NewExcludePage());
  for (const char* name : {"Advanced"}) {
    auto* page = new QWidget(DataNotebook);
    page->setObjectName(QString::fromLatin1(name));
    SetWhiteBackground(page);
    DataNotebook->addWidget(page);
  }
  RunModal = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
  layout->addWidget(DataNotebook, 1);
  // The Advanced page receives the file shredder at its first visit.
  auto* advanced = new QVBoxLayout(DataNotebook->widget(kAdvancedPage));
  advanced->setContentsMargins(0, 0, 0, 0);

  Engine.SetView(this);
  if (DM) DM->EvidenceView = this;
}

TEvidenceCleanerForm::~TEvidenceCleanerForm() {
  if (DM && DM->EvidenceView == this) {
    DM->EvidenceTimer->stop();
    DM->EvidenceView = nullptr;
  }
  Engine.SetView(nullptr);
}

QWidget* TEvidenceCleanerForm::NewScanPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("ScanPage"));
  SetWhiteBackground(page);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  tvItemsList = NewTree(page, this, Engine);
  tvItemsList->setObjectName(QStringLiteral("tvItemsList"));
  layout->addWidget(tvItemsList, 1);
  auto* bottom = new QWidget(page);
  bottom->setFixedHeight(51);
  auto* row = new QHBoxLayout(bottom);
  ScanGauge = new QProgressBar(bottom);
  ScanGauge->setFixedSize(281, 22);
  StyleGauge(ScanGauge);
  ScanGauge->hide();
  row->addWidget(ScanGauge);
  row->addStretch(1);
  ScanNowBtn = NewButton(bottom, "Scan Now", "ScanNowBtn");
  AbortBtn = NewButton(bottom, "Cancel", "AbortBtn");
  AbortBtn->hide();
  row->addWidget(ScanNowBtn);
  row->addWidget(AbortBtn);
  layout->addWidget(bottom);
  connect(ScanNowBtn, &QPushButton::clicked, this, [this] { Engine.ScanNowBtnClick(); });
  connect(AbortBtn, &QPushButton::clicked, this, [this] { Engine.AbortBtnClick(); });
  return page;
}

QWidget* TEvidenceCleanerForm::NewResultPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("ResultPage"));
  SetWhiteBackground(page);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  auto* caption = new QWidget(page);
  caption->setFixedHeight(25);
  caption->setStyleSheet(QStringLiteral("background: #eef2f8;"));
  auto* captionRow = new QHBoxLayout(caption);
  captionRow->setContentsMargins(4, 0, 4, 0);
  panResultItemName = new QLabel(caption);
  QFont captionFont = panResultItemName->font();
  captionFont.setPixelSize(13);
  panResultItemName->setFont(captionFont);
  captionRow->addWidget(panResultItemName, 1);
  captionRow->addWidget(new QLabel(QStringLiteral("Items found:"), caption));
  abResultCount = new QLabel(QStringLiteral("0"), caption);
  captionRow->addWidget(abResultCount);
  captionRow->addSpacing(12);
  captionRow->addWidget(new QLabel(QStringLiteral("Size:"), caption));
  abResultSpace = new QLabel(QStringLiteral("0"), caption);
  captionRow->addWidget(abResultSpace);
  panResultSpace = new QLabel(QStringLiteral("KB"), caption);
  captionRow->addWidget(panResultSpace);

  ResultTreeView = NewTree(page, this, Engine);
  ResultTreeView->setObjectName(QStringLiteral("ResultTreeView"));
  ResultTreeView->setFixedHeight(105);
  layout->addWidget(ResultTreeView);
  connect(ResultTreeView, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!filling_ && item) Engine.ResultTreeViewChange(item->data(0, Qt::UserRole).toInt());
  });

  ResultListView = new QTableView(page);
  ResultListView->setObjectName(QStringLiteral("ResultListView"));
  rowModel_ = new TResultRowModel(Engine, ResultListView);
  ResultListView->setModel(rowModel_);
  ResultListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ResultListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ResultListView->verticalHeader()->hide();
  ResultListView->verticalHeader()->setDefaultSectionSize(18);
  ResultListView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ResultListView->setWordWrap(false);
  ShowGridLines(ResultListView);
  ResultListView->setColumnWidth(0, 140);
  ResultListView->setColumnWidth(1, 500);
  ResultListView->setColumnWidth(2, 60);
  ResultListView->horizontalHeader()->setStretchLastSection(true);
  ResultListView->viewport()->installEventFilter(this);
  ResultListView->setContextMenuPolicy(Qt::CustomContextMenu);
  pmExclude = new QMenu(ResultListView);
  Exclude1 = pmExclude->addAction(QStringLiteral("Exclude"));
  Exclude1->setObjectName(QStringLiteral("Exclude1"));
  connect(ResultListView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (ResultListView->indexAt(at).isValid()) pmExclude->popup(ResultListView->viewport()->mapToGlobal(at));
  });
  connect(Exclude1, &QAction::triggered, this, [this] {
    const QModelIndexList rows = ResultListView->selectionModel()->selectedRows();
    if (!rows.isEmpty()) Engine.Exclude1Click(rows.front().row());
  });
  layout->addWidget(ResultListView, 1);
  layout->addWidget(caption);

  auto* bottom = new QWidget(page);
  bottom->setFixedHeight(46);
  auto* row = new QHBoxLayout(bottom);
  abStepMsg = new QLabel(bottom);
  abStepMsg->hide();
  abHintStr = new QLabel(bottom);
  abHintStr->setObjectName(QStringLiteral("abHintStr"));
  abHintStr->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
  abHintStr->hide();
  cdGauge = new QProgressBar(bottom);
  cdGauge->setRange(0, 100);
  cdGauge->setFixedSize(321, 22);
  StyleGauge(cdGauge);
  cdGauge->hide();
  row->addWidget(abStepMsg);
  row->addWidget(abHintStr);
  row->addWidget(cdGauge);
  row->addStretch(1);
  CleanBtn = NewButton(bottom, "Clean", "CleanBtn");
  FinishBtn = NewButton(bottom, "Finish", "FinishBtn");
  FinishBtn->hide();
  row->addWidget(CleanBtn);
  row->addWidget(FinishBtn);
  layout->addWidget(bottom);
  connect(CleanBtn, &QPushButton::clicked, this, [this] { Engine.CleanBtnClick(); });
  connect(FinishBtn, &QPushButton::clicked, this, [this] { Engine.FinishBtnClick(); });
  return page;
}

void TEvidenceCleanerForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Every show reloads the exclusion list; the Scan page is set up on the
  // first one only, so that showing the main window again keeps the results.
  if (event->spontaneous()) return;
  if (shown_) {
    Engine.LoadExclusions();
    return;
  }
  shown_ = true;
  Engine.FormShow();
}

QRect TEvidenceCleanerForm::StateBoxRect(QTreeWidget* tree, QTreeWidgetItem* item) const {
  return static_cast<const CountDelegate*>(tree->itemDelegate())->StateBox(item);
}

TEvidenceCleanerForm::TreePart TEvidenceCleanerForm::PartAt(QTreeWidget* tree, QTreeWidgetItem* item,
                                                            QPoint at) const {
  if (!item) return TreePart::Nothing;
  const QRect rect = tree->visualItemRect(item);
  if (at.x() < rect.left()) {
    // The last step of the indentation holds the expand arrow of a node
    // with children.
    const bool arrow = item->childCount() > 0 && at.x() >= rect.left() - tree->indentation();
    return arrow ? TreePart::Arrow : TreePart::Indent;
  }
  return StateBoxRect(tree, item).contains(at) ? TreePart::StateBox : TreePart::Node;
}

bool TEvidenceCleanerForm::eventFilter(QObject* watched, QEvent* event) {
  const bool press = event->type() == QEvent::MouseButtonPress;
  const bool doublePress = event->type() == QEvent::MouseButtonDblClick;
  if ((press || doublePress) &&
      (watched == tvItemsList->viewport() || watched == ResultTreeView->viewport())) {
    // A press ticks only on the tick box, expands or collapses only on the
    // arrow, and does nothing in the indentation; the second press of a
    // double click ticks again.
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* tree = watched == tvItemsList->viewport() ? tvItemsList : ResultTreeView;
    QTreeWidgetItem* item = tree->itemAt(mouse->pos());
    if (mouse->button() != Qt::LeftButton) return QWidget::eventFilter(watched, event);
    switch (PartAt(tree, item, mouse->pos())) {
      case TreePart::Indent:
        return true;
      case TreePart::StateBox:
        tree->setCurrentItem(item);
        if (tree == tvItemsList) PressCheckState(item->data(0, kNodeRole).toInt());
        else PressResultTreeState(item->data(0, Qt::UserRole).toInt());
        return true;
      default:
        return QWidget::eventFilter(watched, event);
    }
  }
  if (watched == ExcludeListView && event->type() == QEvent::Resize)
    ExcludeListView->setColumnWidth(1, std::max(0, ExcludeListView->width() - ExcludeListView->columnWidth(0) - 20));
  if (press) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const bool tab = watched == ScanBtn || watched == ResultBtn || watched == ExcludeBtn || watched == AdvancedBtn;
    if (tab && IsBusy()) return true;  // a shred runs
    if (watched == ScanBtn) Engine.ScanBtnClick();
    else if (watched == ResultBtn) Engine.ResultBtnClick();
    else if (watched == ExcludeBtn) Engine.ExcludeBtnClick();
    else if (watched == AdvancedBtn) Engine.AdvancedBtnClick();
    else if (watched == ResultListView->viewport() && mouse->button() == Qt::RightButton) {
      // The row under the mouse is selected before its menu opens.
      const QModelIndex index = ResultListView->indexAt(mouse->pos());
      if (index.isValid()) ResultListView->selectRow(index.row());
    } else if (watched == ResultListView->viewport() && mouse->button() == Qt::LeftButton) {
      const QModelIndex index = ResultListView->indexAt(mouse->pos());
      if (index.isValid() && index.column() == 0 &&
          mouse->pos().x() < ResultListView->visualRect(index).left() + 20) {
        PressResultRowState(index.row());
      } else {
        Engine.ShowResultHint();
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

QTreeWidgetItem* TEvidenceCleanerForm::CheckItem(int node) const {
  QTreeWidgetItemIterator it(tvItemsList);
  for (; *it; ++it)
    if ((*it)->data(0, kNodeRole).toInt() == node) return *it;
  return nullptr;
}

QTreeWidgetItem* TEvidenceCleanerForm::ResultItem(int resultNode) const {
  QTreeWidgetItemIterator it(ResultTreeView);
  for (; *it; ++it)
    if ((*it)->data(0, Qt::UserRole).toInt() == resultNode) return *it;
  return nullptr;
}

void TEvidenceCleanerForm::PressCheckState(int node) { Engine.CheckNodeStateClick(node); }
void TEvidenceCleanerForm::PressResultTreeState(int resultNode) { Engine.ResultTreeStateClick(resultNode); }
void TEvidenceCleanerForm::PressResultRowState(int row) { Engine.ResultRowStateClick(row); }

void TEvidenceCleanerForm::PaintNode(QTreeWidgetItem* item, const TEvidenceNode& node, int state) const {
  item->setIcon(0, NodeIcon(state, node.ImageIndex));
  QFont font = item->font(0);
  font.setBold(node.Level < 2);
  item->setFont(0, font);
}

void TEvidenceCleanerForm::TreeRebuilt() {
  tvItemsList->clear();
  std::vector<QTreeWidgetItem*> items;
  const auto& nodes = Engine.CheckTree.Nodes;
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    QTreeWidgetItem* item = nodes[i].Parent < 0 ? new QTreeWidgetItem(tvItemsList)
                                                : new QTreeWidgetItem(items[static_cast<std::size_t>(nodes[i].Parent)]);
    item->setText(0, Text(Engine.NodeText(i)));
    item->setData(0, kNodeRole, i);
    PaintNode(item, nodes[i], nodes[i].StateIndex);
    items.push_back(item);
  }
  tvItemsList->expandAll();
  if (!items.empty()) tvItemsList->setCurrentItem(items.front());
}

void TEvidenceCleanerForm::NodesChanged(const std::vector<int>& nodes) {
  for (int node : nodes) {
    if (node < 0 || node >= Engine.CheckTree.Count()) continue;
    const TEvidenceNode& n = Engine.CheckTree.Nodes[node];
    if (QTreeWidgetItem* item = CheckItem(node)) PaintNode(item, n, n.StateIndex);
  }
  tvItemsList->viewport()->update();
  ResultTreeView->viewport()->update();
}

void TEvidenceCleanerForm::ShowStepName(const std::string& name) {
  abStepMsg->setText(Text(name));
  abStepMsg->repaint();
}

void TEvidenceCleanerForm::SetCleanGauge(int position) { cdGauge->setValue(position); }

void TEvidenceCleanerForm::ShowPage(int page) {
  QLabel* tabs[4] = {ScanBtn, ResultBtn, ExcludeBtn, AdvancedBtn};
  for (int i = 0; i < 4; ++i) {
    QFont font = tabs[i]->font();
    font.setBold(i == page);
    tabs[i]->setFont(font);
  }
  BtnBackImage->move(tabs[page]->x(), BtnBackImage->y());
  if (page == kAdvancedPage && !AdvancedShred) {
    QWidget* panel = DataNotebook->widget(kAdvancedPage);
    AdvancedShred = new TAdvancedShredForm(panel);
    panel->layout()->addWidget(AdvancedShred);
  }
  DataNotebook->setCurrentIndex(page);
}

void TEvidenceCleanerForm::SetScanRunning(bool running) {
  ScanNowBtn->setVisible(!running);
  AbortBtn->setVisible(running);
  ScanGauge->setVisible(running);
}

void TEvidenceCleanerForm::SetScanGauge(int position, int maximum) {
  ScanGauge->setMaximum(std::max(maximum, 1));
  ScanGauge->setValue(position);
}

void TEvidenceCleanerForm::SetBusyAnimation(bool running) {
  if (!DM) return;
  if (running) {
    DM->EvidenceFrame = kEvidenceAnimFirst;
    DM->EvidenceTimer->start();
  } else {
    DM->EvidenceTimer->stop();
  }
}

void TEvidenceCleanerForm::SetBusyNode(int node) {
  if (node < 0) return;
  if (DM) DM->EvidenceNode = node;
  NodesChanged({node});
}

void TEvidenceCleanerForm::SetNodeImage(int node, int image) {
  if (node < 0 || node >= Engine.CheckTree.Count()) return;
  if (QTreeWidgetItem* item = CheckItem(node))
    item->setIcon(0, NodeIcon(Engine.CheckTree.Nodes[node].StateIndex, image));
}

void TEvidenceCleanerForm::ResultTreeRebuilt() {
  filling_ = true;
  ResultTreeView->clear();
  std::vector<QTreeWidgetItem*> byCheckNode(static_cast<std::size_t>(Engine.CheckTree.Count()), nullptr);
  for (int i = 0; i < static_cast<int>(Engine.ResultNodes.size()); ++i) {
    const int checkNode = Engine.ResultNodes[static_cast<std::size_t>(i)];
    const TEvidenceNode& node = Engine.CheckTree.Nodes[checkNode];
    QTreeWidgetItem* parent = node.Parent >= 0 ? byCheckNode[static_cast<std::size_t>(node.Parent)] : nullptr;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(ResultTreeView);
    item->setText(0, Text(Engine.NodeText(checkNode)));
    item->setData(0, Qt::UserRole, i);
    item->setData(0, kNodeRole, checkNode);
    PaintNode(item, node, Engine.ResultStates[static_cast<std::size_t>(i)]);
    byCheckNode[static_cast<std::size_t>(checkNode)] = item;
  }
  ResultTreeView->expandAll();
  if (QTreeWidgetItem* root = ResultItem(0)) ResultTreeView->setCurrentItem(root);
  filling_ = false;
}

void TEvidenceCleanerForm::ResultTreeChanged() {
  QTreeWidgetItemIterator it(ResultTreeView);
  for (; *it; ++it) {
    const int checkNode = (*it)->data(0, kNodeRole).toInt();
    const int resultNode = (*it)->data(0, Qt::UserRole).toInt();
    PaintNode(*it, Engine.CheckTree.Nodes[checkNode], Engine.ResultStates[static_cast<std::size_t>(resultNode)]);
  }
  NodesChanged({});
}

void TEvidenceCleanerForm::ResultRowsChanged() { rowModel_->Reset(); }

void TEvidenceCleanerForm::SetResultCaption(const std::string& text) { panResultItemName->setText(Text(text)); }

void TEvidenceCleanerForm::SetResultFigures(const std::string& count, const std::string& size,
                                            const std::string& unit) {
  abResultCount->setText(Text(count));
  abResultSpace->setText(Text(size));
  panResultSpace->setText(Text(unit));
}

void TEvidenceCleanerForm::SetHint(const std::string& text, bool) {
  abHintStr->setText(Text(text));
  abHintStr->setVisible(true);
}

void TEvidenceCleanerForm::SetCleanGaugeVisible(bool visible) { cdGauge->setVisible(visible); }

void TEvidenceCleanerForm::SetCleanVisible(bool clean) {
  CleanBtn->setVisible(clean);
  FinishBtn->setVisible(!clean);
}

// ---- Exclude page -------------------------------------------------------------

QWidget* TEvidenceCleanerForm::NewExcludePage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("Exclude"));
  SetWhiteBackground(page);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  tvExclude = NewTree(page, this, Engine, [this](int node) {
    return Engine.ExcludeCounts[static_cast<std::size_t>(node)];
  });
  tvExclude->setObjectName(QStringLiteral("tvExclude"));
  tvExclude->setFixedHeight(137);
  layout->addWidget(tvExclude);
  connect(tvExclude, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!filling_ && item) Engine.tvExcludeChange(item->data(0, kNodeRole).toInt());
  });

  ExcludeListView = new QTreeWidget(page);
  ExcludeListView->setObjectName(QStringLiteral("ExcludeListView"));
  ExcludeListView->setRootIsDecorated(false);
  ExcludeListView->setColumnCount(2);
  ExcludeListView->setHeaderLabels({QStringLiteral("Item"), QStringLiteral("Name")});
  ExcludeListView->setColumnWidth(0, 140);
  ExcludeListView->header()->setStretchLastSection(false);
  ExcludeListView->installEventFilter(this);
  ExcludeListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ExcludeListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ShowGridLines(ExcludeListView);
  layout->addWidget(ExcludeListView, 1);

  auto* bottom = new QWidget(page);
  bottom->setFixedHeight(46);
  auto* row = new QHBoxLayout(bottom);
  row->addStretch(1);
  AddBtn = NewButton(bottom, "Add", "AddBtn");
  ModifyBtn = NewButton(bottom, "Modify", "ModifyBtn");
  RemoveBtn = NewButton(bottom, "Remove", "RemoveBtn");
  for (QPushButton* button : {AddBtn, ModifyBtn, RemoveBtn}) {
    button->setFixedSize(75, 28);
    row->addWidget(button);
  }
  AddBtn->hide();
  layout->addWidget(bottom);
  connect(ModifyBtn, &QPushButton::clicked, this, [this] { Engine.ModifyBtnClick(SelectedExcludeRow()); });
  connect(RemoveBtn, &QPushButton::clicked, this, [this] { Engine.RemoveBtnClick(SelectedExcludeRow()); });
  return page;
}

int TEvidenceCleanerForm::SelectedExcludeRow() const {
  QTreeWidgetItem* item = ExcludeListView->currentItem();
  if (item == nullptr || !item->isSelected()) return -1;
  return ExcludeListView->indexOfTopLevelItem(item);
}

void TEvidenceCleanerForm::ExcludeTreeRebuilt() {
  filling_ = true;
  tvExclude->clear();
  std::vector<QTreeWidgetItem*> items;
  const auto& nodes = Engine.CheckTree.Nodes;
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    QTreeWidgetItem* item = nodes[i].Parent < 0
                                ? new QTreeWidgetItem(tvExclude)
                                : new QTreeWidgetItem(items[static_cast<std::size_t>(nodes[i].Parent)]);
    item->setText(0, Text(Engine.NodeText(i)));
    item->setData(0, kNodeRole, i);
    const int image = nodes[i].Level == 0 ? kImageRoot : nodes[i].Level == 1 ? 1 + nodes[i].Rec->Category : kImageItem;
    item->setIcon(0, NodeIcon(-1, image));
    QFont font = item->font(0);
    font.setBold(nodes[i].Level < 2);
    item->setFont(0, font);
    items.push_back(item);
  }
  tvExclude->expandAll();
  if (!items.empty()) tvExclude->setCurrentItem(items.front());
  filling_ = false;
}

void TEvidenceCleanerForm::ExcludeCountsChanged() { tvExclude->viewport()->update(); }

void TEvidenceCleanerForm::ExcludeRowsChanged() {
  ExcludeListView->clear();
  for (int row = 0; row < static_cast<int>(Engine.ExcludeRows.size()); ++row) {
    auto* item = new QTreeWidgetItem(ExcludeListView);
    item->setText(0, CellText(Engine.ExcludeRows[static_cast<std::size_t>(row)]->ItemName));
    item->setText(1, CellText(Engine.ExcludeRowText(row)));
  }
}

bool TEvidenceCleanerForm::AskExcludeText(const std::string& caption, int item, std::string& text) {
  TExcludeDataForm dialog(Engine.ItemLists[0], this);
  dialog.setWindowTitle(Text(caption));
  dialog.cbSection->setCurrentIndex(item);
  dialog.edTextName->setText(Text(text));
  if (!RunModal(dialog)) return false;
  text = dialog.edTextName->text().toStdString();
  return true;
}

TEvidenceCleanerForm* CreateEvidenceCleanerForm(QWidget* parent) {
  auto* form = new TEvidenceCleanerForm(parent);
  form->hide();
  return form;
}
