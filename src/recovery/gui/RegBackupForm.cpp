#include "recovery/gui/RegBackupForm.h"

#include <QFrame>
#include <QHeaderView>
#include <QResizeEvent>
#include <QShowEvent>

#include "shell/gui/DM.h"
#include "shell/gui/FormPlacement.h"
#include "shell/gui/HintUnit.h"
#include "shell/gui/ImageExUnit.h"

namespace {

constexpr int kBorder = 8;
constexpr int kMemoHeight = 104;
constexpr int kSheetWidth = 95;
constexpr int kSheetHeight = 24;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 29;
constexpr int kButtonGap = 8;
constexpr int kRowBand = 0xABAB56;  // Windows colour order: blue, green, red

const char* const kIntroLines[] = {
    "Fernwick introduces powerful registry recovery management utilities, including repair backup and full ",
    "backup. ",
    "Instructions:",
    "Repair Backup: whenever any changes are made to the Windows registry, a backup file will be automatically ",
    "created, which can be used to go back to the previous configuration. ",
    "Full Backup: you can alternatively do a complete backup for the Windows registry; usually a full backup will be ",
    "created on your first-time cleaning.",
};

// The lines as running text: a line ending in a blank goes on into a next
// line that continues its sentence (begins in lower case).
QString IntroText() {
  QString text;
  for (const char* line : kIntroLines) {
    const QString next = QString::fromLatin1(line);
    if (!text.isEmpty()) text += text.endsWith(QLatin1Char(' ')) && next.at(0).isLower() ? QString() : QStringLiteral("\n");
    text += next;
  }
  return text;
}

QColor WindowsColour(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

const QColor& BandColour() {
  static const QColor colour = WindowsColour(kRowBand);
  return colour;
}

void DrawButton(TImageEx* image, int frame) {
  if (DM && image) DM->DrawImageButton(frame, image->property("caption").toString().toStdString(), image);
}

void DrawSheet(TImageEx* image, int frame, const char* caption) {
  if (DM) DM->DrawSheetTab(frame, caption, image);
}

}  // namespace

TRegBackupForm::TRegBackupForm(QWidget* owner) : QWidget(owner) {
  setObjectName(QStringLiteral("RegBackupForm"));
  SetWhiteBackground(this);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setPlainText(IntroText());
  Memo1->setReadOnly(true);
  Memo1->setEnabled(false);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette memo = Memo1->palette();
  memo.setColor(QPalette::Disabled, QPalette::Text, QColor(0x33, 0x33, 0x33));
  memo.setColor(QPalette::Disabled, QPalette::Base, Qt::white);
  Memo1->setPalette(memo);

  PartialSheet = new TImageEx(this);
  PartialSheet->setObjectName(QStringLiteral("PartialSheet"));
  FullSheet = new TImageEx(this);
  FullSheet->setObjectName(QStringLiteral("FullSheet"));
  PartialSheet->OnClick = [this](QObject*) { PartialSheetClick(); };
  FullSheet->OnClick = [this](QObject*) { FullSheetClick(); };
  SheetLine = new QFrame(this);
  SheetLine->setAutoFillBackground(true);
  QPalette line = SheetLine->palette();
  line.setColor(QPalette::Window, BandColour());
  SheetLine->setPalette(line);

  BackupNotebook = new QStackedWidget(this);
  BackupNotebook->setObjectName(QStringLiteral("BackupNotebook"));
  Partial = new QWidget;
  Partial->setObjectName(QStringLiteral("Partial"));
  Full = new QWidget;
  Full->setObjectName(QStringLiteral("Full"));
  SetWhiteBackground(Partial);
  SetWhiteBackground(Full);
  BackupNotebook->addWidget(Partial);
  BackupNotebook->addWidget(Full);

  PartialListView = NewList(Partial);
  PartialListView->setObjectName(QStringLiteral("PartialListView"));
  RestorePartialBtn = NewButton(Partial, "RestorePartialBtn", "Restore", &TRegBackupForm::RestorePartialBtnClick);
  RemovePartialBtn = NewButton(Partial, "RemovePartialBtn", "Remove Backup", &TRegBackupForm::RemovePartialBtnClick);

  BackupDataListView = NewList(Full);
  BackupDataListView->setObjectName(QStringLiteral("BackupDataListView"));
  BackupDataListView->setHeaderLabels({QStringLiteral("Backup Time")});
  BackupRegistryBtn = NewButton(Full, "BackupRegistryBtn", "Create Backup", &TRegBackupForm::BackupRegistryBtnClick);
  RestoreRegistryBtn = NewButton(Full, "RestoreRegistryBtn", "Restore", &TRegBackupForm::RestoreRegistryBtnClick);
  RemoveBackupBtn = NewButton(Full, "RemoveBackupBtn", "Remove Backup", &TRegBackupForm::RemoveBackupBtnClick);

  resize(590, 440);
  FormResize();
}

TRegBackupForm::~TRegBackupForm() = default;

QTreeWidget* TRegBackupForm::NewList(QWidget* page) {
  auto* list = new QTreeWidget(page);
  list->setColumnCount(1);
  list->setHeaderHidden(true);
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setIconSize(QSize(DM ? DM->ImageList1.Width() : 16, DM ? DM->ImageList1.Height() : 16));
  return list;
}

TImageEx* TRegBackupForm::NewButton(QWidget* page, const char* name, const char* caption,
                                    void (TRegBackupForm::*click)()) {
  auto* image = new TImageEx(page);
  image->setObjectName(QString::fromLatin1(name));
  image->setProperty("caption", QString::fromLatin1(caption));
  image->resize(kButtonWidth, kButtonHeight);
  QFont font = image->CanvasFont();
  font.setBold(true);
  image->CanvasFont() = font;
  image->setCursor(Qt::PointingHandCursor);
  image->OnMouseEnter = [image](QObject*) { DrawButton(image, 1); };
  image->OnMouseLeave = [image](QObject*) { DrawButton(image, 0); };
  image->OnClick = [this, click](QObject*) { (this->*click)(); };
  DrawButton(image, 0);
  return image;
}

void TRegBackupForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TRegBackupForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TRegBackupForm::FormShow() {
  PartialSheetClick();
  ListRepairBackups();
}

void TRegBackupForm::FormResize() {
  const int inner = width() - 2 * kBorder;
  Memo1->setGeometry(kBorder, kBorder, inner, kMemoHeight);
  const int sheetTop = kBorder + kMemoHeight + 8;
  PartialSheet->setGeometry(kBorder, sheetTop, kSheetWidth, kSheetHeight);
  FullSheet->setGeometry(kBorder + kSheetWidth + 2, sheetTop, kSheetWidth, kSheetHeight);
  SheetLine->setGeometry(kBorder, sheetTop + kSheetHeight, inner, 1);
  const int pageTop = sheetTop + kSheetHeight + 1;
  BackupNotebook->setGeometry(kBorder, pageTop, inner, std::max(0, height() - pageTop - kBorder));
  PlaceButtons();
  BackupDataListView->setColumnWidth(0, BackupDataListView->width() - 20);
}

void TRegBackupForm::PlaceButtons() {
  const int pageWidth = BackupNotebook->width();
  const int pageHeight = BackupNotebook->height();
  const int buttonTop = pageHeight - kButtonHeight - 2;
  const int listHeight = std::max(0, buttonTop - 8 - 8);
  for (QTreeWidget* list : {PartialListView, BackupDataListView}) list->setGeometry(0, 8, pageWidth, listHeight);
  auto place = [&](std::initializer_list<TImageEx*> buttons) {
    int x = pageWidth - static_cast<int>(buttons.size()) * (kButtonWidth + kButtonGap) + kButtonGap;
    for (TImageEx* button : buttons) {
      button->move(x, buttonTop);
      x += kButtonWidth + kButtonGap;
    }
  };
  place({RestorePartialBtn, RemovePartialBtn});
  place({BackupRegistryBtn, RestoreRegistryBtn, RemoveBackupBtn});
}

void TRegBackupForm::PartialSheetClick() {
  DrawSheet(PartialSheet, 1, "Repair Backup");
  DrawSheet(FullSheet, 0, "Full Backup");
  DrawButton(RestorePartialBtn, 0);
  DrawButton(RemovePartialBtn, 0);
  BackupNotebook->setCurrentIndex(0);
  ListRepairBackups();
}

void TRegBackupForm::FullSheetClick() {
  DrawSheet(PartialSheet, 0, "Repair Backup");
  DrawSheet(FullSheet, 1, "Full Backup");
  DrawButton(BackupRegistryBtn, 0);
  DrawButton(RestoreRegistryBtn, 0);
  DrawButton(RemoveBackupBtn, 0);
  BackupNotebook->setCurrentIndex(1);
  ListFullBackups();
}

void TRegBackupForm::AddRow(QTreeWidget* list, const recovery::BackupFileRow& row) {
  auto* item = new QTreeWidgetItem({QString::fromStdString(row.Caption)});
  item->setData(0, Qt::UserRole, QString::fromStdString(row.FileName));
  item->setToolTip(0, QString::fromStdString(row.FileName));
  if (DM) item->setIcon(0, DM->ImageList1.Icon(0));
  list->addTopLevelItem(item);
}

void TRegBackupForm::PaintRows(QTreeWidget* list) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    list->topLevelItem(i)->setBackground(0, i % 2 == 0 ? QBrush(BandColour()) : QBrush());
}

