#include "tools/gui/StartupManagerForm.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "shell/BusyGuard.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/GridLines.h"

namespace {

constexpr int kBorder = 8;
constexpr int kMemoHeight = 56;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 25;

const TImageList& StatusPictures() {
  if (DM) return DM->StatImageList;
  static const TImageList list = [] {
    TImageList own(16, 16);
    own.LoadStrip("StatImageList");
    return own;
  }();
  return list;
}

// The state picture (when the row has one) and the picture side by side.
QIcon RowIcon(int stateIndex, int imageIndex) {
  QImage image(32, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  const TImageList& pictures = StatusPictures();
  if (stateIndex >= 0) pictures.Draw(painter, TStartupManagerForm::kStatePictureLeft, 0, stateIndex);
  if (imageIndex >= 0) pictures.Draw(painter, TStartupManagerForm::kPictureLeft, 0, imageIndex);
  painter.end();
  return QIcon(QPixmap::fromImage(image));
}

// The largest font, up to the window's own, in which every line of the memo
// fits its width unwrapped and all of them its height.
void FitMemoFont(QPlainTextEdit* memo, const QFont& base) {
  const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
  const int margin = static_cast<int>(std::ceil(memo->document()->documentMargin()));
  const QRect inside = memo->contentsRect();  // the viewport, before it is laid out
  const int width = inside.width() - 2 * margin - memo->cursorWidth();
  const int height = inside.height() - 2 * margin;
  QFont font = base;
  for (int pixels = QFontInfo(base).pixelSize(); pixels > 6; --pixels) {
    font.setPixelSize(pixels);
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= width && metrics.lineSpacing() * static_cast<int>(lines.size()) <= height) break;
  }
  if (font != memo->font()) memo->setFont(font);
}

QTreeWidget* NewList(QWidget* parent, const QStringList& columns) {
  auto* list = new QTreeWidget(parent);
  list->setColumnCount(static_cast<int>(columns.size()));
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setAllColumnsShowFocus(true);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  ShowGridLines(list);
  return list;
}

}  // namespace

TStartupManagerForm::TStartupManagerForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("StartupManagerForm"));
  SetWhiteBackground(this);

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setReadOnly(true);
  Memo->setFrameShape(QFrame::NoFrame);
  Memo->setEnabled(false);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Out of reach, not greyed: its text and background as an enabled memo's.
  QPalette memoColours = Memo->palette();
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::Base})
    memoColours.setColor(QPalette::Disabled, role, memoColours.color(QPalette::Active, role));
  Memo->setPalette(memoColours);
  Memo->setPlainText(QStringLiteral(
      "You can choose which applications are launched when you start the computer. Select the item\n"
      "(s) below within the Startup List tab and click a button to enable, disable or remove. In case \n"
      "that you wanted to recovery the item(s), select the specific item(s) within the Restore List tab, \n"
      "and then click the Restore Item button to restore."));

  PageCIndex = new QTabWidget(this);
  PageCIndex->setObjectName(QStringLiteral("PageCIndex"));
  StartupListView = NewList(nullptr, {QStringLiteral("Name"), QStringLiteral("Path"), QStringLiteral("Status")});
  StartupListView->setObjectName(QStringLiteral("StartupListView"));
  StartupListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  StartupListView->setIconSize(QSize(32, 16));
  StartupListView->setColumnWidth(0, 150);
  StartupListView->setColumnWidth(1, 220);
  StartupListView->setColumnWidth(2, 60);
  StartupListView->headerItem()->setTextAlignment(2, Qt::AlignCenter);
  StartupListView->viewport()->installEventFilter(this);
  ListRestore = NewList(nullptr, {QString(), QStringLiteral("Name"), QStringLiteral("Info")});
  ListRestore->setObjectName(QStringLiteral("ListRestore"));
  ListRestore->setSelectionMode(QAbstractItemView::SingleSelection);
  ListRestore->setColumnWidth(0, 30);
  ListRestore->setColumnWidth(1, 200);
  ListRestore->setColumnWidth(2, 250);
  PageCIndex->addTab(StartupListView, QStringLiteral("Startup List"));
  PageCIndex->addTab(ListRestore, QStringLiteral("Restore List"));

  auto button = [this](const char* name, const char* caption, void (TStartupManagerForm::*click)()) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
    return b;
  };
  OpenPathBtn = button("OpenPathBtn", "Enable Selected", &TStartupManagerForm::OpenPathBtnClick);
  DeleteItemBtn = button("DeleteItemBtn", "Disable Selected", &TStartupManagerForm::DeleteItemBtnClick);
  BtRemove = button("BtRemove", "Remove Selected", &TStartupManagerForm::BtRemoveClick);
  RestoreBtn = button("RestoreBtn", "Restore Item", &TStartupManagerForm::RestoreBtnClick);
  RestoreBtn->setEnabled(false);

  connect(PageCIndex, &QTabWidget::currentChanged, this, [this](int) { PageCIndexChange(); });
  connect(StartupListView, &QTreeWidget::itemDoubleClicked, this, [this] { StartupListViewDblClick(); });
  connect(ListRestore, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column == 0) engine_.SetRestoreChecked(ListRestore->indexOfTopLevelItem(item), item->checkState(0) == Qt::Checked);
  });

  engine_.Prepare();
  resize(590, 440);
  FormResize();
}

TStartupManagerForm::~TStartupManagerForm() = default;

void TStartupManagerForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous() && !shown_) {
    shown_ = true;
    FormShow();
  }
}

void TStartupManagerForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

bool TStartupManagerForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StartupListView->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      const QPoint at = mouse->position().toPoint();
      QTreeWidgetItem* item = StartupListView->itemAt(at);
      if (item) {
        const QRect icon = StartupListView->visualItemRect(item);
        StartupListViewMouseDown(StartupListView->indexOfTopLevelItem(item), at.x() - icon.left() - 4);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TStartupManagerForm::FormShow() {
  PageCIndex->setCurrentIndex(0);
  ListStartup();
}

void TStartupManagerForm::FormResize() {
  const int inner = width() - 2 * kBorder;
  Memo->setGeometry(kBorder, kBorder, inner, kMemoHeight);
  FitMemoFont(Memo, font());
  const int buttonsTop = height() - kBorder - kButtonHeight;
  const int pageTop = kBorder + kMemoHeight + 4;
  PageCIndex->setGeometry(kBorder, pageTop, inner, std::max(0, buttonsTop - 6 - pageTop));
  int x = width() - kBorder;
  for (QPushButton* b : {RestoreBtn, BtRemove, DeleteItemBtn, OpenPathBtn}) {
    x -= kButtonWidth;
    b->setGeometry(x, buttonsTop, kButtonWidth, kButtonHeight);
    x -= 6;
  }
  // The list fills its page, which lies inside the page control's frame.
  const int listWidth = PageCIndex->width() - 6;
  const int path = listWidth - StartupListView->columnWidth(0) - StartupListView->columnWidth(2) - 20;
  if (path > 0) StartupListView->setColumnWidth(1, path);
}

void TStartupManagerForm::ListStartup() {
  engine_.RefreshStartupList();
  FillStartupList();
}

void TStartupManagerForm::FillStartupList() {
  StartupListView->setUpdatesEnabled(false);
  StartupListView->clear();
  QList<QTreeWidgetItem*> items;
  for (const tools::TStartupRow& row : engine_.Rows()) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(row.Caption));
    if (!row.SubItems.empty()) item->setText(1, QString::fromStdString(row.SubItems[0]));
    if (row.SubItems.size() > 1) item->setText(2, QString::fromStdString(row.SubItems[1]));
    item->setTextAlignment(2, Qt::AlignCenter);
    item->setIcon(0, RowIcon(row.StateIndex, row.ImageIndex));
    items.push_back(item);
  }
  StartupListView->addTopLevelItems(items);
  StartupListView->setUpdatesEnabled(true);
}

void TStartupManagerForm::FillRestoreList() {
  const QSignalBlocker block(ListRestore);
  ListRestore->clear();
  for (const tools::TRestoreRow& row : engine_.RestoreRows()) {
    auto* item = new QTreeWidgetItem;
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, row.Checked ? Qt::Checked : Qt::Unchecked);
    item->setText(1, QString::fromStdString(row.SubItems[0]));
    item->setText(2, QString::fromStdString(row.SubItems[1]));
    ListRestore->addTopLevelItem(item);
  }
}

void TStartupManagerForm::StartupListViewMouseDown(int row, int x) {
  if (IsBusy() || row < 0 || row >= static_cast<int>(engine_.Rows().size())) return;
  if (x >= kPictureLeft && x < kPictureLeft + 16) {
    engine_.ToggleChosen(row);
  } else if (x >= kStatePictureLeft && x < kStatePictureLeft + 16) {
    engine_.ToggleEntryDetails(row);
  } else {
    return;
  }
  FillStartupList();
  StartupListView->setCurrentItem(StartupListView->topLevelItem(row));
}

void TStartupManagerForm::StartupListViewDblClick() {
  if (IsBusy()) return;
  const int row = StartupListView->indexOfTopLevelItem(StartupListView->currentItem());
  if (row < 0) return;
  engine_.ToggleEntryDetails(row);
  FillStartupList();
  StartupListView->setCurrentItem(StartupListView->topLevelItem(row));
}

void TStartupManagerForm::PageCIndexChange() {
  const bool restorePage = PageCIndex->currentIndex() == 1;
  if (IsBusy()) {
    const QSignalBlocker block(PageCIndex);
    PageCIndex->setCurrentIndex(restorePage ? 0 : 1);
    return;
  }
  if (restorePage) {
    engine_.ListRemovedEntries();
    FillRestoreList();
  } else {
    ListStartup();
  }
  DeleteItemBtn->setEnabled(!restorePage);
  OpenPathBtn->setEnabled(!restorePage);
  BtRemove->setEnabled(!restorePage);
  RestoreBtn->setEnabled(restorePage);
}

void TStartupManagerForm::DeleteItemBtnClick() {
  if (IsBusy()) return;
  engine_.DisableSelected();
  FillStartupList();
}

void TStartupManagerForm::OpenPathBtnClick() {
  if (IsBusy()) return;
  engine_.EnableSelected();
  FillStartupList();
}

void TStartupManagerForm::BtRemoveClick() {
  if (IsBusy()) return;
  engine_.RemoveSelected();
  FillStartupList();
}

void TStartupManagerForm::RestoreBtnClick() {
  if (IsBusy()) return;
  engine_.RestoreItems();
  FillRestoreList();
}

TStartupManagerForm* CreateStartupManagerForm(QWidget* parent) {
  auto* form = new TStartupManagerForm(parent);
  form->hide();
  return form;
}