void TRegBackupForm::FillList(QTreeWidget* list, const std::string& folder) {
  list->clear();
  for (const recovery::BackupFileRow& row : recovery::ListBackupFiles(folder)) AddRow(list, row);
  PaintRows(list);
}

void TRegBackupForm::ListRepairBackups() {
  FillList(PartialListView, recovery::RepairBackupFolder());
  PartialListView->setColumnWidth(0, PartialListView->width() - 20);
}

void TRegBackupForm::ListFullBackups() { FillList(BackupDataListView, recovery::FullBackupFolder()); }

std::string TRegBackupForm::SelectedFile(const QTreeWidget* list) {
  const QTreeWidgetItem* item = list->currentItem();
  if (item == nullptr || !item->isSelected()) return {};
  return item->data(0, Qt::UserRole).toString().toStdString();
}

void TRegBackupForm::ShowWait(const std::string& title, const std::string& message) {
  waitForm_ = std::make_unique<THintForm>(title, message, this);
  ShowAndPaint(waitForm_.get());
}

void TRegBackupForm::CloseWait() { waitForm_.reset(); }

void TRegBackupForm::BackupCreated(const recovery::BackupFileRow& row) {
  AddRow(BackupDataListView, row);
  PaintRows(BackupDataListView);
  BackupNotebook->setCurrentIndex(1);
}

void TRegBackupForm::BackupRemoved() {
  if (removing_ == nullptr) return;
  if (QTreeWidgetItem* item = removing_->currentItem()) delete item;
  PaintRows(removing_);
}

void TRegBackupForm::BackupRegistryBtnClick() { recovery::CreateFullBackup(*this, Clock()); }

void TRegBackupForm::RestoreRegistryBtnClick() {
  recovery::RestoreBackupFile(SelectedFile(BackupDataListView));
  BackupNotebook->setCurrentIndex(1);
}

void TRegBackupForm::RemoveBackupBtnClick() {
  removing_ = BackupDataListView;
  recovery::RemoveBackupFile(*this, SelectedFile(BackupDataListView));
  removing_ = nullptr;
  BackupNotebook->setCurrentIndex(1);
}

void TRegBackupForm::RestorePartialBtnClick() { recovery::RestoreBackupFile(SelectedFile(PartialListView)); }

void TRegBackupForm::RemovePartialBtnClick() {
  removing_ = PartialListView;
  recovery::RemoveBackupFile(*this, SelectedFile(PartialListView));
  removing_ = nullptr;
}

TRegBackupForm* CreateRegBackupForm(QWidget* parent) {
  auto* form = new TRegBackupForm(parent);
  form->hide();
  return form;
}
